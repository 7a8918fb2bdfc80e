#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running Brisolant need, when any of
# them is missing. Runs apt-get update once, only when something has to be installed.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config ccache
    qt6-base-dev qt6-serialport-dev libgl-dev libsystemd-dev libpq-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev clang-format
    fonts-dejavu-core
    dpkg-dev desktop-file-utils appstream lintian man-db systemd adduser acl
    python3-fusepy fuse3
    prometheus prometheus-node-exporter  # promtool and node_exporter, for the monitoring's tests
    prometheus-alertmanager              # amtool, which checks the example Alertmanager file
    curl jq                              # the monitoring test asks Prometheus and reads its answers
    postgresql                           # a throwaway server for the central records' tests
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if ((${#missing[@]})); then
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
    echo "Installing: ${missing[*]}"
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
fi

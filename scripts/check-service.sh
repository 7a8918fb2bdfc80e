#!/usr/bin/env bash
# Runs the package's service for real: boots systemd in a container of its own, installs the
# package there and checks the unit brisolant@.service (scripts/lib/service-inside.sh says
# what). The container is new mount, PID, network and cgroup namespaces over an overlay of
# this machine's root whose writes go to memory, so the machine is left as it was. Needs root,
# systemd's files and namespaces: without them it says why and exits 0.
#
#   scripts/check-service.sh PACKAGE.deb
set -euo pipefail

# In the namespaces: the container's file systems, then systemd as its first process.
boot() {
    local work=$1 root=$1/root
    mkdir -p "$root"
    mount -t tmpfs tmpfs "$root"
    mkdir -p "$root/upper" "$root/work" "$root/merged"
    local m=$root/merged
    mount -t overlay overlay -o "lowerdir=/,upperdir=$root/upper,workdir=$root/work" "$m" ||
        exit 3
    mount -t proc proc "$m/proc"
    mount -t sysfs -o ro sysfs "$m/sys"
    mount -t cgroup2 cgroup2 "$m/sys/fs/cgroup" || exit 3
    mount -t tmpfs -o mode=755 tmpfs "$m/dev"
    for device in null zero full random urandom tty; do
        touch "$m/dev/$device"
        mount --bind "/dev/$device" "$m/dev/$device"
    done
    mkdir -p "$m/dev/pts" "$m/dev/shm"
    mount -t devpts -o newinstance,ptmxmode=0666,mode=620,gid=5 devpts "$m/dev/pts"
    ln -s pts/ptmx "$m/dev/ptmx"
    for folder in dev/shm run tmp; do
        mount -t tmpfs tmpfs "$m/$folder"
    done
    mkdir -p "$m/test"
    mount --bind "$work" "$m/test"
    cp "$work/check.service" "$m/etc/systemd/system/brisolant-check.service"
    hostname brisolant-check
    cd "$m"
    exec env -i container=brisolant-check /usr/sbin/chroot "$m" /lib/systemd/systemd \
        --unit=brisolant-check.service
}

if [ "${1:-}" = --boot ]; then
    boot "$2"
fi

cd "$(dirname "$0")/.."
package=$(realpath "$1")
skip() {
    echo "check-service: skipped: $*"
    exit 0
}
[ "$(id -u)" -eq 0 ] || skip "booting systemd in a container needs root"
[ -x /lib/systemd/systemd ] || skip "systemd is not installed"
unshare --mount --pid --fork --net --cgroup true 2>/dev/null ||
    skip "this machine gives no namespaces"

# The container's cgroups go below one of this run's own, removed afterwards.
hierarchy=$(findmnt -n -t cgroup2 -o TARGET | head -n 1)
[ -n "$hierarchy" ] || skip "this machine has no cgroup2 hierarchy for the container"
cgroup="$hierarchy/brisolant-check-$$"
work=$(mktemp -d)
trap 'find "$cgroup" -depth -type d -exec rmdir {} + 2>/dev/null; rm -rf "$work"' EXIT
mkdir "$cgroup"
chmod 755 "$work"  # the service's account runs the probe from it
cp "$package" "$work/brisolant.deb"
cp scripts/lib/service-inside.sh "$work/inside.sh"
cat >"$work/check.service" <<'EOF'
[Unit]
Description=Checks the unit brisolant@.service
[Service]
Type=oneshot
ExecStart=/test/inside.sh
StandardOutput=append:/test/inside.log
StandardError=inherit
ExecStopPost=/bin/systemctl poweroff --no-block
EOF

started=$SECONDS
status=0
(
    echo "$BASHPID" >"$cgroup/cgroup.procs"
    exec timeout 300 unshare --mount --pid --fork --uts --ipc --net --cgroup \
        --propagation private "$(realpath "$0")" --boot "$work"
) >"$work/boot.log" 2>&1 || status=$?
if [ "$status" -eq 3 ]; then
    skip "no overlay or cgroup2 file system for the container: $(tail -n 1 "$work/boot.log")"
fi
cat "$work/inside.log" 2>/dev/null || true
if ! grep -qx "service checked" "$work/inside.log" 2>/dev/null; then
    echo "check-service: the container ended with $status:" >&2
    tail -n 20 "$work/boot.log" >&2
    exit 1
fi
echo "Service checked in a container in $((SECONDS - started)) s"

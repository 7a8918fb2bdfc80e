#!/usr/bin/env bash
# Builds a Release of Brisolant and makes its Debian package. The package's path is the last
# line printed.
#
#   scripts/package.sh            -> build/package/brisolant_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build="$root/build/package"

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DBRISOLANT_TESTS=OFF -DBRISOLANT_BENCHMARKS=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" -j2
rm -f "$build"/brisolant_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
package=$(ls "$build"/brisolant_*.deb)
echo "$package"

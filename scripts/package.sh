#!/usr/bin/env bash
# Builds a Release of Brisolant and makes its Debian package. The package's path is the last
# line printed.
#
#   scripts/package.sh            -> build/package/brisolant_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/release.sh
root=$(pwd)
build="$root/build/package"

release_build "$build"
rm -f "$build"/brisolant_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
package=$(ls "$build"/brisolant_*.deb)
echo "$package"

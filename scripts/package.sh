#!/usr/bin/env bash
# Builds a Release of Brisolant for /usr, with the distribution's hardening flags, and makes its
# Debian package. The package's path is the last line printed.
#
#   scripts/package.sh            -> build/package/brisolant_<version>-1_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/release.sh
root=$(pwd)
build="$root/build/package"

# Fortify, stack protector, relro and bindnow as dpkg-buildflags gives them; the optimisation
# stays the Release build's.
flags() {
    DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP="-g -O2" \
        dpkg-buildflags --get "$1"
}
release_build "$build" -DCMAKE_INSTALL_PREFIX=/usr \
    "-DCMAKE_CXX_FLAGS=$(flags CPPFLAGS) $(flags CXXFLAGS)" \
    "-DCMAKE_EXE_LINKER_FLAGS=$(flags LDFLAGS)"
rm -f "$build"/brisolant_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
package=$(ls "$build"/brisolant_*.deb)
echo "$package"

#!/usr/bin/env bash
# Builds the Debian package (scripts/package.sh) and checks it without installing it: its
# contents, the desktop entry and the AppStream file, the version the program answers, and one
# scan recorded through --settings FILE from the packaged station simulator's pseudo-terminal.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/release.sh

version=$(sed -n 's/^project(Brisolant VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
package=$(scripts/package.sh | tail -n 1)
echo "Checking $package"
fail() { echo "check-package: $*" >&2; exit 1; }

case "$(basename "$package")" in
    "brisolant_${version}_$(dpkg --print-architecture).deb") ;;
    *) fail "unexpected package name $(basename "$package")" ;;
esac

work=$(mktemp -d)
station_pid=""
program_pid=""
end_on_exit program_pid station_pid
remove_on_exit "$work"

# Contents.
dpkg-deb -c "$package" | awk '{print $6}' | sed 's|^\./|/|' >"$work/contents"
expected=(
    /usr/bin/brisolant
    /usr/bin/brisolant-station
    /usr/share/applications/com.orvane.brisolant.desktop
    /usr/share/metainfo/com.orvane.brisolant.metainfo.xml
    /usr/share/man/man1/brisolant.1.gz
)
for size in 16 22 24 32 48 64; do
    expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/brisolant.png")
done
for path in "${expected[@]}"; do
    grep -qx "$path" "$work/contents" || fail "the package lacks $path"
done
depends=$(dpkg-deb -f "$package" Depends)
for library in libqt6widgets6 libqt6serialport6; do
    [[ "$depends" == *"$library"* ]] || fail "Depends lacks $library: $depends"
done

# The menu entry and the AppStream description validate.
dpkg-deb -x "$package" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/com.orvane.brisolant.desktop"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/com.orvane.brisolant.metainfo.xml"
man -l "$work/root/usr/share/man/man1/brisolant.1.gz" >/dev/null 2>&1 ||
    zcat "$work/root/usr/share/man/man1/brisolant.1.gz" | grep -q '^\.TH BRISOLANT 1' ||
    fail "the manual page is not readable"

# The packaged program answers.
program="$work/root/usr/bin/brisolant"
first=$("$program" --version | head -n 1)
[ "$first" = "Brisolant $version" ] || fail "--version says \"$first\""
if "$program" --no-such-option >/dev/null 2>&1; then fail "an unknown option was accepted"; fi
"$program" --no-such-option >/dev/null 2>&1 || [ $? -eq 2 ] || fail "an unknown option did not exit with 2"

# One scan from the packaged simulator reaches the data folder that --settings FILE names.
mkdir -p "$work/data"
link="$work/station-port"
"$work/root/usr/bin/brisolant-station" --link "$link" --wait-open --sample-first --rate 0.5 \
    >"$work/station.out" 2>&1 &
station_pid=$!
for _ in $(seq 300); do
    [ -L "$link" ] && break
    kill -0 "$station_pid" 2>/dev/null || fail "the station simulator did not start"
    sleep 0.1
done
[ -L "$link" ] || fail "the station simulator made no port"
printf '[COMMUNICATION]\r\nCommPort=%s\r\n[SETTINGS]\r\nFilePath=%s/\r\n' "$link" "$work/data" \
    >"$work/station-one.ini"
QT_QPA_PLATFORM=offscreen "$program" --settings "$work/station-one.ini" >"$work/program.out" 2>&1 &
program_pid=$!
for _ in $(seq 600); do
    if grep -qs '1234567890' "$work"/data/LOG-*.txt; then
        echo "Package checked: $package"
        exit 0
    fi
    kill -0 "$program_pid" 2>/dev/null || { cat "$work/program.out" >&2; fail "the program ended"; }
    sleep 0.1
done
cat "$work/program.out" >&2
fail "no record reached $work/data within 60 s"

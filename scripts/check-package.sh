#!/usr/bin/env bash
# Builds the Debian package (scripts/package.sh) and checks it: its contents, lintian (no error
# or warning), the desktop entry and the AppStream file, the manual pages and the dates they
# carry, the service's unit (systemd-analyze verify), the version the program answers, and one
# scan recorded through --settings FILE from the packaged station simulator's pseudo-terminal;
# then scripts/check-service.sh runs the service in a container, where the machine allows it.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/release.sh

version=$(sed -n 's/^project(Brisolant VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
release_day=$(sed -n 's/^set(BRISOLANT_RELEASE_DAY \([0-9-]*\))/\1/p' CMakeLists.txt)
if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then release_day=$(date -u -d "@$SOURCE_DATE_EPOCH" +%F); fi
package=$(scripts/package.sh | tail -n 1)
echo "Checking $package"
fail() { echo "check-package: $*" >&2; exit 1; }

case "$(basename "$package")" in
    "brisolant_${version}-1_$(dpkg --print-architecture).deb") ;;
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
    /usr/share/man/man1/brisolant-station.1.gz
    /usr/share/doc/brisolant/copyright
    /usr/share/doc/brisolant/changelog.Debian.gz
    /usr/lib/systemd/system/brisolant@.service
    /usr/lib/tmpfiles.d/brisolant.conf
    /usr/share/brisolant/prometheus/brisolant-alerts.yml
    /usr/share/brisolant/prometheus/alertmanager-example.yml
    /usr/share/brisolant/grafana/brisolant.json
    /usr/share/brisolant/brisolant-retention.tmpfiles
    /etc/brisolant/example.ini
    /usr/share/brisolant/schema.sql
    /usr/share/brisolant/schema-partitioned.sql
    /usr/share/brisolant/retention.sql
    /usr/share/brisolant/warehouse-pull.sql
)
for size in 16 22 24 32 48 64 128 256; do
    expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/brisolant.png")
done
for path in "${expected[@]}"; do
    grep -qx "$path" "$work/contents" || fail "the package lacks $path"
done
depends=$(dpkg-deb -f "$package" Depends)
for library in libqt6widgets6 libqt6serialport6 libpq5 adduser acl; do
    [[ "$depends" == *"$library"* ]] || fail "Depends lacks $library: $depends"
done

# Debian's own check: no error, no warning.
tags=$(lintian --fail-on error,warning "$package" 2>&1) ||
    fail "lintian found errors or warnings:"$'\n'"$tags"

# The menu entry and the AppStream description validate.
dpkg-deb -x "$package" "$work/root"
root="$work/root"
desktop-file-validate "$root/usr/share/applications/com.orvane.brisolant.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/com.orvane.brisolant.metainfo.xml"
grep -q "<release version=\"$version\" date=\"$release_day\"/>" \
    "$root/usr/share/metainfo/com.orvane.brisolant.metainfo.xml" ||
    fail "the AppStream release is not $version of $release_day"

# Each manual page is readable, carries the release's date, and names every option its
# program's --help names.
for name in brisolant brisolant-station; do
    page="$root/usr/share/man/man1/$name.1.gz"
    man -l "$page" >/dev/null 2>&1 || fail "the manual page of $name is not readable"
    zcat "$page" | head -n 1 | grep -q "^\.TH [A-Z\\-]* 1 \"$release_day\" \"Brisolant $version\"" ||
        fail "the manual page of $name does not carry $version of $release_day"
    for option in $("$root/usr/bin/$name" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
        zcat "$page" | grep -qF -- "${option//-/\\-}" ||
            fail "the manual page of $name does not name $option"
    done
done

# The service's unit passes systemd's own check, run against the package's files beside this
# machine's units, its manual page included; any remark fails it.
if command -v systemd-analyze >/dev/null; then
    cp -r "$root" "$work/verify"
    cp -rn /lib/systemd/system/. "$work/verify/usr/lib/systemd/system/"
    remarks=$(MANPATH="$work/verify/usr/share/man" SYSTEMD_LOG_COLOR=0 \
        systemd-analyze verify --root="$work/verify" brisolant@dock1.service 2>&1) ||
        fail "systemd-analyze verify: $remarks"
    [ -z "$remarks" ] || fail "systemd-analyze verify: $remarks"
else
    echo "check-package: systemd-analyze is not installed; the unit is not verified" >&2
fi

# The packaged program answers.
program="$root/usr/bin/brisolant"
first=$("$program" --version | head -n 1)
[ "$first" = "Brisolant $version" ] || fail "--version says \"$first\""
if "$program" --no-such-option >/dev/null 2>&1; then fail "an unknown option was accepted"; fi
"$program" --no-such-option >/dev/null 2>&1 || [ $? -eq 2 ] || fail "an unknown option did not exit with 2"

# One scan from the packaged simulator reaches the data folder that --settings FILE names.
mkdir -p "$work/data"
link="$work/station-port"
"$root/usr/bin/brisolant-station" --link "$link" --wait-open --sample-first --rate 0.5 \
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
recorded=""
for _ in $(seq 600); do
    if grep -qs '1234567890' "$work"/data/LOG-*.txt; then
        recorded=yes
        break
    fi
    kill -0 "$program_pid" 2>/dev/null || { cat "$work/program.out" >&2; fail "the program ended"; }
    sleep 0.1
done
if [ -z "$recorded" ]; then
    cat "$work/program.out" >&2
    fail "no record reached $work/data within 60 s"
fi
kill "$program_pid" "$station_pid" 2>/dev/null || true
program_pid=""
station_pid=""

scripts/check-service.sh "$package"
echo "Package checked: $package"

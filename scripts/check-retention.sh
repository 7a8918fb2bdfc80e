#!/usr/bin/env bash
# Runs the package's off-by-default recipe for the data folders' age
# (packaging/brisolant-retention.tmpfiles) as systemd-tmpfiles-clean.timer would, over a copy of
# the service's data folders in a temporary folder: the files last written more than 90 days ago
# go, the newer ones and today's stay. Exits 77 (a skip for CTest) without systemd-tmpfiles.
set -euo pipefail
if ! command -v systemd-tmpfiles >/dev/null; then
    echo "check-retention: skipped: systemd-tmpfiles is not installed"
    exit 77
fi
source_dir=$(realpath "$(dirname "$0")/..")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

srv=$work/srv/brisolant
mkdir -p "$srv/dock1" "$srv/dock2"
touch -d '91 days ago' "$srv/dock1/LOG-20260911.txt" "$srv/dock2/LOG-254.txt"
touch -d '89 days ago' "$srv/dock1/LOG-20260913.txt"
touch "$srv/dock1/LOG-$(date +%Y%m%d).txt" "$srv/dock2/LOG-$(date +%j).txt"
# A file that has not changed for long but was written to again today (a station whose settings
# name no day) stays.
touch -d '200 days ago' "$srv/dock2/LOG.txt"
echo "a record" >>"$srv/dock2/LOG.txt"

sed -e "s|/srv/brisolant|$srv|g" "$source_dir/packaging/brisolant-retention.tmpfiles" \
    >"$work/retention.conf"
grep -q "^e $srv/\* " "$work/retention.conf" || { echo "FAIL: no rule for $srv"; exit 1; }
systemd-tmpfiles --clean "$work/retention.conf"

left=$(cd "$srv" && find . -type f | LC_ALL=C sort | tr '\n' ' ')
expected=$(printf '%s\n' "./dock1/LOG-$(date +%Y%m%d).txt" ./dock1/LOG-20260913.txt \
    "./dock2/LOG-$(date +%j).txt" ./dock2/LOG.txt | LC_ALL=C sort | tr '\n' ' ')
if [ "$left" != "$expected" ]; then
    echo "FAIL: left $left"
    echo "expected  $expected"
    exit 1
fi
[ -d "$srv/dock1" ] && [ -d "$srv/dock2" ] || { echo "FAIL: a station's folder went"; exit 1; }
echo "retention checked: $left"

#!/usr/bin/env bash
# The window's thread while the data folder hangs, as a share whose server is lost does: a
# Release build runs offscreen against the station simulator at the line's pace (40 scans a
# second, 115200 baud, every 20th scan cut short so that it needs a NAK), recording into a FUSE
# folder (tools/stallfs) that stops answering every call for a while in the middle of the run.
#
#   bench/stall.sh [--count N] [--stall SECONDS] [--after SECONDS]
#
# --count N scans in all (default 1200: 30 s); --stall how long the folder hangs (default 8),
# --after how long after the first record it begins (default 5).
# Reports the longest time the event loop's thread went without a turn during the hang and
# outside it (a 1 ms timer loaded into the program by LD_PRELOAD takes it), the NAKs the station
# got during the hang, whether the records carry the seconds their scans arrived in, and whether
# every barcode is in the data file exactly once and in order. Needs root, /dev/fuse and
# python3-fusepy; says why and exits 0 without them.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/release.sh

count=1200
stall=8
after=5
while (($#)); do
    case "$1" in
        --count) count=$2; shift 2 ;;
        --stall) stall=$2; shift 2 ;;
        --after) after=$2; shift 2 ;;
        -h | --help) sed -n '2,16p' "$0"; exit 0 ;;
        *) echo "unknown option $1 (try --help)" >&2; exit 2 ;;
    esac
done
skip() { echo "bench/stall.sh: skipped: $*"; exit 0; }
[ "$(id -u)" -eq 0 ] || skip "mounting the FUSE folder needs root"
[ -c /dev/fuse ] || skip "no /dev/fuse"
/usr/bin/python3 -c 'import fusepy' 2>/dev/null || skip "python3-fusepy is not installed"

release_build build/release --benchmarks brisolant brisolant-station brisolant_loop_gaps \
    >/dev/null
preload=$PWD/build/release/bench/libbrisolant_loop_gaps.so

run=$(mktemp -d /tmp/brisolant-stall.XXXXXX)
station_pid=""
program_pid=""
stallfs_pid=""
end_on_exit program_pid station_pid stallfs_pid
remove_on_exit "$run"
mkdir -p "$run/backing" "$run/data"
control=$run/hang
# The folder answers again and is unmounted before the run's folder goes, whatever happens.
trap 'rm -f "$control"; umount -l "$run/data" 2>/dev/null || true; _release_clean_up' EXIT

/usr/bin/python3 tools/stallfs/stallfs.py "$run/backing" "$run/data" "$control" \
    >"$run/stallfs.log" 2>&1 &
stallfs_pid=$!
for _ in $(seq 100); do
    grep -q " $run/data " /proc/mounts && break
    sleep 0.1
done
grep -q " $run/data " /proc/mounts || { cat "$run/stallfs.log" >&2; exit 1; }

start_station "$run" --rate 40 --count "$count" --scan random --wait-open --short-every 20

cp build/release/brisolant "$run/brisolant"
release_settings "$run/Orvane.ini" "$port" "$run/data/" 115200
BRISOLANT_LOOP_GAPS=$run/gaps QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 LD_PRELOAD=$preload \
    "$run/brisolant" >"$run/program.log" 2>&1 &
program_pid=$!

lines() { cat "$run"/backing/LOG-*.txt 2>/dev/null | wc -l; }
naks() { grep -c "NAK; resending" "$run/station.log" || true; }
until (($(lines) > 0)); do
    kill -0 "$program_pid" 2>/dev/null || { cat "$run/program.log" >&2; exit 1; }
    sleep 0.05
done
sleep "$after"
naks_before=$(naks)
lines_before=$(lines)
stall_start=$(date +%s)
touch "$control"
sleep "$stall"
lines_during=$(($(lines) - lines_before))
naks_during=$(($(naks) - naks_before))
journal_during=$(grep -c PCL "$run/Orvane.journal" 2>/dev/null || true)
rm -f "$control"
stall_end=$(date +%s)

deadline=$(($(date +%s) + count / 40 + 120))
until (($(lines) >= count)); do
    if (($(date +%s) > deadline)); then
        echo "Timed out with $(lines) of $count lines." >&2
        break
    fi
    kill -0 "$program_pid" 2>/dev/null || { cat "$run/program.log" >&2; exit 1; }
    sleep 0.1
done
kill -TERM "$program_pid"
wait "$program_pid" || true
program_pid=""

check=$(cat "$run"/backing/LOG-*.txt | tr -d '\r' | awk -v count="$count" '
    {
        barcode = substr($0, 105); sub(/ +$/, "", barcode)
        if (barcode != sprintf("PCL%09d", NR)) { out_of_order++ }
        if (seen[barcode]++) { duplicates++ }
    }
    END { printf "%d %d %d", out_of_order + 0, duplicates + 0, count - (NR - duplicates) }')
read -r out_of_order duplicates missing <<<"$check"
# The records of the scans that arrived while the folder hung: their times of day, in the
# order they were written, span the hang.
stall_seconds=$(cat "$run"/backing/LOG-*.txt | cut -d, -f2 | awk -v from="$(date -d "@$stall_start" +%T)" \
    -v to="$(date -d "@$stall_end" +%T)" '$0 >= from && $0 < to' | sort -u | wc -l)

awk -v s0="$stall_start" -v s1="$stall_end" -v t0="$(($(head -n 1 "$run/gaps" | cut -d' ' -f1) + 2))" '
    $1 >= s0 && $1 <= s1 { if ($2 > during) during = $2 }
    $1 >= t0 && ($1 < s0 || $1 > s1) { if ($2 > outside) outside = $2 }
    END {
        printf "%-44s %.1f ms\n", "longest wait of the event loop, folder hung", during
        printf "%-44s %.1f ms\n", "longest wait of the event loop, otherwise", outside
    }' "$run/gaps"
printf '%-44s %s s\n' "the folder hung for" "$((stall_end - stall_start))"
printf '%-44s %s\n' "records written meanwhile" "$lines_during"
printf '%-44s %s\n' "scans kept in the journal by its end" "$journal_during"
printf '%-44s %s\n' "NAKs the station got meanwhile" "$naks_during"
printf '%-44s %s\n' "seconds of the hang the records' times show" "$stall_seconds"
printf '%-44s %d missing, %d duplicated, %d out of order\n' "barcodes" "$missing" "$duplicates" \
    "$out_of_order"
if ((missing || duplicates || out_of_order)); then
    echo "FAILED: the data file does not hold every scan exactly once, in order." >&2
    exit 1
fi

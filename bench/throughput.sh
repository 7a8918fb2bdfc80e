#!/usr/bin/env bash
# Throughput and idle cost of the real program: a Release build runs offscreen against the
# station simulator flooding random parcels with unique, increasing barcodes.
#
#   bench/throughput.sh [--count N] [--paced RATE] [--view-open] [--database] [--idle SECONDS]
#                       [--timeout SECONDS] [-- station options]
#
# --paced RATE sends RATE scans a second instead of a flood, on a line set to 115200 baud: at
# 40 a second each scan arrives in a read of its own, as at the line's real pace.
# --database names a database (a throwaway PostgreSQL cluster on a Unix socket, fsync on): the
# run then lasts until the table holds every record too, and reports the rate at which both
# places took them.
# --view-open switches View > Data on once the first record is written, as an operator would
# (through a library of the benchmark build loaded into the program; the program is unchanged).
# Station options after "--" go to the simulator, e.g. -- --short-every 50 --noise-every 7.
# Reports scans per second, CPU time per scan (and its part in the kernel) and the share of one
# core (at the line's pace, what the program costs beside a real station), whether every
# barcode is in the data file exactly once and in order, then CPU time and resident memory
# while no data arrives.
# BRISOLANT_LAUNCHER, when set, is a command the program is started under (bench/scan-profile.sh
# uses it for callgrind); BRISOLANT_RUN_DIR names the folder the run uses instead of a new one.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/release.sh
source scripts/lib/pg.sh

count=10000
pace=(--flood)
baud=9600
idle=30
timeout=600
station_options=()
view_open=""
database=""
while (($#)); do
    case "$1" in
        --) shift; station_options=("$@"); break ;;
        --count) count=$2; shift 2 ;;
        --paced) pace=(--rate "$2"); baud=115200; shift 2 ;;
        --view-open) view_open=1; shift ;;
        --database) database=1; shift ;;
        --idle) idle=$2; shift 2 ;;
        --timeout) timeout=$2; shift 2 ;;
        -h | --help) sed -n '2,21p' "$0"; exit 0 ;;
        *) echo "unknown option $1 (try --help)" >&2; exit 2 ;;
    esac
done

preload=""
if [ -n "$view_open" ]; then
    release_build build/release --benchmarks brisolant brisolant-station \
        brisolant_open_data_view >/dev/null
    preload=$PWD/build/release/bench/libbrisolant_open_data_view.so
else
    release_build build/release brisolant brisolant-station >/dev/null
fi

run=${BRISOLANT_RUN_DIR:-$(mktemp -d /tmp/brisolant-throughput.XXXXXX)}
station_pid=""
program_pid=""
end_on_exit program_pid station_pid
remove_on_exit "$run"

now() { date +%s.%N; }
# utime + stime in clock ticks; the fields after the command name, which may hold blanks.
cpu_ticks() { sed 's/.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'; }
kernel_ticks() { sed 's/.*) //' "/proc/$1/stat" | awk '{ print $13 }'; }
rss_kib() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }
hwm_kib() { awk '/^VmHWM:/ { print $2 }' "/proc/$1/status"; }
ticks_per_second=$(getconf CLK_TCK)
# Every record line is 139 characters and CR LF; the count is checked line by line at the end.
line_bytes=141
data_bytes() { stat -c %s "$run"/data/LOG-*.txt 2>/dev/null | awk '{ s += $1 } END { print s + 0 }'; }
data_lines() { cat "$run"/data/LOG-*.txt 2>/dev/null | wc -l; }
# The first append creates the data file and the last one leaves its modification time, so
# the time between them is the program's own, free of this script's polling.
first_append() { stat -c %.9W "$run"/data/LOG-*.txt | sort -n | head -n 1; }
last_append() { stat -c %.9Y "$run"/data/LOG-*.txt | sort -n | tail -n 1; }

start_station "$run" "${pace[@]}" --count "$count" --scan random --wait-open \
    "${station_options[@]}"

mkdir -p "$run/data"
cp build/release/brisolant "$run/brisolant"
database_lines=()
if [ -n "$database" ]; then
    start_run_pg "$run"
    database_lines=("${pg_settings[@]}")
fi
table_rows() { psql "$pg_connection" -Atc "SELECT count(DISTINCT line) FROM scan_records" 2>/dev/null || echo 0; }
release_settings "$run/Orvane.ini" "$port" "$run/data/" "$baud" "${database_lines[@]}"

QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 LD_PRELOAD=$preload ${BRISOLANT_LAUNCHER:-} \
    "$run/brisolant" >"$run/program.log" 2>&1 &
program_pid=$!
until ls -l "/proc/$program_pid/fd" 2>/dev/null | grep -q -- "-> $port\$"; do
    kill -0 "$program_pid" 2>/dev/null || { cat "$run/program.log" >&2; exit 1; }
    sleep 0.02
done
poll_start=$(now)
start_ticks=$(cpu_ticks "$program_pid")
start_kernel=$(kernel_ticks "$program_pid")

deadline=$(($(date +%s) + timeout))
while (($(data_bytes) < count * line_bytes)); do
    if (($(date +%s) > deadline)); then
        echo "Timed out with $(data_lines) of $count lines." >&2
        break
    fi
    kill -0 "$program_pid" 2>/dev/null || { echo "The program has ended." >&2; cat "$run/program.log" >&2; exit 1; }
    sleep 0.05
done
both_end=""
if [ -n "$database" ]; then
    while (($(table_rows) < count)) && (($(date +%s) <= deadline)); do sleep 0.05; done
    both_end=$(now)
fi
poll_end=$(now)
end_ticks=$(cpu_ticks "$program_pid")
end_kernel=$(kernel_ticks "$program_pid")
lines=$(data_lines)
start_time=$(first_append)
end_time=$(last_append)
# A file system without creation times: fall back to this script's own clock.
if awk -v t="$start_time" 'BEGIN { exit !(t <= 0) }'; then
    start_time=$poll_start
    end_time=$poll_end
fi
load_rss=$(rss_kib "$program_pid")

# Every barcode exactly once and in order: line n carries PCL followed by n in nine digits.
check=$(cat "$run"/data/LOG-*.txt | tr -d '\r' | awk -v count="$count" '
    length($0) != 139 { bad_length++ }
    {
        barcode = substr($0, 105); sub(/ +$/, "", barcode)
        if (barcode != sprintf("PCL%09d", NR)) { out_of_order++ }
        if (seen[barcode]++) { duplicates++ }
    }
    END {
        missing = count - (NR - duplicates)
        printf "%d %d %d %d", out_of_order, duplicates, missing, bad_length
    }')
read -r out_of_order duplicates missing bad_length <<<"$check"

idle_start=$(cpu_ticks "$program_pid")
sleep "$idle"
idle_end=$(cpu_ticks "$program_pid")
idle_rss=$(rss_kib "$program_pid")
peak_rss=$(hwm_kib "$program_pid")
naks=$(grep -c NAK "$run/station.log" || true)

rows=""
if [ -n "$database" ]; then rows=$(table_rows); fi
awk -v rows="$rows" -v both_end="$both_end" \
    -v lines="$lines" -v count="$count" -v t0="$start_time" -v t1="$end_time" \
    -v c0="$start_ticks" -v c1="$end_ticks" -v k0="$start_kernel" -v k1="$end_kernel" \
    -v i0="$idle_start" -v i1="$idle_end" \
    -v hz="$ticks_per_second" -v idle="$idle" -v load_rss="$load_rss" -v idle_rss="$idle_rss" \
    -v peak_rss="$peak_rss" -v order="$out_of_order" -v dup="$duplicates" \
    -v missing="$missing" -v badlen="$bad_length" -v naks="$naks" \
    -v p0="$poll_start" -v p1="$poll_end" 'BEGIN {
    seconds = t1 - t0; cpu = (c1 - c0) / hz; wall = p1 - p0
    # The clock starts at the first append, so it spans one scan fewer than were recorded.
    rate = seconds > 0 ? (lines - 1) / seconds : 0
    printf "%-34s %s\n", "measure", "value"
    printf "%-34s %d of %d\n", "lines recorded", lines, count
    printf "%-34s %.2f s\n", "first to last append", seconds
    printf "%-34s %.0f\n", "scans per second", rate
    if (rows != "") {
        printf "%-34s %d distinct lines\n", "rows in the table", rows
        printf "%-34s %.0f (first append to the table holding all, polled)\n",
            "both places, scans per second", (both_end > t0 ? rows / (both_end - t0) : 0)
    }
    printf "%-34s %.3f s\n", "CPU time under load", cpu
    printf "%-34s %.1f us\n", "CPU time per scan", lines ? 1e6 * cpu / lines : 0
    printf "%-34s %.1f us (the syncs, the port)\n", "  of which in the kernel",
        lines ? 1e6 * (k1 - k0) / hz / lines : 0
    printf "%-34s %.2f %% over %.1f s\n", "CPU share of one core",
        (wall > 0 ? 100 * cpu / wall : 0), wall
    printf "%-34s %d missing, %d duplicated, %d out of order, %d of wrong length\n",
        "barcodes", missing, dup, order, badlen
    printf "%-34s %d\n", "NAKs the station received", naks
    printf "%-34s %.2f s in %d s (%.2f %%)\n", "CPU time idle", (i1 - i0) / hz, idle,
        100 * (i1 - i0) / hz / idle
    printf "%-34s %.1f MiB after load, %.1f MiB idle, %.1f MiB peak\n", "resident memory",
        load_rss / 1024, idle_rss / 1024, peak_rss / 1024
}'
if [ -n "$database" ] && ((rows != count)); then
    echo "FAILED: the table does not hold every scan." >&2
    exit 1
fi
if ((lines != count || out_of_order || duplicates || missing || bad_length)); then
    echo "FAILED: the data file does not hold every scan exactly once, in order." >&2
    exit 1
fi

#!/usr/bin/env bash
# Memory of the real program, headless (or with its window, drawn offscreen, with --window),
# while it writes back a journal of waiting scans: the case of a start after a long outage of
# the data folder.
#
#   bench/writeback-memory.sh [--count N] [--timeout SECONDS] [--window] [--database]
#
# First the journal is made the way a station makes it: the program runs headless with its data
# folder away while the station simulator floods N random parcels (100,000 by default, the most
# that wait), and is ended with SIGTERM once the journal holds them all. Then the program is
# started on that journal with the folder back and no station, and watched until every scan is
# in the data file, once and in order, and the journal is empty. Reports the resident memory of
# a start with nothing waiting (idle, after 3 s), the peak (VmHWM) of the start that writes the
# scans back, and the difference, the growth that the waiting scans cost.
# --database names a database too (a throwaway PostgreSQL cluster): away while the journal is
# made, so that every scan waits for both its file and the table, then back with the folder;
# the write-back ends once both hold every scan.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/release.sh
source scripts/lib/pg.sh

count=100000
timeout=600
mode=(--headless)
database=""
while (($#)); do
    case "$1" in
        --count) count=$2; shift 2 ;;
        --timeout) timeout=$2; shift 2 ;;
        --window) mode=(); shift ;;
        --database) database=1; shift ;;
        -h | --help) sed -n '2,14p' "$0"; exit 0 ;;
        *) echo "unknown option $1 (try --help)" >&2; exit 2 ;;
    esac
done

release_build build/release brisolant brisolant-station >/dev/null

run=$(mktemp -d /tmp/brisolant-writeback.XXXXXX)
station_pid=""
program_pid=""
end_on_exit program_pid station_pid
remove_on_exit "$run"
away=()
back=()
if [ -n "$database" ]; then
    start_run_pg "$run"
    away=("[DATABASE]" "Connection=host=$run/nowhere dbname=depot" "Station=north")
    back=("${pg_settings[@]}")
fi
table_rows() {
    if [ -n "$database" ]; then
        psql "$pg_connection" -Atc "SELECT count(*) FROM scan_records" 2>/dev/null || echo 0
    else
        echo "$count"
    fi
}

kib() { awk -v key="$2:" '$1 == key { print $2 }' "/proc/$1/status"; }
scans_in_journal() {
    if [ -f "$run/Orvane.journal" ]; then grep -c '^[ST]' "$run/Orvane.journal" || true; else echo 0; fi
}
data_lines() { cat "$run"/data/LOG-*.txt 2>/dev/null | wc -l; }
journal_bytes() { stat -c %s "$run/Orvane.journal" 2>/dev/null || echo 0; }
deadline=$(($(date +%s) + timeout))
in_time() {
    if (($(date +%s) > deadline)); then
        echo "Timed out: $1" >&2
        exit 1
    fi
    kill -0 "$program_pid" 2>/dev/null || { cat "$run/program.log" >&2; exit 1; }
    sleep 0.1
}
start_program() {
    LC_ALL=C.UTF-8 QT_QPA_PLATFORM=offscreen "$run/brisolant" "${mode[@]}" >"$run/program.log" 2>&1 &
    program_pid=$!
}
end_program() {
    kill -TERM "$program_pid"
    wait "$program_pid" || true
    program_pid=""
}

cp build/release/brisolant "$run/brisolant"
mkdir -p "$run/data"

# Idle: nothing waits, no station (the port is looked for once a second).
release_settings "$run/Orvane.ini" "$run/no-station" "$run/data/" 9600 "${back[@]}"
start_program
sleep 3
idle_rss=$(kib "$program_pid" VmRSS)
idle_hwm=$(kib "$program_pid" VmHWM)
end_program

# The journal: the data folder away while the station floods.
start_station "$run" --flood --count "$count" --scan random --wait-open
release_settings "$run/Orvane.ini" "$port" "$run/away/" 9600 "${away[@]}"
start_program
until (($(scans_in_journal) >= count)); do in_time "$(scans_in_journal) of $count scans kept"; done
end_program
kill "$station_pid" 2>/dev/null || true
wait "$station_pid" 2>/dev/null || true
station_pid=""
echo "journal: $(scans_in_journal) scans, $(journal_bytes) bytes"

# The write-back: the folder back (the settings name it), no station.
release_settings "$run/Orvane.ini" "$run/no-station" "$run/data/" 9600 "${back[@]}"
started=$(date +%s.%N)
start_program
written_back() {
    if [ -n "$database" ]; then
        (($(data_lines) >= count)) && (($(table_rows) >= count))
    else
        (($(data_lines) >= count)) && (($(journal_bytes) == 0))
    fi
}
until written_back; do
    in_time "$(data_lines) of $count lines written back, $(table_rows) in the table"
done
finished=$(date +%s.%N)
peak_hwm=$(kib "$program_pid" VmHWM)
after_rss=$(kib "$program_pid" VmRSS)
end_program

# Every barcode once and in order: line n carries PCL followed by n in nine digits.
check=$(cat "$run"/data/LOG-*.txt | tr -d '\r' | awk '
    length($0) != 139 { bad++ }
    { barcode = substr($0, 105); sub(/ +$/, "", barcode)
      if (barcode != sprintf("PCL%09d", NR)) { wrong++ } }
    END { printf "%d %d %d", NR, wrong, bad }')
read -r lines wrong bad <<<"$check"

rows=""
if [ -n "$database" ]; then rows=$(table_rows); fi
awk -v rows="$rows" -v idle_rss="$idle_rss" -v idle_hwm="$idle_hwm" -v peak="$peak_hwm" -v after="$after_rss" \
    -v t0="$started" -v t1="$finished" -v lines="$lines" -v wrong="$wrong" -v bad="$bad" 'BEGIN {
    printf "%-34s %s\n", "measure", "value"
    printf "%-34s %d, %d out of place, %d of wrong length\n", "lines written back", lines, wrong, bad
    if (rows != "") printf "%-34s %d\n", "rows in the table", rows
    printf "%-34s %.1f s (from the start, polled)\n", "write-back took", t1 - t0
    printf "%-34s %.1f MiB (peak %.1f MiB)\n", "resident idle, nothing waiting", idle_rss / 1024,
        idle_hwm / 1024
    printf "%-34s %.1f MiB (%.1f MiB after it)\n", "peak resident, writing back", peak / 1024,
        after / 1024
    printf "%-34s %.1f MiB\n", "growth (peak minus idle)", (peak - idle_rss) / 1024
}'
if ((wrong || bad)); then
    echo "FAILED: the data file does not hold every scan once, in order." >&2
    exit 1
fi

#!/usr/bin/env bash
# Where a scan's processor time goes at the line's pace. The real program (Release, offscreen)
# runs under callgrind against the station simulator on a line set to 115200 baud, each scan in
# a read of its own, at 5 scans a second so that it keeps up despite valgrind's slowdown and
# still draws every scan. Once scans flow, the instructions of the next SECONDS are counted and
# divided by the scans handled meanwhile.
#
#   bench/scan-profile.sh [--seconds N] [--view-open]
#
# Instructions do not vary with the machine's load, so they compare two builds where a time
# would not; they leave out the kernel's share (the sync of each record line, the port's reads
# and writes), which bench/throughput.sh --paced 40 includes. --view-open counts scans with
# View > Data switched on (see bench/throughput.sh). Needs valgrind.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/release.sh

seconds=20
view=()
while (($#)); do
    case "$1" in
        --seconds) seconds=$2; shift 2 ;;
        --view-open) view=(--view-open); shift ;;
        -h | --help) sed -n '2,13p' "$0"; exit 0 ;;
        *) echo "unknown option $1 (try --help)" >&2; exit 2 ;;
    esac
done
command -v valgrind >/dev/null || { echo "valgrind is needed: apt-get install valgrind" >&2; exit 1; }

work=$(mktemp -d /tmp/brisolant-profile.XXXXXX)
benchmark_pid=""
end_on_exit benchmark_pid
remove_on_exit "$work"

mkdir "$work/run"
BRISOLANT_RUN_DIR="$work/run" KEEP_RUN=1 \
    BRISOLANT_LAUNCHER="valgrind --tool=callgrind --callgrind-out-file=$work/callgrind.out" \
    bench/throughput.sh --count $((5 * (seconds + 60))) --paced 5 "${view[@]}" --idle 1 \
    --timeout 3600 \
    >"$work/throughput.log" 2>&1 &
benchmark_pid=$!

lines() { cat "$work"/run/data/LOG-*.txt 2>/dev/null | wc -l; }
# Counting starts once forty scans are in: start-up is not a scan's cost, and an open data view
# is full by then and scrolls with every new record.
until (($(lines) >= 40)); do
    kill -0 "$benchmark_pid" 2>/dev/null || { cat "$work/throughput.log" >&2; exit 1; }
    sleep 0.5
done
program=$(pgrep -f "callgrind-out-file=$work/callgrind.out")
callgrind_control --zero "$program" >/dev/null 2>&1
first=$(lines)
sleep "$seconds"
callgrind_control --dump "$program" >/dev/null 2>&1
scans=$(($(lines) - first))

dump=$(ls "$work"/callgrind.out* | sort | tail -n 1)
callgrind_annotate --inclusive=yes "$dump" >"$work/annotated.txt"
total=$(awk '/PROGRAM TOTALS/ { gsub(",", "", $1); print $1; exit }' "$work/annotated.txt")
echo "scans counted                      $scans in $seconds s"
awk -v total="$total" -v scans="$scans" \
    'BEGIN { printf "%-34s %.0f thousand\n", "instructions per scan", total / scans / 1000 }'
echo "share of a scan's instructions:"
while IFS='|' read -r what function; do
    { grep -F -m 1 "$function" "$work/annotated.txt" || echo "(0%)"; } |
        awk -v what="$what" '{ match($0, /\( *[0-9.]+%\)/); share = substr($0, RSTART + 1, RLENGTH - 2)
            gsub(/ /, "", share); printf "  %-50s %6s\n", what, share }'
done <<'PARTS'
all drawing, both repaints|QWidgetRepaintManager::paintAndFlush()
drawing the value boxes|ValueBox::paintEvent(
setting the value boxes' texts|ValueBox::SetText(
  of which measuring the text's ink|QRawFont::boundingRect(
drawing glyphs, in every widget|QRasterPaintEngine::alphaPenBlt(
drawing the status panels|PanelLabel::paintEvent(
drawing the status light|StatusLight::paintEvent(
drawing the data view's rows|RecordListView::paintEvent(
drawing scroll bars|QScrollBar::paintEvent(
processing a scan: record line and value boxes|ScanProcessor::Process(
PARTS

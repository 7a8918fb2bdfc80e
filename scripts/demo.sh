#!/usr/bin/env bash
# Builds Brisolant and runs it against the station simulator: the built-in sample scan first,
# then a random parcel every 2 seconds. Records land in demo/data/.
#
#   scripts/demo.sh [station options]      e.g. scripts/demo.sh --rate 1 --short-every 5
#
# Without a display the program runs offscreen for DEMO_SECONDS (default 30) while the record
# lines are printed as they arrive.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/release.sh
root=$(pwd)

scripts/install-deps.sh
release_build build/release brisolant brisolant-station

demo="$root/demo"
port="$demo/station-port"
mkdir -p "$demo/data"
cp build/release/brisolant "$demo/brisolant"
# The program reads Orvane.ini beside its executable; line ends CR LF.
release_settings "$demo/Orvane.ini" "$port" "$demo/data/" 9600 CloseTime=00:00:00 BranchID= \
    Remove_InCm=0 Remove_LbKg=0 ManualEntryData=0 FileDelimiter=, ConvertCMtoMM=0 LogFileType=0

station_pid=""
program_pid=""
tail_pid=""
end_on_exit tail_pid program_pid station_pid

station_options=("$@")
if ((${#station_options[@]} == 0)); then station_options=(--rate 0.5); fi
build/release/tools/brisolant-station --link "$port" --wait-open --sample-first \
    "${station_options[@]}" >"$demo/station.out" &
station_pid=$!
for _ in $(seq 100); do
    [ -L "$port" ] && break
    kill -0 "$station_pid" 2>/dev/null || { echo "The station simulator did not start." >&2; exit 1; }
    sleep 0.1
done
echo "Station simulator on $(head -n 1 "$demo/station.out") (link $port)"
echo "Records go to $demo/data/"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    "$demo/brisolant"
    exit 0
fi

seconds=${DEMO_SECONDS:-30}
echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): running offscreen for" \
    "${seconds} s and printing the record lines as they arrive."
data_file="$demo/data/LOG-$(date +%j).txt"
touch "$data_file"
tail -n 0 -F "$data_file" 2>/dev/null &
tail_pid=$!
QT_QPA_PLATFORM=offscreen "$demo/brisolant" >"$demo/brisolant.log" 2>&1 &
program_pid=$!
for _ in $(seq "$seconds"); do
    kill -0 "$program_pid" 2>/dev/null || { echo "The program has ended; see $demo/brisolant.log." >&2; exit 1; }
    sleep 1
done
echo "Done. All records: $data_file"

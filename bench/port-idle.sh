#!/usr/bin/env bash
# What the real program costs while nothing arrives, with its port open and with the port
# closed because the device went away, and how soon it opens the device again once it is back.
# A Release build runs offscreen against the station simulator reached through a link
# (as /dev/serial/by-id/... would be); stopping the simulator removes the device and its link,
# starting it again makes both anew.
#
#   bench/port-idle.sh [--idle SECONDS] [--rounds N]
#
# Reports processor time and wake-ups (context switches of all the program's threads) per
# second in each state, and the time from the link's return until the program holds the
# device, for each round.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/release.sh

idle=30
rounds=5
while (($#)); do
    case "$1" in
        --idle) idle=$2; shift 2 ;;
        --rounds) rounds=$2; shift 2 ;;
        -h | --help) sed -n '2,12p' "$0"; exit 0 ;;
        *) echo "unknown option $1 (try --help)" >&2; exit 2 ;;
    esac
done

release_build build/release brisolant brisolant-station >/dev/null

run=$(mktemp -d /tmp/brisolant-port-idle.XXXXXX)
station_pid=""
program_pid=""
end_on_exit program_pid station_pid
remove_on_exit "$run"

link=$run/station-port
now() { date +%s.%N; }
# utime + stime in clock ticks; the fields after the command name, which may hold blanks.
cpu_ticks() { sed 's/.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'; }
# Every thread's context switches: each is a wake-up of the program.
switches() {
    cat /proc/"$1"/task/*/status | awk '/ctxt_switches:/ { s += $2 } END { print s }'
}
holds() { ls -l "/proc/$program_pid/fd" 2>/dev/null | grep -q -- "-> $1\$"; }
ticks_per_second=$(getconf CLK_TCK)

start_station() {
    rm -f "$run/station.out"
    build/release/tools/brisolant-station --scan sample --count 1 --wait-open --link "$link" \
        >"$run/station.out" 2>>"$run/station.log" &
    station_pid=$!
}
stop_station() {
    kill "$station_pid"
    wait "$station_pid" 2>/dev/null || true
    station_pid=""
}
# Waits up to 60 s for a condition given as a command; fails the script otherwise.
wait_for() {
    local deadline=$(($(date +%s) + 60))
    until "$@"; do
        (($(date +%s) < deadline)) || { echo "timed out waiting for: $*" >&2; exit 1; }
        kill -0 "$program_pid" 2>/dev/null || { cat "$run/program.log" >&2; exit 1; }
        sleep 0.01
    done
}
device() { readlink "$link" 2>/dev/null; }
link_there() { [ -L "$link" ]; }
link_gone() { [ ! -e "$link" ] && [ ! -L "$link" ]; }
released() { ! holds "$1"; }
recorded() { [ "$(cat "$run"/data/LOG-*.txt 2>/dev/null | wc -l)" -ge "$1" ]; }
measure() {
    local c0 s0 c1 s1
    c0=$(cpu_ticks "$program_pid")
    s0=$(switches "$program_pid")
    sleep "$idle"
    c1=$(cpu_ticks "$program_pid")
    s1=$(switches "$program_pid")
    awk -v c="$((c1 - c0))" -v s="$((s1 - s0))" -v hz="$ticks_per_second" -v t="$idle" \
        -v what="$1" 'BEGIN {
        printf "%-24s CPU %.3f%%   wake-ups %.2f/s   (over %d s)\n", what, 100 * c / hz / t, s / t, t }'
}

mkdir -p "$run/data"
cp build/release/brisolant "$run/brisolant"
release_settings "$run/Orvane.ini" "$link" "$run/data/" 9600

start_station
wait_for link_there
QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 "$run/brisolant" >"$run/program.log" 2>&1 &
program_pid=$!
wait_for recorded 1
sleep 1
measure "port open, idle"

stop_station
wait_for link_gone
sleep 1
measure "port closed, waiting"

for round in $(seq "$rounds"); do
    start_station
    wait_for link_there
    back=$(now)
    target=$(device)
    wait_for holds "$target"
    opened=$(now)
    awk -v a="$back" -v b="$opened" -v r="$round" \
        'BEGIN { printf "round %d: device held %.3f s after its link came back\n", r, b - a }'
    wait_for recorded $((round + 1))
    stop_station
    wait_for link_gone
    wait_for released "$target"
done

#!/usr/bin/env bash
# Start-up of the program beside a Qt Widgets hello-world: each is started RUNS times,
# alternately, offscreen, and ended once its event loop has drawn its first window (a library
# loaded by LD_PRELOAD ends it). The program opens a station simulator's pseudo-terminal and
# reads a settings file, as at a real start. Prints the median CPU time (user and system) and
# wall time of each, and their ratio.
#
#   bench/startup.sh [RUNS]     (default 30)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/release.sh
runs=${1:-30}

release_build build/release --benchmarks brisolant brisolant-station bench_hello_world \
    brisolant_quit_when_up >/dev/null

run=$(mktemp -d /tmp/brisolant-startup.XXXXXX)
station_pid=""
end_on_exit station_pid
remove_on_exit "$run"
start_station "$run" --wait-open --start-delay 3600
mkdir -p "$run/data"
cp build/release/brisolant "$run/brisolant"
release_settings "$run/Orvane.ini" "$port" "$run/data/" 9600

QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 \
    LD_PRELOAD=$PWD/build/release/bench/libbrisolant_quit_when_up.so \
    /usr/bin/python3 - "$runs" "$run/brisolant" build/release/bench/bench_hello_world <<'PY'
import os, resource, statistics, subprocess, sys, time

runs, programs = int(sys.argv[1]), sys.argv[2:]
cpu = {p: [] for p in programs}
wall = {p: [] for p in programs}
for _ in range(runs):
    for program in programs:
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.perf_counter()
        subprocess.run([program], check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        wall[program].append(time.perf_counter() - start)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpu[program].append(after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime)
names = {programs[0]: "brisolant", programs[1]: "Qt Widgets hello-world"}
for program in programs:
    print("%-24s CPU %6.1f ms  wall %6.1f ms  (medians of %d)" % (
        names[program], 1000 * statistics.median(cpu[program]),
        1000 * statistics.median(wall[program]), runs))
print("%-24s CPU %.2f  wall %.2f" % ("ratio", statistics.median(cpu[programs[0]]) /
      statistics.median(cpu[programs[1]]), statistics.median(wall[programs[0]]) /
      statistics.median(wall[programs[1]])))
PY

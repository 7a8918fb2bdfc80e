#!/usr/bin/env bash
# Start-up of the program beside a Qt Widgets hello-world whose window is as large as the
# program's (638 x 429 pixels at 96 dpi): each is started RUNS times, alternately, and ended once
# its event loop has drawn its first window (a library loaded by LD_PRELOAD ends it). The program
# opens a station simulator's pseudo-terminal and reads a settings file, as at a real start.
# Prints the median CPU time (user and system) and wall time of each, and their ratio; with
# --platform xcb the windows go to an X server of their own (Xvfb), whose CPU time for each
# start is given beside and counted in. When valgrind is installed, one more start of each under
# callgrind gives its instructions (the X server's left out), which do not vary with the load.
#
#   bench/startup.sh [RUNS] [--platform offscreen|xcb]     (default 30, offscreen)
#
# BRISOLANT_PROGRAM, when set, is the executable to start instead of build/release's.
# The whole script is read before it runs, so that editing it never disturbs a run.
{
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/release.sh
runs=30
platform=offscreen
while (($#)); do
    case "$1" in
        --platform) platform=$2; shift 2 ;;
        -h | --help) sed -n '2,14p' "$0"; exit 0 ;;
        [0-9]*) runs=$1; shift ;;
        *) echo "unknown option $1 (try --help)" >&2; exit 2 ;;
    esac
done
case $platform in
    offscreen) ;;
    xcb) command -v Xvfb >/dev/null || { echo "xcb needs Xvfb: apt-get install xvfb" >&2; exit 1; } ;;
    *) echo "--platform is offscreen or xcb" >&2; exit 2 ;;
esac

release_build build/release --benchmarks brisolant brisolant-station bench_hello_world \
    brisolant_quit_when_up >/dev/null

run=$(mktemp -d /tmp/brisolant-startup.XXXXXX)
station_pid=""
server_pid=""
end_on_exit station_pid server_pid
remove_on_exit "$run"
start_station "$run" --wait-open --start-delay 3600
mkdir -p "$run/data"
cp "${BRISOLANT_PROGRAM:-build/release/brisolant}" "$run/brisolant"
release_settings "$run/Orvane.ini" "$port" "$run/data/" 9600
if [ "$platform" = xcb ]; then
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$run/display" 2>/dev/null &
    server_pid=$!
    for _ in $(seq 100); do
        [ -s "$run/display" ] && break
        sleep 0.1
    done
    export DISPLAY=":$(head -n 1 "$run/display")"
fi
hello=(build/release/bench/bench_hello_world 638 429)

QT_QPA_PLATFORM=$platform LC_ALL=C.UTF-8 \
    LD_PRELOAD=$PWD/build/release/bench/libbrisolant_quit_when_up.so \
    /usr/bin/python3 - "$runs" "${server_pid:-0}" "$run/brisolant" "${hello[*]}" <<'PY'
import os, resource, statistics, subprocess, sys, time

runs, server = int(sys.argv[1]), int(sys.argv[2])
programs = sys.argv[3:]
ticks = os.sysconf("SC_CLK_TCK")

def server_cpu():
    if not server:
        return 0.0
    with open("/proc/%d/stat" % server) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / ticks

cpu = {p: [] for p in programs}
xcpu = {p: [] for p in programs}
wall = {p: [] for p in programs}
for _ in range(runs):
    for program in programs:
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        x_before = server_cpu()
        start = time.perf_counter()
        subprocess.run(program.split(), check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        wall[program].append(time.perf_counter() - start)
        # The server finishes drawing what it was sent.
        time.sleep(0.05)
        xcpu[program].append(server_cpu() - x_before)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpu[program].append(after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime)
names = {programs[0]: "brisolant", programs[1]: "Qt Widgets hello-world"}
total = {p: [c + x for c, x in zip(cpu[p], xcpu[p])] for p in programs}
for program in programs:
    line = "%-24s CPU %6.1f ms  wall %6.1f ms" % (
        names[program], 1000 * statistics.median(total[program]),
        1000 * statistics.median(wall[program]))
    if server:
        line += "  (program %5.1f ms + X %4.1f ms)" % (
            1000 * statistics.median(cpu[program]), 1000 * statistics.median(xcpu[program]))
    print(line + "  (medians of %d)" % runs)
print("%-24s CPU %.2f  wall %.2f" % ("ratio", statistics.median(total[programs[0]]) /
      statistics.median(total[programs[1]]), statistics.median(wall[programs[0]]) /
      statistics.median(wall[programs[1]])))
PY

if command -v valgrind >/dev/null; then
    instructions() {
        QT_QPA_PLATFORM=$platform LC_ALL=C.UTF-8 \
            LD_PRELOAD=$PWD/build/release/bench/libbrisolant_quit_when_up.so \
            valgrind --tool=callgrind --callgrind-out-file="$run/callgrind.out" "$@" \
            >/dev/null 2>&1
        callgrind_annotate "$run/callgrind.out" 2>/dev/null |
            awk '/PROGRAM TOTALS/ && !seen { gsub(",", "", $1); print $1; seen = 1 }'
    }
    mine=$(instructions "$run/brisolant")
    theirs=$(instructions "${hello[@]}")
    awk -v a="$mine" -v b="$theirs" 'BEGIN {
        printf "%-24s %.1f million\n", "brisolant", a / 1e6
        printf "%-24s %.1f million\n", "Qt Widgets hello-world", b / 1e6
        printf "%-24s %.2f (%.1f million more)\n", "ratio of instructions", a / b, (a - b) / 1e6 }'
fi
exit
}

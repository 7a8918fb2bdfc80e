#!/usr/bin/env bash
# Builds an optimised Brisolant (build/release) and runs every benchmark whose figure the
# README gives: the scan path and the writer's path to the disk, the data view over a million
# records, and the real program against the station simulator, flooded and at a 115200-baud
# line's pace (with the data view closed and open), with its idle cost, and while its data
# folder hangs (as root, with FUSE), its start-up beside a Qt Widgets hello-world, then, when
# valgrind is installed, where a scan's instructions go at the line's pace, with the view closed
# and open. Prints the machine and the build first: figures from a machine that other work is
# loading are not worth quoting.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/release.sh
scripts/install-deps.sh

echo "Machine: $(nproc) cores,$(grep -m 1 'model name' /proc/cpuinfo | cut -d: -f2)," \
    "$(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo)," \
    "load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "Build: Release, $(c++ --version | head -n 1)"

release_build build/release --benchmarks bench_core bench_qt brisolant brisolant-station \
    brisolant_open_data_view

echo "== Scan path and the writer's path to the disk (bench/core)"
build/release/bench/bench_core --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
echo "== Data view over 1,000,000 records (bench/qt)"
QT_QPA_PLATFORM=offscreen build/release/bench/bench_qt
echo "== 100,000 scans flooded, then 30 s idle (bench/throughput.sh --count 100000)"
bench/throughput.sh --count 100000
echo "== 2,000 scans at 40 a second, a 115200-baud line's pace (bench/throughput.sh --count 2000 --paced 40)"
bench/throughput.sh --count 2000 --paced 40 --idle 1
echo "== The same with the data view open, then 10 s idle (bench/throughput.sh --count 2000 --paced 40 --view-open)"
bench/throughput.sh --count 2000 --paced 40 --view-open --idle 10
echo "== 100,000 waiting scans written back, headless (bench/writeback-memory.sh)"
bench/writeback-memory.sh
echo "== The data folder hangs for 8 s at the line's pace (bench/stall.sh)"
bench/stall.sh
echo "== Start-up beside a Qt Widgets hello-world (bench/startup.sh 30)"
bench/startup.sh 30
if command -v Xvfb >/dev/null; then
    echo "== The same on an X server (bench/startup.sh 30 --platform xcb)"
    bench/startup.sh 30 --platform xcb
fi
echo "== The line's pace beside terminal loggers, on an X server where Xvfb is installed (bench/yardsticks.sh)"
bench/yardsticks.sh
echo "== Where a scan's instructions go at the line's pace (bench/scan-profile.sh), view closed and open"
if command -v valgrind >/dev/null; then
    bench/scan-profile.sh
    bench/scan-profile.sh --view-open
else
    echo "skipped: valgrind is not installed (apt-get install valgrind)"
fi

#!/usr/bin/env bash
# Builds an optimised Brisolant and runs the benchmarks whose figures the README gives:
# the scan path and the data-file append, the data view over a million records, and the
# throughput and idle cost of the real program against the station simulator.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DBRISOLANT_TESTS=OFF -DBRISOLANT_BENCHMARKS=ON >/dev/null
cmake --build build/bench -j2 --target bench_core bench_qt
build/bench/bench/bench_core --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
QT_QPA_PLATFORM=offscreen build/bench/bench/bench_qt
bench/throughput.sh "$@"

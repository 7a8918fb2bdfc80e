#!/usr/bin/env bash
# Builds Brisolant with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test, then
# runs the core's tests again under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DBRISOLANT_SANITIZE=ON -DBRISOLANT_WERROR=ON -DBRISOLANT_BENCHMARKS=OFF
cmake --build build/test -j2
ctest --test-dir build/test --output-on-failure -j2 "$@"

# The core's tests, threads of its own among them, once more under ThreadSanitizer.
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DBRISOLANT_TSAN=ON -DBRISOLANT_WERROR=ON -DBRISOLANT_BENCHMARKS=OFF
cmake --build build/tsan -j2 --target core_tests
TSAN_OPTIONS=halt_on_error=1 build/tsan/tests/core_tests

#!/usr/bin/env bash
# Builds Brisolant with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DBRISOLANT_SANITIZE=ON -DBRISOLANT_WERROR=ON -DBRISOLANT_BENCHMARKS=OFF
cmake --build build/test -j2
ctest --test-dir build/test --output-on-failure -j2 "$@"

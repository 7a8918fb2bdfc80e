#!/usr/bin/env bash
# Builds Brisolant with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test, then
# runs the core's tests again under ThreadSanitizer.
#
#   scripts/test.sh [--quick] [CTEST ARGUMENTS...]
#
# --quick builds and runs only the core's and the shell's tests (the CTest label "quick": no
# real program, no flood or soak) and skips the ThreadSanitizer pass: the loop of editing and
# testing. Other arguments go to ctest (-R Framing, -L e2e, -LE soak, ...).
set -euo pipefail
cd "$(dirname "$0")/.."

quick=false
ctest_arguments=()
for argument in "$@"; do
    if [ "$argument" = "--quick" ]; then
        quick=true
    else
        ctest_arguments+=("$argument")
    fi
done

scripts/install-deps.sh
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DBRISOLANT_SANITIZE=ON -DBRISOLANT_WERROR=ON -DBRISOLANT_BENCHMARKS=OFF
if $quick; then
    cmake --build build/test -j2 --target core_tests shell_tests
    ctest_arguments=(-L quick "${ctest_arguments[@]}")
else
    cmake --build build/test -j2
fi
status=0
ctest --test-dir build/test --output-on-failure -j2 "${ctest_arguments[@]}" || status=$?
# Every test program that could not have terminals of its own says so; once is enough here.
grep -m1 -h "shares the machine's /dev/pts" build/test/Testing/Temporary/LastTest.log || true
if [ "$status" -ne 0 ] || $quick; then
    exit "$status"
fi

# The core's tests, threads of its own among them, once more under ThreadSanitizer.
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DBRISOLANT_TSAN=ON -DBRISOLANT_WERROR=ON -DBRISOLANT_BENCHMARKS=OFF
cmake --build build/tsan -j2 --target core_tests
TSAN_OPTIONS=halt_on_error=1 build/tsan/tests/core_tests

#!/usr/bin/env bash
# Builds the core's fuzz targets with clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, runs each one for a while on a scratch copy of its corpus and prints
# what each reached. Exits non-zero when a target crashed; the input that did it is kept in
# build/fuzz/artifacts/<target>/.
#
# Usage: scripts/fuzz.sh [seconds-per-target] [--keep] [target...]
#   seconds-per-target  how long each target runs (default 60)
#   --keep              merge inputs that reach new coverage into tests/fuzz/corpus/<target>
#   target              fuzz_scan_path, fuzz_framing, fuzz_profile, fuzz_journal, fuzz_outbox (default:
#                       all of them)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=60
keep=0
targets=()
for arg in "$@"; do
    case "$arg" in
        --keep) keep=1 ;;
        -h | --help)
            sed -n '2,11p' "$0"
            exit 0
            ;;
        *[!0-9]*) targets+=("$arg") ;;
        *) seconds="$arg" ;;
    esac
done
if ((${#targets[@]} == 0)); then
    targets=(fuzz_scan_path fuzz_framing fuzz_profile fuzz_journal fuzz_outbox)
fi

# Longest input each target is given. The scan path reaches positions near 32,767 through its
# own padding, so no target needs long inputs.
max_len() {
    case "$1" in
        fuzz_scan_path) echo 8192 ;;
        fuzz_framing) echo 4096 ;;
        *) echo 2048 ;;
    esac
}

scripts/install-deps.sh
# Optimised, with the program's own assertions on (no NDEBUG): the readers assert their bounds.
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g" -DBRISOLANT_FUZZ=ON -DBRISOLANT_SANITIZE=ON >/dev/null
cmake --build build/fuzz -j2 --target "${targets[@]}"

scratch="$(mktemp -d "${TMPDIR:-/tmp}/brisolant-fuzz.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=0:detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

rows=()
failed=0
for target in "${targets[@]}"; do
    binary="build/fuzz/fuzz/$target"
    kept="tests/fuzz/corpus/$target"
    work="$scratch/$target"
    artifacts="build/fuzz/artifacts/$target"
    rm -rf "$artifacts"
    mkdir -p "$work/corpus" "$artifacts" "$kept"
    cp -R "$kept/." "$work/corpus/"

    echo "== $target: $seconds s"
    status=0
    "$binary" "$work/corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len="$(max_len "$target")" -print_final_stats=1 \
        -artifact_prefix="$artifacts/" >"$work/log" 2>&1 || status=$?

    executions="$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -1)"
    rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/log" | tail -1)"
    cov="$(grep -oE 'cov: [0-9]+' "$work/log" | tail -1 | cut -d' ' -f2 || true)"
    ft="$(grep -oE 'ft: [0-9]+' "$work/log" | tail -1 | cut -d' ' -f2 || true)"
    found="no"
    if ((status != 0)); then
        found="CRASH (exit $status)"
        failed=1
        cp "$work/log" "$artifacts/log.txt"
        tail -n 60 "$work/log"
    elif ((keep)); then
        # Only inputs that reach new edges join the kept corpus, as few as cover them.
        if ! "$binary" -set_cover_merge=1 -use_counters=0 -timeout=10 -rss_limit_mb=2048 \
            -max_len="$(max_len "$target")" "$kept" "$work/corpus" >"$work/merge.log" 2>&1; then
            found="merge failed"
            failed=1
            tail -n 30 "$work/merge.log"
        fi
    fi
    rows+=("$(printf '%-16s %12s %8s %7s %7s  %s' "$target" "${executions:--}" "${rate:--}" \
        "${cov:--}" "${ft:--}" "$found")")
done

echo
printf '%-16s %12s %8s %7s %7s  %s\n' target executions exec/s cov ft found
printf '%s\n' "${rows[@]}"
exit "$failed"

#!/usr/bin/env bash
# Checks that every C++ source of the project is laid out as the root .clang-format says
# (one clang-format --dry-run -Werror over all of them) and, when any differs, shows how each
# one that does. Exits non-zero when any differs; `clang-format -i FILE` lays a file out.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t files < <(find src tests tools bench fuzz packaging -type f \( -name '*.cpp' -o -name '*.h' \) |
    sort)
if clang-format --dry-run -Werror "${files[@]}" >/dev/null 2>&1; then
    echo "All ${#files[@]} sources match .clang-format."
    exit 0
fi

differing=()
for file in "${files[@]}"; do
    if ! clang-format --dry-run -Werror "$file" >/dev/null 2>&1; then
        differing+=("$file")
        clang-format "$file" | diff -u --label "$file" --label "$file (formatted)" "$file" - |
            head -n 20 || true
    fi
done
echo "${#differing[@]} of ${#files[@]} sources differ from .clang-format:" >&2
printf '  %s\n' "${differing[@]}" >&2
exit 1

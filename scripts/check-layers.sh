#!/bin/sh
# Checks that the source folders depend one way: a folder's files (its qt/ subfolder counts with
# it) include headers only from its own folder and the folders below it. Tests and tools are
# exempt. Prints every include that points upward and exits 1 if there is one.
set -eu
cd "$(dirname "$0")/../src"

# Lowest first.
layers="common settings store scan device recorder headless about window"

rank() {
    i=0
    for layer in $layers; do
        [ "$layer" = "$1" ] && { echo "$i"; return; }
        i=$((i + 1))
    done
    echo "unknown layer: $1" >&2
    exit 2
}

status=0
for folder in $layers; do
    own=$(rank "$folder")
    for file in $(find "$folder" -name '*.h' -o -name '*.cpp'); do
        for target in $(sed -n 's|^#include "\([a-z]*\)/.*"|\1|p' "$file"); do
            if [ "$(rank "$target")" -gt "$own" ]; then
                echo "src/$file includes a header of $target, a higher layer than $folder"
                status=1
            fi
        done
    done
done
exit $status

#!/usr/bin/env bash
# Every project header is included by its path from the repository root,
# only the top CMakeLists.txt names an include folder, no two headers share
# a file name, and the clip and disc cores reach no GStreamer header. Prints
# each offence and fails when there is one.
set -uo pipefail
cd "$(dirname "$0")/.."
git rev-parse --is-inside-work-tree >/dev/null || { echo "the check reads the files git tracks"; exit 1; }
status=0
while IFS= read -r line; do
    [[ $line =~ include[[:space:]]+\"([^\"]+)\" ]] && header=${BASH_REMATCH[1]}
    if [[ ! -f $header ]]; then
        echo "$line: \"$header\" is not a path from the repository root"
        status=1
    fi
done < <(git grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"' -- '*.cpp' '*.h' '*.c')
if git grep -n 'include_directories' -- '*CMakeLists.txt' '*.cmake' ':!CMakeLists.txt'; then
    echo "an include folder is named outside the top CMakeLists.txt"
    status=1
fi
clashes=$(git ls-files -- '*.h' | awk -F/ '{ paths[$NF] = paths[$NF] " " $0; count[$NF]++ }
    END { for (name in count) if (count[name] > 1) print "headers named " name ":" paths[name] }')
if [[ -n $clashes ]]; then
    echo "$clashes"
    status=1
fi

# The clip records and the disc core stay free of the media framework: no
# header they reach, directly or through others, includes a GStreamer
# header or names one of its types.
declare -A reached
Reach() {
    local header=$1 next
    [[ -n ${reached[$header]:-} ]] && return
    reached[$header]=1
    while IFS= read -r next; do
        [[ -f $next ]] && Reach "$next"
    done < <(sed -nE 's/^[[:space:]]*#[[:space:]]*include[[:space:]]+"([^"]+)".*/\1/p' "$header")
}
while IFS= read -r header; do
    Reach "$header"
done < <(git ls-files 'src/clips/*.h' 'src/authoring/*.h')
for header in "${!reached[@]}"; do
    if grep -HnE '#[[:space:]]*include[[:space:]]*<gst/|\b_Gst[A-Za-z]' "$header"; then
        echo "$header: reached from a header of src/clips or src/authoring, it brings in GStreamer"
        status=1
    fi
done
exit $status

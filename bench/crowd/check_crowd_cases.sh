#!/usr/bin/env bash
# Test: the generated crowd cases are the same on every run and load without an error, with
# their entrances, so that the benchmark measures a crowd and not an empty floor.
# Usage: check_crowd_cases.sh CROWD_CASE_FILES VOSTREL_SIM
set -euo pipefail
gen=$1
sim=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/a" "$work/b"
"$gen" "$work/a"
"$gen" "$work/b"
diff -r "$work/a" "$work/b" >/dev/null || { echo "FAIL: two runs wrote different files"; exit 1; }
cd "$work"
failed=0
for f in a/*.txt; do
    if ! out=$("$sim" --check --no-images --field "$f" 2>&1); then
        echo "FAIL: $f does not load:"
        echo "$out"
        failed=1
    elif grep -q "Error" <<<"$out" || ! grep -q "Entrances          : [1-9]" <<<"$out"; then
        echo "FAIL: $f loads with an error or without an entrance:"
        echo "$out"
        failed=1
    fi
done
[ "$failed" = 0 ] && echo "all $(ls a/*.txt | wc -l) crowd cases load"
exit "$failed"

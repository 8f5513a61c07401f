#!/usr/bin/env bash
# Usage: fuzz/run.sh DIR [SECONDS]
# Builds the fuzz targets with clang in the build tree DIR (a tree of their
# own) and runs each one for SECONDS (30 by default) on a copy of its seed
# corpus in DIR/corpus/. A crashing input is kept in DIR/crashes/<target>/
# and the script exits with 1 once every target has run.
set -euo pipefail
if [[ $# -lt 1 || $# -gt 2 ]]; then
    echo "usage: $0 DIR [SECONDS]" >&2
    exit 2
fi
dir=$(mkdir -p "$1" && cd "$1" && pwd)
secs=${2:-30}
src=$(cd "$(dirname "$0")/.." && pwd)
targets=(pack linelist inistyle blansh targa replay)

CC=clang CXX=clang++ cmake -S "$src" -B "$dir" -G Ninja -DEIT_BUILD_FUZZ=ON -DEIT_BUILD_TESTS=OFF \
    -DEIT_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" --target "${targets[@]/#/fuzz_}"

status=0
for t in "${targets[@]}"; do
    corpus=$dir/corpus/$t
    mkdir -p "$corpus" "$dir/crashes/$t" "$dir/logs"
    cp -n "$src/fuzz/corpus/$t/"* "$corpus/"
    log=$dir/logs/$t.log
    # Run inside the tree, so relative names a target meets stay there.
    if (cd "$dir" && QT_QPA_PLATFORM=offscreen nice "$dir/fuzz/fuzz_$t" -max_total_time="$secs" -timeout=25 -print_final_stats=1 \
        -artifact_prefix="$dir/crashes/$t/" "$corpus" >"$log" 2>&1); then
        echo "fuzz_$t: $(grep -E '^Done [0-9]+ runs' "$log" | tail -1);" \
            "$(grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+' "$log" | tail -1)"
    else
        echo "fuzz_$t FAILED, see $log:" >&2
        grep -E 'ERROR|fuzz check failed|SUMMARY|Test unit written' "$log" >&2 || tail -20 "$log" >&2
        status=1
    fi
done
exit $status

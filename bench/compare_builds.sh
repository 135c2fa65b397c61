#!/bin/sh
# Times two builds of the plug-in side by side: each build's plugin_bench
# (bench/plugin/PluginBench.cpp) runs in turn, round after round, so a change
# in the machine's other load falls on both alike; the order within a round
# alternates. Prints, for every case, the best CPU time per second of audio
# of each build and their ratio (new / old: below 1 is faster).
#
# Usage: bench/compare_builds.sh OLD_BUILD NEW_BUILD [ROUNDS]
#
# Each build directory holds bench/plugin/plugin_bench (which itself keeps
# the fastest of several runs of each case) and the Tarvel.so it loads.
# ROUNDS defaults to 5; each round takes about fifteen seconds.
set -eu

if [ $# -lt 2 ] || [ $# -gt 3 ]; then
    echo "usage: $0 OLD_BUILD NEW_BUILD [ROUNDS]" >&2
    exit 2
fi
old=$1
new=$2
rounds=${3:-5}
for build in "$old" "$new"; do
    [ -x "$build/bench/plugin/plugin_bench" ] || { echo "missing: $build/bench/plugin/plugin_bench" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# run LABEL BUILD: one run, its cases appended to the results as
# "LABEL CASE CPU_PER_SECOND".
run() {
    "$2/bench/plugin/plugin_bench" --benchmark_format=csv 2>/dev/null >"$work/out.csv"
    # Rows look like "Song/light/iterations:1/manual_time",...; the
    # cpuPerSec counter is the eleventh field.
    awk -F, -v label="$1" 'NR > 1 && $1 ~ /^"/ {
        split($1, part, "/"); printf "%s %s %s\n", label, part[2], $11
    }' "$work/out.csv" >>"$work/results"
}

: >"$work/results"
i=0
while [ "$i" -lt "$rounds" ]; do
    if [ $((i % 2)) -eq 0 ]; then
        run old "$old"
        run new "$new"
    else
        run new "$new"
        run old "$old"
    fi
    i=$((i + 1))
    echo "round $i of $rounds done" >&2
done

awk -v rounds="$rounds" '
{
    key = $2
    if (!(key in order)) { order[key] = ++cases; name[cases] = key }
    if (!((key, $1) in best) || $3 < best[key, $1]) best[key, $1] = $3
}
END {
    printf "best CPU seconds per second of audio over %d rounds\n", rounds
    printf "%-20s %12s %12s %8s\n", "case", "old", "new", "new/old"
    for (c = 1; c <= cases; ++c) {
        k = name[c]
        printf "%-20s %12.6f %12.6f %8.3f\n", k, best[k, "old"], best[k, "new"], best[k, "new"] / best[k, "old"]
    }
}' "$work/results"

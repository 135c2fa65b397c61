#!/bin/sh
# Runs the chunk fuzzer for a while on a fresh copy of the seed corpus, so
# the committed corpus never changes under a test run.
# Usage: run-fuzzer.sh <fuzzer> <seed folder> <work folder> <seconds> [libFuzzer options]
set -eu
fuzzer=$1 seeds=$2 work=$3 seconds=$4
shift 4
rm -rf "$work"
mkdir -p "$work/corpus" "$work/artifacts"
cp "$seeds"/* "$work/corpus/"
exec "$fuzzer" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" "$@" "$work/corpus"

#!/bin/sh
# Renders bench/song.mid through Tarvel ("light" and "heavy") and through
# Debian's amsynth with the command-line host, in one run, and compares the
# CPU time each render takes (user + system, the fastest of five).
#
# Usage: bench/compare_amsynth.sh [BUILD_DIR] [AMSYNTH.so]
#
# The "heavy" settings are bench/heavy-patch.txt, which the whole-plug-in
# benchmark (bench/plugin/PluginBench.cpp) plays too. amsynth plays its first
# program with its defaults: its polyphony is not one of its automatable
# parameters, so it cannot be set to six voices from the host; it allocates
# voices for every held note (the song never holds more than ten).
set -eu

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
amsynth=${2:-/usr/lib/vst/amsynth_vst.so}
host=$build/tarvel-host
tarvel=$build/Tarvel.so
song=$here/song.mid
runs=5

for f in "$host" "$tarvel" "$amsynth" "$song"; do
    [ -e "$f" ] || { echo "missing: $f" >&2; exit 1; }
done

heavy=$(sed -n 's/^\([A-Za-z0-9]*=.*\)$/--set \1/p' "$here/heavy-patch.txt")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Prints the user + system CPU seconds of one render.
cpu() {
    /usr/bin/time -f "%U %S" -o "$work/time" "$host" render --quiet --tail 0 --format 16 "$@" \
        -o "$work/out.wav" >/dev/null
    awk '{ printf "%.3f", $1 + $2 }' "$work/time"
}

least() {
    if [ -z "$1" ] || awk -v a="$2" -v b="$1" 'BEGIN { exit !(a < b) }'; then echo "$2"; else echo "$1"; fi
}

# The three renders take turns, so a change in the machine's other load
# falls on all of them alike; each keeps its fastest run.
heavyCpu=""
lightCpu=""
amsynthCpu=""
i=0
while [ $i -lt $runs ]; do
    # shellcheck disable=SC2086 # the settings are meant to split into words
    heavyCpu=$(least "$heavyCpu" "$(cpu $heavy "$tarvel" "$song")")
    lightCpu=$(least "$lightCpu" "$(cpu "$tarvel" "$song")")
    amsynthCpu=$(least "$amsynthCpu" "$(cpu "$amsynth" "$song")")
    i=$((i + 1))
done

awk -v n="$runs" -v h="$heavyCpu" -v l="$lightCpu" -v a="$amsynthCpu" 'BEGIN {
    printf "CPU seconds for the 60 s song (fastest of %d renders each):\n", n
    printf "  Tarvel heavy  %7.3f s   real-time factor %6.1f\n", h, 60 / h
    printf "  Tarvel light  %7.3f s   real-time factor %6.1f\n", l, 60 / l
    printf "  amsynth       %7.3f s   real-time factor %6.1f\n", a, 60 / a
    printf "Tarvel heavy / amsynth CPU time: %.3f\n", h / a
    printf "Tarvel light / amsynth CPU time: %.3f\n", l / a
}'

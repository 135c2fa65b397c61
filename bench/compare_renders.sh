#!/bin/sh
# Renders the same material through two builds of the plug-in, each with its
# own tarvel-host, and compares the 32-bit float outputs byte for byte:
#  - bench/song.mid with the light patch (the defaults) and the heavy one
#    (bench/heavy-patch.txt), at the usual 512-frame blocks and at 100-frame
#    blocks, whose ends leave sub-blocks shorter than 16 frames;
#  - the demo song with the factory bank, as `make demo` renders it.
#
# Usage: bench/compare_renders.sh OLD_BUILD NEW_BUILD
#
# Each build directory holds Tarvel.so and tarvel-host. Prints one line per
# render and exits with status 1 if any pair differs. Only the format and
# the samples are compared: the files' PEAK chunks carry the time they were
# written.
set -eu

if [ $# -ne 2 ]; then
    echo "usage: $0 OLD_BUILD NEW_BUILD" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
old=$1
new=$2
song=$here/song.mid
demo=$here/../examples/demo.mid
bank=$here/../examples/factory.fxb

for f in "$old/tarvel-host" "$old/Tarvel.so" "$new/tarvel-host" "$new/Tarvel.so" "$song" "$demo" "$bank"; do
    [ -e "$f" ] || { echo "missing: $f" >&2; exit 2; }
done

heavy=$(sed -n 's/^\([A-Za-z0-9]*=.*\)$/--set \1/p' "$here/heavy-patch.txt")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# render BUILD OUT.wav ARGS...: one render with BUILD's host and plug-in.
render() {
    build=$1
    out=$2
    shift 2
    "$build/tarvel-host" render --quiet --format float "$@" -o "$out" >/dev/null
}

# sameAudio A.wav B.wav: the same format and the same sample bytes.
sameAudio() {
    python3 - "$1" "$2" <<'PY'
import struct
import sys


def chunks(path):
    data = open(path, "rb").read()
    found, pos = {}, 12
    while pos + 8 <= len(data):
        cid, size = data[pos:pos + 4], struct.unpack("<I", data[pos + 4:pos + 8])[0]
        found[cid] = data[pos + 8:pos + 8 + size]
        pos += 8 + size + (size & 1)
    return found


a, b = chunks(sys.argv[1]), chunks(sys.argv[2])
same = all(cid in a and a.get(cid) == b.get(cid) for cid in (b"fmt ", b"data"))
sys.exit(0 if same else 1)
PY
}

status=0
# compare NAME ARGS... (the arguments before the plug-in, then the song)
compare() {
    name=$1
    shift
    songFile=$1
    shift
    render "$old" "$work/old.wav" "$@" "$old/Tarvel.so" "$songFile"
    render "$new" "$work/new.wav" "$@" "$new/Tarvel.so" "$songFile"
    if sameAudio "$work/old.wav" "$work/new.wav"; then
        echo "identical  $name ($(wc -c <"$work/new.wav") bytes)"
    else
        echo "DIFFERENT  $name"
        status=1
    fi
}

compare "bench song, light, 512-frame blocks" "$song" --block 512
compare "bench song, light, 100-frame blocks" "$song" --block 100
# shellcheck disable=SC2086 # the settings are meant to split into words
compare "bench song, heavy, 512-frame blocks" "$song" --block 512 $heavy
# shellcheck disable=SC2086
compare "bench song, heavy, 100-frame blocks" "$song" --block 100 $heavy
compare "demo song, factory bank" "$demo" --load "$bank"
exit $status

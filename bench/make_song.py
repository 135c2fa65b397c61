#!/usr/bin/env python3
"""Writes the benchmark song, bench/song.mid: 60 seconds at 120 BPM.

Every bar strikes a six-note chord twice (on beats 1 and 3, held for a
beat and a half), so all six voices sound together and are taken again
while their releases still ring. On beats 2 and 4 a run of four fast
sixteenth notes goes over the held chord; each of them has to steal a
voice. Both the whole-plug-in benchmark and compare_amsynth.sh play this
file, so they measure the same music.

Usage: make_song.py [OUT.mid]   (default: song.mid next to this script)
"""
import os
import struct
import sys

TPQ = 480          # ticks per quarter note
BARS = 30          # 30 bars of 4/4 at 120 BPM = 60 seconds
CHORDS = [
    [48, 55, 60, 64, 67, 72],   # C
    [45, 52, 57, 60, 64, 69],   # A minor
    [41, 48, 53, 57, 60, 65],   # F
    [43, 50, 55, 59, 62, 67],   # G
]
RUN = [0, 7, 12, 16]            # the fast notes, above the chord's top note


def var_len(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.insert(0, (value & 0x7F) | 0x80)
        value >>= 7
    return bytes(out)


def song_events():
    """(tick, order, status, note, velocity); note-offs sort before note-ons."""
    events = []
    for bar in range(BARS):
        chord = CHORDS[bar % len(CHORDS)]
        start = bar * 4 * TPQ
        for beat in (0, 2):
            on = start + beat * TPQ
            for note in chord:
                events.append((on, 1, 0x90, note, 96))
                events.append((on + TPQ * 3 // 2, 0, 0x80, note, 0))
        for beat in (1, 3):
            for k, step in enumerate(RUN):
                on = start + beat * TPQ + k * TPQ // 4
                note = chord[-1] + step
                events.append((on, 1, 0x90, note, 110))
                events.append((on + TPQ // 4 - 10, 0, 0x80, note, 0))
    events.sort()
    return events


def write(path):
    track = bytearray()
    track += var_len(0) + b"\xFF\x51\x03" + (500000).to_bytes(3, "big")   # 120 BPM
    track += var_len(0) + b"\xFF\x58\x04\x04\x02\x18\x08"                  # 4/4
    last = 0
    for tick, _, status, note, velocity in song_events():
        track += var_len(tick - last) + bytes([status, note, velocity])
        last = tick
    end = BARS * 4 * TPQ
    track += var_len(end - last) + b"\xFF\x2F\x00"
    data = b"MThd" + struct.pack(">IHHH", 6, 0, 1, TPQ)
    data += b"MTrk" + struct.pack(">I", len(track)) + bytes(track)
    with open(path, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    write(sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "song.mid"))

#!/usr/bin/env python3
"""Writes examples/demo.mid: a short piece for a six-voice instrument.

About thirty seconds in A minor: three-note chords, a bass line and a lead
melody on three tracks after a conductor track that holds the tempo map
(100 BPM, a push to 112 BPM for the second section, a slowing final bar).
At most five notes sound at once, so a six-voice synthesizer plays it
without stealing. Only the standard library is used; the output is
deterministic, so the committed file can be checked against a fresh run.

usage: tools/make_demo_song.py [OUT.mid]
"""

import os
import struct
import sys

PPQ = 480
BAR = 4 * PPQ


def vlq(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


def track_chunk(events):
    """events: (tick, order, bytes). Written with running status."""
    events = sorted(events, key=lambda e: (e[0], e[1]))
    data = bytearray()
    now = 0
    running = None
    for tick, _, message in events:
        data += vlq(tick - now)
        now = tick
        status = message[0]
        if status < 0xF0 and status == running:
            data += message[1:]
        else:
            data += message
            running = status if status < 0xF0 else None
    data += vlq(0) + b"\xff\x2f\x00"
    return b"MTrk" + struct.pack(">I", len(data)) + bytes(data)


def meta(kind, payload):
    return bytes([0xFF, kind]) + vlq(len(payload)) + payload


def tempo(bpm):
    return meta(0x51, struct.pack(">I", round(60_000_000 / bpm))[1:])


def notes(channel, start, length, pitches, velocity):
    out = []
    for pitch in pitches:
        # Note-offs sort before note-ons at the same tick (order 0 vs 1), so a
        # repeated note is released before it is struck again.
        out.append((start, 1, bytes([0x90 | channel, pitch, velocity])))
        out.append((start + length, 0, bytes([0x90 | channel, pitch, 0])))
    return out


# Chord roots per bar, as MIDI notes, and three-note voicings around middle C.
CHORDS = [
    ("Am", [57, 60, 64]), ("F", [57, 60, 65]), ("C", [55, 60, 64]), ("G", [55, 59, 62]),
    ("Am", [57, 60, 64]), ("F", [57, 60, 65]), ("C", [55, 60, 64]), ("E", [56, 59, 64]),
    ("Dm", [57, 62, 65]), ("Am", [57, 60, 64]), ("F", [57, 60, 65]), ("E", [56, 59, 64]),
    ("Am", [57, 60, 64]),
]
BASS_ROOTS = [45, 41, 48, 43, 45, 41, 48, 40, 38, 45, 41, 40, 45]

# Lead: (bar, beat offset in eighths, length in eighths, pitch).
LEAD = [
    (0, 0, 3, 72), (0, 3, 1, 71), (0, 4, 4, 69),
    (1, 0, 2, 72), (1, 2, 2, 74), (1, 4, 4, 76),
    (2, 0, 3, 79), (2, 3, 1, 76), (2, 4, 2, 74), (2, 6, 2, 72),
    (3, 0, 6, 74), (3, 6, 2, 71),
    (4, 0, 3, 72), (4, 3, 1, 74), (4, 4, 4, 76),
    (5, 0, 2, 77), (5, 2, 2, 76), (5, 4, 4, 72),
    (6, 0, 3, 76), (6, 3, 1, 74), (6, 4, 4, 72),
    (7, 0, 8, 71),
    (8, 0, 1, 74), (8, 1, 1, 77), (8, 2, 2, 81), (8, 4, 2, 79), (8, 6, 2, 77),
    (9, 0, 1, 76), (9, 1, 1, 72), (9, 2, 2, 69), (9, 4, 2, 72), (9, 6, 2, 76),
    (10, 0, 2, 77), (10, 2, 2, 81), (10, 4, 2, 84), (10, 6, 2, 81),
    (11, 0, 4, 80), (11, 4, 2, 76), (11, 6, 2, 74),
    (12, 0, 10, 69),
]


def build():
    last_bar = len(CHORDS) - 1
    conductor = [
        (0, 0, meta(0x03, b"Tarvel demo")),
        (0, 0, meta(0x58, bytes([4, 2, 24, 8]))),
        (0, 0, tempo(100)),
        (8 * BAR, 0, tempo(112)),
    ]
    # The last bar slows down over its four beats.
    for beat, bpm in enumerate([96, 88, 80, 72]):
        conductor.append((last_bar * BAR + beat * PPQ, 0, tempo(bpm)))

    chords = [(0, 0, meta(0x03, b"Chords")), (0, 0, bytes([0xB0, 7, 100]))]
    for bar, (_, voicing) in enumerate(CHORDS):
        if bar == last_bar:
            chords += notes(0, bar * BAR, BAR + PPQ, voicing, 70)
            continue
        # Two strikes per bar: on beat one and, shorter, on the "and" of three.
        chords += notes(0, bar * BAR, 2 * PPQ + PPQ // 2 - 20, voicing, 72)
        chords += notes(0, bar * BAR + 2 * PPQ + PPQ // 2, PPQ + PPQ // 2 - 20, voicing, 60)

    bass = [(0, 0, meta(0x03, b"Bass"))]
    pattern = [(0, 3, 0), (3, 1, 0), (4, 2, 12), (6, 2, 7)]  # eighths: start, length, interval
    for bar, root in enumerate(BASS_ROOTS):
        if bar == last_bar:
            bass += notes(0, bar * BAR, BAR + PPQ, [root - 12], 96)
            continue
        for start, length, interval in pattern:
            bass += notes(0, bar * BAR + start * PPQ // 2, length * PPQ // 2 - 30, [root + interval], 100)

    lead = [(0, 0, meta(0x03, b"Lead"))]
    for bar, start, length, pitch in LEAD:
        lead += notes(0, bar * BAR + start * PPQ // 2, length * PPQ // 2 - 15, [pitch], 90)

    tracks = [conductor, chords, bass, lead]
    header = b"MThd" + struct.pack(">IHHH", 6, 1, len(tracks), PPQ)
    return header + b"".join(track_chunk(t) for t in tracks)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "examples", "demo.mid")
    with open(out, "wb") as f:
        f.write(build())


if __name__ == "__main__":
    main()

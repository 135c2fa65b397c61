#!/usr/bin/env python3
"""Compares two stereo WAV renders sample by sample.

usage: compare_wav.py A.wav B.wav [--tolerance 1e-6]

Prints the frame counts, how many samples differ and the largest
difference; exits 1 when the lengths or channel counts differ or any
difference exceeds the tolerance. Reads 16/24/32-bit PCM and 32-bit float,
plain or in the extensible format.
"""
import struct
import sys
from array import array


def read_wav(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[0:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise SystemExit(f"{path}: not a RIFF WAVE file")
    pos = 12
    fmt = None
    samples = None
    while pos + 8 <= len(data):
        cid, size = data[pos:pos + 4], struct.unpack("<I", data[pos + 4:pos + 8])[0]
        body = data[pos + 8:pos + 8 + size]
        if cid == b"fmt ":
            tag, channels, rate, _, align, bits = struct.unpack("<HHIIHH", body[:16])
            if tag == 0xFFFE and len(body) >= 26:
                tag = struct.unpack("<H", body[24:26])[0]
            fmt = (tag, channels, rate, bits)
        elif cid == b"data":
            samples = body
        pos += 8 + size + (size & 1)
    if fmt is None or samples is None:
        raise SystemExit(f"{path}: no fmt or data chunk")
    tag, channels, rate, bits = fmt
    if tag == 3 and bits == 32:
        values = array("f")
        values.frombytes(samples[: len(samples) // 4 * 4])
        values = list(values)
    elif tag == 1 and bits in (16, 24, 32):
        width = bits // 8
        scale = float(1 << (bits - 1))
        values = [int.from_bytes(samples[i:i + width], "little", signed=True) / scale
                  for i in range(0, len(samples) - width + 1, width)]
    else:
        raise SystemExit(f"{path}: unsupported sample format {tag}/{bits} bits")
    if sys.byteorder != "little" and tag == 3:
        raise SystemExit("big-endian machines are not supported")
    return channels, rate, values


def main():
    args = sys.argv[1:]
    tolerance = 1e-6
    if "--tolerance" in args:
        i = args.index("--tolerance")
        tolerance = float(args[i + 1])
        del args[i:i + 2]
    if len(args) != 2:
        raise SystemExit(__doc__)
    ca, ra, a = read_wav(args[0])
    cb, rb, b = read_wav(args[1])
    if (ca, ra) != (cb, rb):
        print(f"FAIL: formats differ: {ca} ch {ra} Hz against {cb} ch {rb} Hz")
        return 1
    if len(a) != len(b):
        print(f"FAIL: lengths differ: {len(a) // ca} against {len(b) // cb} frames")
        return 1
    worst = 0.0
    worst_at = -1
    differing = 0
    peak = 0.0
    for i, (x, y) in enumerate(zip(a, b)):
        peak = max(peak, abs(x))
        if x != y:
            differing += 1
            d = abs(x - y)
            if d > worst or d != d:
                worst, worst_at = d, i
    print(f"{len(a) // ca} frames, peak {peak:.4f}: {differing} of {len(a)} samples differ, "
          f"largest difference {worst:.3g}" + (f" at frame {worst_at // ca}" if worst_at >= 0 else ""))
    if not worst <= tolerance:
        print(f"FAIL: difference above {tolerance:g}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

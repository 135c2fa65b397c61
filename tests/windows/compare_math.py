#!/usr/bin/env python3
"""Tells how two C runtimes' results from runtime-math differ: per function,
how many of the values differ and by how many units in the last place.

usage: compare_math.py A.bin B.bin
"""
import struct
import sys

NAMES = ["sin(pi c)", "pow(2, e)", "pow(r, 0.25)", "tanh(y)"]


def main():
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    a, b = (open(p, "rb").read() for p in sys.argv[1:])
    if len(a) != len(b) or len(a) % (8 * len(NAMES)):
        print("the files do not hold the same values")
        return 1
    n = len(a) // 8
    va, vb = struct.unpack(f"<{n}q", a), struct.unpack(f"<{n}q", b)
    per = n // len(NAMES)
    for k, name in enumerate(NAMES):
        d = [abs(x - y) for x, y in zip(va[k * per:(k + 1) * per], vb[k * per:(k + 1) * per]) if x != y]
        print(f"{name}: {len(d)} of {per} differ" + (f", by up to {max(d)} ulp" if d else ""))
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Compares two PNG pictures of the same scene pixel by pixel.

usage: compare_png.py A.png B.png [--tolerance N] [--exclude L,T,R,B]...
                      [--max-share S] [--ink L,T,R,B]...

Channels (un-premultiplied RGBA) may differ by up to N (default 2). Pixels
inside an --exclude rectangle are not compared. The comparison fails when
more than a share S (default 0) of the compared pixels differ by more than
N. Each --ink rectangle must hold pixels of at least two different colours
in B (text was drawn there). Reads 8-bit greyscale, RGB, RGBA and palette
PNGs, not interlaced.
"""
import struct
import sys
import zlib


def read_png(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise SystemExit(f"{path}: not a PNG file")
    pos, idat, palette, trns = 8, b"", None, None
    while pos < len(data):
        length = struct.unpack(">I", data[pos:pos + 4])[0]
        kind = data[pos + 4:pos + 8]
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
        elif kind == b"PLTE":
            palette = [tuple(body[i:i + 3]) for i in range(0, len(body), 3)]
        elif kind == b"tRNS":
            trns = body
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    if depth != 8 or interlace != 0 or colour not in (0, 2, 3, 4, 6):
        raise SystemExit(f"{path}: unsupported PNG (depth {depth}, colour type {colour}, interlace {interlace})")
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour]
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b = previous[i]
            c = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line))
        previous = line
    pixels = []
    for line in rows:
        for x in range(width):
            px = line[x * channels:(x + 1) * channels]
            if colour == 6:
                pixels.append(tuple(px))
            elif colour == 2:
                pixels.append((px[0], px[1], px[2], 255))
            elif colour == 0:
                pixels.append((px[0], px[0], px[0], 255))
            elif colour == 4:
                pixels.append((px[0], px[0], px[0], px[1]))
            else:
                r, g, b = palette[px[0]]
                alpha = trns[px[0]] if trns and px[0] < len(trns) else 255
                pixels.append((r, g, b, alpha))
    return width, height, pixels


def rect(text):
    left, top, right, bottom = (int(v) for v in text.split(","))
    return left, top, right, bottom


def main():
    args = sys.argv[1:]
    tolerance, share, excludes, inks, files = 2, 0.0, [], [], []
    while args:
        a = args.pop(0)
        if a == "--tolerance":
            tolerance = int(args.pop(0))
        elif a == "--max-share":
            share = float(args.pop(0))
        elif a == "--exclude":
            excludes.append(rect(args.pop(0)))
        elif a == "--ink":
            inks.append(rect(args.pop(0)))
        else:
            files.append(a)
    if len(files) != 2:
        raise SystemExit(__doc__)
    wa, ha, a = read_png(files[0])
    wb, hb, b = read_png(files[1])
    if (wa, ha) != (wb, hb):
        print(f"FAIL: sizes differ: {wa}x{ha} against {wb}x{hb}")
        return 1
    compared = differing = worst = 0
    for y in range(ha):
        for x in range(wa):
            if any(l <= x < r and t <= y < btm for l, t, r, btm in excludes):
                continue
            compared += 1
            pa, pb = a[y * wa + x], b[y * wa + x]
            if pa[3] == 0 and pb[3] == 0:
                continue
            d = max(abs(u - v) for u, v in zip(pa, pb))
            worst = max(worst, d)
            if d > tolerance:
                differing += 1
    print(f"{wa}x{ha}: {differing} of {compared} compared pixels differ by more than {tolerance} "
          f"(largest channel difference {worst})")
    failed = differing > share * compared
    for l, t, r, btm in inks:
        colours = {b[y * wb + x] for y in range(t, btm) for x in range(l, r)}
        if len(colours) < 2:
            print(f"FAIL: nothing drawn in {l},{t},{r},{btm}")
            failed = True
    if failed:
        print("FAIL")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())

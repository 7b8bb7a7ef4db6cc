#!/usr/bin/env python3
"""Draws the application icon, a clock face at ten past ten, into kalvor.ico.

Thirteen images: 48, 32, 24 and 16 pixels at 4 and 8 bits per pixel, then 256, 48, 32, 24 and 16
pixels at 32 bits per pixel, the 256-pixel one stored as PNG. Standard library only:
    python3 res/draw_icon.py res/kalvor.ico
"""
import math
import struct
import sys
import zlib

RIM = (31, 78, 140)
FACE = (253, 253, 245)
INK = (32, 40, 48)
RED = (200, 40, 40)


def segment_distance(u, v, angle, length):
    """Distance from (u, v) to the hand from the centre along `angle` (radians, 0 = 12 o'clock)."""
    dx, dy = math.sin(angle), -math.cos(angle)
    along = max(0.0, min(length, u * dx + v * dy))
    return math.hypot(u - along * dx, v - along * dy)


def colour_at(u, v):
    """Colour (r, g, b) or None (transparent) at a point of the unit square centred on 0."""
    r = math.hypot(u, v)
    if r > 0.97:
        return None
    if r > 0.84:
        return RIM
    if r < 0.08:
        return RED
    if segment_distance(u, v, math.radians(305), 0.46) < 0.07:  # hour hand, ten o'clock
        return INK
    if segment_distance(u, v, math.radians(60), 0.68) < 0.05:  # minute hand, two o'clock
        return INK
    if segment_distance(u, v, math.radians(200), 0.72) < 0.018:  # second hand
        return RED
    if 0.66 < r < 0.80:
        angle = math.atan2(u, -v) % (2 * math.pi)
        nearest = round(angle / (math.pi / 6)) * (math.pi / 6)
        width = 0.06 if round(angle / (math.pi / 6)) % 3 == 0 else 0.035
        if abs(math.sin(angle - nearest)) * r < width:
            return INK
    return FACE


def render(size):
    """Rows of (r, g, b, a) pixels, top row first, 4x4 supersampled."""
    samples = 4
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            total = [0, 0, 0, 0]
            for sy in range(samples):
                for sx in range(samples):
                    u = ((x + (sx + 0.5) / samples) / size) * 2 - 1
                    v = ((y + (sy + 0.5) / samples) / size) * 2 - 1
                    c = colour_at(u, v)
                    if c is not None:
                        total[0] += c[0]
                        total[1] += c[1]
                        total[2] += c[2]
                        total[3] += 1
            n = total[3]
            if n == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((total[0] // n, total[1] // n, total[2] // n, 255 * n // samples ** 2))
        rows.append(row)
    return rows


VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
         (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
         (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
CUBE = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
PALETTE256 = CUBE + [(i * 255 // 39,) * 3 for i in range(40)]


def nearest(palette, colour):
    return min(range(len(palette)),
               key=lambda i: sum((palette[i][k] - colour[k]) ** 2 for k in range(3)))


def padded(row_bytes):
    return row_bytes + b"\0" * (-len(row_bytes) % 4)


def and_mask(rows):
    out = b""
    for row in reversed(rows):
        bits = bytearray((len(row) + 7) // 8)
        for x, p in enumerate(row):
            if p[3] < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        out += padded(bytes(bits))
    return out


def dib(rows, bits):
    size = len(rows)
    if bits == 32:
        palette = []
        pixels = b"".join(padded(bytes(c for p in row for c in (p[2], p[1], p[0], p[3])))
                          for row in reversed(rows))
    else:
        palette = VGA16 if bits == 4 else PALETTE256
        cache = {}
        pixels = b""
        for row in reversed(rows):
            indices = []
            for p in row:
                key = p[:3] if p[3] >= 128 else None
                if key not in cache:
                    cache[key] = 0 if key is None else nearest(palette, key)
                indices.append(cache[key])
            if bits == 4:
                data = bytes((indices[i] << 4) | (indices[i + 1] if i + 1 < size else 0)
                             for i in range(0, size, 2))
            else:
                data = bytes(indices)
            pixels += padded(data)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0,
                         len(pixels) + len(and_mask(rows)), 0, 0, len(palette), 0)
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    return header + table + pixels + and_mask(rows)


def png(rows):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    size = len(rows)
    raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in rows)
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main(path):
    images = [(s, 4) for s in (48, 32, 24, 16)] + [(s, 8) for s in (48, 32, 24, 16)] + \
             [(s, 32) for s in (256, 48, 32, 24, 16)]
    rendered = {s: render(s) for s in (256, 48, 32, 24, 16)}
    blobs = [png(rendered[s]) if s == 256 else dib(rendered[s], bits) for s, bits in images]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (s, bits), blob in zip(images, blobs):
        colours = 16 if bits == 4 else 0
        out += struct.pack("<BBBBHHII", s % 256, s % 256, colours, 0, 1, bits, len(blob), offset)
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(out + b"".join(blobs))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "kalvor.ico")

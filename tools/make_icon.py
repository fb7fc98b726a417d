#!/usr/bin/env python3
"""Draws the Lurvik icon and writes resources/lurvik.ico (16x16, 32x32 and 48x48, 32-bit).

The picture: a stack of three coloured "handle" cards, each with a small grip, and a
magnifying glass held over them. Shapes are described in unit coordinates and rendered with
4x4 supersampling, so every size comes from the same drawing. Only the standard library is
used; the images are stored as 32-bit DIBs with an AND mask, which every Windows from XP on
reads.
Usage: tools/make_icon.py [output path]
"""
import math
import struct
import sys
from pathlib import Path

SUPERSAMPLE = 4


def rounded_rect(x0, y0, x1, y1, radius):
    def inside(x, y):
        cx = min(max(x, x0 + radius), x1 - radius)
        cy = min(max(y, y0 + radius), y1 - radius)
        return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2 and x0 <= x <= x1 and y0 <= y <= y1
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r_in, r_out):
    return lambda x, y: r_in * r_in <= (x - cx) ** 2 + (y - cy) ** 2 <= r_out * r_out


def arc(cx, cy, r_in, r_out, from_angle, to_angle):
    def inside(x, y):
        d = math.hypot(x - cx, y - cy)
        return r_in <= d <= r_out and from_angle <= math.atan2(y - cy, x - cx) <= to_angle
    return inside


def thick_line(ax, ay, bx, by, half_width):
    def inside(x, y):
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
        px, py = ax + t * dx, ay + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= half_width ** 2
    return inside


def layers():
    """Back to front: (shape, (r, g, b, a))."""
    shapes = []
    # Three stacked handle cards, offset like a fanned pile, each with an outline and a grip.
    cards = [((0.06, 0.50, 0.62, 0.74), (0xE0, 0x7A, 0x2E)),
             ((0.10, 0.36, 0.66, 0.60), (0x3C, 0x9A, 0x4C)),
             ((0.14, 0.22, 0.70, 0.46), (0x2F, 0x6F, 0xC8))]
    for (x0, y0, x1, y1), rgb in cards:
        shapes.append((rounded_rect(x0, y0, x1, y1, 0.05), (0x20, 0x20, 0x28, 255)))
        shapes.append((rounded_rect(x0 + 0.025, y0 + 0.025, x1 - 0.025, y1 - 0.025, 0.035), rgb + (255,)))
        shapes.append((circle(x0 + 0.09, (y0 + y1) / 2, 0.035), (0xF4, 0xF4, 0xF0, 255)))
    # The magnifier: handle first, then glass, rim and a highlight.
    cx, cy, r = 0.60, 0.55, 0.24
    shapes.append((thick_line(cx + 0.17, cy + 0.17, 0.95, 0.95, 0.075), (0x20, 0x20, 0x28, 255)))
    shapes.append((thick_line(cx + 0.19, cy + 0.19, 0.93, 0.93, 0.045), (0x8A, 0x5A, 0x2B, 255)))
    shapes.append((circle(cx, cy, r), (0xC8, 0xE6, 0xFA, 150)))
    shapes.append((ring(cx, cy, r - 0.045, r + 0.02), (0x20, 0x20, 0x28, 255)))
    shapes.append((ring(cx, cy, r - 0.025, r), (0xA8, 0xB0, 0xBC, 255)))
    shapes.append((arc(cx - 0.06, cy - 0.06, 0.10, 0.14, -2.9, -1.7), (0xFF, 0xFF, 0xFF, 220)))
    return shapes


def render(size):
    shapes = layers()
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    x = (px + (sx + 0.5) / SUPERSAMPLE) / size
                    y = (py + (sy + 0.5) / SUPERSAMPLE) / size
                    r = g = b = a = 0.0
                    for inside, (cr, cg, cb, ca) in shapes:
                        if inside(x, y):
                            alpha = ca / 255.0
                            r = cr * alpha + r * (1 - alpha)
                            g = cg * alpha + g * (1 - alpha)
                            b = cb * alpha + b * (1 - alpha)
                            a = alpha + a * (1 - alpha)
                    acc[0] += r; acc[1] += g; acc[2] += b; acc[3] += a
            n = SUPERSAMPLE * SUPERSAMPLE
            a = acc[3] / n
            if a <= 0.0:
                row.append((0, 0, 0, 0))
            else:
                row.append((round(acc[0] / n / a), round(acc[1] / n / a), round(acc[2] / n / a), round(a * 255)))
        pixels.append(row)
    return pixels


def dib(size, pixels):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    color = bytearray()
    for row in reversed(pixels):  # bottom-up
        for r, g, b, a in row:
            color += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(color) + bytes(mask)


def write_ico(path, sizes):
    images = [dib(size, render(size)) for size in sizes]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    for image in images:
        out += image
    Path(path).write_bytes(bytes(out))


if __name__ == "__main__":
    target = sys.argv[1] if len(sys.argv) > 1 else str(Path(__file__).resolve().parent.parent / "resources" / "lurvik.ico")
    write_ico(target, [16, 32, 48])
    print(target)

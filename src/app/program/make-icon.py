#!/usr/bin/env python3
"""Draws the application icon (a database drum) from our own pixels and writes it as
FbConfigUtility.ico with 16, 32 and 48 pixel images (32-bit colour with alpha).
Run it again only to change the picture; the .ico is kept in the repository."""
import struct
import sys
from pathlib import Path

BODY = (0x2D, 0x6C, 0xB5)
TOP = (0x8F, 0xC0, 0xEE)
BAND = (0x1B, 0x45, 0x78)
EDGE = (0x12, 0x2E, 0x52)


def inside_ellipse(x, y, cx, cy, rx, ry):
    return ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0


def colour_at(u, v):
    """Colour of the drum at unit coordinates (0..1, y downwards), or None."""
    left, right, rx, ry = 0.16, 0.84, 0.34, 0.11
    top, bottom = 0.22, 0.78
    if inside_ellipse(u, v, 0.5, top, rx, ry):
        ring = not inside_ellipse(u, v, 0.5, top, rx - 0.05, ry - 0.035)
        return EDGE if ring else TOP
    in_body = left <= u <= right and top <= v <= bottom
    if in_body or inside_ellipse(u, v, 0.5, bottom, rx, ry):
        for band in (0.41, 0.60):
            if in_body and abs(v - (band + ry * (1 - ((u - 0.5) / rx) ** 2) ** 0.5)) < 0.03:
                return BAND
        edge = u < left + 0.04 or u > right - 0.04 or not inside_ellipse(u, v, 0.5, bottom, rx, ry - 0.04) and v > bottom
        return EDGE if edge else BODY
    return None


def image(size):
    """One icon image: BITMAPINFOHEADER, bottom-up BGRA rows, then the AND mask."""
    samples = 4  # 4x4 supersampling for smooth edges
    pixels = bytearray()
    mask = bytearray()
    mask_stride = ((size + 31) // 32) * 4
    for row in range(size - 1, -1, -1):
        mask_row = bytearray(mask_stride)
        for col in range(size):
            acc = [0, 0, 0]
            hits = 0
            for sy in range(samples):
                for sx in range(samples):
                    c = colour_at((col + (sx + 0.5) / samples) / size, (row + (sy + 0.5) / samples) / size)
                    if c:
                        hits += 1
                        acc = [a + b for a, b in zip(acc, c)]
            alpha = round(255 * hits / samples ** 2)
            r, g, b = ([round(a / hits) for a in acc] if hits else [0, 0, 0])
            pixels += bytes((b, g, r, alpha))
            if alpha == 0:
                mask_row[col // 8] |= 0x80 >> (col % 8)
        mask += mask_row
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return header + bytes(pixels) + bytes(mask)


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).with_name("FbConfigUtility.ico")
    sizes = (16, 32, 48)
    images = [image(s) for s in sizes]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, img in zip(sizes, images):
        data += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    out.write_bytes(data + b"".join(images))


if __name__ == "__main__":
    main()

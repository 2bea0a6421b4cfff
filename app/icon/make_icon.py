#!/usr/bin/env python3
"""Builds the program's icon from its text-art drawings.

Each drawing (48.txt, 32.txt, 16.txt) is a square of characters, one per
pixel, top row first; the legend below names the colour of each character.
The result is a Windows .ico with three 16-colour images, largest first,
the form every Windows since 95 reads:

    make_icon.py OUTPUT.ico [--preview OUTPUT.png]

The preview draws the three images side by side, enlarged, on a checked
background, so that the drawings can be judged without Windows.
"""

import os
import struct
import sys
import zlib

# The standard 16-colour palette, in its usual order.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]

# Character -> palette index; '.' is transparent.
LEGEND = {
    'K': 0,   # black
    'r': 1,   # dark red
    'g': 2,   # dark green
    'y': 3,   # olive
    'n': 4,   # navy
    'p': 5,   # purple
    't': 6,   # teal
    's': 7,   # silver
    'd': 8,   # grey
    'R': 9,   # red
    'G': 10,  # green
    'Y': 11,  # yellow
    'B': 12,  # blue
    'M': 13,  # magenta
    'C': 14,  # cyan
    'W': 15,  # white
}
TRANSPARENT = '.'

SIZES = (48, 32, 16)


def read_drawing(path, size):
    with open(path, encoding='ascii') as source:
        rows = [line.rstrip('\n') for line in source if line.strip() and not line.startswith('#')]
    if len(rows) != size or any(len(row) != size for row in rows):
        sys.exit(f'{path}: expected {size} rows of {size} characters')
    for y, row in enumerate(rows):
        for x, char in enumerate(row):
            if char != TRANSPARENT and char not in LEGEND:
                sys.exit(f'{path}:{y + 1}:{x + 1}: unknown colour {char!r}')
    return rows


def row_stride(bits_per_row):
    return (bits_per_row + 31) // 32 * 4


def icon_image(rows):
    """BITMAPINFOHEADER, palette, 4-bit colour rows and 1-bit mask rows,
    both bottom-up, each row padded to four bytes."""
    size = len(rows)
    colour_stride = row_stride(size * 4)
    mask_stride = row_stride(size)
    colour = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        indices = [LEGEND.get(char, 0) for char in row]
        packed = bytearray((indices[x] << 4) | indices[x + 1] for x in range(0, size, 2))
        colour += packed.ljust(colour_stride, b'\0')
        bits = bytearray(mask_stride)
        for x, char in enumerate(row):
            if char == TRANSPARENT:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0,
                         len(colour) + len(mask), 0, 0, 0, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(colour) + bytes(mask)


def icon_file(drawings):
    images = [icon_image(rows) for rows in drawings]
    directory = struct.pack('<HHH', 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries = b''
    for rows, image in zip(drawings, images):
        size = len(rows)
        entries += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    return directory + entries + b''.join(images)


def png_file(width, height, pixels):
    """A plain RGB PNG; pixels is a list of rows of (r, g, b)."""
    raw = b''.join(b'\0' + bytes(c for pixel in row for c in pixel) for row in pixels)

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data
                + struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF))

    return (b'\x89PNG\r\n\x1a\n'
            + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw, 9))
            + chunk(b'IEND', b''))


def preview(drawings, shown=192, gap=12):
    """The drawings enlarged to one size, then at their real size, side by side."""
    width = len(drawings) * (shown + gap) + gap
    width += sum(len(rows) + gap for rows in drawings)
    height = shown + 2 * gap
    checks = [[(0xE0, 0xE0, 0xE0) if ((x // 4) + (y // 4)) % 2 else (0xA0, 0xA0, 0xA0)
               for x in range(width)] for y in range(height)]
    left = gap
    for enlarged in (True, False):
        for rows in drawings:
            factor = shown // len(rows) if enlarged else 1
            for y, row in enumerate(rows):
                for x, char in enumerate(row):
                    if char == TRANSPARENT:
                        continue
                    for dy in range(factor):
                        for dx in range(factor):
                            checks[gap + y * factor + dy][left + x * factor + dx] = PALETTE[LEGEND[char]]
            left += len(rows) * factor + gap
    return png_file(width, height, checks)


def main(argv):
    if len(argv) not in (2, 4) or (len(argv) == 4 and argv[2] != '--preview'):
        sys.exit(__doc__)
    here = os.path.dirname(os.path.abspath(__file__))
    drawings = [read_drawing(os.path.join(here, f'{size}.txt'), size) for size in SIZES]
    with open(argv[1], 'wb') as out:
        out.write(icon_file(drawings))
    if len(argv) == 4:
        with open(argv[3], 'wb') as out:
            out.write(preview(drawings))


if __name__ == '__main__':
    main(sys.argv)

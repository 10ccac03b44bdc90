#!/usr/bin/env python3
"""Draws the wizard's artwork: the banner across the top of every page
(Banner.bmp) and the program icon (Corvane.ico, 16 and 32 pixels).

Usage: make_art.py <output folder>
"""
import struct
import sys

# 5x7 glyphs of the letters the artwork uses; '#' is ink.
GLYPHS = {
    'A': [" ### ", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"],
    'C': [" ####", "#    ", "#    ", "#    ", "#    ", "#    ", " ####"],
    'E': ["#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#####"],
    'G': [" ####", "#    ", "#    ", "#  ##", "#   #", "#   #", " ### "],
    'K': ["#   #", "#  # ", "# #  ", "##   ", "# #  ", "#  # ", "#   #"],
    'N': ["#   #", "##  #", "# # #", "#  ##", "#   #", "#   #", "#   #"],
    'O': [" ### ", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "],
    'P': ["#### ", "#   #", "#   #", "#### ", "#    ", "#    ", "#    "],
    'R': ["#### ", "#   #", "#   #", "#### ", "# #  ", "#  # ", "#   #"],
    'V': ["#   #", "#   #", "#   #", "#   #", "#   #", " # # ", "  #  "],
    '1': ["  #  ", " ##  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "],
    '0': [" ### ", "#   #", "#  ##", "# # #", "##  #", "#   #", " ### "],
    '.': ["     ", "     ", "     ", "     ", "     ", " ##  ", " ##  "],
    ' ': ["     "] * 7,
}


class Canvas:
    def __init__(self, width, height, colour):
        self.width, self.height = width, height
        self.pixels = [[colour] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.put(x, y, colour)

    def text(self, x, y, text, scale, colour):
        for ch in text:
            for row, line in enumerate(GLYPHS[ch]):
                for col, cell in enumerate(line):
                    if cell == '#':
                        self.rect(x + col * scale, y + row * scale,
                                  x + (col + 1) * scale, y + (row + 1) * scale, colour)
            x += 6 * scale


def blend(a, b, t):
    return tuple(int(a[i] + (b[i] - a[i]) * t) for i in range(len(a)))


def draw_parcel(c, x, y, size, face, top, side, line):
    """An open parcel: the front face, the lid, the right side and a tape line."""
    lid = size // 3
    c.rect(x, y + lid, x + size, y + size, face)
    for i in range(lid):  # slanted lid and side
        c.rect(x + lid - i, y + i, x + size + lid - i, y + i + 1, top)
        c.rect(x + size + lid - i - 1, y + i, x + size + lid - i, y + size + i - lid + lid, side)
    c.rect(x + size // 2 - 1, y + lid, x + size // 2 + 1, y + size, line)


def banner():
    width, height = 640, 72
    left, right = (0x5a, 0x3c, 0x10), (0xa8, 0x7f, 0x2a)  # BGR: deep blue to steel blue
    c = Canvas(width, height, left)
    for x in range(width):
        colour = blend(left, right, x / (width - 1))
        for y in range(height):
            c.pixels[y][x] = colour
    c.rect(0, height - 3, width, height, (0x20, 0xa0, 0xf0))  # orange rule under the banner
    draw_parcel(c, 14, 14, 40, (0x50, 0xb0, 0xe8), (0x80, 0xd0, 0xf8), (0x30, 0x80, 0xc0), (0x20, 0x50, 0x80))
    c.text(76, 14, "CORVANE REPACKAGER", 3, (0xff, 0xff, 0xff))
    c.text(78, 46, "1.0", 2, (0xf0, 0xe0, 0xc0))
    return c


def write_bmp(path, c):
    stride = (c.width * 3 + 3) & ~3
    rows = b""
    for y in range(c.height - 1, -1, -1):
        row = b"".join(bytes(p) for p in c.pixels[y])
        rows += row + b"\0" * (stride - len(row))
    header = struct.pack("<IiiHHIIiiII", 40, c.width, c.height, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", 14 + len(header) + len(rows), 0, 0, 14 + len(header)))
        f.write(header + rows)


def icon_image(size):
    """BGRA rows, top first: a rounded blue tile with a parcel."""
    tile, clear = (0xa8, 0x6a, 0x1c, 0xff), (0, 0, 0, 0)
    c = Canvas(size, size, clear)
    r = size // 6
    for y in range(size):
        for x in range(size):
            dx = max(r - x, x - (size - 1 - r), 0)
            dy = max(r - y, y - (size - 1 - r), 0)
            if dx * dx + dy * dy <= r * r:
                c.pixels[y][x] = tile
    p = size * 9 // 16
    draw_parcel(c, size // 8, size * 5 // 16, p, (0x50, 0xb0, 0xe8, 0xff), (0x80, 0xd0, 0xf8, 0xff),
                (0x30, 0x80, 0xc0, 0xff), (0x20, 0x50, 0x80, 0xff))
    return c


def write_ico(path, sizes):
    images = []
    for size in sizes:
        c = icon_image(size)
        xor = b"".join(bytes(p) for y in range(size - 1, -1, -1) for p in c.pixels[y])
        mask_stride = ((size + 31) // 32) * 4
        mask = b""
        for y in range(size - 1, -1, -1):
            bits = bytearray(mask_stride)
            for x in range(size):
                if c.pixels[y][x][3] == 0:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask += bytes(bits)
        header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        images.append((size, header + xor + mask))
    offset = 6 + 16 * len(images)
    out = struct.pack("<HHH", 0, 1, len(images))
    for size, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(data for _, data in images))


if __name__ == "__main__":
    folder = sys.argv[1]
    write_bmp(folder + "/Banner.bmp", banner())
    write_ico(folder + "/Corvane.ico", [16, 32, 48])

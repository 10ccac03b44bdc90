#!/usr/bin/env python3
"""Draws the wizard's artwork: the banner across the top of every page
(Banner.bmp), the program icon (Corvane.ico, 16, 32 and 48 pixels) and the
icons of the selection and project trees (16 and 32 pixels): closed and open
folder, CD, removable, floppy and fixed drive, and the tree's leaf item.

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


def write_ico(path, sizes, draw=None):
    draw = draw or icon_image
    images = []
    for size in sizes:
        c = draw(size)
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


# ---- Tree icons: drawn on a 16-pixel grid, scaled for 32 -----------------------

CLEAR = (0, 0, 0, 0)
OUTLINE = (0x30, 0x30, 0x30, 0xff)


def bgra(r, g, b):
    return (b, g, r, 0xff)


def grid_icon(draw16):
    """An icon drawing function for write_ico from a drawing on a 16x16 canvas."""
    def draw(size):
        small = Canvas(16, 16, CLEAR)
        draw16(small)
        if size == 16:
            return small
        c = Canvas(size, size, CLEAR)
        k = size // 16
        for y in range(size):
            for x in range(size):
                c.pixels[y][x] = small.pixels[y // k][x // k]
        return c
    return draw


def outline_rect(c, x0, y0, x1, y1, fill):
    c.rect(x0, y0, x1, y1, OUTLINE)
    c.rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, fill)


def closed_folder(c):
    outline_rect(c, 1, 3, 7, 6, bgra(0xe8, 0xb8, 0x30))      # tab
    outline_rect(c, 1, 5, 15, 14, bgra(0xf4, 0xc8, 0x40))    # body
    c.rect(2, 6, 14, 7, bgra(0xfc, 0xe4, 0x90))               # light edge


def open_folder(c):
    outline_rect(c, 1, 3, 7, 6, bgra(0xe8, 0xb8, 0x30))
    outline_rect(c, 1, 5, 14, 14, bgra(0xd8, 0xa0, 0x28))    # back
    for i in range(6):                                         # front flap, slanted
        c.rect(3 + i // 2, 8 + i, 16 - i // 3, 9 + i, bgra(0xfc, 0xd8, 0x60))
    c.rect(3, 8, 16, 9, OUTLINE)
    c.rect(5, 13, 15, 14, OUTLINE)


def drive_box(c, body):
    outline_rect(c, 1, 6, 15, 12, body)
    c.rect(2, 10, 14, 11, bgra(0x90, 0x90, 0x90))


def fixed_drive(c):
    drive_box(c, bgra(0xc8, 0xc8, 0xc8))
    c.rect(11, 7, 13, 9, bgra(0x20, 0xc0, 0x20))              # activity light


def removable_drive(c):
    drive_box(c, bgra(0xc8, 0xc8, 0xc8))
    c.rect(4, 8, 12, 9, OUTLINE)                               # slot
    c.rect(12, 7, 14, 8, bgra(0xf0, 0x90, 0x20))


def cd_drive(c):
    for y in range(16):
        for x in range(16):
            d = (x - 7.5) ** 2 + (y - 7.5) ** 2
            if d <= 56:
                c.put(x, y, OUTLINE if d > 42 else bgra(0xd0, 0xd8, 0xe8))
            if d <= 12:
                c.put(x, y, bgra(0x90, 0xa0, 0xc0))
            if d <= 3:
                c.put(x, y, CLEAR)
    c.rect(9, 3, 12, 5, bgra(0xff, 0xff, 0xff))                # shine


def floppy_drive(c):
    outline_rect(c, 2, 1, 14, 15, bgra(0x28, 0x40, 0x90))
    c.rect(5, 2, 11, 6, bgra(0xb8, 0xb8, 0xc0))                # shutter
    c.rect(8, 3, 10, 5, bgra(0x28, 0x40, 0x90))
    c.rect(4, 9, 12, 14, bgra(0xf4, 0xf4, 0xf4))               # label


def tree_item(c):
    outline_rect(c, 3, 1, 13, 15, bgra(0xff, 0xff, 0xff))      # a page
    c.rect(10, 1, 13, 4, CLEAR)                                # folded corner
    c.rect(10, 1, 11, 4, OUTLINE)
    c.rect(10, 3, 13, 4, OUTLINE)
    for y in (6, 8, 10, 12):
        c.rect(5, y, 11, y + 1, bgra(0x60, 0x80, 0xb0))


TREE_ICONS = {
    "ClosedFolder.ico": closed_folder,
    "OpenFolder.ico": open_folder,
    "CdDrive.ico": cd_drive,
    "RemovableDrive.ico": removable_drive,
    "FloppyDrive.ico": floppy_drive,
    "FixedDrive.ico": fixed_drive,
    "TreeItem.ico": tree_item,
}


if __name__ == "__main__":
    folder = sys.argv[1]
    write_bmp(folder + "/Banner.bmp", banner())
    write_ico(folder + "/Corvane.ico", [16, 32, 48])
    for name, draw16 in TREE_ICONS.items():
        write_ico(folder + "/" + name, [16, 32], grid_icon(draw16))

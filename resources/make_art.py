#!/usr/bin/env python3
"""Draws Pathwick's program icon and picker cursor and writes them as
Windows resource files, using only the standard library.

    python3 resources/make_art.py [--show] [output folder]

Writes quillet.ico (one icon group: 32x32 and 16x16, 256-colour palette,
each with its AND mask) and picker.cur (32x32 monochrome pointing hand,
hot spot 0,0) into the output folder, by default the folder of this script.
--show also prints the three pictures as text.

The icon is pixel art laid out on a character canvas: a program window tile
with a shortcut badge (a white square holding a curved arrow) in front of
its lower-left corner.  The cursor is drawn from a few rounded shapes (palm,
thumb, curled fingers, raised index finger) laid out so that the index
finger points to the upper left, with a one-pixel black outline around each
part and a white fill.
"""

import os
import struct
import sys

# ---------------------------------------------------------------------------
# Icon palette.  '.' is transparent (AND mask bit set, colour index 0).

ICON_COLOURS = {
    ".": (0, 0, 0),          # transparent
    "K": (24, 32, 64),       # outline, dark navy
    "W": (255, 255, 255),    # white
    "L": (128, 176, 248),    # title bar highlight
    "B": (40, 100, 216),     # title bar
    "D": (20, 56, 144),      # title bar lower edge
    "G": (176, 186, 204),    # text lines in the window
    "S": (120, 120, 128),    # drop shadow
    "A": (232, 112, 24),     # shortcut arrow
    "a": (168, 64, 8),       # shortcut arrow, darker edge
    "P": (236, 240, 248),    # window client area, faint blue-white
}


def new_canvas(size):
    return [["."] * size for _ in range(size)]


def fill(canvas, x0, y0, x1, y1, ch):
    """Fills the rectangle with corners (x0, y0) and (x1, y1), inclusive."""
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            canvas[y][x] = ch


def stamp(canvas, x, y, rows):
    """Copies a small picture; blanks in it leave the canvas unchanged."""
    for dy, row in enumerate(rows):
        for dx, ch in enumerate(row):
            if ch != " ":
                canvas[y + dy][x + dx] = ch


# Curved shortcut arrows: the shaft rises from the lower left, bends and ends
# in a head that points to the upper right.  Blanks are left as they are.
ARROW_13 = [
    "             ",
    "     aaaaaaa ",
    "     aAAAAAa ",
    "      aAAAAa ",
    "     aAAAAAa ",
    "    aAAAAaAa ",
    "   aAAAAa aa ",
    "  aAAAAa     ",
    "  aAAAa      ",
    " aAAAAa      ",
    " aAAAa       ",
    " aAAAa       ",
    " aaaaa       ",
]

ARROW_8 = [
    "        ",
    "   AAAA ",
    "    AAA ",
    "   AAAA ",
    "  AAA A ",
    " AAA    ",
    " AA     ",
    " AA     ",
]


def draw_icon_32():
    c = new_canvas(32)
    # Drop shadow, then the window tile.
    fill(c, 5, 4, 30, 27, "S")
    fill(c, 3, 2, 28, 25, "K")
    fill(c, 4, 3, 27, 3, "L")
    fill(c, 4, 4, 27, 6, "B")
    fill(c, 4, 7, 27, 7, "D")
    fill(c, 4, 8, 27, 24, "P")
    # Title bar buttons.
    fill(c, 20, 4, 21, 5, "W")
    fill(c, 23, 4, 24, 5, "W")
    # Lines of text in the window.
    for y, x0, x1 in ((11, 7, 24), (14, 7, 21), (17, 18, 24), (20, 18, 23)):
        fill(c, x0, y, x1, y, "G")
    # The shortcut badge in front of the lower-left corner.
    fill(c, 1, 16, 15, 30, "K")
    fill(c, 2, 17, 14, 29, "W")
    stamp(c, 2, 17, ARROW_13)
    return c


def draw_icon_16():
    c = new_canvas(16)
    fill(c, 4, 2, 15, 13, "S")
    fill(c, 3, 1, 14, 12, "K")
    fill(c, 4, 2, 13, 2, "B")
    fill(c, 4, 3, 13, 3, "D")
    fill(c, 4, 4, 13, 11, "P")
    fill(c, 12, 2, 12, 2, "W")
    fill(c, 11, 6, 12, 6, "G")
    fill(c, 11, 8, 12, 8, "G")
    fill(c, 0, 6, 9, 15, "K")
    fill(c, 1, 7, 8, 14, "W")
    stamp(c, 1, 7, ARROW_8)
    return c


# ---------------------------------------------------------------------------
# Cursor: a hand made of capsules (rounded bars) and rounded boxes.  The
# shapes are laid out in diagonal coordinates, s = x + y (along the index
# finger, from the fingertip in the top-left corner towards the wrist) and
# t = x - y (across it, growing towards the upper right), so the hand points
# to the upper left and its edges fall on clean pixel diagonals.

def capsule(as_, at, bs, bt, r):
    """Points within r of the segment from (as_, at) to (bs, bt)."""
    def inside(s, t):
        ds, dt = bs - as_, bt - at
        length2 = ds * ds + dt * dt
        k = 0.0 if length2 == 0 else ((s - as_) * ds + (t - at) * dt) / length2
        k = max(0.0, min(1.0, k))
        ps, pt = as_ + k * ds - s, at + k * dt - t
        return ps * ps + pt * pt <= r * r
    return inside


def rounded_box(s0, t0, s1, t1, r):
    """Points in the box whose corners are rounded with radius r."""
    def inside(s, t):
        if not (s0 <= s <= s1 and t0 <= t <= t1):
            return False
        cs = min(max(s, s0 + r), s1 - r)
        ct = min(max(t, t0 + r), t1 - r)
        return (s - cs) ** 2 + (t - ct) ** 2 <= r * r
    return inside


def union(*shapes):
    def inside(s, t):
        return any(shape(s, t) for shape in shapes)
    return inside


# Back to front.  The curled middle, ring and little fingers lie on the
# upper-right side of the index finger, the thumb on its lower-left side.
HAND_PARTS = [
    ("palm", union(rounded_box(19, -7, 37, 18.4, 7),
                   rounded_box(30, -2.5, 40.5, 15, 4))),
    ("little", capsule(24.5, 15.6, 28, 15.6, 2.4)),
    ("ring", capsule(21, 10.8, 26, 10.8, 2.5)),
    ("middle", capsule(18, 6.2, 25, 6.2, 2.4)),
    ("thumb", capsule(34, -5.5, 25, -9.5, 3.1)),
    ("index", union(capsule(3.6, 0, 27, 0, 3.6), capsule(0, 0, 2, 0, 1.2))),
]

# Parts that flow into each other without a line between them: the fingers
# run into the palm; fingers side by side and the thumb keep their outline.
MERGED_PARTS = {frozenset(p) for p in (("index", "palm"), ("middle", "palm"),
                                        ("ring", "palm"), ("little", "palm"))}


def draw_hand(size=32):
    """Returns a size x size grid of 'K' (black), 'W' (white) and '.'
    (transparent) showing the hand, fingertip at (0, 0)."""
    # Which part (index into HAND_PARTS) is in front at each pixel; -1: none.
    label = [[-1] * size for _ in range(size)]
    for y in range(size):
        for x in range(size):
            for number, (_name, inside) in enumerate(HAND_PARTS):
                if inside(x + y, x - y):
                    label[y][x] = number

    def on_outline(x, y):
        mine = label[y][x]
        for qx, qy in ((x - 1, y), (x + 1, y), (x, y - 1), (x, y + 1)):
            other = label[qy][qx] if 0 <= qx < size and 0 <= qy < size else -1
            if other == -1:
                return True
            pair = frozenset((HAND_PARTS[mine][0], HAND_PARTS[other][0]))
            if other < mine and pair not in MERGED_PARTS:
                return True     # the part in front draws the line
        return False

    grid = [["." if label[y][x] == -1 else "K" if on_outline(x, y) else "W"
             for x in range(size)] for y in range(size)]
    if grid[0][0] != "K" or grid[size - 1] != ["."] * size or any(
            row[size - 1] != "." for row in grid):
        raise ValueError("the hand must start at (0, 0) and fit the grid")
    return grid


# ---------------------------------------------------------------------------
# File writers.

def row_bytes(bits_per_row):
    return ((bits_per_row + 31) // 32) * 4


def pack_bits(bits):
    """Packs a list of 0/1 into bytes, padded to a 4-byte boundary."""
    out = bytearray(row_bytes(len(bits)))
    for i, bit in enumerate(bits):
        if bit:
            out[i // 8] |= 0x80 >> (i % 8)
    return bytes(out)


def bitmap_header(size, bit_count, image_bytes, colours_used):
    return struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bit_count, 0,
                       image_bytes, 0, 0, colours_used, 0)


def icon_image(canvas, palette_order):
    size = len(canvas)
    index = {ch: i for i, ch in enumerate(palette_order)}
    palette = bytearray()
    for i in range(256):
        if i < len(palette_order):
            r, g, b = ICON_COLOURS[palette_order[i]]
            palette += bytes((b, g, r, 0))
        else:
            palette += b"\0\0\0\0"
    xor = bytearray()
    mask = bytearray()
    for row in reversed(canvas):        # bottom-up
        line = bytes(index[ch] for ch in row)
        xor += line + b"\0" * (row_bytes(size * 8) - len(line))
        mask += pack_bits([1 if ch == "." else 0 for ch in row])
    header = bitmap_header(size, 8, len(xor) + len(mask), 256)
    return header + bytes(palette) + bytes(xor) + bytes(mask)


def write_icon(path, canvases):
    order = sorted(ICON_COLOURS, key=lambda ch: (ch != ".", ch))
    images = [icon_image(c, order) for c in canvases]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for canvas, image in zip(canvases, images):
        size = len(canvas)
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 8,
                           len(image), offset)
        offset += len(image)
    for image in images:
        out += image
    with open(path, "wb") as f:
        f.write(out)


def write_cursor(path, grid, hot_x, hot_y):
    size = len(grid)
    palette = b"\0\0\0\0" + b"\xff\xff\xff\0"     # 0 black, 1 white
    xor = bytearray()
    mask = bytearray()
    for row in reversed(grid):          # bottom-up
        xor += pack_bits([1 if ch == "W" else 0 for ch in row])
        mask += pack_bits([1 if ch == "." else 0 for ch in row])
    header = bitmap_header(size, 1, len(xor) + len(mask), 2)
    image = header + palette + bytes(xor) + bytes(mask)
    out = struct.pack("<HHH", 0, 2, 1)
    out += struct.pack("<BBBBHHII", size, size, 2, 0, hot_x, hot_y,
                       len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(out + image)


def main(argv):
    show = "--show" in argv
    rest = [a for a in argv[1:] if a != "--show"]
    folder = rest[0] if rest else os.path.dirname(os.path.abspath(__file__))
    write_icon(os.path.join(folder, "quillet.ico"),
               [draw_icon_32(), draw_icon_16()])
    hand = draw_hand()
    write_cursor(os.path.join(folder, "picker.cur"), hand, 0, 0)
    if show:
        for picture in (draw_icon_32(), draw_icon_16(), hand):
            print("\n".join("".join(row) for row in picture) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

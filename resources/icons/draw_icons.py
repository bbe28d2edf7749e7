#!/usr/bin/env python3
"""Draws the program's icons and writes them as <id>-16.png and <id>-32.png next to this file.

Each icon is a list of simple shapes on a 32-unit square (y downwards), painted in order and
rasterised with 4x4 supersampling at both sizes. Plain Python 3: run it again after changing a
drawing and commit the PNGs with it.
"""
import math
import os
import struct
import sys
import zlib

SAMPLES = 4

# Palette.
INK = (40, 44, 56)
PAPER = (252, 252, 246)
LINE = (150, 154, 164)
BLUE = (44, 104, 196)
DARKBLUE = (24, 56, 120)
LIGHTBLUE = (190, 218, 250)
RED = (214, 46, 46)
DARKRED = (140, 24, 24)
GREEN = (48, 160, 72)
DARKGREEN = (24, 100, 40)
YELLOW = (252, 212, 52)
GOLD = (246, 180, 20)
DARKGOLD = (176, 112, 0)
ORANGE = (244, 132, 28)
PURPLE = (128, 60, 170)
GREY = (168, 170, 176)
LIGHTGREY = (222, 224, 228)
WHITE = (255, 255, 255)
BROWN = (120, 76, 40)
CLEAR = None  # erases what lies below


# ---- shapes: each is (bounding box, inside test, colour) -------------------------------------

def _bbox(points, pad=0.0):
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return (min(xs) - pad, min(ys) - pad, max(xs) + pad, max(ys) + pad)


def poly(points, colour):
    pts = list(points)

    def inside(x, y):
        hit = False
        j = len(pts) - 1
        for i in range(len(pts)):
            xi, yi = pts[i]
            xj, yj = pts[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                hit = not hit
            j = i
        return hit

    return (_bbox(pts), inside, colour)


class Rect:
    """A rectangle, optionally with round corners; its edges snap to whole pixels."""

    def __init__(self, x0, y0, x1, y1, radius):
        self.box = (x0, y0, x1, y1)
        self.radius = radius

    def at_scale(self, scale):
        x0, y0, x1, y1 = (math.floor(v * scale + 0.5) / scale for v in self.box)
        radius = self.radius

        def inside(x, y):
            if x < x0 or x > x1 or y < y0 or y > y1:
                return False
            if radius <= 0:
                return True
            cx = min(max(x, x0 + radius), x1 - radius)
            cy = min(max(y, y0 + radius), y1 - radius)
            return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius

        return (x0, y0, x1, y1), inside


def rect(x0, y0, x1, y1, colour, radius=0.0):
    return (Rect(x0, y0, x1, y1, radius), None, colour)


def circle(cx, cy, r, colour):
    return ((cx - r, cy - r, cx + r, cy + r),
            lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, colour)


def _seg_dist(x, y, a, b):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    length = dx * dx + dy * dy
    t = 0.0 if length == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length))
    return math.hypot(x - ax - t * dx, y - ay - t * dy)


def line(points, width, colour, closed=False):
    pts = list(points)
    segs = list(zip(pts, pts[1:] + ([pts[0]] if closed else [])))
    half = width / 2.0
    return (_bbox(pts, half),
            lambda x, y: any(_seg_dist(x, y, a, b) <= half for a, b in segs), colour)


def loop(a, b, r, width, colour):
    """Outline of a stadium (a capsule of radius r around segment a-b): one chain link."""
    half = width / 2.0
    return (_bbox([a, b], r + half),
            lambda x, y: abs(_seg_dist(x, y, a, b) - r) <= half, colour)


def arc(cx, cy, r, width, start, end, colour):
    """Stroke of a circle between two angles in degrees (clockwise on screen, 0 = east)."""
    half = width / 2.0

    def inside(x, y):
        if abs(math.hypot(x - cx, y - cy) - r) > half:
            return False
        angle = math.degrees(math.atan2(y - cy, x - cx)) % 360
        return (angle - start) % 360 <= (end - start) % 360

    return ((cx - r - half, cy - r - half, cx + r + half, cy + r + half), inside, colour)


def outlined_poly(points, fill, edge, width=2.0):
    return [poly(points, fill), line(points, width, edge, closed=True)]


def star(cx, cy, outer, inner):
    pts = []
    for k in range(10):
        r = outer if k % 2 == 0 else inner
        a = math.radians(-90 + 36 * k)
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return pts


# ---- building blocks ------------------------------------------------------------------------

def book(cover, x0=6, y0=3, x1=26, y1=29):
    return [
        rect(x0, y0, x1, y1, INK, 2),
        rect(x0 + 2, y0 + 2, x1 - 2, y1 - 2, cover, 1),
        rect(x0 + 2, y0 + 2, x0 + 5, y1 - 2, tuple(c * 3 // 4 for c in cover)),
        rect(x0 + 8, y0 + 6, x1 - 4, y0 + 11, PAPER),
    ]


def page(x0=5, y0=2, x1=27, y1=30, lines=0, fold=8):
    outline = [(x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)]
    shapes = outlined_poly(outline, PAPER, INK)
    shapes.append(poly([(x1 - fold, y0), (x1 - fold, y0 + fold), (x1, y0 + fold)], LIGHTGREY))
    shapes.append(line([(x1 - fold, y0), (x1 - fold, y0 + fold), (x1, y0 + fold)], 2, INK))
    for k in range(lines):
        y = y0 + fold + 5 + 4 * k
        if y > y1 - 4:
            break
        shapes.append(line([(x0 + 5, y), (x1 - 5, y)], 2, LINE))
    return shapes


def newspaper():
    return [
        rect(3, 5, 29, 27, INK, 1),
        rect(5, 7, 27, 25, PAPER),
        rect(7, 9, 25, 13, DARKBLUE),
        rect(7, 16, 14, 23, LIGHTBLUE),
        line([(17, 17), (25, 17)], 2, LINE),
        line([(17, 21), (25, 21)], 2, LINE),
    ]


def new_mark():
    return [circle(25, 7, 6.5, WHITE), circle(25, 7, 5, ORANGE)]


def cross(cx, cy, size, colour, width):
    return [line([(cx - size, cy - size), (cx + size, cy + size)], width, colour),
            line([(cx - size, cy + size), (cx + size, cy - size)], width, colour)]


def ribbon(x0, x1, y0, y1, notch):
    mid = (x0 + x1) / 2.0
    return outlined_poly([(x0, y0), (x1, y0), (x1, y1), (mid, y1 - notch), (x0, y1)], RED, DARKRED)


def triangle(points, fill=BLUE, edge=DARKBLUE):
    return outlined_poly(points, fill, edge)


def arrow_button(pointing_left):
    pts = [(7, 16), (15, 8), (15, 13), (25, 13), (25, 19), (15, 19), (15, 24)]
    if not pointing_left:
        pts = [(32 - x, y) for x, y in pts]
    return [circle(16, 16, 14.5, DARKGREEN), circle(16, 16, 12.5, GREEN), poly(pts, WHITE)]


def magnifier(cx, cy, r, handle_end):
    hx = cx + r * 0.72
    hy = cy + r * 0.72
    return [
        line([(hx, hy), handle_end], 5, BROWN),
        circle(cx, cy, r + 1.5, INK),
        circle(cx, cy, r - 1.5, LIGHTBLUE),
    ]


def gear(cx, cy, outer, inner, teeth):
    pts = []
    step = 360.0 / teeth
    for k in range(teeth):
        base = -90 + k * step
        for offset, r in ((-0.30, inner), (-0.18, outer), (0.18, outer), (0.30, inner)):
            a = math.radians(base + offset * step)
            pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return pts


def check_box(fill, ticked):
    shapes = [rect(3, 3, 29, 29, INK), rect(5, 5, 27, 27, fill)]
    if ticked:
        shapes.append(line([(8, 16), (13, 22), (24, 9)], 4, INK))
    return shapes


def radio_button(fill, chosen):
    shapes = [circle(16, 16, 13, INK), circle(16, 16, 11, fill)]
    if chosen:
        shapes.append(circle(16, 16, 5.5, INK))
    return shapes


# ---- the icons ------------------------------------------------------------------------------

def icons():
    return {
        # The program: an open book on a blue tile, with a bookmark ribbon.
        126: [
            rect(0, 0, 32, 32, DARKBLUE, 6),
            rect(1, 1, 31, 31, BLUE, 5),
            *outlined_poly([(4, 9), (16, 11), (16, 27), (4, 25)], PAPER, DARKBLUE),
            *outlined_poly([(16, 11), (28, 9), (28, 25), (16, 27)], PAPER, DARKBLUE),
            line([(7, 15), (13, 16)], 1.5, LINE),
            line([(7, 19), (13, 20)], 1.5, LINE),
            *outlined_poly([(19, 10.5), (24, 9.7), (24, 21), (21.5, 18.5), (19, 21)], RED, DARKRED,
                           1.5),
        ],
        # Rating stars, full and empty.
        127: outlined_poly(star(16, 17, 15, 6.2), GOLD, DARKGOLD),
        140: outlined_poly(star(16, 17, 15, 6.2), LIGHTGREY, GREY),
        # Library rows: eBook, eNews, unread eBook, unread eNews, failed, HTML, text, PalmDOC.
        129: book(BLUE),
        130: newspaper(),
        141: book(BLUE) + new_mark(),
        143: newspaper() + new_mark(),
        142: book(GREY) + cross(21, 21, 6, WHITE, 6) + cross(21, 21, 6, RED, 3.5),
        139: page(lines=1) + [
            circle(21, 21, 9, DARKBLUE),
            circle(21, 21, 7.5, LIGHTBLUE),
            line([(13, 21), (29, 21)], 1.5, DARKBLUE),
            loop((21, 16), (21, 26), 3.5, 1.5, DARKBLUE),
        ],
        137: page(lines=4),
        138: [
            rect(7, 2, 25, 30, INK, 3),
            rect(10, 5, 22, 20, (200, 226, 190)),
            line([(12, 9), (20, 9)], 1.5, DARKGREEN),
            line([(12, 13), (20, 13)], 1.5, DARKGREEN),
            circle(12, 25, 2, GREY),
            circle(20, 25, 2, GREY),
            rect(14.5, 23.5, 17.5, 26.5, GREY, 1),
        ],
        242: page(),
        # Toolbar actions, in the table's order.
        151: [  # library: books on a shelf
            rect(3, 5, 10, 26, INK, 1), rect(5, 7, 8, 24, RED),
            rect(11, 3, 18, 26, INK, 1), rect(13, 5, 16, 24, BLUE),
            *outlined_poly([(19, 8), (25, 6), (30, 25), (24, 27)], GREEN, INK),
            rect(1, 26, 31, 30, BROWN),
        ],
        179: page(x1=25, lines=3) + [  # properties
            circle(22, 22, 9, WHITE), circle(22, 22, 7.5, BLUE),
            circle(22, 17.8, 1.6, WHITE), rect(20.8, 20.5, 23.2, 27, WHITE),
        ],
        149: [  # bookstore: a shopping cart
            line([(2, 5), (7, 5), (10, 21), (25, 21)], 2.5, INK),
            *outlined_poly([(7, 8), (29, 8), (26, 18), (9.5, 18)], LIGHTBLUE, INK),
            line([(14, 8), (15, 18)], 1.5, INK),
            line([(21, 8), (20.5, 18)], 1.5, INK),
            circle(12, 26, 3, INK), circle(23, 26, 3, INK),
        ],
        154: [  # table of contents
            *(shape for y in (7, 13, 19, 25)
              for shape in (circle(6, y, 2.5, BLUE), line([(11, y), (28, y)], 2.5, INK))),
        ],
        152: [  # orientate the screen
            arc(16, 16, 12.5, 3, 210, 120, BLUE),
            poly([(2, 13), (10, 13), (5, 20)], BLUE),
            rect(11, 9, 21, 23, INK, 1.5),
            rect(12.5, 10.5, 19.5, 19.5, LIGHTBLUE),
        ],
        153: page(x1=21, fold=6, lines=4) + [  # autoscroll
            line([(26, 4), (26, 20)], 3.5, BLUE),
            poly([(20.5, 18), (31.5, 18), (26, 29)], BLUE),
        ],
        200: magnifier(13, 13, 8.5, (28, 28)),  # find
        201: magnifier(18, 11, 7.5, (29, 22)) + [  # find next
            line([(3, 25), (10, 25)], 3.5, GREEN),
            poly([(9, 19), (17, 25), (9, 31)], GREEN),
        ],
        150: [  # font size
            line([(2, 29), (10, 4), (18, 29)], 3.5, INK),
            line([(5.5, 20), (14.5, 20)], 3, INK),
            line([(19, 29), (24.5, 14), (30, 29)], 2.5, BLUE),
            line([(21, 24), (28, 24)], 2, BLUE),
        ],
        202: ribbon(6, 20, 2, 28, 6) + [  # add bookmark
            line([(24, 17), (24, 31)], 6.5, WHITE), line([(17, 24), (31, 24)], 6.5, WHITE),
            line([(24, 18), (24, 30)], 3.5, GREEN), line([(18, 24), (30, 24)], 3.5, GREEN),
        ],
        197: triangle([(23, 4), (23, 28), (7, 16)]),  # previous page
        198: triangle([(9, 4), (9, 28), (25, 16)]),  # next page
        199: [  # full screen
            rect(9, 9, 23, 23, LIGHTBLUE),
            line([(3, 11), (3, 3), (11, 3)], 3, DARKBLUE),
            line([(21, 3), (29, 3), (29, 11)], 3, DARKBLUE),
            line([(29, 21), (29, 29), (21, 29)], 3, DARKBLUE),
            line([(11, 29), (3, 29), (3, 21)], 3, DARKBLUE),
        ],
        205: [  # options: a gear
            *outlined_poly(gear(16, 16, 14, 10.5, 8), GREY, INK),
            circle(16, 16, 5.5, INK),
            circle(16, 16, 4, CLEAR),
        ],
        155: arrow_button(True),  # back
        208: arrow_button(False),  # forward
        # Annotation kinds: bookmark, note, highlight, link, modification, drawing.
        181: ribbon(9, 23, 2, 30, 7),
        180: [
            *outlined_poly([(4, 4), (28, 4), (28, 21), (21, 28), (4, 28)], YELLOW, DARKGOLD),
            poly([(21, 28), (21, 21), (28, 21)], GOLD),
            line([(21, 28), (21, 21), (28, 21)], 2, DARKGOLD),
            line([(8, 10), (24, 10)], 2, DARKGOLD),
            line([(8, 15), (24, 15)], 2, DARKGOLD),
        ],
        182: [
            rect(2, 11, 30, 21, YELLOW, 2),
            line([(4, 6), (28, 6)], 2.5, LINE),
            line([(5, 16), (27, 16)], 2.5, INK),
            line([(4, 26), (22, 26)], 2.5, LINE),
        ],
        194: [
            loop((6, 24), (13, 17), 5, 3, DARKBLUE),
            loop((19, 15), (26, 8), 5, 3, BLUE),
        ],
        195: [  # a pencil
            *outlined_poly([(8, 19), (21, 6), (26, 11), (13, 24)], ORANGE, INK),
            *outlined_poly([(21, 6), (23.5, 3.5), (28.5, 8.5), (26, 11)], (236, 140, 160), INK),
            *outlined_poly([(8, 19), (13, 24), (3, 29)], (236, 206, 160), INK),
            poly([(5, 24.5), (7.5, 27), (3, 29)], INK),
        ],
        196: [  # a free-hand stroke
            line([(3, 24), (7, 14), (11, 9), (14, 12), (14, 20), (17, 25), (21, 23), (24, 15),
                  (27, 8), (29, 6)], 3.5, PURPLE),
        ],
        # Storage in the memory information: card, main memory.
        212: [
            *outlined_poly([(7, 2), (21, 2), (26, 7), (26, 30), (7, 30)], BLUE, DARKBLUE),
            *(rect(x, 4, x + 2, 9, GOLD) for x in (10, 14, 18)),
            rect(10, 15, 23, 26, LIGHTBLUE, 1),
        ],
        213: [
            *(line([(x, 3), (x, 29)], 2, GREY) for x in (11, 16, 21)),
            *(line([(3, y), (29, y)], 2, GREY) for y in (11, 16, 21)),
            rect(7, 7, 25, 25, INK, 2),
            circle(11, 11, 1.5, GREY),
        ],
        # Arrows at the sides of a table that scrolls: more to the left, more to the right.
        222: triangle([(22, 5), (22, 27), (8, 16)], GREY, INK),
        223: triangle([(10, 5), (10, 27), (24, 16)], GREY, INK),
        # Check box: unchecked, checked, checked pressed, unchecked pressed.
        226: check_box(WHITE, False),
        227: check_box(WHITE, True),
        228: check_box(GREY, True),
        229: check_box(GREY, False),
        # Radio button: the same four states, round.
        237: radio_button(WHITE, False),
        238: radio_button(WHITE, True),
        239: radio_button(GREY, True),
        240: radio_button(GREY, False),
        # List scroll buttons (and drop-down): down, up.
        233: triangle([(5, 10), (27, 10), (16, 24)], INK, INK),
        234: triangle([(5, 22), (27, 22), (16, 8)], INK, INK),
        # Generated pages: remove an item from the cart, an interaction entry.
        235: [circle(16, 16, 14.5, DARKRED), circle(16, 16, 13, RED), *cross(16, 16, 6, WHITE, 4)],
        236: [
            *outlined_poly([(16, 3), (30, 28), (2, 28)], YELLOW, DARKGOLD, 2.5),
            line([(16, 11), (16, 19)], 3.5, INK),
            circle(16, 24, 2, INK),
        ],
    }


# ---- rendering and PNG output ---------------------------------------------------------------

def render(shapes, size):
    scale = size / 32.0
    n = SAMPLES
    width = size * n
    # Per sample: premultiplied-free RGBA, painted in order.
    buf = [None] * (width * width)
    for box, inside, colour in shapes:
        if isinstance(box, Rect):
            box, inside = box.at_scale(scale)
        bx0, by0, bx1, by1 = box
        sx0 = max(0, int(math.floor(bx0 * scale * n)))
        sy0 = max(0, int(math.floor(by0 * scale * n)))
        sx1 = min(width, int(math.ceil(bx1 * scale * n)) + 1)
        sy1 = min(width, int(math.ceil(by1 * scale * n)) + 1)
        for sy in range(sy0, sy1):
            y = (sy + 0.5) / (n * scale)
            row = sy * width
            for sx in range(sx0, sx1):
                if inside((sx + 0.5) / (n * scale), y):
                    buf[row + sx] = colour
    pixels = bytearray()
    for py in range(size):
        for px in range(size):
            r = g = b = a = 0
            for sy in range(py * n, py * n + n):
                for sx in range(px * n, px * n + n):
                    c = buf[sy * width + sx]
                    if c is not None:
                        r += c[0]
                        g += c[1]
                        b += c[2]
                        a += 1
            if a:
                pixels += bytes((r // a, g // a, b // a, (a * 255 + (n * n) // 2) // (n * n)))
            else:
                pixels += b"\0\0\0\0"
    return bytes(pixels)


def png(size, rgba):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    stride = size * 4
    raw = b"".join(b"\0" + rgba[y * stride:(y + 1) * stride] for y in range(size))
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def main():
    folder = os.path.dirname(os.path.abspath(__file__))
    wanted = set(int(a) for a in sys.argv[1:])
    for icon_id, shapes in sorted(icons().items()):
        if wanted and icon_id not in wanted:
            continue
        for size in (16, 32):
            with open(os.path.join(folder, "%d-%d.png" % (icon_id, size)), "wb") as out:
                out.write(png(size, render(shapes, size)))


if __name__ == "__main__":
    main()

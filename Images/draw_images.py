#!/usr/bin/env python3
"""Draws every picture in this folder, at 1x and at 2x ("name@2x.png").

Standard library only. Each picture is a list of shapes given by signed distance functions in 1x
pixel units; a shape's edge is smoothed over one device pixel, so both scales come out crisp from
the same description. Run it from anywhere: python3 Images/draw_images.py [output folder]
"""

import math
import os
import struct
import sys
import zlib

# ---------------------------------------------------------------------------------------------------
# Colours: one palette for every picture.

def rgb(hex_text, alpha=255):
    h = hex_text.lstrip("#")
    return (int(h[0:2], 16), int(h[2:4], 16), int(h[4:6], 16), alpha)


WHITE = rgb("#ffffff")
SLATE_50 = rgb("#f8fafc")
SLATE_100 = rgb("#f1f5f9")
SLATE_200 = rgb("#e2e8f0")
SLATE_300 = rgb("#cbd5e1")
SLATE_400 = rgb("#94a3b8")
SLATE_500 = rgb("#64748b")
SLATE_600 = rgb("#475569")
BLUE_50 = rgb("#eff6ff")
BLUE_100 = rgb("#dbeafe")
BLUE_200 = rgb("#bfdbfe")
BLUE_300 = rgb("#93c5fd")
BLUE_400 = rgb("#60a5fa")
BLUE_500 = rgb("#3b82f6")
BLUE_600 = rgb("#2563eb")
BLUE_700 = rgb("#1d4ed8")
BLUE_800 = rgb("#1e40af")
CYAN_500 = rgb("#06b6d4")
INDIGO_500 = rgb("#6366f1")
TEAL_500 = rgb("#14b8a6")
AMBER_400 = rgb("#fbbf24")
AMBER_500 = rgb("#f59e0b")
ORANGE_500 = rgb("#f97316")
GREEN_500 = rgb("#22c55e")
EMERALD_500 = rgb("#10b981")
VIOLET_500 = rgb("#8b5cf6")
PINK_500 = rgb("#ec4899")


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(4))


def with_alpha(c, alpha):
    return (c[0], c[1], c[2], alpha)


def vertical(top_colour, bottom_colour, y0, y1):
    """A paint that runs from top_colour at y0 to bottom_colour at y1 (1x units)."""
    def paint(x, y):
        t = 0.0 if y1 == y0 else min(1.0, max(0.0, (y - y0) / (y1 - y0)))
        return mix(top_colour, bottom_colour, t)
    return paint


def diagonal(start_colour, end_colour, x0, y0, x1, y1):
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy

    def paint(x, y):
        t = ((x - x0) * dx + (y - y0) * dy) / length2
        return mix(start_colour, end_colour, min(1.0, max(0.0, t)))
    return paint


# ---------------------------------------------------------------------------------------------------
# Shapes: signed distance functions (negative inside) with a bounding box, in 1x units.

class Shape:
    def __init__(self, sdf, box):
        self.sdf = sdf
        self.box = box  # x0, y0, x1, y1

    def __or__(self, other):
        return Shape(lambda x, y: min(self.sdf(x, y), other.sdf(x, y)), union_box(self.box, other.box))

    def __sub__(self, other):
        return Shape(lambda x, y: max(self.sdf(x, y), -other.sdf(x, y)), self.box)

    def __and__(self, other):
        return Shape(lambda x, y: max(self.sdf(x, y), other.sdf(x, y)), self.box)


def union_box(a, b):
    return (min(a[0], b[0]), min(a[1], b[1]), max(a[2], b[2]), max(a[3], b[3]))


def rounded_rect(x0, y0, x1, y1, r):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2, (y1 - y0) / 2
    r = min(r, hx, hy)

    def sdf(x, y):
        qx = abs(x - cx) - (hx - r)
        qy = abs(y - cy) - (hy - r)
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - r
    return Shape(sdf, (x0, y0, x1, y1))


def rect(x0, y0, x1, y1):
    return rounded_rect(x0, y0, x1, y1, 0)


def circle(cx, cy, r):
    return Shape(lambda x, y: math.hypot(x - cx, y - cy) - r, (cx - r, cy - r, cx + r, cy + r))


def ring(cx, cy, r, width):
    return Shape(lambda x, y: abs(math.hypot(x - cx, y - cy) - r) - width / 2,
                 (cx - r - width, cy - r - width, cx + r + width, cy + r + width))


def ellipse_ring(cx, cy, rx, ry, width):
    def sdf(x, y):
        # Distance to an ellipse, close enough for thin strokes: the circle's distance, rescaled.
        nx, ny = (x - cx) / rx, (y - cy) / ry
        k = math.hypot(nx, ny)
        if k == 0:
            return min(rx, ry) - width / 2
        grad = math.hypot(nx / rx, ny / ry)
        return abs((k - 1) * k / grad) - width / 2
    return Shape(sdf, (cx - rx - width, cy - ry - width, cx + rx + width, cy + ry + width))


def segment(ax, ay, bx, by, width):
    def sdf(x, y):
        px, py = x - ax, y - ay
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, (px * dx + py * dy) / (dx * dx + dy * dy)))
        return math.hypot(px - dx * t, py - dy * t) - width / 2
    w = width
    return Shape(sdf, (min(ax, bx) - w, min(ay, by) - w, max(ax, bx) + w, max(ay, by) + w))


def polyline(points, width):
    shape = segment(*points[0], *points[1], width)
    for a, b in zip(points[1:], points[2:]):
        shape = shape | segment(*a, *b, width)
    return shape


def polygon(points):
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]

    def sdf(x, y):
        n = len(points)
        d = float("inf")
        inside = False
        j = n - 1
        for i in range(n):
            xi, yi = points[i]
            xj, yj = points[j]
            ex, ey = xj - xi, yj - yi
            wx, wy = x - xi, y - yi
            t = max(0.0, min(1.0, (wx * ex + wy * ey) / (ex * ex + ey * ey)))
            d = min(d, math.hypot(wx - ex * t, wy - ey * t))
            if (yi > y) != (yj > y) and x < xi + (y - yi) * ex / ey:
                inside = not inside
            j = i
        return -d if inside else d
    return Shape(sdf, (min(xs), min(ys), max(xs), max(ys)))


# ---------------------------------------------------------------------------------------------------
# Canvas: premultiplied RGBA floats, written as 8-bit PNG.

class Canvas:
    def __init__(self, width, height, scale):
        self.w, self.h, self.s = width * scale, height * scale, scale
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(self.w * self.h)]

    def fill(self, shape, paint, opacity=1.0):
        s = self.s
        x0 = max(0, int(math.floor((shape.box[0] - 1) * s)))
        y0 = max(0, int(math.floor((shape.box[1] - 1) * s)))
        x1 = min(self.w, int(math.ceil((shape.box[2] + 1) * s)))
        y1 = min(self.h, int(math.ceil((shape.box[3] + 1) * s)))
        solid = None if callable(paint) else paint
        for py in range(y0, y1):
            uy = (py + 0.5) / s
            row = py * self.w
            for px in range(x0, x1):
                ux = (px + 0.5) / s
                coverage = 0.5 - shape.sdf(ux, uy) * s
                if coverage <= 0:
                    continue
                if coverage > 1:
                    coverage = 1.0
                c = solid if solid is not None else paint(ux, uy)
                a = c[3] / 255.0 * coverage * opacity
                dst = self.px[row + px]
                keep = 1.0 - a
                dst[0] = c[0] / 255.0 * a + dst[0] * keep
                dst[1] = c[1] / 255.0 * a + dst[1] * keep
                dst[2] = c[2] / 255.0 * a + dst[2] * keep
                dst[3] = a + dst[3] * keep

    def png(self):
        raw = bytearray()
        for y in range(self.h):
            raw.append(0)
            for x in range(self.w):
                r, g, b, a = self.px[y * self.w + x]
                if a <= 0:
                    raw += b"\0\0\0\0"
                    continue
                raw += bytes((min(255, round(r / a * 255)), min(255, round(g / a * 255)),
                              min(255, round(b / a * 255)), min(255, round(a * 255))))

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

        header = struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0)
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


# ---------------------------------------------------------------------------------------------------
# The pictures. Each function draws on a canvas of its picture's 1x size.

# Category icons: a 14 x 14 rounded tile in the category's colour with a white glyph, 16 x 16 in all.

def tile(c, colour):
    top = mix(colour, WHITE, 0.18)
    c.fill(rounded_rect(1, 1, 15, 15, 3.5), vertical(top, colour, 1, 15))
    # A hairline of the tile's own colour, darker, keeps it apart from a light background.
    c.fill(rounded_rect(1, 1, 15, 15, 3.5) - rounded_rect(1.5, 1.5, 14.5, 14.5, 3),
           with_alpha(mix(colour, rgb("#000000"), 0.25), 90))


def icon_all(c):
    tile(c, BLUE_600)
    for x, y in ((4, 4), (9, 4), (4, 9), (9, 9)):
        c.fill(rounded_rect(x, y, x + 3, y + 3, 0.8), WHITE)


def icon_shortcuts(c):
    tile(c, TEAL_500)
    c.fill(segment(5, 11, 10, 6, 2), WHITE)
    c.fill(polygon([(6.5, 4), (12, 4), (12, 9.5)]), WHITE)


def icon_folders(c):
    tile(c, AMBER_500)
    c.fill(rounded_rect(3, 4, 8, 7, 1), WHITE)
    c.fill(rounded_rect(3, 5, 13, 12, 1), WHITE)
    c.fill(rect(3, 7, 13, 8), with_alpha(AMBER_500, 120))


def icon_documents(c):
    tile(c, BLUE_500)
    page = polygon([(4, 3), (9, 3), (12, 6), (12, 13), (4, 13)])
    c.fill(page, WHITE)
    c.fill(polygon([(9, 3), (9, 6), (12, 6)]), BLUE_200)
    for y, right in ((7, 10), (9, 10), (11, 9)):
        c.fill(rect(6, y, right, y + 1), with_alpha(BLUE_500, 220))


def icon_pictures(c):
    tile(c, EMERALD_500)
    c.fill(rounded_rect(3, 4, 13, 12, 1.2), WHITE)
    inner = rect(4, 5, 12, 11)
    c.fill(inner & polygon([(3.5, 11.5), (7, 7), (10.5, 11.5)]), EMERALD_500)
    c.fill(inner & polygon([(7.5, 11.5), (10, 8.5), (12.5, 11.5)]), with_alpha(EMERALD_500, 170))
    c.fill(circle(10, 6.8, 1.1), AMBER_400)


def icon_videos(c):
    tile(c, VIOLET_500)
    c.fill(rounded_rect(3, 4.5, 13, 11.5, 1.5), WHITE)
    c.fill(polygon([(6.8, 6), (10.2, 8), (6.8, 10)]), VIOLET_500)


def icon_music(c):
    tile(c, PINK_500)
    c.fill(circle(6, 11, 1.9), WHITE)
    c.fill(rect(7, 4, 8.3, 11), WHITE)
    c.fill(polygon([(7, 3.5), (11.5, 5), (11.5, 7.5), (7, 6)]), WHITE)


def icon_other(c):
    tile(c, SLATE_500)
    for x in (4, 7, 10):
        c.fill(rounded_rect(x, 7, x + 2, 9, 0.7), WHITE)


# The category bar's button faces, 198 x 23. Windows may stretch them sideways (the bar is 110 to
# 198 wide): keep 6 pixels at each end when they do (nine-slice), the middle is uniform.

def face_top_up(c):
    c.fill(rect(0, 0, 198, 23), vertical(WHITE, SLATE_100, 0, 23))
    c.fill(rect(0, 22, 198, 23), SLATE_200)


def face_selected(c):
    c.fill(rounded_rect(2, 1, 196, 22, 4), vertical(BLUE_50, BLUE_100, 1, 22))
    c.fill(rounded_rect(2, 1, 196, 22, 4) - rounded_rect(3, 2, 195, 21, 3), BLUE_300)
    c.fill(rounded_rect(3, 5, 5, 18, 1), BLUE_600)


def face_hot(c):
    c.fill(rounded_rect(2, 1, 196, 22, 4), SLATE_100)
    c.fill(rounded_rect(2, 1, 196, 22, 4) - rounded_rect(3, 2, 195, 21, 3), SLATE_200)


# The compact box, 565 x 34 at its design size.

def banner(c):
    # Uniform from left to right, so the full window can tile it along its width.
    w = c.w // c.s
    c.fill(rect(0, 0, w, 34), vertical(WHITE, SLATE_100, 0, 34))
    c.fill(rect(0, 0, w, 1), with_alpha(WHITE, 255))
    c.fill(rect(0, 33, w, 34), SLATE_300)


def search_face(state):
    def draw(c):
        top, bottom = {"up": (BLUE_500, BLUE_600), "hot": (BLUE_400, BLUE_500),
                       "down": (BLUE_700, BLUE_800)}[state]
        dy = 0.5 if state == "down" else 0.0
        body = rounded_rect(0.5, 0.5, 60.5, 24.5, 5)
        c.fill(body, vertical(top, bottom, 0, 25))
        if state != "down":
            c.fill(rect(5, 1, 56, 2), with_alpha(WHITE, 60))
        c.fill(body - rounded_rect(1.5, 1.5, 59.5, 23.5, 4), with_alpha(BLUE_800, 150))
        # A globe: the search goes to the web.
        cx, cy = 30.5, 12.5 + dy
        c.fill(ring(cx, cy, 6.5, 1.5), WHITE)
        c.fill(ellipse_ring(cx, cy, 2.8, 6.5, 1.3), WHITE)
        c.fill(rect(cx - 6.5, cy - 0.6, cx + 6.5, cy + 0.6), WHITE)
        c.fill(circle(cx, cy, 7.3) & rect(cx - 7, cy - 3.6, cx + 7, cy - 2.6), with_alpha(WHITE, 200))
        c.fill(circle(cx, cy, 7.3) & rect(cx - 7, cy + 2.6, cx + 7, cy + 3.6), with_alpha(WHITE, 200))
    return draw


def menu_face(state):
    def draw(c):
        if state == "hot":
            c.fill(rounded_rect(0, 1, 14, 21, 3), SLATE_200)
        elif state == "down":
            c.fill(rounded_rect(0, 1, 14, 21, 3), SLATE_300)
        colour = SLATE_600 if state == "up" else rgb("#1e293b")
        dy = 0.5 if state == "down" else 0.0
        c.fill(polyline([(3.5, 9.5 + dy), (7, 13 + dy), (10.5, 9.5 + dy)], 1.8), colour)
    return draw


def logo(size):
    def draw(c):
        k = size / 32.0
        body = rounded_rect(1 * k, 1 * k, 31 * k, 31 * k, 7 * k)
        c.fill(body, diagonal(BLUE_600, CYAN_500, 1 * k, 1 * k, 31 * k, 31 * k))
        c.fill(rounded_rect(1 * k, 1 * k, 31 * k, 16 * k, 7 * k) & body, with_alpha(WHITE, 28))
        # The lens, its handle, and a kestrel in flight inside the lens.
        c.fill(ring(13.5 * k, 13.5 * k, 7 * k, 3 * k), WHITE)
        c.fill(segment(18.8 * k, 18.8 * k, 25 * k, 25 * k, 4 * k), WHITE)
        bird = [(9.2, 12.6), (11.6, 14.2), (13.5, 12.2), (15.4, 14.2), (17.8, 12.6)]
        c.fill(polyline([(x * k, y * k) for x, y in bird], 1.9 * k), AMBER_400)
    return draw


ICONS = {
    "All": icon_all,
    "Shotcuts": icon_shortcuts,
    "shotcuts": icon_shortcuts,
    "Folders": icon_folders,
    "folders": icon_folders,
    "Documents": icon_documents,
    "Pictures": icon_pictures,
    "Videos": icon_videos,
    "Music": icon_music,
    "Other": icon_other,
}

# name: (width, height, draw, scales)
PICTURES = {name: (16, 16, draw, (1, 2)) for name, draw in ICONS.items()}
PICTURES.update({
    "topup": (198, 23, face_top_up, (1, 2)),
    "topdown": (198, 23, face_selected, (1, 2)),
    "normaldown": (198, 23, face_selected, (1, 2)),
    "normalhot": (198, 23, face_hot, (1, 2)),
    "kestrelfind_bg_searchmain": (564, 34, banner, (1, 2)),
    "search_up": (61, 25, search_face("up"), (1, 2)),
    "search_hot": (61, 25, search_face("hot"), (1, 2)),
    "search_down": (61, 25, search_face("down"), (1, 2)),
    "menu_up": (14, 22, menu_face("up"), (1, 2)),
    "menu_hot": (14, 22, menu_face("hot"), (1, 2)),
    "menu_down": (14, 22, menu_face("down"), (1, 2)),
    "logo": (32, 32, logo(32), (1, 2)),
    "kestrelfind": (256, 256, logo(256), (1,)),
})


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    os.makedirs(out, exist_ok=True)
    only = set(sys.argv[2:])
    for name, (width, height, draw, scales) in sorted(PICTURES.items()):
        if only and name not in only:
            continue
        for scale in scales:
            canvas = Canvas(width, height, scale)
            draw(canvas)
            file_name = name + ("@2x" if scale == 2 else "") + ".png"
            with open(os.path.join(out, file_name), "wb") as f:
                f.write(canvas.png())


if __name__ == "__main__":
    main()

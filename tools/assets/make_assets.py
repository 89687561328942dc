#!/usr/bin/env python3
"""Draws the installer's pictures and writes them into res/ (Python 3 standard library only).

    tools/assets/make_assets.py [--out DIR]      (default: res/ of this checkout)

Writes
  QuarnWin.bmp    600 x 350, 24-bit: the backdrop of the main window. The branding texts are drawn over
                  it at run time (contact lines at the lower left, title block at the upper right), so it
                  stays light and calm there; a pale drafting motif fills the empty upper left.
  QuarnBas.bmp    292 x 181, 24-bit: the maker's logo on white. It is combined into the backdrop with
                  AND, so white leaves the backdrop as it is and every other colour darkens it.
  QuarnEarth.ico  the window icon, a globe: 16, 32, 48, 64, 96, 128 and 256 px, 24 bits per pixel.
  QuarnWin.ico    the product icon (the logo's mark on a blue tile): 16, 32 and 48 px, 24 bits per pixel.

The output is deterministic: running the script again gives the same bytes, so the committed files can
be checked against it (--check).
"""
import argparse
import math
import os
import struct
import sys

# Colours the program itself draws over the backdrop; the backdrop must not contain them, so that a test
# can tell the drawn texts from the picture.
RESERVED_COLOURS = {(22, 132, 198), (128, 0, 0), (112, 112, 112), (0, 0, 0)}


# ---------------------------------------------------------------------------------------------------------
# A small anti-aliased rasteriser: shapes are signed distance functions (negative inside, in pixels);
# coverage of a pixel is clamp(0.5 - d). Good enough for flat artwork at these sizes.

class Canvas:
    def __init__(self, w, h, colour=(255, 255, 255)):
        self.w, self.h = w, h
        self.px = [[list(map(float, colour)) for _ in range(w)] for _ in range(h)]
        self.cover = None  # optional coverage mask (icons): 0..1 per pixel

    def fill(self, sdf, colour, bbox=None, alpha=1.0, shade=None):
        """Blends colour (or shade(x, y) -> colour) where sdf(x, y) < 0, anti-aliased at the edge."""
        x0, y0, x1, y1 = bbox if bbox else (0, 0, self.w, self.h)
        x0, y0 = max(0, int(x0) - 1), max(0, int(y0) - 1)
        x1, y1 = min(self.w, int(math.ceil(x1)) + 1), min(self.h, int(math.ceil(y1)) + 1)
        for y in range(y0, y1):
            row = self.px[y]
            for x in range(x0, x1):
                cx, cy = x + 0.5, y + 0.5
                d = sdf(cx, cy)
                a = 0.5 - d
                if a <= 0:
                    continue
                a = min(a, 1.0) * alpha
                c = shade(cx, cy) if shade else colour
                p = row[x]
                p[0] += (c[0] - p[0]) * a
                p[1] += (c[1] - p[1]) * a
                p[2] += (c[2] - p[2]) * a

    def rgb(self, x, y):
        p = self.px[y][x]
        return tuple(max(0, min(255, int(round(v)))) for v in p)


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def sd_circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def sd_ring(cx, cy, r, width):
    return lambda x, y: abs(math.hypot(x - cx, y - cy) - r) - width / 2


def sd_ellipse_ring(cx, cy, a, b, width):
    m = min(a, b)

    def f(x, y):
        k = math.hypot((x - cx) / a, (y - cy) / b)
        return abs(k - 1.0) * m - width / 2
    return f


def sd_ellipse(cx, cy, a, b):
    m = min(a, b)
    return lambda x, y: (math.hypot((x - cx) / a, (y - cy) / b) - 1.0) * m


def seg_dist(x, y, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    ll = dx * dx + dy * dy
    t = 0.0 if ll == 0 else clamp(((x - ax) * dx + (y - ay) * dy) / ll)
    return math.hypot(x - ax - t * dx, y - ay - t * dy)


def sd_polyline(points, width):
    segs = list(zip(points, points[1:]))

    def f(x, y):
        return min(seg_dist(x, y, a[0], a[1], b[0], b[1]) for a, b in segs) - width / 2
    return f


def sd_convex(points):
    """Convex polygon in either winding: the largest signed distance to its edges' lines."""
    gx = sum(p[0] for p in points) / len(points)
    gy = sum(p[1] for p in points) / len(points)
    edges = []
    n = len(points)
    for i in range(n):
        (ax, ay), (bx, by) = points[i], points[(i + 1) % n]
        ex, ey = bx - ax, by - ay
        ln = math.hypot(ex, ey)
        nx, ny = ey / ln, -ex / ln
        if (gx - ax) * nx + (gy - ay) * ny > 0:  # make the normal point away from the centroid
            nx, ny = -nx, -ny
        edges.append((ax, ay, nx, ny))

    def f(x, y):
        return max((x - ax) * nx + (y - ay) * ny for ax, ay, nx, ny in edges)
    return f


def sd_union(*fs):
    return lambda x, y: min(f(x, y) for f in fs)


def sd_subtract(a, b):
    return lambda x, y: max(a(x, y), -b(x, y))


def sd_intersect(a, b):
    return lambda x, y: max(a(x, y), b(x, y))


def sd_round_box(x0, y0, x1, y1, r):
    cx, cy, hx, hy = (x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2 - r, (y1 - y0) / 2 - r

    def f(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        return math.hypot(max(qx, 0), max(qy, 0)) + min(max(qx, qy), 0) - r
    return f


# ---------------------------------------------------------------------------------------------------------
# A stroke alphabet for the logo's lettering: each letter is polylines and ellipse arcs in a unit box
# (x 0..1, y 0..1, y down).

def _arc(cx, cy, rx, ry, a0, a1, steps=14):
    return [(cx + rx * math.cos(math.radians(a0 + (a1 - a0) * i / steps)),
             cy + ry * math.sin(math.radians(a0 + (a1 - a0) * i / steps))) for i in range(steps + 1)]


LETTERS = {
    "Q": [_arc(0.5, 0.5, 0.5, 0.5, 0, 360, 28), [(0.62, 0.7), (1.02, 1.08)]],
    "O": [_arc(0.5, 0.5, 0.5, 0.5, 0, 360, 28)],
    "U": [[(0.0, 0.0)] + _arc(0.5, 0.55, 0.5, 0.45, 180, 0) + [(1.0, 0.0)]],
    "A": [[(0.0, 1.0), (0.5, 0.0), (1.0, 1.0)], [(0.2, 0.64), (0.8, 0.64)]],
    "R": [[(0.0, 1.0), (0.0, 0.0), (0.55, 0.0)] + _arc(0.55, 0.25, 0.35, 0.25, -90, 90) + [(0.0, 0.5)],
          [(0.45, 0.5), (0.95, 1.0)]],
    "N": [[(0.0, 1.0), (0.0, 0.0), (1.0, 1.0), (1.0, 0.0)]],
    "S": [_arc(0.5, 0.25, 0.45, 0.25, -20, -270, 16) + _arc(0.5, 0.75, 0.45, 0.25, -90, 160, 16)],
    "F": [[(0.9, 0.0), (0.0, 0.0), (0.0, 1.0)], [(0.0, 0.48), (0.7, 0.48)]],
    "T": [[(0.0, 0.0), (1.0, 0.0)], [(0.5, 0.0), (0.5, 1.0)]],
}


def draw_word(cv, word, x, y, letter_w, letter_h, gap, stroke, colour):
    for ch in word:
        for line in LETTERS[ch]:
            pts = [(x + px * letter_w, y + py * letter_h) for px, py in line]
            xs, ys = [p[0] for p in pts], [p[1] for p in pts]
            cv.fill(sd_polyline(pts, stroke), colour,
                    (min(xs) - stroke, min(ys) - stroke, max(xs) + stroke, max(ys) + stroke))
        x += letter_w + gap
    return x


# ---------------------------------------------------------------------------------------------------------
# The maker's mark: a ring with a drafting set square inside and a tail that makes it a "Q".

def draw_mark(cv, cx, cy, r, ring_colour, square_colour, hole_colour, stroke):
    s = r / 60.0
    # set square: a right triangle with a triangular cut-out, as drafting triangles have
    tri = [(cx - 34 * s, cy + 30 * s), (cx + 34 * s, cy + 30 * s), (cx - 34 * s, cy - 34 * s)]
    hole = [(cx - 22 * s, cy + 19 * s), (cx + 8 * s, cy + 19 * s), (cx - 22 * s, cy - 10 * s)]
    cv.fill(sd_subtract(sd_convex(tri), sd_convex(hole)), square_colour,
            (cx - 36 * s, cy - 36 * s, cx + 36 * s, cy + 32 * s))
    if hole_colour is not None:
        cv.fill(sd_convex(hole), hole_colour, (cx - 24 * s, cy - 12 * s, cx + 10 * s, cy + 21 * s))
    cv.fill(sd_ring(cx, cy, r, stroke), ring_colour, (cx - r - stroke, cy - r - stroke, cx + r + stroke,
                                                         cy + r + stroke))
    tail = [(cx + r * 0.55, cy + r * 0.55), (cx + r * 1.05, cy + r * 1.05)]
    cv.fill(sd_polyline(tail, stroke * 1.25), ring_colour,
            (cx + r * 0.4, cy + r * 0.4, cx + r * 1.2, cy + r * 1.2))


# ---------------------------------------------------------------------------------------------------------
# The pictures

def backdrop():
    w, h = 600, 350
    cv = Canvas(w, h)
    top, bottom = (248, 250, 253), (208, 222, 237)
    for y in range(h):
        t = y / (h - 1)
        for x in range(w):
            # light at the left where the contact lines stand, a touch deeper towards the lower right
            u = clamp(t * 0.85 + (x / (w - 1)) * 0.25 - 0.08)
            cv.px[y][x] = list(mix(top, bottom, u))

    # a faint drafting grid fading out from the upper left corner
    grid = (175, 195, 216)
    for y in range(0, 176):
        for x in range(0, 260):
            on = (x % 20 == 0) or (y % 20 == 0)
            if not on:
                continue
            fade = clamp(1.0 - math.hypot(x / 260.0, y / 176.0))
            if fade <= 0:
                continue
            p = cv.px[y][x]
            a = 0.35 * fade
            for i in range(3):
                p[i] += (grid[i] - p[i]) * a

    # compass construction in the empty corner: a circle, its centre cross and a construction line
    ink = (120, 150, 182)
    cv.fill(sd_ring(110, 84, 62, 1.4), ink, (40, 14, 180, 154), alpha=0.55)
    cv.fill(sd_ring(110, 84, 40, 1.0), ink, (60, 34, 160, 134), alpha=0.35)
    cv.fill(sd_polyline([(30, 84), (190, 84)], 1.0), ink, (28, 80, 192, 88), alpha=0.45)
    cv.fill(sd_polyline([(110, 8), (110, 160)], 1.0), ink, (106, 6, 114, 162), alpha=0.45)
    cv.fill(sd_polyline([(62, 130), (166, 30)], 1.0), ink, (60, 28, 168, 132), alpha=0.35)
    cv.fill(sd_circle(110, 84, 3.2), ink, (104, 78, 116, 90), alpha=0.8)
    # a set square leaning on the construction line
    tri = [(140, 150), (225, 150), (140, 66)]
    hole = [(152, 140), (197, 140), (152, 95)]
    cv.fill(sd_subtract(sd_convex(tri), sd_convex(hole)), (150, 182, 214), (138, 64, 227, 152), alpha=0.45)

    # a quiet rule above the company name, and a thin band at the foot of the window
    cv.fill(sd_polyline([(12, 176), (236, 176)], 2.0), (52, 96, 150), (10, 172, 238, 180))
    for y in range(h - 3, h):
        for x in range(w):
            cv.px[y][x] = [64, 104, 152]
    return cv


def logo():
    w, h = 292, 181
    cv = Canvas(w, h, (255, 255, 255))
    dark, mid, light = (20, 64, 140), (72, 146, 208), (190, 218, 240)
    # mark on the left, lettering on the right, a rule and a fine line under them
    cv.fill(sd_circle(66, 80, 58), light, (6, 20, 126, 140), alpha=0.7)
    draw_mark(cv, 66, 80, 52, dark, mid, None, 9)
    draw_word(cv, "QUARN", 142, 46, 22, 32, 6, 5.5, dark)
    draw_word(cv, "SOFT", 142, 92, 22, 32, 6, 5.5, mid)
    cv.fill(sd_polyline([(14, 160), (278, 160)], 3.0), dark, (10, 156, 282, 164))
    cv.fill(sd_polyline([(142, 170), (278, 170)], 1.2), mid, (140, 167, 280, 173))
    return cv


def globe(size):
    cv = Canvas(size, size, (0, 0, 0))
    c, r = size / 2.0, size / 2.0 - max(0.6, size / 40.0)
    ocean_hi, ocean_lo = (110, 180, 240), (16, 72, 160)
    land_hi, land_lo = (120, 200, 100), (34, 120, 50)
    lx, ly = c - r * 0.45, c - r * 0.5  # light from the upper left

    def ocean(x, y):
        return mix(ocean_hi, ocean_lo, clamp(math.hypot(x - lx, y - ly) / (r * 1.7)))

    def land(x, y):
        return mix(land_hi, land_lo, clamp(math.hypot(x - lx, y - ly) / (r * 1.7)))

    sphere = sd_circle(c, c, r)
    cv.fill(sphere, None, shade=ocean)
    # continents: a few overlapping ellipses in unit sphere coordinates, clipped to the sphere
    blobs = [(-0.35, -0.30, 0.32, 0.22), (-0.15, -0.05, 0.18, 0.30), (-0.30, 0.35, 0.16, 0.25),
             (0.35, -0.35, 0.30, 0.18), (0.45, 0.05, 0.18, 0.28), (0.25, 0.45, 0.22, 0.14)]
    land_sdf = sd_union(*[sd_ellipse(c + bx * r, c + by * r, ax * r, ay * r) for bx, by, ax, ay in blobs])
    cv.fill(sd_intersect(land_sdf, sphere), None, shade=land)
    # graticule: meridians as ellipses, parallels as chords; thin and light so small sizes stay clean
    if size >= 32:
        lw = max(0.8, size / 90.0)
        grid = (200, 230, 250)
        for k in (0.35, 0.75):
            cv.fill(sd_intersect(sd_ellipse_ring(c, c, r * k, r, lw), sphere), grid, alpha=0.55)
        cv.fill(sd_polyline([(c, c - r), (c, c + r)], lw), grid, alpha=0.55)
        for f in (-0.5, 0.0, 0.5):
            y = c + f * r
            half = math.sqrt(max(0.0, r * r - (f * r) ** 2))
            cv.fill(sd_polyline([(c - half, y), (c + half, y)], lw), grid, alpha=0.55)
    # highlight and rim
    cv.fill(sd_intersect(sd_circle(lx, ly, r * 0.35), sphere), (255, 255, 255), alpha=0.25)
    cv.fill(sd_ring(c, c, r - max(0.5, size / 64.0) / 2, max(0.9, size / 64.0)), (8, 40, 96))
    cv.cover = [[clamp(0.5 - sphere(x + 0.5, y + 0.5)) for x in range(size)] for y in range(size)]
    return cv


def product_icon(size):
    cv = Canvas(size, size, (0, 0, 0))
    m = max(0.5, size / 32.0)
    tile = sd_round_box(m, m, size - m, size - m, size * 0.18)

    def blue(x, y):
        return mix((70, 160, 228), (14, 70, 150), clamp((x + y) / (2.0 * size)))
    cv.fill(tile, None, shade=blue)
    s = size / 128.0
    draw_mark(cv, 58 * s, 58 * s, 38 * s, (255, 255, 255), (190, 224, 250), None, max(1.6, 11 * s))
    cv.cover = [[clamp(0.5 - tile(x + 0.5, y + 0.5)) for x in range(size)] for y in range(size)]
    return cv


# ---------------------------------------------------------------------------------------------------------
# File writers

def bmp24(cv):
    row_pad = (4 - (cv.w * 3) % 4) % 4
    rows = []
    for y in range(cv.h - 1, -1, -1):
        row = bytearray()
        for x in range(cv.w):
            r, g, b = cv.rgb(x, y)
            row += bytes((b, g, r))
        rows.append(bytes(row) + b"\0" * row_pad)
    data = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, cv.w, cv.h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0, 14 + len(info))
    return head + info + data


def ico24(canvases):
    """An icon group: one 24-bit image with its 1-bit transparency mask per canvas."""
    images = []
    for cv in canvases:
        n = cv.w
        xor_pad = (4 - (n * 3) % 4) % 4
        and_stride = ((n + 31) // 32) * 4
        xor, mask = bytearray(), bytearray()
        for y in range(n - 1, -1, -1):
            bits = bytearray(and_stride)
            for x in range(n):
                inside = cv.cover[y][x] >= 0.5
                if inside:
                    r, g, b = cv.rgb(x, y)
                    xor += bytes((b, g, r))
                else:
                    xor += b"\0\0\0"  # transparent pixels are black in the colour image
                    bits[x // 8] |= 0x80 >> (x % 8)
            xor += b"\0" * xor_pad
            mask += bits
        info = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 24, 0, len(xor) + len(mask), 0, 0, 0, 0)
        images.append((n, info + bytes(xor) + bytes(mask)))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for n, blob in images:
        out += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 24, len(blob), offset)
        offset += len(blob)
        body += blob
    return out + body


def build():
    back = backdrop()
    for y in range(back.h):
        for x in range(back.w):
            if back.rgb(x, y) in RESERVED_COLOURS:
                sys.exit("backdrop pixel (%d, %d) has a colour the program draws" % (x, y))
    return {
        "QuarnWin.bmp": bmp24(back),
        "QuarnBas.bmp": bmp24(logo()),
        "QuarnEarth.ico": ico24([globe(n) for n in (16, 32, 48, 64, 96, 128, 256)]),
        "QuarnWin.ico": ico24([product_icon(n) for n in (16, 32, 48)]),
    }


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--out", default=os.path.join(here, "..", "..", "res"))
    p.add_argument("--check", action="store_true", help="compare with the files in --out, write nothing")
    a = p.parse_args()
    files = build()
    stale = []
    for name, data in files.items():
        path = os.path.join(a.out, name)
        if a.check:
            try:
                with open(path, "rb") as f:
                    if f.read() != data:
                        stale.append(name)
            except FileNotFoundError:
                stale.append(name)
        else:
            with open(path, "wb") as f:
                f.write(data)
            print("wrote %s (%d bytes)" % (os.path.normpath(path), len(data)))
    if stale:
        sys.exit("out of date: " + ", ".join(stale))


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Draws the three animation clips of the web installation dialog and writes them as AVI files.

    mkclips.py [OUT_DIR]          writes connect.avi, download.avi, install.avi (default: res/clips)
    mkclips.py --check [OUT_DIR]  exits 1 when the files in OUT_DIR differ from what this script draws

The clips are played by the classic animation control (SysAnimate32), which accepts only a narrow kind
of AVI: one video stream, 8-bit palette frames compressed with BI_RLE8 (every frame a key frame), no sound,
the '00dc' chunks directly in the 'movi' list (no 'rec ' lists), an idx1 index, and a frame count in the
headers that equals the number of frame chunks. The control is created with ACS_TRANSPARENT, which treats
the colour of the top-left pixel as transparent, so every frame keeps the background there.

The pictures are plain geometry drawn here, frame by frame; the output is byte-for-byte reproducible.
"""
import math
import os
import struct
import sys

# ---- palette -------------------------------------------------------------------------------------------
# Index 0 is the background: the dialog paints the animation control with RGB(231, 231, 215), so the key
# colour is that one as well (it also looks right where transparency is not honoured).
PALETTE = [
    ("bg", (231, 231, 215)),
    ("outline", (40, 48, 64)),
    ("white", (255, 255, 255)),
    ("paper_shade", (200, 206, 214)),
    ("text", (120, 130, 150)),
    ("sea0", (20, 60, 140)),
    ("sea1", (30, 90, 180)),
    ("sea2", (60, 130, 215)),
    ("sea3", (120, 180, 240)),
    ("land0", (30, 100, 40)),
    ("land1", (50, 140, 55)),
    ("land2", (90, 180, 80)),
    ("land3", (150, 215, 120)),
    ("grid", (170, 205, 240)),
    ("metal0", (90, 96, 108)),
    ("metal1", (140, 148, 160)),
    ("metal2", (185, 192, 202)),
    ("metal3", (220, 225, 232)),
    ("led_off", (60, 90, 60)),
    ("led_on", (70, 240, 70)),
    ("box0", (120, 78, 36)),
    ("box1", (165, 112, 58)),
    ("box2", (200, 148, 86)),
    ("box3", (225, 185, 125)),
    ("red", (205, 50, 45)),
    ("blue", (45, 110, 200)),
    ("yellow", (235, 195, 45)),
    ("green", (60, 160, 80)),
    ("purple", (140, 80, 170)),
    ("belt", (70, 70, 78)),
    ("belt_mark", (150, 150, 160)),
    ("trail", (205, 210, 200)),
]
C = {name: i for i, (name, _) in enumerate(PALETTE)}


class Canvas:
    """An 8-bit picture, rows top first; drawing clips at the edges."""

    def __init__(self, w, h):
        self.w, self.h = w, h
        self.px = [[C["bg"]] * w for _ in range(h)]

    def put(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        """Fills x0 <= x < x1, y0 <= y < y1."""
        for y in range(max(0, y0), min(self.h, y1)):
            row = self.px[y]
            for x in range(max(0, x0), min(self.w, x1)):
                row[x] = c

    def frame(self, x0, y0, x1, y1, c):
        self.rect(x0, y0, x1, y0 + 1, c)
        self.rect(x0, y1 - 1, x1, y1, c)
        self.rect(x0, y0, x0 + 1, y1, c)
        self.rect(x1 - 1, y0, x1, y1, c)

    def disc(self, cx, cy, r, c):
        for y in range(int(cy - r) - 1, int(cy + r) + 2):
            for x in range(int(cx - r) - 1, int(cx + r) + 2):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.put(x, y, c)

    def polygon(self, pts, c):
        """Even-odd fill of a polygon given in pixel coordinates (pixel centres are sampled)."""
        ys = [p[1] for p in pts]
        for y in range(max(0, int(min(ys))), min(self.h, int(max(ys)) + 1)):
            sy = y + 0.5
            xs = []
            for i in range(len(pts)):
                (xa, ya), (xb, yb) = pts[i], pts[(i + 1) % len(pts)]
                if (ya <= sy < yb) or (yb <= sy < ya):
                    xs.append(xa + (sy - ya) * (xb - xa) / (yb - ya))
            xs.sort()
            for i in range(0, len(xs) - 1, 2):
                for x in range(max(0, math.ceil(xs[i] - 0.5)), min(self.w, math.floor(xs[i + 1] - 0.5) + 1)):
                    self.px[y][x] = c

    def line(self, x0, y0, x1, y1, c):
        n = int(max(abs(x1 - x0), abs(y1 - y0))) + 1
        for i in range(n + 1):
            t = i / n
            self.put(int(round(x0 + (x1 - x0) * t)), int(round(y0 + (y1 - y0) * t)), c)


# ---- clip 1001: a turning globe (connecting) -----------------------------------------------------------
# Continents as caps on the sphere: (latitude, longitude, angular radius), degrees.
CONTINENTS = [
    (48, 15, 24), (20, 30, 20), (-5, 22, 18), (-25, 28, 12),       # a large northern mass and its south
    (55, 95, 28), (30, 105, 17), (10, 120, 9),                     # an eastern mass
    (-25, 135, 14),                                                # an island continent
    (45, -100, 24), (62, -120, 15), (20, -95, 10),                 # a western mass
    (-12, -58, 17), (-35, -65, 10),                                # and its southern neighbour
    (72, -40, 9),                                                  # a polar island
]


def _land(lat, lon):
    for la, lo, r in CONTINENTS:
        la, lo, r = math.radians(la), math.radians(lo), math.radians(r)
        cosd = math.sin(lat) * math.sin(la) + math.cos(lat) * math.cos(la) * math.cos(lon - lo)
        # a gentle wobble of the coast so the caps do not look like circles
        wobble = 1.0 + 0.18 * math.sin(3 * lon + 2 * lat) * math.cos(5 * lat - lon)
        if cosd >= math.cos(r * wobble):
            return True
    return False


def draw_globe(w, h, frame, frames):
    cv = Canvas(w, h)
    cx, cy, r = w / 2, h / 2, min(w, h) / 2 - 3
    turn = 2 * math.pi * frame / frames          # one whole turn per loop
    tilt = math.radians(18)
    light = (-0.55, -0.55, 0.63)
    for y in range(h):
        for x in range(w):
            dx, dy = (x + 0.5 - cx) / r, (y + 0.5 - cy) / r
            d2 = dx * dx + dy * dy
            if d2 > 1.0:
                continue
            dz = math.sqrt(1.0 - d2)
            # tilt the axis towards the viewer, then read latitude and longitude
            y2 = dy * math.cos(tilt) - dz * math.sin(tilt)
            z2 = dy * math.sin(tilt) + dz * math.cos(tilt)
            lat = -math.asin(max(-1.0, min(1.0, y2)))
            lon = math.atan2(dx, z2) - turn
            shade = dx * light[0] + dy * light[1] + dz * light[2]
            level = 0 if shade < 0.05 else 1 if shade < 0.45 else 2 if shade < 0.8 else 3
            if _land(lat, lon):
                c = C["land%d" % level]
            else:
                c = C["sea%d" % level]
                # meridians every 45 degrees and the equator make the turning visible on the sea
                m = (math.degrees(lon) % 45.0)
                if level >= 1 and (m < 2.2 or m > 42.8 or abs(math.degrees(lat)) < 1.6):
                    c = C["grid"]
            cv.put(x, y, c)
    # rim
    for a in range(360):
        t = math.radians(a)
        cv.put(int(cx + (r + 0.6) * math.cos(t)), int(cy + (r + 0.6) * math.sin(t)), C["outline"])
    return cv


# ---- clip 1002: files flying from the web to a disk (downloading) --------------------------------------
def draw_document(cv, x, y, w=13, h=16):
    x, y = int(round(x)), int(round(y))
    fold = 4
    cv.polygon([(x, y), (x + w - fold, y), (x + w, y + fold), (x + w, y + h), (x, y + h)], C["white"])
    cv.line(x, y, x + w - fold, y, C["outline"])
    cv.line(x + w - fold, y, x + w, y + fold, C["outline"])
    cv.line(x + w, y + fold, x + w, y + h, C["outline"])
    cv.line(x, y + h, x + w, y + h, C["outline"])
    cv.line(x, y, x, y + h, C["outline"])
    cv.polygon([(x + w - fold, y), (x + w - fold, y + fold), (x + w, y + fold)], C["paper_shade"])
    for i, ln in enumerate((6, 8, 7, 5)):
        cv.rect(x + 3, y + 5 + 3 * i, x + 3 + ln, y + 6 + 3 * i, C["text"])


def draw_small_globe(cv, cx, cy, r):
    cv.disc(cx, cy, r + 1, C["outline"])
    cv.disc(cx, cy, r, C["sea2"])
    cv.disc(cx - r * 0.35, cy - r * 0.2, r * 0.45, C["land1"])
    cv.disc(cx + r * 0.4, cy + r * 0.35, r * 0.3, C["land1"])
    cv.disc(cx - r * 0.4, cy - r * 0.4, r * 0.2, C["sea3"])
    cv.line(cx - r, cy, cx + r, cy, C["grid"])
    cv.line(cx, cy - r, cx, cy + r, C["grid"])


def draw_disk_drive(cv, x0, y0, x1, y1, led_on):
    cv.rect(x0, y0, x1, y1, C["metal1"])
    cv.rect(x0, y0, x1, y0 + 3, C["metal3"])             # lit top edge
    cv.rect(x0, y1 - 4, x1, y1, C["metal0"])             # shadowed base
    cv.frame(x0, y0, x1, y1, C["outline"])
    cv.rect(x0 + 6, y0 + 8, x1 - 6, y0 + 11, C["outline"])   # slot
    cv.rect(x0 + 6, y0 + 11, x1 - 6, y0 + 12, C["metal3"])
    for i in range(4):                                    # vents
        cv.rect(x0 + 6 + 5 * i, y1 - 12, x0 + 8 + 5 * i, y1 - 7, C["metal0"])
    cv.rect(x1 - 12, y1 - 12, x1 - 6, y1 - 8, C["led_on"] if led_on else C["led_off"])


def draw_download(w, h, frame, frames):
    cv = Canvas(w, h)
    src = (24, 36)                 # the web
    dst_x0, dst_y0, dst_x1, dst_y1 = 126, 26, 172, 62
    draw_small_globe(cv, src[0], src[1], 18)
    in_flight = 3
    # the dotted path the files take
    def along(t):
        x = src[0] + 14 + (dst_x0 + 8 - src[0] - 14) * t
        y = 30 - 26 * math.sin(math.pi * t) + 4 * t
        return x, y
    for i in range(0, 40, 2):
        x, y = along(i / 40)
        cv.put(int(x + 6), int(y + 8), C["trail"])
    landed = False
    for k in range(in_flight):
        t = (frame / frames + k / in_flight) % 1.0
        if t > 0.92:
            landed = True
        x, y = along(t)
        draw_document(cv, x, y)
    draw_disk_drive(cv, dst_x0, dst_y0, dst_x1, dst_y1, landed or frame % 6 < 2)
    return cv


# ---- clip 1003: a box being filled (installing) --------------------------------------------------------
ITEM_COLOURS = ["red", "blue", "yellow", "green", "purple", "blue", "red", "green", "yellow", "purple",
                "green", "red"]


def draw_box_back(cv, bx0, by0, bx1, by1):
    cv.rect(bx0, by0, bx1, by1, C["box1"])
    cv.rect(bx0 + 3, by0, bx1 - 3, by1 - 3, C["box0"])   # the dark inside seen over the front wall


def draw_box_front(cv, bx0, by0, bx1, by1, lip_top):
    """The low front lip of the open crate (the goods inside stay visible) and its opened flaps."""
    cv.rect(bx0, lip_top, bx1, by1, C["box2"])
    cv.rect(bx0, lip_top, bx1, lip_top + 2, C["box3"])
    cv.frame(bx0, lip_top, bx1, by1, C["outline"])
    cv.rect((bx0 + bx1) // 2 - 3, lip_top + 1, (bx0 + bx1) // 2 + 3, by1 - 1, C["box3"])   # tape
    cv.frame(bx0, by0, bx1, by1, C["outline"])
    cv.polygon([(bx0, by0), (bx0 - 14, by0 - 10), (bx0 - 10, by0 - 13), (bx0 + 4, by0)], C["box1"])
    cv.polygon([(bx1, by0), (bx1 + 14, by0 - 10), (bx1 + 10, by0 - 13), (bx1 - 4, by0)], C["box1"])
    cv.line(bx0, by0, bx0 - 14, by0 - 10, C["outline"])
    cv.line(bx1, by0, bx1 + 14, by0 - 10, C["outline"])


def draw_item(cv, x, y, colour, size=12):
    x, y = int(round(x)), int(round(y))
    cv.rect(x, y, x + size, y + size, C[colour])
    cv.frame(x, y, x + size, y + size, C["outline"])
    cv.rect(x + 2, y + 2, x + size - 2, y + 4, C["white"])   # a label strip: it is a package


def draw_install(w, h, frame, frames):
    cv = Canvas(w, h)
    belt_y = 30
    bx0, bx1, by0, by1 = 160, 236, 34, 82
    n_items = len(ITEM_COLOURS)
    period = (frames - 3) / n_items      # the last frames show the full box
    # conveyor from the left edge to the box
    cv.rect(4, belt_y, bx0 - 6, belt_y + 5, C["belt"])
    for i in range(0, bx0 - 10, 8):
        cv.rect(4 + (i + frame * 2) % (bx0 - 12), belt_y + 2, 6 + (i + frame * 2) % (bx0 - 12), belt_y + 3,
                C["belt_mark"])
    cv.disc(8, belt_y + 2.5, 5, C["metal1"])
    cv.disc(bx0 - 9, belt_y + 2.5, 5, C["metal1"])
    draw_box_back(cv, bx0, by0, bx1, by1)
    # items already in the box: rows of five from the bottom
    arrived = min(n_items, int(frame / period))
    slots = []
    for i in range(n_items):
        row, col = divmod(i, 5)
        slots.append((bx0 + 6 + col * 13, by1 - 21 - row * 13))
    for i in range(arrived):
        draw_item(cv, slots[i][0], slots[i][1], ITEM_COLOURS[i])
    # the item on its way: along the belt, then over the rim and down into its slot
    if arrived < n_items:
        t = frame / period - arrived
        tx, ty = slots[arrived]
        if t < 0.6:
            x = 14 + (bx0 - 30) * (t / 0.6)
            y = belt_y - 12
        else:
            u = (t - 0.6) / 0.4
            x = bx0 - 16 + (tx - bx0 + 16) * u
            y = belt_y - 12 - 10 * math.sin(math.pi * u) + (ty - belt_y + 12) * u * u
        draw_item(cv, x, y, ITEM_COLOURS[arrived])
        # the next one slides in from the left edge, reaching the start of the belt as this one drops
        if arrived + 1 < n_items:
            draw_item(cv, -12 + 26 * min(1.0, t), belt_y - 12, ITEM_COLOURS[arrived + 1])
    draw_box_front(cv, bx0, by0, bx1, by1, by1 - 8)
    # keep the transparent key colour in the top-left pixel whatever was drawn
    cv.px[0][0] = C["bg"]
    return cv


# ---- BI_RLE8 and AVI -----------------------------------------------------------------------------------
def rle8_row(row):
    """Encoded runs for repeats, absolute mode for stretches of differing bytes."""
    out = bytearray()
    i, n = 0, len(row)
    while i < n:
        run = 1
        while i + run < n and row[i + run] == row[i] and run < 255:
            run += 1
        if run >= 2:
            out += bytes((run, row[i]))
            i += run
            continue
        # collect differing bytes until a repeat of two or more starts
        j = i
        while j < n and j - i < 255 and not (j + 1 < n and row[j + 1] == row[j]):
            j += 1
        lit = row[i:j]
        if len(lit) >= 3:
            out += bytes((0, len(lit))) + bytes(lit)
            if len(lit) & 1:
                out += b"\0"         # absolute runs are padded to a 16-bit boundary
        else:
            for b in lit:
                out += bytes((1, b))
        i = j
    return out


def rle8(cv):
    out = bytearray()
    for y in range(cv.h - 1, -1, -1):         # DIBs are stored bottom row first
        out += rle8_row(cv.px[y])
        out += b"\0\0"                          # end of line
    out[-2:] = b"\0\1"                          # the last end of line becomes end of bitmap
    return bytes(out)


def chunk(fcc, data):
    return fcc + struct.pack("<I", len(data)) + data + (b"\0" if len(data) & 1 else b"")


def riff_list(kind, fcc, payload):
    return kind + struct.pack("<I", len(payload) + 4) + fcc + payload


def avi(frames, w, h, usec_per_frame):
    data = [rle8(f) for f in frames]
    n = len(data)
    biggest = max(len(d) for d in data)
    rate = 1000000
    bytes_per_sec = biggest * rate // usec_per_frame
    avih = struct.pack("<10I4I", usec_per_frame, bytes_per_sec, 0, 0x10,   # AVIF_HASINDEX
                       n, 0, 1, biggest, w, h, 0, 0, 0, 0)
    strh = struct.pack("<4s4sIHHIIIIIIII4h", b"vids", b"mrle", 0, 0, 0, 0,
                       usec_per_frame, rate, 0, n, biggest, 0xFFFFFFFF, 0, 0, 0, w, h)
    bih = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 1,                 # BI_RLE8
                      biggest, 0, 0, len(PALETTE), len(PALETTE))
    pal = b"".join(struct.pack("<4B", b, g, r, 0) for _, (r, g, b) in PALETTE)
    strl = riff_list(b"LIST", b"strl", chunk(b"strh", strh) + chunk(b"strf", bih + pal))
    hdrl = riff_list(b"LIST", b"hdrl", chunk(b"avih", avih) + strl)
    movi, idx, off = b"", b"", 4
    for d in data:
        c = chunk(b"00dc", d)
        idx += struct.pack("<4sIII", b"00dc", 0x10, off, len(d))              # AVIIF_KEYFRAME
        movi += c
        off += len(c)
    body = b"AVI " + hdrl + riff_list(b"LIST", b"movi", movi) + chunk(b"idx1", idx)
    return b"RIFF" + struct.pack("<I", len(body)) + body


# Resource 1001, 1002, 1003: name, frame size, frame count, frame time (microseconds), painter.
CLIPS = [
    ("connect.avi", 80, 50, 29, 166666, draw_globe),
    ("download.avi", 181, 72, 25, 120000, draw_download),
    ("install.avi", 267, 85, 51, 80000, draw_install),
]


def build_all():
    out = {}
    for name, w, h, n, usec, painter in CLIPS:
        frames = [painter(w, h, f, n) for f in range(n)]
        for cv in frames:
            cv.px[0][0] = C["bg"]
        out[name] = avi(frames, w, h, usec)
    return out


def write_previews(out_dir):
    """Every frame of every clip side by side as a PPM strip (for looking at the pictures)."""
    os.makedirs(out_dir, exist_ok=True)
    for name, w, h, n, usec, painter in CLIPS:
        frames = [painter(w, h, f, n) for f in range(n)]
        cols = 6
        rows = (n + cols - 1) // cols
        W, H = cols * (w + 2), rows * (h + 2)
        img = bytearray(b"\x80" * (W * H * 3))
        for k, cv in enumerate(frames):
            ox, oy = (k % cols) * (w + 2), (k // cols) * (h + 2)
            for y in range(h):
                for x in range(w):
                    r, g, b = PALETTE[cv.px[y][x]][1]
                    o = ((oy + y) * W + ox + x) * 3
                    img[o:o + 3] = bytes((r, g, b))
        with open(os.path.join(out_dir, name.replace(".avi", ".ppm")), "wb") as f:
            f.write(b"P6 %d %d 255\n" % (W, H) + bytes(img))


def main(argv):
    check = "--check" in argv
    preview = None
    if "--preview" in argv:
        i = argv.index("--preview")
        preview = argv[i + 1]
        argv = argv[:i] + argv[i + 2:]
    args = [a for a in argv if a != "--check"]
    if preview:
        write_previews(preview)
        return 0
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = args[0] if args else os.path.join(here, "..", "..", "res", "clips")
    files = build_all()
    if check:
        bad = []
        for name, data in files.items():
            path = os.path.join(out_dir, name)
            if not os.path.exists(path) or open(path, "rb").read() != data:
                bad.append(name)
        if bad:
            print("out of date: " + ", ".join(bad) + " (run tools/clips/mkclips.py)")
            return 1
        print("clips up to date")
        return 0
    os.makedirs(out_dir, exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(data)
        print("%s: %d bytes" % (name, len(data)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

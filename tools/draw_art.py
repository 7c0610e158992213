#!/usr/bin/env python3
"""Draws Tarnwick's icons, bitmaps, animation clip and new-mail chime.

Usage: draw_art.py OUTDIR

Everything is computed here from geometry and written in the plain Windows binary formats
(ICO, BMP, RIFF AVI with RLE8 video, RIFF WAVE), so the pictures can be reviewed and changed
as code. Only the standard library is used and the output is the same on every run.
"""

import math
import os
import struct
import sys

# --------------------------------------------------------------------------------------------
# Small colour and geometry helpers


def lerp(a, b, t):
    return a + (b - a) * t


def mix(c1, c2, t):
    t = max(0.0, min(1.0, t))
    return tuple(lerp(a, b, t) for a, b in zip(c1, c2))


def clamp_rgb(c):
    return tuple(max(0, min(255, int(round(v)))) for v in c)


def nearest(palette, colour, first=0):
    best, best_d = first, None
    for i in range(first, len(palette)):
        p = palette[i]
        d = (p[0] - colour[0]) ** 2 * 3 + (p[1] - colour[1]) ** 2 * 4 + (p[2] - colour[2]) ** 2 * 2
        if best_d is None or d < best_d:
            best, best_d = i, d
    return best


def dist_segment(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length2))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def dist_arc(px, py, cx, cy, r, a0, a1):
    """Distance to a circular arc running counter-clockwise from a0 to a1 (degrees, y up)."""
    ang = math.degrees(math.atan2(py - cy, px - cx)) % 360.0
    start, sweep = a0 % 360.0, (a1 - a0) % 360.0 or 360.0
    if (ang - start) % 360.0 <= sweep:
        return abs(math.hypot(px - cx, py - cy) - r)
    ends = []
    for a in (a0, a1):
        ex, ey = cx + r * math.cos(math.radians(a)), cy + r * math.sin(math.radians(a))
        ends.append(math.hypot(px - ex, py - ey))
    return min(ends)


def render(width, height, shade, samples):
    """Supersamples shade(x, y) -> colour or None over a grid of pixels.

    Returns rows of (colour, coverage): colour is the mean of the covered samples, so edges stay
    in the shape's own colours instead of bleeding into an unknown background.
    """
    rows = []
    step = 1.0 / samples
    offsets = [(i + 0.5) * step for i in range(samples)]
    for y in range(height):
        row = []
        for x in range(width):
            acc, hits = [0.0, 0.0, 0.0], 0
            for oy in offsets:
                for ox in offsets:
                    c = shade(x + ox, y + oy)
                    if c is not None:
                        hits += 1
                        acc[0] += c[0]
                        acc[1] += c[1]
                        acc[2] += c[2]
            n = samples * samples
            colour = tuple(v / hits for v in acc) if hits else None
            row.append((colour, hits / n))
        rows.append(row)
    return rows


# --------------------------------------------------------------------------------------------
# File formats


def chunk(fourcc, data):
    pad = b"\0" if len(data) % 2 else b""
    return fourcc + struct.pack("<I", len(data)) + data + pad


def riff(form, body):
    return chunk(b"RIFF", form + body)


def bitmap_info_header(width, height, bits, compression=0, image_size=0, colours=0):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, image_size,
                       0, 0, colours, colours)


def pack_4bit_rows(indices, width):
    """Bottom-up 4-bit rows, each padded to a multiple of four bytes."""
    out = bytearray()
    stride = ((width * 4 + 31) // 32) * 4
    for row in reversed(indices):
        line = bytearray()
        for x in range(0, width, 2):
            hi = row[x]
            lo = row[x + 1] if x + 1 < width else 0
            line.append((hi << 4) | lo)
        line.extend(b"\0" * (stride - len(line)))
        out.extend(line)
    return bytes(out)


def pack_mask_rows(mask, width):
    """Bottom-up 1-bit AND mask: a set bit lets the background show through."""
    out = bytearray()
    stride = ((width + 31) // 32) * 4
    for row in reversed(mask):
        line = bytearray(stride)
        for x, transparent in enumerate(row):
            if transparent:
                line[x // 8] |= 0x80 >> (x % 8)
        out.extend(line)
    return bytes(out)


def palette_bytes(palette, count):
    out = bytearray()
    for r, g, b in palette:
        out.extend((b, g, r, 0))
    out.extend(b"\0" * (4 * (count - len(palette))))
    return bytes(out)


def write_ico(path, images):
    """images: list of (size, palette of 16 colours, index rows, transparency rows)."""
    blobs = []
    for size, palette, indices, mask in images:
        xor = pack_4bit_rows(indices, size)
        andmask = pack_mask_rows(mask, size)
        # The icon's header counts the XOR and AND bitmaps together: twice the height.
        header = bitmap_info_header(size, size * 2, 4, 0, len(xor) + len(andmask))
        blobs.append(header + palette_bytes(palette, 16) + xor + andmask)
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (size, _, _, _), blob in zip(images, blobs):
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(out + b"".join(blobs))


def write_bmp(path, pixels):
    """pixels: rows of RGB tuples, top row first. 8-bit with a palette when that suffices."""
    height, width = len(pixels), len(pixels[0])
    colours = sorted({c for row in pixels for c in row})
    if len(colours) <= 256:
        index = {c: i for i, c in enumerate(colours)}
        stride = (width + 3) & ~3
        data = bytearray()
        for row in reversed(pixels):
            data.extend(index[c] for c in row)
            data.extend(b"\0" * (stride - width))
        info = bitmap_info_header(width, height, 8, 0, len(data), len(colours))
        info += palette_bytes(colours, len(colours))
    else:
        stride = (width * 3 + 3) & ~3
        data = bytearray()
        for row in reversed(pixels):
            for r, g, b in row:
                data.extend((b, g, r))
            data.extend(b"\0" * (stride - width * 3))
        info = bitmap_info_header(width, height, 24, 0, len(data))
    offset = 14 + len(info)
    header = b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(header + info + bytes(data))


def write_wav(path, samples, rate):
    data = b"".join(struct.pack("<h", s) for s in samples)
    fmt = struct.pack("<HHIIHH", 1, 1, rate, rate * 2, 2, 16)
    with open(path, "wb") as f:
        f.write(riff(b"WAVE", chunk(b"fmt ", fmt) + chunk(b"data", data)))


# --------------------------------------------------------------------------------------------
# The face icons

FACE_PALETTE = [
    (0, 0, 0),  # eyes
    (96, 60, 0),  # outline
    (160, 104, 0),  # outline into fill
    (222, 150, 0),  # shaded rim
    (246, 190, 0),
    (255, 216, 16),  # the yellow
    (255, 236, 96),
    (255, 250, 190),  # highlight
    (120, 0, 0),  # mouth edge
    (214, 28, 28),  # mouth
    (255, 120, 120),  # tongue
    (255, 255, 255),
    (120, 96, 16),  # eye into yellow
    (180, 70, 16),  # mouth edge into yellow
    (60, 36, 0),
    (200, 150, 60),
]

GREY_PALETTE = [(v, v, v) for v in range(0, 256, 17)]

OUTLINE = (96, 60, 0)
MOUTH_EDGE = (120, 0, 0)
MOUTH = (214, 28, 28)
TONGUE = (255, 120, 120)


def face_shade(u, v, smiling, outline_width):
    """Colour of the face at (u, v), the unit disc with y downwards; None outside."""
    r = math.hypot(u, v)
    if r > 1.0:
        return None
    if r > 1.0 - outline_width:
        return OUTLINE
    # Lit from the upper left, the rim darkening towards the lower right.
    t = math.hypot(u + 0.38, v + 0.42)
    if t < 0.35:
        colour = mix((255, 250, 190), (255, 236, 96), t / 0.35)
    elif t < 0.9:
        colour = mix((255, 236, 96), (255, 216, 16), (t - 0.35) / 0.55)
    else:
        colour = mix((255, 216, 16), (226, 150, 0), (t - 0.9) / 0.75)

    for ex in (-0.34, 0.34):
        if ((u - ex) / 0.135) ** 2 + ((v + 0.28) / 0.23) ** 2 <= 1.0:
            return (0, 0, 0)

    if smiling == "flat":
        # Neither glad nor sad: still watching, but the last try did not get through.
        inside = abs(u) <= 0.5 and abs(v - 0.46) <= 0.13
        inner = abs(u) <= 0.4 and abs(v - 0.46) <= 0.04
        tongue = False
    elif smiling:
        top = 0.12 + 0.22 * u * u
        inside = v >= top and (u / 0.62) ** 2 + ((v - 0.1) / 0.58) ** 2 <= 1.0
        inner = v >= top + 0.09 and (u / 0.52) ** 2 + ((v - 0.1) / 0.48) ** 2 <= 1.0
        tongue = math.hypot(u, (v - 0.68) * 1.3) < 0.3
    else:
        bottom = 0.74 - 0.25 * u * u
        inside = v <= bottom and (u / 0.5) ** 2 + ((v - 0.76) / 0.38) ** 2 <= 1.0
        inner = v <= bottom - 0.09 and (u / 0.4) ** 2 + ((v - 0.76) / 0.29) ** 2 <= 1.0
        tongue = False
    if inside:
        if not inner:
            return MOUTH_EDGE
        return TONGUE if tongue else MOUTH
    return colour


def draw_face(size, smiling=True, grey=False):
    outline = 1.6 / (size / 2.0)
    half = size / 2.0

    def shade(x, y):
        return face_shade((x - half) / (half - 0.3), (y - half) / (half - 0.3), smiling, outline)

    rows = render(size, size, shade, 6)
    indices, mask = [], []
    for row in rows:
        irow, mrow = [], []
        for colour, coverage in row:
            if colour is None or coverage < 0.5:
                irow.append(0)
                mrow.append(True)
                continue
            if grey:
                lum = 0.30 * colour[0] + 0.59 * colour[1] + 0.11 * colour[2]
                # Flatter than the colour face, as disabled things look.
                lum = 70 + lum * 0.62
                irow.append(nearest(GREY_PALETTE, (lum, lum, lum)))
            else:
                irow.append(nearest(FACE_PALETTE, colour))
            mrow.append(False)
        indices.append(irow)
        mask.append(mrow)
    return (size, GREY_PALETTE if grey else FACE_PALETTE, indices, mask)


def rotate_clockwise(image):
    size, palette, indices, mask = image

    def turn(rows):
        return [[rows[size - 1 - x][y] for x in range(size)] for y in range(size)]

    return (size, palette, turn(indices), turn(mask))


# --------------------------------------------------------------------------------------------
# The about picture: "Tarnwick" in a rounded bold face drawn from strokes

PEN = 0.17
CAP = 1.0
XH = 0.66


def glyphs():
    b = PEN / 2  # stroke centre lines sit half a pen inside the letter box
    top = CAP - PEN / 2
    xt = XH - PEN / 2
    r = (xt - b) / 2
    mid = (xt + b) / 2
    return {
        # Each glyph: (width of centre lines, [("seg", x0, y0, x1, y1) | ("arc", cx, cy, r, a0, a1)
        #              | ("dot", cx, cy, radius)])
        "T": (0.64, [("seg", 0, top, 0.64, top), ("seg", 0.32, top, 0.32, b)]),
        "a": (2 * r, [("arc", r, mid, r, 0, 360), ("seg", 2 * r, xt, 2 * r, b)]),
        "r": (0.4, [("seg", 0, b, 0, xt), ("arc", 0.25, xt - 0.25, 0.25, 50, 180)]),
        "n": (0.44, [("seg", 0, b, 0, xt), ("arc", 0.22, xt - 0.22, 0.22, 0, 180),
                     ("seg", 0.44, xt - 0.22, 0.44, b)]),
        "w": (0.68, [("seg", 0, xt, 0.17, b), ("seg", 0.17, b, 0.34, xt - 0.06),
                     ("seg", 0.34, xt - 0.06, 0.51, b), ("seg", 0.51, b, 0.68, xt)]),
        "i": (0.0, [("seg", 0, b, 0, xt), ("dot", 0, xt + 0.22, PEN * 0.64)]),
        "c": (r + r * math.cos(math.radians(42)), [("arc", r, mid, r, 42, 318)]),
        "k": (0.42, [("seg", 0, b, 0, top), ("seg", 0.42, xt, 0.02, 0.26),
                     ("seg", 0.13, 0.36, 0.44, b)]),
    }


def layout_text(text, gap):
    shapes, x = [], PEN / 2
    table = glyphs()
    for ch in text:
        width, parts = table[ch]
        for p in parts:
            if p[0] == "seg":
                shapes.append(("seg", p[1] + x, p[2], p[3] + x, p[4]))
            elif p[0] == "arc":
                shapes.append(("arc", p[1] + x, p[2], p[3], p[4], p[5]))
            else:
                shapes.append(("dot", p[1] + x, p[2], p[3]))
        x += width + PEN + gap
    return shapes, x - gap - PEN / 2


def text_distance(shapes, px, py):
    best = 1e9
    for s in shapes:
        if s[0] == "seg":
            d = dist_segment(px, py, s[1], s[2], s[3], s[4]) - PEN / 2
        elif s[0] == "arc":
            d = dist_arc(px, py, s[1], s[2], s[3], s[4], s[5]) - PEN / 2
        else:
            d = math.hypot(px - s[1], py - s[2]) - s[3]
        best = min(best, d)
    return best


def draw_about(zoom=1):
    """The picture at 217 x 64 pixels, or drawn afresh `zoom` times as large."""
    width, height = 217 * zoom, 64 * zoom
    background = (224, 222, 228)
    shadow = (168, 160, 178)
    top_colour, bottom_colour = (112, 36, 150), (58, 6, 88)
    shapes, text_width = layout_text("Tarnwick", 0.11)
    scale = min((width - 16 * zoom) / text_width, (height - 18 * zoom) / CAP)
    x0 = (width - text_width * scale) / 2
    baseline = (height + CAP * scale) / 2

    def coverage(px, py):
        d = text_distance(shapes, (px - x0) / scale, (baseline - py) / scale) * scale
        return max(0.0, min(1.0, 0.5 - d))

    pixels = []
    for y in range(height):
        row = []
        for x in range(width):
            c_text = coverage(x + 0.5, y + 0.5)
            c_shadow = coverage(x + 0.5 - 2.0 * zoom, y + 0.5 - 2.0 * zoom)
            colour = mix(background, shadow, c_shadow * 0.8)
            ink = mix(top_colour, bottom_colour, (y - (baseline - CAP * scale)) / (CAP * scale))
            colour = mix(colour, ink, c_text)
            row.append(clamp_rgb(colour))
        pixels.append(row)
    return pixels


# --------------------------------------------------------------------------------------------
# Setup's side picture: the smiling face over the name, on the about picture's purple


def draw_wizard(width=164, height=314):
    top_colour, bottom_colour = (112, 36, 150), (30, 2, 48)
    size = 112
    fx, fy = (width - size) / 2.0, 70.0
    half = size / 2.0
    outline = 1.6 / (32 / 2.0)
    shapes, text_width = layout_text("Tarnwick", 0.11)
    scale = (width - 28) / text_width
    x0 = (width - text_width * scale) / 2
    baseline = fy + size + 30 + CAP * scale

    def pixel(x, y):
        colour = mix(top_colour, bottom_colour, y / height)
        if fy - 1 <= y <= fy + size + 1:
            acc, hits = [0.0, 0.0, 0.0], 0
            for ox in (0.25, 0.75):
                for oy in (0.25, 0.75):
                    c = face_shade((x + ox - fx - half) / half, (y + oy - fy - half) / half, True,
                                   outline)
                    if c is not None:
                        hits += 1
                        acc = [a + b for a, b in zip(acc, c)]
            if hits:
                colour = mix(colour, tuple(v / hits for v in acc), hits / 4.0)
        if baseline - CAP * scale - 2 <= y <= baseline + 2:
            d = text_distance(shapes, (x + 0.5 - x0) / scale, (baseline - y - 0.5) / scale) * scale
            colour = mix(colour, (255, 255, 255), max(0.0, min(1.0, 0.5 - d)))
        return clamp_rgb(colour)

    return [[pixel(x, y) for x in range(width)] for y in range(height)]


# --------------------------------------------------------------------------------------------
# The "?" button picture: a white "i" in a blue circle


def draw_info(zoom=1):
    """The picture at 13 x 17 pixels, or drawn afresh `zoom` times as large."""
    width, height = 13, 17
    # The classic button face grey, so that a loader asking for mapped 3-D colours blends it in.
    face = (192, 192, 192)
    cx, cy, radius = width / 2.0, height / 2.0, width / 2.0

    def shade(x, y):
        d = math.hypot(x - cx, y - cy)
        if d > radius:
            return face
        if math.hypot(x - cx, y - (cy - 3.3)) <= 1.25:
            return (255, 255, 255)
        in_stem = abs(x - cx) <= 1.05 and cy - 1.3 <= y <= cy + 3.8
        in_foot = abs(x - cx) <= 2.2 and cy + 2.8 <= y <= cy + 3.9
        in_cap = cx - 2.1 <= x <= cx and cy - 1.3 <= y <= cy - 0.4
        if in_stem or in_foot or in_cap:
            return (255, 255, 255)
        body = mix((70, 130, 240), (0, 40, 170), (y - (cy - radius)) / (2 * radius))
        if d > radius - 0.9:
            return mix(body, (0, 20, 110), 0.7)
        return body

    rows = render(width * zoom, height * zoom, lambda x, y: shade(x / zoom, y / zoom), 4)
    return [[clamp_rgb(c) for c, _ in row] for row in rows]


# --------------------------------------------------------------------------------------------
# The search clip: a torch sweeping its beam over a folder

CLIP_W, CLIP_H, CLIP_FRAMES, CLIP_FPS = 80, 48, 29, 6
CYAN = (0, 255, 255)
PIVOT = (10.0, 38.0)


def clip_angle(frame):
    # Back and forth once per loop: 12 degrees above the horizon to 78 and back.
    return math.radians(45.0 - 33.0 * math.cos(2.0 * math.pi * frame / CLIP_FRAMES))


def in_beam(x, y, angle):
    dx, dy = x - PIVOT[0], PIVOT[1] - y
    along = dx * math.cos(angle) + dy * math.sin(angle)
    across = -dx * math.sin(angle) + dy * math.cos(angle)
    if along < 19.0:
        return None
    half = 5.0 + (along - 19.0) * math.tan(math.radians(13.0))
    if abs(across) > half:
        return None
    return along, across / half


def folder_shade(x, y, lit):
    x0, y0, x1, y1 = 43.0, 8.0, 71.0, 29.0
    if not (x0 <= x <= x1 and y0 <= y <= y1):
        return None
    edge = (150, 100, 10) if lit else (96, 72, 20)
    back = (238, 196, 80) if lit else (150, 124, 58)
    front = (255, 232, 120) if lit else (178, 152, 76)
    tab_right = x0 + 10.0
    if y < y0 + 3.0:
        if x > tab_right - (y0 + 3.0 - y):
            return None
        if y < y0 + 1.0 or x < x0 + 1.0 or x > tab_right - (y0 + 3.0 - y) - 1.0:
            return edge
        return back
    # The front flap leans forward: its top edge starts lower and further right.
    flap_top = y0 + 7.0
    flap_left = x0 + (y1 - y) * 0.12 + 1.0
    if y >= flap_top and x >= flap_left:
        if y < flap_top + 1.0 or y > y1 - 1.0 or x < flap_left + 1.0 or x > x1 - 1.0:
            return edge
        return front
    if y < y0 + 4.0 or x < x0 + 1.0 or x > x1 - 1.0 or y > y1 - 1.0:
        return edge
    return back


def torch_shade(x, y, angle):
    dx, dy = x - PIVOT[0], PIVOT[1] - y
    along = dx * math.cos(angle) + dy * math.sin(angle)
    across = -dx * math.sin(angle) + dy * math.cos(angle)
    if -1.0 <= along <= 12.0 and abs(across) <= 3.4:
        if abs(across) > 2.5 or along < 0.0:
            return (90, 10, 10)
        if 4.0 <= along <= 6.0 and abs(across) < 1.2:
            return (40, 40, 40)  # the switch
        # A rounded body: light along its upper side.
        return mix((250, 90, 70), (140, 16, 16), (across + 2.5) / 5.0)
    if 12.0 < along <= 18.5:
        half = 3.6 + (along - 12.0) * 0.35
        if abs(across) <= half:
            if along > 17.5:
                return (255, 255, 200)  # the lens
            if abs(across) > half - 0.9:
                return (80, 80, 92)
            return mix((240, 240, 246), (130, 130, 142), (across + half) / (2 * half))
    return None


def clip_shade(x, y, angle):
    torch = torch_shade(x, y, angle)
    if torch is not None:
        return torch
    beam = in_beam(x, y, angle)
    folder = folder_shade(x, y, beam is not None)
    if folder is not None:
        return folder
    if beam is not None:
        along, side = beam
        warm = mix((255, 240, 40), (255, 252, 170), min(1.0, along / 70.0))
        return mix(warm, (255, 255, 220), max(0.0, 1.0 - abs(side) * 1.4) * 0.6)
    return None


def median_cut(colours, count):
    """Reduces a list of RGB tuples (with repeats) to at most count representative colours."""
    boxes = [colours]
    while len(boxes) < count:
        boxes.sort(key=lambda b: -len(b))
        split = None
        for i, box in enumerate(boxes):
            if len(set(box)) > 1:
                split = i
                break
        if split is None:
            break
        box = boxes.pop(split)
        spans = [max(c[k] for c in box) - min(c[k] for c in box) for k in range(3)]
        axis = spans.index(max(spans))
        box.sort(key=lambda c: c[axis])
        half = len(box) // 2
        boxes.extend([box[:half], box[half:]])
    return [clamp_rgb([sum(c[k] for c in b) / len(b) for k in range(3)]) for b in boxes if b]


def rle8_encode(indices):
    """BI_RLE8 stream of bottom-up rows: runs where they pay, absolute runs between them."""
    out = bytearray()
    rows = list(reversed(indices))
    for y, row in enumerate(rows):
        i, n = 0, len(row)
        while i < n:
            j = i
            while j < n and j - i < 255 and row[j] == row[i]:
                j += 1
            if j - i >= 3:
                out.extend((j - i, row[i]))
                i = j
                continue
            k = i
            while k < n and k - i < 255:
                if k + 2 < n and row[k] == row[k + 1] == row[k + 2]:
                    break
                k += 1
            literal = row[i:k]
            if len(literal) < 3:
                for v in literal:
                    out.extend((1, v))
            else:
                out.extend((0, len(literal)))
                out.extend(literal)
                if len(literal) % 2:
                    out.append(0)
            i = k
        out.extend((0, 1) if y == len(rows) - 1 else (0, 0))
    return bytes(out)


def draw_clip_frames(zoom=1, samples=3):
    """The clip's frames at 80 x 48 pixels, or drawn afresh `zoom` times as large."""
    frames = []
    for f in range(CLIP_FRAMES):
        angle = clip_angle(f)
        rows = render(CLIP_W * zoom, CLIP_H * zoom,
                      lambda x, y: clip_shade(x / zoom, y / zoom, angle), samples)
        frames.append([[clamp_rgb(c) if c is not None and cov >= 0.5 else None
                        for c, cov in row] for row in rows])
    return frames


def write_avi(path, frames):
    width, height = len(frames[0][0]), len(frames[0])
    colours = [c for fr in frames for row in fr for c in row if c is not None]
    distinct = sorted(set(colours))
    palette = [CYAN] + (distinct if len(distinct) <= 255 else median_cut(colours, 255))
    lookup = {}

    def index_of(c):
        if c is None:
            return 0
        if c not in lookup:
            # Index 0 is the transparent cyan; picture colours never map onto it.
            lookup[c] = nearest(palette, c, first=1)
        return lookup[c]

    encoded = [rle8_encode([[index_of(c) for c in row] for row in fr]) for fr in frames]
    biggest = max(len(e) for e in encoded)
    usec = int(round(1000000 / CLIP_FPS))

    avih = struct.pack("<IIIIIIIIII4I", usec, biggest * CLIP_FPS, 0, 0x10, CLIP_FRAMES, 0, 1,
                       biggest, width, height, 0, 0, 0, 0)
    strh = (b"vids" + b"RLE " + struct.pack("<IHHIIIIIIiI", 0, 0, 0, 0, 1, CLIP_FPS, 0,
                                            CLIP_FRAMES, biggest, -1, 0)
            + struct.pack("<hhhh", 0, 0, width, height))
    strf = bitmap_info_header(width, height, 8, 1, biggest, 256) + palette_bytes(palette, 256)
    strl = chunk(b"LIST", b"strl" + chunk(b"strh", strh) + chunk(b"strf", strf))
    hdrl = chunk(b"LIST", b"hdrl" + chunk(b"avih", avih) + strl)

    movi_body, index = b"", b""
    for data in encoded:
        # Offsets count from the 'movi' type code, as readers of the index expect.
        offset = 4 + len(movi_body)
        movi_body += chunk(b"00dc", data)
        index += b"00dc" + struct.pack("<III", 0x10, offset, len(data))
    movi = chunk(b"LIST", b"movi" + movi_body)
    with open(path, "wb") as f:
        f.write(riff(b"AVI ", hdrl + movi + chunk(b"idx1", index)))


# --------------------------------------------------------------------------------------------
# The new-mail chime: three soft bell notes rising through a major chord


def draw_chime(rate=22050, seconds=1.4):
    notes = [(0.00, 783.99), (0.14, 1046.50), (0.28, 1318.51)]
    partials = [(1.0, 1.0, 3.2), (2.0, 0.35, 5.0), (3.01, 0.12, 7.5), (4.17, 0.05, 10.0)]
    total = int(rate * seconds)
    wave = [0.0] * total
    for start, freq in notes:
        first = int(start * rate)
        for n in range(first, total):
            t = (n - first) / rate
            attack = min(1.0, t / 0.004)
            s = 0.0
            for ratio, amp, decay in partials:
                s += amp * math.exp(-decay * t) * math.sin(2.0 * math.pi * freq * ratio * t)
            wave[n] += attack * s
    peak = max(abs(v) for v in wave)
    fade = int(0.08 * rate)
    out = []
    for n, v in enumerate(wave):
        if n > total - fade:
            v *= (total - n) / fade
        out.append(int(round(v / peak * 0.6 * 32767)))
    return out, rate


# --------------------------------------------------------------------------------------------


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: draw_art.py OUTDIR\n")
        return 2
    out = argv[1]
    os.makedirs(out, exist_ok=True)

    def target(name):
        return os.path.join(out, name)

    # Every size Windows asks for: 16 and 32 at 96 DPI, 20 and 40 at 120 DPI, 24 and 48 at
    # 144 DPI; the system scales the nearest one for any other.
    sizes = (16, 20, 24, 32, 48)
    smiles = [draw_face(size) for size in sizes]
    write_ico(target("tarnwick.ico"), smiles)
    write_ico(target("mail.ico"), smiles)
    write_ico(target("nomail.ico"), [draw_face(size, smiling=False) for size in sizes])
    write_ico(target("disabled.ico"), [draw_face(size, grey=True) for size in sizes])
    write_ico(target("retrying.ico"), [draw_face(size, smiling="flat") for size in sizes])
    turned = smiles
    for step in range(4):
        write_ico(target("spin%d.ico" % step), turned)
        turned = [rotate_clockwise(image) for image in turned]

    # The pictures of the windows again at twice the size, for high-DPI displays: drawn, not
    # enlarged, so that they stay sharp.
    write_bmp(target("about.bmp"), draw_about())
    write_bmp(target("about2x.bmp"), draw_about(2))
    write_bmp(target("info.bmp"), draw_info())
    write_bmp(target("info2x.bmp"), draw_info(2))
    write_avi(target("search.avi"), draw_clip_frames())
    write_avi(target("search2x.avi"), draw_clip_frames(2, samples=2))
    # Setup's side picture; not part of the program.
    write_bmp(target("wizard.bmp"), draw_wizard())
    samples, rate = draw_chime()
    write_wav(target("GotMail.wav"), samples, rate)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

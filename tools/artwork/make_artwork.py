#!/usr/bin/python3
"""Draws Flagwash's pictures: window background, drop zone, the three buttons and the
application icons, at 1x and 2x.

Usage: /usr/bin/python3 tools/artwork/make_artwork.py [--out DIR]   (default app/assets)

Everything is computed, nothing is random and no timestamps are written, so two runs
give byte-identical files. Needs Debian's python3-pil and the fonts that
tools/artwork/make_font.sh put in app/assets/fonts and tools/artwork/fonts.
"""

from __future__ import annotations

import argparse
import io
import math
import sys
from pathlib import Path

from PIL import Image, ImageDraw, ImageFilter

sys.dont_write_bytecode = True  # keep the source tree clean of __pycache__
sys.path.insert(0, str(Path(__file__).resolve().parent))

import icofile  # noqa: E402
from paint import (BOLD_FONT, REGULAR_FONT, ROOT, Layer, TextMask, font, mix, rgb,  # noqa: E402
                   small_caps, solid, vertical_gradient, wave)

# Window background, in 96-dpi pixels.
BG_W, BG_H = 385, 335
STRIP_END = 11            # rows 0..10: pale strip
BAND_END = 46             # rows 11..45: teal band
CROSS_CENTRE = (191, 179)  # pixel under the middle of the drop zone (156..225, 144..213)
CROSS_RADIUS = 32.5       # disc spans pixels 159..223: 3 px inside the drop zone
MAKER = "Quorvane Software"

FIELD_TOP = rgb("#E1E1E1")
FIELD_BOTTOM = rgb("#DBDBDB")
DROP_TEAL = rgb("#195C6C")
DROP_GREY = rgb("#DBDBDB")
CAP_YELLOW = rgb("#F7BB00")
BODY_BLUE = rgb("#2268A9")
WHITE = (255, 255, 255)

BUTTON_W, BUTTON_H = 90, 25
BUTTON_TOP = 267          # where the buttons sit on the background
CAP_W = 24


def field_colour(y: float) -> tuple[int, int, int]:
    t = min(max((y - BAND_END) / (BG_H - BAND_END), 0.0), 1.0)
    return mix(FIELD_TOP, FIELD_BOTTOM, t)


def darken(c, amount: float):
    return tuple(round(v * (1 - amount)) for v in c)


# --------------------------------------------------------------------------- background

def _row_colour(y: float):
    """Colour of design row y (continuous) before edge shading and artwork."""
    if y < STRIP_END:
        if y >= STRIP_END - 1:
            return rgb("#C3CACB")                      # hairline above the band
        return mix(rgb("#F5F6F6"), rgb("#E7E9E9"), y / (STRIP_END - 1))
    if y < BAND_END:
        if y < STRIP_END + 1:
            return rgb("#5AAFB8")                      # top highlight
        if y >= BAND_END - 1:
            return rgb("#1B6A73")                      # bottom edge
        t = (y - STRIP_END - 1) / (BAND_END - STRIP_END - 2)
        return mix(rgb("#33959F"), rgb("#22808A"), t)  # #2A8A95 half-way down
    c = field_colour(y)
    shadow = max(0.0, 1 - (y - BAND_END) / 4.0)         # soft shadow under the band
    return darken(c, 0.13 * shadow * shadow)


def _edge_shade(x: float, y: float) -> float:
    """Darkening towards the right and bottom edges of the picture (0 = none)."""
    def ramp(v, start, end):
        return min(max((v - start) / (end - start), 0.0), 1.0)
    t = max(ramp(x, BG_W - 7, BG_W), ramp(y, BG_H - 7, BG_H))
    return 0.20 * t ** 1.6


def _background_base(s: int) -> Image.Image:
    w, h = BG_W * s, BG_H * s
    im = Image.new("RGB", (w, h))
    px = im.load()
    for py in range(h):
        y = (py + 0.5) / s
        c = _row_colour(y)
        im.paste(c, (0, py, w, py + 1))
        # the shaded edge runs down the whole right side and along the bottom
        for pxx in range(0 if y >= BG_H - 7 else w - 7 * s, w):
            px[pxx, py] = darken(c, _edge_shade((pxx + 0.5) / s, y))
    return im


def _emblem(s: int) -> Image.Image:
    """Round black-and-white seal: a waving flag over two wash lines."""
    cx, cy, r = 28.5, 28.5, 14.5
    lay = Layer(BG_W, BAND_END, s)
    lay.ellipse(cx, cy, r, WHITE)
    lay.ellipse(cx, cy, r - 1.3, (0, 0, 0))
    lay.ring(cx, cy, r - 2.6, r - 3.4, WHITE)
    cx -= 0.7  # the flag is heavier on the right: nudge it to look centred
    # flag pole and finial
    lay.rect(cx - 5.6, cy - 7.0, cx - 4.4, cy + 7.5, WHITE)
    lay.ellipse(cx - 5.0, cy - 7.6, 1.1, WHITE)
    # cloth: two parallel sine edges
    top = wave(cx - 4.4, cx + 6.6, cy - 6.6, 1.0, 1.0)
    bottom = wave(cx - 4.4, cx + 6.6, cy - 0.4, 1.0, 1.0)
    lay.polygon(top + bottom[::-1], WHITE)
    for y in (cy + 3.2, cy + 6.2):
        lay.polyline(wave(cx - 2.5, cx + 7.0, y, 0.8, 1.5), 1.1, WHITE)
    return lay.result()


def _cross_sign(s: int) -> Image.Image:
    """White target disc with a dark rim and a black cross-hair."""
    cx, cy = CROSS_CENTRE[0] + 0.5, CROSS_CENTRE[1] + 0.5
    r = CROSS_RADIUS
    lay = Layer(BG_W, BG_H, s)
    lay.ellipse(cx, cy, r, rgb("#2B3436"))
    inner = r - 3.0
    # slight dome: the face brightens towards the middle
    for i, c in enumerate(("#DCE2E3", "#E9EDEE", "#F3F5F5", "#FAFBFB", "#FFFFFF")):
        lay.ellipse(cx, cy, inner - i * 1.0, rgb(c))
    black = rgb("#141414")
    post_in, gap = 19.0, 4.0
    for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
        # thick post from the rim inwards, thin hair to near the middle
        for (a, b, half) in ((post_in, inner + 0.5, 1.5), (gap, post_in, 0.5)):
            if dx:
                x0, x1 = sorted((cx + dx * a, cx + dx * b))
                lay.rect(x0, cy - half, x1, cy + half, black)
            else:
                y0, y1 = sorted((cy + dy * a, cy + dy * b))
                lay.rect(cx - half, y0, cx + half, y1, black)
    lay.ring(cx, cy, 11.0, 10.0, black)
    return lay.result()


def _text_layer(size, mask, colour, alpha=1.0):
    if alpha < 1.0:
        mask = mask.point(lambda v: round(v * alpha))
    return solid(size, colour, mask)


def background(s: int) -> Image.Image:
    im = _background_base(s).convert("RGBA")
    size = im.size
    im.alpha_composite(_emblem(s))
    im.alpha_composite(_cross_sign(s))

    # title, in small capitals beside the emblem
    title = TextMask(size, s)
    runs = small_caps("Files & Folders Reset Tool", 18 * s, 0.78)
    title.draw_runs(52 * s, 35 * s, runs, tracking=0.6)
    shadow = title.image.filter(ImageFilter.GaussianBlur(0.6 * s))
    shadow_layer = Image.new("RGBA", size)
    shadow_layer.paste(_text_layer(size, shadow, rgb("#0E4C54"), 0.75), (s, s))
    im.alpha_composite(shadow_layer)
    im.alpha_composite(_text_layer(size, title.image, WHITE))

    # maker's name, engraved in grey at the bottom right
    maker = TextMask(size, s)
    maker.draw_centred(285 * s, 317 * s, MAKER, font(REGULAR_FONT, 16 * s))
    light = Image.new("RGBA", size)
    light.paste(_text_layer(size, maker.image, WHITE, 0.85), (0, s))
    im.alpha_composite(light)
    im.alpha_composite(_text_layer(size, maker.image, rgb("#8A8A8A")))
    return im.convert("RGB")


# --------------------------------------------------------------------------- drop zone

def dropzone(s: int) -> Image.Image:
    """Two-colour square: dashed frame and DROP / HERE. Index 0 grey, 1 teal."""
    n = 70 * s
    im = Image.new("P", (n, n), 0)
    im.putpalette(list(DROP_GREY) + list(DROP_TEAL))
    d = ImageDraw.Draw(im)
    # dashed frame: 9 dashes of 4 with gaps of 3 fill 60 px exactly from inset 5
    inset, dash, gap, count, width = 5 * s, 4 * s, 3 * s, 9, s
    far = n - inset - 1
    for i in range(count):
        a = inset + i * (dash + gap)
        b = a + dash - 1
        d.rectangle((a, inset, b, inset + width - 1), fill=1)
        d.rectangle((a, far - width + 1, b, far), fill=1)
        d.rectangle((inset, a, inset + width - 1, b), fill=1)
        d.rectangle((far - width + 1, a, far, b), fill=1)
    words = TextMask((n, n), s, antialias=False)
    f = font(BOLD_FONT, 16 * s)
    words.draw_centred(n / 2, 32 * s, "DROP", f)
    words.draw_centred(n / 2, 49 * s, "HERE", f)
    im.paste(1, (0, 0, n, n), words.image)
    return im


# --------------------------------------------------------------------------- buttons

def _button_rgba(word: str, s: int) -> Image.Image:
    w, h = BUTTON_W, BUTTON_H
    size = (w * s, h * s)
    radius = 7.0

    outline = Layer(w, h, s)
    outline.rounded_rect(0, 0, w, h, radius, (255, 255, 255, 255))
    body = Layer(w, h, s)
    body.rounded_rect(1, 1, w - 1, h - 1, radius - 1, (255, 255, 255, 255))
    shape_alpha = outline.result().getchannel("A")
    body_alpha = body.result().getchannel("A")

    def gradient(top, mid, bottom):
        return vertical_gradient(size, [(0.0, top), (0.5, mid), (1.0, bottom)])

    yellow = gradient(rgb("#FFD54D"), CAP_YELLOW, rgb("#DEA300"))
    blue = gradient(rgb("#3F86C8"), BODY_BLUE, rgb("#1A5792"))
    cap_mask = Image.new("L", size, 0)
    cap_mask.paste(255, (0, 0, CAP_W * s, h * s))

    fill = blue.copy()
    fill.paste(yellow, (0, 0), cap_mask)
    edge = Image.new("RGB", size, rgb("#164C80"))
    edge.paste(rgb("#B98700"), (0, 0, CAP_W * s, h * s))
    # dark seam between cap and body
    edge_seam = Image.new("L", size, 0)
    edge_seam.paste(255, (CAP_W * s, 0, (CAP_W + 1) * s, h * s))

    im = edge.convert("RGBA")
    im.putalpha(shape_alpha)
    inner = fill.convert("RGBA")
    inner.putalpha(body_alpha)
    im.alpha_composite(inner)
    seam = Image.new("RGBA", size, rgb("#174F82") + (255,))
    seam.putalpha(Image.composite(body_alpha, Image.new("L", size), edge_seam))
    im.alpha_composite(seam)

    # gloss on the upper half
    gloss = Layer(w, h, s)
    gloss.rounded_rect(1.5, 1.5, w - 1.5, h / 2, radius - 1.5, (255, 255, 255, 52))
    im.alpha_composite(gloss.result())

    # white dotted arrow on the cap: three dots and a solid head
    arrow = Layer(w, h, s)
    cy = h / 2
    for x in (5.0, 8.2, 11.4):
        arrow.ellipse(x, cy, 1.1, WHITE + (255,))
    arrow.polygon([(13.8, cy - 3.6), (19.4, cy), (13.8, cy + 3.6)], WHITE + (255,))
    im.alpha_composite(arrow.result())

    # the word
    text = TextMask(size, s)
    f = font(BOLD_FONT, 13 * s)
    tracking = 0.4
    runs = [(word, f)]
    width = text.runs_width(runs, tracking)
    body_centre = (CAP_W + 1 + w - 1) / 2 * s
    text.draw_runs(body_centre - width / 2, 17 * s, runs, tracking)
    shade = Image.new("RGBA", size)
    shade.paste(_text_layer(size, text.image, rgb("#0F3A63"), 0.7), (0, s))
    im.alpha_composite(shade)
    im.alpha_composite(_text_layer(size, text.image, WHITE))

    im.putalpha(Image.composite(im.getchannel("A"), Image.new("L", size), shape_alpha))
    return im


def button(word: str, s: int) -> Image.Image:
    """256-colour GIF frame; index 0 is transparent. Edge pixels are pre-blended with
    the field colour behind the buttons so the corners stay smooth without alpha."""
    rgba = _button_rgba(word, s)
    matte = field_colour(BUTTON_TOP + BUTTON_H / 2)
    flat = Image.new("RGBA", rgba.size, matte + (255,))
    flat.alpha_composite(rgba)
    flat = flat.convert("RGB")
    q = flat.quantize(colors=255, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    colours = q.getpalette()[: 255 * 3]
    colours += [0] * (255 * 3 - len(colours))
    alpha = rgba.getchannel("A")
    out = Image.new("P", rgba.size, 0)
    out.putpalette(list(matte) + colours)
    shifted = q.point(lambda v: v + 1)
    out.paste(shifted, (0, 0), alpha.point(lambda a: 255 if a >= 128 else 0))
    return out


# --------------------------------------------------------------------------- icon

def _inset(points, d):
    """Polygon shrunk by d: each edge moved inwards (clockwise on screen), corners re-met."""
    lines = []
    n = len(points)
    for i in range(n):
        (x0, y0), (x1, y1) = points[i], points[(i + 1) % n]
        length = math.hypot(x1 - x0, y1 - y0)
        nx, ny = -(y1 - y0) / length, (x1 - x0) / length   # inward normal for clockwise order
        lines.append(((x0 + nx * d, y0 + ny * d), (x1 - x0, y1 - y0)))
    out = []
    for i in range(n):
        (p, r), (q, s) = lines[i - 1], lines[i]
        cross = r[0] * s[1] - r[1] * s[0]
        t = ((q[0] - p[0]) * s[1] - (q[1] - p[1]) * s[0]) / cross
        out.append((p[0] + r[0] * t, p[1] + r[1] * t))
    return out


FOLDER_OUTLINE = rgb("#7A4E00")
PAPER_EDGE = rgb("#A3A3A3")
PAPER_RULE = rgb("#C4C4C4")
FLAP_LIGHT = rgb("#FFF3C4")


def folder_icon(n: int) -> Image.Image:
    """Open yellow folder on transparency. Drawn on a 16-unit grid whose straight edges
    fall on pixel boundaries at 16 and 32 px."""
    k = n / 16
    line = max(1.0, n / 40) / k          # outline thickness in grid units

    def P(pts):
        return [(x * k, y * k) for x, y in pts]

    def gradient_fill(mask, top, bottom, y0, y1):
        stops = [(y0 / 16, top), (y1 / 16, bottom)]
        layer = vertical_gradient((n, n), stops).convert("RGBA")
        layer.putalpha(mask)
        return layer

    def coverage(pts):
        lay = Layer(n, n, 1)
        lay.polygon(P(pts), (255, 255, 255, 255))
        return lay.result().getchannel("A")

    dark = FOLDER_OUTLINE
    im = Image.new("RGBA", (n, n))

    # back panel with its tab
    back = [(1, 2), (6, 2), (7, 3), (15, 3), (15, 15), (1, 15)]
    im.alpha_composite(solid((n, n), dark, coverage(back)))
    im.alpha_composite(gradient_fill(coverage(_inset(back, line)),
                                     rgb("#F0BE2E"), rgb("#C98E00"), 2, 15))

    # sheet of paper standing in the folder
    sheet = [(3, 5), (13, 5), (13, 12), (3, 12)]
    im.alpha_composite(solid((n, n), PAPER_EDGE, coverage(sheet)))
    im.alpha_composite(solid((n, n), WHITE, coverage(_inset(sheet, line))))
    if n >= 32:
        rule = max(1.0, n / 32) / k
        for yy in (6.5,) if n < 64 else (6.25, 7.0):
            im.alpha_composite(solid((n, n), PAPER_RULE,
                                     coverage([(4.5, yy), (12, yy), (12, yy + rule), (4.5, yy + rule)])))

    # front flap, tilted forward
    flap = [(4, 8), (16, 8), (14, 15), (1, 15)]
    im.alpha_composite(solid((n, n), dark, coverage(flap)))
    face = _inset(flap, line)
    im.alpha_composite(gradient_fill(coverage(face), rgb("#FFE27A"), rgb("#F2B300"), 8, 15))
    if n >= 32:
        # light catching the top edge of the flap
        hl = line * 0.9
        (ax, ay), (bx, by) = face[0], face[1]
        edge = [(ax, ay), (bx, by), (bx - 0.15, by + hl), (ax + 0.3, ay + hl)]
        im.alpha_composite(solid((n, n), FLAP_LIGHT, coverage(edge)))
    return im


# --------------------------------------------------------------------------- output

def _gif_bytes(im: Image.Image, transparency: int | None) -> bytes:
    buf = io.BytesIO()
    kw = {"transparency": transparency} if transparency is not None else {}
    im.save(buf, "GIF", optimize=False, **kw)
    return buf.getvalue()


def _jpeg_bytes(im: Image.Image) -> bytes:
    buf = io.BytesIO()
    im.save(buf, "JPEG", quality=95, progressive=True, optimize=True, subsampling=0)
    return buf.getvalue()


def _png_bytes(im: Image.Image) -> bytes:
    buf = io.BytesIO()
    im.save(buf, "PNG", optimize=True)
    return buf.getvalue()


def render() -> dict[str, bytes]:
    """Every generated file, by path relative to the output folder."""
    files: dict[str, bytes] = {}
    for s, suffix in ((1, ""), (2, "@2x")):
        files[f"background{suffix}.jpg"] = _jpeg_bytes(background(s))
        files[f"dropzone{suffix}.gif"] = _gif_bytes(dropzone(s), None)
        for word in ("RESET", "ABOUT", "EXIT"):
            files[f"{word.lower()}{suffix}.gif"] = _gif_bytes(button(word, s), 0)
    icons = {n: folder_icon(n) for n in (16, 32, 48, 256)}
    files["flagwash.ico"] = icofile.write_ico([icons[32], icons[16]],
                                           keep=(FOLDER_OUTLINE, WHITE, PAPER_EDGE, PAPER_RULE))
    for n, im in icons.items():
        files[f"icons/flagwash-{n}.png"] = _png_bytes(im)
    return files


def main(argv=None) -> int:
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--out", type=Path, default=ROOT / "app" / "assets",
                    help="output folder (default: app/assets)")
    args = ap.parse_args(argv)
    for rel, data in render().items():
        path = args.out / rel
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
        print(path)
    return 0


if __name__ == "__main__":
    sys.exit(main())

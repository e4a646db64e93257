"""Small drawing helpers on top of Pillow for make_artwork.py.

Shapes are drawn in "design units" (1 unit = 1 pixel of the 96-dpi artwork) on an
oversampled canvas and box-filtered down, which gives smooth, deterministic edges at
any scale. Text is rendered by FreeType straight at the output size so it stays hinted.
"""

from __future__ import annotations

import math
from pathlib import Path

from PIL import Image, ImageChops, ImageDraw, ImageFont

OVERSAMPLE = 8

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent.parent
REGULAR_FONT = ROOT / "app" / "assets" / "fonts" / "Gelasio-Regular.ttf"
BOLD_FONT = HERE / "fonts" / "Gelasio-Bold.ttf"


def rgb(hex_colour: str) -> tuple[int, int, int]:
    h = hex_colour.lstrip("#")
    return int(h[0:2], 16), int(h[2:4], 16), int(h[4:6], 16)


def mix(a, b, t: float) -> tuple[int, ...]:
    """Linear blend of two colours, t=0 gives a, t=1 gives b."""
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def font(path: Path, px: float) -> ImageFont.FreeTypeFont:
    # Raqm gives GPOS kerning; Debian's python3-pil always ships with it.
    return ImageFont.truetype(str(path), size=max(1, round(px)),
                              layout_engine=ImageFont.Layout.RAQM)


class Layer:
    """An oversampled RGBA layer addressed in design units at a given scale."""

    def __init__(self, width: int, height: int, scale: int):
        self.scale = scale
        self.k = scale * OVERSAMPLE
        self.size = (width * scale, height * scale)
        self.image = Image.new("RGBA", (self.size[0] * OVERSAMPLE, self.size[1] * OVERSAMPLE))
        self.draw = ImageDraw.Draw(self.image)

    def _p(self, x: float, y: float) -> tuple[int, int]:
        return round(x * self.k), round(y * self.k)

    def ellipse(self, cx, cy, r, fill, ry=None):
        ry = r if ry is None else ry
        x0, y0 = self._p(cx - r, cy - ry)
        x1, y1 = self._p(cx + r, cy + ry)
        self.draw.ellipse((x0, y0, x1 - 1, y1 - 1), fill=fill)

    def ring(self, cx, cy, r_outer, r_inner, fill):
        """Annulus: drawn through a mask so the hole stays transparent."""
        mask = Image.new("L", self.image.size)
        d = ImageDraw.Draw(mask)
        for r, v in ((r_outer, 255), (r_inner, 0)):
            x0, y0 = self._p(cx - r, cy - r)
            x1, y1 = self._p(cx + r, cy + r)
            d.ellipse((x0, y0, x1 - 1, y1 - 1), fill=v)
        self.image.paste(Image.new("RGBA", self.image.size, fill), (0, 0), mask)

    def rect(self, x0, y0, x1, y1, fill):
        a = self._p(x0, y0)
        b = self._p(x1, y1)
        self.draw.rectangle((a[0], a[1], b[0] - 1, b[1] - 1), fill=fill)

    def rounded_rect(self, x0, y0, x1, y1, radius, fill):
        a = self._p(x0, y0)
        b = self._p(x1, y1)
        self.draw.rounded_rectangle((a[0], a[1], b[0] - 1, b[1] - 1),
                                    radius=round(radius * self.k), fill=fill)

    def polygon(self, points, fill):
        # ImageDraw fills the right and bottom boundary too; trimming one sample off
        # each span keeps the covered area exact (no faint bleed past the edges).
        m = Image.new("L", self.image.size)
        ImageDraw.Draw(m).polygon([self._p(x, y) for x, y in points], fill=255)
        w, h = m.size
        left = Image.new("L", m.size)
        left.paste(m.crop((1, 0, w, h)), (0, 0))
        m = ImageChops.darker(m, left)
        up = Image.new("L", m.size)
        up.paste(m.crop((0, 1, w, h)), (0, 0))
        m = ImageChops.darker(m, up)
        self.image.paste(Image.new("RGBA", self.image.size, fill), (0, 0), m)

    def polyline(self, points, width, fill):
        self.draw.line([self._p(x, y) for x, y in points], fill=fill,
                       width=round(width * self.k), joint="curve")

    def result(self) -> Image.Image:
        return self.image.reduce(OVERSAMPLE)


def solid(size, colour, alpha_mask: Image.Image) -> Image.Image:
    layer = Image.new("RGBA", size, tuple(colour) + (255,))
    layer.putalpha(alpha_mask)
    return layer


def vertical_gradient(size, stops) -> Image.Image:
    """RGB image whose rows follow colour stops [(t, colour), ...], t from 0 (top) to 1."""
    w, h = size
    col = Image.new("RGB", (1, h))
    for y in range(h):
        t = (y + 0.5) / h
        colour = stops[0][1] if t < stops[0][0] else stops[-1][1]
        for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
            if t0 <= t <= t1 and t1 > t0:
                colour = mix(c0, c1, (t - t0) / (t1 - t0))
                break
        col.putpixel((0, y), colour)
    return col.resize((w, h), Image.Resampling.NEAREST)


class TextMask:
    """Coverage mask for text, drawn at output resolution (design units * scale)."""

    def __init__(self, size, scale: int, antialias: bool = True):
        self.scale = scale
        self.image = Image.new("L", size)
        self.draw = ImageDraw.Draw(self.image)
        if not antialias:
            self.draw.fontmode = "1"

    def runs_width(self, runs, tracking=0.0) -> float:
        total = 0.0
        for text, fnt in runs:
            total += fnt.getlength(text) + tracking * self.scale * len(text)
        return total - tracking * self.scale

    def draw_runs(self, x: float, baseline: float, runs, tracking=0.0) -> None:
        """runs: [(text, font)] drawn left to right on one baseline (x, baseline in px)."""
        for text, fnt in runs:
            for ch in text if tracking else [text]:
                self.draw.text((round(x), round(baseline)), ch, font=fnt, fill=255, anchor="ls")
                x += fnt.getlength(ch) + tracking * self.scale

    def draw_centred(self, cx: float, baseline: float, text: str, fnt) -> None:
        self.draw.text((round(cx - fnt.getlength(text) / 2), round(baseline)), text,
                       font=fnt, fill=255, anchor="ls")


def small_caps(text: str, regular_px: float, ratio: float, path: Path = REGULAR_FONT):
    """Splits text into runs: capitals and symbols at full size, lower case as smaller capitals."""
    big = font(path, regular_px)
    small = font(path, regular_px * ratio)
    runs: list[tuple[str, ImageFont.FreeTypeFont]] = []
    for ch in text:
        f = small if ch.islower() else big
        c = ch.upper()
        if runs and runs[-1][1] is f:
            runs[-1] = (runs[-1][0] + c, f)
        else:
            runs.append((c, f))
    return runs


def wave(x0: float, x1: float, y: float, amplitude: float, periods: float, steps: int = 40):
    """Points of a sine wave from x0 to x1 around height y."""
    pts = []
    for i in range(steps + 1):
        t = i / steps
        pts.append((x0 + (x1 - x0) * t, y + amplitude * math.sin(t * periods * 2 * math.pi)))
    return pts

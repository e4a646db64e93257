"""Writes a Windows .ico whose images are 16-colour (4 bits per pixel) bitmaps.

Pillow only writes PNG or 32-bit entries, so the bytes are laid out here:
ICONDIR, one ICONDIRENTRY per image, then per image a BITMAPINFOHEADER (height
doubled for the mask), a 16-entry RGBQUAD palette, the 4-bpp XOR bitmap and the
1-bpp AND mask, both bottom-up with rows padded to 4 bytes.
"""

from __future__ import annotations

import struct

from PIL import Image

ALPHA_CUTOFF = 128


def _row_stride(width: int, bits: int) -> int:
    return ((width * bits + 31) // 32) * 4


def _nearest(colour, palette) -> int:
    best, best_d = 0, None
    for i, p in enumerate(palette):
        d = sum((a - b) ** 2 for a, b in zip(colour, p))
        if best_d is None or d < best_d:
            best, best_d = i, d
    return best


def to_16_colours(rgba: Image.Image, keep=()) -> tuple[list[tuple[int, int, int]], list[list[int]]]:
    """Palette (index 0 = transparent black) and index rows for one RGBA image.

    The colours in keep are always in the palette (thin details such as outlines
    would otherwise be averaged away); the other slots come from a median cut of the
    opaque pixels. No dithering, so the result is the same on every run."""
    w, h = rgba.size
    px = rgba.load()
    opaque = [px[x, y][:3] for y in range(h) for x in range(w) if px[x, y][3] >= ALPHA_CUTOFF]
    free = 15 - len(keep)
    strip = Image.new("RGB", (len(opaque), 1))
    strip.putdata(opaque)
    q = strip.quantize(colors=free, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    flat = q.getpalette()[: free * 3]
    colours = [tuple(c) for c in keep] + [tuple(flat[i:i + 3]) for i in range(0, len(flat), 3)]
    colours += [(0, 0, 0)] * (15 - len(colours))
    palette = [(0, 0, 0)] + colours
    rows = []
    for y in range(h):
        row = []
        for x in range(w):
            p = px[x, y]
            row.append(_nearest(p[:3], colours) + 1 if p[3] >= ALPHA_CUTOFF else 0)
        rows.append(row)
    return palette, rows


def _entry_bitmap(width: int, height: int, palette, rows) -> bytes:
    xor_stride = _row_stride(width, 4)
    and_stride = _row_stride(width, 1)
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray(xor_stride)
        for x, idx in enumerate(row):
            line[x // 2] |= idx << (4 if x % 2 == 0 else 0)
        xor += line
        bits = bytearray(and_stride)
        for x, idx in enumerate(row):
            if idx == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 16, 0)
    quads = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    return header + quads + bytes(xor) + bytes(mask)


def write_ico(images: list[Image.Image], keep=()) -> bytes:
    """ICO bytes holding each RGBA image (largest first) as a 16-colour entry."""
    blobs = []
    for im in images:
        palette, rows = to_16_colours(im, keep)
        blobs.append((im.size, _entry_bitmap(im.size[0], im.size[1], palette, rows)))
    out = bytearray(struct.pack("<HHH", 0, 1, len(blobs)))
    offset = 6 + 16 * len(blobs)
    for (w, h), blob in blobs:
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    for _, blob in blobs:
        out += blob
    return bytes(out)

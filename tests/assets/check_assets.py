#!/usr/bin/python3
"""Checks the committed artwork and font in app/assets.

Usage: /usr/bin/python3 check_assets.py SOURCE_DIR [GROUP ...]
Groups: files, artwork, reproducible, font (default: all). Prints one line per case
and ends with "N passed, N failed"; exits 1 on any failure.
"""

from __future__ import annotations

import filecmp
import struct
import subprocess
import sys
import tempfile
import traceback
from pathlib import Path

from PIL import Image

ROOT = Path(sys.argv[1]).resolve() if len(sys.argv) > 1 else Path(__file__).resolve().parents[2]
ASSETS = ROOT / "app" / "assets"
GENERATOR = ROOT / "tools" / "artwork" / "make_artwork.py"

# Where the window puts things (96-dpi pixels); the @2x files double every number.
DROP_ZONE = (156, 144, 225, 213)          # Image1, inclusive
CROSS_CENTRE = (191, 179)
MAKER_BOX = (205, 302, 365, 322)          # under Image2
PLAIN_AREAS = [(18, 60, 377, 140),        # Label1 + Label4
               (18, 204, 377, 270),       # Label3 + Label2 (minus the drop zone)
               (0, 267, 377, 292)]        # button row
TEAL = (0x2A, 0x8A, 0x95)
BUTTON_YELLOW = (0xF7, 0xBB, 0x00)
BUTTON_BLUE = (0x22, 0x68, 0xA9)

# name, format, size at 1x, kind-specific expectations
FILES = [
    ("background.jpg", "JPEG", (385, 335), "background"),
    ("background@2x.jpg", "JPEG", (770, 670), "background"),
    ("dropzone.gif", "GIF", (70, 70), "dropzone"),
    ("dropzone@2x.gif", "GIF", (140, 140), "dropzone"),
    ("reset.gif", "GIF", (90, 25), "button"),
    ("about.gif", "GIF", (90, 25), "button"),
    ("exit.gif", "GIF", (90, 25), "button"),
    ("reset@2x.gif", "GIF", (180, 50), "button"),
    ("about@2x.gif", "GIF", (180, 50), "button"),
    ("exit@2x.gif", "GIF", (180, 50), "button"),
    ("flagwash.ico", "ICO", (32, 32), "ico"),
    ("icons/flagwash-16.png", "PNG", (16, 16), "png"),
    ("icons/flagwash-32.png", "PNG", (32, 32), "png"),
    ("icons/flagwash-48.png", "PNG", (48, 48), "png"),
    ("icons/flagwash-256.png", "PNG", (256, 256), "png"),
]
FONT_FILES = ["fonts/Gelasio-Regular.ttf", "fonts/OFL.txt"]

results: list[tuple[str, bool, str]] = []


def case(name):
    def wrap(fn):
        def run(*args):
            label = name.format(*args)
            try:
                fn(*args)
                results.append((label, True, ""))
            except AssertionError as e:
                results.append((label, False, str(e)))
            except Exception:  # a crash in a check is a failure, with its trace
                results.append((label, False, traceback.format_exc(limit=2).strip()))
        return run
    return wrap


def near(c, ref, tol):
    return all(abs(a - b) <= tol for a, b in zip(c, ref))


def luma(c):
    return (299 * c[0] + 587 * c[1] + 114 * c[2]) / 1000


def scale_box(box, s):
    x0, y0, x1, y1 = box
    return x0 * s, y0 * s, x1 * s + s - 1, y1 * s + s - 1


# --------------------------------------------------------------------------- raw headers

def jpeg_frame(data: bytes):
    """(SOF marker, precision, height, width, components) of a baseline/progressive JPEG."""
    assert data[:2] == b"\xff\xd8", "no JPEG SOI marker"
    i = 2
    while i < len(data):
        assert data[i] == 0xFF, f"bad JPEG marker at {i}"
        marker = data[i + 1]
        length = struct.unpack(">H", data[i + 2:i + 4])[0]
        if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
            p, h, w, n = struct.unpack(">BHHB", data[i + 4:i + 10])
            return marker, p, h, w, n
        assert marker != 0xDA, "scan data before a frame header"
        i += 2 + length
    raise AssertionError("no JPEG frame header")


def gif_colour_table_size(data: bytes) -> int:
    assert data[:6] in (b"GIF87a", b"GIF89a"), "not a GIF"
    packed = data[10]
    assert packed & 0x80, "GIF has no global colour table"
    return 2 ** ((packed & 7) + 1)


def ico_entries(data: bytes):
    reserved, kind, count = struct.unpack("<HHH", data[:6])
    assert (reserved, kind) == (0, 1), "not an icon file"
    entries = []
    for i in range(count):
        w, h, colours, res, planes, bits, size, offset = struct.unpack(
            "<BBBBHHII", data[6 + 16 * i:22 + 16 * i])
        assert offset + size <= len(data), f"entry {i} runs past the end of the file"
        header = struct.unpack("<IiiHHIIiiII", data[offset:offset + 40])
        entries.append(dict(w=w or 256, h=h or 256, colours=colours, planes=planes, bits=bits,
                            size=size, header=header))
    return entries


# --------------------------------------------------------------------------- files

@case("{0}: format and size")
def check_format(name, fmt, size, kind):
    path = ASSETS / name
    assert path.is_file(), f"{path} missing"
    with Image.open(path) as im:
        assert im.format == fmt, f"format {im.format}, want {fmt}"
        assert im.size == size, f"size {im.size}, want {size}"
        if fmt == "GIF":
            assert getattr(im, "n_frames", 1) == 1, "GIF has more than one frame"


@case("{0}: progressive 24-bit JPEG")
def check_jpeg(name):
    data = (ASSETS / name).read_bytes()
    marker, precision, _, _, components = jpeg_frame(data)
    assert marker == 0xC2, f"frame marker FF{marker:02X}, want FFC2 (progressive)"
    assert (precision, components) == (8, 3), f"{precision}-bit x {components} components"
    with Image.open(ASSETS / name) as im:
        assert im.mode == "RGB", f"mode {im.mode}"


@case("{0}: opaque, exactly the two drop-zone colours")
def check_dropzone(name):
    with Image.open(ASSETS / name) as im:
        assert "transparency" not in im.info, "drop zone must be opaque"
        colours = sorted(c for _, c in im.convert("RGB").getcolors(256))
    assert colours == sorted([(0x19, 0x5C, 0x6C), (0xDB, 0xDB, 0xDB)]), f"colours {colours}"


@case("{0}: 256-colour palette, transparent corners, opaque bar")
def check_button(name):
    data = (ASSETS / name).read_bytes()
    assert gif_colour_table_size(data) == 256, "palette is not 256 colours"
    with Image.open(ASSETS / name) as im:
        t = im.info.get("transparency")
        assert isinstance(t, int), "no transparency index"
        w, h = im.size
        s = w // 90
        px = im.load()
        rgb = im.convert("RGB").load()
        for x, y in ((0, 0), (w - 1, 0), (0, h - 1), (w - 1, h - 1)):
            assert px[x, y] == t, f"corner {x},{y} is not transparent"
        for x in range(3 * s, w - 3 * s):              # the bar is solid across its middle
            assert px[x, h // 2] != t, f"hole in the bar at {x},{h // 2}"
        cap = rgb[3 * s, h - 5 * s]
        body = rgb[30 * s, h - 5 * s]
        assert near(cap, BUTTON_YELLOW, 48), f"left cap colour {cap}"
        assert near(body, BUTTON_BLUE, 48), f"body colour {body}"
        word = sum(1 for x in range(28 * s, w - 4 * s) for y in range(4 * s, h - 4 * s)
                   if min(rgb[x, y]) > 225)
        assert word > 60 * s * s, f"only {word} white pixels: no word on the bar?"
        arrow = sum(1 for x in range(2 * s, 22 * s) for y in range(4 * s, h - 4 * s)
                    if min(rgb[x, y]) > 225)
        assert arrow > 10 * s * s, "no white arrow on the cap"


@case("flagwash.ico: 32x32 and 16x16, 16 colours at 4 bpp")
def check_ico_header():
    entries = ico_entries((ASSETS / "flagwash.ico").read_bytes())
    assert sorted((e["w"], e["h"]) for e in entries) == [(16, 16), (32, 32)], \
        f"sizes {[(e['w'], e['h']) for e in entries]}"
    for e in entries:
        size, width, height, planes, bits, compression, image_size, _, _, used, _ = e["header"]
        where = f"{e['w']}x{e['h']}"
        assert (e["colours"], e["planes"], e["bits"]) == (16, 1, 4), f"{where}: directory entry"
        assert (size, width, height) == (40, e["w"], 2 * e["h"]), f"{where}: BITMAPINFOHEADER"
        assert (planes, bits, compression) == (1, 4, 0), f"{where}: {bits} bpp"
        assert used in (0, 16), f"{where}: biClrUsed {used}"
        xor = ((e["w"] * 4 + 31) // 32) * 4 * e["h"]
        mask = ((e["w"] + 31) // 32) * 4 * e["h"]
        assert e["size"] == 40 + 16 * 4 + xor + mask, f"{where}: entry size {e['size']}"


def _folder_pixels(im: Image.Image):
    """(all corners transparent?, opaque share, yellow share of the opaque) of an icon."""
    im = im.convert("RGBA")
    w, h = im.size
    px = im.load()
    opaque = [px[x, y] for y in range(h) for x in range(w) if px[x, y][3] >= 128]
    yellow = [c for c in opaque if c[0] > 200 and c[1] > 140 and c[2] < 120]
    corners = all(px[x, y][3] == 0 for x in (0, w - 1) for y in (0, h - 1))
    return corners, len(opaque) / (w * h), len(yellow) / max(1, len(opaque))


@case("flagwash.ico {0}x{0}: yellow folder on a transparent ground")
def check_ico_image(n):
    with Image.open(ASSETS / "flagwash.ico") as im:
        im.size = (n, n)
        corner, cover, yellow = _folder_pixels(im)
    assert corner, "corner pixel is not transparent"
    assert 0.4 < cover < 0.95, f"{cover:.0%} opaque: not a folder shape on transparency"
    assert yellow > 0.4, f"only {yellow:.0%} of the folder is yellow"


@case("{0}: RGBA folder on transparency")
def check_png_icon(name):
    with Image.open(ASSETS / name) as im:
        assert im.mode == "RGBA", f"mode {im.mode}"
        corner, cover, yellow = _folder_pixels(im)
    assert corner, "corner pixel is not transparent"
    assert 0.4 < cover < 0.95, f"{cover:.0%} opaque"
    assert yellow > 0.4, f"only {yellow:.0%} yellow"


# --------------------------------------------------------------------------- background

def _load_background(name):
    im = Image.open(ASSETS / name).convert("RGB")
    return im, im.load(), im.size[0] // 385


@case("{0}: pale strip above a teal band")
def check_band(name):
    im, px, s = _load_background(name)
    strip = [px[x, y] for y in range(0, 9 * s) for x in range(0, 378 * s, s)]
    assert all(luma(c) > 215 and max(c) - min(c) < 14 for c in strip), "strip is not pale grey"
    # right of the title, clear of the emblem and text
    band = [px[x, y] for y in range(13 * s, 44 * s) for x in range(330 * s, 376 * s)]
    mean = tuple(sum(c[i] for c in band) / len(band) for i in range(3))
    assert near(mean, TEAL, 14), f"band colour {tuple(round(v) for v in mean)}"
    assert all(near(c, TEAL, 40) for c in band), "band is not one teal colour"
    # the band ends at row 45
    assert luma(px[200 * s, 52 * s]) > 200, "field does not start below the band"


@case("{0}: black-and-white emblem and white title in the band")
def check_band_contents(name):
    im, px, s = _load_background(name)
    emblem = [px[x, y] for y in range(12 * s, 46 * s) for x in range(10 * s, 48 * s)]
    dark = sum(1 for c in emblem if max(c) < 50)
    white = sum(1 for c in emblem if min(c) > 215)
    assert dark > 150 * s * s and white > 100 * s * s, f"emblem: {dark} black, {white} white px"
    title = sum(1 for y in range(14 * s, 44 * s) for x in range(50 * s, 330 * s)
                if min(px[x, y]) > 215)
    assert title > 400 * s * s, f"only {title} white pixels where the title goes"


@case("{0}: label areas and button row are plain field")
def check_plain(name):
    im, px, s = _load_background(name)
    dz = scale_box(DROP_ZONE, s)
    bad = []
    for area in PLAIN_AREAS:
        x0, y0, x1, y1 = scale_box(area, s)
        for y in range(y0, y1 + 1):
            row = [px[x, y] for x in range(x0, x1 + 1)
                   if not (dz[0] <= x <= dz[2] and dz[1] <= y <= dz[3])]
            ref = sorted(row)[len(row) // 2]
            for c in row:
                if not (near(c, ref, 6) and max(c) - min(c) <= 4 and 0xD4 <= luma(c) <= 0xE6):
                    bad.append((y, c))
    assert not bad, f"{len(bad)} pixels not plain, first at row {bad[0][0]}: {bad[0][1]}"


@case("{0}: cross sign centred under the drop zone")
def check_cross(name):
    im, px, s = _load_background(name)
    field = px[120 * s, 130 * s]
    ink = [(x, y) for y in range(100 * s, 262 * s) for x in range(110 * s, 272 * s)
           if abs(luma(px[x, y]) - luma(field)) > 24]
    assert ink, "no cross sign"
    xs = [x for x, _ in ink]
    ys = [y for _, y in ink]
    inside = scale_box((DROP_ZONE[0] + 2, DROP_ZONE[1] + 2, DROP_ZONE[2] - 2, DROP_ZONE[3] - 2), s)
    assert min(xs) >= inside[0] and max(xs) <= inside[2] and min(ys) >= inside[1] \
        and max(ys) <= inside[3], \
        f"cross sign spans {min(xs)}..{max(xs)} x {min(ys)}..{max(ys)}, outside {inside}"
    width = (max(xs) - min(xs) + 1) / s
    assert 58 <= width <= 66, f"disc is {width} px across"
    cx, cy = (min(xs) + max(xs)) / 2 / s, (min(ys) + max(ys)) / 2 / s
    assert abs(cx - CROSS_CENTRE[0]) <= 1 and abs(cy - CROSS_CENTRE[1]) <= 1, \
        f"centred at {cx}, {cy}"
    c = (CROSS_CENTRE[0] * s, CROSS_CENTRE[1] * s)
    assert min(px[c[0] + 6 * s, c[1] + 6 * s]) > 235, "disc face is not white"
    for dx, dy in ((-1, 0), (1, 0), (0, -1), (0, 1)):
        rim = [px[c[0] + dx * r, c[1] + dy * r] for r in range(26 * s, 34 * s)]
        assert any(max(p) < 90 for p in rim), f"no dark rim towards {dx},{dy}"
    hair = [px[c[0] + r, c[1]] for r in range(5 * s, 25 * s)]
    assert sum(1 for p in hair if max(p) < 60) > 8 * s, "no black cross-hair"


@case("{0}: maker's name in grey under Image2")
def check_maker(name):
    im, px, s = _load_background(name)
    x0, y0, x1, y1 = scale_box(MAKER_BOX, s)
    ink = [(x, y, px[x, y]) for y in range(293 * s, 327 * s) for x in range(0, 377 * s)
           if luma(px[x, y]) < 190]
    assert len(ink) > 150 * s * s, f"only {len(ink)} text pixels"
    outside = [(x, y) for x, y, _ in ink if not (x0 <= x <= x1 and y0 <= y <= y1)]
    assert not outside, f"text outside {MAKER_BOX} at {outside[0]}"
    assert all(max(c) - min(c) < 20 for _, _, c in ink), "maker's name is not grey"


@case("{0}: darker edge along the right side and the bottom")
def check_edges(name):
    im, px, s = _load_background(name)
    w, h = im.size
    inner = luma(px[w - 20 * s, h - 40 * s])
    assert luma(px[w - 1, h // 2]) < inner - 10, "right edge not shaded"
    assert luma(px[w // 3, h - 1]) < inner - 10, "bottom edge not shaded"


# --------------------------------------------------------------------------- generator

@case("generator output is byte-identical to app/assets")
def check_reproducible():
    with tempfile.TemporaryDirectory() as a, tempfile.TemporaryDirectory() as b:
        for out in (a, b):
            subprocess.run([sys.executable, str(GENERATOR), "--out", out], check=True,
                           stdout=subprocess.DEVNULL)
        made = sorted(str(p.relative_to(a)) for p in Path(a).rglob("*") if p.is_file())
        expected = sorted(name for name, *_ in FILES)
        assert made == expected, f"generator writes {made}, checked files are {expected}"
        unstable = [n for n in made if not filecmp.cmp(Path(a, n), Path(b, n), shallow=False)]
        assert not unstable, f"two runs differ: {unstable}"
        stale = [n for n in made if not (ASSETS / n).is_file()
                 or not filecmp.cmp(Path(a, n), ASSETS / n, shallow=False)]
        assert not stale, f"committed files differ from the generator's: {stale} " \
                          f"(run tools/artwork/make_artwork.py)"


# --------------------------------------------------------------------------- font

@case("Gelasio-Regular.ttf: TrueType font of family Gelasio, regular, full ASCII")
def check_font():
    from fontTools.ttLib import TTFont
    path = ASSETS / "fonts" / "Gelasio-Regular.ttf"
    assert path.read_bytes()[:4] == b"\x00\x01\x00\x00", "not a plain TrueType file (still WOFF?)"
    font = TTFont(str(path))
    assert font.flavor is None
    family = font["name"].getDebugName(1)
    style = font["name"].getDebugName(2)
    assert (family, style) == ("Gelasio", "Regular"), f"family {family!r} style {style!r}"
    assert font["OS/2"].usWeightClass == 400, f"weight {font['OS/2'].usWeightClass}"
    cmap = font.getBestCmap()
    missing = [chr(c) for c in range(0x20, 0x7F) if c not in cmap]
    assert not missing, f"no glyphs for {''.join(missing)!r}"


@case("OFL.txt: the font's licence")
def check_licence():
    text = (ASSETS / "fonts" / "OFL.txt").read_text()
    assert "SIL OPEN FONT LICENSE Version 1.1" in text and "Gelasio" in text


GROUPS = {
    "files": lambda: (
        [check_format(*f) for f in FILES],
        [check_jpeg(n) for n, _, _, k in FILES if k == "background"],
        [check_dropzone(n) for n, _, _, k in FILES if k == "dropzone"],
        [check_button(n) for n, _, _, k in FILES if k == "button"],
        check_ico_header(),
        [check_ico_image(n) for n in (32, 16)],
        [check_png_icon(n) for n, _, _, k in FILES if k == "png"],
    ),
    "artwork": lambda: [
        check(n) for n, _, _, k in FILES if k == "background"
        for check in (check_band, check_band_contents, check_plain, check_cross, check_maker,
                      check_edges)
    ],
    "reproducible": lambda: check_reproducible(),
    "font": lambda: (check_font(), check_licence()),
}


def main() -> int:
    wanted = sys.argv[2:] or list(GROUPS)
    for g in wanted:
        GROUPS[g]()
    for label, ok, why in results:
        print(("ok    " if ok else "FAIL  ") + label + ("" if ok else "\n      " + why))
    failed = sum(1 for _, ok, _ in results if not ok)
    print(f"{len(results) - failed} passed, {failed} failed")
    return 1 if failed or not results else 0


if __name__ == "__main__":
    sys.exit(main())

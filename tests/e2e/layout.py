"""Where the window's controls are, read from the layout table the program itself is built
from (app/Layout.h), so that no script writes a control's position of its own."""

import pathlib
import re

_LAYOUT = pathlib.Path(__file__).resolve().parents[2] / "app" / "Layout.h"
_TWIPS_PER_INCH = 1440


def _rectangles():
    text = _LAYOUT.read_text(encoding="utf-8")
    found = {}
    for match in re.finditer(r'\.name = "(\w+)",.*?\.rect = \{(\d+), (\d+), (\d+), (\d+)\}', text,
                             re.S):
        found[match.group(1)] = tuple(int(value) for value in match.group(2, 3, 4, 5))
    if not found:
        raise RuntimeError(f"no control rectangles found in {_LAYOUT}")
    return found


_RECTS = _rectangles()


def _pixels(twips, dpi):
    # As Layout::twipsToPixels rounds.
    return (twips * dpi + _TWIPS_PER_INCH // 2) // _TWIPS_PER_INCH


def centre(name, dpi=96, origin=(0, 0)):
    """The centre of a control ("imgStart", "imgAbout", "imgExit", "Image1", ...) in client
    pixels at a density, or on the screen given the client area's origin there."""
    left, top, width, height = _RECTS[name]
    return (origin[0] + _pixels(left, dpi) + _pixels(width, dpi) // 2,
            origin[1] + _pixels(top, dpi) + _pixels(height, dpi) // 2)


if __name__ == "__main__":
    # For shell scripts: prints "X Y" of the control named by the first argument.
    import sys
    x, y = centre(sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 96)
    print(x, y)

#!/usr/bin/env bash
# Fetches Gelasio (SIL OFL, Georgia-compatible metrics) from npm and converts the
# Latin WOFF faces to TrueType:
#   app/assets/fonts/Gelasio-Regular.ttf   bundled label font (fallback for Georgia)
#   app/assets/fonts/OFL.txt               its licence
#   tools/artwork/fonts/Gelasio-Bold.ttf   used only by make_artwork.py for button words
# Needs npm and Debian's python3-fonttools. Usage: tools/artwork/make_font.sh
set -euo pipefail

PACKAGE="@fontsource/gelasio@${GELASIO_VERSION:-5.3.0}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

(cd "$work" && npm pack --silent "$PACKAGE" >/dev/null && tar -xzf ./*.tgz)
files="$work/package/files"

mkdir -p "$root/app/assets/fonts" "$here/fonts"
/usr/bin/python3 - "$files" "$root/app/assets/fonts" "$here/fonts" <<'PY'
import sys
from fontTools.ttLib import TTFont

src, assets, tools = sys.argv[1:4]
for weight, out in (("400", f"{assets}/Gelasio-Regular.ttf"), ("700", f"{tools}/Gelasio-Bold.ttf")):
    # Keep head.modified as shipped so the TTF is byte-identical on every run.
    font = TTFont(f"{src}/gelasio-latin-{weight}-normal.woff", recalcTimestamp=False)
    font.flavor = None
    font.save(out)
    print(out)
PY
cp "$work/package/LICENSE" "$root/app/assets/fonts/OFL.txt"
cp "$work/package/LICENSE" "$here/fonts/OFL.txt"
echo "$root/app/assets/fonts/OFL.txt"

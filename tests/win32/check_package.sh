#!/bin/bash
# The Windows package: the zip that `--target package` makes holds exactly Flagwash.exe and
# README.md, and the executable in it still carries the icon and the version resource after
# CPack has stripped it.
#
# Usage: check_package.sh CPACK CPACK_CONFIG WINDRES OBJCOPY WORK_DIR SOURCE_DIR VERSION
# Exit 77 (a skip) when a tool it needs is missing.
set -euo pipefail

cpack=$1 config=$2 windres=$3 objcopy=$4 work=$(realpath -m "$5") source=$6 version=$7

for tool in unzip "$windres" "$objcopy"; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
python=$(command -v python3) || { echo "SKIP: python3 is not installed"; exit 77; }

fail() { echo "FAIL: $*"; exit 1; }

rm -rf "$work"
mkdir -p "$work"
"$cpack" -G ZIP --config "$config" -B "$work" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack could not make the zip"; }

zip="$work/Flagwash-$version-windows.zip"
[ -f "$zip" ] || fail "no $(basename "$zip") in $work: $(ls "$work")"
listed=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
[ "$listed" = "Flagwash.exe README.md " ] || fail "the zip holds '$listed', not Flagwash.exe and README.md"

unzip -q "$zip" -d "$work/unpacked"
cmp -s "$work/unpacked/README.md" "$source/README.md" || fail "README.md in the zip differs from the source"

exe="$work/unpacked/Flagwash.exe"
# The one program shipped is the 32-bit one.
"$python" - "$exe" <<'EOF' || fail "the packaged Flagwash.exe is not a 32-bit x86 program"
import struct, sys
data = open(sys.argv[1], "rb").read()
pe = struct.unpack_from("<I", data, 0x3C)[0]
machine = struct.unpack_from("<H", data, pe + 4)[0]
magic = struct.unpack_from("<H", data, pe + 24)[0]
sys.exit(0 if data[pe:pe + 4] == b"PE\0\0" and machine == 0x14C and magic == 0x10B else 1)
EOF
"$windres" -i "$exe" -O rc >"$work/resources.rc" 2>"$work/windres.log" ||
    { cat "$work/windres.log"; fail "no resources can be read from the packaged Flagwash.exe"; }
grep -q '^1 14 /\* RT_GROUP_ICON \*/' "$work/resources.rc" || fail "the packaged Flagwash.exe has no icon 1"
for value in FileVersion ProductVersion; do
    grep -q "VALUE \"$value\", \"$version\"" "$work/resources.rc" ||
        fail "the packaged Flagwash.exe does not carry $value $version"
done

# Every picture of the icon file, byte for byte, among the executable's resources.
"$objcopy" -O binary --only-section=.rsrc "$exe" "$work/rsrc.bin"
"$python" - "$source/app/assets/flagwash.ico" "$work/rsrc.bin" <<'EOF' || fail "the packaged Flagwash.exe lacks pictures of flagwash.ico"
import struct, sys
icon = open(sys.argv[1], "rb").read()
resources = open(sys.argv[2], "rb").read()
_, kind, count = struct.unpack_from("<HHH", icon, 0)
assert kind == 1 and count > 0, "not an icon file"
for i in range(count):
    size, offset = struct.unpack_from("<II", icon, 6 + 16 * i + 8)
    if icon[offset:offset + size] not in resources:
        sys.exit(f"picture {i + 1} of {count} is missing")
EOF

echo "PASS: $(basename "$zip") holds the 32-bit Flagwash.exe (icon, version $version) and README.md"

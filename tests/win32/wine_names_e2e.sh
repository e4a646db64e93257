#!/bin/bash
# The real Flagwash.exe under Wine handed, on its command line, names that Windows' own path
# parser would change: names ending in a dot or a space beside their namesakes without it, files
# named like devices, and a path longer than MAX_PATH that ends in a dot. After RESET every item
# handed over reads back normal, the report names each by the name it was given, and every
# namesake keeps exactly its flags.
#
# Usage: wine_names_e2e.sh FLAGWASH_EXE WINDOW_PROBE_EXE BROWSER_PROBE_EXE WORK_DIR
# Exit 77 (a skip) when a tool it needs is missing.
set -euo pipefail

program=$(realpath "$1") window_probe=$(realpath "$2") probe=$(realpath "$3")
work=$(realpath -m "$4")
here=$(cd "$(dirname "$0")" && pwd)

for tool in wine wineserver wineboot Xvfb xdpyinfo xdotool xwininfo getfattr setfattr iconv; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

# shellcheck source=tests/win32/e2e_common.sh
source "$here/e2e_common.sh"
dosattrib() { getfattr --only-values -n user.DOSATTRIB "$1" 2>/dev/null || echo 0x0; }

mkdir -p "$work"
[ -d "$work/files" ] && chmod -R u+w "$work/files"
rm -rf "$work/files" "$work/probe.log"

# A prefix and an X server of this test's own (it changes the registry and clicks on the
# window); both stop when the script ends, and with the prefix's server every program in it.
# shellcheck source=tools/wine-session.sh
source "$here/../../tools/wine-session.sh"
wine_session_start "$work" >"$work/session.log" 2>&1 || fail "no Wine session: $(cat "$work/session.log")"

# The default browser is the probe, so the pages the program opens start no real browser.
reg_string() { local text=${1//\\/\\\\}; printf '"%s"' "${text//\"/\\\"}"; }
write_settings() {
    local key='HKEY_LOCAL_MACHINE\Software\Clients\StartMenuInternet'
    printf 'Windows Registry Editor Version 5.00\n\n'
    printf '[HKEY_CURRENT_USER\\Software\\Clients\\StartMenuInternet]\n@="FlagwashProbe"\n\n'
    printf '[%s]\n@="FlagwashProbe"\n\n' "$key"
    printf '[%s\\FlagwashProbe\\shell\\open\\command]\n@=%s\n\n' "$key" \
        "$(reg_string "\"$(winpath "$probe")\"")"
}
# reg.exe reads UTF-16 with a byte-order mark and Windows line ends.
{ printf '\xff\xfe'; write_settings | sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE; } \
    >"$work/settings.reg"
wine reg import "$(winpath "$work/settings.reg")" /reg:64 >/dev/null 2>&1 ||
    fail "the registry settings could not be imported"
FLAGWASH_PROBE_LOG=$(winpath "$work/probe.log")
export FLAGWASH_PROBE_LOG

# Each name handed over, and beside it the namesake Windows' parser would make of it.
files="$work/files"
mkdir -p "$files/dirdot." "$files/dirdot"
for name in 'hid.' hid 'name ' name CON aux.txt COM1.log nul; do
    printf '%s' "$name" >"$files/$name"
done
deep="$files"
while (($(winpath "$deep/item." | wc -m) <= 280)); do
    deep+="/a folder with a rather long name"
done
mkdir -p "$deep"
printf 'deep, with a dot' >"$deep/item."
printf 'deep' >"$deep/item"
handed=("$files/hid." "$files/dirdot." "$files/name " "$files/CON" "$files/aux.txt"
    "$files/COM1.log" "$files/nul" "$deep/item.")
namesakes=("$files/hid" "$files/dirdot" "$files/name" "$deep/item")
# Hidden, system and read-only, as Wine stores them.
for item in "${handed[@]}" "${namesakes[@]}"; do
    setfattr -n user.DOSATTRIB -v '"0x6"' "$item"
    chmod a-w "$item"
done

arguments=()
for item in "${handed[@]}"; do arguments+=("$(winpath "$item")"); done
wine "$program" "${arguments[@]}" >"$work/program.log" 2>&1 &

find_window() {
    window=$(xdotool search --onlyvisible --classname '^flagwash\.exe$' 2>/dev/null | head -1)
    [ -n "$window" ]
}
eventually find_window || fail "no Flagwash window appeared"
caption_is() { [ "$(xdotool getwindowname "$window")" = "$1" ]; }
eventually caption_is "${#handed[@]} File(s)/Folder(s) selected. Click RESET" ||
    fail "caption after start-up is '$(xdotool getwindowname "$window")'"
left='' top=''
eval "$(xwininfo -id "$window" | awk '/Absolute upper-left X:/ { print "left=" $4 }
    /Absolute upper-left Y:/ { print "top=" $4 }')"

# RESET, then the report box.
read -r x y < <(centre imgStart)
xdotool mousemove $((left + x)) $((top + y)) click 1
read_report() { report=$(wine "$window_probe" report 2>/dev/null | tr -d '\r'); }
eventually read_report || fail "no report box appeared after RESET"
# Wine gives every regular file the archive flag, whatever is done to it, so each file is
# truthfully reported as keeping it, by the name it was handed over with; the folder is done.
expected_report="Done resetting 1 files/folders

$((${#handed[@]} - 1)) files/folders could not be reset:"
for item in "${handed[@]}"; do
    [ -d "$item" ] && continue
    expected_report+="
$(winpath "$item") (the disk kept these flags: archive)"
done
expected_report+="

Click OK to reset more files/folders"
[ "$report" = "$expected_report" ] || fail "the report reads:
$report
and not:
$expected_report"

for item in "${handed[@]}"; do
    flags=$(dosattrib "$item")
    (((flags & 0x7) == 0)) || fail "'$item' still has DOS attributes $flags"
    writable "$item" || fail "'$item' is still read-only"
done
for item in "${namesakes[@]}"; do
    [ "$(dosattrib "$item")" = 0x6 ] || fail "the namesake '$item' was changed: $(dosattrib "$item")"
    ! writable "$item" || fail "the namesake '$item' lost read-only"
done
if [ "$(cat "$files/hid.")" != hid. ] || [ "$(cat "$files/hid")" != hid ] ||
    [ "$(cat "$deep/item.")" != 'deep, with a dot' ]; then
    fail "a file's contents changed"
fi
echo "PASS: ${#handed[@]} names handed over reset as named, ${#namesakes[@]} namesakes kept"

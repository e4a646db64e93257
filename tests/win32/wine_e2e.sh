#!/bin/bash
# The real Flagwash.exe under Wine on its own Xvfb, with openbox managing the windows: window
# size, caption, a screenshot, a real XDND drag of three files from a separate GTK client, RESET
# (files really reset, the report box closed with Return) and EXIT. Then again at 200 %: the
# frame, a screenshot, and the drop zone over the cross sign during a drag. The browser is a
# probe that notes how it was started.
#
# Usage: wine_e2e.sh FLAGWASH_EXE BROWSER_PROBE_EXE SCREENSHOT_DIR WORK_DIR WEB_HOST WINDOW_PROBE_EXE
#                    [SESSION_PREFIX]
# SESSION_PREFIX is the prefix of tools/wine-session.sh, copied when this test has none of its own.
# Exit 77 (a skip) when a tool it needs is missing.
set -euo pipefail

program=$(realpath "$1") probe=$(realpath "$2") screenshots=$(realpath -m "$3") work=$(realpath -m "$4")
web_host=$5 window_probe=$(realpath "$6") session_prefix=${7:-}
here=$(cd "$(dirname "$0")" && pwd)

for tool in wine wineserver wineboot Xvfb openbox xdotool xprop xwininfo import getfattr \
    setfattr; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
/usr/bin/python3 -c 'import gi; gi.require_version("Gtk", "3.0")' 2>/dev/null ||
    { echo "SKIP: python3-gi with GTK 3 is not installed"; exit 77; }

# shellcheck source=tests/win32/e2e_common.sh
source "$here/e2e_common.sh"

mkdir -p "$screenshots" "$work"
rm -rf "$work/files" "$work/probe.log"

pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    # Stopped with SIGINT as -k does, then waited for on its lock instead of -k's growing pauses.
    if [ -n "${WINEPREFIX:-}" ]; then wineserver -k2 2>/dev/null && wineserver -w; fi || true
    [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT

# An X server of our own, and a Wine prefix of our own for it. The display number is picked
# at random rather than the lowest free one, which a server still shutting down elsewhere
# could take back from it.
display=""
for _ in $(seq 20); do
    candidate=$((1000 + RANDOM % 29000))
    [ -e "/tmp/.X$candidate-lock" ] && continue
    exec 3< <(Xvfb ":$candidate" -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp -noreset 2>/dev/null &
              echo "pid $!")
    read -r _ xvfb <&3
    read -r -t 10 display <&3 && break
    kill "$xvfb" 2>/dev/null || true
    display=""
done
[ -n "$display" ] || fail "Xvfb did not start"
export DISPLAY=":$display"
# A display that was named may not answer yet.
for _ in $(seq 200); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
xdotool getdisplaygeometry >/dev/null 2>&1 || fail "Xvfb does not answer on $DISPLAY"
# A window manager, as every desktop has: without one, Wine waits 2 s for each window it hides
# to be withdrawn by a manager that never comes (the report box, each program's exit). Its
# settings are its own, not the developer's. It starts while Wine sets up.
mkdir -p "$work/openbox-config" "$work/openbox-cache"
XDG_CONFIG_HOME="$work/openbox-config" XDG_CACHE_HOME="$work/openbox-cache" \
    openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=("$!")
export WINEPREFIX="$work/wineprefix" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Made anew when the Wine packages changed since it was made: a prefix from before Wine's
# 32-bit half was installed cannot start the 32-bit program.
# shellcheck source=tools/wine-session.sh
source "$here/../../tools/wine-session.sh"
wine_session_runs_32bit || wine_session_use_64bit_loader "$work"
made_by=$(wine_session_made_by)
if [ "$(cat "$WINEPREFIX/.flagwash-prefix-ready" 2>/dev/null)" != "$made_by" ]; then
    rm -rf "$WINEPREFIX"
fi
# A prefix of its own, as the test changes the registry. Making one takes Wine about 10 s; a copy
# of the session's, made by the same Wine, takes a fraction of that. Its two folders of Wine's
# programs and libraries, 1.2 GB that only a Wine update rewrites, are shared by hard links; the
# rest, the registry among it, is copied. The server's note of its folder and the files other
# tests may be making in its temporary folder stay behind. Should the copy fail, Wine makes one.
copy_session_prefix() {
    [ -n "$session_prefix" ] &&
        [ "$(cat "$session_prefix/.flagwash-prefix-ready" 2>/dev/null)" = "$made_by" ] || return 1
    tar -C "$session_prefix" --exclude=./drive_c/windows/system32 \
        --exclude=./drive_c/windows/syswow64 --exclude=./wineserver \
        --exclude=./.flagwash-prefix-ready --exclude='./drive_c/users/*/Temp/*' -cf - . |
        tar -C "$WINEPREFIX" -xf - &&
        cp -al "$session_prefix/drive_c/windows/"{system32,syswow64} "$WINEPREFIX/drive_c/windows/"
}
mkdir -p "$WINEPREFIX"
if [ ! -f "$WINEPREFIX/.flagwash-prefix-ready" ]; then
    if ! copy_session_prefix; then
        rm -rf "$WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        wineboot -i >/dev/null 2>&1
        # wineboot returns before the programs it started have finished setting up.
        wineserver -w
    fi
    printf '%s\n' "$made_by" >"$WINEPREFIX/.flagwash-prefix-ready"
fi
wineserver -p >/dev/null 2>&1
# The prefix's settings in one registry import, made every time, as a run that failed half-way
# may have left others. Wine's density is 96 dpi (100 %) until the second run. The default
# browser is the probe, so starting the tool opens no real browser. It is registered in the
# 64-bit view of the registry, where the shell and installers write; the 32-bit view
# (Wow6432Node), which a 32-bit program is shown unless it asks for the other, names the probe
# with a mark that must never appear in its log.
reg_string() { local text=${1//\\/\\\\}; printf '"%s"' "${text//\"/\\\"}"; }
browser_keys() {
    local key="HKEY_LOCAL_MACHINE\\$1\\Clients\\StartMenuInternet"
    printf '[%s]\n@="FlagwashProbe"\n\n' "$key"
    printf '[%s\\FlagwashProbe\\shell\\open\\command]\n@=%s\n\n' "$key" "$(reg_string "$2")"
}
write_settings() {
    printf 'Windows Registry Editor Version 5.00\n\n'
    printf '[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"LogPixels"=dword:00000060\n\n'
    printf '[HKEY_CURRENT_USER\\Software\\Clients\\StartMenuInternet]\n@="FlagwashProbe"\n\n'
    browser_keys 'Software' "\"$(winpath "$probe")\""
    browser_keys 'Software\Wow6432Node' "\"$(winpath "$probe")\" --from-the-32-bit-view"
}
# reg.exe reads UTF-16 with a byte-order mark and Windows line ends.
{ printf '\xff\xfe'; write_settings | sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE; } \
    >"$work/settings.reg"
wine reg import "$(winpath "$work/settings.reg")" /reg:64 >/dev/null 2>&1 ||
    fail "the registry settings could not be imported"
set_dpi() { wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null; }
export FLAGWASH_PROBE_LOG="$(winpath "$work/probe.log")"

# Three items with hidden, system and read-only set as Wine stores them.
mkdir -p "$work/files/a folder"
printf 'one' > "$work/files/report.doc"
printf 'two' > "$work/files/notes ü.txt"
items=("$work/files/report.doc" "$work/files/notes ü.txt" "$work/files/a folder")
# A 32-bit program on 64-bit Windows is shown windows/syswow64 for windows/system32. The file the
# user drops from System32 must be the one reset; its SysWOW64 namesake keeps its flags.
system32="$WINEPREFIX/drive_c/windows/system32/flagwash-e2e.txt"
syswow64="$WINEPREFIX/drive_c/windows/syswow64/flagwash-e2e.txt"
rm -f "$system32" "$syswow64"
printf 'in System32' >"$system32"
printf 'in SysWOW64' >"$syswow64"
items+=("$system32")
for item in "${items[@]}" "$syswow64"; do
    setfattr -n user.DOSATTRIB -v '"0x6"' "$item"
    chmod a-w "$item"
done

managed() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
eventually managed || fail "openbox did not start: $(cat "$work/openbox.log")"

# A real XDND drag with the mouse from another X client: pressed on it and moved past GTK's drag
# threshold, then moved from point to point, each time waiting for the drop target's answer as
# the source reports it (it reports a change only). The source starts while Wine starts the
# program, so it shows at the screen's corner in the first screenshot.
start_source() {
    if [ -n "${source_pid:-}" ]; then wait "$source_pid" || true; fi
    coproc source {
        /usr/bin/python3 "$here/drag_source_status.py" 20 20 copy,move "${items[@]}" 2>&1
    }
    source_pid=$source_PID
    pids+=("$source_pid")
}
said_by_source() {
    local line
    read -r -t 10 line <&"${source[0]}" || fail "the drag source did not say '$1'"
    [ "$line" = "$1" ] || fail "the drag source said '$line', not '$1'"
}
start_drag() {
    said_by_source READY
    xdotool mousemove 100 60 mousedown 1 mousemove 115 60
    said_by_source BEGIN
}
drag_to() {
    xdotool mousemove "$1" "$2"
    said_by_source "STATUS action=$3"
}
# Releases the button; the source must see the action named (copy, or none for a refusal).
drop_items() {
    xdotool mouseup 1
    said_by_source "END action=$1 deleted=no"
}

wine "$program" &
program_pid=$!
pids+=("$program_pid")
start_source
find_window() { window=$(xdotool search --onlyvisible --classname '^flagwash\.exe$' 2>/dev/null | head -1); [ -n "$window" ]; }
eventually find_window || fail "no Flagwash window appeared"
# The client's place on the screen (xdotool counts a manager's frame twice) and size.
geometry() {
    eval "$(xwininfo -id "$window" | awk '/Absolute upper-left X:/ { print "X=" $4 }
        /Absolute upper-left Y:/ { print "Y=" $4 } /Width:/ { print "WIDTH=" $2 }
        /Height:/ { print "HEIGHT=" $2 }')"
}
has_client_size() { geometry; [ "$WIDTH" = 392 ] && [ "$HEIGHT" = 344 ]; }
# The X window is the client area of the 400 x 371 frame; the manager draws a frame of its own.
eventually has_client_size || fail "window is ${WIDTH}x${HEIGHT}, not the 392x344 client area"
caption_is() { [ "$(xdotool getwindowname "$window")" = "$1" ]; }
caption_is "" || fail "caption after start-up is '$(xdotool getwindowname "$window")'"

xdotool windowsize "$window" 600 500
eventually has_client_size || fail "an outside resize was not undone: ${WIDTH}x${HEIGHT}"
geometry
left=$X top=$Y

# Painted once the teal band shows at the top of the client area.
band_painted() {
    local rgb
    rgb=$(import -window root -crop "1x1+$((left + 200))+$((top + 25))" -depth 8 txt:- | tail -1)
    [[ $rgb =~ \(([0-9]+),([0-9]+),([0-9]+) ]] || return 1
    ((BASH_REMATCH[1] < 100 && BASH_REMATCH[2] > 100 && BASH_REMATCH[3] > 100))
}
eventually band_painted || fail "the background picture was not painted"
import -window root "$screenshots/wine.png"

# Onto the drop zone over the cross sign.
start_drag
read -r x y < <(centre Image1)
drag_to $((left + x)) $((top + y)) copy
drop_items copy
eventually caption_is "4 File(s)/Folder(s) selected. Click RESET" ||
    fail "caption after the drop is '$(xdotool getwindowname "$window")'"

# RESET, then the report box, closed with Return.
read -r x y < <(centre imgStart)
xdotool mousemove $((left + x)) $((top + y)) click 1
# The box is another visible window of the program; tooltips are too, but far smaller.
find_box() {
    local candidate HEIGHT
    box=
    for candidate in $(xdotool search --onlyvisible --classname '^flagwash\.exe$' 2>/dev/null); do
        [ "$candidate" = "$window" ] && continue
        eval "$(xdotool getwindowgeometry --shell "$candidate" | grep HEIGHT)"
        if ((HEIGHT > 60)); then box=$candidate; return 0; fi
    done
    return 1
}
eventually find_box || fail "no report box appeared after RESET"
# Wine gives every regular file the archive flag, whatever is done to it, so the three files are
# truthfully reported as keeping it, each by the name the drop gave: the System32 file by its
# System32 path. The folder is done.
report=$(wine "$window_probe" report 2>/dev/null | tr -d '\r') || fail "the report box text cannot be read"
expected_report="Done resetting 1 files/folders

3 files/folders could not be reset:
Z:${work//\//\\}\\files\\report.doc (the disk kept these flags: archive)
Z:${work//\//\\}\\files\\notes ü.txt (the disk kept these flags: archive)
C:\\windows\\system32\\flagwash-e2e.txt (the disk kept these flags: archive)

Click OK to reset more files/folders"
[ "$report" = "$expected_report" ] || fail "the report reads:
$report
and not:
$expected_report"
xdotool windowfocus --sync "$box" key Return
box_gone() { ! xdotool search --onlyvisible --classname '^flagwash\.exe$' 2>/dev/null | grep -qx "$box"; }
eventually box_gone || fail "the report box did not close"
eventually caption_is "" || fail "caption after the reset is '$(xdotool getwindowname "$window")'"

for item in "${items[@]}"; do
    flags=$(getfattr --only-values -n user.DOSATTRIB "$item" 2>/dev/null || echo 0x0)
    (((flags & 0x7) == 0)) || fail "$item still has DOS attributes $flags"
    writable "$item" || fail "$item is still read-only"
done
[ "$(getfattr --only-values -n user.DOSATTRIB "$syswow64" 2>/dev/null)" = 0x6 ] ||
    fail "the SysWOW64 namesake of the dropped System32 file was changed"
! writable "$syswow64" || fail "the SysWOW64 namesake of the dropped System32 file lost read-only"
[ "$(cat "$system32")" = "in System32" ] && [ "$(cat "$syswow64")" = "in SysWOW64" ] ||
    fail "a file's contents changed"
rm -f "$system32" "$syswow64"

# Download page at start-up and at RESET, both minimized without activation (7).
page="http://$web_host/en/modules/mydownloads/singlefile.php?cid=2&lid=6"
launches=$(grep -cF "$page" "$work/probe.log" || true)
[ "$launches" = 2 ] || fail "expected 2 download-page launches, saw $launches"
if grep -vq "^7	" "$work/probe.log"; then fail "a page was not started minimized: $(cat "$work/probe.log")"; fi
if grep -q -- --from-the-32-bit-view "$work/probe.log"; then
    fail "the browser was read from the 32-bit view of the registry: $(cat "$work/probe.log")"
fi

read -r x y < <(centre imgExit)
xdotool mousemove $((left + x)) $((top + y)) click 1
exited() { ! kill -0 "$program_pid" 2>/dev/null; }
eventually exited || fail "EXIT did not end the program"

# At 200 %: Wine's density at 192 dpi, read by each program as it starts.
set_dpi 192
wine "$program" &
program_pid=$!
pids+=("$program_pid")
start_source
eventually find_window || fail "no Flagwash window appeared at 200 %"
frame() { wine "$window_probe" 2>/dev/null | tr -d '\r'; }
frame_is() { [ "$(frame)" = "$1" ]; }
# 6000 x 5565 twips at 192 dpi.
eventually frame_is 800x742 || fail "at 200 % the frame is '$(frame)', not 800x742"
geometry
left=$X top=$Y
eventually band_painted || fail "the background picture was not painted at 200 %"

# Image1's rectangle, 2340, 2160, 1050 x 1050 twips, at 192 dpi. The cross sign's dark lines
# show there while Image1 is hidden. A drag over the window shows Image1, which must hide them
# all; it takes the files over Image1, then refuses them over the background, away from the drag
# icon, and dropped there they are refused and Image1 stays.
image1="140x140+$((left + 312))+$((top + 288))"
dark_in_image1() {
    import -window root -crop "$image1" -depth 8 rgb:- | /usr/bin/python3 -c 'import sys
rgb = sys.stdin.buffer.read()
print(sum(max(rgb[i:i + 3]) < 20 for i in range(0, len(rgb), 3)))'
}
dark=$(dark_in_image1)
((dark > 0)) || fail "no cross sign under Image1's place at 200 %"
start_drag
drag_to $((left + 382)) $((top + 358)) copy
drag_to $((left + 150)) $((top + 640)) none
drop_items none
covered() { [ "$(dark_in_image1)" = 0 ]; }
eventually covered || fail "at 200 % Image1 leaves $(dark_in_image1) dark pixels of the cross sign"
import -window "$window" "$screenshots/wine-200.png"

xdotool mousemove $((left + 630)) $((top + 558)) click 1
eventually exited || fail "EXIT did not end the program at 200 %"
echo "PASS: window, resize, screenshot $screenshots/wine.png, XDND drop, reset, report box, exit;" \
    "at 200 %: frame, drop zone over the cross, screenshot $screenshots/wine-200.png"

#!/usr/bin/env bash
# Builds the Windows program and its tests with mingw-w64 and runs the tests under Wine.
#   tools/wine-tests.sh [ctest arguments...]      for example: tools/wine-tests.sh -R Registry -j2
# The window tests run on a private Xvfb that the script starts (so nothing appears on the
# developer's own screen). Exits with ctest's status.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
build="$root/build/windows"  # binaryDir of the windows-cross preset

fail() {
    echo "wine-tests: $*" >&2
    exit 1
}

for tool in cmake ninja x86_64-w64-mingw32-g++-posix wine wineserver wineboot Xvfb; do
    command -v "$tool" >/dev/null || fail "$tool not found (tools/install-deps.sh test installs it)"
done

echo "== Windows cross build"
cmake --preset windows-cross -DFLAGWASH_WERROR=ON
cmake --build --preset windows-cross --parallel "${FLAGWASH_JOBS:-2}"

# A private prefix in the build folder: nothing of the user's own Wine is touched, and test
# files and registry keys go away with the build.
export WINEPREFIX="$build/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all
# No .NET or Gecko installer prompts; no menu entries or file associations on the host.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

ready="$WINEPREFIX/.flagwash-prefix-ready"
if [ ! -f "$ready" ] && [ -e "$WINEPREFIX" ]; then
    # Left over from an interrupted set-up: start again from nothing.
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
fi
mkdir -p "$WINEPREFIX"  # the server needs the folder before wineboot fills it

# Wine makes real windows only on an X server: a private one, on a free display.
exec {displayPipe}<> <(:)
Xvfb -displayfd "$displayPipe" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
read -r -t 30 -u "$displayPipe" displayNumber || fail "Xvfb did not start"
export DISPLAY=":$displayNumber"

# One server for the whole run: without it every test process pays for a server start, and
# some runs hang. Both are stopped however the script ends.
trap 'wineserver -k >/dev/null 2>&1 || true; kill "$xvfb" 2>/dev/null || true' EXIT
wineserver -p

if [ ! -f "$ready" ]; then
    echo "== Creating the Wine prefix $WINEPREFIX"
    log="$build/wineboot.log"
    if ! wineboot -i >"$log" 2>&1; then
        cat "$log" >&2
        fail "wineboot -i could not set up the prefix"
    fi
    # Without a window manager Wine waits 2 s for every window of a managed program to go
    # away; the window tests make many. Flagwash.exe itself keeps the default.
    wine reg add 'HKCU\Software\Wine\AppDefaults\test_win32.exe\X11 Driver' /v Managed /d N /f \
        </dev/null >>"$log" 2>&1 || fail "cannot configure the prefix for the window tests"
    touch "$ready"
fi

# Wine's own background programs (services, device drivers, the desktop window, the COM
# server) start with the first program that needs them and inherit its output. Started by a
# test, they would hold ctest's output pipe open and ctest would wait for them until its
# timeout; started here, they write to /dev/null. Asking user32 for the desktop window starts
# them all.
wine rundll32.exe user32.dll,GetDesktopWindow </dev/null >/dev/null 2>&1 ||
    fail "Wine cannot start programs in $WINEPREFIX"

echo "== Tests under Wine"
status=0
ctest --preset windows-cross "$@" || status=$?
exit "$status"

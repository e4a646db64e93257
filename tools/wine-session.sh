# Sourced: starts a private Wine session for programs built in a build folder.
#   source tools/wine-session.sh; wine_session_start BUILD_DIR
# Exports WINEPREFIX (inside BUILD_DIR), the Wine settings and DISPLAY (a private Xvfb), keeps
# one wineserver up, and stops both when the calling script exits.

wine_session_fail() {
    echo "wine-session: $*" >&2
    exit 1
}

# The Wine packages installed, one "name:architecture version" a line.
wine_session_wine_packages() {
    dpkg-query -W -f='${db:Status-Abbrev} ${Package}:${Architecture} ${Version}\n' \
        'wine*' 'libwine*' 2>/dev/null | sed -n 's/^ii  *//p' | sort
}

# What a prefix is made by: the Wine packages, and whether their 32-bit half can run.
wine_session_made_by() {
    wine_session_wine_packages
    wine_session_runs_32bit || echo "64-bit loader only"
}

# Whether this machine runs 32-bit x86 programs: some kernels are built or booted without it
# (Linux's ia32_emulation=off), and then Wine's 32-bit half cannot start at all.
wine_session_runs_32bit() {
    [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

# Without 32-bit programs, `wine` and the tools that call it must use the 64-bit loader alone,
# which Debian's launcher only does when the 32-bit one is not installed: a folder of our own
# first on PATH says so.
wine_session_use_64bit_loader() {
    local build="$1" folder="$1/wine64-only" name
    mkdir -p "$folder"
    for name in wine wine-stable; do
        printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\nexec /usr/lib/wine/wine64 "$@"\n' \
            >"$folder/$name"
        chmod +x "$folder/$name"
    done
    export PATH="$folder:$PATH"
}

wine_session_start() {
    local build="$1"
    wine_session_runs_32bit || wine_session_use_64bit_loader "$build"
    for tool in wine wineserver wineboot Xvfb xdpyinfo; do
        command -v "$tool" >/dev/null ||
            wine_session_fail "$tool not found (tools/install-deps.sh test installs it)"
    done

    # A private prefix in the build folder: nothing of the user's own Wine is touched, and test
    # files and registry keys go away with the build.
    export WINEPREFIX="$build/wineprefix"
    export WINEARCH=win64
    export WINEDEBUG=-all
    # No .NET or Gecko installer prompts; no menu entries or file associations on the host.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

    # The prefix remembers the Wine it was made by. One made before Wine's 32-bit half was
    # installed cannot start a 32-bit program ("could not load kernel32.dll"), and one left by an
    # interrupted set-up is incomplete: either is made anew.
    local ready="$WINEPREFIX/.flagwash-prefix-ready" madeBy
    madeBy=$(wine_session_made_by)
    if [ -e "$WINEPREFIX" ] && [ "$(cat "$ready" 2>/dev/null)" != "$madeBy" ]; then
        wineserver -k >/dev/null 2>&1 || true
        rm -rf "$WINEPREFIX"
    fi
    mkdir -p "$WINEPREFIX"  # the server needs the folder before wineboot fills it

    # Wine makes real windows only on an X server: a private one. Its number is picked at
    # random rather than the lowest free one, which a server still shutting down elsewhere
    # could take back from it.
    local displayPipe displayNumber="" attempt
    exec {displayPipe}<> <(:)
    for attempt in $(seq 20); do
        local candidate=$((1000 + RANDOM % 29000))
        [ -e "/tmp/.X$candidate-lock" ] && continue
        Xvfb ":$candidate" -displayfd "$displayPipe" -screen 0 1280x1024x24 -nolisten tcp -noreset \
            >/dev/null 2>&1 &
        wineSessionXvfb=$!
        if read -r -t 10 -u "$displayPipe" displayNumber; then
            break
        fi
        kill "$wineSessionXvfb" 2>/dev/null || true
        displayNumber=""
    done
    [ -n "$displayNumber" ] || wine_session_fail "Xvfb did not start"
    export DISPLAY=":$displayNumber"
    local tries=0
    until xdpyinfo >/dev/null 2>&1; do
        tries=$((tries + 1))
        [ "$tries" -lt 200 ] || wine_session_fail "Xvfb does not answer on $DISPLAY"
        sleep 0.1
    done

    # One server for the whole run: without it every test process pays for a server start, and
    # some runs hang. Both are stopped however the script ends.
    trap 'wineserver -k >/dev/null 2>&1 || true; kill "$wineSessionXvfb" 2>/dev/null || true' EXIT

    if [ ! -f "$ready" ]; then
        echo "== Creating the Wine prefix $WINEPREFIX"
        local log="$build/wineboot.log"
        if ! wineboot -i >"$log" 2>&1; then
            cat "$log" >&2
            wine_session_fail "wineboot -i could not set up the prefix"
        fi
        # Without a window manager Wine waits 2 s for every window of a managed program to go
        # away; the window tests make many. Flagwash.exe itself keeps the default.
        wine reg add 'HKCU\Software\Wine\AppDefaults\test_win32.exe\X11 Driver' /v Managed /d N /f \
            </dev/null >>"$log" 2>&1 || wine_session_fail "cannot configure the prefix for the window tests"
        # wineboot returns before the programs it started have finished setting up; the server
        # ends once they have.
        wineserver -w
        printf '%s\n' "$madeBy" >"$ready"
    fi
    wineserver -p

    # Wine's own background programs (services, device drivers, the desktop window, the COM
    # server) start with the first program that needs them and inherit its output. Started by a
    # test, they would hold ctest's output pipe open and ctest would wait for them until its
    # timeout; started here, they write to /dev/null. Asking user32 for the desktop window starts
    # them all.
    wine rundll32.exe user32.dll,GetDesktopWindow </dev/null >/dev/null 2>&1 ||
        wine_session_fail "Wine cannot start programs in $WINEPREFIX"
}

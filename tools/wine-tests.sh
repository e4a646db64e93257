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

for tool in cmake ninja i686-w64-mingw32-g++-posix; do
    command -v "$tool" >/dev/null || fail "$tool not found (tools/install-deps.sh test installs it)"
done

echo "== Windows cross build"
# A build folder made with another toolchain (the 64-bit one of earlier versions) cannot be
# configured again with this one: start it anew.
if [ -f "$build/CMakeCache.txt" ] &&
    ! grep -q '^CMAKE_CXX_COMPILER_AR:FILEPATH=.*i686-w64-mingw32' "$build/CMakeCache.txt"; then
    echo "== $build was made with another toolchain; making it anew"
    rm -rf "$build"
fi
cmake --preset windows-cross -DFLAGWASH_WERROR=ON
cmake --build --preset windows-cross --parallel "${FLAGWASH_JOBS:-2}"

# shellcheck source=tools/wine-session.sh
source "$root/tools/wine-session.sh"
wine_session_start "$build"

echo "== Tests under Wine"
status=0
ctest --preset windows-cross "$@" || status=$?
exit "$status"

#!/usr/bin/env bash
# Builds the Windows program and its tests with mingw-w64 and runs the tests under Wine.
#   tools/wine-tests.sh [ctest arguments...]      for example: tools/wine-tests.sh -R Registry -j2
# The window tests run on a private Xvfb that the script starts (so nothing appears on the
# developer's own screen). Exits with ctest's status.
#
# Flagwash.exe is a 32-bit program and its tests run under Wine's WOW64. A kernel that runs no
# 32-bit programs (ia32_emulation off) cannot start Wine's 32-bit half at all: there the 32-bit
# program is built and checked as a file, and the same tests run on a 64-bit build of the same
# sources under Wine's 64-bit half. What only a 32-bit process can show (the file-system
# redirection, the two registry views) then reports a skip with its reason.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

fail() {
    echo "wine-tests: $*" >&2
    exit 1
}

# shellcheck source=tools/wine-session.sh
source "$root/tools/wine-session.sh"

# build PRESET TRIPLE: configures and builds one Windows build folder.
build() {
    local preset=$1 triple=$2 folder=$3
    for tool in cmake ninja "$triple-g++-posix"; do
        command -v "$tool" >/dev/null || fail "$tool not found (tools/install-deps.sh test installs it)"
    done
    # A build folder made with another toolchain cannot be configured again with this one: start
    # it anew.
    if [ -f "$folder/CMakeCache.txt" ] &&
        ! grep -q "^CMAKE_CXX_COMPILER_AR:FILEPATH=.*$triple" "$folder/CMakeCache.txt"; then
        echo "== $folder was made with another toolchain; making it anew"
        rm -rf "$folder"
    fi
    cmake --preset "$preset" -DFLAGWASH_WERROR=ON
    cmake --build --preset "$preset" --parallel "${FLAGWASH_JOBS:-2}"
}

echo "== Windows cross build (32-bit, the shipped program)"
build windows-cross i686-w64-mingw32 "$root/build/windows"
tests=windows-cross folder="$root/build/windows"
if ! wine_session_runs_32bit; then
    echo "== This kernel runs no 32-bit programs, so Wine's 32-bit half cannot start: the shipped"
    echo "   program is checked as a file, and the tests run on a 64-bit build of the same sources"
    ctest --test-dir "$root/build/windows/tests/win32/shipped" --output-on-failure
    echo "== Windows cross build (64-bit, for the tests)"
    build windows-cross-x64 x86_64-w64-mingw32 "$root/build/windows-x64"
    tests=windows-cross-x64 folder="$root/build/windows-x64"
fi

wine_session_start "$folder"

echo "== Tests under Wine"
status=0
ctest --preset "$tests" "$@" || status=$?
exit "$status"

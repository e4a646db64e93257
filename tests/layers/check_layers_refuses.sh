#!/usr/bin/env bash
# The layer check against small trees of its own: each climbing #include is refused with its
# file named, and the allowed ones pass.
#   check_layers_refuses.sh REPOSITORY
set -euo pipefail
repository=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# tree NAME FILE=INCLUDE...: a tree whose FILE includes INCLUDE.
tree() {
    local root="$scratch/$1" pair file included
    shift
    for pair in "$@"; do
        file=${pair%%=*} included=${pair#*=}
        mkdir -p "$root/$(dirname "$file")"
        printf '#include "%s"\n' "$included" >>"$root/$file"
    done
    echo "$root"
}
check() { cmake -DSOURCE_DIR="$1" -P "$repository/cmake/CheckLayers.cmake" 2>&1; }

failed=0
refused() {
    local label=$1 offender=$2 root output
    shift 2
    root=$(tree "$label" "$@")
    if output=$(check "$root"); then
        echo "FAIL: $label was let through"
        failed=1
    elif ! grep -qF "$offender" <<<"$output"; then
        echo "FAIL: $label refused without naming $offender: $output"
        failed=1
    fi
}
allowed() {
    local label=$1 root output
    shift
    root=$(tree "$label" "$@")
    if ! output=$(check "$root"); then
        echo "FAIL: $label was refused: $output"
        failed=1
    fi
}

refused "selection uses the window" selection/CommandLineFiles.cpp \
    selection/CommandLineFiles.cpp=app/frmFlagwash.h
refused "a platform file climbs to another folder's core" web/Launcher_windows.cpp \
    web/Launcher_windows.cpp=app/SystemDirectory.h
refused "the core uses a platform file" reset/ResetRun.cpp reset/ResetRun.cpp=reset/linux/PinnedObject.h
refused "the core uses a front end" app/frmFlagwash.cpp app/frmFlagwash.cpp=app/qt/QtView.h
refused "one front end uses the other" app/qt/Window.cpp app/qt/Window.cpp=app/win32/MainWindow.h
refused "a neighbour's name without a folder is still checked" reset/linux/Backend.cpp \
    reset/linux/Backend.cpp=../../app/Layout.h reset/linux/Backend.cpp=../Layout.h \
    reset/linux/Other.cpp=app/frmFlagwash.h
allowed "what each layer may use" app/frmFlagwash.cpp=reset/ResetRun.h \
    app/frmFlagwash.cpp=web/Launcher.h reset/ResetWords.cpp=text/HexDigit.h \
    reset/linux/PinnedObject.cpp=reset/AttributeReset.h reset/linux/X.cpp=platform/X11Connection_linux.h \
    app/qt/QtView.cpp=reset/ResetWords.h app/qt/QtView.cpp=app/frmFlagwash.h \
    web/Launcher_linux.cpp=web/CommandLine.h reset/AttributeReset_linux.cpp=reset/linux/PinnedObject.h

# And the repository itself.
if ! output=$(check "$repository"); then
    echo "FAIL: the repository climbs a layer: $output"
    failed=1
fi
[ "$failed" -eq 0 ] && echo "layer check: every climbing include refused"
exit "$failed"

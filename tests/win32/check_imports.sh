#!/bin/bash
# Flagwash.exe runs without installing anything: it may import only DLLs that every Windows
# from 7 on has, never a compiler runtime such as libstdc++-6.dll or libwinpthread-1.dll.
# Usage: check_imports.sh OBJDUMP EXE
set -euo pipefail
allowed='^(ADVAPI32|COMCTL32|COMDLG32|GDI32|KERNEL32|msvcrt|ole32|OLEACC|OLEAUT32|SHELL32|SHLWAPI|USER32|UxTheme|VERSION|WINDOWSCODECS)\.dll$'
dlls=$("$1" -p "$2" | sed -n 's/^\s*DLL Name: //p')
[ -n "$dlls" ] || { echo "FAIL: no imports found in $2"; exit 1; }
unexpected=$(grep -viE "$allowed" <<<"$dlls" || true)
[ -z "$unexpected" ] || { echo "FAIL: $2 needs $unexpected"; exit 1; }
echo "PASS: $2 imports only" $dlls

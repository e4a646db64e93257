#!/usr/bin/env bash
# Installs what is missing, builds the Linux and the Windows programs and runs every test:
# core, Linux platform (ext4, NTFS through FUSE, FAT and SMB inside user-mode Linux, exFAT and
# ntfs3 inside a qemu guest of Debian trixie's kernel, exFAT through FUSE), the Qt window on
# the offscreen platform, the real program under Xvfb, and the Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")"

tools/install-deps.sh test

echo "== Linux build"
cmake --preset linux -DFLAGWASH_WERROR=ON
cmake --build --preset linux -j"$(nproc)"

echo "== Linux tests"
ctest --preset linux -j"$(nproc)"

echo "== Windows build and tests under Wine"
tools/wine-tests.sh

echo "== All tests passed"

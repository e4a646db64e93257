#!/usr/bin/env bash
# Installs what is missing, builds the Linux and the Windows programs and runs every test:
# core, Linux platform (ext4, NTFS through FUSE, FAT and SMB inside user-mode Linux, exFAT and
# ntfs3 inside a qemu guest of Debian trixie's kernel, exFAT through FUSE), the Qt window on
# the offscreen platform, the real program under Xvfb, the same suites but the guest kernels'
# under AddressSanitizer and UBSan, each fuzz target for a while, and the Windows build under
# Wine. Every part runs even when an earlier one failed; the end names the parts that failed.
set -euo pipefail
cd "$(dirname "$0")"

tools/install-deps.sh test

linux() {
    echo "== Linux build"
    cmake --preset linux -DFLAGWASH_WERROR=ON && cmake --build --preset linux -j"$(nproc)" || return
    echo "== Linux tests"
    ctest --preset linux -j"$(nproc)"
}

sanitized() {
    echo "== Linux build and tests under AddressSanitizer and UndefinedBehaviorSanitizer"
    cmake --preset linux-asan -DFLAGWASH_WERROR=ON && cmake --build --preset linux-asan -j"$(nproc)" \
        && ctest --preset linux-asan -j"$(nproc)"
}

fuzzing() {
    echo "== Fuzzing, 20 s per target"
    tools/fuzz.sh 20
}

windows() {
    echo "== Windows build and tests under Wine"
    tools/wine-tests.sh
}

failed=()
for part in linux sanitized fuzzing windows; do
    "$part" || failed+=("$part")
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "== FAILED: ${failed[*]}"
    exit 1
fi
echo "== All tests passed"

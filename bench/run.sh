#!/usr/bin/env bash
# Runs every benchmark side by side with its baseline, prints the ratios, writes the table
# into bench/README.md and exits non-zero when a target is missed. Slow (several minutes);
# needs root for the immutable flags and the NTFS mount.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

tools/install-deps.sh test

echo "== Release build of the Linux benchmarks"
cmake --preset linux -B build/bench -DCMAKE_BUILD_TYPE=Release -DFLAGWASH_BUILD_TESTS=OFF >/dev/null
cmake --build build/bench -j"$(nproc)" --target flagwash reset_bench_linux bench_reusable_mount_id reset_e2e_bench_qt reset_bench_guest drop_bench_qt minimal_qt map_timer

tools/guest-kernel.sh build/bench/guest-kernel >/dev/null || echo "no guest kernel: the guest rows are left out"

echo "== Windows benchmark build"
cmake --preset windows-cross >/dev/null
cmake --build --preset windows-cross -j"$(nproc)" --target reset_bench_windows

exec /usr/bin/python3 bench/run_bench.py "$root"

#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang and runs each for a while, starting from its
# committed seeds and from what earlier runs found (build/linux-fuzz/corpus/). Any finding
# fails; the input that made it is kept in build/linux-fuzz/findings/<target>/.
#   tools/fuzz.sh [SECONDS] [TARGET...]     SECONDS per target (default 300); TARGET e.g. uri_list
# The NTFS target needs a real ntfs-3g volume: as root with /dev/fuse this mounts one for it,
# elsewhere that target reports a skip with its reason.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

seconds=${1:-300}
shift || true
[[ $seconds =~ ^[0-9]+$ ]] || { echo "usage: $0 [SECONDS] [TARGET...]" >&2; exit 2; }

tools/install-deps.sh fuzz
cmake --preset linux-fuzz -DFLAGWASH_WERROR=ON >/dev/null
cmake --build --preset linux-fuzz -j"$(nproc)"

build=build/linux-fuzz
if [ $# -gt 0 ]; then
    targets=("$@")
else
    mapfile -t targets < <(find fuzz -mindepth 2 -maxdepth 2 -name seeds -type d | cut -d/ -f2 | sort)
fi

work=$(mktemp -d /tmp/flagwash-fuzz-XXXXXX)
ntfs_mount=
cleanup() {
    if [ -n "$ntfs_mount" ]; then
        umount "$ntfs_mount" 2>/dev/null || umount -l "$ntfs_mount" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

if [ "$(id -u)" -eq 0 ] && [ -c /dev/fuse ] && command -v ntfs-3g >/dev/null; then
    truncate -s 64M "$work/ntfs.img"
    mkntfs -F -q -f "$work/ntfs.img" >/dev/null 2>&1
    mkdir "$work/ntfs"
    if ntfs-3g "$work/ntfs.img" "$work/ntfs"; then
        ntfs_mount="$work/ntfs"
        export FLAGWASH_FUZZ_NTFS="$ntfs_mount"
    fi
fi

failed=()
for target in "${targets[@]}"; do
    program="$build/fuzz/fuzz_$target"
    [ -x "$program" ] || { echo "no fuzz target $target" >&2; exit 2; }
    corpus="$build/corpus/$target"
    findings="$build/findings/$target"
    log="$build/logs/$target.log"
    mkdir -p "$corpus" "$findings" "$(dirname "$log")"
    echo "== fuzz_$target for $seconds s"
    # libFuzzer's own exit code for a finding is 77, which is the skip code here: 1 instead.
    status=0
    "$program" -max_total_time="$seconds" -error_exitcode=1 -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$findings/" \
        "$corpus" "fuzz/$target/seeds" >"$log" 2>&1 || status=$?
    if [ "$status" -eq 77 ]; then
        grep -m1 '^SKIPPED' "$log" || echo "SKIPPED: fuzz_$target (see $log)"
        continue
    fi
    if [ "$status" -ne 0 ] || ! grep -q '^Done [0-9]* runs in [0-9]* second(s)' "$log"; then
        echo "fuzz_$target FAILED (exit $status); the end of $log:"
        tail -n 40 "$log"
        failed+=("$target")
        continue
    fi
    grep '^Done [0-9]* runs in [0-9]* second(s)' "$log"
    grep -E '^stat::(number_of_executed_units|peak_rss_mb|new_units_added)' "$log" | tr '\n' ' '
    echo "corpus $(find "$corpus" -type f | wc -l) inputs"
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "Fuzzing found problems in: ${failed[*]} (inputs in $build/findings/)"
    exit 1
fi

#!/bin/bash
# FAT attributes reset for real: this machine's kernel has no vfat driver, so a FAT image built
# with mtools is mounted inside user-mode Linux, the static probe resets paths on it there, and
# mattrib reads every entry back from the host.
# Usage: fat_in_uml.sh PROBE LAUNCHER WORK_DIR (LAUNCHER: the uml-launcher built beside it)
# Exits 77 (with the reason on stdout) when user-mode Linux or its helpers cannot run here.
set -euo pipefail

readonly skipCode=77
probe=${1:?probe binary}
launcher=${2:?uml launcher}
work=${3:?work folder}

skip() {
    echo "SKIP: $*"
    exit "$skipCode"
}
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

command -v linux.uml >/dev/null || skip "linux.uml not found (package user-mode-linux)"
command -v mkfs.fat >/dev/null || skip "mkfs.fat not found (package dosfstools)"
command -v iconv >/dev/null || skip "iconv not found (package libc-bin)"
for tool in mcopy mmd mattrib; do
    command -v "$tool" >/dev/null || skip "$tool not found (package mtools)"
done
busybox=$(command -v busybox || true)
[[ -n $busybox ]] && ! ldd "$busybox" >/dev/null 2>&1 ||
    skip "no static busybox (package busybox-static)"
modules=$(find /usr/lib/uml/modules -mindepth 1 -maxdepth 1 -type d 2>/dev/null | sort -V | tail -n 1)
[[ -n $modules ]] || skip "no user-mode Linux modules under /usr/lib/uml/modules"
moduleFiles=()
for module in fat/fat fat/vfat nls/nls_cp437 nls/nls_iso8859-1; do
    file=$modules/kernel/fs/$module.ko
    [[ -r $file ]] || skip "missing module $file"
    moduleFiles+=("$file")
done
[[ -x $probe ]] || skip "probe $probe not built"
[[ -x $launcher ]] || skip "launcher $launcher not built"

# One row per entry: name on the host (UTF-8) | file or folder | mattrib changes |
# what the probe does (reset, remove-then-reset, none) | expected outcome |
# attribute letters mattrib shows afterwards ("gone" when the entry must not exist).
cases=(
    "file-r|file|+r|reset|Done|"
    "file-h|file|+h|reset|Done|"
    "file-s|file|+s|reset|Done|"
    "file-a|file|+a|reset|Done|"
    "file-rhsa|file|+r +h +s +a|reset|Done|"
    "file-normal|file|-a|reset|Done|"
    "folder-r|folder|+r|reset|Done|"
    "folder-h|folder|+h|reset|Done|"
    "folder-s|folder|+s|reset|Done|"
    "folder-a|folder|+a|reset|Done|"
    "folder-rhsa|folder|+r +h +s +a|reset|Done|"
    "folder-normal|folder||reset|Done|"
    "read-only-folder|folder|+r +h|reset|Done|"
    "café-latin1|file|+h +s|reset|Done|"
    "gone|file|+h|remove-then-reset|Missing|gone"
    "gone-folder|folder|+h +s|remove-then-reset|Missing|gone"
    "parent|folder|+h +s|reset|Done|"
    "parent/child|file|+h +r|none||AHR"
    "parent/subfolder|folder|+s|none||S"
    "last-after-gone|file|+h|reset|Done|"
)

rm -rf "$work"
mkdir -p "$work/root/bin" "$work/root/modules" "$work/root/mnt" "$work/root/proc" \
    "$work/root/dev" "$work/uml"
image=$work/fat.img
truncate -s 16M "$image"
mkfs.fat -F 16 "$image" >/dev/null
echo "contents" >"$work/payload"

# The guest mounts with iocharset=iso8859-1: "é" there is the single byte 0xE9, a name that
# is not UTF-8 on the Linux side.
guestName() {
    printf '%s' "$1" | iconv -f UTF-8 -t ISO-8859-1
}

export LC_ALL=C.UTF-8
plan=$work/root/plan
: >"$plan"
for row in "${cases[@]}"; do
    IFS='|' read -r name kind changes action _ _ <<<"$row"
    if [[ $kind == folder ]]; then
        mmd -i "$image" "::$name"
    else
        mcopy -i "$image" "$work/payload" "::$name"
    fi
    if [[ -n $changes ]]; then
        # shellcheck disable=SC2086
        mattrib -i "$image" $changes "::$name"
    fi
    case $action in
    remove-then-reset) printf 'remove /mnt/%s\n' "$(guestName "$name")" >>"$plan" ;;
    esac
done
for row in "${cases[@]}"; do
    IFS='|' read -r name _ _ action _ _ <<<"$row"
    [[ $action == none ]] || printf 'reset /mnt/%s\n' "$(guestName "$name")" >>"$plan"
done

cp "$busybox" "$work/root/bin/busybox"
cp "${moduleFiles[@]}" "$work/root/modules/"
cp "$probe" "$work/root/probe"
cat >"$work/root/init" <<'INIT'
#!/bin/busybox sh
/bin/busybox mount -t proc proc /proc
[ -e /dev/ubda ] || /bin/busybox mount -t devtmpfs devtmpfs /dev
for module in fat vfat nls_cp437 nls_iso8859-1; do
    /bin/busybox insmod /modules/$module.ko 2>/dev/null
done
if /bin/busybox mount -t vfat -o iocharset=iso8859-1,codepage=437 /dev/ubda /mnt; then
    /probe /plan /results
    echo $? >/probe-status
    /bin/busybox umount /mnt
else
    echo "mount failed" >/probe-status
fi
/bin/busybox sync
/bin/busybox poweroff -f
INIT
chmod +x "$work/root/init"

# The launcher keeps user-mode Linux off the XSAVE ptrace path, so the guest's FPU state is
# saved as plain FP/SSE registers; the guest's glibc is therefore told to stay off AVX.
# (Kernel parameters of the form NAME=VALUE become init's environment.)
TMPDIR=$work/uml "$launcher" linux.uml mem=128M uml_dir="$work/uml" root=/dev/root \
    rootfstype=hostfs rootflags="$work/root" rw ubd0="$image" init=/init \
    GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX512F,-AVX512VL,-AVX512BW,-AVX2,-AVX \
    con=null con0=null,fd:1 >"$work/console.log" 2>&1 </dev/null || true

if [[ ! -f $work/root/probe-status ]]; then
    tail -n 20 "$work/console.log"
    skip "user-mode Linux did not run the probe (console in $work/console.log)"
fi
status=$(cat "$work/root/probe-status")
[[ $status == 0 ]] || {
    tail -n 20 "$work/console.log"
    echo "FAIL: the probe inside user-mode Linux ended with: $status"
    exit 1
}

failures=0
mapfile -t results <"$work/root/results"
index=0
for row in "${cases[@]}"; do
    IFS='|' read -r name kind _ action outcome after <<<"$row"
    if [[ $action != none ]]; then
        # Split by hand: read would merge the empty reason's two tabs.
        line=${results[index]:-}
        gotStatus=${line%%$'\t'*}
        line=${line#*$'\t'}
        gotReason=${line%%$'\t'*}
        gotPath=${line#*$'\t'}
        index=$((index + 1))
        [[ $gotPath == "/mnt/$(guestName "$name")" ]] || fail "$name: result for '$gotPath'"
        [[ $gotStatus == "$outcome" ]] || fail "$name: outcome $gotStatus ($gotReason), expected $outcome"
    fi
    if [[ $after == gone ]]; then
        mattrib -i "$image" "::$name" >/dev/null 2>&1 && fail "$name: still exists"
        continue
    fi
    listing=$(mattrib -i "$image" "::$name") || {
        fail "$name: mattrib cannot read it"
        continue
    }
    letters=$(printf '%s' "${listing%%::*}" | tr -cd 'RHSA' | fold -w1 | sort | tr -d '\n')
    [[ $letters == "$after" ]] || fail "$name: attributes '$letters', expected '$after'"
done
((index == ${#results[@]})) || fail "the probe reported ${#results[@]} results, expected $index"

if ((failures > 0)); then
    echo "$failures failed"
    exit 1
fi
echo "FAT in user-mode Linux: ${#cases[@]} entries as expected"

#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages that building and running (run), testing (test) or
# fuzzing (fuzz) needs.
# Installs only what is missing; safe to run again.
set -euo pipefail

build_packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev libxcb1-dev
)
run_packages=(xdg-utils)
# libFuzzer and the sanitizers' run time come with Debian's clang; the NTFS target fuzzes
# against ntfs-3g.
fuzz_packages=(clang-14 libclang-rt-14-dev ntfs-3g fuse3)
test_packages=(
    googletest libgtest-dev
    g++-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-tools
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    wine wine64 wine32:i386
    xvfb xauth xdotool x11-utils imagemagick
    openbox xfwm4 dbus wmctrl weston xwayland qt6-wayland
    python3-pil python3-fonttools python3-gi gir1.2-gtk-3.0 python3-xlib python3-llfuse
    attr e2fsprogs ntfs-3g fuse3 user-mode-linux busybox-static dosfstools mtools
    qemu-system-x86 exfatprogs exfat-fuse samba smbclient debian-archive-keyring xz-utils
    fonts-dejavu-core
    dpkg-dev desktop-file-utils appstream lintian strace clang-format file
    "${fuzz_packages[@]}"
)

case "${1:-}" in
    run) wanted=("${build_packages[@]}" "${run_packages[@]}") ;;
    test) wanted=("${build_packages[@]}" "${test_packages[@]}") ;;
    fuzz) wanted=("${build_packages[@]}" "${fuzz_packages[@]}") ;;
    *) echo "usage: $0 run|test|fuzz" >&2; exit 2 ;;
esac

# Flagwash.exe is a 32-bit program: Wine runs it through its 32-bit half, which Debian ships
# for the i386 architecture only.
needs_i386=no
for package in "${wanted[@]}"; do
    [[ $package == *:i386 ]] && needs_i386=yes
done

missing=()
for package in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
if [ "$needs_i386" = yes ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo[@]}" dpkg --add-architecture i386
fi
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q -o DPkg::Lock::Timeout=900 "${missing[@]}"

#!/usr/bin/env bash
# Fetches the kernel the guests boot: Debian's cloud kernel (the versioned package that
# linux-image-cloud-amd64 depends on), trixie's unless --suite names another (bookworm: Debian
# 12's own 6.1), through an APT configuration of its own so that the machine's sources, lists
# and cache stay exactly as they are. Give each suite a cache folder of its own.
#   tools/guest-kernel.sh [--suite SUITE] CACHE_DIR [MODULE...]
#                                                   (default modules: virtio_blk exfat ntfs3)
# Leaves CACHE_DIR/vmlinuz, CACHE_DIR/modules/NAME.ko (unpacked, dependencies included) and
# CACHE_DIR/modules.order (one name a line, in load order); a second run with the same
# modules reuses them. Exits 77 with the reason on stderr when Debian's archive cannot be
# reached or has no such kernel, 1 on any other failure.
set -euo pipefail

usage="usage: guest-kernel.sh [--suite SUITE] CACHE_DIR [MODULE...]"
suite=trixie
if [[ ${1:-} == --suite ]]; then
    suite=${2:?$usage}
    shift 2
fi
readonly suite meta=linux-image-cloud-amd64
cache=${1:?$usage}
shift
modules=("$@")
((${#modules[@]})) || modules=(virtio_blk exfat ntfs3)
readonly keyring=/usr/share/keyrings/debian-archive-keyring.gpg

unreachable() {
    echo "guest kernel: $*" >&2
    exit 77
}
fail() {
    echo "guest kernel: $*" >&2
    exit 1
}

mkdir -p "$cache"
cache=$(cd "$cache" && pwd)
# Two harnesses may start at once; the second waits and then finds the cache filled.
exec 9>"$cache/.lock"
flock 9

stamp="$cache/ready"
wanted="$suite ${modules[*]}"
if [[ -f $stamp && $(cat "$stamp") == "$wanted" && -f $cache/vmlinuz ]]; then
    exit 0
fi
rm -f "$stamp"

for tool in apt-get apt-cache dpkg-deb xz flock; do
    command -v "$tool" >/dev/null || fail "$tool not found"
done
[[ -r $keyring ]] || fail "$keyring missing (package debian-archive-keyring)"

# The machine's own Debian mirror: the URIs of the entry that carries bookworm (deb822), or of
# a one-line sources.list entry; deb.debian.org where neither names one.
mirror() {
    local file uri
    for file in /etc/apt/sources.list.d/*.sources; do
        [[ -r $file ]] || continue
        uri=$(awk 'BEGIN { RS = "" }
                   {
                       suites = ""; uris = ""
                       n = split($0, lines, "\n")
                       for (i = 1; i <= n; i++) {
                           if (lines[i] ~ /^Suites:/) suites = lines[i]
                           if (lines[i] ~ /^URIs:/) uris = lines[i]
                       }
                       if (suites ~ /[ \t]bookworm([ \t]|$)/ && uris != "") {
                           split(uris, field, /[ \t]+/); print field[2]; exit
                       }
                   }' "$file")
        [[ -n $uri ]] && { echo "$uri"; return; }
    done
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [[ -r $file ]] || continue
        uri=$(awk '$1 == "deb" && / bookworm / {
                       for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+:\/\//) { print $i; exit }
                   }' "$file")
        [[ -n $uri ]] && { echo "$uri"; return; }
    done
    echo "http://deb.debian.org/debian"
}

apt=$cache/apt
rm -rf "$apt"
mkdir -p "$apt/parts" "$apt/preferences.d" "$apt/lists/partial" "$apt/cache/archives/partial"
uri=$(mirror)
echo "deb [signed-by=$keyring] $uri $suite main" >"$apt/sources.list"
cat >"$apt/apt.conf" <<EOF
Dir::Etc::sourcelist "$apt/sources.list";
Dir::Etc::sourceparts "$apt/parts";
Dir::Etc::preferences "$apt/preferences";
Dir::Etc::preferencesparts "$apt/preferences.d";
Dir::State::Lists "$apt/lists";
Dir::Cache "$apt/cache";
APT::Architectures { "amd64"; };
Acquire::Languages "none";
APT::Sandbox::User "root";
EOF
export APT_CONFIG=$apt/apt.conf

apt-get update -qq -o APT::Update::Error-Mode=any >"$apt/update.log" 2>&1 ||
    unreachable "cannot read $suite from $uri: $(grep -m1 -E '^(E|W):' "$apt/update.log" || tail -n1 "$apt/update.log")"
package=$(apt-cache depends "$meta" 2>/dev/null | awk '/Depends: linux-image-[0-9]/ { print $2; exit }')
[[ -n $package ]] || unreachable "$meta of $suite names no kernel package at $uri"

download=$cache/download
rm -rf "$download"
mkdir -p "$download"
(cd "$download" && apt-get download -qq "$package" >"$apt/download.log" 2>&1) ||
    unreachable "cannot download $package from $uri: $(tail -n1 "$apt/download.log")"
dpkg-deb -x "$download"/*.deb "$download/tree"

tree=$download/tree
release=$(ls "$tree/usr/lib/modules" 2>/dev/null || ls "$tree/lib/modules")
moduleTree=$tree/usr/lib/modules/$release
[[ -d $moduleTree ]] || moduleTree=$tree/lib/modules/$release
kernel=$(find "$tree/boot" -name 'vmlinuz-*' | head -n1)
[[ -n $kernel && -d $moduleTree ]] || fail "$package holds no kernel and modules"

rm -rf "$cache/modules" "$cache/modules.order"
mkdir -p "$cache/modules"
# Each module after the ones it depends on (the package has no modules.dep: depmod makes it
# on installation, so the names come from each module's own modinfo section).
declare -A loaded=()
addModule() {
    local name=$1 file depends dependency
    [[ -n ${loaded[$name]:-} ]] && return
    file=$(find "$moduleTree/kernel" \( -name "$name.ko.xz" -o -name "$name.ko" \
        -o -name "${name//_/-}.ko.xz" -o -name "${name//-/_}.ko.xz" \) | head -n1)
    if [[ -z $file ]]; then
        # Built into this kernel: nothing to load.
        grep -qE "/${name//[-_]/[-_]}\.ko\$" "$moduleTree/modules.builtin" 2>/dev/null ||
            fail "module $name is neither in $package nor built into it"
        loaded[$name]=builtin
        return
    fi
    loaded[$name]=pending
    case $file in
    *.xz) xz -dc "$file" >"$cache/modules/$name.ko" ;;
    *) cp "$file" "$cache/modules/$name.ko" ;;
    esac
    depends=$(tr '\0' '\n' <"$cache/modules/$name.ko" | sed -n 's/^depends=//p' | head -n1)
    for dependency in ${depends//,/ }; do
        addModule "$dependency"
    done
    echo "$name" >>"$cache/modules.order"
    loaded[$name]=yes
}
for module in "${modules[@]}"; do
    addModule "$module"
done
cp "$kernel" "$cache/vmlinuz"
echo "$package $release" >"$cache/kernel"
rm -rf "$download"
echo "$wanted" >"$stamp"

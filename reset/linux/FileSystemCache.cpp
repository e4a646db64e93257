#include "reset/linux/FileSystemCache.h"

#include "reset/linux/PinnedObject.h"

#include <linux/magic.h>
#include <optional>
#include <sys/vfs.h>

namespace linuxreset {

namespace {

// Not all in <linux/magic.h> of every kernel.
constexpr unsigned long fuseMagic = 0x65735546;
constexpr unsigned long exfatMagic = 0x2011bab0;
constexpr unsigned long ntfs3Magic = 0x7366746e;  // "ntfs"
constexpr unsigned long ntfsMagic = 0x5346544e;   // "NTFS": the old driver and the new one (7.1)
constexpr unsigned long smb2Magic = 0xfe534d42;
constexpr unsigned long cifsMagic = 0xff534d42;
constexpr std::uint32_t ntfs3FolderBit = 0x10000000;

std::optional<DeviceInfo> probe(int fd)
{
    DeviceInfo info;
    struct statfs fs = {};
    if (::fstatfs(fd, &fs) != 0)
        return std::nullopt;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case MSDOS_SUPER_MAGIC:
    case exfatMagic:
        info.kind = static_cast<unsigned long>(fs.f_type) == exfatMagic ? FileSystemKind::Exfat
                                                                        : FileSystemKind::Fat;
        // FAT and exFAT know neither inode flags nor extended attributes.
        info.noInodeFlags = true;
        info.noUserXattrs = true;
        break;
    case fuseMagic:
        info.kind = FileSystemKind::Fuse;
        break;
    case ntfs3Magic:
        info.kind = FileSystemKind::NtfsKernel;
        info.driversFolderBits = ntfs3FolderBit;
        break;
    case ntfsMagic:
        info.kind = FileSystemKind::NtfsKernel;
        break;
    case smb2Magic:
    case cifsMagic:
        info.kind = static_cast<unsigned long>(fs.f_type) == smb2Magic ? FileSystemKind::Smb
                                                                       : FileSystemKind::SmbOne;
        // The share's word is the attributes; Samba keeps its user.DOSATTRIB to itself.
        info.noUserXattrs = true;
        break;
    case EXT4_SUPER_MAGIC:
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case TMPFS_MAGIC:
    case F2FS_SUPER_MAGIC:
        info.keepsXattrsAsWritten = true;
        break;
    default:
        break;
    }
    return info;
}

}  // namespace

DeviceInfo& FileSystemCache::lookup(const PinnedObject& object)
{
    const auto key = std::make_pair(object.device(), object.mountId());
    const auto found = devices_.find(key);
    if (found != devices_.end())
        return found->second;
    const std::optional<DeviceInfo> info = probe(object.pathDescriptor());
    if (!info) {
        // Not remembered: the probe failed for this object, not for its mount. Every backend
        // probes.
        uncached_ = DeviceInfo{};
        return uncached_;
    }
    return devices_.emplace(key, *info).first->second;
}

}  // namespace linuxreset

#include "reset/linux/FileSystemCache.h"

#include "reset/linux/PinnedObject.h"

#include <linux/magic.h>
#include <optional>
#include <sys/vfs.h>

namespace linuxreset {

namespace {

constexpr unsigned long fuseMagic = 0x65735546;  // not in <linux/magic.h>
constexpr unsigned long ntfsMagic = 0x5346544e;  // "NTFS", shared by ntfs3 and the old driver

std::optional<DeviceInfo> probe(int fd)
{
    DeviceInfo info;
    struct statfs fs = {};
    if (::fstatfs(fd, &fs) != 0)
        return std::nullopt;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case MSDOS_SUPER_MAGIC:
        info.kind = FileSystemKind::Fat;
        // FAT knows neither inode flags nor extended attributes.
        info.noInodeFlags = true;
        info.noUserXattrs = true;
        break;
    case fuseMagic:
        info.kind = FileSystemKind::Fuse;
        break;
    case ntfsMagic:
        info.kind = FileSystemKind::Ntfs;
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

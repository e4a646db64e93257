#include "reset/linux/FileSystemCache.h"

#include <linux/magic.h>
#include <optional>
#include <sys/vfs.h>

namespace linuxreset {

namespace {

constexpr unsigned long fuseMagic = 0x65735546;  // not in <linux/magic.h>
constexpr unsigned long ntfsMagic = 0x5346544e;  // "NTFS", shared by ntfs3 and the old driver

std::optional<DeviceInfo> probe(const char* path)
{
    DeviceInfo info;
    struct statfs fs = {};
    if (::statfs(path, &fs) != 0)
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
    default:
        break;
    }
    return info;
}

}  // namespace

DeviceInfo& FileSystemCache::lookup(dev_t device, std::uint64_t mountId, const char* path)
{
    const auto key = std::make_pair(device, mountId);
    const auto found = devices_.find(key);
    if (found != devices_.end())
        return found->second;
    const std::optional<DeviceInfo> info = probe(path);
    if (!info) {
        // Not remembered: the path may have gone, the device has not. Every backend probes.
        uncached_ = DeviceInfo{};
        return uncached_;
    }
    return devices_.emplace(key, *info).first->second;
}

}  // namespace linuxreset

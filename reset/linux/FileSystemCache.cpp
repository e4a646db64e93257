#include "reset/linux/FileSystemCache.h"

#include "reset/linux/PinnedObject.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <poll.h>
#include <sys/vfs.h>
#include <unistd.h>

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

DeviceInfo probe(const struct statfs& fs)
{
    DeviceInfo info;
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

MountTableWatch::~MountTableWatch()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool MountTableWatch::changed()
{
    if (!opened_) {
        // The kernel notes the table as seen at the open: the first poll tells only later changes.
        fd_ = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
        opened_ = true;
        return false;
    }
    if (fd_ < 0)
        return false;
    pollfd watched{fd_, POLLPRI, 0};
    return ::poll(&watched, 1, 0) > 0 && (watched.revents & POLLPRI) != 0;
}

DeviceInfo& FileSystemCache::lookup(const PinnedObject& object)
{
    const bool lasting = object.mountIdUnique();
    // Asked once the object is pinned: a mount or unmount before the pin, or since the last
    // lookup, shows here either way, so no entry outlives the mount it was made for.
    if (!lasting && mounts_.changed())
        devices_.clear();
    const auto key = std::make_pair(object.device(), object.mountId());
    const auto found = devices_.find(key);
    if (found != devices_.end())
        return found->second;
    struct statfs fs = {};
    if (::fstatfs(object.pathDescriptor(), &fs) != 0) {
        // Not remembered: the probe failed for this object, not for its mount. Every backend
        // probes.
        uncached_ = DeviceInfo{};
        return uncached_;
    }
    if (!lasting && !mounts_.watching()) {
        // Nothing would tell this mount from the next one under its id.
        uncached_ = probe(fs);
        return uncached_;
    }
    return devices_.emplace(key, probe(fs)).first->second;
}

}  // namespace linuxreset

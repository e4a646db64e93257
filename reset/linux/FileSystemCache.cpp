#include "reset/linux/FileSystemCache.h"

#include "reset/linux/PinnedObject.h"

#include <linux/magic.h>
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

bool sameFileSystem(const struct statfs& a, const struct statfs& b)
{
    return a.f_type == b.f_type && a.f_fsid.__val[0] == b.f_fsid.__val[0]
            && a.f_fsid.__val[1] == b.f_fsid.__val[1] && a.f_bsize == b.f_bsize
            && a.f_frsize == b.f_frsize && a.f_blocks == b.f_blocks && a.f_files == b.f_files
            && a.f_namelen == b.f_namelen;
}

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

DeviceInfo& FileSystemCache::lookup(const PinnedObject& object)
{
    const auto key = std::make_pair(object.device(), object.mountId());
    const auto found = devices_.find(key);
    if (found != devices_.end() && object.mountIdUnique())
        return found->second.info;
    struct statfs fs = {};
    if (::fstatfs(object.pathDescriptor(), &fs) != 0) {
        // Not remembered: the probe failed for this object, not for its mount. Every backend
        // probes.
        uncached_ = DeviceInfo{};
        return uncached_;
    }
    if (found != devices_.end()) {
        if (sameFileSystem(found->second.fileSystem, fs))
            return found->second.info;
        // Another file system under a mount id the last one left: what was learnt of that
        // one says nothing of this one.
        found->second = Entry{probe(fs), fs};
        return found->second.info;
    }
    return devices_.emplace(key, Entry{probe(fs), fs}).first->second.info;
}

}  // namespace linuxreset

#pragma once
#include <cstdint>
#include <map>
#include <sys/types.h>
#include <utility>

namespace linuxreset {

class PinnedObject;

enum class FileSystemKind {
    Other,  // ext4, tmpfs, xfs, btrfs, ...: inode flags and user xattrs
    Fat,    // vfat, msdos: the FAT attribute ioctls
    Fuse,   // may be ntfs-3g; only the xattr itself tells
    Ntfs,   // the kernel's ntfs3 (or the old ntfs) driver
};

// What one device is, and what its backends have shown it cannot do, so that a drop of many
// paths pays for a statfs and a failed probe once per device rather than once per path.
struct DeviceInfo
{
    FileSystemKind kind = FileSystemKind::Other;
    bool noInodeFlags = false;
    bool noNtfsAttributes = false;
    bool noUserXattrs = false;
    // One of the kernel's own local file systems (ext4, xfs, btrfs, tmpfs, f2fs), which keep
    // an xattr's bytes exactly as given once the write returns 0. Elsewhere (FUSE, network
    // file systems) only reading the value back shows what was kept.
    bool keepsXattrsAsWritten = false;
};

// Keyed by device and mount: a stick pulled and another plugged in may get the same device
// number with another file system, but not the same mount. The kind is read from the pinned
// object itself (fstatfs of its descriptor), so it is the kind of the mount it is keyed by.
class FileSystemCache
{
public:
    DeviceInfo& lookup(const PinnedObject& object);

private:
    std::map<std::pair<dev_t, std::uint64_t>, DeviceInfo> devices_;
    DeviceInfo uncached_;
};

}  // namespace linuxreset

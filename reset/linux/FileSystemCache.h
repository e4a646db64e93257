#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <sys/types.h>
#include <utility>

namespace linuxreset {

class PinnedObject;

enum class FileSystemKind {
    Other,       // ext4, xfs, btrfs, tmpfs, ...: inode flags and user xattrs
    Fat,         // vfat, msdos: the FAT attribute ioctls
    Exfat,       // the kernel's exfat driver: the same ioctls, since Linux 6.7
    NtfsKernel,  // the kernel's ntfs3 and ntfs drivers: the NTFS attribute word
    Fuse,        // may be ntfs-3g (the NTFS word answers) or anything else
    Smb,         // a share through the cifs client, SMB2 or 3: its attribute word
    SmbOne,      // the same over SMB1, which does not show the attributes it keeps
};

// What one mount is, and what its backends have shown it cannot do, so that a drop of many
// paths pays for a statfs and a failed probe once per mount rather than once per path.
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
    // Bits of the NTFS word the driver shows of its own on folders (ntfs3: 0x10000000); they
    // are never written back.
    std::uint32_t driversFolderBits = 0;
    // For a FUSE mount, what it is ("exfat", "disk", "gvfs", "mtp" or its program); read once.
    std::string fuseWhat;
    bool fuseWhatKnown = false;
    // For a share: whether its mode bits are the share's own permissions (cifsacl, modefromsid)
    // rather than a picture of its read-only flag. Read once.
    bool shareModesAreReal = false;
    bool shareModesKnown = false;
};

// Tells whether the process's table of mounts changed since it was last asked: one poll(2) of
// /proc/self/mountinfo, which the kernel marks at every mount and unmount.
class MountTableWatch
{
public:
    MountTableWatch() = default;
    ~MountTableWatch();
    MountTableWatch(const MountTableWatch&) = delete;
    MountTableWatch& operator=(const MountTableWatch&) = delete;

    // False the first time (there was nothing to compare with) and wherever /proc cannot say.
    bool changed();
    // Whether the watch can see changes at all.
    bool watching() const { return fd_ >= 0; }

private:
    int fd_ = -1;
    bool opened_ = false;
};

// Keyed by device and mount: a stick pulled and another plugged in may get the same device
// number with another file system. Where the kernel gives a mount id that is never reused
// (6.8+), that key alone names one mount. Before, a new mount takes the id of one that is gone
// (Debian 12's 6.1 gives a stick swapped on the same loop device the same device and id), so
// those entries last only until the table of mounts changes; where that cannot be watched,
// nothing is remembered. The kind is read from the pinned object itself, so it is the kind of
// the mount it is keyed by.
class FileSystemCache
{
public:
    DeviceInfo& lookup(const PinnedObject& object);

private:
    std::map<std::pair<dev_t, std::uint64_t>, DeviceInfo> devices_;
    DeviceInfo uncached_;
    MountTableWatch mounts_;
};

}  // namespace linuxreset

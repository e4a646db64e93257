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

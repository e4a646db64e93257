#pragma once
#include <string>

namespace linuxreset {

// A mount as /proc/self/mountinfo describes it.
struct MountEntry
{
    std::string type;          // "ext4", "fuseblk", "fuse.gvfsd-fuse", "cifs"
    std::string source;        // "/dev/sdb1", "//server/share"
    std::string superOptions;  // "rw,vers=3.1.1,cifsacl,..."

    bool hasOption(const std::string& name) const;
};

// The mount a descriptor is on; empty fields when /proc does not say.
MountEntry mountOf(int fd);

// What a FUSE mount is, for telling the user why nothing there can change: "exfat" (an exFAT
// disk through exfat-fuse), "disk" (another disk through FUSE), "gvfs", "mtp", the FUSE
// program's own name, or "" when the mount does not say.
std::string describeFuseMount(const MountEntry& mount);

}  // namespace linuxreset

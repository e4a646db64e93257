#pragma once
#include "reset/linux/FileSystemCache.h"
#include "reset/linux/PinnedObject.h"
#include "reset/linux/StepResult.h"

#include <cstdint>
#include <string_view>

namespace linuxreset {

// The NTFS attribute word as ntfs-3g and the kernel's ntfs3 and ntfs drivers show it: the
// 4-byte little-endian xattr system.ntfs_attrib (never system.dos_attrib, whose one byte would
// replace the whole word on ntfs3). What Windows clears goes; compressed, encrypted, sparse,
// reparse point, directory and the driver's own bits stay.
class NtfsAttributes
{
public:
    static StepResult clear(PinnedObject& target, DeviceInfo& device);

    // Whether a regular file is one of the special files ntfs-3g stores in Interix form: a
    // system-flagged file that is empty (FIFO) or one byte long (socket) and not hidden, or
    // that starts with an Interix link header and has a target, or is exactly an Interix
    // device record. `header` holds its first bytes.
    static bool isInterixSpecial(std::uint32_t attributes, std::uint64_t size,
                                 std::string_view header);
};

}  // namespace linuxreset

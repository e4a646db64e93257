#pragma once
#include "reset/linux/FileSystemCache.h"
#include "reset/linux/PinnedObject.h"
#include "reset/linux/StepResult.h"

namespace linuxreset {

// The attribute byte of a FAT or exFAT directory entry, through the drivers' ioctls (vfat,
// msdos, and exfat since Linux 6.7), written only when it changes and read back.
class FatAttributes
{
public:
    static StepResult clear(PinnedObject& target, DeviceInfo& device);
};

}  // namespace linuxreset

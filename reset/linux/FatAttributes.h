#pragma once
#include "reset/linux/FileSystemCache.h"
#include "reset/linux/PinnedObject.h"
#include "reset/linux/StepResult.h"

namespace linuxreset {

// The attribute byte of a FAT directory entry (vfat, msdos), through the driver's ioctls.
class FatAttributes
{
public:
    static StepResult clear(PinnedObject& target, DeviceInfo& device);
};

}  // namespace linuxreset

#pragma once
#include "reset/linux/FileSystemCache.h"
#include "reset/linux/StepResult.h"
#include "reset/linux/TargetFile.h"

namespace linuxreset {

// The attribute byte of a FAT directory entry (vfat, msdos), through the driver's ioctls.
class FatAttributes
{
public:
    static StepResult clear(TargetFile& target, DeviceInfo& device);
};

}  // namespace linuxreset

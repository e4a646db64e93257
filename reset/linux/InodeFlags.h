#pragma once
#include "reset/linux/FileSystemCache.h"
#include "reset/linux/PinnedObject.h"
#include "reset/linux/StepResult.h"

namespace linuxreset {

// The immutable and append-only inode flags (chattr +i / +a). They block every other change,
// so they go first. Clearing them needs CAP_LINUX_IMMUTABLE.
class InodeFlags
{
public:
    static StepResult clear(PinnedObject& target, DeviceInfo& device);
};

}  // namespace linuxreset

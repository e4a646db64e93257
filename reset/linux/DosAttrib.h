#pragma once
#include "reset/linux/FileSystemCache.h"
#include "reset/linux/PinnedObject.h"
#include "reset/linux/StepResult.h"

namespace linuxreset {

// The DOS attributes Samba and Wine keep in the user.DOSATTRIB xattr of files on Linux file
// systems, read and written through the pinned object without opening it.
class DosAttrib
{
public:
    static StepResult clear(PinnedObject& target, DeviceInfo& device);
};

}  // namespace linuxreset

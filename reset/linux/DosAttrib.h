#pragma once
#include "reset/linux/FileSystemCache.h"
#include "reset/linux/StepResult.h"
#include "reset/linux/TargetFile.h"

namespace linuxreset {

// The DOS attributes Samba and Wine keep in the user.DOSATTRIB xattr of files on Linux file
// systems. Read and written by path without following a link: no descriptor needed.
class DosAttrib
{
public:
    static StepResult clear(TargetFile& target, DeviceInfo& device);
};

}  // namespace linuxreset

#pragma once
#include "reset/linux/FileSystemCache.h"
#include "reset/linux/PinnedObject.h"
#include "reset/linux/StepResult.h"

#include <cstdint>

namespace linuxreset {

// The attributes of a file on a Windows or Samba share, as the kernel's cifs client shows them:
// the xattr user.cifs.dosattrib (alias user.smb3.dosattrib), exactly 4 bytes, a 32-bit word in
// the machine's byte order. Writing 0 leaves the attributes as they are, so "no flags" is 0x80
// for a file and the folder bit for a folder. The client sets them from Linux 5.6 on; before,
// a write is stored on the server as a plain extended attribute, so none is made.
class SmbAttributes
{
public:
    static StepResult clear(PinnedObject& target, DeviceInfo& device);

    // The word to write for `word` with nothing of what Windows clears left: never 0, which
    // the client takes for "leave as it is".
    static std::uint32_t normalWord(std::uint32_t word, bool folder);
};

// Whether the running kernel is at least major.minor, by uname.
bool kernelAtLeast(int major, int minor);

}  // namespace linuxreset

#include "reset/windows/FileSystemRedirectionOff.h"

#include <windows.h>

namespace {

// Only a 32-bit program on 64-bit Windows is redirected; 32-bit Windows has no such thing and
// refuses to turn it off.
bool redirected()
{
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

}  // namespace

FileSystemRedirectionOff::FileSystemRedirectionOff()
{
    turnedOff_ = Wow64DisableWow64FsRedirection(&previous_) != FALSE;
    holds_ = turnedOff_ || !redirected();
}

FileSystemRedirectionOff::~FileSystemRedirectionOff()
{
    if (turnedOff_)
        Wow64RevertWow64FsRedirection(previous_);
}

#pragma once
#include <sys/types.h>

namespace linuxreset {

// A read-only descriptor for an ioctl or a header read, opened only for a regular file or
// folder that statx has already vetted. It never follows a link, never blocks, never becomes
// a controlling terminal, and is refused when the path now names another inode.
class SafeOpen
{
public:
    SafeOpen() = default;
    SafeOpen(const char* path, dev_t device, ino_t inode, mode_t type);
    ~SafeOpen();
    SafeOpen(SafeOpen&& other) noexcept;
    SafeOpen& operator=(SafeOpen&& other) noexcept;
    SafeOpen(const SafeOpen&) = delete;
    SafeOpen& operator=(const SafeOpen&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    int error() const { return error_; }  // errno of the failed open, 0 when open or replaced
    bool replaced() const { return replaced_; }  // opened, but not the inode statx saw

private:
    void close();

    int fd_ = -1;
    int error_ = 0;
    bool replaced_ = false;
};

}  // namespace linuxreset

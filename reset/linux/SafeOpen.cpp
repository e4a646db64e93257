#include "reset/linux/SafeOpen.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace linuxreset {

SafeOpen::SafeOpen(const char* path, dev_t device, ino_t inode, mode_t type)
{
    constexpr int flags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    // O_NOATIME keeps the access time as it was, but only the owner (or CAP_FOWNER) may ask.
    fd_ = ::open(path, flags | O_NOATIME);
    if (fd_ < 0 && errno == EPERM)
        fd_ = ::open(path, flags);
    if (fd_ < 0) {
        error_ = errno;
        return;
    }
    struct stat st = {};
    if (::fstat(fd_, &st) != 0) {
        error_ = errno;
        close();
        return;
    }
    if (st.st_dev != device || st.st_ino != inode || (st.st_mode & S_IFMT) != type) {
        replaced_ = true;
        close();
    }
}

SafeOpen::~SafeOpen()
{
    close();
}

SafeOpen::SafeOpen(SafeOpen&& other) noexcept
    : fd_(std::exchange(other.fd_, -1))
    , error_(other.error_)
    , replaced_(other.replaced_)
{ }

SafeOpen& SafeOpen::operator=(SafeOpen&& other) noexcept
{
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        error_ = other.error_;
        replaced_ = other.replaced_;
    }
    return *this;
}

void SafeOpen::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

}  // namespace linuxreset

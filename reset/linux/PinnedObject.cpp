#include "reset/linux/PinnedObject.h"

#include "reset/linux/PathResolution.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <utility>

namespace linuxreset {

namespace {

constexpr unsigned statusMask = STATX_TYPE | STATX_MODE | STATX_UID | STATX_INO | STATX_SIZE
        | STATX_ATIME | STATX_MNT_ID | statxMountIdUnique;

bool sameObject(const struct statx& a, const struct statx& b)
{
    return a.stx_ino == b.stx_ino && a.stx_dev_major == b.stx_dev_major
            && a.stx_dev_minor == b.stx_dev_minor;
}

}  // namespace

std::string withoutTrailingSlashes(std::string_view path)
{
    std::string trimmed(path);
    for (;;) {
        if (trimmed.size() > 1 && trimmed.back() == '/')
            trimmed.pop_back();
        else if (trimmed.size() >= 2 && trimmed.ends_with("/."))
            trimmed.pop_back();
        else
            return trimmed;
    }
}

PinnedObject::PinnedObject(std::string_view path)
    : path_(withoutTrailingSlashes(path))
{
    const Resolution resolution = resolveWithoutFollowingStrangers(path_);
    if (resolution.throughStrangersLink) {
        failure_ = StepResult::leftAsIs(StepResult::Cause::ThroughStrangersLink);
        return;
    }
    if (resolution.fd < 0) {
        failure_ = StepResult::unreachable(resolution.error);
        return;
    }
    fd_ = resolution.fd;
    if (::statx(fd_, "", AT_EMPTY_PATH, statusMask, &status_) != 0) {
        failure_ = StepResult::unreachable(errno);
        ::close(std::exchange(fd_, -1));
        return;
    }
    procName_ = "/proc/self/fd/" + std::to_string(fd_);
}

PinnedObject::~PinnedObject()
{
    if (openFd_ >= 0)
        ::close(openFd_);
    if (fd_ >= 0)
        ::close(fd_);
}

dev_t PinnedObject::device() const
{
    return makedev(status_.stx_dev_major, status_.stx_dev_minor);
}

std::uint64_t PinnedObject::mountId() const
{
    return (status_.stx_mask & (STATX_MNT_ID | statxMountIdUnique)) != 0 ? status_.stx_mnt_id : 0;
}

int PinnedObject::openDescriptor(StepResult& failure)
{
    if (openFd_ >= 0)
        return openFd_;
    if (!S_ISREG(status_.stx_mode) && !S_ISDIR(status_.stx_mode)) {
        failure = StepResult::failed(StepResult::Status::NotFileOrFolder,
                                     StepResult::Cause::UnknownType);
        return -1;
    }
    // Reopened through the pinned descriptor's magic link, which leads to that very inode
    // whatever the path names now: there is nothing to check afterwards.
    // O_NOATIME keeps the access time as it was, but only the owner (or CAP_FOWNER) may ask.
    int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (isFolder() ? O_DIRECTORY : 0);
    int fd = ::open(procName_.c_str(), flags | O_NOATIME);
    if (fd < 0 && errno == EPERM)
        fd = ::open(procName_.c_str(), flags);
    if (fd < 0) {
        failure = StepResult::fromErrno(errno, status_);
        return -1;
    }
    openFd_ = fd;
    return openFd_;
}

bool PinnedObject::stillNamedByPath() const
{
    // Resolved the way the pin was, so that a path only the walk can follow (longer than the
    // kernel takes in one call, or through a link of the user's) is judged as it was pinned.
    const Resolution resolution = resolveWithoutFollowingStrangers(path_);
    if (resolution.fd < 0)
        return false;
    struct statx now = {};
    const bool read = ::statx(resolution.fd, "", AT_EMPTY_PATH, STATX_INO, &now) == 0;
    ::close(resolution.fd);
    return read && sameObject(now, status_);
}

}  // namespace linuxreset

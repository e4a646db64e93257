#include "reset/linux/InodeFlags.h"

#include <cerrno>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace linuxreset {

namespace {

constexpr unsigned blockingFlags = FS_IMMUTABLE_FL | FS_APPEND_FL;
constexpr std::uint64_t blockingAttributes = STATX_ATTR_IMMUTABLE | STATX_ATTR_APPEND;

bool isUnsupported(int error)
{
    // ENOTTY: no such ioctl here; EINVAL: FUSE passes it on and the daemon refuses it.
    return error == ENOTTY || error == EOPNOTSUPP || error == EINVAL;
}

StepResult lockedFailure()
{
    return StepResult::failed(StepResult::Status::AccessDenied, StepResult::Cause::Locked);
}

}  // namespace

StepResult InodeFlags::clear(PinnedObject& target, DeviceInfo& device)
{
    const struct statx& status = target.status();
    const bool known = (status.stx_attributes_mask & blockingAttributes) == blockingAttributes;
    if (known && (status.stx_attributes & blockingAttributes) == 0)
        return StepResult::notMine();
    if (device.noInodeFlags)
        return StepResult::notMine();

    StepResult failure;
    const int fd = target.openDescriptor(failure);
    if (fd < 0) {
        // A locked file whose mode also keeps its owner out (0000) is first of all locked:
        // write permission would not let anyone but an administrator change it.
        const bool locked = known && ::geteuid() == status.stx_uid
                && failure.outcome.cause == StepResult::Cause::NotWritable;
        return locked ? lockedFailure() : failure;
    }
    // The kernel reads and writes an int here, whatever the ioctl's declared type says.
    int flags = 0;
    if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0) {
        if (isUnsupported(errno)) {
            device.noInodeFlags = true;
            return StepResult::notMine();
        }
        return StepResult::fromErrno(errno, status);
    }
    if ((flags & static_cast<int>(blockingFlags)) == 0)
        return StepResult::normal();
    // Written only when one was set: ext4 may refuse even an unchanged value.
    flags &= ~static_cast<int>(blockingFlags);
    if (::ioctl(fd, FS_IOC_SETFLAGS, &flags) != 0) {
        // Only CAP_LINUX_IMMUTABLE may lift them, whoever owns the file.
        const bool stranger = ::geteuid() != 0 && ::geteuid() != status.stx_uid;
        if (errno == EPERM && !stranger)
            return lockedFailure();
        return StepResult::fromErrno(errno, status);
    }
    return StepResult::normal();
}

}  // namespace linuxreset

#include "reset/linux/FatAttributes.h"

#include "reset/NormalAttributes.h"
#include "reset/ResetWords.h"

#include <cerrno>
#include <cstdint>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace linuxreset {

StepResult FatAttributes::clear(PinnedObject& target, DeviceInfo& device)
{
    using Status = StepResult::Status;
    using Cause = StepResult::Cause;
    if (device.kind != FileSystemKind::Fat && device.kind != FileSystemKind::Exfat)
        return StepResult::notMine();
    static_assert(dos::visible == (ATTR_RO | ATTR_HIDDEN | ATTR_SYS | ATTR_ARCH));
    const std::uint32_t clears
            = (device.kind == FileSystemKind::Exfat ? normalOn::exfat : normalOn::fat).clears;

    StepResult failure;
    const int fd = target.openDescriptor(failure);
    if (fd < 0)
        return failure;
    std::uint32_t attributes = 0;
    if (::ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &attributes) != 0) {
        // exFAT before 6.7 has no such calls: the flags are there, but cannot be reached.
        if (errno == ENOTTY)
            return StepResult::failed(Status::NotSupported, Cause::ExfatDriverTooOld);
        return StepResult::fromErrno(errno, target.status());
    }
    std::uint32_t normal = attributes & ~clears;
    if (target.isFolder())
        normal |= ATTR_DIR;  // a folder keeps its directory bit, as the driver expects
    if (normal == attributes)
        return StepResult::normal();
    if (::ioctl(fd, FAT_IOCTL_SET_ATTRIBUTES, &normal) != 0) {
        // Changing the entry of one that has the system flag needs CAP_LINUX_IMMUTABLE (always
        // on exFAT, with sys_immutable on FAT), even for its owner.
        const bool owner = ::geteuid() == target.status().stx_uid;
        if (errno == EPERM && owner && ::geteuid() != 0 && (attributes & ATTR_SYS) != 0)
            return StepResult::failed(Status::AccessDenied, Cause::SystemFlagNeedsRoot);
        return StepResult::fromErrno(errno, target.status());
    }
    if (::ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &attributes) != 0)
        return StepResult::fromErrno(errno, target.status());
    if ((attributes & clears) != 0)
        return StepResult::failed(Status::NotSupported, Cause::FlagsKept,
                                  flagNames(attributes & clears));
    return StepResult::normal();
}

}  // namespace linuxreset

#include "reset/linux/FatAttributes.h"

#include <cerrno>
#include <cstdint>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>

namespace linuxreset {

namespace {

constexpr std::uint32_t cleared = ATTR_RO | ATTR_HIDDEN | ATTR_SYS | ATTR_ARCH;

}  // namespace

StepResult FatAttributes::clear(PinnedObject& target, DeviceInfo& device)
{
    if (device.kind != FileSystemKind::Fat)
        return StepResult::notMine();

    StepResult failure;
    const int fd = target.openDescriptor("reading the FAT attributes", failure);
    if (fd < 0)
        return failure;
    std::uint32_t attributes = 0;
    if (::ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &attributes) != 0) {
        if (errno == ENOTTY)
            return StepResult::notMine();
        return StepResult::fromErrno(errno, "reading the FAT attributes");
    }
    std::uint32_t normal = attributes & ~cleared;
    if (target.isFolder())
        normal |= ATTR_DIR;  // a folder keeps its directory bit, as the driver expects
    if (normal == attributes)
        return StepResult::normal();
    if (::ioctl(fd, FAT_IOCTL_SET_ATTRIBUTES, &normal) != 0)
        return StepResult::fromErrno(errno, "writing the FAT attributes");
    return StepResult::normal();
}

}  // namespace linuxreset

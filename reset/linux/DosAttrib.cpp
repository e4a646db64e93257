#include "reset/linux/DosAttrib.h"

#include "reset/linux/DosAttribValue.h"
#include "reset/linux/MountInfo.h"

#include <cerrno>
#include <optional>
#include <string>
#include <sys/xattr.h>

namespace linuxreset {

namespace {

constexpr const char* xattrName = "user.DOSATTRIB";
// Samba's largest form is well under this; a bigger value costs one more call for its size.
constexpr std::size_t usualSize = 256;
constexpr int sizeRetries = 3;

// The whole value, or nothing with errno set.
std::optional<std::string> read(const char* name)
{
    std::string value(usualSize, '\0');
    ssize_t length = ::getxattr(name, xattrName, value.data(), value.size());
    for (int retry = 0; length < 0 && errno == ERANGE && retry < sizeRetries; ++retry) {
        const ssize_t needed = ::getxattr(name, xattrName, nullptr, 0);
        if (needed < 0)
            return std::nullopt;
        value.resize(static_cast<std::size_t>(needed));
        length = ::getxattr(name, xattrName, value.data(), value.size());
    }
    if (length < 0)
        return std::nullopt;
    value.resize(static_cast<std::size_t>(length));
    return value;
}

// A file system without user xattrs: on the kernel's own, nothing of this kind to clear; on a
// FUSE mount that is not ntfs-3g (which the NTFS word has already answered for), no way at all
// to reach the DOS attributes the disk or device may keep.
StepResult noneHere(const PinnedObject& target, DeviceInfo& device)
{
    if (device.kind != FileSystemKind::Fuse || !device.noNtfsAttributes)
        return StepResult::notMine();
    if (!device.fuseWhatKnown) {
        device.fuseWhat = describeFuseMount(mountOf(target.pathDescriptor()));
        device.fuseWhatKnown = true;
    }
    return StepResult::failed(StepResult::Status::NotSupported, StepResult::Cause::FuseCannotChange,
                              device.fuseWhat);
}

}  // namespace

StepResult DosAttrib::clear(PinnedObject& target, DeviceInfo& device)
{
    using Status = StepResult::Status;
    using Cause = StepResult::Cause;
    if (device.noUserXattrs)
        return noneHere(target, device);

    std::optional<std::string> value = read(target.name());
    if (!value) {
        if (errno == ENODATA)
            return StepResult::notMine();  // the pinned object itself has none: nothing to clear
        if (errno == EOPNOTSUPP) {
            device.noUserXattrs = true;
            return noneHere(target, device);
        }
        return StepResult::fromErrno(errno, target.status());
    }

    const std::optional<std::string> normal = DosAttribValue::normalized(*value);
    if (!normal)
        return StepResult::failed(Status::Failed, Cause::UnknownFormat, "dosattrib");
    if (*normal == *value)
        return StepResult::normal();
    if (::setxattr(target.name(), xattrName, normal->data(), normal->size(), XATTR_REPLACE) != 0) {
        if (errno == ENODATA)
            return StepResult::normal();  // removed meanwhile: nothing left to clear
        return StepResult::fromErrno(errno, target.status());
    }
    // Counted only once it reads back normal, where the file system could have kept
    // something else.
    if (device.keepsXattrsAsWritten)
        return StepResult::normal();
    const std::optional<std::string> written = read(target.name());
    if (!written) {
        if (errno == ENODATA)
            return StepResult::normal();
        return StepResult::fromErrno(errno, target.status());
    }
    if (*written != *normal)
        return StepResult::failed(Status::NotSupported, Cause::FlagsKept,
                                  "what Samba and Wine keep");
    return StepResult::normal();
}

}  // namespace linuxreset

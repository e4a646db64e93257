#include "reset/linux/DosAttrib.h"

#include "reset/linux/DosAttribValue.h"

#include <cerrno>
#include <string>
#include <sys/xattr.h>

namespace linuxreset {

namespace {

constexpr const char* xattrName = "user.DOSATTRIB";
// Samba's largest form is well under this; a bigger value costs one more call for its size.
constexpr std::size_t usualSize = 256;
constexpr int sizeRetries = 3;

}  // namespace

StepResult DosAttrib::clear(TargetFile& target, DeviceInfo& device)
{
    if (device.noUserXattrs)
        return StepResult::notMine();

    std::string value(usualSize, '\0');
    ssize_t length = ::lgetxattr(target.path(), xattrName, value.data(), value.size());
    for (int retry = 0; length < 0 && errno == ERANGE && retry < sizeRetries; ++retry) {
        const ssize_t needed = ::lgetxattr(target.path(), xattrName, nullptr, 0);
        if (needed < 0)
            break;
        value.resize(static_cast<std::size_t>(needed));
        length = ::lgetxattr(target.path(), xattrName, value.data(), value.size());
    }
    if (length < 0) {
        if (errno == ENODATA)
            return StepResult::notMine();
        if (errno == EOPNOTSUPP) {
            device.noUserXattrs = true;
            return StepResult::notMine();
        }
        return StepResult::fromErrno(errno, "reading the DOS attributes");
    }
    value.resize(static_cast<std::size_t>(length));

    const std::optional<std::string> normal = DosAttribValue::normalized(value);
    if (!normal)
        return StepResult::failed(ResetOutcome::Status::Failed,
                                  "the DOS attributes are in an unknown format");
    if (*normal == value)
        return StepResult::normal();
    if (::lsetxattr(target.path(), xattrName, normal->data(), normal->size(), XATTR_REPLACE) != 0) {
        if (errno == ENODATA)
            return StepResult::normal();  // removed meanwhile: nothing left to clear
        return StepResult::fromErrno(errno, "writing the DOS attributes");
    }
    return StepResult::normal();
}

}  // namespace linuxreset

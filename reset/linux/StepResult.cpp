#include "reset/linux/StepResult.h"

#include <cerrno>
#include <cstring>

namespace linuxreset {

StepResult StepResult::leftAsIs(std::string reason)
{
    return {Kind::LeftAsIs, {ResetOutcome::Status::LeftAsIs, std::move(reason)}};
}

StepResult StepResult::failed(ResetOutcome::Status status, std::string reason)
{
    return {Kind::Error, {status, std::move(reason)}};
}

StepResult StepResult::fromErrno(int error, std::string_view step)
{
    using Status = ResetOutcome::Status;
    const std::string what(step);
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return failed(Status::Missing, {});
    case EACCES:
    case EPERM:
        return failed(Status::AccessDenied, what);
    case EROFS:
        return failed(Status::AccessDenied, what + ": read-only file system");
    case EOPNOTSUPP:
        return failed(Status::NotSupported, what);
    default:
        return failed(Status::Failed, what + ": " + std::strerror(error));
    }
}

}  // namespace linuxreset

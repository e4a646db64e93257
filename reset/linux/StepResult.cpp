#include "reset/linux/StepResult.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace linuxreset {

StepResult StepResult::leftAsIs(Cause cause)
{
    return {Kind::LeftAsIs, {Status::LeftAsIs, {}, cause}};
}

StepResult StepResult::failed(Status status, Cause cause, std::string reason)
{
    return {Kind::Error, {status, std::move(reason), cause}};
}

StepResult StepResult::fromErrno(int error, const struct statx& object)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return failed(Status::Missing, Cause::NotFound);
    case EACCES:
    case EPERM: {
        const uid_t user = ::geteuid();
        if (user == 0)
            return failed(Status::AccessDenied, Cause::RefusedByFileSystem);
        if (object.stx_uid != user)
            return failed(Status::AccessDenied, Cause::OwnedByOtherUser);
        return failed(Status::AccessDenied, Cause::NotWritable);
    }
    case EROFS:
        return failed(Status::AccessDenied, Cause::ReadOnlyDisk);
    case ENAMETOOLONG:
        return failed(Status::Missing, Cause::NameTooLong);
    case EBUSY:
    case ETXTBSY:
        return failed(Status::Failed, Cause::InUse);
    default:
        return failed(Status::Failed, Cause::SystemError, std::strerror(error));
    }
}

StepResult StepResult::unreachable(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return failed(Status::Missing, Cause::NotFound);
    case EACCES:
    case EPERM:
        return failed(Status::AccessDenied, Cause::FolderClosed);
    case ENAMETOOLONG:
        return failed(Status::Missing, Cause::NameTooLong);
    default:
        return failed(Status::Failed, Cause::SystemError, std::strerror(error));
    }
}

}  // namespace linuxreset

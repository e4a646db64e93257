#include "reset/linux/TargetFile.h"

#include <cerrno>
#include <sys/sysmacros.h>

namespace linuxreset {

TargetFile::TargetFile(const char* path, const struct statx& status)
    : path_(path)
    , status_(status)
{ }

dev_t TargetFile::device() const
{
    return makedev(status_.stx_dev_major, status_.stx_dev_minor);
}

std::uint64_t TargetFile::mountId() const
{
    return (status_.stx_mask & (STATX_MNT_ID | statxMountIdUnique)) != 0 ? status_.stx_mnt_id : 0;
}

int TargetFile::descriptor(std::string_view step, StepResult& failure)
{
    if (!open_)
        open_.emplace(path_, device(), status_.stx_ino, status_.stx_mode & S_IFMT);
    if (open_->isOpen())
        return open_->fd();
    if (open_->replaced() || open_->error() == ELOOP)  // ELOOP: a link has taken its place
        failure = StepResult::failed(ResetOutcome::Status::Failed,
                                     "the path was replaced while being reset");
    else
        failure = StepResult::fromErrno(open_->error(), step);
    return -1;
}

}  // namespace linuxreset

#include "reset/AttributeReset.h"

#include "reset/linux/DosAttrib.h"
#include "reset/linux/FatAttributes.h"
#include "reset/linux/FileSystemCache.h"
#include "reset/linux/InodeFlags.h"
#include "reset/linux/NtfsAttributes.h"
#include "reset/linux/StepResult.h"
#include "reset/linux/TargetFile.h"

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>

namespace {

using linuxreset::StepResult;

// Only regular files and folders are touched; the rest is told apart by statx alone.
std::optional<ResetOutcome> refuseByType(mode_t mode)
{
    using Status = ResetOutcome::Status;
    switch (mode & S_IFMT) {
    case S_IFREG:
    case S_IFDIR:
        return std::nullopt;
    case S_IFLNK:
        // Links carry none of these flags here, and their targets are not what was dropped.
        return ResetOutcome{Status::LeftAsIs, "symbolic link, not followed"};
    case S_IFIFO:
        return ResetOutcome{Status::NotFileOrFolder, "FIFO"};
    case S_IFSOCK:
        return ResetOutcome{Status::NotFileOrFolder, "socket"};
    case S_IFCHR:
        return ResetOutcome{Status::NotFileOrFolder, "character device"};
    case S_IFBLK:
        return ResetOutcome{Status::NotFileOrFolder, "block device"};
    default:
        return ResetOutcome{Status::NotFileOrFolder, "unknown file type"};
    }
}

class LinuxAttributeReset final : public AttributeReset
{
public:
    ResetOutcome resetToNormal(const std::filesystem::path& path) override
    {
        const char* name = path.c_str();
        struct statx status = {};
        // Nothing is opened before the type is known: a FIFO or device never sees an open.
        if (::statx(AT_FDCWD, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                    STATX_TYPE | STATX_MODE | STATX_INO | STATX_SIZE | STATX_MNT_ID
                            | linuxreset::statxMountIdUnique,
                    &status)
            != 0)
            return StepResult::fromErrno(errno, "reading the file's status").outcome;
        if (const std::optional<ResetOutcome> refused = refuseByType(status.stx_mode))
            return *refused;

        linuxreset::TargetFile target(name, status);
        linuxreset::DeviceInfo& device
                = fileSystems_.lookup(target.device(), target.mountId(), name);

        // Inode flags first: while one is set nothing else may change.
        using Backend = StepResult (*)(linuxreset::TargetFile&, linuxreset::DeviceInfo&);
        constexpr Backend backends[] = {
                &linuxreset::InodeFlags::clear,
                &linuxreset::FatAttributes::clear,
                &linuxreset::NtfsAttributes::clear,
                &linuxreset::DosAttrib::clear,
        };
        std::optional<ResetOutcome> firstFailure;
        for (const Backend backend : backends) {
            StepResult step = backend(target, device);
            if (step.kind == StepResult::Kind::LeftAsIs)
                return step.outcome;
            if (step.kind == StepResult::Kind::Error && !firstFailure)
                firstFailure = std::move(step.outcome);
        }
        if (firstFailure)
            return *firstFailure;
        return {};
    }

private:
    linuxreset::FileSystemCache fileSystems_;
};

}  // namespace

std::unique_ptr<AttributeReset> makeAttributeReset()
{
    return std::make_unique<LinuxAttributeReset>();
}

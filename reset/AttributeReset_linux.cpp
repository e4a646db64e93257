#include "reset/AttributeReset.h"

#include "reset/linux/DosAttrib.h"
#include "reset/linux/FatAttributes.h"
#include "reset/linux/FileSystemCache.h"
#include "reset/linux/InodeFlags.h"
#include "reset/linux/NtfsAttributes.h"
#include "reset/linux/PinnedObject.h"
#include "reset/linux/SmbAttributes.h"
#include "reset/linux/StepResult.h"

#include <optional>
#include <sys/stat.h>

namespace {

using linuxreset::StepResult;

// Only regular files and folders are touched; the rest is told apart by statx alone.
std::optional<ResetOutcome> refuseByType(mode_t mode)
{
    using Status = ResetOutcome::Status;
    using Cause = ResetOutcome::Cause;
    switch (mode & S_IFMT) {
    case S_IFREG:
    case S_IFDIR:
        return std::nullopt;
    case S_IFLNK:
        // Links carry none of these flags here, and their targets are not what was dropped.
        return ResetOutcome{Status::LeftAsIs, {}, Cause::SymbolicLink};
    case S_IFIFO:
        return ResetOutcome{Status::NotFileOrFolder, {}, Cause::Fifo};
    case S_IFSOCK:
        return ResetOutcome{Status::NotFileOrFolder, {}, Cause::Socket};
    case S_IFCHR:
    case S_IFBLK:
        return ResetOutcome{Status::NotFileOrFolder, {}, Cause::Device};
    default:
        return ResetOutcome{Status::NotFileOrFolder, {}, Cause::UnknownType};
    }
}

class LinuxAttributeReset final : public AttributeReset
{
public:
    ResetOutcome resetToNormal(const std::filesystem::path& path) override
    {
        // Resolved once: every step below works on this object, whatever the path names later.
        linuxreset::PinnedObject target(path.native());
        if (!target.pinned())
            return target.failure().outcome;
        // Only regular files and folders are touched; the rest is told apart without an open.
        if (const std::optional<ResetOutcome> refused = refuseByType(target.status().stx_mode))
            return *refused;
        linuxreset::DeviceInfo& device = fileSystems_.lookup(target);

        // Inode flags first: while one is set nothing else may change.
        using Backend = StepResult (*)(linuxreset::PinnedObject&, linuxreset::DeviceInfo&);
        constexpr Backend backends[] = {
                &linuxreset::InodeFlags::clear,     &linuxreset::FatAttributes::clear,
                &linuxreset::NtfsAttributes::clear, &linuxreset::SmbAttributes::clear,
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
        // What was reset is the object the path named when the reset began; if the path names
        // another one now, "done" would speak of a file the user no longer finds there.
        if (!target.stillNamedByPath())
            return {ResetOutcome::Status::Failed, {}, ResetOutcome::Cause::Replaced};
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

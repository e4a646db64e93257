#include "reset/linux/SmbAttributes.h"

#include "reset/NormalAttributes.h"
#include "reset/ResetWords.h"
#include "reset/linux/MountInfo.h"

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <optional>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace linuxreset {

namespace {

constexpr const char* xattrName = "user.cifs.dosattrib";
using Status = StepResult::Status;
using Cause = StepResult::Cause;

std::optional<std::uint32_t> readWord(const char* name)
{
    std::uint32_t word = 0;
    const ssize_t length = ::getxattr(name, xattrName, &word, sizeof word);
    if (length < 0)
        return std::nullopt;
    if (length != sizeof word) {
        errno = EMSGSIZE;
        return std::nullopt;
    }
    return word;
}

bool mayClearReadOnlyByMode(const PinnedObject& target, DeviceInfo& device,
                            std::uint32_t attributes)
{
    if ((attributes & dos::readOnly) == 0 || target.isFolder()
        || target.status().stx_uid != ::geteuid())
        return false;
    if (!device.shareModesKnown) {
        const MountEntry mount = mountOf(target.pathDescriptor());
        device.shareModesAreReal = mount.superOptions.empty() || mount.hasOption("cifsacl")
                || mount.hasOption("modefromsid") || mount.hasOption("idsfromsid");
        device.shareModesKnown = true;
    }
    return !device.shareModesAreReal;
}

}  // namespace

std::uint32_t SmbAttributes::normalWord(std::uint32_t word, bool folder)
{
    const std::uint32_t normal = word & ~normalOn::smb.clears;
    if (folder)
        return normal | dos::directory;
    return normal == 0 ? dos::normal : normal;
}

bool kernelAtLeast(int major, int minor)
{
    static const std::pair<int, int> running = [] {
        utsname names{};
        std::pair<int, int> found{0, 0};
        if (::uname(&names) != 0)
            return found;
        const char* end = names.release + std::strlen(names.release);
        const auto [afterMajor, error] = std::from_chars(names.release, end, found.first);
        if (error == std::errc() && afterMajor != end && *afterMajor == '.')
            std::from_chars(afterMajor + 1, end, found.second);
        return found;
    }();
    return running >= std::make_pair(major, minor);
}

StepResult SmbAttributes::clear(PinnedObject& target, DeviceInfo& device)
{
    if (device.kind == FileSystemKind::SmbOne)
        return StepResult::failed(Status::NotSupported, Cause::SmbOneUnreliable);
    if (device.kind != FileSystemKind::Smb)
        return StepResult::notMine();
    if (!kernelAtLeast(5, 6))
        return StepResult::failed(Status::NotSupported, Cause::SmbNeedsNewerLinux);

    const std::optional<std::uint32_t> attributes = readWord(target.name());
    if (!attributes) {
        if (errno == EMSGSIZE)
            return StepResult::failed(Status::Failed, Cause::UnknownFormat, "smb");
        return StepResult::fromErrno(errno, target.status());
    }
    if ((*attributes & normalOn::smb.clears) == 0)
        return StepResult::normal();
    const std::uint32_t normal = SmbAttributes::normalWord(*attributes, target.isFolder());
    if (::setxattr(target.name(), xattrName, &normal, sizeof normal, 0) != 0) {
        // The client takes the write for a change of the file, which its read-only flag
        // forbids even to its owner. There the mode's write bits are that flag: giving them
        // back is how the client clears it, and then the rest may be written.
        if (errno != EACCES || !mayClearReadOnlyByMode(target, device, *attributes))
            return StepResult::fromErrno(errno, target.status());
        const mode_t writable = (target.status().stx_mode & 07777) | S_IWUSR;
        if (::chmod(target.name(), writable) != 0
            || ::setxattr(target.name(), xattrName, &normal, sizeof normal, 0) != 0)
            return StepResult::fromErrno(errno, target.status());
    }

    const std::optional<std::uint32_t> check = readWord(target.name());
    if (!check)
        return StepResult::fromErrno(errno, target.status());
    if (const std::uint32_t kept = *check & normalOn::smb.clears)
        return StepResult::failed(Status::NotSupported, Cause::FlagsKept, flagNames(kept));
    return StepResult::normal();
}

}  // namespace linuxreset

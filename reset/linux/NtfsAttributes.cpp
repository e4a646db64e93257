#include "reset/linux/NtfsAttributes.h"

#include "reset/NormalAttributes.h"
#include "reset/ResetWords.h"
#include "reset/linux/LittleEndian.h"

#include <cerrno>
#include <optional>
#include <string>
#include <sys/xattr.h>
#include <unistd.h>

namespace linuxreset {

namespace {

constexpr const char* xattrName = "system.ntfs_attrib";
constexpr std::size_t headerSize = 8;
using Status = StepResult::Status;
using Cause = StepResult::Cause;

// The word, or nothing with errno set (EMSGSIZE for a value that is not 4 bytes).
std::optional<std::uint32_t> readWord(const char* name)
{
    std::string bytes(4, '\0');
    const ssize_t length = ::getxattr(name, xattrName, bytes.data(), bytes.size());
    if (length < 0) {
        if (errno == ERANGE)
            errno = EMSGSIZE;
        return std::nullopt;
    }
    if (length != 4) {
        errno = EMSGSIZE;
        return std::nullopt;
    }
    return readLittleEndian(bytes, 0, 4);
}

StepResult readFailure(int error, const struct statx& object)
{
    if (error == EMSGSIZE)
        return StepResult::failed(Status::Failed, Cause::UnknownFormat, "ntfs");
    return StepResult::fromErrno(error, object);
}

}  // namespace

bool NtfsAttributes::isInterixSpecial(std::uint32_t attributes, std::uint64_t size,
                                      std::string_view header)
{
    if ((attributes & dos::system) == 0)
        return false;
    // ntfs-3g takes an empty or one-byte system file for a FIFO or socket unless it is hidden.
    if (size <= 1)
        return (attributes & dos::hidden) == 0;
    using namespace std::string_view_literals;
    // A link holds its target after the header, UTF-16 and at most PATH_MAX units long; a
    // device, its major and minor numbers as two 64-bit words. ntfs-3g shows any other length
    // as the regular file it then is.
    if (header.starts_with("IntxLNK\1"sv))
        return size > headerSize && size <= headerSize + 2 * 4096;
    return size == headerSize + 16
            && (header.starts_with("IntxCHR\0"sv) || header.starts_with("IntxBLK\0"sv));
}

StepResult NtfsAttributes::clear(PinnedObject& target, DeviceInfo& device)
{
    if (device.kind != FileSystemKind::Fuse && device.kind != FileSystemKind::NtfsKernel)
        return StepResult::notMine();
    if (device.noNtfsAttributes)
        return StepResult::notMine();

    const std::optional<std::uint32_t> attributes = readWord(target.name());
    if (!attributes) {
        if (errno == ENODATA || errno == EOPNOTSUPP) {
            // Another FUSE file system: every path on it lacks the word.
            device.noNtfsAttributes = true;
            return StepResult::notMine();
        }
        return readFailure(errno, target.status());
    }

    const std::uint64_t size = target.status().stx_size;
    // ntfs-3g shows its special files as what they are (a FIFO, a link, a device), and those
    // never get here; a regular file there is one. A kernel driver shows them as regular files,
    // so their header decides: read without moving the access time (O_NOATIME, which the kernel
    // drivers honour and ntfs-3g ignores).
    if (device.kind == FileSystemKind::NtfsKernel && S_ISREG(target.status().stx_mode)
        && (*attributes & dos::system) != 0) {
        // Only a file long enough for a header is read; an empty one is decided by its size.
        std::string header;
        if (size >= headerSize) {
            StepResult failure;
            const int fd = target.openDescriptor(failure);
            if (fd < 0)
                return failure;
            header.resize(headerSize);
            const ssize_t got = ::pread(fd, header.data(), header.size(), 0);
            if (got < 0)
                return StepResult::fromErrno(errno, target.status());
            header.resize(static_cast<std::size_t>(got));
        }
        if (isInterixSpecial(*attributes, size, header))
            return StepResult::leftAsIs(Cause::DriversSpecialFile);
    }

    // Never a bit the driver shows of its own: ntfs3 would store its folder bit on disk.
    const std::uint32_t ownBits = target.isFolder() ? device.driversFolderBits : 0;
    const std::uint32_t normal = *attributes & ~normalOn::ntfs.clears & ~ownBits;
    if ((*attributes & normalOn::ntfs.clears) == 0)
        return StepResult::normal();
    std::string written(4, '\0');
    writeLittleEndian32(written, 0, normal);
    if (::setxattr(target.name(), xattrName, written.data(), written.size(), XATTR_REPLACE) != 0)
        return StepResult::fromErrno(errno, target.status());

    // The driver drops bits it will not set without saying so; only a read shows it.
    const std::optional<std::uint32_t> check = readWord(target.name());
    if (!check)
        return readFailure(errno, target.status());
    if (const std::uint32_t kept = *check & normalOn::ntfs.clears)
        return StepResult::failed(Status::NotSupported, Cause::FlagsKept, flagNames(kept));
    return StepResult::normal();
}

}  // namespace linuxreset

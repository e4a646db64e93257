#include "reset/linux/NtfsAttributes.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <sys/xattr.h>
#include <unistd.h>

namespace linuxreset {

namespace {

constexpr const char* xattrName = "system.ntfs_attrib";
constexpr std::size_t headerSize = 8;

std::uint32_t fromLittleEndian(const std::array<unsigned char, 4>& bytes)
{
    return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (std::uint32_t(bytes[3]) << 24);
}

std::array<unsigned char, 4> toLittleEndian(std::uint32_t value)
{
    return {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
            static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
}

bool isAbsent(int error)
{
    return error == ENODATA || error == EOPNOTSUPP;
}

// -1 with errno set, or the number of bytes read. `name` leads to the object itself.
ssize_t readWord(const char* name, std::array<unsigned char, 4>& bytes)
{
    return ::getxattr(name, xattrName, bytes.data(), bytes.size());
}

std::string hex(std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

}  // namespace

bool NtfsAttributes::isInterixSpecial(std::uint32_t attributes, std::uint64_t size,
                                      std::string_view header)
{
    if ((attributes & system) == 0)
        return false;
    // ntfs-3g takes an empty or one-byte system file for a FIFO or socket unless it is hidden.
    if (size <= 1)
        return (attributes & hidden) == 0;
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
    if (device.kind != FileSystemKind::Fuse && device.kind != FileSystemKind::Ntfs)
        return StepResult::notMine();
    if (device.noNtfsAttributes)
        return StepResult::notMine();

    std::array<unsigned char, 4> bytes{};
    const ssize_t length = readWord(target.name(), bytes);
    if (length < 0) {
        if (isAbsent(errno)) {
            // Another FUSE file system: every path on it lacks the word.
            device.noNtfsAttributes = true;
            return StepResult::notMine();
        }
        if (errno == ERANGE)
            return StepResult::failed(ResetOutcome::Status::Failed,
                                      "the NTFS attributes are not a 4-byte word");
        return StepResult::fromErrno(errno, "reading the NTFS attributes");
    }
    if (length != 4)
        return StepResult::failed(ResetOutcome::Status::Failed,
                                  "the NTFS attributes are not a 4-byte word");
    const std::uint32_t attributes = fromLittleEndian(bytes);

    const std::uint64_t size = target.status().stx_size;
    // ntfs-3g shows its special files as what they are (a FIFO, a link, a device), and those
    // never get here; a regular file there is one. A kernel driver shows them as regular files,
    // so their header decides: read without moving the access time (O_NOATIME, which the kernel
    // drivers honour and ntfs-3g ignores).
    if (device.kind == FileSystemKind::Ntfs && S_ISREG(target.status().stx_mode)
        && (attributes & system) != 0) {
        // Only a file long enough for a header is read; an empty one is decided by its size.
        std::string header;
        if (size >= headerSize) {
            StepResult failure;
            const int fd = target.openDescriptor("reading the file's header", failure);
            if (fd < 0)
                return failure;
            header.resize(headerSize);
            const ssize_t got = ::pread(fd, header.data(), header.size(), 0);
            if (got < 0)
                return StepResult::fromErrno(errno, "reading the file's header");
            header.resize(static_cast<std::size_t>(got));
        }
        if (isInterixSpecial(attributes, size, header))
            return StepResult::leftAsIs("a special file kept by the NTFS driver's system flag");
    }

    const std::uint32_t normal = attributes & ~cleared;
    if (normal == attributes)
        return StepResult::normal();
    const std::array<unsigned char, 4> written = toLittleEndian(normal);
    if (::setxattr(target.name(), xattrName, written.data(), written.size(), XATTR_REPLACE) != 0)
        return StepResult::fromErrno(errno, "writing the NTFS attributes");

    // The driver drops bits it will not set without saying so; only a read shows it.
    std::array<unsigned char, 4> check{};
    const ssize_t checked = readWord(target.name(), check);
    if (checked < 0)
        return StepResult::fromErrno(errno, "reading the NTFS attributes back");
    if (checked != 4)
        return StepResult::failed(ResetOutcome::Status::Failed,
                                  "the NTFS attributes are not a 4-byte word");
    const std::uint32_t kept = fromLittleEndian(check) & cleared;
    if (kept != 0)
        return StepResult::failed(ResetOutcome::Status::NotSupported,
                                  "the NTFS driver kept attributes " + hex(kept));
    return StepResult::normal();
}

}  // namespace linuxreset

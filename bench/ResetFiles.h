#pragma once
// The files the reset benchmarks work on, and the hand-written loops they are held against:
// only the system calls the same result needs, on Linux.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <linux/fs.h>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace resetbench {

using Paths = std::vector<std::filesystem::path>;
constexpr const char* dosName = "user.DOSATTRIB";
constexpr const char* ntfsName = "system.ntfs_attrib";
constexpr unsigned immutableFlags = FS_IMMUTABLE_FL | FS_APPEND_FL;

inline void die(const std::string& what)
{
    std::perror(what.c_str());
    std::exit(1);
}

inline bool setInodeFlags(const char* path, bool immutable)
{
    const int fd = ::open(path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        die(path);
    unsigned flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    const unsigned wanted = immutable ? flags | FS_IMMUTABLE_FL : flags & ~immutableFlags;
    if (ok && wanted != flags)
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &wanted) == 0;
    ::close(fd);
    return ok;
}

inline Paths makeFiles(const std::string& dir, std::size_t count)
{
    Paths paths;
    paths.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/f%06zu.txt", i);
        const std::string path = dir + name;
        if (::access(path.c_str(), F_OK) != 0) {
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            if (fd < 0)
                die(path);
            ::close(fd);
        }
        paths.emplace_back(path);
    }
    return paths;
}

// Hidden and system again; on ext4 every other file immutable (when we may set that).
inline void arm(const std::string& kind, const Paths& paths, bool immutable)
{
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const char* path = paths[i].c_str();
        if (kind == "ntfs") {
            const unsigned char word[4] = {0x06, 0, 0, 0};
            if (::lsetxattr(path, ntfsName, word, 4, 0) != 0)
                die(path);
            continue;
        }
        if (::geteuid() == 0 && !setInodeFlags(path, false))
            die(path);
        if (::lsetxattr(path, dosName, "0x6", 3, 0) != 0)
            die(path);
        if (immutable && i % 2 == 0 && !setInodeFlags(path, true))
            die(path);
    }
}

// Wine's text form "0x%x" with 0x27 cleared, same width.
inline bool normalDosText(const char* value, ssize_t length, char* out, ssize_t& outLength)
{
    if (length < 3 || value[0] != '0' || value[1] != 'x')
        return false;
    const unsigned long attributes
            = std::strtoul(std::string(value + 2, value + length).c_str(), nullptr, 16);
    outLength = std::snprintf(out, 64, "0x%0*lx", int(length - 2), attributes & ~0x27ul);
    return true;
}

// A path held by an O_PATH descriptor, its type read from the descriptor, and the name that
// leads to the object itself: the least a reset that cannot be redirected needs.
struct Pinned
{
    explicit Pinned(const char* path)
        : fd(::openat(AT_FDCWD, path, O_PATH | O_NOFOLLOW | O_CLOEXEC))
    {
        if (fd < 0 || ::statx(fd, "", AT_EMPTY_PATH, STATX_TYPE | STATX_INO, &status) != 0)
            return;
        std::snprintf(name, sizeof name, "/proc/self/fd/%d", fd);
        usable = S_ISREG(status.stx_mode) || S_ISDIR(status.stx_mode);
    }
    ~Pinned()
    {
        if (fd >= 0)
            ::close(fd);
    }
    int fd;
    struct statx status = {};
    char name[32] = {};
    bool usable = false;
};

// The minimal pinned loop on ext4: pin, the inode flags only where statx shows one (through
// a descriptor reopened from the pinned one), then read and rewrite the xattr through it.
// With watchMounts, also one poll of the table of mounts per pin: what a reset needs before
// Linux 6.8 to know the mount it remembers is still the one the pin is on.
inline void pinnedExt4(const Paths& paths, bool watchMounts = false)
{
    const int mounts = watchMounts ? ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC) : -1;
    for (const auto& p : paths) {
        const Pinned pinned(p.c_str());
        if (!pinned.usable)
            continue;
        pollfd watched{mounts, POLLPRI, 0};
        if (mounts >= 0 && ::poll(&watched, 1, 0) < 0)
            continue;
        if (pinned.status.stx_attributes & (STATX_ATTR_IMMUTABLE | STATX_ATTR_APPEND)) {
            const int fd
                    = ::open(pinned.name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | O_NOATIME);
            unsigned flags = 0;
            if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
                flags &= ~immutableFlags;
                ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
            }
            if (fd >= 0)
                ::close(fd);
        }
        char value[256], normal[64];
        const ssize_t length = ::getxattr(pinned.name, dosName, value, sizeof value);
        ssize_t normalLength = 0;
        if (length > 0 && normalDosText(value, length, normal, normalLength)
            && (normalLength != length || std::memcmp(value, normal, size_t(length)) != 0))
            ::setxattr(pinned.name, dosName, normal, size_t(normalLength), XATTR_REPLACE);
    }
    if (mounts >= 0)
        ::close(mounts);
}

// The same on an ntfs-3g path: the 4-byte word, written only if changed and read back (the
// driver drops bits silently), and the DOS attributes a Samba share may keep there.
inline void pinnedNtfs(const Paths& paths)
{
    constexpr std::uint32_t cleared = 0x1 | 0x2 | 0x4 | 0x20 | 0x100 | 0x1000 | 0x2000;
    for (const auto& p : paths) {
        const Pinned pinned(p.c_str());
        if (!pinned.usable)
            continue;
        std::uint32_t word = 0;
        if (::getxattr(pinned.name, ntfsName, &word, 4) != 4)
            continue;
        const std::uint32_t normal = word & ~cleared;
        if (normal != word) {
            ::setxattr(pinned.name, ntfsName, &normal, 4, XATTR_REPLACE);
            ::getxattr(pinned.name, ntfsName, &word, 4);
        }
        char value[256];
        ::getxattr(pinned.name, dosName, value, sizeof value);
    }
}

inline void pinned(const std::string& kind, const Paths& paths)
{
    kind == "ntfs" ? pinnedNtfs(paths) : pinnedExt4(paths);
}

inline void bareTwoCalls(const std::string& kind, const Paths& paths)
{
    for (const auto& p : paths) {
        if (kind == "ntfs") {
            std::uint32_t word = 0;
            ::lgetxattr(p.c_str(), ntfsName, &word, 4);
            word = 0;
            ::lsetxattr(p.c_str(), ntfsName, &word, 4, XATTR_REPLACE);
        } else {
            char value[256];
            ::lgetxattr(p.c_str(), dosName, value, sizeof value);
            ::lsetxattr(p.c_str(), dosName, "0x0", 3, XATTR_REPLACE);
        }
    }
}

}  // namespace resetbench

// Reset throughput on Linux: the tool's own reset (the RESET handler over the real Linux
// backends) against hand-written loops of only the system calls the same result needs.
//
//   reset_bench_linux ext4 DIR N ROUNDS   files with user.DOSATTRIB hidden+system, half immutable
//   reset_bench_linux ext4-xattr DIR N ROUNDS   the same without inode flags
//   reset_bench_linux ntfs DIR N ROUNDS   files on an ntfs-3g mount, hidden+system in the NTFS word
//   reset_bench_linux arm KIND DIR N      only prepares the files (for strace runs)
//   reset_bench_linux tool KIND DIR N     only runs the tool once (for strace runs)
// Prints one line per method: "<method> <median seconds>".
#include "QuietServices.h"
#include "Timing.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <linux/fs.h>
#include <map>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace {

using Paths = std::vector<std::filesystem::path>;
constexpr const char* dosName = "user.DOSATTRIB";
constexpr const char* ntfsName = "system.ntfs_attrib";
constexpr unsigned immutableFlags = FS_IMMUTABLE_FL | FS_APPEND_FL;

void die(const std::string& what)
{
    std::perror(what.c_str());
    std::exit(1);
}

bool setInodeFlags(const char* path, bool immutable)
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

Paths makeFiles(const std::string& dir, std::size_t count)
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
void arm(const std::string& kind, const Paths& paths, bool immutable)
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
bool normalDosText(const char* value, ssize_t length, char* out, ssize_t& outLength)
{
    if (length < 3 || value[0] != '0' || value[1] != 'x')
        return false;
    const unsigned long attributes
            = std::strtoul(std::string(value + 2, value + length).c_str(), nullptr, 16);
    outLength = std::snprintf(out, 64, "0x%0*lx", int(length - 2), attributes & ~0x27ul);
    return true;
}

// The least an equally safe reset of one ext4 path does: decide from statx without opening,
// open only for the inode flags (checked against statx), then read and rewrite the xattr.
void minimalExt4(const Paths& paths)
{
    for (const auto& p : paths) {
        const char* path = p.c_str();
        struct statx st
        {
        };
        if (::statx(AT_FDCWD, path, AT_SYMLINK_NOFOLLOW, STATX_TYPE | STATX_INO, &st) != 0)
            continue;
        if (!S_ISREG(st.stx_mode) && !S_ISDIR(st.stx_mode))
            continue;
        if (st.stx_attributes & (STATX_ATTR_IMMUTABLE | STATX_ATTR_APPEND)) {
            const int fd = ::open(
                    path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | O_NOATIME);
            struct stat opened
            {
            };
            if (fd >= 0 && ::fstat(fd, &opened) == 0 && opened.st_ino == st.stx_ino) {
                unsigned flags = 0;
                if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
                    flags &= ~immutableFlags;
                    ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
                }
            }
            if (fd >= 0)
                ::close(fd);
        }
        char value[256], normal[64];
        const ssize_t length = ::lgetxattr(path, dosName, value, sizeof value);
        ssize_t normalLength = 0;
        if (length > 0 && normalDosText(value, length, normal, normalLength)
            && (normalLength != length || std::memcmp(value, normal, size_t(length)) != 0))
            ::lsetxattr(path, dosName, normal, size_t(normalLength), XATTR_REPLACE);
    }
}

// The same for an ntfs-3g path: the 4-byte word, written only if changed and read back
// (the driver drops bits silently), and the DOS attributes a Samba share may keep there.
void minimalNtfs(const Paths& paths)
{
    constexpr std::uint32_t cleared = 0x1 | 0x2 | 0x4 | 0x20 | 0x100 | 0x1000 | 0x2000;
    for (const auto& p : paths) {
        const char* path = p.c_str();
        struct statx st
        {
        };
        if (::statx(AT_FDCWD, path, AT_SYMLINK_NOFOLLOW, STATX_TYPE | STATX_SIZE, &st) != 0)
            continue;
        if (!S_ISREG(st.stx_mode) && !S_ISDIR(st.stx_mode))
            continue;
        std::uint32_t word = 0;
        if (::lgetxattr(path, ntfsName, &word, 4) != 4)
            continue;
        const std::uint32_t normal = word & ~cleared;
        if (normal != word) {
            ::lsetxattr(path, ntfsName, &normal, 4, XATTR_REPLACE);
            ::lgetxattr(path, ntfsName, &word, 4);
        }
        char value[256];
        ::lgetxattr(path, dosName, value, sizeof value);
    }
}

void bareTwoCalls(const std::string& kind, const Paths& paths)
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

// The RESET handler itself, over the real system directory and Linux backends.
void tool(const Paths& paths)
{
    QuietForm quiet;
    quiet.form.Image1_OLEDragDrop({paths});
    quiet.form.imgStart_Click();
    if (!quiet.reportedAllReset(paths.size())) {
        std::fprintf(stderr, "the tool did not reset every file:\n%s\n",
                     quiet.view.lastText.c_str());
        std::exit(1);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s ext4|ntfs DIR N ROUNDS | arm|tool KIND DIR N\n", argv[0]);
        return 2;
    }
    const std::string mode = argv[1];
    const bool single = mode == "arm" || mode == "tool";
    const std::string kind = single ? argv[2] : mode;
    const std::string dir = single ? argv[3] : argv[2];
    const std::size_t count = std::stoul(single ? argv[4] : argv[3]);
    // "ext4": half the files immutable as well; "ext4-xattr": the DOS attributes alone.
    const bool immutable = kind == "ext4" && ::geteuid() == 0;
    const Paths paths = makeFiles(dir, count);

    if (mode == "arm") {
        arm(kind, paths, immutable);
        return 0;
    }
    if (mode == "tool") {
        tool(paths);
        return 0;
    }

    const int rounds = std::stoi(argv[4]);
    std::map<std::string, std::vector<double>> times;
    const std::vector<std::pair<std::string, std::function<void()>>> methods = {
            {"tool",
             [&] {
                 tool(paths);
             }},
            {"minimal",
             [&] {
                 kind == "ntfs" ? minimalNtfs(paths) : minimalExt4(paths);
             }},
            {"bare",
             [&] {
                 bareTwoCalls(kind, paths);
             }},
    };
    for (int round = 0; round < rounds; ++round) {
        // Rotate the order so no method always runs first after arming.
        for (std::size_t m = 0; m < methods.size(); ++m) {
            const auto& method = methods[(m + std::size_t(round)) % methods.size()];
            // The bare loop cannot clear inode flags: it gets files that have none, so that
            // its two calls do the whole of their work.
            arm(kind, paths, immutable && method.first != "bare");
            times[method.first].push_back(seconds(method.second));
        }
    }
    std::printf("immutable %s\n", immutable ? "half" : "none");
    for (const auto& [name, values] : times) {
        std::printf("%s %.6f", name.c_str(), median(values));
        if (std::getenv("BENCH_VERBOSE"))
            for (const double v : values)
                std::printf(" %.4f", v);
        std::printf("\n");
    }
    return 0;
}

// Reset throughput inside a guest kernel, on exFAT (the kernel driver's FAT ioctls) and on
// ntfs3 (the system.ntfs_attrib word): the tool's RESET handler against hand-written loops
// of the same calls. Static, so that it runs from a bare initramfs (bench/guest_bench.py).
//
//   reset_bench_guest exfat|ntfs3 DIR N ROUNDS
//
// Every round gives N files hidden+system again, then times one method. Prints, in the
// guest's console form, "@@BENCH<TAB>METHOD<TAB>MEDIAN SECONDS" for
//   tool         the RESET handler over the real Linux backends
//   raw-set      per file only the write (exFAT: open, SET ioctl, close; ntfs3: lsetxattr)
//   raw-checked  per file read, write, read back, by path
//   pinned       the same through one O_PATH descriptor per file, as a reset that cannot be
//                redirected must (exFAT: an ioctl descriptor reopened from it): the floor
//                the tool is held to
// and "@@BENCH<TAB>left-by-tool<TAB>COUNT": the files the tool's run left hidden or system.
#include "QuietServices.h"
#include "ResetFiles.h"
#include "Timing.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <linux/msdos_fs.h>
#include <map>
#include <string>
#include <sys/ioctl.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace {

using resetbench::die;
using resetbench::makeFiles;
using resetbench::ntfsName;
using resetbench::Paths;
constexpr std::uint32_t hiddenSystem = 0x06;
constexpr std::uint32_t dosBits = 0x27;

bool fatAttributes(const char* path, unsigned long request, std::uint32_t& value)
{
    const int fd = ::open(path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::ioctl(fd, request, &value) == 0;
    ::close(fd);
    return ok;
}

bool readWord(bool exfat, const char* path, std::uint32_t& value)
{
    if (exfat)
        return fatAttributes(path, FAT_IOCTL_GET_ATTRIBUTES, value);
    return ::lgetxattr(path, ntfsName, &value, sizeof value) == sizeof value;
}

bool writeWord(bool exfat, const char* path, std::uint32_t value)
{
    if (exfat)
        return fatAttributes(path, FAT_IOCTL_SET_ATTRIBUTES, value);
    return ::lsetxattr(path, ntfsName, &value, sizeof value, 0) == 0;
}

void arm(bool exfat, const Paths& paths)
{
    for (const auto& path : paths)
        if (!writeWord(exfat, path.c_str(), hiddenSystem))
            die(path);
}

std::size_t stillFlagged(bool exfat, const Paths& paths)
{
    std::size_t left = 0;
    for (const auto& path : paths) {
        std::uint32_t value = 0;
        if (!readWord(exfat, path.c_str(), value) || (value & dosBits) != 0)
            ++left;
    }
    return left;
}

void rawSet(bool exfat, const Paths& paths)
{
    for (const auto& path : paths)
        writeWord(exfat, path.c_str(), 0);
}

void rawChecked(bool exfat, const Paths& paths)
{
    for (const auto& path : paths) {
        std::uint32_t value = 0;
        if (!readWord(exfat, path.c_str(), value))
            continue;
        const std::uint32_t normal = value & ~dosBits;
        if (normal != value && writeWord(exfat, path.c_str(), normal))
            readWord(exfat, path.c_str(), value);
    }
}

void pinned(bool exfat, const Paths& paths)
{
    for (const auto& path : paths) {
        const resetbench::Pinned object(path.c_str());
        if (!object.usable)
            continue;
        std::uint32_t value = 0;
        if (exfat) {
            const int fd = ::open(object.name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
            if (fd < 0)
                continue;
            if (::ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &value) == 0 && (value & dosBits) != 0) {
                std::uint32_t normal = value & ~dosBits;
                if (::ioctl(fd, FAT_IOCTL_SET_ATTRIBUTES, &normal) == 0)
                    ::ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &value);
            }
            ::close(fd);
            continue;
        }
        if (::getxattr(object.name, ntfsName, &value, sizeof value) != sizeof value)
            continue;
        const std::uint32_t normal = value & ~dosBits;
        if (normal != value && ::setxattr(object.name, ntfsName, &normal, sizeof normal, 0) == 0)
            ::getxattr(object.name, ntfsName, &value, sizeof value);
    }
}

void tool(const Paths& paths)
{
    QuietForm quiet;
    quiet.form.Image1_OLEDragDrop({paths});
    quiet.form.imgStart_Click();
    if (!quiet.reportedAllReset(paths.size()))
        std::printf("@@NOTE\tthe tool's report: %s\n", quiet.view.lastText.c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s exfat|ntfs3 DIR N ROUNDS\n", argv[0]);
        return 2;
    }
    const std::string kind = argv[1];
    if (kind != "exfat" && kind != "ntfs3") {
        std::fprintf(stderr, "unknown kind %s\n", kind.c_str());
        return 2;
    }
    const bool exfat = kind == "exfat";
    const Paths paths = makeFiles(argv[2], std::stoul(argv[3]));
    const int rounds = std::stoi(argv[4]);

    std::size_t leftByTool = 0;
    const std::vector<std::pair<std::string, std::function<void()>>> methods = {
            {"tool",
             [&] {
                 tool(paths);
             }},
            {"raw-set",
             [&] {
                 rawSet(exfat, paths);
             }},
            {"raw-checked",
             [&] {
                 rawChecked(exfat, paths);
             }},
            {"pinned",
             [&] {
                 pinned(exfat, paths);
             }},
    };
    std::map<std::string, std::vector<double>> times;
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t m = 0; m < methods.size(); ++m) {
            const auto& [name, work] = methods[(m + std::size_t(round)) % methods.size()];
            arm(exfat, paths);
            times[name].push_back(seconds(work));
            if (name == "tool")
                leftByTool = std::max(leftByTool, stillFlagged(exfat, paths));
        }
    }
    for (const auto& [name, values] : times)
        std::printf("@@BENCH\t%s\t%.6f\n", name.c_str(), median(values));
    std::printf("@@BENCH\tleft-by-tool\t%zu\n", leftByTool);
    return 0;
}

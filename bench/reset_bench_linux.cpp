// Reset throughput on Linux: the tool's own reset (the RESET handler over the real Linux
// backends) against the minimal pinned loop and the bare two-call loop of ResetFiles.h.
//
//   reset_bench_linux ext4 DIR N ROUNDS   files with user.DOSATTRIB hidden+system, half immutable
//   reset_bench_linux ext4-xattr DIR N ROUNDS   the same without inode flags
//   reset_bench_linux ntfs DIR N ROUNDS   files on an ntfs-3g mount, hidden+system in the NTFS word
//   reset_bench_linux arm KIND DIR N      only prepares the files (for strace runs)
//   reset_bench_linux tool KIND DIR N     only runs the tool once (for strace runs)
// Prints one line per method (tool, pinned, pinned_watch on ext4, bare): "<method> <median
// seconds>", and "mount-id unique|reusable": what statx gives for DIR's mount (reusable before
// Linux 6.8, or with bench_reusable_mount_id preloaded), which decides whether the reset checks
// whether the table of mounts changed at each pin.
#include "QuietServices.h"
#include "ResetFiles.h"
#include "Timing.h"

#include <functional>
#include <map>

namespace {

using namespace resetbench;

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
    std::vector<std::pair<std::string, std::function<void()>>> methods = {
            {"tool",
             [&] {
                 tool(paths);
             }},
            {"pinned",
             [&] {
                 pinned(kind, paths);
             }},
            {"bare",
             [&] {
                 bareTwoCalls(kind, paths);
             }},
    };
    // The pinned loop with one poll of the table of mounts per pin: the floor of the check a
    // kernel before 6.8 needs, and with it what that check costs per path.
    if (kind != "ntfs")
        methods.push_back({"pinned_watch", [&] {
                               pinnedExt4(paths, true);
                           }});
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
    constexpr unsigned mountIdUnique = 0x4000;  // not yet in every <linux/stat.h>
    struct statx mount = {};
    ::statx(AT_FDCWD, dir.c_str(), 0, STATX_MNT_ID | mountIdUnique, &mount);
    std::printf("mount-id %s\n", (mount.stx_mask & mountIdUnique) != 0 ? "unique" : "reusable");
    for (const auto& [name, values] : times) {
        std::printf("%s %.6f", name.c_str(), median(values));
        if (std::getenv("BENCH_VERBOSE"))
            for (const double v : values)
                std::printf(" %.4f", v);
        std::printf("\n");
    }
    return 0;
}

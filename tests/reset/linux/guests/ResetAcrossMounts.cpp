// One reset object kept across mounts and unmounts, as a window kept open while sticks are
// swapped: shell commands (mount, umount, losetup) run between the resets, and every reset
// goes through the same AttributeReset.
//   reset_across_mounts STEP...
//     run COMMAND   runs /bin/sh -c COMMAND; a failure ends the program with 4
//     reset PATH    prints "@@MOUNT<TAB>PATH<TAB>MAJOR:MINOR<TAB>ID<TAB>unique|reusable", what
//                   statx says of PATH's mount, then "@@RESET<TAB>STATUS<TAB>REASON<TAB>PATH"
#include "reset/ResetWords.h"
#include "tests/reset/linux/OutcomeName.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>

namespace {

// Not yet in every <linux/stat.h>.
constexpr unsigned mountIdUnique = 0x4000;

void printMount(const char* path)
{
    struct statx status = {};
    if (::statx(AT_FDCWD, path, AT_SYMLINK_NOFOLLOW, STATX_MNT_ID | mountIdUnique, &status) != 0) {
        std::printf("@@MOUNT\t%s\t-\t-\t%s\n", path, std::strerror(errno));
        return;
    }
    const char* kind = (status.stx_mask & mountIdUnique) != 0 ? "unique"
            : (status.stx_mask & STATX_MNT_ID) != 0           ? "reusable"
                                                              : "none";
    std::printf("@@MOUNT\t%s\t%u:%u\t%llu\t%s\n", path, status.stx_dev_major, status.stx_dev_minor,
                static_cast<unsigned long long>(status.stx_mnt_id), kind);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || argc % 2 == 0) {
        std::fprintf(stderr, "usage: %s {run COMMAND | reset PATH}...\n", argv[0]);
        return 2;
    }
    const auto reset = makeAttributeReset();
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string step = argv[i];
        const char* argument = argv[i + 1];
        std::fflush(stdout);
        if (step == "run") {
            const int status = std::system(argument);
            std::printf("@@RUN\t%d\t%s\n", status, argument);
            if (status != 0)
                return 4;
        } else if (step == "reset") {
            printMount(argument);
            const ResetOutcome outcome = reset->resetToNormal(argument);
            const std::string reason = outcome.done() ? std::string() : describeOutcome(outcome);
            std::printf("@@RESET\t%s\t%s\t%s\n", outcomeName(outcome.status), reason.c_str(),
                        argument);
        } else {
            std::fprintf(stderr, "unknown step %s\n", step.c_str());
            return 2;
        }
    }
    return 0;
}

// Runs a program as another user, with no capabilities left but the ones named (kept through
// the ambient set, so that they survive the exec). Refuses to run it if the result is not
// exactly that.
// Usage: run_as [--keep linux_immutable|fowner]... UID GID PROGRAM ARGS...
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <grp.h>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

bool capabilityByName(const char* name, int& capability)
{
    if (std::strcmp(name, "linux_immutable") == 0)
        capability = CAP_LINUX_IMMUTABLE;
    else if (std::strcmp(name, "fowner") == 0)
        capability = CAP_FOWNER;
    else
        return false;
    return true;
}

// The first 32 capabilities are all these tests name.
bool capabilities(std::uint32_t& effective, std::uint32_t& permitted)
{
    __user_cap_header_struct header = {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (::syscall(SYS_capget, &header, data) != 0)
        return false;
    effective = data[0].effective;
    permitted = data[0].permitted;
    return data[1].effective == 0 && data[1].permitted == 0;
}

bool setCapabilities(std::uint32_t kept)
{
    __user_cap_header_struct header = {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    data[0].effective = data[0].permitted = data[0].inheritable = kept;
    return ::syscall(SYS_capset, &header, data) == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::uint32_t kept = 0;
    int index = 1;
    while (index + 1 < argc && std::strcmp(argv[index], "--keep") == 0) {
        int capability = 0;
        if (!capabilityByName(argv[index + 1], capability)) {
            std::fprintf(stderr, "unknown capability %s\n", argv[index + 1]);
            return 2;
        }
        kept |= 1u << capability;
        index += 2;
    }
    if (argc - index < 3) {
        std::fprintf(stderr, "usage: %s [--keep CAPABILITY]... UID GID PROGRAM ARGS...\n", argv[0]);
        return 2;
    }
    const auto uid = static_cast<uid_t>(std::strtoul(argv[index], nullptr, 10));
    const auto gid = static_cast<gid_t>(std::strtoul(argv[index + 1], nullptr, 10));
    if ((kept && ::prctl(PR_SET_KEEPCAPS, 1, 0, 0, 0) != 0) || ::setgroups(0, nullptr) != 0
        || ::setresgid(gid, gid, gid) != 0 || ::setresuid(uid, uid, uid) != 0) {
        std::perror("dropping to the user");
        return 126;
    }
    if (kept) {
        if (!setCapabilities(kept)) {
            std::perror("capset");
            return 126;
        }
        for (int capability = 0; capability < 32; ++capability) {
            if ((kept & (1u << capability))
                && ::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_RAISE, capability, 0, 0) != 0) {
                std::perror("raising an ambient capability");
                return 126;
            }
        }
    }
    std::uint32_t effective = 0, permitted = 0;
    if (!capabilities(effective, permitted) || effective != kept || permitted != kept
        || ::geteuid() != uid || ::getegid() != gid) {
        std::fprintf(stderr, "the user's capabilities are not what was asked for\n");
        return 126;
    }
    ::execv(argv[index + 2], argv + index + 2);
    std::perror(argv[index + 2]);
    return 127;
}

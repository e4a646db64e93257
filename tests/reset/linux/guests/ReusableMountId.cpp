// Preloaded (LD_PRELOAD) to make this kernel look like one before Linux 6.8: statx never
// gives the unique mount id, only the reusable one, which a new mount takes over as soon as
// the old one is gone.
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr unsigned mountIdUnique = 0x4000;

}  // namespace

extern "C" int statx(int directory, const char* path, int flags, unsigned mask,
                     struct statx* status) noexcept
{
    return static_cast<int>(
            ::syscall(SYS_statx, directory, path, flags, mask & ~mountIdUnique, status));
}

#pragma once
#include "reset/linux/SafeOpen.h"
#include "reset/linux/StepResult.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <sys/stat.h>

namespace linuxreset {

// Not yet in every <linux/stat.h>: a 64-bit mount id that is never reused.
constexpr unsigned statxMountIdUnique = 0x4000;

// One regular file or folder as statx saw it, shared by the backends for one reset. A
// descriptor is opened only when a backend needs one, and then once.
class TargetFile
{
public:
    TargetFile(const char* path, const struct statx& status);

    const char* path() const { return path_; }
    const struct statx& status() const { return status_; }
    bool isFolder() const { return S_ISDIR(status_.stx_mode); }
    dev_t device() const;
    // The mount's unique id where the kernel gives one (6.8+), else its reusable id, else 0.
    std::uint64_t mountId() const;

    // The descriptor, or the result to report when it cannot be had (`step` names the need).
    // Returns -1 and fills `failure` in that case.
    int descriptor(std::string_view step, StepResult& failure);

private:
    const char* path_;
    struct statx status_;
    std::optional<SafeOpen> open_;
};

}  // namespace linuxreset

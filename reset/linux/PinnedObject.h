#pragma once
#include "reset/linux/StepResult.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>

namespace linuxreset {

// Not yet in every <linux/stat.h>: a 64-bit mount id that is never reused.
constexpr unsigned statxMountIdUnique = 0x4000;

// The object a dropped path names, held by an O_PATH descriptor from the moment the path is
// resolved. Every later step reaches that very object through the descriptor, never through
// the path again, so a path swapped while the reset runs cannot send a read to one file and
// the write to another. An O_PATH open reads nothing and opens no FIFO or device.
//
// Resolution never follows the last component ("link", "link/" and "link/." all name the
// link) and follows a symbolic link before it only when it belongs to root or to the user
// running the tool: a link another user may plant in a folder they can write does not lead
// the reset out of what was dropped.
class PinnedObject
{
public:
    explicit PinnedObject(std::string_view path);
    ~PinnedObject();
    PinnedObject(const PinnedObject&) = delete;
    PinnedObject& operator=(const PinnedObject&) = delete;

    // False when the path could not be resolved; failure() says why.
    bool pinned() const { return fd_ >= 0; }
    const StepResult& failure() const { return failure_; }

    const struct statx& status() const { return status_; }
    bool isFolder() const { return S_ISDIR(status_.stx_mode); }
    dev_t device() const;
    // The mount's unique id where the kernel gives one (6.8+), else its reusable id, else 0.
    std::uint64_t mountId() const;
    // Whether mountId() is the unique one. A reusable id passes to the next mount as soon as
    // this one is gone: another stick on the same device number may get it.
    bool mountIdUnique() const { return (status_.stx_mask & statxMountIdUnique) != 0; }

    // The O_PATH descriptor, for fstatfs and the like.
    int pathDescriptor() const { return fd_; }
    // A name that leads to the object itself, for the xattr calls (which take no O_PATH
    // descriptor): /proc/self/fd/N.
    const char* name() const { return procName_.c_str(); }
    // A descriptor that may be read from and take ioctls, opened once on demand from the
    // pinned object (regular files and folders only). -1 with `failure` set when it cannot be
    // had.
    int openDescriptor(StepResult& failure);
    // Whether the dropped path still names this object.
    bool stillNamedByPath() const;

private:
    std::string path_;  // as resolved: trailing slashes and "/." taken away
    int fd_ = -1;
    int openFd_ = -1;
    StepResult failure_;
    struct statx status_ = {};
    std::string procName_;
};

// A path with trailing slashes and trailing "/." components taken away, so that it names
// what its last component names: "dir/link/" is "dir/link". "/" stays "/".
std::string withoutTrailingSlashes(std::string_view path);

}  // namespace linuxreset

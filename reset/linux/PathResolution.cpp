#include "reset/linux/PathResolution.h"

#include <cerrno>
#include <climits>
#include <deque>
#include <fcntl.h>
#include <linux/openat2.h>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>

namespace linuxreset {

namespace {

constexpr int pathFlags = O_PATH | O_NOFOLLOW | O_CLOEXEC;
// The kernel's own limit on links followed in one resolution.
constexpr int mostLinks = 40;

int openWithoutLinks(std::string_view path)
{
    const std::string name(path);
    open_how how{};
    how.flags = pathFlags;
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    return static_cast<int>(::syscall(SYS_openat2, AT_FDCWD, name.c_str(), &how, sizeof how));
}

void prependComponents(std::deque<std::string>& components, std::string_view path)
{
    std::deque<std::string> front;
    for (std::size_t start = 0; start <= path.size();) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > start)
            front.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    components.insert(components.begin(), front.begin(), front.end());
}

class Descriptor
{
public:
    explicit Descriptor(int fd = -1)
        : fd_(fd)
    { }
    ~Descriptor() { reset(-1); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }
    void reset(int fd)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

bool ownedByRootOrMe(const struct statx& link)
{
    return link.stx_uid == 0 || link.stx_uid == ::geteuid();
}

Resolution failed(int error)
{
    return {-1, error, false};
}

Resolution walk(std::string_view path)
{
    Descriptor current(::open(!path.empty() && path.front() == '/' ? "/" : ".",
                              O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (current.get() < 0)
        return failed(errno);
    std::deque<std::string> rest;
    prependComponents(rest, path);
    int links = 0;
    while (!rest.empty()) {
        const std::string name = std::move(rest.front());
        rest.pop_front();
        if (name == "." && !rest.empty())
            continue;
        Descriptor next(::openat(current.get(), name.c_str(), pathFlags));
        if (next.get() < 0)
            return failed(errno);
        if (rest.empty())
            return {next.release(), 0, false};

        struct statx status = {};
        if (::statx(next.get(), "", AT_EMPTY_PATH, STATX_TYPE | STATX_UID, &status) != 0)
            return failed(errno);
        if (S_ISDIR(status.stx_mode)) {
            current.reset(next.release());
            continue;
        }
        if (!S_ISLNK(status.stx_mode))
            return failed(ENOTDIR);
        if (++links > mostLinks)
            return failed(ELOOP);
        if (!ownedByRootOrMe(status))
            return {-1, 0, true};
        std::string target(PATH_MAX, '\0');
        const ssize_t length = ::readlinkat(next.get(), "", target.data(), target.size());
        if (length < 0)
            return failed(errno);
        if (static_cast<std::size_t>(length) >= target.size())
            return failed(ENAMETOOLONG);
        target.resize(static_cast<std::size_t>(length));
        if (!target.empty() && target.front() == '/') {
            current.reset(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
            if (current.get() < 0)
                return failed(errno);
        }
        // The link's target takes its place; its parent folder stays where the walk is.
        prependComponents(rest, target);
        if (rest.empty())
            rest.emplace_back(".");
    }
    // Nothing but "." components: the folder the walk started from.
    return {current.release(), 0, false};
}

}  // namespace

Resolution resolveWithoutFollowingStrangers(std::string_view path)
{
    if (path.empty())
        return failed(ENOENT);
    const int fd = openWithoutLinks(path);
    if (fd >= 0)
        return {fd, 0, false};
    // ELOOP: a link before the last component; ENOSYS, E2BIG, EPERM: no openat2 (before 5.6,
    // or a filter that forbids it); ENAMETOOLONG: a path longer than the kernel takes in one
    // call, whose components may each be fine. Either way the walk decides.
    if (errno != ELOOP && errno != ENOSYS && errno != E2BIG && errno != EPERM
        && errno != ENAMETOOLONG)
        return failed(errno);
    return walk(path);
}

}  // namespace linuxreset

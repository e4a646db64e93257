// Sets and reads DOS attributes with the file systems' own calls, independent of the tool:
// the FAT ioctls (exFAT), the NTFS attribute word (ntfs3, ntfs-3g) and the SMB client's
// dosattrib xattr (cifs). Also tells which file system holds a path.
//
//   raw_attributes get fat|ntfs|ntfs-be|cifs|smb3 PATH
//   raw_attributes set fat|ntfs|ntfs-be|cifs|smb3 PATH VALUE
//   raw_attributes stat PATH        mode, owner and group
//   raw_attributes statfs PATH      the file system's magic
//   raw_attributes mount PATH       the file system type of PATH's mount in mountinfo
//
// Each command prints one line "@@RAW<TAB>command<TAB>kind<TAB>path<TAB>result", where result
// is "0x%08x" (with "/N bytes" for xattrs), "ok", or the errno's name. Exit status 0 when the
// call succeeded, 1 when it failed, 2 on a usage error.
#include <cerrno>
#include <charconv>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <linux/msdos_fs.h>
#include <optional>
#include <string>
#include <string_view>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

struct Result
{
    bool ok = false;
    std::string text;
};

Result failure()
{
    const char* name = ::strerrorname_np(errno);
    return {false, name ? name : std::to_string(errno)};
}

std::string hex(std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08" PRIx32, value);
    return text;
}

const char* xattrName(const std::string& kind)
{
    if (kind == "ntfs")
        return "system.ntfs_attrib";
    if (kind == "ntfs-be")
        return "system.ntfs_attrib_be";
    if (kind == "cifs")
        return "user.cifs.dosattrib";
    if (kind == "smb3")
        return "user.smb3.dosattrib";
    return nullptr;
}

// The FAT ioctls need an open file; O_PATH descriptors cannot take ioctls.
Result fatIoctl(const char* path, unsigned long request, std::uint32_t* value)
{
    const int fd = ::open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return failure();
    const bool ok = ::ioctl(fd, request, value) == 0;
    Result result = ok ? Result{true, {}} : failure();
    ::close(fd);
    return result;
}

Result get(const std::string& kind, const char* path)
{
    std::uint32_t value = 0;
    if (kind == "fat") {
        Result result = fatIoctl(path, FAT_IOCTL_GET_ATTRIBUTES, &value);
        if (result.ok)
            result.text = hex(value);
        return result;
    }
    const char* name = xattrName(kind);
    unsigned char bytes[64] = {};
    const ssize_t length = ::lgetxattr(path, name, bytes, sizeof bytes);
    if (length < 0)
        return failure();
    // Host order for everything but the _be form; shorter values are shown as they come.
    for (ssize_t i = 0; i < length && i < 4; ++i) {
        const int shift = kind == "ntfs-be" ? 8 * (3 - int(i)) : 8 * int(i);
        value |= std::uint32_t(bytes[i]) << shift;
    }
    return {true, hex(value) + "/" + std::to_string(length) + " bytes"};
}

Result set(const std::string& kind, const char* path, std::uint32_t value)
{
    if (kind == "fat")
        return fatIoctl(path, FAT_IOCTL_SET_ATTRIBUTES, &value);
    unsigned char bytes[4];
    for (int i = 0; i < 4; ++i) {
        const int shift = kind == "ntfs-be" ? 8 * (3 - i) : 8 * i;
        bytes[i] = static_cast<unsigned char>(value >> shift);
    }
    if (::lsetxattr(path, xattrName(kind), bytes, sizeof bytes, 0) != 0)
        return failure();
    return {true, "ok"};
}

Result statOf(const char* path)
{
    struct stat st = {};
    if (::lstat(path, &st) != 0)
        return failure();
    char text[64];
    std::snprintf(text, sizeof text, "mode=%04o uid=%u gid=%u", unsigned(st.st_mode & 07777),
                  unsigned(st.st_uid), unsigned(st.st_gid));
    return {true, text};
}

Result magicOf(const char* path)
{
    struct statfs fs = {};
    if (::statfs(path, &fs) != 0)
        return failure();
    return {true, hex(static_cast<std::uint32_t>(fs.f_type))};
}

// mountinfo: "ID PARENT MAJOR:MINOR ROOT MOUNTPOINT OPTIONS [OPTIONAL...] - TYPE SOURCE ...";
// a FUSE file system shows its subtype there ("fuseblk.exfat"), statfs only says FUSE.
Result mountTypeOf(const char* path)
{
    struct stat st = {};
    if (::stat(path, &st) != 0)
        return failure();
    const std::string device
            = std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev));
    std::ifstream mountinfo("/proc/self/mountinfo");
    std::string line;
    std::optional<std::string> type;
    while (std::getline(mountinfo, line)) {
        const auto first = line.find(' ');
        const auto second = line.find(' ', first + 1);
        const auto third = line.find(' ', second + 1);
        if (line.compare(second + 1, third - second - 1, device) != 0)
            continue;
        const auto dash = line.find(" - ");
        if (dash == std::string::npos)
            continue;
        const auto typeEnd = line.find(' ', dash + 3);
        type = line.substr(dash + 3, typeEnd - dash - 3);  // the last mount of it wins
    }
    if (!type) {
        errno = ENOENT;
        return failure();
    }
    return {true, *type};
}

// Hexadecimal with 0x, else decimal. Not strtoul: static glibc's locale look-up in it
// faults inside user-mode Linux.
std::uint32_t parseValue(std::string_view text)
{
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        base = 16;
    }
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size()) {
        std::fprintf(stderr, "not a number: %.*s\n", int(text.size()), text.data());
        std::exit(2);
    }
    return value;
}

int usage(const char* program)
{
    std::fprintf(stderr,
                 "usage: %s get KIND PATH | set KIND PATH VALUE | stat PATH | statfs PATH | "
                 "mount PATH\n  KIND: fat ntfs ntfs-be cifs smb3\n",
                 program);
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return usage(argv[0]);
    const std::string command = argv[1];
    std::string kind = "-";
    const char* path = argv[2];
    Result result;
    if (command == "get" || command == "set") {
        if (argc != (command == "get" ? 4 : 5))
            return usage(argv[0]);
        kind = argv[2];
        path = argv[3];
        if (kind != "fat" && !xattrName(kind))
            return usage(argv[0]);
        result = command == "get" ? get(kind, path) : set(kind, path, parseValue(argv[4]));
        if (command == "set" && result.ok)
            result.text = "ok";
    } else if (argc != 3) {
        return usage(argv[0]);
    } else if (command == "stat") {
        result = statOf(path);
    } else if (command == "statfs") {
        result = magicOf(path);
    } else if (command == "mount") {
        result = mountTypeOf(path);
    } else {
        return usage(argv[0]);
    }
    std::printf("@@RAW\t%s\t%s\t%s\t%s\n", command.c_str(), kind.c_str(), path,
                result.text.c_str());
    return result.ok ? 0 : 1;
}

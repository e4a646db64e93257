#include "ScratchFileSystem.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <linux/magic.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace {

[[noreturn]] void fail(const std::string& what)
{
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

unsigned long fileSystemType(const fs::path& path)
{
    struct statfs info = {};
    return ::statfs(path.c_str(), &info) == 0 ? static_cast<unsigned long>(info.f_type) : 0;
}

fs::path makeTempFolder(const fs::path& base, const std::string& prefix)
{
    std::string pattern = (base / (prefix + "XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr)
        return {};
    return pattern;
}

// Runs a program with arguments, no shell; its exit status, or -1 when it could not start.
int run(const std::vector<std::string>& argv, std::string* output = nullptr)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::dup2(pipeFds[1], STDERR_FILENO);
        std::vector<char*> args;
        for (const std::string& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    std::string text;
    char buffer[512];
    ssize_t got;
    while ((got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(got));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (output)
        *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string wineText(std::uint32_t attributes)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", attributes);
    return text;
}

// A local folder with the attributes in user.DOSATTRIB.
class DosAttribFolder : public ScratchFileSystem
{
public:
    DosAttribFolder(const fs::path& base, unsigned long wantedType, const char* typeName,
                    bool samba)
        : samba_(samba)
    {
        if (fileSystemType(base) != wantedType) {
            unavailable_ = base.string() + " is not on " + typeName;
            return;
        }
        root_ = makeTempFolder(base, "flagwash-reset-");
        if (root_.empty()) {
            unavailable_ = "cannot make a folder in " + base.string();
            return;
        }
        // Kernels before 6.6 keep no user xattrs on tmpfs.
        if (::lsetxattr(root_.c_str(), "user.flagwash-probe", "1", 1, 0) != 0)
            unavailable_ = base.string() + " keeps no user xattrs: " + std::strerror(errno);
        else
            ::lremovexattr(root_.c_str(), "user.flagwash-probe");
    }
    ~DosAttribFolder() override
    {
        if (!root_.empty())
            removeTree(root_);
    }

    void setAttributes(const fs::path& path, std::uint32_t attributes) override
    {
        if (!samba_) {
            writeXattr(path, "user.DOSATTRIB", wineText(attributes));
            return;
        }
        // Laid out as smbd 4.17 writes it: empty text, NUL, version 5 blob with
        // valid_flags = ATTRIB | CREATE_TIME, the attributes and a creation time.
        if (fs::is_directory(fs::symlink_status(path)))
            attributes |= winattr::directory;
        std::string blob("\x00\x00\x05\x00\x05\x00\x00\x00\x11\x00\x00\x00", 12);
        for (int i = 0; i < 4; ++i)
            blob += static_cast<char>((attributes >> (8 * i)) & 0xFF);
        blob += std::string("\x7d\x1e\x13\x4b\x68\x88\xdd\x01", 8);
        writeXattr(path, "user.DOSATTRIB", blob);
    }

    std::uint32_t attributes(const fs::path& path) const override
    {
        const std::string value = readXattr(path, "user.DOSATTRIB");
        if (value == "<none>")
            return 0;
        if (!samba_)
            return static_cast<std::uint32_t>(std::strtoul(value.c_str(), nullptr, 16));
        if (value.size() != 24)
            throw std::runtime_error("unexpected DOSATTRIB length");
        std::uint32_t attributes = 0;
        for (int i = 3; i >= 0; --i)
            attributes = (attributes << 8)
                    | static_cast<unsigned char>(value[static_cast<std::size_t>(12 + i)]);
        return attributes;
    }

    std::string foreignName() const override { return "caf\xE9-latin1"; }

private:
    bool samba_;
};

class NtfsVolume : public ScratchFileSystem
{
public:
    NtfsVolume()
    {
        folder_ = makeTempFolder(fs::temp_directory_path(), "flagwash-ntfs-");
        if (folder_.empty()) {
            unavailable_ = "cannot make a temporary folder";
            return;
        }
        if (::access("/dev/fuse", R_OK | W_OK) != 0) {
            unavailable_ = "no usable /dev/fuse for ntfs-3g";
            return;
        }
        const fs::path image = folder_ / "ntfs.img";
        const fs::path mountPoint = folder_ / "mnt";
        fs::create_directory(mountPoint);
        std::string output;
        const int fd = ::open(image.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        const bool sized = fd >= 0 && ::ftruncate(fd, 16 << 20) == 0;
        if (fd >= 0)
            ::close(fd);
        if (!sized) {
            unavailable_ = "cannot make the NTFS image";
            return;
        }
        if (run({"mkntfs", "-F", "-q", "-f", image.string()}, &output) != 0) {
            unavailable_ = "mkntfs failed (package ntfs-3g): " + output;
            return;
        }
        if (run({"ntfs-3g", image.string(), mountPoint.string()}, &output) != 0) {
            unavailable_ = "ntfs-3g could not mount through FUSE: " + output;
            return;
        }
        mounted_ = mountPoint;
        root_ = mountPoint / "test";
        fs::create_directory(root_);
    }
    ~NtfsVolume() override
    {
        if (!mounted_.empty()) {
            // ntfs-3g leaves with its mount; a lazy unmount never leaves the test hanging.
            if (::umount(mounted_.c_str()) != 0)
                ::umount2(mounted_.c_str(), MNT_DETACH);
        }
        if (!folder_.empty())
            fs::remove_all(folder_);
    }

    void setAttributes(const fs::path& path, std::uint32_t attributes) override
    {
        std::string word;
        for (int i = 0; i < 4; ++i)
            word += static_cast<char>((attributes >> (8 * i)) & 0xFF);
        writeXattr(path, "system.ntfs_attrib", word);
    }

    std::uint32_t attributes(const fs::path& path) const override
    {
        const std::string word = readXattr(path, "system.ntfs_attrib");
        if (word.size() != 4)
            throw std::runtime_error("system.ntfs_attrib is not a word on " + path.string());
        std::uint32_t attributes = 0;
        for (int i = 3; i >= 0; --i)
            attributes = (attributes << 8)
                    | static_cast<unsigned char>(word[static_cast<std::size_t>(i)]);
        return attributes;
    }

    bool checksPermissions() const override { return false; }

    // ntfs-3g refuses names that are not UTF-8 (EILSEQ): its names are UTF-16 on disk.
    std::string foreignName() const override { return "caf\xC3\xA9-utf8"; }

private:
    fs::path folder_;
    fs::path mounted_;
};

std::unique_ptr<ScratchFileSystem> localFolder(bool tmpfs, bool samba)
{
    if (tmpfs)
        return std::make_unique<DosAttribFolder>("/dev/shm", TMPFS_MAGIC, "tmpfs", samba);
    return std::make_unique<DosAttribFolder>(fs::temp_directory_path(), EXT4_SUPER_MAGIC, "ext4",
                                             samba);
}

}  // namespace

ScratchFileSystem::~ScratchFileSystem() = default;

std::unique_ptr<ScratchFileSystem> ScratchFileSystem::make(Kind kind)
{
    switch (kind) {
    case Kind::Ext4Wine:
        return localFolder(false, false);
    case Kind::Ext4Samba:
        return localFolder(false, true);
    case Kind::TmpfsWine:
        return localFolder(true, false);
    case Kind::TmpfsSamba:
        return localFolder(true, true);
    case Kind::Ntfs3g:
        return std::make_unique<NtfsVolume>();
    }
    return nullptr;
}

std::string ScratchFileSystem::kindName(Kind kind)
{
    switch (kind) {
    case Kind::Ext4Wine:
        return "Ext4Wine";
    case Kind::Ext4Samba:
        return "Ext4Samba";
    case Kind::TmpfsWine:
        return "TmpfsWine";
    case Kind::TmpfsSamba:
        return "TmpfsSamba";
    case Kind::Ntfs3g:
        return "Ntfs3g";
    }
    return "?";
}

void PrintTo(ScratchFileSystem::Kind kind, std::ostream* out)
{
    *out << ScratchFileSystem::kindName(kind);
}

std::string readXattr(const fs::path& path, const char* name)
{
    std::string value(4096, '\0');
    const ssize_t length = ::lgetxattr(path.c_str(), name, value.data(), value.size());
    if (length < 0) {
        if (errno == ENODATA)
            return "<none>";
        fail("lgetxattr " + path.string());
    }
    value.resize(static_cast<std::size_t>(length));
    return value;
}

void writeXattr(const fs::path& path, const char* name, const std::string& value)
{
    if (::lsetxattr(path.c_str(), name, value.data(), value.size(), 0) != 0)
        fail("lsetxattr " + path.string());
}

int inodeFlags(const fs::path& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        fail("open " + path.string());
    int flags = 0;
    const int result = ::ioctl(fd, FS_IOC_GETFLAGS, &flags);
    ::close(fd);
    return result == 0 ? flags : -1;
}

void setInodeFlags(const fs::path& path, int flags)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        fail("open " + path.string());
    const int result = ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    const int error = errno;
    ::close(fd);
    errno = error;
    if (result != 0)
        fail("FS_IOC_SETFLAGS " + path.string());
}

void removeTree(const fs::path& path)
{
    std::error_code ignored;
    const fs::file_status status = fs::symlink_status(path, ignored);
    if (fs::is_regular_file(status) || fs::is_directory(status)) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            int flags = 0;
            if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0
                && (flags & (FS_IMMUTABLE_FL | FS_APPEND_FL))) {
                flags &= ~(FS_IMMUTABLE_FL | FS_APPEND_FL);
                ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
            }
            ::close(fd);
        }
    }
    if (fs::is_directory(status)) {
        fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ignored);
        for (const fs::directory_entry& entry : fs::directory_iterator(path, ignored))
            removeTree(entry.path());
    }
    fs::remove(path, ignored);
}

// The Linux reset on real files: ext4 and tmpfs folders (DOS attributes in Wine's and Samba's
// form) and an NTFS image through ntfs-3g, the same cases on each.
#include "ScratchTest.h"

#include "reset/AttributeReset.h"

#include <gtest/gtest.h>

#include <fstream>
#include <linux/capability.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

using Kind = ScratchFileSystem::Kind;
using Status = ResetOutcome::Status;
using Cause = ResetOutcome::Cause;

void writeFile(const fs::path& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// What a reset must never change.
struct Untouchables
{
    mode_t mode;
    uid_t uid;
    gid_t gid;
    off_t size;
    timespec mtime;
    std::string content;

    static Untouchables of(const fs::path& path)
    {
        struct stat st = {};
        EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
        Untouchables taken{st.st_mode, st.st_uid, st.st_gid, st.st_size, st.st_mtim, {}};
        if (S_ISREG(st.st_mode))
            taken.content = readFile(path);
        return taken;
    }

    bool operator==(const Untouchables& other) const
    {
        return mode == other.mode && uid == other.uid && gid == other.gid && size == other.size
                && mtime.tv_sec == other.mtime.tv_sec && mtime.tv_nsec == other.mtime.tv_nsec
                && content == other.content;
    }
};

// Records every open of the watched paths, so a test can show that nothing was opened.
class OpenWatch
{
public:
    OpenWatch()
        : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    { }
    ~OpenWatch() { ::close(fd_); }

    void watch(const fs::path& path)
    {
        ASSERT_GE(::inotify_add_watch(fd_, path.c_str(), IN_OPEN | IN_DONT_FOLLOW), 0) << path;
    }
    int opens() const
    {
        int count = 0;
        alignas(inotify_event) char buffer[4096];
        ssize_t got;
        while ((got = ::read(fd_, buffer, sizeof buffer)) > 0) {
            for (char* at = buffer; at < buffer + got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                count += (event->mask & IN_OPEN) ? 1 : 0;
                at += sizeof(inotify_event) + event->len;
            }
        }
        return count;
    }

private:
    int fd_;
};

class AttributeResetLinux : public ScratchTest
{
protected:
    void SetUp() override
    {
        ScratchTest::SetUp();
        reset_ = makeAttributeReset();
    }

    const fs::path& root() const { return fileSystem_->root(); }
    ScratchFileSystem& fileSystem() { return *fileSystem_; }
    ResetOutcome reset(const fs::path& path) { return reset_->resetToNormal(path); }

    fs::path makeFile(const std::string& name, std::uint32_t attributes)
    {
        const fs::path path = root() / name;
        writeFile(path, "contents of " + name);
        fileSystem_->setAttributes(path, attributes);
        return path;
    }
    fs::path makeFolder(const std::string& name, std::uint32_t attributes)
    {
        const fs::path path = root() / name;
        fs::create_directory(path);
        fileSystem_->setAttributes(path, attributes);
        return path;
    }

private:
    std::unique_ptr<AttributeReset> reset_;
};

std::string kindName(const testing::TestParamInfo<Kind>& info)
{
    return ScratchFileSystem::kindName(info.param);
}

const auto allFileSystems = testing::Values(Kind::Ext4Wine, Kind::Ext4Samba, Kind::TmpfsWine,
                                            Kind::TmpfsSamba, Kind::Ntfs3g);

TEST_P(AttributeResetLinux, ClearsReadOnlyHiddenSystemArchiveAndChangesNothingElse)
{
    struct Case
    {
        const char* label;
        bool folder;
        std::uint32_t attributes;
        bool foreignName = false;
        mode_t mode = 0;  // 0: as created
    };
    using namespace winattr;
    const Case cases[] = {
            {"file-R", false, readOnly},
            {"file-H", false, hidden},
            {"file-S", false, systemFile},
            {"file-A", false, archive},
            {"file-RHSA", false, rhsa},
            {"file-normal", false, 0},
            {"folder-R", true, readOnly},
            {"folder-H", true, hidden},
            {"folder-S", true, systemFile},
            {"folder-A", true, archive},
            {"folder-RHSA", true, rhsa},
            {"folder-normal", true, 0},
            {"read-only-folder", true, readOnly | hidden, false, 0555},
            {"read-only-file", false, readOnly | systemFile, false, 0444},
            {"-named-file", false, hidden | systemFile, true},
            {"-named-folder", true, hidden, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string name = c.foreignName ? fileSystem().foreignName() + c.label : c.label;
        const fs::path path
                = c.folder ? makeFolder(name, c.attributes) : makeFile(name, c.attributes);
        if (c.mode != 0) {
            ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
        }
        const Untouchables before = Untouchables::of(path);
        const std::uint32_t attributesBefore = fileSystem().attributes(path);
        // Without write permission only root may write a user xattr; permissions stay as
        // they are, so a plain user is told the path cannot be reset.
        const bool denied = c.mode != 0 && fileSystem().checksPermissions()
                && !hasCapability(CAP_DAC_OVERRIDE);

        const ResetOutcome outcome = reset(path);

        if (denied) {
            EXPECT_EQ(outcome.status, Status::AccessDenied);
            EXPECT_EQ(outcome.cause, Cause::NotWritable);
            EXPECT_EQ(fileSystem().attributes(path), attributesBefore);
        } else {
            EXPECT_EQ(outcome.status, Status::Done) << outcome.reason;
            EXPECT_EQ(fileSystem().attributes(path) & rhsa, 0u);
        }
        EXPECT_TRUE(Untouchables::of(path) == before);
    }
}

TEST_P(AttributeResetLinux, PathDeletedAfterTheDropIsMissingAndTheOthersAreStillReset)
{
    const fs::path first = makeFile("first", winattr::hidden);
    const fs::path gone = makeFile("gone", winattr::hidden);
    const fs::path goneFolder = makeFolder("gone-folder", winattr::hidden);
    const fs::path last = makeFolder("last", winattr::systemFile);
    fs::remove(gone);
    fs::remove(goneFolder);

    EXPECT_EQ(reset(first).status, Status::Done);
    EXPECT_EQ(reset(gone).status, Status::Missing);
    EXPECT_EQ(reset(goneFolder).status, Status::Missing);
    EXPECT_EQ(reset(root() / "never-there" / "child").status, Status::Missing);
    EXPECT_EQ(reset(first / "below-a-file").status, Status::Missing);  // ENOTDIR
    EXPECT_EQ(reset(last).status, Status::Done);
    EXPECT_EQ(fileSystem().attributes(first) & winattr::rhsa, 0u);
    EXPECT_EQ(fileSystem().attributes(last) & winattr::rhsa, 0u);
}

TEST_P(AttributeResetLinux, FifoSocketAndDeviceAreNeverOpened)
{
    const fs::path fifo = root() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const fs::path socketPath = root() / "socket";
    const int sock = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.native().size(), sizeof address.sun_path);
    socketPath.native().copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(sock);
    struct Case
    {
        fs::path path;
        Cause cause;
    };
    std::vector<Case> cases = {{fifo, Cause::Fifo}, {socketPath, Cause::Socket}};
    const fs::path device = root() / "null-device";
    if (::mknod(device.c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0)
        cases.push_back({device, Cause::Device});  // needs root (CAP_MKNOD)

    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.filename().string());
        // On NTFS the special file is a system-flagged file whose word must stay as it is.
        const std::string before = GetParam() == Kind::Ntfs3g
                ? readXattr(c.path, "system.ntfs_attrib")
                : std::string();
        OpenWatch watch;
        watch.watch(c.path);

        const ResetOutcome outcome = reset(c.path);

        EXPECT_EQ(outcome.status, Status::NotFileOrFolder);
        EXPECT_EQ(outcome.cause, c.cause);
        EXPECT_EQ(watch.opens(), 0);
        if (GetParam() == Kind::Ntfs3g) {
            EXPECT_EQ(readXattr(c.path, "system.ntfs_attrib"), before);
        }
    }
}

TEST_P(AttributeResetLinux, SymlinkIsNotFollowedAndItsTargetKeepsItsFlags)
{
    const fs::path target = makeFile("hidden-target", winattr::hidden | winattr::systemFile);
    const fs::path folderTarget = makeFolder("hidden-folder", winattr::hidden);
    const char* xattrName = GetParam() == Kind::Ntfs3g ? "system.ntfs_attrib" : "user.DOSATTRIB";
    for (const fs::path& pointee : {target, folderTarget}) {
        SCOPED_TRACE(pointee.filename().string());
        const fs::path link = root() / ("link-to-" + pointee.filename().string());
        fs::create_symlink(pointee.filename(), link);
        const std::string targetBefore = readXattr(pointee, xattrName);
        const std::string linkBefore = GetParam() == Kind::Ntfs3g ? readXattr(link, xattrName) : "";

        const ResetOutcome outcome = reset(link);

        EXPECT_EQ(outcome.status, Status::LeftAsIs);
        EXPECT_EQ(outcome.cause, Cause::SymbolicLink);
        EXPECT_EQ(readXattr(pointee, xattrName), targetBefore);
        if (GetParam() == Kind::Ntfs3g) {
            EXPECT_EQ(readXattr(link, xattrName), linkBefore);
        }
    }
}

TEST_P(AttributeResetLinux, FolderIsResetAndItsChildrenKeepTheirFlags)
{
    const fs::path folder = makeFolder("folder", winattr::hidden | winattr::systemFile);
    const fs::path child = folder / "child";
    writeFile(child, "child");
    fileSystem().setAttributes(child, winattr::hidden | winattr::readOnly);
    const fs::path subfolder = folder / "subfolder";
    fs::create_directory(subfolder);
    fileSystem().setAttributes(subfolder, winattr::systemFile);
    const std::uint32_t childBefore = fileSystem().attributes(child);
    const std::uint32_t subfolderBefore = fileSystem().attributes(subfolder);

    EXPECT_EQ(reset(folder).status, Status::Done);

    EXPECT_EQ(fileSystem().attributes(folder) & winattr::rhsa, 0u);
    EXPECT_EQ(fileSystem().attributes(child), childBefore);
    EXPECT_EQ(fileSystem().attributes(subfolder), subfolderBefore);
}

TEST_P(AttributeResetLinux, FileNeedingOnlyAnXattrIsNotOpened)
{
    // The first path on a device may probe what it supports; from then on a hidden file
    // costs its status and its xattrs, and no open.
    EXPECT_EQ(reset(makeFile("first", winattr::hidden)).status, Status::Done);
    const fs::path path = makeFile("second", winattr::hidden | winattr::archive);
    OpenWatch watch;
    watch.watch(path);

    EXPECT_EQ(reset(path).status, Status::Done);

    EXPECT_EQ(watch.opens(), 0);
    EXPECT_EQ(fileSystem().attributes(path) & winattr::rhsa, 0u);
}

INSTANTIATE_TEST_SUITE_P(LinuxFileSystems, AttributeResetLinux, allFileSystems, kindName);

}  // namespace

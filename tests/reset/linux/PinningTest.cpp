// A dropped path names one object, and the reset works on that object alone: whatever shape the
// path has (a trailing slash, "/.", links before it), and whatever another user does to the path
// while the reset runs.
#include "ChildReset.h"
#include "ScratchFileSystem.h"

#include "reset/AttributeReset.h"
#include "reset/ResetWords.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <linux/capability.h>
#include <linux/filter.h>
#include <linux/fs.h>
#include <linux/seccomp.h>
#include <set>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Status = ResetOutcome::Status;
using Cause = ResetOutcome::Cause;
using Kind = ScratchFileSystem::Kind;
constexpr uid_t nobody = 65534;

void writeFile(const fs::path& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

// What the kernel changes on any write to an inode, an xattr write of the same value included.
std::pair<long long, unsigned> changeTime(const fs::path& path)
{
    struct statx status = {};
    EXPECT_EQ(::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_CTIME, &status), 0);
    return {status.stx_ctime.tv_sec, status.stx_ctime.tv_nsec};
}

// An object held open across renames, read and changed through /proc/self/fd.
class Held
{
public:
    explicit Held(const fs::path& path)
        : fd_(::open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC))
    {
        EXPECT_GE(fd_, 0) << path;
    }
    ~Held() { ::close(fd_); }
    fs::path name() const { return "/proc/self/fd/" + std::to_string(fd_); }

    std::string dosAttrib() const
    {
        std::string value(256, '\0');
        const ssize_t length
                = ::getxattr(name().c_str(), "user.DOSATTRIB", value.data(), value.size());
        if (length < 0)
            return "<none>";
        value.resize(static_cast<std::size_t>(length));
        return value;
    }
    void setDosAttrib(const std::string& value) const
    {
        ASSERT_EQ(::setxattr(name().c_str(), "user.DOSATTRIB", value.data(), value.size(), 0), 0);
    }
    int inodeFlags() const
    {
        const int fd = ::open(name().c_str(), O_RDONLY | O_CLOEXEC);
        int flags = -1;
        if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0)
            flags = -1;
        ::close(fd);
        return flags;
    }
    // After a reset counted as done: nothing of what it had is left on the object.
    void expectReset(bool immutable) const
    {
        if (immutable) {
            EXPECT_EQ(inodeFlags() & FS_IMMUTABLE_FL, 0);
        }
        EXPECT_EQ(dosAttrib(), "0x0");
    }
    // Its flags given back for the next round.
    void rearm(const std::string& dos, bool immutable) const
    {
        setDosAttrib(dos);
        if (immutable)
            setImmutable(true);
    }

    // Sets or clears the immutable flag alone; ext4 refuses to lose some of the others.
    void setImmutable(bool immutable) const
    {
        const int fd = ::open(name().c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        int flags = 0;
        EXPECT_EQ(::ioctl(fd, FS_IOC_GETFLAGS, &flags), 0);
        flags = immutable ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        EXPECT_EQ(::ioctl(fd, FS_IOC_SETFLAGS, &flags), 0) << std::strerror(errno);
        ::close(fd);
    }

private:
    int fd_;
};

class Pinning : public testing::Test
{
protected:
    void SetUp() override
    {
        fileSystem_ = ScratchFileSystem::make(Kind::Ext4Wine);
        if (!fileSystem_->unavailable().empty())
            GTEST_SKIP() << fileSystem_->unavailable();
        reset_ = makeAttributeReset();
    }

    const fs::path& root() const { return fileSystem_->root(); }
    ResetOutcome reset(const fs::path& path) { return reset_->resetToNormal(path); }
    fs::path makeFile(const fs::path& path, const std::string& dos)
    {
        writeFile(path, "contents of " + path.filename().string());
        writeXattr(path, "user.DOSATTRIB", dos);
        return path;
    }
    fs::path makeFolder(const fs::path& path, const std::string& dos)
    {
        fs::create_directory(path);
        writeXattr(path, "user.DOSATTRIB", dos);
        return path;
    }
    // A link that belongs to another user, as one planted in a folder that user may write.
    void strangersLink(const fs::path& target, const fs::path& link)
    {
        fs::create_symlink(target, link);
        ASSERT_EQ(::lchown(link.c_str(), nobody, nobody), 0) << "needs root (CAP_CHOWN)";
    }

    void raceTheDroppedNameAgainstDecoys(bool immutable);

    std::unique_ptr<ScratchFileSystem> fileSystem_;
    std::unique_ptr<AttributeReset> reset_;
};

TEST_F(Pinning, EveryShapeOfAPathNamesWhatItsLastComponentNames)
{
    const fs::path folder = makeFolder(root() / "folder", "0x6");
    const fs::path inner = makeFile(folder / "inner", "0x2");
    const fs::path target = makeFolder(root() / "target", "0x6");
    fs::create_symlink("target", root() / "link");
    fs::create_symlink("nowhere", root() / "dangling");
    ASSERT_EQ(::mkfifo((root() / "fifo").c_str(), 0600), 0);
    fs::create_symlink("fifo", root() / "fifo-link");
    fs::create_symlink("folder", root() / "own-link");

    struct Case
    {
        std::string path;  // under root()
        Status status;
        Cause cause;
        fs::path reset;  // what reads normal afterwards, if anything
    };
    const Case cases[] = {
            {"link", Status::LeftAsIs, Cause::SymbolicLink, {}},
            {"link/", Status::LeftAsIs, Cause::SymbolicLink, {}},
            {"link/.", Status::LeftAsIs, Cause::SymbolicLink, {}},
            {"link//./", Status::LeftAsIs, Cause::SymbolicLink, {}},
            {"dangling", Status::LeftAsIs, Cause::SymbolicLink, {}},
            {"dangling/", Status::LeftAsIs, Cause::SymbolicLink, {}},
            {"fifo-link", Status::LeftAsIs, Cause::SymbolicLink, {}},
            {"fifo-link/.", Status::LeftAsIs, Cause::SymbolicLink, {}},
            {"fifo/", Status::NotFileOrFolder, Cause::Fifo, {}},
            // A link of the user's own before the last component is followed.
            {"own-link/inner", Status::Done, Cause::None, inner},
            {"folder/./inner", Status::Done, Cause::None, inner},
            {"folder/", Status::Done, Cause::None, folder},
            {"folder/.", Status::Done, Cause::None, folder},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        writeXattr(folder, "user.DOSATTRIB", "0x6");
        writeXattr(inner, "user.DOSATTRIB", "0x2");
        const auto targetChanged = changeTime(target);

        const ResetOutcome outcome = reset(root().string() + "/" + c.path);

        EXPECT_EQ(outcome.status, c.status);
        EXPECT_EQ(outcome.cause, c.cause);
        EXPECT_EQ(changeTime(target), targetChanged);
        EXPECT_EQ(readXattr(target, "user.DOSATTRIB"), "0x6");
        for (const fs::path& other : {folder, inner})
            EXPECT_EQ(readXattr(other, "user.DOSATTRIB"),
                      other == c.reset          ? "0x0"
                              : other == folder ? "0x6"
                                                : "0x2")
                    << other;
    }
}

TEST_F(Pinning, AnotherUsersLinkBeforeTheLastComponentIsNotFollowed)
{
    if (!hasCapability(CAP_CHOWN))
        GTEST_SKIP() << "giving a link to another user needs root (CAP_CHOWN)";
    const fs::path elsewhere = makeFolder(root() / "elsewhere", "0x2");
    const fs::path file = makeFile(elsewhere / "file", "0x6");
    strangersLink(elsewhere, root() / "planted");
    const auto before = changeTime(file);

    const ResetOutcome outcome = reset(root() / "planted" / "file");

    EXPECT_EQ(outcome.status, Status::LeftAsIs);
    EXPECT_EQ(outcome.cause, Cause::ThroughStrangersLink);
    EXPECT_EQ(readXattr(file, "user.DOSATTRIB"), "0x6");
    EXPECT_EQ(changeTime(file), before);
}

// Exchanges two names as fast as it can, as any user who may write their folder can: in one
// step (RENAME_EXCHANGE), or with three renames on file systems that lack it (FUSE).
class Swapper
{
public:
    enum class Way { Exchange, ThreeRenames };

    Swapper(fs::path a, fs::path b, Way way = Way::Exchange)
        : a_(std::move(a))
        , b_(std::move(b))
        , thread_([this, way] {
            const fs::path aside = a_.string() + ".aside";
            while (!stop_) {
                if (way == Way::Exchange) {
                    if (::renameat2(AT_FDCWD, a_.c_str(), AT_FDCWD, b_.c_str(), RENAME_EXCHANGE)
                        == 0)
                        ++swaps_;
                    continue;
                }
                ::rename(a_.c_str(), aside.c_str());
                ::rename(b_.c_str(), a_.c_str());
                ::rename(aside.c_str(), b_.c_str());
                ++swaps_;
            }
        })
    { }
    ~Swapper()
    {
        stop_ = true;
        thread_.join();
    }
    long swaps() const { return swaps_; }

private:
    fs::path a_, b_;
    std::atomic<bool> stop_{false};
    std::atomic<long> swaps_{0};
    std::thread thread_;
};

// A writer blocked in opening a FIFO: it gets through once someone opens it for reading.
class FifoOpenCounter
{
public:
    explicit FifoOpenCounter(fs::path fifo)
        : fifo_(std::move(fifo))
        , thread_([this] {
            for (;;) {
                const int fd = ::open(fifo_.c_str(), O_WRONLY | O_CLOEXEC);
                if (stop_) {
                    ::close(fd);
                    break;
                }
                if (fd >= 0)
                    ++opens_;
                ::close(fd);
            }
        })
    { }
    ~FifoOpenCounter()
    {
        stop_ = true;
        // Let the writer through once more, so it sees it is done.
        const int fd = ::open(fifo_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        thread_.join();
        ::close(fd);
    }
    long opens() const { return opens_; }

private:
    fs::path fifo_;
    std::atomic<bool> stop_{false};
    std::atomic<long> opens_{0};
    std::thread thread_;
};

// Resets `dropped` again and again while the swapper runs, until both kinds of outcome were
// seen (or a few seconds passed). After each Done the real object must read normal; it is then
// given its flags again through `rearm`.
struct RaceTally
{
    long done = 0;
    long refused = 0;
    std::set<Cause> causes;
};

template<typename Check, typename Rearm>
RaceTally raceResets(AttributeReset& reset, const fs::path& dropped, Check check, Rearm rearm)
{
    using Clock = std::chrono::steady_clock;
    RaceTally tally;
    const auto start = Clock::now();
    while (Clock::now() - start < std::chrono::seconds(5)) {
        const ResetOutcome outcome = reset.resetToNormal(dropped);
        if (outcome.done()) {
            ++tally.done;
            check();
            rearm();
        } else {
            ++tally.refused;
            tally.causes.insert(outcome.cause);
        }
        if (tally.done >= 20 && tally.refused >= 20
            && Clock::now() - start > std::chrono::seconds(1))
            break;
    }
    return tally;
}

TEST_F(Pinning, AFolderSwappedForAStrangersLinkNeverLeadsTheResetOutside)
{
    if (!hasCapability(CAP_CHOWN))
        GTEST_SKIP() << "giving a link to another user needs root (CAP_CHOWN)";
    const fs::path shared = root() / "shared";
    fs::create_directory(shared);
    const fs::path folder = shared / "folder";
    fs::create_directory(folder);
    const fs::path dropped = makeFile(folder / "file", "0x6");
    const fs::path other = root() / "other";
    fs::create_directory(other);
    const fs::path outside = makeFile(other / "file", "0x2");
    strangersLink(other, shared / "swap");
    const auto outsideChanged = changeTime(outside);
    const Held real(dropped);

    RaceTally tally;
    long swaps = 0;
    {
        const Swapper swapper(folder, shared / "swap");
        tally = raceResets(
                *reset_, dropped, [&] { real.expectReset(false); },
                [&] { real.rearm("0x6", false); });
        swaps = swapper.swaps();
    }

    EXPECT_GT(swaps, 0);
    EXPECT_GT(tally.done, 0);
    EXPECT_GT(tally.refused, 0);
    for (const Cause cause : tally.causes)
        EXPECT_TRUE(cause == Cause::ThroughStrangersLink || cause == Cause::Replaced)
                << describeOutcome({Status::Failed, {}, cause});
    EXPECT_EQ(readXattr(outside, "user.DOSATTRIB"), "0x2");
    EXPECT_EQ(changeTime(outside), outsideChanged);
}

TEST_F(Pinning, AFolderSwappedForALinkToAFifoNeverOpensTheFifo)
{
    if (!hasCapability(CAP_CHOWN) || !hasCapability(CAP_LINUX_IMMUTABLE))
        GTEST_SKIP() << "needs root (CAP_CHOWN for the link, CAP_LINUX_IMMUTABLE for chattr +i)";
    const fs::path shared = root() / "shared";
    fs::create_directory(shared);
    const fs::path folder = shared / "folder";
    fs::create_directory(folder);
    // Immutable, so that the reset has to open the file for the ioctl.
    const fs::path dropped = makeFile(folder / "file", "0x6");
    const Held real(dropped);
    real.setImmutable(true);
    const fs::path other = root() / "other";
    fs::create_directory(other);
    ASSERT_EQ(::mkfifo((other / "file").c_str(), 0600), 0);
    strangersLink(other, shared / "swap");

    RaceTally tally;
    long opens = 0;
    {
        const FifoOpenCounter counter(other / "file");
        const Swapper swapper(folder, shared / "swap");
        tally = raceResets(
                *reset_, dropped, [&] { real.expectReset(true); },
                [&] { real.rearm("0x6", true); });
        opens = counter.opens();
    }
    real.setImmutable(false);

    EXPECT_EQ(opens, 0);
    EXPECT_GT(tally.done, 0);
    EXPECT_GT(tally.refused, 0);
}

// The kind of a volume is learnt once per mount; a path that leads elsewhere halfway through
// that first visit must not teach the NTFS volume that it is some other file system.
TEST(PinnedFileSystemKind, ASwapDuringTheFirstVisitOfAVolumeDoesNotSpoilWhatItIs)
{
    const auto ntfs = ScratchFileSystem::make(Kind::Ntfs3g);
    if (!ntfs->unavailable().empty())
        GTEST_SKIP() << ntfs->unavailable();
    const auto ext4 = ScratchFileSystem::make(Kind::Ext4Wine);
    if (!ext4->unavailable().empty())
        GTEST_SKIP() << ext4->unavailable();
    const fs::path elsewhere = ext4->root() / "folder";
    fs::create_directory(elsewhere);
    writeFile(elsewhere / "file", "on ext4");
    ext4->setAttributes(elsewhere / "file", winattr::hidden);
    const fs::path folder = ntfs->root() / "folder";
    fs::create_directory(folder);
    writeFile(folder / "file", "on ntfs");
    ntfs->setAttributes(folder / "file", winattr::hidden | winattr::archive);
    const fs::path stable = ntfs->root() / "stable";
    writeFile(stable, "on ntfs too");
    // The user's own link, so it is followed.
    fs::create_symlink(elsewhere, ntfs->root() / "swap");

    int spoiled = 0;
    long swaps = 0;
    {
        const Swapper swapper(folder, ntfs->root() / "swap", Swapper::Way::ThreeRenames);
        using Clock = std::chrono::steady_clock;
        const auto start = Clock::now();
        for (int round = 0; round < 400 && Clock::now() - start < std::chrono::seconds(4);
             ++round) {
            const auto reset = makeAttributeReset();
            reset->resetToNormal(folder / "file");
            ntfs->setAttributes(stable, winattr::hidden | winattr::systemFile | winattr::archive);
            const ResetOutcome outcome = reset->resetToNormal(stable);
            if (outcome.status != Status::Done || (ntfs->attributes(stable) & winattr::rhsa) != 0)
                ++spoiled;
        }
        swaps = swapper.swaps();
    }
    EXPECT_GT(swaps, 0);
    EXPECT_EQ(spoiled, 0);
}

// The dropped name swapped for a FIFO or a link again and again while it is reset: never done
// for what is not the file, no FIFO ever opened, and the link's target never changed.
void Pinning::raceTheDroppedNameAgainstDecoys(bool immutable)
{
    const fs::path target = makeFile(root() / "target", "0x2");
    const auto targetChanged = changeTime(target);
    struct Case
    {
        const char* decoy;
        bool immutable;  // so that the reset has to open the file for the ioctl
    };
    const Case cases[] = {{"fifo", immutable}, {"link", immutable}};
    for (const Case& c : cases) {
        const std::string label = std::string(c.decoy) + (c.immutable ? "-immutable" : "");
        SCOPED_TRACE(label);
        const bool fifo = std::string(c.decoy) == "fifo";
        const fs::path dropped = makeFile(root() / ("file-" + label), "0x6");
        const fs::path decoy = root() / ("decoy-" + label);
        if (fifo)
            ASSERT_EQ(::mkfifo(decoy.c_str(), 0600), 0);
        else
            fs::create_symlink(target, decoy);
        const Held real(dropped);
        if (c.immutable)
            real.setImmutable(true);

        RaceTally tally;
        long opens = 0;
        {
            std::unique_ptr<FifoOpenCounter> counter;
            if (fifo) {
                // Counted through a second name that the swap leaves alone.
                const fs::path anchor = root() / ("anchor-" + label);
                fs::create_hard_link(decoy, anchor);
                counter = std::make_unique<FifoOpenCounter>(anchor);
            }
            const Swapper swapper(dropped, decoy);
            tally = raceResets(
                    *reset_, dropped, [&] { real.expectReset(c.immutable); },
                    [&] { real.rearm("0x6", c.immutable); });
            if (counter)
                opens = counter->opens();
        }
        if (c.immutable)
            real.setImmutable(false);

        EXPECT_EQ(opens, 0);
        EXPECT_GT(tally.done, 0);
        EXPECT_GT(tally.refused, 0);
        for (const Cause cause : tally.causes)
            EXPECT_TRUE(cause == Cause::Fifo || cause == Cause::SymbolicLink
                        || cause == Cause::Replaced)
                    << describeOutcome({Status::Failed, {}, cause});
    }
    EXPECT_EQ(readXattr(target, "user.DOSATTRIB"), "0x2");
    EXPECT_EQ(changeTime(target), targetChanged);
}

TEST_F(Pinning, TheDroppedNameSwappedForAFifoOrALinkIsNeverDoneWhileTheFileKeepsItsFlags)
{
    raceTheDroppedNameAgainstDecoys(false);
}

// The same with the file locked, so that the reset has to open it for the inode flags.
TEST_F(Pinning, TheSwappedNameOfALockedFileIsNeverOpenedAsSomethingElse)
{
    if (!hasCapability(CAP_LINUX_IMMUTABLE))
        GTEST_SKIP() << "chattr +i needs root (CAP_LINUX_IMMUTABLE)";
    raceTheDroppedNameAgainstDecoys(true);
}

// As a sandbox or a kernel before 5.6 has it: openat2 answers ENOSYS, everything else works.
bool withoutOpenat2()
{
    sock_filter program[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_openat2, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog filter{static_cast<unsigned short>(std::size(program)), program};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0
            && ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) == 0
            && ::syscall(SYS_openat2, AT_FDCWD, "/", nullptr, 0) == -1 && errno == ENOSYS;
}

// A file deeper than the kernel takes a path in one call (4096 bytes): made, read and checked a
// folder at a time, as nothing else reaches it.
class DeepFile
{
public:
    DeepFile(const fs::path& root, const std::string& dos)
        : path_(root)
    {
        fs::create_directory(root);
        folders_.push_back(::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        while (path_.native().size() < 4400) {
            EXPECT_EQ(::mkdirat(folders_.back(), folderName.c_str(), 0755), 0);
            folders_.push_back(::openat(folders_.back(), folderName.c_str(),
                                        O_PATH | O_DIRECTORY | O_CLOEXEC));
            path_ /= folderName;
        }
        fd_ = ::openat(folders_.back(), fileName, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        path_ /= fileName;
        EXPECT_GE(fd_, 0);
        EXPECT_EQ(::fsetxattr(fd_, "user.DOSATTRIB", dos.data(), dos.size(), 0), 0);
    }
    // Taken down a folder at a time too: no path reaches the bottom.
    ~DeepFile()
    {
        ::close(fd_);
        ::unlinkat(folders_.back(), fileName, 0);
        for (std::size_t level = folders_.size() - 1; level > 0; --level) {
            ::close(folders_[level]);
            ::unlinkat(folders_[level - 1], folderName.c_str(), AT_REMOVEDIR);
        }
        ::close(folders_.front());
    }
    DeepFile(const DeepFile&) = delete;
    DeepFile& operator=(const DeepFile&) = delete;

    const fs::path& path() const { return path_; }
    std::string dosAttrib() const
    {
        std::string value(256, '\0');
        const ssize_t length = ::fgetxattr(fd_, "user.DOSATTRIB", value.data(), value.size());
        value.resize(length < 0 ? 0 : static_cast<std::size_t>(length));
        return value;
    }

private:
    static inline const std::string folderName = std::string(200, 'd');
    static constexpr const char* fileName = "hidden.txt";
    fs::path path_;
    std::vector<int> folders_;
    int fd_ = -1;
};

TEST_F(Pinning, APathLongerThanTheKernelTakesInOneCallIsResetAndDone)
{
    const fs::path twin = makeFile(root() / "twin", "0x6");
    ASSERT_TRUE(reset(twin).done());
    const std::string normal = readXattr(twin, "user.DOSATTRIB");
    struct Case
    {
        const char* label;
        bool (*weaken)();
    };
    const Case cases[] = {{"with openat2",
                           [] {
                               return true;
                           }},
                          {"openat2 filtered out", withoutOpenat2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const DeepFile deep(root() / c.label, "0x6");
        ASSERT_GT(deep.path().native().size(), 4096u);

        const ResetOutcome outcome = resetInChild(deep.path(), c.weaken);

        EXPECT_EQ(outcome.status, Status::Done) << describeOutcome(outcome) << outcome.reason;
        EXPECT_EQ(deep.dosAttrib(), normal);
    }
}

// A name no file system can hold is said so in plain words, not in the system's.
TEST_F(Pinning, ANameLongerThanAnyFileSystemAllowsIsSaidPlainly)
{
    const ResetOutcome outcome = reset(root() / std::string(300, 'n'));

    EXPECT_EQ(outcome.cause, Cause::NameTooLong);
    EXPECT_EQ(describeOutcome(outcome),
              "a name in its path is longer than the disk allows, so nothing can be there");
}

}  // namespace

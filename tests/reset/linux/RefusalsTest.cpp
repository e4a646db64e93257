// Paths the user may not change: the reset says why in a few words and leaves them as they
// were. The cases need root to set up (another owner, a mount); the reset itself then runs as
// nobody or on a read-only mount.
#include "ScratchTest.h"

#include "reset/AttributeReset.h"
#include "reset/ResetWords.h"

#include <gtest/gtest.h>

#include <fstream>
#include <linux/capability.h>
#include <linux/fs.h>
#include <sys/mount.h>
#include <sys/stat.h>

namespace {

using Kind = ScratchFileSystem::Kind;
using Status = ResetOutcome::Status;

class Refusals : public ScratchTest
{
protected:
    Refusals()
        : ScratchTest({CAP_SETUID, CAP_SETGID},
                      "acting as another user needs root (CAP_SETUID, CAP_SETGID)")
    { }
};

TEST_P(Refusals, AnotherUsersPathsAreReportedAndKeepTheirFlags)
{
    const fs::path root = fileSystem_->root();
    ASSERT_EQ(::chmod(root.c_str(), 0755), 0);
    const fs::path file = root / "roots-file";
    std::ofstream(file) << "data";
    const fs::path folder = root / "roots-folder";
    fs::create_directory(folder);
    const fs::path closed = root / "closed";
    fs::create_directory(closed);
    const fs::path unreachable = closed / "file";
    std::ofstream(unreachable) << "data";
    ASSERT_EQ(::chmod(closed.c_str(), 0700), 0);
    struct Case
    {
        fs::path path;
        ResetOutcome::Cause cause;
    };
    using Cause = ResetOutcome::Cause;
    const Case cases[] = {
            {file, Cause::OwnedByOtherUser},
            {folder, Cause::OwnedByOtherUser},
            {unreachable, Cause::FolderClosed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.filename().string());
        fileSystem_->setAttributes(c.path, winattr::hidden | winattr::systemFile);
        const std::string before = readXattr(c.path, "user.DOSATTRIB");

        const ResetOutcome outcome = resetInChild(c.path, becomeNobody);

        EXPECT_EQ(outcome.status, Status::AccessDenied);
        EXPECT_EQ(outcome.cause, c.cause);
        EXPECT_EQ(readXattr(c.path, "user.DOSATTRIB"), before);
    }
}

// As a plain user meets them, in the report's own words: a file of their own that is locked,
// and a file of another user.
TEST_P(Refusals, APlainUserIsToldWhatStandsInTheWayAndWhatToDo)
{
    if (!hasCapability(CAP_LINUX_IMMUTABLE) || !hasCapability(CAP_CHOWN))
        GTEST_SKIP() << "setting up a locked file of another user needs root";
    constexpr uid_t nobody = 65534;
    const fs::path root = fileSystem_->root();
    ASSERT_EQ(::chmod(root.c_str(), 0755), 0);
    const fs::path own = root / "own-but-locked";
    std::ofstream(own) << "data";
    fileSystem_->setAttributes(own, winattr::hidden);
    ASSERT_EQ(::chown(own.c_str(), nobody, nobody), 0);
    if (inodeFlags(own) < 0)
        GTEST_SKIP() << "this file system has no inode flags";
    setInodeFlags(own, inodeFlags(own) | FS_IMMUTABLE_FL);
    // Locked, and its mode keeps even its owner out: the lock is what stands in the way, since
    // no permission lets its owner lift it.
    const fs::path shut = root / "own-locked-and-shut";
    std::ofstream(shut) << "data";
    fileSystem_->setAttributes(shut, winattr::hidden);
    ASSERT_EQ(::chown(shut.c_str(), nobody, nobody), 0);
    ASSERT_EQ(::chmod(shut.c_str(), 0), 0);
    setInodeFlags(shut, inodeFlags(shut) | FS_APPEND_FL);
    const fs::path others = root / "roots";
    std::ofstream(others) << "data";
    fileSystem_->setAttributes(others, winattr::hidden);

    const ResetOutcome locked = resetInChild(own, becomeNobody);
    const ResetOutcome lockedAndShut = resetInChild(shut, becomeNobody);
    const ResetOutcome foreign = resetInChild(others, becomeNobody);
    setInodeFlags(own, inodeFlags(own) & ~FS_IMMUTABLE_FL);
    setInodeFlags(shut, inodeFlags(shut) & ~FS_APPEND_FL);

    for (const ResetOutcome& outcome : {locked, lockedAndShut}) {
        EXPECT_EQ(outcome.cause, ResetOutcome::Cause::Locked);
        EXPECT_EQ(describeOutcome(outcome),
                  "locked against changes (immutable or append-only): only an administrator can "
                  "unlock it; run Flagwash as root");
    }
    EXPECT_EQ(foreign.cause, ResetOutcome::Cause::OwnedByOtherUser);
    EXPECT_EQ(describeOutcome(foreign),
              "owned by another user: only its owner or an administrator can change it");
}

INSTANTIATE_TEST_SUITE_P(LinuxFileSystems, Refusals,
                         testing::Values(Kind::Ext4Wine, Kind::TmpfsSamba),
                         [](const testing::TestParamInfo<Kind>& test) {
                             return ScratchFileSystem::kindName(test.param);
                         });

// A tmpfs of the test's own, remounted read-only after its file got its flags.
TEST(LinuxReadOnlyMount, IsReportedAsAccessDeniedWithItsReason)
{
    if (!hasCapability(CAP_SYS_ADMIN))
        GTEST_SKIP() << "mounting a tmpfs needs root (CAP_SYS_ADMIN)";
    std::string folder = (fs::temp_directory_path() / "flagwash-ro-XXXXXX").string();
    ASSERT_NE(::mkdtemp(folder.data()), nullptr);
    ASSERT_EQ(::mount("flagwash", folder.c_str(), "tmpfs", 0, "size=1m"), 0);
    const fs::path file = fs::path(folder) / "hidden";
    std::ofstream(file) << "data";
    writeXattr(file, "user.DOSATTRIB", "0x2");
    ASSERT_EQ(::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);

    const ResetOutcome outcome = makeAttributeReset()->resetToNormal(file);

    EXPECT_EQ(outcome.status, Status::AccessDenied);
    EXPECT_EQ(outcome.cause, ResetOutcome::Cause::ReadOnlyDisk);
    EXPECT_EQ(readXattr(file, "user.DOSATTRIB"), "0x2");
    ::umount(folder.c_str());
    fs::remove(folder);
}

}  // namespace

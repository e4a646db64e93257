// chattr +i / +a on ext4 and tmpfs: cleared first, so that the DOS attributes behind them can
// be cleared too; every other inode flag stays. Needs root (CAP_LINUX_IMMUTABLE).
#include "ScratchTest.h"

#include "reset/AttributeReset.h"

#include <gtest/gtest.h>

#include <fstream>
#include <linux/capability.h>
#include <linux/fs.h>

namespace {

using Kind = ScratchFileSystem::Kind;
using Status = ResetOutcome::Status;

class InodeFlagsReset : public ScratchTest
{
protected:
    InodeFlagsReset()
        : ScratchTest({CAP_LINUX_IMMUTABLE},
                      "setting chattr +i/+a needs root (CAP_LINUX_IMMUTABLE)")
    { }

    // A file or folder with its DOS attributes and then its inode flags set, in that order,
    // since the flags forbid the xattr write.
    fs::path make(const std::string& name, bool folder, std::uint32_t dos, int flags)
    {
        const fs::path path = fileSystem_->root() / name;
        if (folder)
            fs::create_directory(path);
        else
            std::ofstream(path) << "data";
        fileSystem_->setAttributes(path, dos);
        setInodeFlags(path, inodeFlags(path) | flags);
        return path;
    }
};

TEST_P(InodeFlagsReset, ImmutableAndAppendOnlyAreClearedBeforeTheDosAttributes)
{
    struct Case
    {
        const char* label;
        bool folder;
        int flags;
    };
    const Case cases[] = {
            {"file-immutable", false, FS_IMMUTABLE_FL},
            {"file-append-only", false, FS_APPEND_FL},
            {"file-both", false, FS_IMMUTABLE_FL | FS_APPEND_FL},
            {"file-both-and-nodump", false, FS_IMMUTABLE_FL | FS_APPEND_FL | FS_NODUMP_FL},
            {"folder-immutable", true, FS_IMMUTABLE_FL},
            {"folder-append-only-and-nodump", true, FS_APPEND_FL | FS_NODUMP_FL},
            {"file-nodump-only", false, FS_NODUMP_FL},
    };
    const auto reset = makeAttributeReset();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const fs::path path
                = make(c.label, c.folder, winattr::hidden | winattr::systemFile, c.flags);
        const int before = inodeFlags(path);

        const ResetOutcome outcome = reset->resetToNormal(path);

        EXPECT_EQ(outcome.status, Status::Done) << outcome.reason;
        EXPECT_EQ(inodeFlags(path), before & ~(FS_IMMUTABLE_FL | FS_APPEND_FL));
        EXPECT_EQ(fileSystem_->attributes(path) & winattr::rhsa, 0u);
    }
}

TEST_P(InodeFlagsReset, WithoutTheCapabilityTheFirstRefusalIsReportedAndNothingChanges)
{
    const fs::path path = make("immutable", false, winattr::hidden, FS_IMMUTABLE_FL);
    const int flagsBefore = inodeFlags(path);
    const std::string dosBefore = readXattr(path, "user.DOSATTRIB");

    const ResetOutcome outcome
            = resetInChild(path, [] { return dropCapability(CAP_LINUX_IMMUTABLE); });

    EXPECT_EQ(outcome.status, Status::AccessDenied);
    EXPECT_EQ(outcome.cause, ResetOutcome::Cause::Locked);
    EXPECT_EQ(inodeFlags(path), flagsBefore);
    EXPECT_EQ(readXattr(path, "user.DOSATTRIB"), dosBefore);
}

INSTANTIATE_TEST_SUITE_P(LinuxFileSystems, InodeFlagsReset,
                         testing::Values(Kind::Ext4Samba, Kind::TmpfsWine),
                         [](const testing::TestParamInfo<Kind>& test) {
                             return ScratchFileSystem::kindName(test.param);
                         });

}  // namespace

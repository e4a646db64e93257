// The NTFS attribute word through ntfs-3g on a fresh image: exactly what Windows' "normal"
// clears goes, the rest stays, and ntfs-3g's special files keep the system flag they live by.
#include "ScratchFileSystem.h"

#include "reset/AttributeReset.h"
#include "reset/NormalAttributes.h"
#include "reset/linux/NtfsAttributes.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

using Status = ResetOutcome::Status;
using linuxreset::NtfsAttributes;

constexpr std::uint32_t normalFile = dos::normal;  // what ntfs-3g shows for a file with no flags
using dos::compressed;
using dos::sparse;
using namespace winattr;
constexpr std::uint32_t systemFlag = systemFile;

class LinuxNtfsWord : public testing::Test
{
protected:
    void SetUp() override
    {
        volume_ = ScratchFileSystem::make(ScratchFileSystem::Kind::Ntfs3g);
        if (!volume_->unavailable().empty())
            GTEST_SKIP() << volume_->unavailable();
    }
    const fs::path& root() const { return volume_->root(); }

    std::unique_ptr<ScratchFileSystem> volume_;
};

TEST_F(LinuxNtfsWord, NormalFlagsAreClearedAndTheRestIsKept)
{
    enum class Make { File, EmptyFile, Folder, SparseFile, FileInCompressedFolder };
    struct Case
    {
        const char* label;
        Make make;
        std::uint32_t set;  // written after creation; 0 keeps what ntfs-3g gave it
        std::uint32_t expected;
    };
    const Case cases[] = {
            {"file-archive-as-created", Make::File, 0, normalFile},
            {"file-R", Make::File, readOnly, normalFile},
            {"file-H", Make::File, hidden, normalFile},
            {"file-S", Make::File, systemFlag, normalFile},
            {"file-A", Make::File, archive, normalFile},
            {"file-RHSA", Make::File, rhsa, normalFile},
            {"file-temporary-offline-not-indexed", Make::File,
             dos::temporary | dos::offline | dos::notContentIndexed | hidden, normalFile},
            {"file-already-normal", Make::File, normalFile, normalFile},
            // Hidden, ntfs-3g shows an empty system file as a plain file: it is one.
            {"empty-file-hidden-system", Make::EmptyFile, hidden | systemFlag | archive,
             normalFile},
            {"folder-H", Make::Folder, directory | hidden, directory},
            {"folder-RHSA", Make::Folder, directory | rhsa, directory},
            {"folder-compressed-HS", Make::Folder, directory | compressed | hidden | systemFlag,
             directory | compressed},
            {"folder-already-normal", Make::Folder, directory, directory},
            {"sparse-file-HSA", Make::SparseFile, sparse | hidden | systemFlag | archive, sparse},
            {"compressed-file-HA", Make::FileInCompressedFolder, 0, compressed},
    };
    const auto reset = makeAttributeReset();
    const fs::path compressedFolder = root() / "compressed-folder";
    fs::create_directory(compressedFolder);
    volume_->setAttributes(compressedFolder, directory | compressed);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        fs::path path = root() / c.label;
        switch (c.make) {
        case Make::File:
            std::ofstream(path) << "data";
            break;
        case Make::EmptyFile:
            std::ofstream(path).flush();
            break;
        case Make::Folder:
            fs::create_directory(path);
            break;
        case Make::SparseFile:
            std::ofstream(path).flush();
            fs::resize_file(path, 10 << 20);
            ASSERT_NE(volume_->attributes(path) & sparse, 0u) << "ntfs-3g made it sparse";
            break;
        case Make::FileInCompressedFolder:
            path = compressedFolder / c.label;
            std::ofstream(path) << "data";
            volume_->setAttributes(path, volume_->attributes(path) | hidden | archive);
            ASSERT_EQ(volume_->attributes(path), compressed | hidden | archive);
            break;
        }
        if (c.set != 0)
            volume_->setAttributes(path, c.set);

        const ResetOutcome outcome = reset->resetToNormal(path);

        EXPECT_EQ(outcome.status, Status::Done) << outcome.reason;
        EXPECT_EQ(volume_->attributes(path), c.expected);
    }
}

TEST_F(LinuxNtfsWord, SpecialFilesKeepTheirSystemFlag)
{
    const fs::path fifo = root() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const fs::path link = root() / "link";
    fs::create_symlink("fifo", link);
    struct Case
    {
        fs::path path;
        Status status;
    };
    std::vector<Case> cases = {{fifo, Status::NotFileOrFolder}, {link, Status::LeftAsIs}};
    const fs::path device = root() / "device";
    if (::mknod(device.c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0)
        cases.push_back({device, Status::NotFileOrFolder});
    const auto reset = makeAttributeReset();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.filename().string());
        const std::uint32_t before = volume_->attributes(c.path);
        ASSERT_NE(before & dos::system, 0u) << "ntfs-3g stores it in Interix form";

        EXPECT_EQ(reset->resetToNormal(c.path).status, c.status);
        EXPECT_EQ(volume_->attributes(c.path), before);
    }
}

TEST_F(LinuxNtfsWord, TheResetChangesNeitherContentsNorAccessTime)
{
    const fs::path path = root() / "system-file";
    std::ofstream(path) << "MZ\x90 an ordinary program file";
    volume_->setAttributes(path, hidden | systemFlag | archive);
    // A day old, so that any read would move it (relatime).
    const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), old, 0), 0);

    EXPECT_EQ(makeAttributeReset()->resetToNormal(path).status, Status::Done);

    struct stat after = {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_atim.tv_sec, old[0].tv_sec);
    EXPECT_EQ(after.st_mtim.tv_sec, old[1].tv_sec);
    EXPECT_EQ(volume_->attributes(path), normalFile);
}

TEST_F(LinuxNtfsWord, FolderChildrenKeepTheirWords)
{
    const fs::path folder = root() / "folder";
    fs::create_directory(folder);
    volume_->setAttributes(folder, directory | hidden | systemFlag);
    const fs::path child = folder / "child";
    std::ofstream(child) << "data";
    volume_->setAttributes(child, rhsa);
    const fs::path subfolder = folder / "subfolder";
    fs::create_directory(subfolder);
    volume_->setAttributes(subfolder, directory | hidden);

    EXPECT_EQ(makeAttributeReset()->resetToNormal(folder).status, Status::Done);

    EXPECT_EQ(volume_->attributes(folder), directory);
    EXPECT_EQ(volume_->attributes(child), rhsa);
    EXPECT_EQ(volume_->attributes(subfolder), directory | hidden);
}

// The same rule ntfs-3g reads special files by, for drivers (such as the kernel's ntfs3) that
// show them as regular files.
TEST(LinuxInterixSpecialFile, IsToldApartByItsSystemFlagSizeAndHeader)
{
    using namespace std::string_view_literals;
    struct Case
    {
        const char* label;
        std::uint32_t attributes;
        std::uint64_t size;
        std::string_view header;
        bool special;
    };
    const Case cases[] = {
            {"fifo", systemFlag, 0, ""sv, true},
            {"socket", systemFlag | archive, 1, ""sv, true},
            {"empty-hidden-system", hidden | systemFlag, 0, ""sv, false},
            {"empty-not-system", hidden, 0, ""sv, false},
            {"symlink", systemFlag, 20, "IntxLNK\1"sv, true},
            {"char-device", systemFlag, 24, "IntxCHR\0"sv, true},
            {"block-device", hidden | systemFlag | archive, 24, "IntxBLK\0"sv, true},
            {"symlink-header-without-system", hidden, 20, "IntxLNK\1"sv, false},
            {"ordinary-system-file", hidden | systemFlag, 8, "MZ\x90\0\3\0\0\0"sv, false},
            {"header-too-short", systemFlag, 7, "IntxLNK"sv, false},
            {"char-header-wrong-terminator", systemFlag, 24, "IntxCHR\1"sv, false},
            // ntfs-3g takes the header for what it says only at the length that goes with it:
            // a link with a target of 1 to 4096 UTF-16 units, a device of exactly 24 bytes.
            {"symlink-without-target", systemFlag, 8, "IntxLNK\1"sv, false},
            {"symlink-one-byte-target", systemFlag, 9, "IntxLNK\1"sv, true},
            {"symlink-longest-target", systemFlag, 8 + 2 * 4096, "IntxLNK\1"sv, true},
            {"symlink-target-too-long", systemFlag, 8 + 2 * 4096 + 1, "IntxLNK\1"sv, false},
            {"char-device-header-only", systemFlag, 8, "IntxCHR\0"sv, false},
            {"char-device-too-long", systemFlag, 25, "IntxCHR\0"sv, false},
            {"block-device-too-short", systemFlag, 23, "IntxBLK\0"sv, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(NtfsAttributes::isInterixSpecial(c.attributes, c.size, c.header), c.special);
    }
}

}  // namespace

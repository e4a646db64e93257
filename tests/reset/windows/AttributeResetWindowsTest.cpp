#include "ScratchFolder_windows.h"
#include "reset/AttributeReset.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

constexpr DWORD readOnlyFlag = FILE_ATTRIBUTE_READONLY;
constexpr DWORD hiddenFlag = FILE_ATTRIBUTE_HIDDEN;
constexpr DWORD systemFlag = FILE_ATTRIBUTE_SYSTEM;
constexpr DWORD archiveFlag = FILE_ATTRIBUTE_ARCHIVE;
constexpr DWORD temporaryFlag = FILE_ATTRIBUTE_TEMPORARY;
constexpr DWORD offlineFlag = FILE_ATTRIBUTE_OFFLINE;
constexpr DWORD notIndexedFlag = FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
constexpr DWORD clearable = readOnlyFlag | hiddenFlag | systemFlag | archiveFlag | temporaryFlag
        | offlineFlag | notIndexedFlag;

bool makeFile(const std::wstring& path)
{
    const HANDLE file = CreateFileW(ScratchFolder::prefixed(path).c_str(), GENERIC_WRITE, 0,
                                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    WriteFile(file, "contents", 8, &written, nullptr);
    CloseHandle(file);
    return true;
}

bool makeFolder(const std::wstring& path)
{
    return CreateDirectoryW(ScratchFolder::prefixed(path).c_str(), nullptr) != FALSE;
}

DWORD attributesOf(const std::wstring& path)
{
    return GetFileAttributesW(ScratchFolder::prefixed(path).c_str());
}

bool setAttributes(const std::wstring& path, DWORD attributes)
{
    return SetFileAttributesW(ScratchFolder::prefixed(path).c_str(),
                              attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL)
            != FALSE;
}

std::string flagNames(DWORD flags)
{
    static const std::pair<DWORD, const char*> names[] = {{readOnlyFlag, "read-only"},
                                                          {hiddenFlag, "hidden"},
                                                          {systemFlag, "system"},
                                                          {archiveFlag, "archive"},
                                                          {temporaryFlag, "temporary"},
                                                          {offlineFlag, "offline"},
                                                          {notIndexedFlag, "not-content-indexed"}};
    std::string text;
    for (const auto& [flag, name] : names) {
        if (flags & flag)
            text += (text.empty() ? "" : ", ") + std::string(name);
    }
    return text.empty() ? "none" : text;
}

// Wine reports FILE_ATTRIBUTE_ARCHIVE on every regular file: it stores only hidden and system
// (in the user.DOSATTRIB xattr) and read-only (in the mode bits), and adds archive to whatever a
// file reports, so nothing can clear it there. Windows keeps the flag and clears it.
bool archiveIsAlwaysReported(const ScratchFolder& scratch)
{
    const std::wstring probe = scratch.path() + L"\\archive-probe";
    makeFile(probe);
    setAttributes(probe, 0);
    return (attributesOf(probe) & archiveFlag) != 0;
}

enum class Kind { File, Folder };

void PrintTo(Kind kind, std::ostream* os)
{
    *os << (kind == Kind::File ? "File" : "Folder");
}

struct FlagCase
{
    const char* name;
    Kind kind;
    DWORD flags;
};

void PrintTo(const FlagCase& c, std::ostream* os)
{
    *os << c.name;
}

class AttributeResetFlags : public ::testing::TestWithParam<FlagCase>
{
};

TEST_P(AttributeResetFlags, LeavesOnlyNormalAttributes)
{
    const FlagCase& c = GetParam();
    ScratchFolder scratch(L"flagwash-reset-");
    ASSERT_TRUE(scratch.created());
    const std::wstring path = scratch.path() + L"\\item";
    const std::wstring inner = path + L"\\inner.txt";
    if (c.kind == Kind::File) {
        ASSERT_TRUE(makeFile(path));
    } else {
        ASSERT_TRUE(makeFolder(path));
        ASSERT_TRUE(makeFile(inner));
        ASSERT_TRUE(setAttributes(inner, hiddenFlag | systemFlag | readOnlyFlag));
    }
    ASSERT_TRUE(setAttributes(path, c.flags));

    DWORD checked = clearable;
    if (c.kind == Kind::File && archiveIsAlwaysReported(scratch)) {
        if (c.flags == archiveFlag)
            GTEST_SKIP() << "this file system reports the archive flag on every file (Wine)";
        checked &= ~archiveFlag;
    }
    const DWORD before = attributesOf(path);
    // A row is worth running when the file system kept at least one of its flags.
    const DWORD notKept = c.flags & checked & ~before;
    if (notKept != 0 && notKept == (c.flags & checked))
        GTEST_SKIP() << "this file system keeps no " << flagNames(notKept) << " flag on a "
                     << (c.kind == Kind::File ? "file" : "folder") << " (Wine keeps only "
                     << "read-only on files, hidden and system)";

    const ResetOutcome outcome = makeAttributeReset()->resetToNormal(path);

    EXPECT_EQ(outcome.status, ResetOutcome::Status::Done) << outcome.reason;
    EXPECT_EQ(outcome.reason, "");
    const DWORD after = attributesOf(path);
    EXPECT_EQ(flagNames(after & checked), "none");
    EXPECT_EQ(after & FILE_ATTRIBUTE_DIRECTORY, before & FILE_ATTRIBUTE_DIRECTORY);
    if (c.kind == Kind::Folder) {
        EXPECT_EQ(flagNames(attributesOf(inner) & (hiddenFlag | systemFlag | readOnlyFlag)),
                  "read-only, hidden, system")
                << "a file inside the folder was changed";
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, AttributeResetFlags,
                         ::testing::Values(FlagCase{"ReadOnlyFile", Kind::File, readOnlyFlag},
                                           FlagCase{"HiddenFile", Kind::File, hiddenFlag},
                                           FlagCase{"SystemFile", Kind::File, systemFlag},
                                           FlagCase{"ArchiveFile", Kind::File, archiveFlag},
                                           FlagCase{"TemporaryFile", Kind::File, temporaryFlag},
                                           FlagCase{"OfflineFile", Kind::File, offlineFlag},
                                           FlagCase{"NotIndexedFile", Kind::File, notIndexedFlag},
                                           // What malware leaves behind.
                                           FlagCase{"HiddenSystemReadOnlyFile", Kind::File,
                                                    hiddenFlag | systemFlag | readOnlyFlag},
                                           FlagCase{"EveryFlagFile", Kind::File, clearable},
                                           FlagCase{"AlreadyNormalFile", Kind::File, 0},
                                           FlagCase{"HiddenSystemFolder", Kind::Folder,
                                                    hiddenFlag | systemFlag},
                                           FlagCase{"ReadOnlyFolder", Kind::Folder, readOnlyFlag},
                                           FlagCase{"AlreadyNormalFolder", Kind::Folder, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

struct MissingCase
{
    const char* name;
    const wchar_t* relativePath;
    const char* reason;
};

void PrintTo(const MissingCase& c, std::ostream* os)
{
    *os << c.name;
}

class AttributeResetMissing : public ::testing::TestWithParam<MissingCase>
{
};

TEST_P(AttributeResetMissing, IsReportedMissingWithTheErrorCode)
{
    ScratchFolder scratch(L"flagwash-reset-");
    ASSERT_TRUE(scratch.created());

    const ResetOutcome outcome
            = makeAttributeReset()->resetToNormal(scratch.path() + GetParam().relativePath);

    EXPECT_EQ(outcome.status, ResetOutcome::Status::Missing);
    EXPECT_EQ(outcome.reason, GetParam().reason);
}

INSTANTIATE_TEST_SUITE_P(Cases, AttributeResetMissing,
                         ::testing::Values(MissingCase{"File", L"\\deleted.txt", "error 2"},
                                           MissingCase{"FolderOnTheWay", L"\\deleted\\file.txt",
                                                       "error 3"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Deep enough that the item's own path passes MAX_PATH; it is handed over without the prefix,
// as a drop hands it over.
class AttributeResetLongPath : public ::testing::TestWithParam<Kind>
{
};

TEST_P(AttributeResetLongPath, ResetsAnItemBeyondMaxPath)
{
    ScratchFolder scratch(L"flagwash-reset-");
    ASSERT_TRUE(scratch.created());
    std::wstring folder = scratch.path();
    while (folder.size() < MAX_PATH + 20) {
        folder += L"\\a folder with a rather long name";
        ASSERT_TRUE(makeFolder(folder));
    }
    const std::wstring path = folder + L"\\item";
    ASSERT_TRUE(GetParam() == Kind::File ? makeFile(path) : makeFolder(path));
    ASSERT_TRUE(setAttributes(path, hiddenFlag | systemFlag | readOnlyFlag));
    ASSERT_GT(path.size(), static_cast<std::size_t>(MAX_PATH));

    const ResetOutcome outcome = makeAttributeReset()->resetToNormal(path);

    EXPECT_EQ(outcome.status, ResetOutcome::Status::Done) << outcome.reason;
    EXPECT_EQ(flagNames(attributesOf(path) & (hiddenFlag | systemFlag | readOnlyFlag)), "none");
}

INSTANTIATE_TEST_SUITE_P(Cases, AttributeResetLongPath, ::testing::Values(Kind::File, Kind::Folder),
                         [](const auto& info) {
                             return std::string(info.param == Kind::File ? "File" : "Folder");
                         });

TEST(AttributeResetLink, ResetsTheLinkAndLeavesItsTargetAlone)
{
    ScratchFolder scratch(L"flagwash-reset-");
    ASSERT_TRUE(scratch.created());
    const std::wstring target = scratch.path() + L"\\target.txt";
    const std::wstring link = scratch.path() + L"\\link.txt";
    ASSERT_TRUE(makeFile(target));
    ASSERT_TRUE(setAttributes(target, hiddenFlag | systemFlag));
    // Wine 8 answers success without making a link; Windows needs developer mode or elevation.
    if (!CreateSymbolicLinkW(link.c_str(), target.c_str(),
                             SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE)
        || attributesOf(link) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no symbolic link can be made here (Wine 8 makes none; Windows needs "
                        "developer mode or elevation)";
    ASSERT_TRUE(attributesOf(link) & FILE_ATTRIBUTE_REPARSE_POINT);
    ASSERT_TRUE(setAttributes(link, hiddenFlag));

    const ResetOutcome outcome = makeAttributeReset()->resetToNormal(link);

    EXPECT_EQ(outcome.status, ResetOutcome::Status::Done) << outcome.reason;
    EXPECT_EQ(flagNames(attributesOf(link) & (hiddenFlag | systemFlag)), "none");
    EXPECT_TRUE(attributesOf(link) & FILE_ATTRIBUTE_REPARSE_POINT);
    EXPECT_EQ(flagNames(attributesOf(target) & (hiddenFlag | systemFlag)), "hidden, system");
}

}  // namespace

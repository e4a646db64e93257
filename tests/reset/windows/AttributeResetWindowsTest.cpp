#include "ScratchFolder_windows.h"
#include "reset/AttributeReset.h"
#include "reset/AttributeReset_windows.h"

#include "platform/WideText_windows.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
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

FILE_BASIC_INFO basicInfo(const std::wstring& path)
{
    FILE_BASIC_INFO info{};
    const HANDLE object = CreateFileW(ScratchFolder::prefixed(path).c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (object != INVALID_HANDLE_VALUE) {
        GetFileInformationByHandleEx(object, FileBasicInfo, &info, sizeof(info));
        CloseHandle(object);
    }
    return info;
}

// What a reset of a file must answer where the file system keeps the archive flag on every
// file (Wine, see ScratchFolder::filesAlwaysReportArchive): the truth, that it stayed.
void expectResetOutcome(const ResetOutcome& outcome, bool archiveKept)
{
    if (archiveKept) {
        EXPECT_EQ(outcome.status, ResetOutcome::Status::NotSupported) << outcome.reason;
        EXPECT_EQ(outcome.cause, ResetOutcome::Cause::FlagsKept);
        EXPECT_EQ(outcome.reason, "archive");
    } else {
        EXPECT_EQ(outcome.status, ResetOutcome::Status::Done) << outcome.reason;
        EXPECT_EQ(outcome.reason, "");
    }
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

    const bool archiveKept = c.kind == Kind::File && scratch.filesAlwaysReportArchive();
    const DWORD checked = archiveKept ? clearable & ~archiveFlag : clearable;
    const DWORD before = attributesOf(path);
    // A row is worth running when the file system kept at least one of its flags.
    const DWORD notKept = c.flags & checked & ~before;
    if (notKept != 0 && notKept == (c.flags & checked))
        GTEST_SKIP() << "this file system keeps no " << flagNames(notKept) << " flag on a "
                     << (c.kind == Kind::File ? "file" : "folder") << " (Wine keeps only "
                     << "read-only on files, hidden and system)";

    const FILE_BASIC_INFO timesBefore = basicInfo(path);

    const ResetOutcome outcome = makeAttributeReset()->resetToNormal(path);

    expectResetOutcome(outcome, archiveKept);
    const DWORD after = attributesOf(path);
    EXPECT_EQ(flagNames(after & checked), "none");
    EXPECT_EQ(after & FILE_ATTRIBUTE_DIRECTORY, before & FILE_ATTRIBUTE_DIRECTORY);
    // Only the attribute word: the times the user sees stay as they were.
    const FILE_BASIC_INFO timesAfter = basicInfo(path);
    EXPECT_EQ(timesAfter.CreationTime.QuadPart, timesBefore.CreationTime.QuadPart);
    EXPECT_EQ(timesAfter.LastWriteTime.QuadPart, timesBefore.LastWriteTime.QuadPart);
    EXPECT_EQ(timesAfter.LastAccessTime.QuadPart, timesBefore.LastAccessTime.QuadPart);
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
                         [](const auto& test) { return std::string(test.param.name); });

struct MissingCase
{
    const char* name;
    const wchar_t* relativePath;
};

void PrintTo(const MissingCase& c, std::ostream* os)
{
    *os << c.name;
}

class AttributeResetMissing : public ::testing::TestWithParam<MissingCase>
{
};

TEST_P(AttributeResetMissing, IsReportedAsNoLongerThere)
{
    ScratchFolder scratch(L"flagwash-reset-");
    ASSERT_TRUE(scratch.created());

    const ResetOutcome outcome
            = makeAttributeReset()->resetToNormal(scratch.path() + GetParam().relativePath);

    EXPECT_EQ(outcome.status, ResetOutcome::Status::Missing);
    EXPECT_EQ(outcome.cause, ResetOutcome::Cause::NotFound);
}

INSTANTIATE_TEST_SUITE_P(Cases, AttributeResetMissing,
                         ::testing::Values(MissingCase{"File", L"\\deleted.txt"},
                                           MissingCase{"FolderOnTheWay", L"\\deleted\\file.txt"}),
                         [](const auto& test) { return std::string(test.param.name); });

// A name no Windows file system takes fails for no reason more specific than the system's: the
// report gives its own words with the code, for a search or a support request.
TEST(AttributeResetSystemError, IsReportedInTheSystemsWordsWithItsCode)
{
    ScratchFolder scratch(L"flagwash-reset-");
    ASSERT_TRUE(scratch.created());

    const ResetOutcome outcome
            = makeAttributeReset()->resetToNormal(scratch.path() + L"\\a<b>.txt");

    EXPECT_EQ(outcome.status, ResetOutcome::Status::Failed) << outcome.reason;
    EXPECT_EQ(outcome.cause, ResetOutcome::Cause::SystemError);
    const std::string code = " (error " + std::to_string(ERROR_INVALID_NAME) + ")";
    ASSERT_GT(outcome.reason.size(), code.size()) << outcome.reason;
    EXPECT_EQ(outcome.reason.substr(outcome.reason.size() - code.size()), code) << outcome.reason;
}

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

    expectResetOutcome(outcome, GetParam() == Kind::File && scratch.filesAlwaysReportArchive());
    EXPECT_EQ(flagNames(attributesOf(path) & (hiddenFlag | systemFlag | readOnlyFlag)), "none");
}

INSTANTIATE_TEST_SUITE_P(Cases, AttributeResetLongPath, ::testing::Values(Kind::File, Kind::Folder),
                         [](const auto& test) {
                             return std::string(test.param == Kind::File ? "File" : "Folder");
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

// A name the system reads as a device is never opened: opening a port or a console is an act
// of its own. Where the system reads it as a file name (Windows 11 does so inside a folder),
// nothing of that name exists.
class AttributeResetDeviceName : public ::testing::TestWithParam<const wchar_t*>
{
};

TEST_P(AttributeResetDeviceName, IsNotOpened)
{
    ScratchFolder scratch(L"flagwash-reset-");
    ASSERT_TRUE(scratch.created());
    const std::wstring path = scratch.path() + L"\\" + GetParam();

    const ResetOutcome outcome = makeAttributeReset()->resetToNormal(path);

    EXPECT_EQ(outcome.status,
              namesDevice(path) ? ResetOutcome::Status::NotFileOrFolder
                                : ResetOutcome::Status::Missing)
            << outcome.reason;
}

INSTANTIATE_TEST_SUITE_P(Cases, AttributeResetDeviceName,
                         ::testing::Values(L"CON", L"NUL", L"COM1", L"LPT1", L"AUX.txt"),
                         [](const auto& test) {
                             std::string name = toUtf8(test.param);
                             std::replace(name.begin(), name.end(), '.', '_');
                             return name;
                         });

// Turns this thread's file-system redirection off for as long as it lives, independently of
// the code under test.
class SeenUnredirected
{
public:
    SeenUnredirected() { off_ = Wow64DisableWow64FsRedirection(&previous_) != FALSE; }
    ~SeenUnredirected()
    {
        if (off_)
            Wow64RevertWow64FsRedirection(previous_);
    }
    SeenUnredirected(const SeenUnredirected&) = delete;
    SeenUnredirected& operator=(const SeenUnredirected&) = delete;

private:
    void* previous_ = nullptr;
    bool off_ = false;
};

// A 32-bit program on 64-bit Windows is shown C:\Windows\SysWOW64 where it names
// C:\Windows\System32. The file a user drops from Explorer (a 64-bit program) under System32 is
// the one that changes; its SysWOW64 namesake keeps its flags.
TEST(AttributeResetWow64, ResetsTheSystem32FileAndNotItsSysWow64Namesake)
{
    BOOL redirected = FALSE;
    wchar_t wow64[MAX_PATH];
    if (!IsWow64Process(GetCurrentProcess(), &redirected) || !redirected
        || GetSystemWow64DirectoryW(wow64, MAX_PATH) == 0)
        GTEST_SKIP() << "not a 32-bit program on 64-bit Windows: nothing is redirected";
    wchar_t system[MAX_PATH];
    ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
    const std::wstring name = L"\\flagwash-wow64-" + std::to_wstring(GetCurrentProcessId());
    const std::wstring native = system + name;
    const std::wstring namesake = wow64 + name;
    constexpr DWORD malware = hiddenFlag | systemFlag;

    struct Cleanup
    {
        std::wstring native, namesake;
        ~Cleanup()
        {
            SetFileAttributesW(namesake.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(namesake.c_str());
            const SeenUnredirected unredirected;
            SetFileAttributesW(native.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(native.c_str());
        }
    } cleanup{native, namesake};
    {
        const SeenUnredirected unredirected;
        if (!makeFile(native))
            GTEST_SKIP() << "no file can be made in " << toUtf8(system)
                         << " (Windows needs elevation)";
        ASSERT_TRUE(setAttributes(native, malware));
    }
    ASSERT_TRUE(makeFile(namesake)) << "the System32 file was made in SysWOW64";
    ASSERT_TRUE(setAttributes(namesake, malware));

    const ResetOutcome outcome = makeAttributeReset()->resetToNormal(native);

    EXPECT_NE(outcome.status, ResetOutcome::Status::Missing) << outcome.reason;
    EXPECT_EQ(flagNames(attributesOf(namesake) & malware), "hidden, system")
            << "the SysWOW64 namesake was changed";
    // The reset gave the redirection back to the thread: the path shows the namesake again.
    EXPECT_EQ(flagNames(attributesOf(native) & malware), "hidden, system");
    const SeenUnredirected unredirected;
    EXPECT_EQ(flagNames(attributesOf(native) & malware), "none") << "the System32 file kept them";
}

}  // namespace

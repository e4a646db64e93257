#include "NamedCase.h"
#include "ScratchFolder_windows.h"
#include "reset/AttributeReset.h"
#include "reset/AttributeReset_windows.h"

#include "platform/WideText_windows.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <sddl.h>

#include <algorithm>
#include <cctype>
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

struct FlagCase : tables::NamedCase
{
    Kind kind;
    DWORD flags;
};

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
                         tables::caseName);

struct MissingCase : tables::NamedCase
{
    const wchar_t* relativePath;
};

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
                         tables::caseName);

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

// Windows' own reading of a path drops a trailing dot or space from the last name: a dropped
// "hid." would be its namesake "hid". The dropped one is the one reset, however the path is
// spelt, and the namesake keeps exactly its flags.
enum class Spelling { Full, Relative, DriveRelative, Slashes };

struct NamesakeCase : tables::NamedCase
{
    const wchar_t* dropped;
    const wchar_t* namesake;  // nullptr: none
    Kind kind;
    Spelling spelling;
};

// The current directory for as long as it lives.
class CurrentDirectory
{
public:
    explicit CurrentDirectory(const std::wstring& directory)
    {
        GetCurrentDirectoryW(MAX_PATH, previous_);
        changed_ = SetCurrentDirectoryW(directory.c_str()) != FALSE;
    }
    ~CurrentDirectory()
    {
        if (changed_)
            SetCurrentDirectoryW(previous_);
    }
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;

    bool changed() const { return changed_; }

private:
    wchar_t previous_[MAX_PATH] = {};
    bool changed_ = false;
};

std::wstring withSlashes(std::wstring path)
{
    std::replace(path.begin(), path.end(), L'\\', L'/');
    return path;
}

bool make(Kind kind, const std::wstring& path)
{
    return kind == Kind::File ? makeFile(path) : makeFolder(path);
}

class AttributeResetNamesake : public ::testing::TestWithParam<NamesakeCase>
{
};

TEST_P(AttributeResetNamesake, ResetsTheDroppedNameAndNotItsNamesake)
{
    const NamesakeCase& c = GetParam();
    ScratchFolder scratch(L"flagwash-reset-");
    ASSERT_TRUE(scratch.created());
    const std::wstring dropped = scratch.path() + L"\\" + c.dropped;
    const std::wstring namesake = c.namesake ? scratch.path() + L"\\" + c.namesake : L"";
    ASSERT_TRUE(make(c.kind, dropped));
    const DWORD flags = hiddenFlag | systemFlag | (c.kind == Kind::File ? readOnlyFlag : 0);
    ASSERT_TRUE(setAttributes(dropped, flags));
    if (c.namesake) {
        ASSERT_TRUE(make(c.kind, namesake));
        ASSERT_TRUE(setAttributes(namesake, flags));
    }
    const bool archiveKept = c.kind == Kind::File && scratch.filesAlwaysReportArchive();
    const DWORD checked = archiveKept ? clearable & ~archiveFlag : clearable;
    ASSERT_EQ(flagNames(attributesOf(dropped) & checked), flagNames(flags));
    const DWORD namesakeBefore = c.namesake ? attributesOf(namesake) : 0;

    const CurrentDirectory current(scratch.path());
    ASSERT_TRUE(current.changed());
    std::wstring handed = dropped;
    if (c.spelling == Spelling::Relative)
        handed = c.dropped;
    if (c.spelling == Spelling::DriveRelative) {
        if (scratch.path().size() < 3 || scratch.path()[1] != L':')
            GTEST_SKIP() << "the scratch folder is on no drive letter";
        handed = scratch.path().substr(0, 2) + c.dropped;
    }
    if (c.spelling == Spelling::Slashes)
        handed = withSlashes(scratch.path() + L"\\.\\sub\\..\\" + c.dropped);

    const ResetOutcome outcome = makeAttributeReset()->resetToNormal(handed);

    expectResetOutcome(outcome, archiveKept);
    EXPECT_EQ(flagNames(attributesOf(dropped) & checked), "none");
    if (c.namesake) {
        EXPECT_EQ(flagNames(attributesOf(namesake)), flagNames(namesakeBefore))
                << "the namesake was changed";
    }
}

INSTANTIATE_TEST_SUITE_P(
        Cases, AttributeResetNamesake,
        ::testing::Values(
                NamesakeCase{"TrailingDot", L"hid.", L"hid", Kind::File, Spelling::Full},
                NamesakeCase{"FolderTrailingDot", L"dirdot.", L"dirdot", Kind::Folder,
                             Spelling::Full},
                NamesakeCase{"TrailingSpace", L"name ", L"name", Kind::File, Spelling::Full},
                NamesakeCase{"FolderTrailingSpace", L"folder ", L"folder", Kind::Folder,
                             Spelling::Full},
                NamesakeCase{"DotsAndSpaces", L"two. .", L"two", Kind::File, Spelling::Full},
                NamesakeCase{"WithoutNamesake", L"alone.", nullptr, Kind::File, Spelling::Full},
                NamesakeCase{"Relative", L"rel.", L"rel", Kind::File, Spelling::Relative},
                NamesakeCase{"DriveRelative", L"drv.", L"drv", Kind::Folder,
                             Spelling::DriveRelative},
                NamesakeCase{"SlashesAndDots", L"sl ", L"sl", Kind::File, Spelling::Slashes}),
        tables::caseName);

// Read literally, a name like "CON" or "aux.txt" is a file like any other, in a folder or in
// the current one.
struct DeviceNameCase : tables::NamedCase
{
    const wchar_t* file;
    Kind kind;
    bool relative;
};

class AttributeResetDeviceName : public ::testing::TestWithParam<DeviceNameCase>
{
};

TEST_P(AttributeResetDeviceName, IsAFileAndIsReset)
{
    const DeviceNameCase& c = GetParam();
    ScratchFolder scratch(L"flagwash-reset-");
    ASSERT_TRUE(scratch.created());
    const std::wstring path = scratch.path() + L"\\" + c.file;
    ASSERT_TRUE(make(c.kind, path));
    ASSERT_TRUE(setAttributes(path, hiddenFlag | systemFlag));
    const bool archiveKept = c.kind == Kind::File && scratch.filesAlwaysReportArchive();
    const DWORD checked = archiveKept ? clearable & ~archiveFlag : clearable;
    const CurrentDirectory current(scratch.path());
    ASSERT_TRUE(current.changed());

    const ResetOutcome outcome = makeAttributeReset()->resetToNormal(c.relative ? c.file : path);

    expectResetOutcome(outcome, archiveKept);
    EXPECT_EQ(flagNames(attributesOf(path) & checked), "none");
}

INSTANTIATE_TEST_SUITE_P(
        Cases, AttributeResetDeviceName,
        ::testing::Values(DeviceNameCase{"CON", L"CON", Kind::File, false},
                          DeviceNameCase{"nul", L"nul", Kind::File, false},
                          DeviceNameCase{"AuxTxt", L"aux.txt", Kind::File, false},
                          DeviceNameCase{"Com1Log", L"COM1.log", Kind::File, false},
                          DeviceNameCase{"LPT9", L"LPT9", Kind::File, false},
                          DeviceNameCase{"PrnWithDot", L"PRN.", Kind::File, false},
                          DeviceNameCase{"FolderAUX", L"AUX", Kind::Folder, false},
                          DeviceNameCase{"RelativeCON", L"CON", Kind::File, true},
                          DeviceNameCase{"RelativeNulTxt", L"nul.txt", Kind::File, true}),
        tables::caseName);

// A true device path is never opened: opening a port or a pipe is an act of its own.
class AttributeResetDevicePath : public ::testing::TestWithParam<const wchar_t*>
{
};

TEST_P(AttributeResetDevicePath, IsRefusedAsADevice)
{
    const ResetOutcome outcome = makeAttributeReset()->resetToNormal(GetParam());

    EXPECT_EQ(outcome.status, ResetOutcome::Status::NotFileOrFolder) << outcome.reason;
    EXPECT_EQ(outcome.cause, ResetOutcome::Cause::Device);
}

INSTANTIATE_TEST_SUITE_P(Cases, AttributeResetDevicePath,
                         ::testing::Values(L"\\\\.\\COM1", L"\\\\.\\NUL", L"\\\\.\\C:",
                                           L"\\\\?\\C:", L"\\\\?\\GLOBALROOT\\Device\\Null",
                                           L"\\\\.\\PhysicalDrive0", L"\\\\.\\CONIN$"),
                         [](const auto& test) {
                             std::string name = "Path" + std::to_string(test.index) + "_";
                             for (const char c : toUtf8(test.param))
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

// A pipe with a single instance: had the reset opened it, a client would find it busy.
TEST(AttributeResetDevicePipe, IsNeverOpened)
{
    const std::wstring name = L"flagwash-reset-" + std::to_wstring(GetCurrentProcessId());
    const std::wstring pipe = L"\\\\.\\pipe\\" + name;
    const HANDLE server = CreateNamedPipeW(pipe.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, 0,
                                           0, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE) << GetLastError();

    for (const std::wstring& spelling :
         {pipe, L"\\\\?\\pipe\\" + name, L"//./pipe/" + name, L"\\\\.\\PIPE\\" + name}) {
        const ResetOutcome outcome = makeAttributeReset()->resetToNormal(spelling);
        EXPECT_EQ(outcome.status, ResetOutcome::Status::NotFileOrFolder) << toUtf8(spelling);
        EXPECT_EQ(outcome.cause, ResetOutcome::Cause::Device) << toUtf8(spelling);
    }

    const HANDLE client
            = CreateFileW(pipe.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(client, INVALID_HANDLE_VALUE) << "the pipe was taken: " << GetLastError();
    if (client != INVALID_HANDLE_VALUE)
        CloseHandle(client);
    CloseHandle(server);
}

// Past MAX_PATH and ending in a dot: the prefix is there before any name could lose its dot.
class AttributeResetLongPathDot : public ::testing::TestWithParam<Kind>
{
};

TEST_P(AttributeResetLongPathDot, ResetsTheDroppedNameAndNotItsNamesake)
{
    ScratchFolder scratch(L"flagwash-reset-");
    ASSERT_TRUE(scratch.created());
    std::wstring folder = scratch.path();
    while (folder.size() < MAX_PATH + 20) {
        folder += L"\\a folder with a rather long name";
        ASSERT_TRUE(makeFolder(folder));
    }
    const std::wstring path = folder + L"\\item.";
    const std::wstring namesake = folder + L"\\item";
    constexpr DWORD flags = hiddenFlag | systemFlag | readOnlyFlag;
    ASSERT_TRUE(make(GetParam(), path));
    ASSERT_TRUE(make(GetParam(), namesake));
    ASSERT_TRUE(setAttributes(path, flags));
    ASSERT_TRUE(setAttributes(namesake, flags));
    const DWORD namesakeBefore = attributesOf(namesake);

    const ResetOutcome outcome = makeAttributeReset()->resetToNormal(path);

    expectResetOutcome(outcome, GetParam() == Kind::File && scratch.filesAlwaysReportArchive());
    EXPECT_EQ(flagNames(attributesOf(path) & flags), "none");
    EXPECT_EQ(flagNames(attributesOf(namesake)), flagNames(namesakeBefore))
            << "the namesake was changed";
}

INSTANTIATE_TEST_SUITE_P(Cases, AttributeResetLongPathDot,
                         ::testing::Values(Kind::File, Kind::Folder), [](const auto& test) {
                             return std::string(test.param == Kind::File ? "File" : "Folder");
                         });

// The path names another object, or none, by the time the reset ends: the pinned one is moved
// away with real renames between the read and the write, as a program racing the reset would.
enum class Swap { None, Replaced, Removed };

struct ReplacedCase : tables::NamedCase
{
    Kind kind;
    Swap swap;
};

class AttributeResetReplaced : public ::testing::TestWithParam<ReplacedCase>
{
};

TEST_P(AttributeResetReplaced, IsDoneOnlyWhileThePathNamesThePinnedObject)
{
    const ReplacedCase& c = GetParam();
    ScratchFolder scratch(L"flagwash-reset-");
    ASSERT_TRUE(scratch.created());
    const std::wstring path = scratch.path() + L"\\item";
    const std::wstring away = scratch.path() + L"\\moved away";
    constexpr DWORD flags = hiddenFlag | systemFlag;
    ASSERT_TRUE(make(c.kind, path));
    ASSERT_TRUE(setAttributes(path, flags));

    bool swapped = false;
    const auto reset = makeAttributeReset([&] {
        if (c.swap == Swap::None)
            return;
        // The reset's handle shares deletion, so the object moves while it is open.
        if (!MoveFileExW(ScratchFolder::prefixed(path).c_str(),
                         ScratchFolder::prefixed(away).c_str(), 0)) {
            ADD_FAILURE() << "the pinned object could not be moved: " << GetLastError();
            return;
        }
        swapped = c.swap == Swap::Removed || (make(c.kind, path) && setAttributes(path, flags));
    });
    const ResetOutcome outcome = reset->resetToNormal(path);

    if (c.swap == Swap::None) {
        expectResetOutcome(outcome, c.kind == Kind::File && scratch.filesAlwaysReportArchive());
        EXPECT_EQ(flagNames(attributesOf(path) & flags), "none");
        return;
    }
    ASSERT_TRUE(swapped);
    EXPECT_EQ(outcome.status, ResetOutcome::Status::Failed) << outcome.reason;
    EXPECT_EQ(outcome.cause, ResetOutcome::Cause::Replaced);
    // The write went to the object pinned, never to the newcomer.
    EXPECT_EQ(flagNames(attributesOf(away) & flags), "none");
    if (c.swap == Swap::Replaced) {
        EXPECT_EQ(flagNames(attributesOf(path) & flags), "hidden, system");
    }
}

INSTANTIATE_TEST_SUITE_P(
        Cases, AttributeResetReplaced,
        ::testing::Values(ReplacedCase{"FileUnchanged", Kind::File, Swap::None},
                          ReplacedCase{"FolderUnchanged", Kind::Folder, Swap::None},
                          ReplacedCase{"FileReplaced", Kind::File, Swap::Replaced},
                          ReplacedCase{"FolderReplaced", Kind::Folder, Swap::Replaced},
                          ReplacedCase{"FileMovedAway", Kind::File, Swap::Removed},
                          ReplacedCase{"FolderMovedAway", Kind::Folder, Swap::Removed}),
        tables::caseName);

// Already normal, so nothing is written; still the path is checked to name the object read.
TEST(AttributeResetReplacedNormal, IsNotDoneOnceAnotherObjectHasTheName)
{
    ScratchFolder scratch(L"flagwash-reset-");
    ASSERT_TRUE(scratch.created());
    const std::wstring path = scratch.path() + L"\\normal";
    ASSERT_TRUE(makeFolder(path));
    const auto reset = makeAttributeReset([&] {
        EXPECT_TRUE(MoveFileExW(ScratchFolder::prefixed(path).c_str(),
                                ScratchFolder::prefixed(path + L" moved").c_str(), 0));
        EXPECT_TRUE(makeFolder(path));
    });

    const ResetOutcome outcome = reset->resetToNormal(path);

    EXPECT_EQ(outcome.cause, ResetOutcome::Cause::Replaced) << outcome.reason;
}

bool processElevated()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const BOOL known
            = GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size);
    CloseHandle(token);
    return known && elevation.TokenIsElevated;
}

// A file whose attributes nobody may change: on Windows a deny entry for everyone, on Wine
// (which keeps no access lists) the Linux file made immutable with chattr, which even root may
// not change. Undone at the end.
class Unchangeable
{
public:
    explicit Unchangeable(const std::wstring& path)
        : path_(path)
    {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (ConvertStringSecurityDescriptorToSecurityDescriptorW(
                    L"D:(D;;0x100;;;WD)(A;;FA;;;WD)", SDDL_REVISION_1, &descriptor, nullptr)) {
            SetFileSecurityW(ScratchFolder::prefixed(path_).c_str(), DACL_SECURITY_INFORMATION,
                             descriptor);
            LocalFree(descriptor);
        }
        if (!refused())
            immutable_ = chattr(L"+i") && until(true);
    }
    ~Unchangeable()
    {
        if (immutable_ && chattr(L"-i"))
            until(false);
    }
    Unchangeable(const Unchangeable&) = delete;
    Unchangeable& operator=(const Unchangeable&) = delete;

    bool refused() const
    {
        const HANDLE object
                = CreateFileW(ScratchFolder::prefixed(path_).c_str(), FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (object == INVALID_HANDLE_VALUE)
            return GetLastError() == ERROR_ACCESS_DENIED;
        CloseHandle(object);
        return false;
    }

private:
    // Wine answers for a Linux program it started as soon as it started it, so its effect is
    // waited for: for up to 10 s.
    bool until(bool wanted) const
    {
        const ULONGLONG deadline = GetTickCount64() + 10000;
        while (refused() != wanted) {
            if (GetTickCount64() > deadline)
                return false;
            Sleep(10);
        }
        return true;
    }

    // Wine starts a Linux program as it starts a Windows one.
    bool chattr(const wchar_t* change) const
    {
        using UnixName = char*(CDECL*)(const wchar_t*);
        using DosName = wchar_t*(CDECL*)(const char*);
        const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
        const auto unixName = reinterpret_cast<UnixName>(
                reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")));
        const auto dosName = reinterpret_cast<DosName>(
                reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_dos_file_name")));
        if (!unixName || !dosName)
            return false;
        char* file = unixName(path_.c_str());
        wchar_t* program = dosName("/usr/bin/chattr");
        bool ran = false;
        if (file && program) {
            std::wstring command
                    = L"chattr " + std::wstring(change) + L" \"" + toWide(file) + L"\"";
            STARTUPINFOW startup{};
            startup.cb = sizeof(startup);
            PROCESS_INFORMATION process{};
            ran = CreateProcessW(program, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &startup, &process)
                    != FALSE;
            if (ran) {
                CloseHandle(process.hThread);
                CloseHandle(process.hProcess);
            }
        }
        HeapFree(GetProcessHeap(), 0, file);
        HeapFree(GetProcessHeap(), 0, program);
        return ran;
    }

    std::wstring path_;
    bool immutable_ = false;
};

// While it lives this thread acts as the user without an administrator's full rights: the
// process itself if it is not elevated, else the linked limited token of its own.
class LimitedUser
{
public:
    LimitedUser()
    {
        if (!processElevated()) {
            why_ = nullptr;
            return;
        }
        HANDLE token = nullptr;
        OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
        TOKEN_LINKED_TOKEN linked{};
        DWORD size = 0;
        if (!token
            || !GetTokenInformation(token, TokenLinkedToken, &linked, sizeof(linked), &size)) {
            why_ = "the elevated process has no linked limited token";
        } else if (!SetThreadToken(nullptr, linked.LinkedToken)) {
            why_ = "the limited token cannot be taken on";
        } else {
            impersonating_ = true;
            why_ = elevatedThread()   ? "the linked token is elevated too"
                    : !mayOpenFiles() ? "the limited token may not open files (it only identifies)"
                                      : nullptr;
        }
        if (linked.LinkedToken)
            CloseHandle(linked.LinkedToken);
        if (token)
            CloseHandle(token);
    }
    ~LimitedUser()
    {
        if (impersonating_)
            RevertToSelf();
    }
    LimitedUser(const LimitedUser&) = delete;
    LimitedUser& operator=(const LimitedUser&) = delete;

    // Why this thread could not be made a limited user's; nullptr once it is.
    const char* whyNot() const { return why_; }

private:
    static bool elevatedThread()
    {
        HANDLE token = nullptr;
        if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token))
            return false;
        TOKEN_ELEVATION elevation{};
        DWORD size = 0;
        GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size);
        CloseHandle(token);
        return elevation.TokenIsElevated != 0;
    }

    static bool mayOpenFiles()
    {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        const HANDLE folder = CreateFileW(
                temp, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (folder == INVALID_HANDLE_VALUE)
            return false;
        CloseHandle(folder);
        return true;
    }

    bool impersonating_ = false;
    const char* why_ = "";
};

// An administrator is refused by the disk, a user perhaps only for want of rights, and on what
// Windows keeps for itself nobody may change anything: the report's advice follows.
TEST(AttributeResetDenied, AnAdministratorIsRefusedByTheDisk)
{
    if (!processElevated())
        GTEST_SKIP() << "this process is not elevated";
    ScratchFolder scratch(L"flagwash-reset-");
    ASSERT_TRUE(scratch.created());
    const std::wstring path = scratch.path() + L"\\refused";
    ASSERT_TRUE(makeFile(path));
    ASSERT_TRUE(setAttributes(path, hiddenFlag | systemFlag));
    const Unchangeable unchangeable(path);
    if (!unchangeable.refused())
        GTEST_SKIP() << "no file here refuses a change (Wine needs /usr/bin/chattr)";

    const ResetOutcome outcome = makeAttributeReset()->resetToNormal(path);

    EXPECT_EQ(outcome.status, ResetOutcome::Status::AccessDenied) << outcome.reason;
    EXPECT_EQ(outcome.cause, ResetOutcome::Cause::RefusedByFileSystem);
    EXPECT_EQ(flagNames(attributesOf(path) & (hiddenFlag | systemFlag)), "hidden, system");
}

TEST(AttributeResetDenied, AUserMayBeLetAsAdministrator)
{
    ScratchFolder scratch(L"flagwash-reset-");
    ASSERT_TRUE(scratch.created());
    const std::wstring path = scratch.path() + L"\\refused";
    ASSERT_TRUE(makeFile(path));
    ASSERT_TRUE(setAttributes(path, hiddenFlag | systemFlag));
    const Unchangeable unchangeable(path);
    if (!unchangeable.refused())
        GTEST_SKIP() << "no file here refuses a change (Wine needs /usr/bin/chattr)";
    const LimitedUser user;
    if (user.whyNot())
        GTEST_SKIP() << user.whyNot();

    const ResetOutcome outcome = makeAttributeReset()->resetToNormal(path);

    EXPECT_EQ(outcome.status, ResetOutcome::Status::AccessDenied) << outcome.reason;
    EXPECT_EQ(outcome.cause, ResetOutcome::Cause::NeedsAdministrator);
}

TEST(AttributeResetDenied, WhatWindowsKeepsForItselfIsNobodysToChange)
{
    // Where the folder can be made (Wine's drive C: has none); Windows' own cannot be entered.
    wchar_t windows[MAX_PATH] = {};
    ASSERT_GT(GetWindowsDirectoryW(windows, MAX_PATH), 2u);
    const std::wstring folder = std::wstring(windows, 2) + L"\\System Volume Information";
    const bool made = CreateDirectoryW(folder.c_str(), nullptr) != FALSE;
    const std::wstring path = folder + L"\\flagwash-" + std::to_wstring(GetCurrentProcessId());
    struct Cleanup
    {
        std::wstring folder, path;
        bool made;
        ~Cleanup()
        {
            DeleteFileW(path.c_str());
            if (made)
                RemoveDirectoryW(folder.c_str());
        }
    } cleanup{folder, path, made};
    if (!makeFile(path))
        GTEST_SKIP() << "no file can be made in " << toUtf8(folder);
    ASSERT_TRUE(setAttributes(path, hiddenFlag | systemFlag));
    const Unchangeable unchangeable(path);
    if (!unchangeable.refused())
        GTEST_SKIP() << "no file here refuses a change (Wine needs /usr/bin/chattr)";
    const LimitedUser user;
    if (user.whyNot())
        GTEST_SKIP() << user.whyNot();

    const ResetOutcome outcome = makeAttributeReset()->resetToNormal(path);

    EXPECT_EQ(outcome.status, ResetOutcome::Status::AccessDenied) << outcome.reason;
    EXPECT_EQ(outcome.cause, ResetOutcome::Cause::ProtectedByWindows);
}

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

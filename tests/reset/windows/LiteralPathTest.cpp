#include "NamedCase.h"
#include "reset/AttributeReset_windows.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>

namespace {

// Wine opens long paths even without the prefix, and its own parser strips trailing dots as
// Windows' does, so the rule itself is checked here; the reset tests show it on real files.

// "C:" followed by folder names up to exactly `length` characters.
std::wstring pathOfLength(const std::wstring& start, std::size_t length)
{
    std::wstring path = start;
    while (path.size() < length) {
        path += L"\\abcdefghijklmnopqrstuvwxyz";
    }
    path.resize(length);
    if (path.back() == L'\\')
        path.back() = L'x';
    return path;
}

const std::wstring long300 = pathOfLength(L"C:", 300);

struct LiteralCase : tables::NamedCase
{
    std::wstring path;
    std::wstring expected;
    std::wstring current = L"C:\\work\\here";
};

class LiteralPath : public ::testing::TestWithParam<LiteralCase>
{
};

TEST_P(LiteralPath, IsAbsoluteAndKeepsEveryName)
{
    // Drive D has a current directory of its own; the others have none.
    const std::map<wchar_t, std::wstring> driveDirectories{{L'D', L"D:\\data\\sub"},
                                                           {L'd', L"D:\\data\\sub"}};
    const auto driveDirectory = [&](wchar_t drive) {
        const auto found = driveDirectories.find(drive);
        return found == driveDirectories.end() ? std::wstring() : found->second;
    };
    EXPECT_EQ(literalPath(GetParam().path, GetParam().current, driveDirectory),
              GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
        Cases, LiteralPath,
        ::testing::Values(
                LiteralCase{"Full", L"C:\\Users\\me\\file.txt", L"\\\\?\\C:\\Users\\me\\file.txt"},
                LiteralCase{"TrailingDot", L"C:\\d\\hid.", L"\\\\?\\C:\\d\\hid."},
                LiteralCase{"TrailingDots", L"C:\\d\\hid..", L"\\\\?\\C:\\d\\hid.."},
                LiteralCase{"TrailingSpace", L"C:\\d\\name ", L"\\\\?\\C:\\d\\name "},
                LiteralCase{"FolderWithTrailingDot", L"C:\\dirdot.\\file",
                            L"\\\\?\\C:\\dirdot.\\file"},
                LiteralCase{"ThreeDotsIsAName", L"C:\\d\\...", L"\\\\?\\C:\\d\\..."},
                LiteralCase{"DeviceNamesAreNames", L"C:\\d\\CON", L"\\\\?\\C:\\d\\CON"},
                LiteralCase{"DeviceNameWithExtension", L"C:\\d\\aux.txt", L"\\\\?\\C:\\d\\aux.txt"},
                LiteralCase{"SlashesAndDots", L"C:/Users/me/../me/./file.",
                            L"\\\\?\\C:\\Users\\me\\file."},
                LiteralCase{"RunsOfSeparators", L"C:\\a\\\\b\\", L"\\\\?\\C:\\a\\b"},
                LiteralCase{"NotAboveTheRoot", L"C:\\..\\..\\x", L"\\\\?\\C:\\x"},
                LiteralCase{"DriveRoot", L"C:\\", L"\\\\?\\C:\\"},
                LiteralCase{"Relative", L"hid.", L"\\\\?\\C:\\work\\here\\hid."},
                LiteralCase{"RelativeDeviceName", L"nul", L"\\\\?\\C:\\work\\here\\nul"},
                LiteralCase{"RelativeUp", L"..\\other\\name ", L"\\\\?\\C:\\work\\other\\name "},
                LiteralCase{"RelativeDot", L".", L"\\\\?\\C:\\work\\here"},
                LiteralCase{"RootRelative", L"\\top\\x.", L"\\\\?\\C:\\top\\x."},
                LiteralCase{"DriveRelativeOnTheCurrentDrive", L"C:x.",
                            L"\\\\?\\C:\\work\\here\\x."},
                LiteralCase{"DriveRelativeLowerCase", L"c:x", L"\\\\?\\C:\\work\\here\\x"},
                LiteralCase{"DriveRelativeElsewhere", L"D:x.", L"\\\\?\\D:\\data\\sub\\x."},
                LiteralCase{"DriveRelativeUp", L"D:..\\y", L"\\\\?\\D:\\data\\y"},
                LiteralCase{"DriveRelativeAlone", L"D:", L"\\\\?\\D:\\data\\sub"},
                LiteralCase{"DriveRelativeWithoutDirectory", L"E:x", L"\\\\?\\E:\\x"},
                LiteralCase{"Share", L"\\\\server\\share\\dir\\f.",
                            L"\\\\?\\UNC\\server\\share\\dir\\f."},
                LiteralCase{"ShareWithSlashes", L"//server/share/x/../y ",
                            L"\\\\?\\UNC\\server\\share\\y "},
                LiteralCase{"ShareNotAboveItsRoot", L"\\\\server\\share\\..\\x",
                            L"\\\\?\\UNC\\server\\share\\x"},
                LiteralCase{"RelativeOnAShare", L"f.", L"\\\\?\\UNC\\srv\\sh\\dir\\f.",
                            L"\\\\srv\\sh\\dir"},
                LiteralCase{"RootRelativeOnAShare", L"\\f", L"\\\\?\\UNC\\srv\\sh\\f",
                            L"\\\\srv\\sh\\dir"},
                LiteralCase{"CurrentDirectoryLiteral", L"x", L"\\\\?\\C:\\work.\\x",
                            L"\\\\?\\C:\\work."},
                LiteralCase{"Long", long300 + L".", L"\\\\?\\" + long300 + L"."},
                LiteralCase{"LongWithSlashesAndDots", L"C:/x/./y/../" + long300.substr(3) + L" ",
                            L"\\\\?\\C:\\x\\" + long300.substr(3) + L" "},
                LiteralCase{"LongShare", L"\\\\server\\share\\" + long300.substr(3),
                            L"\\\\?\\UNC\\server\\share\\" + long300.substr(3)},
                // Taken literally already: even "/" and ".." are names there.
                LiteralCase{"AlreadyLiteral", L"\\\\?\\C:\\a\\..\\b.", L"\\\\?\\C:\\a\\..\\b."},
                LiteralCase{"AlreadyLiteralShare", L"\\\\?\\UNC\\server\\share\\" + long300,
                            L"\\\\?\\UNC\\server\\share\\" + long300},
                // Windows' device spelling, which it reads: the same names in the literal form.
                LiteralCase{"DeviceSpellingOfADrive", L"\\\\.\\C:\\a\\..\\b.", L"\\\\?\\C:\\b."},
                LiteralCase{"DeviceSpellingOfAShare", L"\\\\.\\UNC\\srv\\sh\\x",
                            L"\\\\?\\UNC\\srv\\sh\\x"},
                LiteralCase{"LiteralSpeltWithSlashes", L"//?/C:/a/../b", L"\\\\?\\C:\\b"},
                LiteralCase{"Pipe", L"\\\\.\\pipe\\name", L"\\\\?\\pipe\\name"},
                LiteralCase{"Port", L"\\\\.\\COM1", L"\\\\?\\COM1"},
                LiteralCase{"Volume", L"\\\\.\\C:", L"\\\\?\\C:"}, LiteralCase{"Empty", L"", L""}),
        tables::caseName);

TEST(LiteralPathHere, JoinsARelativePathToTheCurrentDirectory)
{
    wchar_t current[MAX_PATH] = {};
    ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, current), 0u);
    std::wstring expected = std::wstring(L"\\\\?\\") + current;
    if (expected.back() != L'\\')
        expected += L'\\';
    EXPECT_EQ(literalPath(L"name ."), expected + L"name .");
}

struct DeviceCase : tables::NamedCase
{
    std::wstring path;
    bool device;
};

class NamesDevice : public ::testing::TestWithParam<DeviceCase>
{
};

TEST_P(NamesDevice, TellsDevicesFromFilesAndFolders)
{
    EXPECT_EQ(namesDevice(GetParam().path), GetParam().device);
}

INSTANTIATE_TEST_SUITE_P(
        Cases, NamesDevice,
        ::testing::Values(
                DeviceCase{"File", L"C:\\Users\\me\\file.txt", false},
                DeviceCase{"DriveRoot", L"C:\\", false},
                DeviceCase{"Share", L"\\\\server\\share\\file.txt", false},
                DeviceCase{"Long", L"\\\\?\\" + long300, false},
                DeviceCase{"LowerCaseDrive", L"\\\\?\\c:\\file", false},
                DeviceCase{"LongShare", L"\\\\?\\UNC\\server\\share\\file.txt", false},
                DeviceCase{"Volume", L"\\\\?\\Volume{26a21bda-a627-11d7-9931-806e6f6e6963}\\f",
                           false},
                DeviceCase{"DeviceSpellingOfADrive", L"\\\\.\\C:\\file.txt", false},
                // Files named like devices, in a folder or in the current one.
                DeviceCase{"FileNamedCon", L"C:\\dir\\CON", false},
                DeviceCase{"FileNamedAuxTxt", L"C:\\dir\\aux.txt", false},
                DeviceCase{"FileNamedCom1Log", L"C:\\dir\\COM1.log", false},
                DeviceCase{"RelativeCon", L"CON", false}, DeviceCase{"RelativeNul", L"nul", false},
                DeviceCase{"Port", L"\\\\.\\COM1", true},
                DeviceCase{"Pipe", L"\\\\.\\pipe\\name", true},
                DeviceCase{"PipeLiterally", L"\\\\?\\pipe\\name", true},
                DeviceCase{"Disk", L"\\\\.\\PhysicalDrive0", true},
                DeviceCase{"GlobalRoot", L"\\\\?\\GLOBALROOT\\Device\\Null", true},
                DeviceCase{"DriveVolume", L"\\\\.\\C:", true},
                DeviceCase{"DriveVolumeLiterally", L"\\\\?\\C:", true},
                DeviceCase{"VolumeItself", L"\\\\?\\Volume{26a21bda-a627-11d7-9931-806e6f6e6963}",
                           true},
                DeviceCase{"RemotePipe", L"\\\\server\\pipe\\name", true},
                DeviceCase{"RemotePipeLiterally", L"\\\\?\\UNC\\server\\PIPE\\name", true},
                DeviceCase{"Mailslot", L"\\\\*\\mailslot\\name", true}),
        tables::caseName);

struct KeptCase : tables::NamedCase
{
    std::wstring path;
    bool kept;
};

class KeptByWindowsByName : public ::testing::TestWithParam<KeptCase>
{
};

TEST_P(KeptByWindowsByName, IsSystemVolumeInformationAtAVolumesRoot)
{
    EXPECT_EQ(keptByWindowsByName(GetParam().path), GetParam().kept);
}

INSTANTIATE_TEST_SUITE_P(
        Cases, KeptByWindowsByName,
        ::testing::Values(
                KeptCase{"TheFolder", L"C:\\System Volume Information", true},
                KeptCase{"Inside", L"C:\\System Volume Information\\tracking.log", true},
                KeptCase{"AnyCase", L"d:\\SYSTEM volume INFORMATION\\x\\y", true},
                KeptCase{"ThroughDots", L"C:\\x\\..\\System Volume Information\\y", true},
                KeptCase{"OnAShare", L"\\\\server\\share\\System Volume Information", true},
                KeptCase{"Literally", L"\\\\?\\C:\\System Volume Information\\x", true},
                KeptCase{"OnAVolume",
                         L"\\\\?\\Volume{26a21bda-a627-11d7-9931-806e6f6e6963}\\System Volume "
                         L"Information",
                         true},
                KeptCase{"BelowTheRoot", L"C:\\backup\\System Volume Information", false},
                KeptCase{"LongerName", L"C:\\System Volume Information2", false},
                // Read literally, a trailing dot makes it another name.
                KeptCase{"WithTrailingDot", L"C:\\System Volume Information.", false},
                KeptCase{"TheRoot", L"C:\\", false},
                KeptCase{"OtherFile", L"C:\\Users\\me\\file.txt", false}),
        tables::caseName);

}  // namespace

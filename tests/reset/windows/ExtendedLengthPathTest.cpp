#include "reset/AttributeReset_windows.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Wine opens long paths even without the prefix, so a missing prefix would go unnoticed in the
// file tests; here the rule itself is checked.

// "C:\" followed by folder names up to exactly `length` characters.
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

struct PrefixCase
{
    const char* name;
    std::wstring path;
    std::wstring expected;
};

void PrintTo(const PrefixCase& c, std::ostream* os)
{
    *os << c.name;
}

class ExtendedLengthPath : public ::testing::TestWithParam<PrefixCase>
{
};

TEST_P(ExtendedLengthPath, PrefixesPathsFromMaxPathOn)
{
    EXPECT_EQ(extendedLengthPath(GetParam().path), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
        Cases, ExtendedLengthPath,
        ::testing::Values(
                PrefixCase{"Short", L"C:\\Users\\me\\file.txt", L"C:\\Users\\me\\file.txt"},
                PrefixCase{"ShortKeepsItsSpelling", L"C:/Users/me/../me/file.txt",
                           L"C:/Users/me/../me/file.txt"},
                PrefixCase{"Length259", pathOfLength(L"C:", 259), pathOfLength(L"C:", 259)},
                PrefixCase{"Length260", pathOfLength(L"C:", 260),
                           L"\\\\?\\" + pathOfLength(L"C:", 260)},
                PrefixCase{"Long", long300, L"\\\\?\\" + long300},
                // The prefix turns off the API's own clean-up, so it is done first.
                PrefixCase{"LongWithSlashesAndDots", L"C:/x/./y/../" + long300.substr(3),
                           L"\\\\?\\C:\\x\\" + long300.substr(3)},
                PrefixCase{"LongShare", L"\\\\server\\share\\" + long300.substr(3),
                           L"\\\\?\\UNC\\server\\share\\" + long300.substr(3)},
                PrefixCase{"AlreadyPrefixed", L"\\\\?\\" + long300, L"\\\\?\\" + long300},
                PrefixCase{"AlreadyPrefixedShare", L"\\\\?\\UNC\\server\\share\\" + long300,
                           L"\\\\?\\UNC\\server\\share\\" + long300}),
        [](const auto& test) { return std::string(test.param.name); });

struct DeviceCase
{
    const char* name;
    std::wstring path;
    bool device;
};

void PrintTo(const DeviceCase& c, std::ostream* os)
{
    *os << c.name;
}

class NamesDevice : public ::testing::TestWithParam<DeviceCase>
{
};

TEST_P(NamesDevice, TellsDevicesFromFilesAndFolders)
{
    EXPECT_EQ(namesDevice(GetParam().path), GetParam().device);
}

INSTANTIATE_TEST_SUITE_P(
        Cases, NamesDevice,
        ::testing::Values(DeviceCase{"File", L"C:\\Users\\me\\file.txt", false},
                          DeviceCase{"DriveRoot", L"C:\\", false},
                          DeviceCase{"Share", L"\\\\server\\share\\file.txt", false},
                          DeviceCase{"Long", L"\\\\?\\" + long300, false},
                          DeviceCase{"LongShare", L"\\\\?\\UNC\\server\\share\\file.txt", false},
                          DeviceCase{"Volume",
                                     L"\\\\?\\Volume{26a21bda-a627-11d7-9931-806e6f6e6963}\\f",
                                     false},
                          DeviceCase{"DeviceSpellingOfADrive", L"\\\\.\\C:\\file.txt", false},
                          DeviceCase{"Port", L"\\\\.\\COM1", true},
                          DeviceCase{"Console", L"CON", true},
                          DeviceCase{"Pipe", L"\\\\.\\pipe\\name", true},
                          DeviceCase{"PipeLiterally", L"\\\\?\\pipe\\name", true},
                          DeviceCase{"Disk", L"\\\\.\\PhysicalDrive0", true},
                          DeviceCase{"GlobalRoot", L"\\\\?\\GLOBALROOT\\Device\\Null", true}),
        [](const auto& test) { return std::string(test.param.name); });

}  // namespace

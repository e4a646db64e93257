#include "NamedCase.h"
#include "ScratchFolder_windows.h"
#include "app/SystemDirectory.h"
#include "web/Launcher.h"

#include <gtest/gtest.h>

#include "platform/WideText_windows.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace {

// The probe gets 60 s to answer; it answers in well under a second, so reaching this is a
// failure, never a measurement.
constexpr DWORD probeDeadline = 60000;

std::wstring folderOfThisProgram()
{
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path.substr(0, path.find_last_of(L'\\'));
}

class Handle
{
public:
    explicit Handle(HANDLE handle = nullptr)
        : handle_(handle)
    { }
    ~Handle()
    {
        if (handle_)
            CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

// "key=value" lines, as the probe writes them.
std::map<std::string, std::string> readRecord(const std::wstring& path)
{
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    std::map<std::string, std::string> record;
    std::string line;
    while (std::getline(file, line)) {
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos)
            record[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return record;
}

struct LaunchCase : tables::NamedCase
{
    ShowState state;
    int showWindow;
    std::string extraArguments;
};

class LauncherWindows : public ::testing::TestWithParam<LaunchCase>
{
};

TEST_P(LauncherWindows, StartsTheCommandLineInTheWindowStateAndReturnsAtOnce)
{
    const LaunchCase& c = GetParam();
    ScratchFolder scratch(L"flagwash launch ü€-");
    ASSERT_TRUE(scratch.created());
    const std::wstring probe = scratch.path() + L"\\launch probe.exe";
    ASSERT_TRUE(CopyFileW((folderOfThisProgram() + L"\\launch_probe.exe").c_str(), probe.c_str(),
                          FALSE))
            << "launch_probe.exe is built next to this test";
    const std::wstring record = scratch.path() + L"\\record.txt";
    const std::wstring unique
            = std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount64());
    const std::wstring readyName = L"Local\\flagwash-probe-ready-" + unique;
    const std::wstring releaseName = L"Local\\flagwash-probe-release-" + unique;
    // Inheritable on purpose: the probe reports whether it received it.
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    Handle ready(CreateEventW(&inheritable, TRUE, FALSE, readyName.c_str()));
    Handle release(CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str()));
    ASSERT_TRUE(ready.get() && release.get());
    std::wostringstream handleValue;
    handleValue << std::hex << reinterpret_cast<ULONG_PTR>(ready.get());

    const std::string commandLine = "\"" + toUtf8(probe) + "\" \"" + toUtf8(record) + "\" "
            + toUtf8(readyName) + " " + toUtf8(releaseName) + " " + toUtf8(handleValue.str())
            + c.extraArguments;
    const LaunchResult result = makeLauncher(toWide(makeSystemDirectory()->query().written()))
                                        ->launch(commandLine, c.state);

    ASSERT_TRUE(result.started) << result.error;
    EXPECT_EQ(result.error, "");
    ASSERT_EQ(WaitForSingleObject(ready.get(), probeDeadline), WAIT_OBJECT_0)
            << "the probe never reported";
    std::map<std::string, std::string> seen = readRecord(record);
    const Handle child(OpenProcess(SYNCHRONIZE, FALSE, std::stoul(seen["processId"])));
    // The probe waits for the release below, so the launcher cannot have waited for it to end.
    EXPECT_EQ(WaitForSingleObject(child.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(release.get());
    WaitForSingleObject(child.get(), probeDeadline);

    EXPECT_EQ(seen["commandLine"], commandLine);
    EXPECT_TRUE(std::stoul(seen["flags"]) & STARTF_USESHOWWINDOW);
    EXPECT_EQ(seen["showWindow"], std::to_string(c.showWindow));
    EXPECT_EQ(seen["inheritedHandle"], "no");
    // Not the tool's own folder, which may be on a USB stick the user wants to remove.
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    EXPECT_EQ(seen["folder"], toUtf8(system));
}

INSTANTIATE_TEST_SUITE_P(
        Cases, LauncherWindows,
        ::testing::Values(LaunchCase{"MinimizedNoActivate", ShowState::MinimizedNoActivate,
                                     SW_SHOWMINNOACTIVE,
                                     " http://www.quorvane.example/en/modules/"
                                     "mydownloads/singlefile.php?cid=2&lid=6"},
                          LaunchCase{
                                  "MaximizedActive", ShowState::MaximizedActive, SW_SHOWMAXIMIZED,
                                  "  \"quoted argument\" ünïcode-€ http://www.quorvane.example/"}),
        tables::caseName);

struct FailureCase : tables::NamedCase
{
    std::wstring program;  // in the scratch folder; empty: an empty command line
    std::string error;
};

class LauncherWindowsFailure : public ::testing::TestWithParam<FailureCase>
{
};

TEST_P(LauncherWindowsFailure, ReportsWhyNothingStarted)
{
    const FailureCase& c = GetParam();
    ScratchFolder scratch(L"flagwash launch ü€-");
    ASSERT_TRUE(scratch.created());
    std::string commandLine;
    if (!c.program.empty()) {
        commandLine = toUtf8(scratch.path() + c.program);
        commandLine.insert(0, 1, '"');
        commandLine += "\" --flag";
    }

    const LaunchResult result = makeLauncher(toWide(makeSystemDirectory()->query().written()))
                                        ->launch(commandLine, ShowState::MaximizedActive);

    EXPECT_FALSE(result.started);
    EXPECT_NE(result.error.find(c.error), std::string::npos) << result.error;
}

INSTANTIATE_TEST_SUITE_P(
        Cases, LauncherWindowsFailure,
        ::testing::Values(FailureCase{"EmptyCommandLine", L"", "The command line is empty."},
                          FailureCase{"MissingProgram", L"\\no such browser.exe", "(error 2)"}),
        tables::caseName);

// The fallback must name a program that exists, quoted, so process creation never tries
// "C:\Program" first.
TEST(LauncherWindowsFallback, IsTheQuotedInternetExplorerOnTheSystemDrive)
{
    const SystemDirectoryReport directory = makeSystemDirectory()->query();
    ASSERT_GE(directory.length, 3);
    const std::string sysDrive = directory.text.substr(0, 3);

    const std::string command = makeLauncher(toWide(makeSystemDirectory()->query().written()))
                                        ->fallbackBrowser(sysDrive);

    ASSERT_GE(command.size(), 2u);
    EXPECT_EQ(command.front(), '"');
    EXPECT_EQ(command.back(), '"');
    const std::string program = command.substr(1, command.size() - 2);
    EXPECT_EQ(program.rfind(sysDrive, 0), 0u) << program;
    const DWORD attributes = GetFileAttributesW(toWide(program).c_str());
    EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES) << program << " does not exist";
    EXPECT_FALSE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

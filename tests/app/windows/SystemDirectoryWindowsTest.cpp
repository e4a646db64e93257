#include "Fakes.h"
#include "app/SystemDirectory.h"
#include "app/frmFlagwash.h"

#include <gtest/gtest.h>

#include "platform/WideText_windows.h"

#include <windows.h>

#include <string>

namespace {

// SystemRoot and SystemDrive are set for every process from the system's own configuration,
// so they are a source independent of GetSystemDirectoryW.
std::wstring environment(const wchar_t* name)
{
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(name, buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

// File names compare without regard to case, as the file system does.
bool sameName(const std::string& utf8, const std::wstring& expected)
{
    return CompareStringOrdinal(toWide(utf8).c_str(), -1, expected.c_str(), -1, TRUE) == CSTR_EQUAL;
}

bool underWine()
{
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

TEST(SystemDirectoryWindows, ReportsTheSystem32FolderOfTheWindowsFolder)
{
    const SystemDirectoryReport report = makeSystemDirectory()->query();

    ASSERT_GT(report.length, 0);
    EXPECT_EQ(static_cast<std::size_t>(report.length), report.text.size());
    const std::wstring systemRoot = environment(L"SystemRoot");
    ASSERT_FALSE(systemRoot.empty());
    EXPECT_TRUE(sameName(report.text, systemRoot + L"\\system32")) << report.text;
    if (underWine()) {
        EXPECT_EQ(report.text, "C:\\windows\\system32");
    }
}

TEST(SystemDirectoryWindows, FormLoadDerivesSysDirAndSysDriveFromTheRealCall)
{
    EventLog log;
    FakeView view(log);
    FakeAttributeReset reset(log);
    FakeRegistry registry;
    RecordingLauncher launcher(log);
    const auto systemDirectory = makeSystemDirectory();
    frmFlagwash form(view, *systemDirectory, reset, registry, launcher);

    form.Form_Load();

    const MainWindowState& state = form.state();
    EXPECT_TRUE(sameName(state.SysDir, environment(L"SystemRoot") + L"\\system32\\"))
            << state.SysDir;
    EXPECT_EQ(state.SysDirLen, static_cast<std::int32_t>(state.SysDir.size() - 1));
    EXPECT_TRUE(sameName(state.SysDrive, environment(L"SystemDrive") + L"\\")) << state.SysDrive;
    if (underWine()) {
        EXPECT_EQ(state.SysDir, "C:\\windows\\system32\\");
        EXPECT_EQ(state.SysDrive, "C:\\");
    }
}

}  // namespace

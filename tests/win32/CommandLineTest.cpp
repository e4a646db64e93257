// The real Flagwash.exe given files on its command line, as Send To and a drop on its icon do.
#include "BuiltProgram.h"
#include "WindowFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>

namespace {

// For as long as it lives, the default browser is a program that does not exist, so the pages
// the started program opens start nothing. Written where the program reads, the 64-bit view
// (Wine keeps the two views of this key apart; Windows 7 and later share it).
class NoBrowser
{
public:
    NoBrowser()
        : client_(L"FlagwashNoBrowser" + std::to_wstring(GetCurrentProcessId()))
    {
        HKEY user = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, clientsKey, 0, nullptr, 0,
                        KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &user, nullptr);
        DWORD type = 0, size = sizeof(previous_);
        hadPrevious_ = RegQueryValueExW(user, nullptr, nullptr, &type,
                                        reinterpret_cast<BYTE*>(previous_), &size)
                        == ERROR_SUCCESS
                && type == REG_SZ;
        setText(user, client_);
        RegCloseKey(user);
        HKEY command = nullptr;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, commandKey().c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &command, nullptr);
        setText(command, L"C:\\no such browser.exe");
        RegCloseKey(command);
    }
    ~NoBrowser()
    {
        HKEY user = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, clientsKey, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &user)
            == ERROR_SUCCESS) {
            if (hadPrevious_)
                setText(user, previous_);
            else
                RegDeleteValueW(user, nullptr);
            RegCloseKey(user);
        }
        HKEY clients = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, clientsKey, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                          &clients)
            == ERROR_SUCCESS) {
            RegDeleteTreeW(clients, client_.c_str());
            RegCloseKey(clients);
        }
    }
    NoBrowser(const NoBrowser&) = delete;
    NoBrowser& operator=(const NoBrowser&) = delete;

private:
    // The same path under HKCU (the client's name) and HKLM (its command).
    static constexpr const wchar_t* clientsKey = L"Software\\Clients\\StartMenuInternet";
    std::wstring commandKey() const
    {
        return std::wstring(clientsKey) + L"\\" + client_ + L"\\shell\\open\\command";
    }
    static void setText(HKEY key, const std::wstring& text)
    {
        RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }

    std::wstring client_;
    wchar_t previous_[512] = {};
    bool hadPrevious_ = false;
};

HWND mainWindowOf(DWORD processId)
{
    const std::vector<HWND> found = desktopWindows([processId](HWND candidate) {
        DWORD owner = 0;
        GetWindowThreadProcessId(candidate, &owner);
        return owner == processId && classOf(candidate) == L"frmFlagwash";
    });
    return found.empty() ? nullptr : found.front();
}

TEST(Win32CommandLine, FilesHandedOverAreOneDropThatWaitsForReset)
{
    if (const char* why = whyNoWindows())
        GTEST_SKIP() << why;
    const NoBrowser noBrowser;

    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring hidden = std::wstring(temp) + L"Flagwash args \u00e9\u4e2d.txt";
    const std::wstring missing = std::wstring(temp) + L"Flagwash no such file";
    const HANDLE file = CreateFileW(hidden.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);

    const std::wstring program = builtProgramPath();
    std::wstring commandLine = L"\"" + program + L"\" \"" + hidden + L"\" \"" + missing + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, &startup, &process));
    // Idle once its window is up and its start-up is done.
    WaitForInputIdle(process.hProcess, 30000);
    HWND window = mainWindowOf(process.dwProcessId);
    for (int tries = 0; !window && tries < 300; ++tries) {
        WaitForSingleObject(process.hProcess, 100);
        window = mainWindowOf(process.dwProcessId);
    }
    ASSERT_TRUE(window) << "no window of Flagwash.exe";

    EXPECT_EQ(textOf(window), L"2 File(s)/Folder(s) selected. Click RESET");
    EXPECT_EQ(GetFileAttributesW(hidden.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
              DWORD(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
            << "a file was reset before RESET";

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 30000), WAIT_OBJECT_0);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(hidden.c_str());
}

}  // namespace

#include "web/Launcher.h"

#include "web/BrowserCommand.h"

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::optional<std::wstring> toWide(std::string_view utf8)
{
    const int length = static_cast<int>(utf8.size());
    const int units
        = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, nullptr, 0);
    if (units <= 0)
        return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, wide.data(), units);
    return wide;
}

std::string toUtf8(std::wstring_view text)
{
    if (text.empty())
        return {};
    const int length = static_cast<int>(text.size());
    const int bytes
        = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return {};
    std::string utf8(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), length, utf8.data(), bytes, nullptr, nullptr);
    return utf8;
}

// "The system cannot find the file specified. (error 2)": the user reads the first part, the
// code is what a search or a support request needs.
std::string describeError(DWORD code)
{
    wchar_t *buffer = nullptr;
    const DWORD length
        = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                             | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
                         nullptr, code, 0, reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
    std::wstring text(buffer ? buffer : L"", length);
    LocalFree(buffer);
    while (!text.empty() && (text.back() == L' ' || text.back() == L'\r' || text.back() == L'\n'))
        text.pop_back();
    const std::string number = "error " + std::to_string(code);
    return text.empty() ? "Windows " + number : toUtf8(text) + " (" + number + ")";
}

std::wstring systemDirectory()
{
    wchar_t buffer[MAX_PATH];
    const UINT length = GetSystemDirectoryW(buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

class ProcessLauncher final : public Launcher
{
public:
    LaunchResult launch(const std::string& commandLine, ShowState state) override
    {
        if (commandLine.empty())
            return {false, "The command line is empty."};
        const std::optional<std::wstring> wide = toWide(commandLine);
        if (!wide)
            return {false, "The command line is not valid UTF-8."};
        // CreateProcessW may write into the command line while it parses it.
        std::vector<wchar_t> writable(wide->begin(), wide->end());
        writable.push_back(L'\0');

        STARTUPINFOW startup {};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = static_cast<WORD>(
            state == ShowState::MinimizedNoActivate ? SW_SHOWMINNOACTIVE : SW_SHOWMAXIMIZED);
        PROCESS_INFORMATION process {};
        // The browser outlives the tool: it must not keep the tool's folder (perhaps on the
        // stick being cleaned) busy, nor any of its files or pipes open.
        const std::wstring folder = systemDirectory();
        if (!CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            folder.empty() ? nullptr : folder.c_str(), &startup, &process))
            return {false, describeError(GetLastError())};
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return {true, {}};
    }

    std::string fallbackBrowser(const std::string& sysDrive) const override
    {
        return internetExplorerCommand(sysDrive);
    }
};

} // namespace

std::unique_ptr<Launcher> makeLauncher()
{
    return std::make_unique<ProcessLauncher>();
}

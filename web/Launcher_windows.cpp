#include "web/Launcher.h"

#include "web/BrowserCommand.h"
#include "web/CommandLine.h"

#include "platform/WideText_windows.h"

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

class ProcessLauncher final : public Launcher
{
public:
    explicit ProcessLauncher(std::filesystem::path startFolder)
        : startFolder_(std::move(startFolder))
    { }

    LaunchResult launch(const std::string& commandLine, ShowState state) override
    {
        if (const std::optional<std::string> problem = commandLineProblem(commandLine))
            return {false, *problem};
        const std::optional<std::wstring> wide = toWideExactly(commandLine);
        if (!wide)
            return {false, "The command line is not valid UTF-8."};
        // CreateProcessW may write into the command line while it parses it.
        std::vector<wchar_t> writable(wide->begin(), wide->end());
        writable.push_back(L'\0');

        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = static_cast<WORD>(
                state == ShowState::MinimizedNoActivate ? SW_SHOWMINNOACTIVE : SW_SHOWMAXIMIZED);
        PROCESS_INFORMATION process{};
        // The browser outlives the tool: it must not keep the tool's folder busy, nor any of its
        // files or pipes open.
        const std::wstring& folder = startFolder_.native();
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

private:
    std::filesystem::path startFolder_;
};

}  // namespace

std::unique_ptr<Launcher> makeLauncher(std::filesystem::path startFolder)
{
    return std::make_unique<ProcessLauncher>(std::move(startFolder));
}

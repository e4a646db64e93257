#include "StartUp.h"

#include "FlagwashWindow.h"
#include "app/frmFlagwash.h"

#include <string>

std::vector<std::filesystem::path> commandLineFiles(int argc, char* argv[])
{
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i)
        files.emplace_back(std::string(argv[i]));
    return files;
}

void showAtStart(FlagwashWindow& window, frmFlagwash& form,
                 std::vector<std::filesystem::path> files)
{
    form.Form_Load();
    form.takeCommandLineFiles(std::move(files));
    // The size the platform reports when the window first gets one.
    form.Form_Resize();
    window.centreOnScreen();
    window.show();
}

LaunchResult LaunchAfterShow::launch(const std::string& commandLine, ShowState state)
{
    if (!held_)
        return launcher_.launch(commandLine, state);
    kept_.emplace_back(commandLine, state);
    return {true, {}};
}

std::string LaunchAfterShow::fallbackBrowser(const std::string& sysDrive) const
{
    return launcher_.fallbackBrowser(sysDrive);
}

void LaunchAfterShow::release()
{
    held_ = false;
    for (const auto& [commandLine, state] : std::exchange(kept_, {}))
        launcher_.launch(commandLine, state);
}

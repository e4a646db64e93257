#pragma once
#include "web/Launcher.h"

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

class FlagwashWindow;
class frmFlagwash;

// The program's arguments after its name, each the exact bytes it was given.
std::vector<std::filesystem::path> commandLineFiles(int argc, char* argv[]);

// Brings the window up as the program starts: Form_Load, the files handed over on the command
// line, then the window shown at its fixed size in the middle of the screen.
void showAtStart(FlagwashWindow& window, frmFlagwash& form,
                 std::vector<std::filesystem::path> files);

// The launcher the window's core is given: what it launches while the window is being brought
// up is started once the window has been shown. Starting a browser, announced to the window
// manager first, takes longer than anything else Form_Load does, and the window need not wait
// for it. Launches keep their order.
class LaunchAfterShow final : public Launcher
{
public:
    explicit LaunchAfterShow(Launcher& launcher)
        : launcher_(launcher)
    { }

    // Until release(), a launch is kept and counts as started: what Form_Load launches is
    // skipped silently when it fails, so nothing waits for its result.
    LaunchResult launch(const std::string& commandLine, ShowState state) override;
    std::string fallbackBrowser(const std::string& sysDrive) const override;
    // Starts the launches kept, in order; every later one starts at once.
    void release();

private:
    Launcher& launcher_;
    bool held_ = true;
    std::vector<std::pair<std::string, ShowState>> kept_;
};

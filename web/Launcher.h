#pragma once
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

enum class ShowState {
    MinimizedNoActivate,  // a taskbar button; the tool keeps the focus
    MaximizedActive,      // fills the screen and takes the focus
};

struct LaunchResult
{
    bool started = false;
    std::string error;  // why it did not start, when it did not
};

// Starts a command line as an independent process and returns at once: never waits for it,
// keeps no handle to it.
class Launcher
{
public:
    virtual ~Launcher() = default;
    virtual LaunchResult launch(const std::string& commandLine, ShowState state) = 0;
    // The browser command to use when none is registered, given the system drive's root.
    virtual std::string fallbackBrowser(const std::string& sysDrive) const = 0;
};

// Programs start in `startFolder`, never in the tool's own, which may be on the stick being
// cleaned: the browser would keep it busy for as long as it runs.
std::unique_ptr<Launcher> makeLauncher(std::filesystem::path startFolder);

#pragma once
// Recording stand-ins for the seams: what a test must never do for real is open a browser or
// wait for a click on a modal box.
#include "app/SystemDirectory.h"
#include "app/View.h"
#include "reset/AttributeReset.h"
#include "web/Launcher.h"
#include "web/RegistryReader.h"

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

// Everything the core asked of the screen and the OS, in one ordered log.
using EventLog = std::vector<std::string>;

struct ShownBox
{
    std::string title;
    std::string text;
    std::string details;
    bool warning = false;
};

class FakeView : public View
{
public:
    explicit FakeView(EventLog& log)
        : log_(log)
    { }

    void setCaption(const std::string& text) override;
    void prepareDropZone() override;
    void setDropZoneVisible(bool visible) override;
    void setOuterSizeTwips(int width, int height) override;
    void showInformation(const std::string& title, const std::string& text) override;
    void showReport(const std::string& title, const std::string& text, const std::string& details,
                    bool warning) override;
    void showProgress(std::size_t done, std::size_t total, const std::string& heading,
                      const std::string& currentPath) override;
    void hideProgress() override;
    void quit() override;

    std::string caption = "<never set>";
    bool dropZonePrepared = false;
    bool dropZoneVisible = false;
    int outerWidth = 0;
    int outerHeight = 0;
    std::vector<ShownBox> boxes;
    std::vector<std::string> progress;  // "done/total heading | path", as shown
    bool progressShown = false;
    int quits = 0;
    // Called from setOuterSizeTwips when the size changes, as a platform raises a resize.
    std::function<void()> onSizeChanged;
    // Called while a box is up, as events a toolkit lets through a modal box would be.
    std::function<void()> whileBoxIsUp;

private:
    EventLog& log_;
};

class FakeSystemDirectory : public SystemDirectory
{
public:
    explicit FakeSystemDirectory(SystemDirectoryReport report)
        : report_(std::move(report))
    { }
    SystemDirectoryReport query() override { return report_; }
    char separator() const override { return '\\'; }
    int driveRootLength() const override { return 3; }

private:
    SystemDirectoryReport report_;
};

// Every path is reset unless the test says otherwise; calls are logged.
class FakeAttributeReset : public AttributeReset
{
public:
    explicit FakeAttributeReset(EventLog& log)
        : log_(log)
    { }
    ResetOutcome resetToNormal(const std::filesystem::path& path) override;

    std::map<std::filesystem::path, ResetOutcome> outcomes;
    std::vector<std::filesystem::path> calls;
    std::function<void(const std::filesystem::path&)> onReset;  // e.g. to let time pass

private:
    EventLog& log_;
};

class FakeRegistry : public RegistryReader
{
public:
    RegistryValue read(const std::string& fullPath) override;

    std::map<std::string, RegistryValue> values;  // missing: a failed read
    std::vector<std::string> reads;
};

class RecordingLauncher : public Launcher
{
public:
    explicit RecordingLauncher(EventLog& log)
        : log_(log)
    { }
    LaunchResult launch(const std::string& commandLine, ShowState state) override;
    std::string fallbackBrowser(const std::string& sysDrive) const override;

    struct Launch
    {
        std::string commandLine;
        ShowState state;
    };
    std::vector<Launch> launches;
    bool fails = false;

private:
    EventLog& log_;
};

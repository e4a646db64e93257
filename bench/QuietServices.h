#pragma once
// The screen and the browser of a benchmark run: present, silent, instant.
#include "app/View.h"
#include "web/Launcher.h"

class QuietView final : public View
{
public:
    void setCaption(const std::string&) override { }
    void prepareDropZone() override { }
    void setDropZoneVisible(bool) override { }
    void setOuterSizeTwips(int, int) override { }
    void showInformation(const std::string&, const std::string& text) override { lastText = text; }
    void showProgress(std::size_t, std::size_t, const std::string&, const std::string&) override { }
    void hideProgress() override { }
    void quit() override { }
    std::string lastText;
};

class QuietLauncher final : public Launcher
{
public:
    LaunchResult launch(const std::string&, ShowState) override { return {true, {}}; }
    std::string fallbackBrowser(const std::string&) const override { return "browser"; }
};

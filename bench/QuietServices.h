#pragma once
// The screen and the browser of a benchmark run: present, silent, instant.
#include "app/SystemDirectory.h"
#include "app/View.h"
#include "app/frmFlagwash.h"
#include "reset/AttributeReset.h"
#include "web/Launcher.h"
#include "web/RegistryReader.h"

#include <memory>
#include <string>

class QuietView final : public View
{
public:
    void setCaption(const std::string&) override { }
    void prepareDropZone() override { }
    void setDropZoneVisible(bool) override { }
    void setOuterSizeTwips(int, int) override { }
    void showInformation(const std::string&, const std::string& text) override { lastText = text; }
    void showReport(const std::string&, const std::string& text, const std::string&, bool) override
    {
        lastText = text;
    }
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

// The window's core with the real system directory, attribute reset and registry behind it,
// loaded as the program loads it, and nothing on the screen or in a browser.
struct QuietForm
{
    QuietForm() { form.Form_Load(); }

    // Whether the last report says that every one of count paths was reset.
    bool reportedAllReset(std::size_t count) const
    {
        return view.lastText.rfind("Done resetting " + std::to_string(count) + " files", 0) == 0;
    }

    QuietView view;
    QuietLauncher launcher;
    std::unique_ptr<SystemDirectory> systemDirectory = makeSystemDirectory();
    std::unique_ptr<AttributeReset> reset = makeAttributeReset();
    std::unique_ptr<RegistryReader> registry = makeRegistryReader();
    frmFlagwash form{view, *systemDirectory, *reset, *registry, launcher};
};

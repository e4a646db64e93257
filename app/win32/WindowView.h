#pragma once
#include "app/View.h"

#include <memory>

class MainWindow;
class ProgressWindow;

// What the core asks of the screen, done to the Win32 window.
class WindowView : public View
{
public:
    explicit WindowView(MainWindow& window);
    ~WindowView() override;

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

private:
    MainWindow& window_;
    std::unique_ptr<ProgressWindow> progress_;
};

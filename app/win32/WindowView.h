#pragma once
#include "app/View.h"

class MainWindow;

// What the core asks of the screen, done to the Win32 window.
class WindowView : public View
{
public:
    explicit WindowView(MainWindow& window)
        : window_(window)
    {
    }

    void setCaption(const std::string& text) override;
    void prepareDropZone() override;
    void setDropZoneVisible(bool visible) override;
    void setOuterSizeTwips(int width, int height) override;
    void showInformation(const std::string& title, const std::string& text) override;
    void quit() override;

private:
    MainWindow& window_;
};

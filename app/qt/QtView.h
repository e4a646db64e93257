#pragma once
#include "app/View.h"

#include <functional>
#include <memory>

class FlagwashWindow;
class QProgressDialog;
class WindowNamePublisher;

// The core's View on a Qt window.
class QtView final : public View
{
public:
    // quit ends the program; main passes QCoreApplication::exit.
    QtView(FlagwashWindow& window, std::function<void()> quit);
    ~QtView() override;

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
    FlagwashWindow& window_;
    std::function<void()> quit_;
    std::unique_ptr<WindowNamePublisher> namePublisher_;
    std::unique_ptr<QProgressDialog> progress_;
};

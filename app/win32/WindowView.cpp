#include "WindowView.h"

#include "MainWindow.h"
#include "ProgressWindow.h"
#include "ReportDialog.h"
#include "app/Layout.h"
#include "platform/WideText_windows.h"

#include <windows.h>

WindowView::WindowView(MainWindow& window)
    : window_(window)
{ }

WindowView::~WindowView() = default;

void WindowView::setCaption(const std::string& text)
{
    if (HWND window = window_.handle())
        SetWindowTextW(window, toWide(text).c_str());
}

void WindowView::prepareDropZone()
{
    window_.registerDropTarget();
}

void WindowView::setDropZoneVisible(bool visible)
{
    window_.setDropZoneVisible(visible);
}

void WindowView::setOuterSizeTwips(int width, int height)
{
    HWND window = window_.handle();
    // Windows cannot size a minimized or maximized window; it keeps its state and size.
    if (!window || IsIconic(window) || IsZoomed(window))
        return;
    const int dpi = window_.dpi();
    const int widthPixels = Layout::twipsToPixels(width, dpi);
    const int heightPixels = Layout::twipsToPixels(height, dpi);
    RECT frame{};
    GetWindowRect(window, &frame);
    if (frame.right - frame.left == widthPixels && frame.bottom - frame.top == heightPixels)
        return;
    SetWindowPos(window, nullptr, 0, 0, widthPixels, heightPixels,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void WindowView::showInformation(const std::string& title, const std::string& text)
{
    MessageBoxW(window_.handle(), toWide(text).c_str(), toWide(title).c_str(),
                MB_OK | MB_ICONINFORMATION);
}

void WindowView::showReport(const std::string& title, const std::string& text,
                            const std::string& details, bool warning)
{
    if (warning && showReportDialog(window_.handle(), toWide(title), toWide(text), toWide(details)))
        return;
    MessageBoxW(window_.handle(), toWide(text).c_str(), toWide(title).c_str(),
                MB_OK | static_cast<UINT>(warning ? MB_ICONWARNING : MB_ICONINFORMATION));
}

void WindowView::showProgress(std::size_t done, std::size_t total, const std::string& heading,
                              const std::string& currentPath)
{
    if (!progress_)
        progress_ = std::make_unique<ProgressWindow>(window_.handle(), window_.dpi());
    progress_->update(done, total, toWide(heading), toWide(currentPath));
}

void WindowView::hideProgress()
{
    progress_.reset();
}

void WindowView::quit()
{
    if (HWND window = window_.handle())
        DestroyWindow(window);
    PostQuitMessage(0);
}

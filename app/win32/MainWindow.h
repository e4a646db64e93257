#pragma once
#include "ControlHost.h"
#include "DropSite.h"
#include "Picture.h"
#include "Tooltips.h"
#include "app/Layout.h"
#include "selection/DropPayload.h"

#include <array>
#include <cstddef>
#include <optional>

#include <windows.h>
#include <wrl/client.h>

class frmFlagwash;
class DropTarget;
class WindowAccessible;

// The window frmFlagwash on Windows: draws the layout table, shows its tooltips, takes clicks,
// drags and drops, and forwards each event to the core handler of the same name.
class MainWindow final : public DropSite, public ControlHost
{
public:
    // Creates the window, hidden; handle() is null when that fails.
    explicit MainWindow(HINSTANCE instance);
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;
    ~MainWindow();

    HWND handle() const override { return window_; }
    int dpi() const override { return dpi_; }

    // Events reach the form from now on.
    void attach(frmFlagwash& form);
    // Raises the size-changed event of the first display, centres the window and shows it.
    void show(int showCommand);

    // What the View does to the window.
    void registerDropTarget();
    void setDropZoneVisible(bool visible);

    // What the drop target reports and asks. A disabled window, behind a modal box or a
    // progress display, takes no drag, as Windows finds no drop target in it; nor does the
    // window while the form is busy with a run or a box of its own.
    void dragOver() override;
    bool takesDropAt(POINT screenPoint) const override;
    void dropOnImage1(DropPayload payload) override;

    // What screen readers and the tooltips ask.
    bool isShown(const Layout::Control& control) const override;
    std::optional<std::size_t> controlAt(POINT clientPoint) const override;
    bool pressLater(std::size_t control) override;

private:
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    LRESULT onSize();
    LRESULT onRestoreSize();
    LRESULT onDpiChanged(int dpi, const RECT& suggested);
    LRESULT onPaint();
    LRESULT onLeftButtonDown(POINT point);
    LRESULT onMouseMove(WPARAM keys, POINT point);
    LRESULT onLeftButtonUp(POINT point);
    LRESULT onCaptureChanged();
    LRESULT onPress(WPARAM control);
    LRESULT onGetObject(WPARAM wParam, LPARAM lParam);
    LRESULT onClose();
    LRESULT onEndSession(bool ending);
    LRESULT onDestroy();

    void loadPicturesAndFont();
    void paint(HDC target) const;
    void click(Layout::ControlId id);
    void dragPictureOut();

    HINSTANCE instance_;
    HWND window_ = nullptr;
    frmFlagwash* form_ = nullptr;
    Microsoft::WRL::ComPtr<DropTarget> dropTarget_;
    Microsoft::WRL::ComPtr<WindowAccessible> accessible_;
    Tooltips tooltips_{*this};
    int dpi_ = Layout::referenceDpi;
    bool image1Shown_ = false;
    bool restorePosted_ = false;
    std::optional<std::size_t> pressed_;
    POINT pressPoint_{};

    Picture background_;
    std::array<Picture, Layout::controls.size()> pictures_;
    HFONT labelFont_ = nullptr;
};

#pragma once
#include "Picture.h"
#include "app/Layout.h"
#include "selection/DropPayload.h"

#include <array>
#include <cstddef>
#include <optional>

#include <windows.h>

class frmFlagwash;
class DropTarget;
class WindowAccessible;

// The window frmFlagwash on Windows: draws the layout table, shows its tooltips, takes clicks,
// drags and drops, and forwards each event to the core handler of the same name.
class MainWindow
{
public:
    // Creates the window, hidden; handle() is null when that fails.
    explicit MainWindow(HINSTANCE instance);
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;
    ~MainWindow();

    HWND handle() const { return window_; }
    int dpi() const { return dpi_; }

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
    void dragOver();
    bool takesDropAt(POINT screenPoint) const;
    void dropOnImage1(DropPayload payload);

    // What screen readers ask.
    bool isShown(const Layout::Control& control) const;
    // The topmost shown control under a client point, as an index into Layout::controls.
    std::optional<std::size_t> controlAt(POINT clientPoint) const;
    // Clicks a control from the window's own message loop; false when it cannot be queued.
    bool pressLater(std::size_t control);

private:
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void loadPicturesAndFont();
    void createTooltips();
    void placeTooltips();
    void paint(HDC target) const;
    void click(Layout::ControlId id);
    void dragPictureOut();
    void releaseDropTarget();

    HINSTANCE instance_;
    HWND window_ = nullptr;
    HWND tooltip_ = nullptr;
    frmFlagwash* form_ = nullptr;
    DropTarget* dropTarget_ = nullptr;
    WindowAccessible* accessible_ = nullptr;
    int dpi_ = Layout::referenceDpi;
    bool image1Shown_ = false;
    bool restorePosted_ = false;
    std::optional<std::size_t> pressed_;
    POINT pressPoint_{};

    Picture background_;
    std::array<Picture, Layout::controls.size()> pictures_;
    HFONT labelFont_ = nullptr;
};

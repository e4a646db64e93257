#pragma once
#include "Fakes.h"

#include "MainWindow.h"
#include "WindowView.h"
#include "app/frmFlagwash.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>

#include <ole2.h>

// The real window, View and core, with the real system directory, attribute reset and registry;
// only page launches are recorded and message boxes noted instead of waiting for a click.
class WindowFixture : public ::testing::Test
{
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;
    // Opens the window as the program does: Form_Load, then shown. SetUp opens one.
    void open();

    HWND window() const { return mainWindow->handle(); }
    int dpi() const { return mainWindow->dpi(); }
    // A length in pixels at the layout's density, at the window's.
    int px(int pixelsAt96) const { return MulDiv(pixelsAt96, dpi(), Layout::referenceDpi); }
    POINT clientToScreen(POINT point) const;
    // Width and height of the frame in pixels.
    std::pair<int, int> outerSize() const;
    std::wstring caption() const;
    // Handles every message queued for this thread, as the program's loop would.
    void pumpMessages();

    class NotingView : public WindowView
    {
    public:
        NotingView(MainWindow& window, EventLog& log)
            : WindowView(window)
            , log_(log)
        { }
        void showInformation(const std::string& title, const std::string& text) override;
        void showReport(const std::string& title, const std::string& text,
                        const std::string& details, bool warning) override;

        std::vector<std::pair<std::string, std::string>> boxes;
        // Called as a box is asked for, before it would show.
        std::function<void()> onBox;
        // Shows the real box too; the test must close it.
        bool realBoxes = false;

    private:
        EventLog& log_;
    };

    EventLog log;
    RecordingLauncher launcher{log};
    std::unique_ptr<SystemDirectory> systemDirectory;
    std::unique_ptr<AttributeReset> attributeReset;
    std::unique_ptr<RegistryReader> registry;
    std::unique_ptr<MainWindow> mainWindow;
    std::unique_ptr<NotingView> view;
    std::unique_ptr<frmFlagwash> form;
    bool quitPosted = false;
};

// A click of the left button where the pointer is, through the system's input queue.
bool realClick();

// The centre of a control of the layout, in client pixels at a density.
POINT controlCentre(Layout::ControlId id, int dpi = Layout::referenceDpi);

// Where RegisterDragDrop keeps the drop target of a window.
IDropTarget* registeredDropTarget(HWND window);
// A drag of plain text entering the window at a screen point and leaving again: the drag-over
// event, without a drop.
void dragTextOver(HWND window, POINT screenPoint);

// A clock that moves on by a fixed step at every reading: a run of many paths lasts long enough
// for its progress to show without the test waiting for real time to pass.
ProgressPacer::Clock steppingClock(std::chrono::milliseconds step);

// Why windows cannot be made here, or null when they can.
const char* whyNoWindows();

// The top-level windows that match, in the order Windows lists them: this thread's, or every
// program's on the desktop.
std::vector<HWND> threadWindows(const std::function<bool(HWND)>& matches);
std::vector<HWND> desktopWindows(const std::function<bool(HWND)>& matches);
// The visible top-level windows of this thread that an owner owns, tooltips left out.
std::vector<HWND> ownedWindows(HWND owner);
// Every child window of a window, at every depth.
std::vector<HWND> childrenOf(HWND parent);
std::wstring classOf(HWND window);
std::wstring textOf(HWND window);
// The report's own text in a box, a message box or a task dialog: the text of the child window
// that begins with "Done resetting".
std::wstring reportTextOf(HWND box);

// Real input and OLE drags follow the one pointer of the desktop: a test using it holds this
// lock (test processes of one Wine prefix share named objects) and keeps its window on top.
class PointerLock
{
public:
    explicit PointerLock(HWND window);
    PointerLock(const PointerLock&) = delete;
    PointerLock& operator=(const PointerLock&) = delete;
    ~PointerLock();

    // Moves the pointer to a screen point; false when this desktop does not let it.
    bool moveTo(POINT screenPoint) const;

private:
    HANDLE mutex_;
    HWND window_;
};

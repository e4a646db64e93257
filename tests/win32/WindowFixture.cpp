#include "WindowFixture.h"

#include "DataObject.h"

#include <cstring>
#include <memory>

#include <commctrl.h>
#include <ole2.h>

namespace {

bool underWine()
{
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

}  // namespace

ProgressPacer::Clock steppingClock(std::chrono::milliseconds step)
{
    auto now = std::make_shared<std::chrono::steady_clock::time_point>();
    return [now, step] {
        return *now += step;
    };
}

const char* whyNoWindows()
{
    wchar_t display[256];
    if (underWine() && GetEnvironmentVariableW(L"DISPLAY", display, 256) == 0)
        return "Wine makes windows only on an X server: run with DISPLAY set (an Xvfb will do)";
    return nullptr;
}

void WindowFixture::SetUpTestSuite()
{
    OleInitialize(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
}

void WindowFixture::TearDownTestSuite()
{
    OleUninitialize();
}

void WindowFixture::NotingView::showInformation(const std::string& title, const std::string& text)
{
    boxes.emplace_back(title, text);
    log_.push_back("box");
    if (onBox)
        onBox();
    if (realBoxes)
        WindowView::showInformation(title, text);
}

void WindowFixture::NotingView::showReport(const std::string& title, const std::string& text,
                                           const std::string& details, bool warning)
{
    boxes.emplace_back(title, text);
    log_.push_back("box");
    if (onBox)
        onBox();
    if (realBoxes)
        WindowView::showReport(title, text, details, warning);
}

std::vector<HWND> childrenOf(HWND parent)
{
    std::vector<HWND> children;
    EnumChildWindows(
            parent,
            [](HWND child, LPARAM found) CALLBACK -> BOOL {
                reinterpret_cast<std::vector<HWND>*>(found)->push_back(child);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&children));
    return children;
}

std::wstring classOf(HWND window)
{
    wchar_t name[128] = {};
    GetClassNameW(window, name, 128);
    return name;
}

namespace {

BOOL CALLBACK findReportText(HWND child, LPARAM found)
{
    const std::wstring text = textOf(child);
    if (text.rfind(L"Done resetting", 0) != 0)
        return TRUE;
    *reinterpret_cast<std::wstring*>(found) = text;
    return FALSE;
}

}  // namespace

std::wstring reportTextOf(HWND box)
{
    std::wstring found;
    EnumChildWindows(box, findReportText, reinterpret_cast<LPARAM>(&found));
    return found;
}

std::wstring textOf(HWND window)
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
            GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

namespace {

struct WindowSearch
{
    const std::function<bool(HWND)>& matches;
    std::vector<HWND> found;
};

BOOL CALLBACK noteIfMatching(HWND candidate, LPARAM context)
{
    auto* search = reinterpret_cast<WindowSearch*>(context);
    if (search->matches(candidate))
        search->found.push_back(candidate);
    return TRUE;
}

}  // namespace

std::vector<HWND> threadWindows(const std::function<bool(HWND)>& matches)
{
    WindowSearch search{matches, {}};
    EnumThreadWindows(GetCurrentThreadId(), noteIfMatching, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> desktopWindows(const std::function<bool(HWND)>& matches)
{
    WindowSearch search{matches, {}};
    EnumWindows(noteIfMatching, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> ownedWindows(HWND owner)
{
    return threadWindows([owner](HWND candidate) {
        return GetWindow(candidate, GW_OWNER) == owner && IsWindowVisible(candidate)
                && classOf(candidate) != TOOLTIPS_CLASSW;
    });
}

PointerLock::PointerLock(HWND window)
    : mutex_(CreateMutexW(nullptr, FALSE, L"Local\\FlagwashTestPointer"))
    , window_(window)
{
    if (mutex_)
        WaitForSingleObject(mutex_, INFINITE);
    SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

PointerLock::~PointerLock()
{
    if (IsWindow(window_))
        SetWindowPos(window_, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (mutex_) {
        ReleaseMutex(mutex_);
        CloseHandle(mutex_);
    }
}

bool PointerLock::moveTo(POINT screenPoint) const
{
    if (!SetCursorPos(screenPoint.x, screenPoint.y))
        return false;
    POINT cursor{};
    GetCursorPos(&cursor);
    return cursor.x == screenPoint.x && cursor.y == screenPoint.y;
}

void WindowFixture::SetUp()
{
    if (const char* why = whyNoWindows())
        GTEST_SKIP() << why;
    systemDirectory = makeSystemDirectory();
    attributeReset = makeAttributeReset();
    registry = makeRegistryReader();
    open();
}

void WindowFixture::open()
{
    mainWindow.reset();
    form.reset();
    view.reset();
    mainWindow = std::make_unique<MainWindow>(GetModuleHandleW(nullptr));
    if (!window() && underWine())
        GTEST_SKIP() << "Wine could not open the X display named by DISPLAY";
    ASSERT_TRUE(window());
    view = std::make_unique<NotingView>(*mainWindow, log);
    form = std::make_unique<frmFlagwash>(*view, *systemDirectory, *attributeReset, *registry,
                                         launcher);
    mainWindow->attach(*form);
    form->Form_Load();
    mainWindow->show(SW_SHOWNORMAL);
    pumpMessages();
    log.clear();
    launcher.launches.clear();
}

void WindowFixture::TearDown()
{
    mainWindow.reset();
    pumpMessages();
}

// A click of the left button where the pointer is, through the system's input queue.
bool realClick()
{
    INPUT inputs[2] = {};
    inputs[0].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].type = INPUT_MOUSE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    return SendInput(2, inputs, sizeof(INPUT)) == 2;
}

POINT controlCentre(Layout::ControlId id, int dpi)
{
    const Layout::TwipsRect& r = Layout::control(id).rect;
    return {Layout::twipsToPixels(r.left, dpi) + Layout::twipsToPixels(r.width, dpi) / 2,
            Layout::twipsToPixels(r.top, dpi) + Layout::twipsToPixels(r.height, dpi) / 2};
}

POINT WindowFixture::clientToScreen(POINT point) const
{
    ClientToScreen(window(), &point);
    return point;
}

std::pair<int, int> WindowFixture::outerSize() const
{
    RECT frame{};
    GetWindowRect(window(), &frame);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

std::wstring WindowFixture::caption() const
{
    return textOf(window());
}

void WindowFixture::pumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quitPosted = true;
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

IDropTarget* registeredDropTarget(HWND window)
{
    return static_cast<IDropTarget*>(GetPropW(window, L"OleDropTargetInterface"));
}

void dragTextOver(HWND window, POINT screenPoint)
{
    IDropTarget* target = registeredDropTarget(window);
    ASSERT_TRUE(target);
    const auto data = makeComObject<DataObject>();
    const wchar_t text[] = L"some text";
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof(text));
    std::memcpy(GlobalLock(memory), text, sizeof(text));
    GlobalUnlock(memory);
    data->add(CF_UNICODETEXT, memory);
    DWORD effect = DROPEFFECT_COPY;
    target->DragEnter(data.Get(), MK_LBUTTON, {screenPoint.x, screenPoint.y}, &effect);
    target->DragLeave();
}

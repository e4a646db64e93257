#include "ProgressWindow.h"

#include "Dpi.h"

#include <commctrl.h>

namespace {

constexpr wchar_t className[] = L"FlagwashProgress";
constexpr int barRange = Layout::progressSteps;
// Pixels at the reference density.
constexpr int clientWidth = Layout::progressWidth;
constexpr int margin = 12;
constexpr int gap = 8;
constexpr int barHeight = 16;
// A window that never validates its update region must not hold the run up for ever.
constexpr int mostMessagesPerPump = 200;

bool isInput(UINT message)
{
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST)
            || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST)
            || (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK);
}

// Clicks and keys the user gave while the run went on are not kept for later: a queued click
// on RESET or EXIT must not act once the run is over. Posted ones go too, as for a modal box.
void dropInput()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) { }
    while (PeekMessageW(&message, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) { }
    while (PeekMessageW(&message, nullptr, WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK, PM_REMOVE)) { }
}

// The font of message boxes, at the density of the window.
HFONT createMessageFont(int dpi)
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        return nullptr;
    // The system answers at its own density, which another monitor may not share.
    HDC screen = GetDC(nullptr);
    const int systemDpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : referenceDpi;
    if (screen)
        ReleaseDC(nullptr, screen);
    metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, dpi, systemDpi);
    return CreateFontIndirectW(&metrics.lfMessageFont);
}

int lineHeight(HFONT font)
{
    HDC screen = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(screen, font ? font : GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICW metrics{};
    GetTextMetricsW(screen, &metrics);
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);
    return metrics.tmHeight;
}

void setTextIfChanged(HWND control, const std::wstring& text)
{
    // Setting the same text again would only make the control flicker.
    std::wstring shown(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    shown.resize(static_cast<std::size_t>(
            GetWindowTextW(control, shown.data(), static_cast<int>(shown.size()))));
    if (shown != text)
        SetWindowTextW(control, text.c_str());
}

LRESULT CALLBACK progressProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(
                                  reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    } else if (message == WM_NCDESTROY) {
        // Taken down with its owner: the object must not touch the handle again.
        if (auto* handle = reinterpret_cast<HWND*>(GetWindowLongPtrW(window, GWLP_USERDATA)))
            *handle = nullptr;
    } else if (message == WM_CLOSE) {
        // A run cannot be cancelled halfway.
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void registerProgressClass(HINSTANCE instance)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = progressProcedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = className;
    RegisterClassExW(&windowClass);  // fails harmlessly when already registered
}

}  // namespace

ProgressWindow::ProgressWindow(HWND owner, int dpi)
    : owner_(owner)
{
    // Disabled first, so the window takes no click even before the progress shows.
    ownerWasEnabled_ = owner_ && !EnableWindow(owner_, FALSE);
    create(dpi);
}

ProgressWindow::~ProgressWindow()
{
    dropInput();
    // Enabled before the progress goes, so activation returns to the owner.
    if (ownerWasEnabled_ && IsWindow(owner_))
        EnableWindow(owner_, TRUE);
    if (window_)
        DestroyWindow(window_);
    if (font_)
        DeleteObject(font_);
}

void ProgressWindow::create(int dpi)
{
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(owner_, GWLP_HINSTANCE));
    registerProgressClass(instance);
    font_ = createMessageFont(dpi);

    const int width = scaleToDpi(clientWidth, dpi);
    const int inner = width - 2 * scaleToDpi(margin, dpi);
    const int left = scaleToDpi(margin, dpi);
    const int line = lineHeight(font_);
    const int barTop = scaleToDpi(margin, dpi) + 2 * line + scaleToDpi(gap, dpi);
    const int height = barTop + scaleToDpi(barHeight, dpi) + scaleToDpi(margin, dpi);

    // No system menu: no close box, which would look like a way to cancel.
    const DWORD style = WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN;
    const DWORD extendedStyle = WS_EX_DLGMODALFRAME;
    wchar_t caption[256] = {};
    if (owner_)
        GetWindowTextW(owner_, caption, 256);
    window_ = CreateWindowExW(extendedStyle, className, caption, style, 0, 0, width, height, owner_,
                              nullptr, instance, &window_);
    if (!window_)
        return;
    // The frame is whatever the system draws at this density: the client area is what counts.
    RECT client{};
    GetClientRect(window_, &client);
    RECT frame{};
    GetWindowRect(window_, &frame);
    const int outerWidth = (frame.right - frame.left) + width - client.right;
    const int outerHeight = (frame.bottom - frame.top) + height - client.bottom;
    RECT over{};
    if (owner_)
        GetWindowRect(owner_, &over);
    SetWindowPos(window_, nullptr, over.left + ((over.right - over.left) - outerWidth) / 2,
                 over.top + ((over.bottom - over.top) - outerHeight) / 2, outerWidth, outerHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);

    const DWORD labelStyle = WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
    count_ = CreateWindowExW(0, L"STATIC", L"", labelStyle, left, scaleToDpi(margin, dpi), inner,
                             line, window_, nullptr, instance, nullptr);
    // The path keeps its start and its name; the middle gives way when it is too long.
    path_ = CreateWindowExW(0, L"STATIC", L"", labelStyle | SS_PATHELLIPSIS, left,
                            scaleToDpi(margin, dpi) + line, inner, line, window_, nullptr, instance,
                            nullptr);
    bar_ = CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_CHILD | WS_VISIBLE | PBS_SMOOTH, left,
                           barTop, inner, scaleToDpi(barHeight, dpi), window_, nullptr, instance,
                           nullptr);
    for (HWND control : {count_, path_}) {
        if (control && font_)
            SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    }
    if (bar_)
        SendMessageW(bar_, PBM_SETRANGE32, 0, barRange);
}

void ProgressWindow::update(std::size_t done, std::size_t total, const std::wstring& heading,
                            const std::wstring& path)
{
    if (!window_)
        return;
    setTextIfChanged(count_, heading);
    setTextIfChanged(path_, path);
    const auto position = total == 0 ? 0 : static_cast<WPARAM>(done * barRange / total);
    SendMessageW(bar_, PBM_SETPOS, position, 0);
    if (!IsWindowVisible(window_))
        ShowWindow(window_, SW_SHOWNORMAL);
    pump();
}

void ProgressWindow::pump()
{
    dropInput();
    MSG message;
    // The window's own messages: the bar's animation timers among them.
    for (int i = 0;
         i < mostMessagesPerPump && window_ && PeekMessageW(&message, window_, 0, 0, PM_REMOVE);
         ++i) {
        if (!isInput(message.message))
            DispatchMessageW(&message);
    }
    // Every window of the thread repaints; nothing else of theirs runs while the run goes on.
    for (int i = 0;
         i < mostMessagesPerPump && PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE);
         ++i)
        DispatchMessageW(&message);
}

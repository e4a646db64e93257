#include "ReportDialog.h"

#include "reset/ResetWords.h"

#include "platform/WideText_windows.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr int copyButton = 100;

struct Context
{
    HWND owner;
    const std::wstring* details;
    // Where each line of the details ends, just after its line break.
    std::vector<std::size_t> lineEnds;
    // The list as the dialog shows it now.
    std::wstring shown;
    bool expanded;
};

bool copyToClipboard(HWND owner, const std::wstring& text)
{
    if (!OpenClipboard(owner))
        return false;
    EmptyClipboard();
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    bool copied = false;
    if (memory) {
        std::memcpy(GlobalLock(memory), text.c_str(), bytes);
        GlobalUnlock(memory);
        copied = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
        if (!copied)
            GlobalFree(memory);
    }
    CloseClipboard();
    return copied;
}

std::vector<std::size_t> lineEndsOf(const std::wstring& text)
{
    std::vector<std::size_t> ends;
    for (std::size_t at = text.find(L'\n'); at != std::wstring::npos; at = text.find(L'\n', at + 1))
        ends.push_back(at + 1);
    if (ends.empty() ? !text.empty() : ends.back() < text.size())
        ends.push_back(text.size());
    return ends;
}

// The list with its first `lines` lines: the whole of it, or those lines and one that says how
// many more the copy button gives.
std::wstring firstLines(const Context& context, std::size_t lines)
{
    const std::size_t all = context.lineEnds.size();
    if (lines >= all)
        return *context.details;
    const std::size_t end = lines == 0 ? 0 : context.lineEnds[lines - 1];
    return context.details->substr(0, end) + toWide(moreThanShown(all - lines));
}

RECT windowRect(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

// Where the dialog belongs: the centre of its owner, and the work area of that monitor.
struct Anchor
{
    POINT centre;
    RECT work;
};

Anchor anchorFor(HWND dialog, HWND owner)
{
    const RECT around = owner && IsWindowVisible(owner) && !IsIconic(owner) ? windowRect(owner)
                                                                            : windowRect(dialog);
    const POINT centre{around.left + (around.right - around.left) / 2,
                       around.top + (around.bottom - around.top) / 2};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromPoint(centre, MONITOR_DEFAULTTONEAREST), &monitor);
    return {centre, monitor.rcWork};
}

// Centred on the anchor and moved back inside the work area; a box larger than the work area
// keeps its top left corner (its title bar) inside.
void place(HWND dialog, const Anchor& anchor)
{
    const RECT box = windowRect(dialog);
    const auto start = [](LONG centre, LONG size, LONG low, LONG high) {
        return std::max(low, std::min(centre - size / 2, high - size));
    };
    const LONG x
            = start(anchor.centre.x, box.right - box.left, anchor.work.left, anchor.work.right);
    const LONG y
            = start(anchor.centre.y, box.bottom - box.top, anchor.work.top, anchor.work.bottom);
    if (x != box.left || y != box.top)
        SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// A window is never made taller than the screen allows (under Wine, measured: the height of the
// screen and its frame): the controls of a dialog laid out taller than that lie below its bottom
// edge. Every control counts, however deep (comctl32 6 on Windows nests its buttons).
bool controlsInside(HWND dialog)
{
    struct Search
    {
        LONG bottom;
        bool inside;
    } search{0, true};
    RECT client{};
    GetClientRect(dialog, &client);
    MapWindowPoints(dialog, HWND_DESKTOP, reinterpret_cast<POINT*>(&client), 2);
    search.bottom = client.bottom;
    EnumChildWindows(
            dialog,
            [](HWND control, LPARAM found) CALLBACK -> BOOL {
                auto* seen = reinterpret_cast<Search*>(found);
                if (IsWindowVisible(control) && windowRect(control).bottom > seen->bottom)
                    seen->inside = false;
                return seen->inside;
            },
            reinterpret_cast<LPARAM>(&search));
    return search.inside;
}

void show(HWND dialog, Context& context, std::size_t lines)
{
    std::wstring text = firstLines(context, lines);
    if (text == context.shown)
        return;
    context.shown = std::move(text);
    SendMessageW(dialog, TDM_SET_ELEMENT_TEXT, TDE_EXPANDED_INFORMATION,
                 reinterpret_cast<LPARAM>(context.shown.c_str()));
}

// A task dialog grows with its text and does not scroll: with the list shown it is measured,
// and while it is taller than the work area it shows fewer lines, found by halving. The copy
// button still gives them all.
void fitList(HWND dialog, Context& context, const RECT& work)
{
    const LONG room = work.bottom - work.top;
    const auto fits = [&](std::size_t lines) {
        show(dialog, context, lines);
        const RECT box = windowRect(dialog);
        return box.bottom - box.top <= room && controlsInside(dialog);
    };
    const std::size_t all = context.lineEnds.size();
    if (fits(all) || all == 0)
        return;
    // Every line is at least a pixel tall: more lines than the work area has pixels never fit.
    std::size_t low = 0;
    std::size_t high = std::min(all - 1, static_cast<std::size_t>(std::max(room, LONG{0})));
    std::size_t best = 0;
    while (low <= high) {
        const std::size_t middle = low + (high - low) / 2;
        if (fits(middle)) {
            best = middle;
            low = middle + 1;
        } else if (middle == 0) {
            break;
        } else {
            high = middle - 1;
        }
    }
    show(dialog, context, best);
}

// As it opens and as its list is shown. Hiding the list only makes the box shorter, its top
// where it was, so it is not moved then (under Wine a box moved right after hiding its list went
// behind its owner).
void arrange(HWND dialog, Context& context)
{
    const Anchor anchor = anchorFor(dialog, context.owner);
    if (context.expanded)
        fitList(dialog, context, anchor.work);
    place(dialog, anchor);
}

HRESULT CALLBACK onEvent(HWND dialog, UINT notification, WPARAM wParam, LPARAM, LONG_PTR reference)
{
    auto* context = reinterpret_cast<Context*>(reference);
    switch (notification) {
    case TDN_CREATED:
        arrange(dialog, *context);
        break;
    case TDN_EXPANDO_BUTTON_CLICKED:
        context->expanded = wParam != 0;
        if (context->expanded)
            arrange(dialog, *context);
        break;
    case TDN_BUTTON_CLICKED:
        if (static_cast<int>(wParam) == copyButton) {
            copyToClipboard(dialog, *context->details);
            return S_FALSE;  // the dialog stays up
        }
        break;
    default:
        break;
    }
    return S_OK;
}

// The list the dialog opens with, before it can be measured: all of it when it could fit at all.
std::size_t linesToStartWith(HWND owner, std::size_t lines)
{
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor);
    const LONG room = monitor.rcWork.bottom - monitor.rcWork.top;
    return std::min(lines, static_cast<std::size_t>(std::max(room, LONG{1})));
}

}  // namespace

bool showReportDialog(HWND owner, const std::wstring& title, const std::wstring& text,
                      const std::wstring& details, bool detailsShown)
{
    Context context{owner, &details, lineEndsOf(details), {}, detailsShown};
    const std::wstring opening
            = firstLines(context, linesToStartWith(owner, context.lineEnds.size()));
    context.shown = opening;
    const TASKDIALOG_BUTTON buttons[] = {{copyButton, L"&Copy the list"}};
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof(config);
    config.hwndParent = owner;
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
    if (detailsShown)
        config.dwFlags |= TDF_EXPANDED_BY_DEFAULT;
    config.dwCommonButtons = TDCBF_OK_BUTTON;
    config.pszWindowTitle = title.c_str();
    config.pszMainIcon = TD_WARNING_ICON;
    config.pszContent = text.c_str();
    config.pszExpandedInformation = opening.c_str();
    config.pszExpandedControlText = L"Hide details";
    config.pszCollapsedControlText = L"Details";
    config.cButtons = 1;
    config.pButtons = buttons;
    config.nDefaultButton = IDOK;
    config.pfCallback = onEvent;
    config.lpCallbackData = reinterpret_cast<LONG_PTR>(&context);
    int pressed = 0;
    return SUCCEEDED(TaskDialogIndirect(&config, &pressed, nullptr, nullptr));
}

#include "WindowFixture.h"

#include "LabelText.h"

#include <commctrl.h>
#include <ole2.h>
#include <wrl/client.h>

#include <string>
#include <utility>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

using Id = Layout::ControlId;

using Win32Window = WindowFixture;

HWND tooltipOf(HWND owner)
{
    const std::vector<HWND> found = threadWindows([owner](HWND candidate) {
        return classOf(candidate) == TOOLTIPS_CLASSW && GetWindow(candidate, GW_OWNER) == owner;
    });
    return found.empty() ? nullptr : found.front();
}

// What the tooltip control would show with the pointer resting at a client point.
std::wstring tooltipAt(HWND tooltip, HWND window, POINT point)
{
    TTHITTESTINFOW hit{};
    hit.hwnd = window;
    hit.pt = point;
    hit.ti.cbSize = sizeof(hit.ti);
    if (!SendMessageW(tooltip, TTM_HITTESTW, 0, reinterpret_cast<LPARAM>(&hit)))
        return L"";
    wchar_t text[256] = {};
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = window;
    tool.uId = hit.ti.uId;
    tool.lpszText = text;
    SendMessageW(tooltip, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
    return text;
}

TEST_F(Win32Window, IsCentredAtItsFixedOuterSize)
{
    EXPECT_EQ(outerSize(), std::make_pair(px(400), px(371)));
    EXPECT_TRUE(IsWindowVisible(window()));

    RECT frame{};
    GetWindowRect(window(), &frame);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(window(), MONITOR_DEFAULTTOPRIMARY), &monitor);
    EXPECT_NEAR(frame.left + frame.right, monitor.rcWork.left + monitor.rcWork.right, 1);
    EXPECT_NEAR(frame.top + frame.bottom, monitor.rcWork.top + monitor.rcWork.bottom, 1);
}

TEST_F(Win32Window, EverySizeChangeIsUndone)
{
    const auto fixed = std::make_pair(px(400), px(371));
    const struct
    {
        const char* change;
        SIZE to;
    } cases[] = {
            {"larger", {640, 480}},
            {"smaller", {200, 150}},
            {"wider only", {px(400) + 120, px(371)}},
            {"lower only", {px(400), px(371) - 40}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.change);
        SetWindowPos(window(), nullptr, 0, 0, c.to.cx, c.to.cy, SWP_NOMOVE | SWP_NOZORDER);
        pumpMessages();
        EXPECT_EQ(outerSize(), fixed);
    }
}

TEST_F(Win32Window, KeepsMinimizedOrMaximizedUntilRestored)
{
    const auto fixed = std::make_pair(px(400), px(371));
    const struct
    {
        const char* state;
        int command;
        BOOL(WINAPI* holds)(HWND);
    } cases[] = {
            {"minimized", SW_MINIMIZE, IsIconic},
            {"maximized", SW_MAXIMIZE, IsZoomed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        ShowWindow(window(), c.command);
        pumpMessages();
        EXPECT_TRUE(c.holds(window()));
        ShowWindow(window(), SW_RESTORE);
        pumpMessages();
        EXPECT_FALSE(c.holds(window()));
        EXPECT_EQ(outerSize(), fixed);
    }
}

TEST_F(Win32Window, HasACloseBoxAndNeitherMinimizeNorMaximizeBox)
{
    const LONG_PTR style = GetWindowLongPtrW(window(), GWL_STYLE);
    const struct
    {
        const char* bit;
        LONG_PTR mask;
        bool set;
    } cases[] = {
            {"WS_CAPTION", WS_CAPTION, true},          {"WS_SYSMENU", WS_SYSMENU, true},
            {"WS_THICKFRAME", WS_THICKFRAME, true},    {"WS_MINIMIZEBOX", WS_MINIMIZEBOX, false},
            {"WS_MAXIMIZEBOX", WS_MAXIMIZEBOX, false}, {"WS_CHILD", WS_CHILD, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ((style & c.mask) == c.mask, c.set) << c.bit;
}

TEST_F(Win32Window, StartsWithAnEmptyCaption)
{
    EXPECT_EQ(caption(), L"");
}

TEST_F(Win32Window, TooltipControlShowsTheTextOfTheControlOnTop)
{
    const HWND tooltip = tooltipOf(window());
    ASSERT_TRUE(tooltip);
    const struct
    {
        const char* where;
        POINT at;  // client pixels at 96 dpi
        bool afterDragOver;
        const wchar_t* text;
    } cases[] = {
            {"Image2",
             {285, 314},
             false,
             L"Click to visit Quorvane Software website for more free useful programs"},
            {"imgExit", controlCentre(Id::imgExit), false, L"Click to exit this program"},
            {"imgAbout", controlCentre(Id::imgAbout), false,
             L"click to view information about this program"},
            {"imgStart", controlCentre(Id::imgStart), false,
             L"Click to reset the selected files/folders"},
            {"imgStart over the foot of Label2",
             {60, 268},
             false,
             L"Click to reset the selected files/folders"},
            {"cross sign, Image1 hidden", controlCentre(Id::Image1), false, L""},
            {"Label4", {100, 100}, false, L""},
            {"background", {5, 5}, false, L""},
            {"Image1 shown", controlCentre(Id::Image1), true,
             L"Drag and drop your files/folders here"},
            {"Image1's corner under Label3", {160, 208}, true, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        if (c.afterDragOver)
            dragTextOver(window(), clientToScreen({px(5), px(5)}));
        EXPECT_EQ(tooltipAt(tooltip, window(), {px(c.at.x), px(c.at.y)}), c.text);
    }
}

TEST_F(Win32Window, LabelsUseGeorgiaOrItsTwinAndTheirTextsFitTheirRectangles)
{
    const auto font = reinterpret_cast<HFONT>(SendMessageW(window(), WM_GETFONT, 0, 0));
    ASSERT_TRUE(font);
    HDC screen = GetDC(window());
    HGDIOBJ previous = SelectObject(screen, font);
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(screen, LF_FACESIZE, face);
    EXPECT_TRUE(std::wstring(face) == L"Georgia" || std::wstring(face) == L"Gelasio") << face;
    TEXTMETRICW metrics{};
    GetTextMetricsW(screen, &metrics);
    EXPECT_EQ(metrics.tmHeight - metrics.tmInternalLeading, px(11));
    EXPECT_EQ(metrics.tmWeight, FW_NORMAL);
    EXPECT_FALSE(metrics.tmItalic);

    const struct
    {
        const char* label;
        const wchar_t* text;
        SIZE box;  // pixels at 96 dpi
        bool wraps;
    } cases[] = {
            {"Label1", L"What does this tool do?", {160, 16}, false},
            {"Label3", L"How to use it?", {160, 16}, false},
            {"Label4",
             L"Flagwash resets your files and folders attributes to normal mode so you can "
             L"view/access them normally. You need to use Flagswash usually after malware "
             L"infection because many viruses change your files' attributes to system/heddin.",
             {351, 61},
             true},
            {"Label2",
             L"Simply drag and drop your files/folders into the cross sign above then press RESET.",
             {359, 47},
             true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const LabelLines laid = layOutLabel(screen, c.text, px(c.box.cx), c.wraps);
        EXPECT_LE(static_cast<int>(laid.lines.size()) * laid.lineHeight, px(c.box.cy));
        EXPECT_LE(laid.baseline, laid.lineHeight);
        std::wstring joined;
        for (const std::wstring& line : laid.lines) {
            SIZE size{};
            GetTextExtentPoint32W(screen, line.c_str(), static_cast<int>(line.size()), &size);
            EXPECT_LE(size.cx, px(c.box.cx)) << std::string(line.begin(), line.end());
            joined += (joined.empty() ? L"" : L" ") + line;
        }
        EXPECT_EQ(joined, c.text);
    }
    SelectObject(screen, previous);
    ReleaseDC(window(), screen);
}

void click(HWND window, POINT at, POINT releasedAt)
{
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(releasedAt.x, releasedAt.y));
}

// What the core was asked, by kind: "launchMin", "launchMax", "box", ...
std::vector<std::string> kinds(const EventLog& log)
{
    std::vector<std::string> result;
    for (const std::string& entry : log)
        result.push_back(entry.substr(0, entry.find(':')));
    return result;
}

TEST_F(Win32Window, ClicksReachTheHandlerOfTheControlOnTop)
{
    using Kinds = std::vector<std::string>;
    const struct
    {
        const char* where;
        POINT pressed;  // client pixels at 96 dpi
        POINT released;
        bool afterDragOver;
        Kinds asked;
    } cases[] = {
            {"RESET", controlCentre(Id::imgStart), {62, 280}, false, Kinds{"launchMin", "box"}},
            {"ABOUT", controlCentre(Id::imgAbout), controlCentre(Id::imgAbout), false,
             Kinds{"box", "launchMin"}},
            {"cross sign, Image1 hidden", controlCentre(Id::Image1), controlCentre(Id::Image1),
             false, Kinds{}},
            {"Image2", {285, 314}, {285, 314}, false, Kinds{}},
            {"Label4", {100, 100}, {100, 100}, false, Kinds{}},
            {"pressed on RESET, released on ABOUT", controlCentre(Id::imgStart),
             controlCentre(Id::imgAbout), false, Kinds{}},
            // Image1 stays shown from here on.
            {"Image1 shown", controlCentre(Id::Image1), controlCentre(Id::Image1), true,
             Kinds{"launchMax"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        if (c.afterDragOver)
            dragTextOver(window(), clientToScreen({px(5), px(5)}));
        log.clear();
        click(window(), {px(c.pressed.x), px(c.pressed.y)}, {px(c.released.x), px(c.released.y)});
        EXPECT_EQ(kinds(log), c.asked);
    }
}

// Every picture control a click reaches forwards it as that control's click: what the window
// does on a real click at its centre is what the core does for that control. EXIT, which ends
// the window, is the next test's.
TEST_F(Win32Window, EveryPictureControlForwardsItsOwnClick)
{
    for (const Layout::Control& control : Layout::controls) {
        const bool picture
                = control.kind == Layout::Kind::Image || control.kind == Layout::Kind::ImageButton;
        if (!picture || control.id == Id::imgExit)
            continue;
        SCOPED_TRACE(std::string(control.name));
        dragTextOver(window(), clientToScreen({px(5), px(5)}));
        log.clear();
        const POINT centre = controlCentre(control.id, dpi());
        click(window(), centre, centre);
        const std::vector<std::string> clicked = kinds(log);
        log.clear();
        form->click(control.id);

        EXPECT_FALSE(clicked.empty());
        EXPECT_EQ(clicked, kinds(log));
    }
}

TEST_F(Win32Window, CloseBoxAndExitEndTheProgram)
{
    const struct
    {
        const char* how;
        void (*act)(HWND window, int dpi);
    } cases[] = {
            {"close box",
             [](HWND window, int) {
                 SendMessageW(window, WM_CLOSE, 0, 0);
             }},
            {"EXIT",
             [](HWND window, int dpi) {
                 const POINT exit = controlCentre(Id::imgExit, dpi);
                 click(window, exit, exit);
             }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        if (!window())
            open();
        c.act(window(), dpi());
        EXPECT_EQ(window(), nullptr);
        quitPosted = false;
        pumpMessages();
        EXPECT_TRUE(quitPosted);
    }
}

}  // namespace

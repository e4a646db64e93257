#include "Tooltips.h"

#include "ControlHost.h"
#include "Dpi.h"
#include "app/Layout.h"
#include "platform/WideText_windows.h"

#include <commctrl.h>

#include <string>

void Tooltips::create(HINSTANCE instance)
{
    const HWND window = host_.handle();
    control_
            = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                              WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr, instance, nullptr);
    if (!control_)
        return;
    // The tooltip control takes the first tool whose rectangle holds the pointer, so tools go
    // in topmost first; a label is a tool without text, so nothing shows where it lies on top.
    for (std::size_t i = Layout::controls.size(); i-- > 0;) {
        const Layout::Control& control = Layout::controls[i];
        if (!control.shownAtStart && control.id != Layout::ControlId::Image1)
            continue;
        std::wstring text = toWide(control.tooltip);
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.uFlags = TTF_SUBCLASS;
        tool.hwnd = window;
        tool.uId = i;
        tool.lpszText = text.data();
        SendMessageW(control_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    place();
}

void Tooltips::place()
{
    if (!control_)
        return;
    const int dpi = host_.dpi();
    for (std::size_t i = 0; i < Layout::controls.size(); ++i) {
        const Layout::Control& control = Layout::controls[i];
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.hwnd = host_.handle();
        tool.uId = i;
        if (host_.isShown(control))
            tool.rect = pixelRect(control.rect, dpi);
        SendMessageW(control_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    SendMessageW(control_, TTM_SETMAXTIPWIDTH, 0, scaleToDpi(400, dpi));
}

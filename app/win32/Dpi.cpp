#include "Dpi.h"

namespace {

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);

GetDpiForWindowFunction getDpiForWindow()
{
    // Windows 10 1607 and later; Windows 7 has one density for all monitors.
    static const auto function = reinterpret_cast<GetDpiForWindowFunction>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    return function;
}

}  // namespace

int windowDpi(HWND window)
{
    if (const GetDpiForWindowFunction function = getDpiForWindow()) {
        if (const UINT dpi = function(window))
            return static_cast<int>(dpi);
    }
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : referenceDpi;
}

int scaleToDpi(int pixelsAt96, int dpi)
{
    return MulDiv(pixelsAt96, dpi, referenceDpi);
}

RECT pixelRect(const Layout::TwipsRect& rect, int dpi)
{
    const int left = Layout::twipsToPixels(rect.left, dpi);
    const int top = Layout::twipsToPixels(rect.top, dpi);
    return {left, top, left + Layout::twipsToPixels(rect.width, dpi),
            top + Layout::twipsToPixels(rect.height, dpi)};
}

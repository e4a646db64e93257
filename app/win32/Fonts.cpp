#include "Fonts.h"

#include "ResourceBytes.h"
#include "app/Layout.h"
#include "platform/WideText_windows.h"

#include <cmath>
#include <string>
#include <string_view>

namespace {

constexpr wchar_t fallbackFontResource[] = L"LABELFONT.TTF";

int CALLBACK noteFontFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found)
{
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool fontInstalled(std::string_view family)
{
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    const std::wstring name = toWide(family);
    name.copy(wanted.lfFaceName, LF_FACESIZE - 1);
    bool found = false;
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExW(screen, &wanted, noteFontFound, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}

// Georgia comes with every Windows; where it is missing (Wine) the bundled serif of the same
// metrics stands in, private to this process.
std::string_view labelFamily(HINSTANCE instance)
{
    static const std::string_view family = [instance] {
        if (fontInstalled(Layout::labelFont.family))
            return Layout::labelFont.family;
        const ResourceBytes font = findResource(instance, fallbackFontResource);
        DWORD fonts = 0;
        if (font.data
            && AddFontMemResourceEx(const_cast<BYTE*>(font.data), font.size, nullptr, &fonts))
            return Layout::labelFont.fallbackFamily;
        return Layout::labelFont.family;
    }();
    return family;
}

}  // namespace

HFONT createLabelFont(HINSTANCE instance, int dpi)
{
    LOGFONTW font{};
    font.lfHeight = -static_cast<LONG>(std::lround(Layout::labelFont.pointSize * dpi / 72.0));
    font.lfWeight = Layout::labelFont.weight;
    font.lfCharSet = ANSI_CHARSET;
    font.lfOutPrecision = OUT_TT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = VARIABLE_PITCH | FF_ROMAN;
    toWide(labelFamily(instance)).copy(font.lfFaceName, LF_FACESIZE - 1);
    return CreateFontIndirectW(&font);
}

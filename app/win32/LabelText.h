#pragma once
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

// A label's text laid out in the font selected into a device context. DrawText spaces lines
// by the font's Windows metrics and ignores USE_TYPO_METRICS; the bundled stand-in for Georgia
// asks for its typographic metrics, which DirectWrite and FreeType honour, so lines are laid
// out here with whichever metrics the font asks for.
struct LabelLines
{
    std::vector<std::wstring> lines;
    int lineHeight = 0;
    int baseline = 0;  // from the top of a line
};

// Breaks at spaces to fit width when wrapping, as DT_WORDBREAK does; otherwise one line.
LabelLines layOutLabel(HDC dc, std::wstring_view text, int width, bool wordWrap);
// Draws the lines inside area, clipped to it; colour and transparency are the caller's.
void drawLabel(HDC dc, const LabelLines& text, const RECT& area);

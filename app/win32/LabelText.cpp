#include "LabelText.h"

#include <algorithm>
#include <vector>

namespace {

constexpr UINT useTypoMetrics = 1u << 7;  // OS/2 fsSelection bit

int textWidth(HDC dc, std::wstring_view text)
{
    SIZE size{};
    GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
    return size.cx;
}

}  // namespace

LabelLines layOutLabel(HDC dc, std::wstring_view text, int width, bool wordWrap)
{
    LabelLines laid;
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    laid.lineHeight = metrics.tmHeight;
    laid.baseline = metrics.tmAscent;
    std::vector<char> buffer(GetOutlineTextMetricsW(dc, 0, nullptr));
    if (!buffer.empty()) {
        auto* outline = reinterpret_cast<OUTLINETEXTMETRICW*>(buffer.data());
        if (GetOutlineTextMetricsW(dc, static_cast<UINT>(buffer.size()), outline)
            && (outline->otmfsSelection & useTypoMetrics)) {
            laid.lineHeight = outline->otmAscent - outline->otmDescent
                    + static_cast<int>(outline->otmLineGap);
            laid.baseline = outline->otmAscent;
        }
    }

    if (!wordWrap) {
        laid.lines.emplace_back(text);
        return laid;
    }
    std::wstring line;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t space = std::min(text.find(L' ', start), text.size());
        const std::wstring_view word = text.substr(start, space - start);
        const std::wstring candidate
                = line.empty() ? std::wstring(word) : line + L' ' + std::wstring(word);
        if (!line.empty() && textWidth(dc, candidate) > width) {
            laid.lines.push_back(line);
            line = word;
        } else {
            line = candidate;
        }
        start = space + 1;
    }
    if (!line.empty())
        laid.lines.push_back(line);
    return laid;
}

void drawLabel(HDC dc, const LabelLines& text, const RECT& area)
{
    const UINT previousAlign = SetTextAlign(dc, TA_LEFT | TA_BASELINE | TA_NOUPDATECP);
    int top = area.top;
    for (const std::wstring& line : text.lines) {
        if (top >= area.bottom)
            break;
        ExtTextOutW(dc, area.left, top + text.baseline, ETO_CLIPPED, &area, line.c_str(),
                    static_cast<UINT>(line.size()), nullptr);
        top += text.lineHeight;
    }
    SetTextAlign(dc, previousAlign);
}

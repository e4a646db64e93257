#include "reset/DisplayText.h"

#include <cstdio>

namespace {

// Length of the valid UTF-8 sequence at text[i], or 0 when it is not one.
std::size_t utf8SequenceLength(const std::u8string& text, std::size_t i)
{
    const auto byte = [&](std::size_t k) {
        return static_cast<unsigned char>(text[k]);
    };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    unsigned long codePoint = 0;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (byte(i + k) & 0x3F);
    }
    const bool overlong
            = (length == 3 && codePoint < 0x800) || (length == 4 && codePoint < 0x10000);
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    if (overlong || surrogate || codePoint > 0x10FFFF)
        return 0;
    return length;
}

// Characters that would let a name break the report's lines or reorder what follows it: C0 and
// C1 controls, DEL, the line and paragraph separators, and the bidirectional controls.
bool mustBeEscaped(unsigned long codePoint)
{
    return codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F) || codePoint == 0x200E
            || codePoint == 0x200F || codePoint == 0x2028 || codePoint == 0x2029
            || (codePoint >= 0x202A && codePoint <= 0x202E)
            || (codePoint >= 0x2066 && codePoint <= 0x2069);
}

unsigned long decode(const char8_t* sequence, std::size_t length)
{
    static constexpr unsigned char leadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    unsigned long codePoint = sequence[0] & leadMask[length];
    for (std::size_t k = 1; k < length; ++k)
        codePoint = (codePoint << 6) | (sequence[k] & 0x3F);
    return codePoint;
}

std::string escaped(unsigned long codePoint)
{
    switch (codePoint) {
    case '\n':
        return "\\n";
    case '\r':
        return "\\r";
    case '\t':
        return "\\t";
    default:
        break;
    }
    char text[12];
    if (codePoint < 0x100)
        std::snprintf(text, sizeof text, "\\x%02X", static_cast<unsigned>(codePoint));
    else
        std::snprintf(text, sizeof text, "\\u%04X", static_cast<unsigned>(codePoint));
    return text;
}

}  // namespace

std::string displayPath(const std::filesystem::path& path)
{
    std::u8string raw;
    try {
        raw = path.u8string();
    } catch (...) {
        // A name the platform cannot convert (a lone UTF-16 surrogate): keep what is ASCII.
        for (const auto unit : path.native())
            raw += static_cast<unsigned long>(unit) < 0x80 ? static_cast<char8_t>(unit) : u8'\xFF';
    }
    std::string text;
    text.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size();) {
        const std::size_t length = utf8SequenceLength(raw, i);
        if (length == 0) {
            text += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        const unsigned long codePoint = decode(raw.data() + i, length);
        if (mustBeEscaped(codePoint))
            text += escaped(codePoint);
        else
            text.append(reinterpret_cast<const char*>(raw.data() + i), length);
        i += length;
    }
    return text;
}

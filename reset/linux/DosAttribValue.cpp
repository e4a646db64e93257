#include "reset/linux/DosAttribValue.h"

#include "reset/NormalAttributes.h"
#include "reset/linux/LittleEndian.h"
#include "text/HexDigit.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace linuxreset {

namespace {

constexpr std::size_t maxHexDigits = 8;

// Clears the attributes in a "0x..." text in place, keeping its digit count and letter case
// so that a Samba blob behind it stays where its alignment put it.
bool normalizeText(std::string& text)
{
    if (text.size() < 3 || text.size() > 2 + maxHexDigits || text[0] != '0'
        || (text[1] != 'x' && text[1] != 'X'))
        return false;
    unsigned long value = 0;
    bool upper = false;
    for (std::size_t i = 2; i < text.size(); ++i) {
        const int digit = hexDigitValue(text[i]);
        if (digit < 0)
            return false;
        upper = upper || (text[i] >= 'A' && text[i] <= 'F');
        value = (value << 4) | static_cast<unsigned long>(digit);
    }
    value &= ~static_cast<unsigned long>(normalOn::dosAttrib.clears);
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    for (std::size_t i = text.size(); i-- > 2;) {
        text[i] = digits[value & 0xF];
        value >>= 4;
    }
    return true;
}

std::size_t alignUp(std::size_t offset, std::size_t alignment)
{
    return (offset + alignment - 1) / alignment * alignment;
}

bool zeros(std::string_view bytes)
{
    return bytes.find_first_not_of('\0') == std::string_view::npos;
}

// Sizes of the DosInfo structs of Samba's xattr IDL, in bytes (NTTIME and udlong are 8).
//   1: attrib, ea_size, size, alloc_size, create_time, change_time
//   2: flags, attrib, ea_size, size, alloc_size, create_time, change_time, write_time, name
//   3: valid_flags, attrib, ea_size, size, alloc_size, create_time, change_time
//   4: valid_flags, attrib, itime, create_time
//   5: valid_flags, attrib, create_time
constexpr std::size_t infoSize[] = {0, 40, 52, 44, 24, 16};

// Whether the struct of `version` at `at` fills the value exactly.
bool fillsTheRest(std::string_view value, std::size_t at, std::uint32_t version)
{
    if (at + infoSize[version] > value.size())
        return false;
    if (version != 2)
        return at + infoSize[version] == value.size();
    // Version 2 ends in a NUL-terminated name, and the struct may be padded to 4 after it.
    const std::size_t nameAt = at + infoSize[version];
    const std::size_t nul = value.find('\0', nameAt);
    if (nul == std::string_view::npos)
        return false;
    const std::size_t end = nul + 1;
    return value.size() == end || (value.size() == alignUp(end, 4) && zeros(value.substr(end)));
}

}  // namespace

std::optional<std::string> DosAttribValue::normalized(std::string_view value)
{
    std::string result(value);
    const std::size_t nul = result.find('\0');
    std::string text = result.substr(0, nul);
    if (nul == std::string::npos) {
        // Wine's form.
        if (!normalizeText(text))
            return std::nullopt;
        return text;
    }

    // Samba's forms. Before version 4 the text repeats the attributes; since then it is empty.
    if (!text.empty()) {
        if (!normalizeText(text))
            return std::nullopt;
        result.replace(0, text.size(), text);
    }
    const std::size_t blobStart = nul + 1;
    if (blobStart == result.size()) {
        // Text only, as Samba wrote before 3.5; it has no meaning without its text.
        if (text.empty())
            return std::nullopt;
        return result;
    }

    const std::size_t versionAt = alignUp(blobStart, 2);
    const std::size_t infoAt = alignUp(versionAt + 4, 4);
    if (infoAt > result.size() || !zeros(value.substr(blobStart, versionAt - blobStart))
        || !zeros(value.substr(versionAt + 4, infoAt - versionAt - 4)))
        return std::nullopt;
    const std::uint32_t version = readLittleEndian(value, versionAt, 2);
    const std::uint32_t level = readLittleEndian(value, versionAt + 2, 2);
    if (version != level || version < 1 || version > 5 || !fillsTheRest(value, infoAt, version))
        return std::nullopt;
    const std::size_t attribAt = infoAt + (version == 1 ? 0 : 4);
    writeLittleEndian32(result, attribAt,
                        readLittleEndian(value, attribAt, 4) & ~normalOn::dosAttrib.clears);
    return result;
}

}  // namespace linuxreset

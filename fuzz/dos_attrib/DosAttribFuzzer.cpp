// A user.DOSATTRIB value from a disk made elsewhere, as arbitrary bytes. When it is taken:
// the normal value is as long as it, normalising it again changes nothing, and the only bytes
// that differ are the hex digits of the text and the attribute word of the blob, each holding
// what it held less read-only, hidden, system and archive. Setting those bits again, anywhere
// they fit, gives the same normal value.
#include "fuzz/FuzzCheck.h"
#include "reset/linux/DosAttribValue.h"
#include "text/HexDigit.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace {

using linuxreset::DosAttribValue;

constexpr std::uint32_t cleared = 0x27;

// Where the parts of a value lie, by the layout of Samba's xattr IDL: the hex text up to the
// first NUL (or the whole value for Wine), then the uint16 version aligned to 2 and the
// DosInfo struct aligned to 4, whose attribute word follows a flags word from version 2 on.
struct Parts
{
    std::size_t textEnd;
    std::optional<std::size_t> wordAt;
};

std::size_t alignedTo(std::size_t offset, std::size_t alignment)
{
    return (offset + alignment - 1) / alignment * alignment;
}

std::uint32_t littleEndian(std::string_view bytes, std::size_t at, std::size_t width)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < width; ++i)
        value |= std::uint32_t(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return value;
}

Parts partsOf(std::string_view value)
{
    const std::size_t nul = value.find('\0');
    if (nul == std::string_view::npos || nul + 1 == value.size())
        return {std::min(nul, value.size()), std::nullopt};
    const std::size_t versionAt = alignedTo(nul + 1, 2);
    const std::size_t infoAt = alignedTo(versionAt + 4, 4);
    fuzzCheck(infoAt + 4 <= value.size(), "a blob taken has room for its version and attributes",
              [&] { return escaped(value); });
    const std::uint32_t version = littleEndian(value, versionAt, 2);
    return {nul, infoAt + (version == 1 ? 0 : 4)};
}

std::uint64_t hexValue(std::string_view digits)
{
    std::uint64_t value = 0;
    for (const char c : digits)
        value = value * 16 + static_cast<std::uint64_t>(hexDigitValue(c));
    return value;
}

bool isUpperHex(char c)
{
    return c >= 'A' && c <= 'F';
}

bool isLowerHex(char c)
{
    return c >= 'a' && c <= 'f';
}

void checkText(std::string_view before, std::string_view after)
{
    const auto change = [&] {
        return escaped(before) + " -> " + escaped(after);
    };
    if (before.empty()) {
        fuzzCheck(after.empty(), "an empty text stays empty", change);
        return;
    }
    fuzzCheck(before.size() >= 3 && before[0] == '0' && (before[1] == 'x' || before[1] == 'X'),
              "a text taken is 0x and hex digits", change);
    fuzzCheck(after.substr(0, 2) == before.substr(0, 2), "the 0x of the text stays", change);
    const std::string_view digitsBefore = before.substr(2), digitsAfter = after.substr(2);
    fuzzCheck(std::all_of(digitsBefore.begin(), digitsBefore.end(),
                          [](char c) { return hexDigitValue(c) >= 0; })
                      && std::all_of(digitsAfter.begin(), digitsAfter.end(),
                                     [](char c) { return hexDigitValue(c) >= 0; }),
              "the text holds hex digits only", change);
    // A text of one case keeps it; one that mixes them may come out in either.
    const bool upperBefore = std::any_of(digitsBefore.begin(), digitsBefore.end(), isUpperHex);
    const bool lowerBefore = std::any_of(digitsBefore.begin(), digitsBefore.end(), isLowerHex);
    if (upperBefore != lowerBefore) {
        const auto otherCase = upperBefore ? isLowerHex : isUpperHex;
        fuzzCheck(std::none_of(digitsAfter.begin(), digitsAfter.end(), otherCase),
                  "the hex digits keep their case", change);
    }
    fuzzCheck(hexValue(digitsAfter) == (hexValue(digitsBefore) & ~std::uint64_t(cleared)),
              "the text holds its attributes less the cleared ones", change);
}

// The value with the cleared bits set again wherever they fit: in the word, and in the text as
// far as its digits reach.
std::string dirtied(std::string value, const Parts& parts)
{
    if (parts.textEnd > 2) {
        const std::size_t digits = parts.textEnd - 2;
        const std::uint64_t room
                = (std::uint64_t(1) << (4 * std::min<std::size_t>(digits, 15))) - 1;
        std::uint64_t text = hexValue(std::string_view(value).substr(2, digits)) | (cleared & room);
        const bool upper = std::any_of(value.begin() + 2,
                                       value.begin() + static_cast<std::ptrdiff_t>(parts.textEnd),
                                       isUpperHex);
        const char* hex = upper ? "0123456789ABCDEF" : "0123456789abcdef";
        for (std::size_t i = parts.textEnd; i-- > 2;) {
            value[i] = hex[text & 0xF];
            text >>= 4;
        }
    }
    if (parts.wordAt)
        value[*parts.wordAt]
                = static_cast<char>(static_cast<unsigned char>(value[*parts.wordAt]) | cleared);
    return value;
}

std::string shown(const std::optional<std::string>& value)
{
    return value ? escaped(*value) : std::string("refused");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view before(reinterpret_cast<const char*>(data), size);
    const std::optional<std::string> normal = DosAttribValue::normalized(before);
    if (!normal)
        return 0;
    const std::string_view after = *normal;
    const auto change = [&] {
        return escaped(before) + " -> " + escaped(after);
    };

    fuzzCheck(after.size() == before.size(), "the normal value is as long as the value", change);
    const std::optional<std::string> twice = DosAttribValue::normalized(after);
    fuzzCheck(twice && *twice == after, "normalising twice is normalising once",
              [&] { return escaped(after) + " -> " + shown(twice); });

    const Parts parts = partsOf(before);
    checkText(before.substr(0, parts.textEnd), after.substr(0, parts.textEnd));
    for (std::size_t i = parts.textEnd; i < before.size(); ++i) {
        const bool inWord = parts.wordAt && i >= *parts.wordAt && i < *parts.wordAt + 4;
        fuzzCheck(inWord || before[i] == after[i], "only the text and the attribute word change",
                  [&] { return "byte " + std::to_string(i) + ": " + change(); });
    }
    if (parts.wordAt)
        fuzzCheck(littleEndian(after, *parts.wordAt, 4)
                          == (littleEndian(before, *parts.wordAt, 4) & ~cleared),
                  "the word holds its attributes less the cleared ones", change);

    const std::string dirty = dirtied(*normal, parts);
    const std::optional<std::string> fromDirty = DosAttribValue::normalized(dirty);
    fuzzCheck(fromDirty && *fromDirty == after,
              "the cleared bits, wherever they were set, give the same normal value",
              [&] { return escaped(dirty) + " -> " + shown(fromDirty); });
    return 0;
}

// A text/uri-list from any X client, as arbitrary bytes: every path taken is absolute and has
// no NUL, the lines are independent of each other, and the paths taken, written back as file
// URIs in any of the forms file managers use (and with a query, a fragment and blanks around
// them), are taken again exactly.
#include "fuzz/FuzzCheck.h"
#include "selection/UriList.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Paths = std::vector<std::string>;

constexpr std::string_view localHost = "my-Host";

Paths parse(std::string_view list)
{
    return localFilesFromUriList(list, localHost).value_or(Paths{});
}

std::string shown(const Paths& paths)
{
    std::string text;
    for (const std::string& path : paths)
        text += escaped(path) + "\n";
    return text;
}

// How a writer spells a list; picked from the input so that every form meets every path.
struct Spelling
{
    bool escapeAll;  // every byte but unreserved ones and '/', as GLib and Qt do; else only
                     // what a line, a query, a fragment or an escape would take away
    bool upperHex;
    bool upperScheme;
    int host;  // 0: none, 1: "localhost", 2: this machine's name in another case
    bool crlf;
    bool comments;
    bool padded;  // blanks around each line, which a list may carry
    int suffix;   // 0: none, 1: a query and a fragment, 2: the other way round; neither names a
                  // part of a file
};

Spelling spellingFor(std::string_view input)
{
    std::uint32_t hash = 2166136261u;
    for (const char c : input)
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    const auto bit = [hash](int n) {
        return ((hash >> n) & 1) != 0;
    };
    return {bit(0), bit(1), bit(2), static_cast<int>((hash >> 3) % 3),
            bit(5), bit(6), bit(7), static_cast<int>((hash >> 8) % 3)};
}

bool unreserved(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-'
            || c == '.' || c == '_' || c == '~';
}

bool mustEscape(unsigned char c, bool escapeAll)
{
    if (escapeAll)
        return !unreserved(c) && c != '/';
    return c == '%' || c == '?' || c == '#' || c <= ' ' || c == 0x7f;
}

std::string fileUri(std::string_view path, const Spelling& spelling)
{
    static constexpr std::string_view hosts[] = {"", "localhost", "MY-hOST"};
    std::string uri = spelling.upperScheme ? "FILE://" : "file://";
    uri += hosts[spelling.host];
    const char* digits = spelling.upperHex ? "0123456789ABCDEF" : "0123456789abcdef";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (mustEscape(byte, spelling.escapeAll)) {
            uri += '%';
            uri += digits[byte >> 4];
            uri += digits[byte & 0xF];
        } else {
            uri += c;
        }
    }
    return uri;
}

std::string uriList(const Paths& paths, const Spelling& spelling)
{
    const std::string_view end = spelling.crlf ? "\r\n" : "\n";
    std::string list;
    for (const std::string& path : paths) {
        if (spelling.comments)
            list += std::string("# dropped from a file manager") += end;
        if (spelling.padded)
            list += " \t\v\f";
        list += fileUri(path, spelling);
        static constexpr std::string_view suffixes[] = {"", "?q=%00#f", "#f?q=%00"};
        list += suffixes[spelling.suffix];
        if (spelling.padded)
            list += "\f\v\t ";
        list += end;
    }
    return list;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const Paths paths = parse(input);

    for (const std::string& path : paths) {
        fuzzCheck(!path.empty() && path.front() == '/', "every path is absolute",
                  [&] { return escaped(path); });
        fuzzCheck(path.find('\0') == std::string::npos, "no path holds a NUL",
                  [&] { return escaped(path); });
    }

    // Each line stands alone: the list twice is its paths twice.
    const std::string twice = std::string(input) + "\n" + std::string(input);
    Paths doubled = paths;
    doubled.insert(doubled.end(), paths.begin(), paths.end());
    fuzzCheck(parse(twice) == doubled, "a list given twice gives its paths twice",
              [&] { return shown(paths); });

    if (paths.empty())
        return 0;
    const Spelling spelling = spellingFor(input);
    const std::string written = uriList(paths, spelling);
    const Paths again = parse(written);
    fuzzCheck(again == paths, "the paths written back as file URIs are taken again exactly", [&] {
        return "taken:\n" + shown(paths) + "written: " + escaped(written) + "\ntaken again:\n"
                + shown(again);
    });
    return 0;
}

#include "selection/UriList.h"

#include "text/HexDigit.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Schemes and host names compare without case, for ASCII letters only: folding any other byte
// would make a control character stand for ':' or '/'.
bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return asciiLower(x) == asciiLower(y);
           });
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Percent-decoding to bytes; a NUL byte cannot be part of a path.
std::optional<std::string> percentDecoded(std::string_view text)
{
    std::string bytes(text.size(), '\0');
    char* out = bytes.data();
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%' && i + 2 < text.size() && hexDigitValue(text[i + 1]) >= 0
            && hexDigitValue(text[i + 2]) >= 0) {
            c = static_cast<char>(hexDigitValue(text[i + 1]) * 16 + hexDigitValue(text[i + 2]));
            i += 2;
        }
        if (c == '\0')
            return std::nullopt;
        *out++ = c;
    }
    bytes.resize(static_cast<std::size_t>(out - bytes.data()));
    return bytes;
}

// The path of one "file://host/path" line, if it names a file on this machine.
std::optional<std::string> localPath(std::string_view line, std::string_view localHostName)
{
    constexpr std::string_view scheme = "file://";
    if (line.size() < scheme.size() || !equalsIgnoringCase(line.substr(0, scheme.size()), scheme))
        return std::nullopt;
    line.remove_prefix(scheme.size());
    const std::size_t slash = line.find('/');
    if (slash == std::string_view::npos)
        return std::nullopt;
    const std::string_view host = line.substr(0, slash);
    if (!host.empty() && !equalsIgnoringCase(host, "localhost")
        && !equalsIgnoringCase(host, localHostName))
        return std::nullopt;
    std::string_view path = line.substr(slash);
    // A query or fragment is not part of the name: those characters arrive escaped.
    path = path.substr(0, path.find_first_of("?#"));
    return percentDecoded(path);
}

}  // namespace

std::optional<std::vector<std::string>> localFilesFromUriList(std::string_view text,
                                                              std::string_view hostName)
{
    std::vector<std::string> files;
    files.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && isSpace(line.front()))
            line.remove_prefix(1);
        while (!line.empty() && isSpace(line.back()))
            line.remove_suffix(1);
        if (line.empty() || line.front() == '#')
            continue;
        if (auto path = localPath(line, hostName))
            files.push_back(std::move(*path));
    }
    if (files.empty())
        return std::nullopt;
    return files;
}

#include "reset/windows/LiteralPath.h"

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::wstring_view literalPrefix = L"\\\\?\\";

bool startsWith(std::wstring_view text, std::wstring_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

bool isLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// The names compared here are all ASCII, so folding ASCII letters is enough.
wchar_t folded(wchar_t c)
{
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

bool equalNoCase(std::wstring_view a, std::wstring_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (folded(a[i]) != folded(b[i]))
            return false;
    }
    return true;
}

bool startsWithNoCase(std::wstring_view text, std::wstring_view prefix)
{
    return text.size() >= prefix.size() && equalNoCase(text.substr(0, prefix.size()), prefix);
}

// The names between separators; a run of separators is one.
std::vector<std::wstring_view> namesIn(std::wstring_view text)
{
    std::vector<std::wstring_view> names;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(L'\\', start);
        if (end == std::wstring_view::npos)
            end = text.size();
        if (end > start)
            names.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

// An absolute path taken apart: its root in the literal form without its last separator
// ("\\?\C:", "\\?\UNC\server\share", "\\?\pipe") and the names below it.
struct Parts
{
    std::wstring root;
    std::vector<std::wstring> names;
    // Nothing after the root, not even a separator: "\\?\C:" is the volume, "\\?\C:\" its
    // root folder.
    bool rootAlone = false;
};

// Names that are exactly "." or ".." are resolved; every other name is kept as it is, a
// trailing dot or space and all. Nothing goes above the root.
void append(Parts& parts, const std::vector<std::wstring_view>& names, std::size_t from,
            bool resolve)
{
    for (std::size_t i = from; i < names.size(); ++i) {
        parts.rootAlone = false;
        if (resolve && names[i] == L".")
            continue;
        if (resolve && names[i] == L"..") {
            if (!parts.names.empty())
                parts.names.pop_back();
            continue;
        }
        parts.names.emplace_back(names[i]);
    }
}

std::wstring joined(const Parts& parts)
{
    std::wstring path = parts.root;
    if (parts.rootAlone)
        return path;
    path += L'\\';
    for (std::size_t i = 0; i < parts.names.size(); ++i)
        path += (i == 0 ? L"" : L"\\") + parts.names[i];
    return path;
}

// What follows "\\?\" or "\\.\": a drive ("C:"), a share ("UNC\server\share"), a volume
// ("Volume{...}") or a device ("pipe", "COM1", "GLOBALROOT") is the root.
Parts prefixedParts(std::wstring_view rest, bool resolve)
{
    const std::vector<std::wstring_view> names = namesIn(rest);
    Parts parts{std::wstring(literalPrefix.substr(0, 3)), {}};
    std::size_t taken = 0;
    if (!names.empty() && equalNoCase(names[0], L"UNC")) {
        parts.root += L"\\UNC";
        for (taken = 1; taken < 3 && taken < names.size(); ++taken)
            parts.root += L"\\" + std::wstring(names[taken]);
    } else if (!names.empty()) {
        parts.root += L"\\" + std::wstring(names[0]);
        taken = 1;
    }
    parts.rootAlone = taken > 0 && names.size() == taken && !rest.empty() && rest.back() != L'\\';
    append(parts, names, taken, resolve);
    return parts;
}

// An absolute path with "\" separators, or nothing for a relative one. "\\.\" is a spelling
// Windows reads, so its names are resolved; so are those of "\\?\" unless it is taken as it
// is (it was spelt so with "/", which Windows reads too).
std::optional<Parts> absoluteParts(std::wstring_view path, bool literalAsIs)
{
    if (startsWith(path, literalPrefix))
        return prefixedParts(path.substr(4), !literalAsIs);
    if (startsWith(path, L"\\\\.\\"))
        return prefixedParts(path.substr(4), true);
    if (startsWith(path, L"\\\\")) {
        const std::vector<std::wstring_view> names = namesIn(path.substr(2));
        Parts parts{L"\\\\?\\UNC", {}};
        std::size_t taken = 0;
        for (; taken < 2 && taken < names.size(); ++taken)
            parts.root += L"\\" + std::wstring(names[taken]);
        append(parts, names, taken, true);
        return parts;
    }
    if (path.size() >= 3 && isLetter(path[0]) && path[1] == L':' && path[2] == L'\\') {
        Parts parts{std::wstring(literalPrefix) + std::wstring(path.substr(0, 2)), {}};
        append(parts, namesIn(path.substr(3)), 0, true);
        return parts;
    }
    return std::nullopt;
}

std::wstring withBackslashes(std::wstring path)
{
    for (wchar_t& c : path) {
        if (c == L'/')
            c = L'\\';
    }
    return path;
}

// The drive letter of a root "\\?\C:", or 0.
wchar_t driveOf(const Parts& parts)
{
    const std::wstring_view root = std::wstring_view(parts.root).substr(literalPrefix.size());
    return root.size() == 2 && isLetter(root[0]) && root[1] == L':' ? folded(root[0]) : L'\0';
}

Parts driveDirectoryParts(wchar_t drive, const std::optional<Parts>& current,
                          const std::function<std::wstring(wchar_t)>& driveDirectory)
{
    if (current && driveOf(*current) == folded(drive))
        return *current;
    if (driveDirectory) {
        const std::optional<Parts> kept
                = absoluteParts(withBackslashes(driveDirectory(drive)), true);
        if (kept && driveOf(*kept) == folded(drive))
            return *kept;
    }
    return Parts{std::wstring(literalPrefix) + drive + L':', {}};
}

// The literal form's root, for the rules below: nothing for a path not in that form.
std::optional<Parts> literalParts(const std::wstring& literal)
{
    if (!startsWith(literal, literalPrefix))
        return std::nullopt;
    return prefixedParts(std::wstring_view(literal).substr(literalPrefix.size()), false);
}

bool literalNamesDevice(const std::wstring& literal)
{
    if (!startsWith(literal, literalPrefix))
        return false;
    const std::wstring_view rest = std::wstring_view(literal).substr(literalPrefix.size());
    if (rest.size() >= 3 && isLetter(rest[0]) && rest[1] == L':' && rest[2] == L'\\')
        return false;
    if (startsWithNoCase(rest, L"UNC\\")) {
        // A share named so is the server's named pipes or mailslots.
        const std::vector<std::wstring_view> names = namesIn(rest.substr(4));
        return names.size() >= 2
                && (equalNoCase(names[1], L"pipe") || equalNoCase(names[1], L"mailslot"));
    }
    if (startsWithNoCase(rest, L"Volume{"))
        return rest.find(L"}\\") == std::wstring_view::npos;
    return true;
}

std::wstring environmentDriveDirectory(wchar_t drive)
{
    // Where the command prompt keeps each drive's current directory: "=D:".
    const std::wstring name = std::wstring(L"=") + drive + L':';
    std::wstring value(MAX_PATH, L'\0');
    DWORD written = GetEnvironmentVariableW(name.c_str(), value.data(), MAX_PATH);
    if (written >= MAX_PATH) {
        value.assign(written, L'\0');
        written = GetEnvironmentVariableW(name.c_str(), value.data(), written);
        if (written >= value.size())
            return {};
    }
    value.resize(written);
    return value;
}

std::wstring currentDirectory()
{
    std::wstring directory(MAX_PATH, L'\0');
    DWORD written = GetCurrentDirectoryW(MAX_PATH, directory.data());
    if (written >= MAX_PATH) {
        directory.assign(written, L'\0');
        written = GetCurrentDirectoryW(written, directory.data());
        if (written >= directory.size())
            return {};
    }
    directory.resize(written);
    return directory;
}

}  // namespace

std::wstring literalPath(const std::wstring& path, const std::wstring& currentDirectory,
                         const std::function<std::wstring(wchar_t drive)>& driveDirectory)
{
    if (path.empty() || startsWith(path, literalPrefix))
        return path;
    const std::wstring spelt = withBackslashes(path);
    if (const std::optional<Parts> absolute = absoluteParts(spelt, false))
        return joined(*absolute);

    const std::optional<Parts> current = absoluteParts(withBackslashes(currentDirectory), true);
    std::wstring_view rest = spelt;
    Parts parts;
    if (spelt.size() >= 2 && isLetter(spelt[0]) && spelt[1] == L':') {
        parts = driveDirectoryParts(spelt[0], current, driveDirectory);
        rest.remove_prefix(2);
    } else if (!current) {
        return {};
    } else if (spelt[0] == L'\\') {
        parts = Parts{current->root, {}};
        rest.remove_prefix(1);
    } else {
        parts = *current;
    }
    parts.rootAlone = false;
    append(parts, namesIn(rest), 0, true);
    return joined(parts);
}

std::wstring literalPath(const std::wstring& path)
{
    return literalPath(path, currentDirectory(), environmentDriveDirectory);
}

bool namesDevice(const std::wstring& path)
{
    return literalNamesDevice(literalPath(path));
}

bool keptByWindowsByName(const std::wstring& path)
{
    const std::wstring literal = literalPath(path);
    const std::optional<Parts> parts = literalParts(literal);
    return parts && !literalNamesDevice(literal) && !parts->names.empty()
            && equalNoCase(parts->names.front(), L"System Volume Information");
}

#include "web/RegistryReader.h"

#include "platform/WideText_windows.h"

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

RegistryValue failure()
{
    return {RegistryValue::Kind::Failure, {}};
}

bool sameName(std::wstring_view a, const wchar_t* b)
{
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b, -1, TRUE) == CSTR_EQUAL;
}

struct Location
{
    HKEY root;
    std::wstring subKey;     // empty: the root key itself
    std::wstring valueName;  // empty: the key's default value
};

// "ROOT\sub\key\value": the root, the key path, and after the last separator the value name.
std::optional<Location> locate(const std::wstring& fullPath)
{
    const std::size_t first = fullPath.find(L'\\');
    if (first == std::wstring::npos)
        return std::nullopt;
    const std::wstring_view rootName = std::wstring_view(fullPath).substr(0, first);
    HKEY root = nullptr;
    if (sameName(rootName, L"HKCU") || sameName(rootName, L"HKEY_CURRENT_USER"))
        root = HKEY_CURRENT_USER;
    else if (sameName(rootName, L"HKLM") || sameName(rootName, L"HKEY_LOCAL_MACHINE"))
        root = HKEY_LOCAL_MACHINE;
    else
        return std::nullopt;
    const std::size_t last = fullPath.rfind(L'\\');
    std::wstring subKey = last > first ? fullPath.substr(first + 1, last - first - 1) : L"";
    return Location{root, std::move(subKey), fullPath.substr(last + 1)};
}

std::optional<std::wstring> expandEnvironment(const std::wstring& text)
{
    std::vector<wchar_t> buffer(text.size() + 1);
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD needed = ExpandEnvironmentStringsW(text.c_str(), buffer.data(),
                                                       static_cast<DWORD>(buffer.size()));
        if (needed == 0)
            return std::nullopt;
        if (needed <= buffer.size())
            return std::wstring(buffer.data());
        buffer.resize(needed);
    }
    return std::nullopt;
}

// An open registry key, closed with its scope.
class OpenKey
{
public:
    // As a 64-bit program sees it, which is what the shell and the browsers' installers see: a
    // 32-bit program on 64-bit Windows is otherwise shown the 32-bit view of HKLM\Software,
    // where a browser may be registered differently or not at all. 32-bit Windows has one view
    // and ignores the flag.
    OpenKey(HKEY root, const std::wstring& subKey)
    {
        if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key_)
            != ERROR_SUCCESS)
            key_ = nullptr;
    }
    ~OpenKey()
    {
        if (key_)
            RegCloseKey(key_);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;

    HKEY handle() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// Three reads are the whole contract, so the plain registry API does: no COM, no script host.
class WindowsRegistryReader final : public RegistryReader
{
public:
    RegistryValue read(const std::string& fullPath) override
    {
        const std::optional<std::wstring> wide = toWideExactly(fullPath);
        if (!wide)
            return failure();
        const std::optional<Location> location = locate(*wide);
        if (!location)
            return failure();
        const wchar_t* valueName
                = location->valueName.empty() ? nullptr : location->valueName.c_str();
        const OpenKey key(location->root, location->subKey);
        if (!key.handle())
            return failure();

        // The first call only asks the type and size: a number or a list needs no buffer.
        DWORD type = REG_NONE;
        DWORD size = 0;
        LSTATUS status = RegGetValueW(key.handle(), nullptr, valueName, RRF_RT_ANY | RRF_NOEXPAND,
                                      &type, nullptr, &size);
        if (status != ERROR_SUCCESS)
            return failure();
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            return {RegistryValue::Kind::NotText, {}};

        // The value may grow between the calls; RegGetValueW then asks for more again. Limiting
        // the types makes a value that changed into a number fail instead of being misread.
        std::vector<wchar_t> buffer;
        int attempts = 0;
        do {
            buffer.assign(size / sizeof(wchar_t) + 1, L'\0');
            size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
            status = RegGetValueW(key.handle(), nullptr, valueName,
                                  RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, &type,
                                  buffer.data(), &size);
        } while (status == ERROR_MORE_DATA && ++attempts < 4);
        if (status != ERROR_SUCCESS)
            return failure();

        // RegGetValueW ends the text with a NUL; a command line never goes past the first one.
        std::wstring text(buffer.data());
        if (type == REG_EXPAND_SZ) {
            // "%ProgramFiles%\..." must reach the launcher as a path that can start.
            std::optional<std::wstring> expanded = expandEnvironment(text);
            if (!expanded)
                return failure();
            text = std::move(*expanded);
        }
        return {RegistryValue::Kind::Text, toUtf8(text)};
    }
};

}  // namespace

std::unique_ptr<RegistryReader> makeRegistryReader()
{
    return std::make_unique<WindowsRegistryReader>();
}

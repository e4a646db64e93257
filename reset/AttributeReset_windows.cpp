#include "reset/AttributeReset_windows.h"
#include "reset/AttributeReset.h"

#include "platform/WideText_windows.h"

#include <windows.h>

#include <string>
#include <string_view>

namespace {

// What "normal" takes away: the three flags a user sees (read-only, hidden, system), the backup
// mark, and the other three flags the file API lets a program set.
constexpr DWORD clearedFlags = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN
        | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY
        | FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// The cloud-file pinning states (newer than the SDK headers we build with) are the only other
// flags SetFileAttributesW writes. They decide where a file's data is kept, not how it shows,
// so they are written back. Everything else (folder, link, compressed, encrypted, ...) is not
// the setter's to change and is never passed to it.
constexpr DWORD attributePinned = 0x00080000;
constexpr DWORD attributeUnpinned = 0x00100000;
constexpr DWORD keptFlags = attributePinned | attributeUnpinned;

bool startsWith(std::wstring_view text, std::wstring_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

ResetOutcome failure(DWORD code)
{
    const std::string number = "error " + std::to_string(code);
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_NOT_READY:  // a removable drive without its medium
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return {ResetOutcome::Status::Missing, number};
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
        return {ResetOutcome::Status::AccessDenied, number};
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
        return {ResetOutcome::Status::NotSupported, number};
    default:
        break;
    }
    // Nothing more specific to say: the system's own words tell the user what happened.
    const std::string message = systemMessage(code);
    return {ResetOutcome::Status::Failed, message.empty() ? number : message + " (" + number + ")"};
}

// Both calls act on a symbolic link or junction itself, never on its target: GetFileAttributesW
// reports the reparse point's own attributes, and SetFileAttributesW opens it without following
// it (the reason os.chmod in Python and Go, built on that call, change a link on Windows rather
// than its target). Wine 8 makes no such links, so only Windows shows this.
class WindowsAttributeReset final : public AttributeReset
{
public:
    ResetOutcome resetToNormal(const std::filesystem::path& path) override
    {
        const std::wstring target = extendedLengthPath(path.native());
        const DWORD attributes = GetFileAttributesW(target.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return failure(GetLastError());
        if ((attributes & clearedFlags) == 0)
            return {};
        // To the file system 0 means "leave the attributes as they are"; "no flags" is spelt
        // FILE_ATTRIBUTE_NORMAL.
        const DWORD normal = attributes & keptFlags;
        if (!SetFileAttributesW(target.c_str(), normal != 0 ? normal : FILE_ATTRIBUTE_NORMAL))
            return failure(GetLastError());
        return {};
    }
};

}  // namespace

std::wstring extendedLengthPath(const std::wstring& path)
{
    // Already in the form that takes a name literally, or a device name: nothing to add.
    if (startsWith(path, L"\\\\?\\") || startsWith(path, L"\\\\.\\"))
        return path;
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return path;
    std::wstring full(needed, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (written == 0 || written >= needed)
        return path;
    full.resize(written);
    if (full.size() < MAX_PATH)
        return path;
    if (startsWith(full, L"\\\\"))
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::unique_ptr<AttributeReset> makeAttributeReset()
{
    return std::make_unique<WindowsAttributeReset>();
}

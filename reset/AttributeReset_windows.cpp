#include "reset/AttributeReset_windows.h"
#include "reset/AttributeReset.h"
#include "reset/NormalAttributes.h"
#include "reset/ResetWords.h"
#include "reset/windows/FileSystemRedirectionOff.h"

#include "platform/WideText_windows.h"

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace {

// What "normal" takes away, as Windows itself has it.
constexpr DWORD clearedFlags = dos::windowsNormal;
static_assert(dos::windowsNormal
              == (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM
                  | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE
                  | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED));

// The cloud-file pinning states (newer than the SDK headers we build with) are the only other
// flags the basic information takes. They decide where a file's data is kept, not how it shows,
// so they are written back. Everything else (folder, link, compressed, encrypted, ...) is not
// this call's to change and is never passed to it.
constexpr DWORD attributePinned = 0x00080000;
constexpr DWORD attributeUnpinned = 0x00100000;
constexpr DWORD keptFlags = attributePinned | attributeUnpinned;

bool startsWith(std::wstring_view text, std::wstring_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

bool isLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// What one reset saw, in the system's own terms. It is put into words only once the file system
// is seen unredirected again, since finding the words may load a DLL.
struct Attempt
{
    DWORD error = ERROR_SUCCESS;  // of the call that failed
    DWORD stayed = 0;             // cleared flags the object still had after the write
    bool redirected = false;
};

class OpenObject
{
public:
    // Only the attributes may be read and written through it. All share modes, so nothing that
    // has the file open is disturbed; backup semantics, so a folder opens too; and the reparse
    // point itself, so a dropped link or junction is the object and its target is never reached.
    explicit OpenObject(const std::wstring& path)
        : handle_(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr))
    { }
    ~OpenObject()
    {
        if (opened())
            CloseHandle(handle_);
    }
    OpenObject(const OpenObject&) = delete;
    OpenObject& operator=(const OpenObject&) = delete;

    bool opened() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE handle() const { return handle_; }

private:
    HANDLE handle_;
};

// Every step on the one handle: whatever the path names by the time of the write, the object
// read is the object written and the object read back.
Attempt resetByHandle(const std::wstring& target)
{
    const OpenObject object(target);
    if (!object.opened())
        return {GetLastError()};
    FILE_BASIC_INFO before{};
    if (!GetFileInformationByHandleEx(object.handle(), FileBasicInfo, &before, sizeof(before)))
        return {GetLastError()};
    if ((before.FileAttributes & clearedFlags) == 0)
        return {};

    // Zero times leave the times as they are; zero attributes would too, so "no flags" is spelt
    // FILE_ATTRIBUTE_NORMAL.
    FILE_BASIC_INFO change{};
    const DWORD normal = before.FileAttributes & keptFlags;
    change.FileAttributes = normal != 0 ? normal : FILE_ATTRIBUTE_NORMAL;
    if (!SetFileInformationByHandle(object.handle(), FileBasicInfo, &change, sizeof(change)))
        return {GetLastError()};

    // A file system may take the call and keep a flag: only the object itself tells.
    FILE_BASIC_INFO after{};
    if (!GetFileInformationByHandleEx(object.handle(), FileBasicInfo, &after, sizeof(after)))
        return {GetLastError()};
    return {.stayed = after.FileAttributes & clearedFlags};
}

ResetOutcome failure(DWORD code)
{
    using Status = ResetOutcome::Status;
    using Cause = ResetOutcome::Cause;
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_NOT_READY:  // a removable drive without its medium
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return {Status::Missing, {}, Cause::NotFound};
    case ERROR_ACCESS_DENIED:
        return {Status::AccessDenied, {}, Cause::NeedsAdministrator};
    case ERROR_WRITE_PROTECT:
        return {Status::AccessDenied, {}, Cause::ReadOnlyDisk};
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return {Status::Failed, {}, Cause::InUse};
    default:
        break;
    }
    // Nothing more specific to say: the system's own words tell the user what happened.
    const Status status = code == ERROR_INVALID_FUNCTION || code == ERROR_NOT_SUPPORTED
            ? Status::NotSupported
            : Status::Failed;
    return {status, describeError(code), Cause::SystemError};
}

ResetOutcome outcomeOf(const Attempt& attempt)
{
    if (attempt.redirected)
        return {ResetOutcome::Status::Failed,
                "the 32-bit view of the system's folders could not be turned off",
                ResetOutcome::Cause::SystemError};
    if (attempt.error != ERROR_SUCCESS)
        return failure(attempt.error);
    if (attempt.stayed != 0)
        return {ResetOutcome::Status::NotSupported, flagNames(attempt.stayed),
                ResetOutcome::Cause::FlagsKept};
    return {};
}

bool literal(const std::wstring& path)
{
    return startsWith(path, L"\\\\?\\") || startsWith(path, L"\\\\.\\");
}

// The system's own reading of a path: absolute, "/" as "\\", "." and ".." resolved, a device name
// ("C:\\folder\\COM1") as the device. Nothing for a path already in one of the literal forms.
std::optional<std::wstring> fullPathOf(const std::wstring& path)
{
    if (literal(path))
        return std::nullopt;
    std::wstring full(MAX_PATH, L'\0');
    DWORD written = GetFullPathNameW(path.c_str(), MAX_PATH, full.data(), nullptr);
    if (written >= MAX_PATH) {
        full.assign(written, L'\0');
        written = GetFullPathNameW(path.c_str(), written, full.data(), nullptr);
        if (written >= full.size())
            return std::nullopt;
    }
    if (written == 0)
        return std::nullopt;
    full.resize(written);
    return full;
}

std::wstring extendedLengthPath(const std::wstring& path, const std::optional<std::wstring>& full)
{
    if (!full || full->size() < MAX_PATH)
        return path;
    if (startsWith(*full, L"\\\\"))
        return L"\\\\?\\UNC\\" + full->substr(2);
    return L"\\\\?\\" + *full;
}

bool namesDevice(const std::wstring& path, const std::optional<std::wstring>& full)
{
    const std::wstring& seen = literal(path) ? path : full.value_or(path);
    if (!literal(seen))
        return false;
    // In those two name spaces only a drive, a share or a volume holds files and folders.
    const std::wstring_view rest = std::wstring_view(seen).substr(4);
    const bool drive = rest.size() >= 3 && isLetter(rest[0]) && rest[1] == L':' && rest[2] == L'\\';
    const auto startsWithNoCase = [&](std::wstring_view prefix) {
        return rest.size() >= prefix.size()
                && CompareStringOrdinal(rest.data(), static_cast<int>(prefix.size()), prefix.data(),
                                        static_cast<int>(prefix.size()), TRUE)
                == CSTR_EQUAL;
    };
    return !(drive || startsWithNoCase(L"UNC\\") || startsWithNoCase(L"Volume{"));
}

class WindowsAttributeReset final : public AttributeReset
{
public:
    ResetOutcome resetToNormal(const std::filesystem::path& path) override
    {
        const std::optional<std::wstring> full = fullPathOf(path.native());
        if (namesDevice(path.native(), full))
            return {ResetOutcome::Status::NotFileOrFolder, {}, ResetOutcome::Cause::Device};
        const std::wstring target = extendedLengthPath(path.native(), full);
        Attempt attempt;
        {
            const FileSystemRedirectionOff unredirected;
            attempt = unredirected.holds() ? resetByHandle(target) : Attempt{.redirected = true};
        }
        return outcomeOf(attempt);
    }
};

}  // namespace

std::wstring extendedLengthPath(const std::wstring& path)
{
    return extendedLengthPath(path, fullPathOf(path));
}

bool namesDevice(const std::wstring& path)
{
    return namesDevice(path, fullPathOf(path));
}

std::unique_ptr<AttributeReset> makeAttributeReset()
{
    return std::make_unique<WindowsAttributeReset>();
}

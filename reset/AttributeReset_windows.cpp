#include "reset/AttributeReset_windows.h"
#include "reset/AttributeReset.h"
#include "reset/NormalAttributes.h"
#include "reset/ResetWords.h"
#include "reset/windows/FileSystemRedirectionOff.h"

#include "platform/WideText_windows.h"

#include <windows.h>

#include <aclapi.h>

#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

static_assert(dos::windowsNormal
              == (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM
                  | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE
                  | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED));
static_assert(dos::normal == FILE_ATTRIBUTE_NORMAL && dos::directory == FILE_ATTRIBUTE_DIRECTORY);

// ---- Paths, read literally ----

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

// ---- The reset ----

class Handle
{
public:
    Handle() = default;
    explicit Handle(HANDLE handle)
        : handle_(handle)
    { }
    ~Handle()
    {
        if (opened())
            CloseHandle(handle_);
    }
    Handle(Handle&& other) noexcept
        : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE))
    { }
    Handle& operator=(Handle&& other) noexcept
    {
        std::swap(handle_, other.handle_);
        return *this;
    }

    bool opened() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// All share modes, so nothing that has the object open is disturbed, and it may be renamed
// while open; backup semantics, so a folder opens too; and the reparse point itself, so a
// dropped link or junction is the object and its target is never reached. No access to the
// data: a cloud file is never fetched.
Handle openObject(const std::wstring& path, DWORD access)
{
    return Handle(CreateFileW(
            path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// FileIdInfo and its structure, from Windows 8 on (newer than the headers' Windows 7 set).
constexpr auto fileIdInfo = static_cast<FILE_INFO_BY_HANDLE_CLASS>(18);
struct FileIdInformation
{
    ULONGLONG volumeSerialNumber;
    BYTE fileId[16];
};

enum class Sameness { Same, Other, Unknown };

// Whether two handles are open on one object: the same volume and file id. The 128-bit id
// where the system has it (ReFS needs all of it); Windows 7 knows only the 64-bit index.
Sameness sameObject(HANDLE pinned, HANDLE named)
{
    FileIdInformation first{}, second{};
    if (GetFileInformationByHandleEx(pinned, fileIdInfo, &first, sizeof(first))
        && GetFileInformationByHandleEx(named, fileIdInfo, &second, sizeof(second)))
        return first.volumeSerialNumber == second.volumeSerialNumber
                        && std::memcmp(first.fileId, second.fileId, sizeof(first.fileId)) == 0
                ? Sameness::Same
                : Sameness::Other;
    BY_HANDLE_FILE_INFORMATION one{}, other{};
    if (!GetFileInformationByHandle(pinned, &one) || !GetFileInformationByHandle(named, &other))
        return Sameness::Unknown;
    return one.dwVolumeSerialNumber == other.dwVolumeSerialNumber
                    && one.nFileIndexHigh == other.nFileIndexHigh
                    && one.nFileIndexLow == other.nFileIndexLow
            ? Sameness::Same
            : Sameness::Other;
}

// What one reset saw, in the system's own terms. It is put into words only once the file system
// is seen unredirected again, since finding the words may load a DLL.
struct Attempt
{
    DWORD error = ERROR_SUCCESS;  // of the call that failed
    DWORD stayed = 0;             // cleared flags the object still had after the write
    bool redirected = false;
    bool replaced = false;  // the path names another object, or none, by the end
    Handle forOwner{};      // after a denial: the object opened to read its owner, if it may be
};

Attempt denied(DWORD error, const std::wstring& target)
{
    Attempt attempt{.error = error};
    if (error == ERROR_ACCESS_DENIED)
        attempt.forOwner = openObject(target, READ_CONTROL);
    return attempt;
}

// Every step on the one handle: whatever the path names by the time of the write, the object
// read is the object written and the object read back. Then the path is opened again to tell
// whether it still names that object.
Attempt resetByHandle(const std::wstring& target, const std::function<void()>& afterRead)
{
    const Handle object = openObject(target, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES);
    if (!object.opened())
        return denied(GetLastError(), target);
    FILE_BASIC_INFO before{};
    if (!GetFileInformationByHandleEx(object.get(), FileBasicInfo, &before, sizeof(before)))
        return {.error = GetLastError()};
    const dos::WindowsReset reset = dos::windowsReset(before.FileAttributes);
    if (afterRead)
        afterRead();

    Attempt attempt;
    if (reset.needed) {
        // Zero times leave the times as they are.
        FILE_BASIC_INFO change{};
        change.FileAttributes = reset.write;
        if (!SetFileInformationByHandle(object.get(), FileBasicInfo, &change, sizeof(change)))
            return denied(GetLastError(), target);
        // A file system may take the call and keep a flag: only the object itself tells.
        FILE_BASIC_INFO after{};
        if (!GetFileInformationByHandleEx(object.get(), FileBasicInfo, &after, sizeof(after)))
            return {.error = GetLastError()};
        attempt.stayed = after.FileAttributes & reset.clears;
    }

    const Handle named = openObject(target, FILE_READ_ATTRIBUTES);
    if (!named.opened()) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            attempt.replaced = true;
        else
            attempt.error = error;
        return attempt;
    }
    switch (sameObject(object.get(), named.get())) {
    case Sameness::Same:
        break;
    case Sameness::Other:
        attempt.replaced = true;
        break;
    case Sameness::Unknown:
        attempt.error = GetLastError();
        break;
    }
    return attempt;
}

// Whether this thread acts with an administrator's full rights: its own token where it
// impersonates, else the process's.
bool elevated()
{
    HANDLE token = nullptr;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)
        && !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const bool known
            = GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size)
            != FALSE;
    CloseHandle(token);
    return known && elevation.TokenIsElevated != 0;
}

// The owner of Windows' own files: the TrustedInstaller service,
// S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464.
bool ownedByTrustedInstaller(const Handle& object)
{
    if (!object.opened())
        return false;
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(object.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                        nullptr, nullptr, &descriptor)
        != ERROR_SUCCESS)
        return false;
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID trustedInstaller = nullptr;
    bool owned = false;
    if (AllocateAndInitializeSid(&ntAuthority, 6, SECURITY_SERVICE_ID_BASE_RID, 956008885u,
                                 3418522649u, 1831038044u, 1853292631u, 2271478464u, 0, 0,
                                 &trustedInstaller)) {
        owned = owner && EqualSid(owner, trustedInstaller);
        FreeSid(trustedInstaller);
    }
    LocalFree(descriptor);
    return owned;
}

// Who may be let where Windows refused: nobody more than this user if it is the administrator
// already; nobody at all for what Windows keeps for itself; else perhaps an administrator.
ResetOutcome::Cause deniedCause(const std::wstring& target, const Handle& forOwner)
{
    using Cause = ResetOutcome::Cause;
    if (elevated())
        return Cause::RefusedByFileSystem;
    if (keptByWindowsByName(target) || ownedByTrustedInstaller(forOwner))
        return Cause::ProtectedByWindows;
    return Cause::NeedsAdministrator;
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

ResetOutcome outcomeOf(const Attempt& attempt, const std::wstring& target)
{
    if (attempt.redirected)
        return {ResetOutcome::Status::Failed,
                "the 32-bit view of the system's folders could not be turned off",
                ResetOutcome::Cause::SystemError};
    if (attempt.error == ERROR_ACCESS_DENIED)
        return {ResetOutcome::Status::AccessDenied, {}, deniedCause(target, attempt.forOwner)};
    if (attempt.error != ERROR_SUCCESS)
        return failure(attempt.error);
    if (attempt.replaced)
        return {ResetOutcome::Status::Failed, {}, ResetOutcome::Cause::Replaced};
    if (attempt.stayed != 0)
        return {ResetOutcome::Status::NotSupported, flagNames(attempt.stayed),
                ResetOutcome::Cause::FlagsKept};
    return {};
}

class WindowsAttributeReset final : public AttributeReset
{
public:
    explicit WindowsAttributeReset(std::function<void()> afterRead)
        : afterRead_(std::move(afterRead))
    { }

    ResetOutcome resetToNormal(const std::filesystem::path& path) override
    {
        const std::wstring target = literalPath(path.native());
        if (target.empty())
            return {ResetOutcome::Status::Missing, {}, ResetOutcome::Cause::NotFound};
        if (literalNamesDevice(target))
            return {ResetOutcome::Status::NotFileOrFolder, {}, ResetOutcome::Cause::Device};
        Attempt attempt;
        {
            const FileSystemRedirectionOff unredirected;
            attempt = unredirected.holds() ? resetByHandle(target, afterRead_)
                                           : Attempt{.redirected = true};
        }
        return outcomeOf(attempt, target);
    }

private:
    std::function<void()> afterRead_;
};

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

std::unique_ptr<AttributeReset> makeAttributeReset(std::function<void()> afterRead)
{
    return std::make_unique<WindowsAttributeReset>(std::move(afterRead));
}

std::unique_ptr<AttributeReset> makeAttributeReset()
{
    return makeAttributeReset(nullptr);
}

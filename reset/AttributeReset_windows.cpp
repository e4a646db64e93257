#include "reset/AttributeReset_windows.h"
#include "reset/AttributeReset.h"
#include "reset/NormalAttributes.h"
#include "reset/ResetWords.h"
#include "reset/windows/FileSystemRedirectionOff.h"
#include "reset/windows/LiteralPath.h"

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
        if (namesDevice(target))
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

std::unique_ptr<AttributeReset> makeAttributeReset(std::function<void()> afterRead)
{
    return std::make_unique<WindowsAttributeReset>(std::move(afterRead));
}

std::unique_ptr<AttributeReset> makeAttributeReset()
{
    return makeAttributeReset(nullptr);
}

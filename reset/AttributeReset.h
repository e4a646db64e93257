#pragma once
#include <filesystem>
#include <memory>
#include <string>

struct ResetOutcome
{
    enum class Status {
        Done,             // the path has normal attributes now (or had them already)
        Missing,          // nothing at that path
        AccessDenied,     // the user may not change it
        NotSupported,     // the file system cannot take the change
        NotFileOrFolder,  // a device, FIFO or socket: never opened
        LeftAsIs,         // deliberately not changed (a link, a special file); cause says why
        Failed,           // any other error; cause and reason say which
    };
    // Why a path was not reset, in the terms the report explains to the user (its words are
    // the core's, in ResetWords). The status stays the coarse kind of outcome.
    enum class Cause {
        None,
        NotFound,             // nothing at the path
        FolderClosed,         // a folder on the way may not be opened
        Locked,               // immutable or append-only, and the user may not unlock it
        OwnedByOtherUser,     // another user's, and this user may not change it
        NotWritable,          // the user's own, but its permissions forbid the change
        RefusedByFileSystem,  // refused although the user is the administrator
        NeedsAdministrator,   // Windows refused this user; an administrator may be let
        ProtectedByWindows,   // Windows keeps it to itself: no administrator may change it
        SystemFlagNeedsRoot,  // the driver lets only root change the system flag (exFAT)
        ReadOnlyDisk,
        InUse,                 // another program holds it locked
        SymbolicLink,          // a link is left as it is, its target is not what was dropped
        ThroughStrangersLink,  // the path goes through another user's symbolic link
        Fifo,
        Socket,
        Device,
        UnknownType,
        DriversSpecialFile,  // a file the NTFS driver keeps as a FIFO, link or device
        Replaced,            // the path named another object by the end of its reset
        NameTooLong,         // a name in the path is longer than the file system allows
        UnknownFormat,       // the stored attributes are in a form not understood; reason:
                             // whose, "dosattrib" (Samba's and Wine's), "ntfs" or "smb"
        FlagsKept,           // the file system kept flags; reason: their names
        FuseCannotChange,    // a FUSE file system with no way to change them; reason: what it
                             // is, "exfat", "disk", "gvfs", "mtp" or the FUSE program's name
        ExfatDriverTooOld,   // the kernel's exFAT driver has no attribute calls (before 6.7)
        SmbNeedsNewerLinux,  // the SMB client cannot set attributes before Linux 5.6
        SmbOneUnreliable,    // an SMB1 mount does not show the attributes it keeps
        SystemError,         // reason: the system's own words
    };
    Status status = Status::Done;
    // What the cause needs said (flag names, whose format, the system's words); empty when Done.
    std::string reason;
    Cause cause = Cause::None;

    bool done() const { return status == Status::Done; }
};

// Gives one path normal attributes. Never enters a folder, never follows a link, never
// changes contents, names, owners or permissions.
class AttributeReset
{
public:
    virtual ~AttributeReset() = default;
    virtual ResetOutcome resetToNormal(const std::filesystem::path& path) = 0;
};

std::unique_ptr<AttributeReset> makeAttributeReset();

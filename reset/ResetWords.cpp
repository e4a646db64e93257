#include "reset/ResetWords.h"

#include "reset/DisplayText.h"
#include "reset/NormalAttributes.h"

#include <algorithm>

namespace {

constexpr std::size_t mostNamedInTheText = 10;

std::string filesFolders(std::size_t count)
{
    return std::to_string(count) + (count == 1 ? " file/folder" : " files/folders");
}

std::string failureLine(const ResetFailure& failure)
{
    return displayPath(failure.path) + " (" + describeOutcome(failure.outcome) + ")";
}

std::string fuseWhat(const std::string& what)
{
    if (what == "exfat")
        return "on an exFAT disk mounted through FUSE (exfat-fuse)";
    if (what == "disk")
        return "on a disk mounted through FUSE";
    if (what == "gvfs")
        return "in a folder the desktop opened itself (GVFS)";
    if (what == "mtp")
        return "on a phone or camera connected through MTP";
    if (what.empty())
        return "on a FUSE file system";
    return "on a FUSE file system (" + what + ")";
}

}  // namespace

std::string flagNames(std::uint32_t flags)
{
    std::string text;
    for (const dos::Name& name : dos::clearedNames) {
        if (flags & name.bit)
            text += (text.empty() ? "" : ", ") + std::string(name.name);
    }
    return text;
}

std::string describeOutcome(const ResetOutcome& outcome)
{
    using Cause = ResetOutcome::Cause;
    const std::string& reason = outcome.reason;
    switch (outcome.cause) {
    case Cause::None:
        break;
    case Cause::NotFound:
        return "not found";
    case Cause::FolderClosed:
        return "inside a folder you may not open";
    case Cause::Locked:
        return "locked against changes (immutable or append-only): only an administrator can "
               "unlock it; run Flagwash as root";
    case Cause::OwnedByOtherUser:
        return "owned by another user: only its owner or an administrator can change it";
    case Cause::NotWritable:
        return "its permissions do not let you change it: give yourself write permission, or "
               "run Flagwash as root";
    case Cause::RefusedByFileSystem:
        return "the disk refused the change even to an administrator";
    case Cause::NeedsAdministrator:
        return "Windows refused you access to it, and an administrator may be allowed: start "
               "Flagwash as administrator and hand it the item by Send To (through a shortcut "
               "set to run as administrator) or on its command line, since Windows lets nothing "
               "be dropped on a program that runs as administrator";
    case Cause::ProtectedByWindows:
        return "kept by Windows for itself: not even an administrator can change it";
    case Cause::SystemFlagNeedsRoot:
        return "on this disk (exFAT) its system flag, and its other flags while it has that one, "
               "can be changed only with administrator rights (root): run Flagwash as root";
    case Cause::ReadOnlyDisk:
        return "on a read-only disk";
    case Cause::InUse:
        return "in use by another program: close it and try again";
    case Cause::SymbolicLink:
        return "a symbolic link, left as it is: drop what it points to instead";
    case Cause::ThroughStrangersLink:
        return "reached through another user's symbolic link, so left as it is: drop it from "
               "the folder it is really in";
    case Cause::Fifo:
        return "a FIFO (named pipe), not a file or folder";
    case Cause::Socket:
        return "a socket, not a file or folder";
    case Cause::Device:
        return "a device, not a file or folder";
    case Cause::UnknownType:
        return "not a file or folder";
    case Cause::DriversSpecialFile:
        return "a special file of the NTFS driver, which needs its system flag to stay what it is";
    case Cause::NameTooLong:
        return "a name in its path is longer than the disk allows, so nothing can be there";
    case Cause::Replaced:
        return "replaced by something else while it was being reset: drop it again";
    case Cause::UnknownFormat:
        return std::string("its attributes are stored in a form Flagwash does not know")
                + (reason == "ntfs"          ? " (an NTFS attribute word of another size)"
                           : reason == "smb" ? " (a share's attribute word of another size)"
                                             : " (Samba's and Wine's user.DOSATTRIB)")
                + ", so they were left exactly as they are";
    case Cause::FlagsKept:
        return "the disk kept these flags: " + reason;
    case Cause::FuseCannotChange:
        return fuseWhat(reason) + ", which cannot change attributes"
                + (reason == "exfat"
                           ? ": mount it with the kernel's exfat driver (Linux 6.7 or later)"
                           : reason == "disk" ? ": mount it with the kernel's own driver"
                                              : "");
    case Cause::ExfatDriverTooOld:
        return "on an exFAT disk whose driver cannot change attributes: Linux 6.7 or later can";
    case Cause::SmbNeedsNewerLinux:
        return "on a Windows share, whose attributes Linux can change from version 5.6 on";
    case Cause::SmbOneUnreliable:
        return "on a share mounted with the old SMB1 protocol, which does not show attributes "
               "truly: mount it with a newer protocol (vers=3.0)";
    case Cause::SystemError:
        return "could not be reset: " + reason;
    }
    // A backend that named no cause: its status, and its reason if it gave one.
    std::string text;
    switch (outcome.status) {
    case ResetOutcome::Status::Done:
        return "done";
    case ResetOutcome::Status::Missing:
        text = "not found";
        break;
    case ResetOutcome::Status::AccessDenied:
        text = "access denied";
        break;
    case ResetOutcome::Status::NotSupported:
        text = "the disk cannot take the change";
        break;
    case ResetOutcome::Status::NotFileOrFolder:
        text = "not a file or folder";
        break;
    case ResetOutcome::Status::LeftAsIs:
        text = "left as it is";
        break;
    case ResetOutcome::Status::Failed:
        text = "could not be reset";
        break;
    }
    if (!reason.empty())
        text += ": " + reason;
    return text;
}

ResetReportText resetReport(const ResetSummary& summary, const std::string& lineBreak)
{
    ResetReportText report;
    report.text = "Done resetting " + std::to_string(summary.done) + " files/folders";
    report.text += lineBreak;
    const std::size_t failed = summary.failures.size();
    if (failed > 0) {
        report.allDone = false;
        report.text += lineBreak;
        report.text += filesFolders(failed) + " could not be reset:" + lineBreak;
        const std::size_t named = std::min(failed, mostNamedInTheText);
        for (std::size_t i = 0; i < named; ++i)
            report.text += failureLine(summary.failures[i]) + lineBreak;
        if (failed > named)
            report.text += "and " + std::to_string(failed - named)
                    + " more (all of them are in the details)" + lineBreak;
        for (const ResetFailure& failure : summary.failures)
            report.details += failureLine(failure) + lineBreak;
    }
    report.text += lineBreak;
    report.text += "Click OK to reset more files/folders";
    return report;
}

std::string moreThanShown(std::size_t more)
{
    return "\u2026 and " + std::to_string(more)
            + " more: Copy the list puts all of them on the clipboard";
}

std::string progressHeading(std::size_t done, std::size_t total)
{
    return "Resetting " + std::to_string(done + 1) + " of " + std::to_string(total)
            + " files/folders";
}

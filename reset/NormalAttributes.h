#pragma once
// What "normal" means: the DOS attribute bits by name, and, for every kind of file system a
// dropped path may live on, what a reset clears, what it keeps, and what it cannot change.
// Every backend masks with its own row of the table, and the README's table is this table (a test
// compares the two).
#include <array>
#include <cstdint>
#include <string_view>

namespace dos {

constexpr std::uint32_t readOnly = 0x1;
constexpr std::uint32_t hidden = 0x2;
constexpr std::uint32_t system = 0x4;
constexpr std::uint32_t directory = 0x10;
constexpr std::uint32_t archive = 0x20;
constexpr std::uint32_t normal = 0x80;  // Windows' word for "no flags"; 0 means "unchanged"
constexpr std::uint32_t temporary = 0x100;
constexpr std::uint32_t sparse = 0x200;
constexpr std::uint32_t reparsePoint = 0x400;
constexpr std::uint32_t compressed = 0x800;
constexpr std::uint32_t offline = 0x1000;
constexpr std::uint32_t notContentIndexed = 0x2000;
constexpr std::uint32_t encrypted = 0x4000;
// The states Windows gives a cloud file, a placeholder whose data a sync engine (OneDrive and
// the like) keeps or fetches: it has no data of its own on the disk (recall on open), fetches
// it when read (recall on data access), is to be kept on the disk (pinned) or may lose its data
// (unpinned).
constexpr std::uint32_t recallOnOpen = 0x40000;
constexpr std::uint32_t pinned = 0x80000;
constexpr std::uint32_t unpinned = 0x100000;
constexpr std::uint32_t recallOnDataAccess = 0x400000;
constexpr std::uint32_t cloudStates = recallOnOpen | pinned | unpinned | recallOnDataAccess;

// The four flags malware sets to hide files, and the only ones FAT and exFAT keep.
constexpr std::uint32_t visible = readOnly | hidden | system | archive;
// What Windows itself takes away when a path is set to normal: the four, and the three other
// flags a program may set. Everything else describes how the data is kept.
constexpr std::uint32_t windowsNormal = visible | temporary | offline | notContentIndexed;

// What a reset on Windows does to an object that has the attributes `before`: the word it
// writes (normal for no flags), the flags that must read back cleared for it to be done, and
// whether it has any of them now (without, nothing is written).
// The pinning states are the sync engine's and are written back as they were. On a cloud file
// the offline flag is the engine's too (it marks the data as not on the disk): it is kept, and
// is no flag the disk kept against the reset. The recall states cannot be written at all.
struct WindowsReset
{
    std::uint32_t write;
    std::uint32_t clears;
    bool needed;
};

struct Name
{
    std::uint32_t bit;
    std::string_view name;
};
constexpr std::array<Name, 7> clearedNames{{{readOnly, "read-only"},
                                            {hidden, "hidden"},
                                            {system, "system"},
                                            {archive, "archive"},
                                            {temporary, "temporary"},
                                            {offline, "offline"},
                                            {notContentIndexed, "not-content-indexed"}}};

}  // namespace dos

// One row of the table: where a path lives, and what RESET does with its flags there.
struct NormalOn
{
    std::string_view where;
    std::uint32_t clears;         // the DOS bits a reset takes away there
    std::string_view alsoClears;  // flags other than DOS bits it takes away, in words
    std::string_view kept;        // what stays, in words
    std::string_view cannot;      // what Linux or the driver cannot change there, in words
};

namespace normalOn {

inline constexpr NormalOn windows{
        "Windows (any volume)", dos::windowsNormal, "",
        "compressed, encrypted, sparse, links, folder; a cloud file's offline, pinned and "
        "unpinned flags (its sync engine's)",
        ""};
inline constexpr NormalOn fat{"Linux, FAT (vfat, msdos): USB sticks, SD cards", dos::visible, "",
                              "the folder bit", ""};
inline constexpr NormalOn exfat{
        "Linux, exFAT through the kernel's exfat driver (Linux 6.7 or later)", dos::visible, "",
        "the folder bit",
        "the system flag, and the others of a file that has it, unless run as "
        "root; older drivers nothing (reported)"};
inline constexpr NormalOn exfatFuse{"Linux, exFAT through exfat-fuse", 0, "", "everything",
                                    "anything: reported, with how to mount it instead"};
inline constexpr NormalOn ntfs{
        "Linux, NTFS (ntfs-3g, the kernel's ntfs3 and ntfs drivers)", dos::windowsNormal, "",
        "compressed, encrypted, sparse, reparse, folder, the driver's own bits; "
        "ntfs-3g's special files (Interix FIFOs, links, devices)",
        ""};
inline constexpr NormalOn smb{
        "Linux, Windows or Samba shares through the cifs client (Linux 5.6 or later)",
        dos::windowsNormal, "", "compressed, encrypted, sparse, reparse, folder",
        "anything on older kernels or over SMB1 (reported)"};
inline constexpr NormalOn dosAttrib{
        "Linux, Samba's or Wine's user.DOSATTRIB (ext4, xfs, btrfs, tmpfs, ...)", dos::visible, "",
        "its form, width and every other field", "a value in a form it does not know (reported)"};
inline constexpr NormalOn otherFuse{
        "Linux, other FUSE mounts (GVFS, MTP, sshfs, ...) without user.DOSATTRIB", 0, "",
        "everything", "anything: reported"};
inline constexpr NormalOn inodeFlags{
        "Linux, any file system with inode flags (ext4, xfs, btrfs, ...)", 0,
        "the immutable and append-only flags (as root)", "every other inode flag",
        "those two flags without root (reported)"};

inline constexpr std::array table{windows, fat,       exfat,     exfatFuse, ntfs,
                                  smb,     dosAttrib, otherFuse, inodeFlags};

}  // namespace normalOn

namespace dos {

constexpr WindowsReset windowsReset(std::uint32_t before)
{
    const bool cloudFile = (before & dos::cloudStates) != 0;
    const std::uint32_t enginesOwn = dos::pinned | dos::unpinned | (cloudFile ? dos::offline : 0);
    const std::uint32_t kept = before & enginesOwn;
    const std::uint32_t clears = normalOn::windows.clears & ~enginesOwn;
    return {kept != 0 ? kept : dos::normal, clears, (before & clears) != 0};
}

}  // namespace dos

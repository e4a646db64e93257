#pragma once
// Real file systems for the reset tests: a folder on ext4, one on tmpfs, and a fresh NTFS
// image mounted through ntfs-3g. Each test gets a folder of its own on them.
#include "reset/NormalAttributes.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>

namespace fs = std::filesystem;

// The Windows attribute bits the tests set and check, by the names of the table of normal.
namespace winattr {
using dos::archive;
using dos::directory;
using dos::hidden;
using dos::readOnly;
constexpr std::uint32_t systemFile = dos::system;
constexpr std::uint32_t rhsa = dos::visible;
}  // namespace winattr

class ScratchFileSystem
{
public:
    enum class Kind { Ext4Wine, Ext4Samba, TmpfsWine, TmpfsSamba, Ntfs3g };

    // Never null; check unavailable() before use.
    static std::unique_ptr<ScratchFileSystem> make(Kind kind);
    static std::string kindName(Kind kind);

    virtual ~ScratchFileSystem();

    // Why this file system cannot be had here (the test skips with it); empty when it can.
    const std::string& unavailable() const { return unavailable_; }
    // An empty folder of this test's own on the file system.
    const fs::path& root() const { return root_; }

    // The Windows attributes as this file system keeps them: user.DOSATTRIB in Wine's or
    // Samba's form on ext4 and tmpfs, the system.ntfs_attrib word on NTFS.
    virtual void setAttributes(const fs::path& path, std::uint32_t attributes) = 0;
    virtual std::uint32_t attributes(const fs::path& path) const = 0;
    // Whether the mode bits decide who may change the attributes (ntfs-3g, mounted without
    // its permissions option, lets everyone).
    virtual bool checksPermissions() const { return true; }
    // A name that is not plain ASCII, as raw as the file system keeps names.
    virtual std::string foreignName() const = 0;

protected:
    ScratchFileSystem() = default;

    std::string unavailable_;
    fs::path root_;
};

// Names the parameter in test listings.
void PrintTo(ScratchFileSystem::Kind kind, std::ostream* out);

// Raw xattr helpers that never follow a link; an absent xattr reads as "<none>".
std::string readXattr(const fs::path& path, const char* name);
void writeXattr(const fs::path& path, const char* name, const std::string& value);

// Removes a tree even when a failed test left immutable, append-only or read-only entries.
void removeTree(const fs::path& path);

// Inode flags (chattr) through the ioctl; -1 when the file system has none.
int inodeFlags(const fs::path& path);
void setInodeFlags(const fs::path& path, int flags);

#include "reset/linux/MountInfo.h"

#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace linuxreset {

namespace {

// The mount a descriptor is on, by the id /proc/self/mountinfo uses.
std::string mountIdOf(int fd)
{
    std::ifstream info("/proc/self/fdinfo/" + std::to_string(fd));
    std::string line;
    while (std::getline(info, line)) {
        if (line.rfind("mnt_id:", 0) == 0) {
            std::istringstream value(line.substr(7));
            std::string id;
            value >> id;
            return id;
        }
    }
    return {};
}

MountEntry entryOf(const std::string& mountId)
{
    std::ifstream mounts("/proc/self/mountinfo");
    std::string line;
    while (std::getline(mounts, line)) {
        if (mountId.empty() || line.rfind(mountId + ' ', 0) != 0)
            continue;
        const std::size_t separator = line.find(" - ");
        if (separator == std::string::npos)
            return {};
        std::istringstream fields(line.substr(separator + 3));
        MountEntry entry;
        fields >> entry.type >> entry.source >> entry.superOptions;
        return entry;
    }
    return {};
}

// Whether the device holds exFAT: as udev found it, or by the name in its boot sector.
bool holdsExfat(const std::string& device)
{
    struct stat status = {};
    if (::stat(device.c_str(), &status) != 0 || !S_ISBLK(status.st_mode))
        return false;
    std::ifstream udev("/run/udev/data/b" + std::to_string(major(status.st_rdev)) + ":"
                       + std::to_string(minor(status.st_rdev)));
    std::string line;
    while (std::getline(udev, line)) {
        if (line.rfind("E:ID_FS_TYPE=", 0) == 0)
            return line == "E:ID_FS_TYPE=exfat";
    }
    // Readable by root and the disk group only; without it the disk stays "a disk".
    const int fd = ::open(device.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    char head[11] = {};
    const bool read = ::pread(fd, head, sizeof head, 0) == static_cast<ssize_t>(sizeof head);
    ::close(fd);
    return read && std::string(head + 3, 8) == "EXFAT   ";
}

}  // namespace

bool MountEntry::hasOption(const std::string& name) const
{
    std::istringstream options(superOptions);
    std::string option;
    while (std::getline(options, option, ','))
        if (option == name || option.rfind(name + '=', 0) == 0)
            return true;
    return false;
}

MountEntry mountOf(int fd)
{
    return entryOf(mountIdOf(fd));
}

std::string describeFuseMount(const MountEntry& mount)
{
    if (mount.type == "fuseblk")
        return holdsExfat(mount.source) ? "exfat" : "disk";
    const std::string program
            = mount.type.rfind("fuse.", 0) == 0 ? mount.type.substr(5) : std::string();
    if (program == "gvfsd-fuse")
        return "gvfs";
    if (program.find("mtp") != std::string::npos || mount.source.find("mtp") != std::string::npos)
        return "mtp";
    return program;
}

}  // namespace linuxreset

// What the report says a FUSE mount is, from its line in /proc/self/mountinfo.
#include "reset/linux/MountInfo.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

using linuxreset::MountEntry;

TEST(FuseMount, IsToldApartByItsTypeAndSource)
{
    const struct
    {
        MountEntry mount;
        const char* what;
    } cases[] = {
            {{"fuse.gvfsd-fuse", "gvfsd-fuse", "rw,user_id=1000"}, "gvfs"},
            {{"fuse.jmtpfs", "jmtpfs", "rw"}, "mtp"},
            {{"fuse.simple-mtpfs", "simple-mtpfs", "rw"}, "mtp"},
            {{"fuse", "mtp:Galaxy", "rw"}, "mtp"},
            {{"fuse.sshfs", "me@host:/srv", "rw"}, "sshfs"},
            {{"fuse", "/dev/loop0", "rw"}, ""},
            // A block device this machine has no such device for: some disk through FUSE.
            {{"fuseblk", "/dev/nonexistent-disk", "rw"}, "disk"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(linuxreset::describeFuseMount(c.mount), c.what) << c.mount.type;
}

TEST(MountInfo, FindsTheMountOfADescriptorAndItsOptions)
{
    const int fd = ::open("/proc/self", O_PATH | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const MountEntry proc = linuxreset::mountOf(fd);
    ::close(fd);
    EXPECT_EQ(proc.type, "proc");
    EXPECT_TRUE(proc.hasOption("rw") || proc.hasOption("ro")) << proc.superOptions;
    EXPECT_FALSE(proc.hasOption("r"));
}

}  // namespace

"""exFAT through exfat-fuse on this machine: a loop device of an image, mount.exfat-fuse.

  test_exfat_fuse.py PROBES WORK

exfat-fuse shows no DOS attributes at all (no ioctl, no xattr), so the attributes are written
into the image's directory entries directly (exfat_image, checked by fsck.exfat) before the
mount, and read from there after it. Whatever the user and whatever the entry holds, the tool
cannot see or change them there: no outcome may be Done, and nothing may change.
"""
import os
import subprocess
import sys
import time

import cases
import guestvm
from exfat_image import ExfatImage

FOLDER = 0x10
OWNER_OPTIONS = "uid=1000,gid=1000"


class FuseMount:
    """The loop device mounted through exfat-fuse, in the foreground (-d) so that leaving waits
    until it has written everything and ended."""

    def __init__(self, device, mount_point, work, options=""):
        self.device, self.mount_point, self.options = device, mount_point, options
        self.log = os.path.join(work, "exfat-fuse.log")

    def __enter__(self):
        os.makedirs(self.mount_point, exist_ok=True)
        command = ["mount.exfat-fuse", "-d"]
        if self.options:
            command += ["-o", self.options]
        with open(self.log, "a") as log:
            self.process = subprocess.Popen([*command, self.device, self.mount_point],
                                            stdin=subprocess.DEVNULL, stdout=log,
                                            stderr=subprocess.STDOUT)
        deadline = time.monotonic() + 30
        while not os.path.ismount(self.mount_point):
            if self.process.poll() is not None:
                raise guestvm.Skip(f"mount.exfat-fuse could not mount {self.device} "
                                   f"(log in {self.log})")
            if time.monotonic() > deadline:
                raise AssertionError("exfat-fuse did not mount the image")
            time.sleep(0.02)
        return self

    def __exit__(self, *_):
        subprocess.run(["umount", self.mount_point], check=True)
        self.process.wait(timeout=60)


class LoopDevice:
    def __init__(self, image):
        self.image = image

    def __enter__(self):
        done = subprocess.run(["losetup", "-f", "--show", self.image], capture_output=True,
                              text=True)
        if done.returncode != 0:
            raise guestvm.Skip(f"no loop device for exfat-fuse: {done.stderr.strip()}")
        self.device = done.stdout.strip()
        return self.device

    def __exit__(self, *_):
        subprocess.run(["losetup", "-d", self.device], check=True)


def expect(user, folder, bits):
    return False, bits


def fsck(image, failures, when):
    done = subprocess.run(["fsck.exfat", "-n", image], capture_output=True, text=True)
    if done.returncode != 0:
        failures.append(f"fsck.exfat finds the image damaged {when}: {done.stdout.strip()}")


def main():
    if len(sys.argv) != 3:
        sys.exit(f"usage: {sys.argv[0]} PROBES WORK")
    probes, work = (os.path.abspath(path) for path in sys.argv[1:])
    os.makedirs(work, exist_ok=True)
    guestvm.require("mount.exfat-fuse", "mkfs.exfat", "fsck.exfat", "losetup")
    if os.geteuid() != 0:
        raise guestvm.Skip("exfat-fuse on a loop device needs root")
    guestvm.require_fuse("exfat-fuse")
    image = guestvm.blank_image(os.path.join(work, "exfat.img"), "64M")
    subprocess.run(["mkfs.exfat", "-L", "STICK", image], check=True, stdout=subprocess.DEVNULL)
    mount_point = os.path.join(work, "mnt")

    entries = cases.table(["root", "owner", "other"], lambda folder, bits: bits, expect)
    failures = []
    with LoopDevice(image) as device:
        with FuseMount(device, mount_point, work):
            plan = cases.create_commands(entries, mount_point)
            guestvm.run_on_host(work, probes, plan)
        disk = ExfatImage(image)
        for case in entries:
            disk.set_attributes(case.path, case.given | (FOLDER if case.folder else 0))
        fsck(image, failures, "after the set-up")

        facts = [f"raw statfs {mount_point}", f"raw mount {mount_point}",
                 f"raw get fat {mount_point}/as-root/file-h",
                 f"raw get ntfs {mount_point}/as-root/file-h",
                 f"raw get cifs {mount_point}/as-root/file-h",
                 f"raw stat {mount_point}/as-root/file-r"]
        with FuseMount(device, mount_point, work):
            records = guestvm.run_on_host(work, probes, [
                "phase facts", *facts,
                "phase reset-root", *cases.reset_commands(entries, mount_point, "root"),
                "phase reset-other", *cases.reset_commands(entries, mount_point, "other"),
                *cases.data_commands(entries, mount_point)])
        with FuseMount(device, mount_point, work, OWNER_OPTIONS):
            owner = guestvm.run_on_host(work, probes, [
                "phase reset-owner", *cases.reset_commands(entries, mount_point, "owner")])
    fsck(image, failures, "after the resets")

    wanted = ["0x65735546", "fuseblk", "ENOTTY", "EOPNOTSUPP", "EOPNOTSUPP",
              "mode=0777 uid=0 gid=0"]
    seen = [fields[3] for fields in records.all("RAW", "facts") if len(fields) > 3]
    if seen == wanted:
        print("FACT confirmed: exfat-fuse: FUSE's magic 0x65735546, mountinfo type fuseblk "
              "(no subtype), the FAT ioctl ENOTTY, system.ntfs_attrib and user.cifs.dosattrib "
              "EOPNOTSUPP, every entry mode 0777 whatever its attributes")
    else:
        failures.append(f"exfat-fuse facts: saw {seen}, expected {wanted}")

    check = cases.Checker("exfat-fuse")
    outcomes = {**records.resets("reset-root"), **records.resets("reset-other"),
                **owner.resets("reset-owner")}
    disk = ExfatImage(image)
    for case in entries:
        outcome = check.outcome(case, outcomes, case.under(mount_point))
        value = disk.attributes(case.path)
        if bool(value & FOLDER) != case.folder:
            check.fail(case, f"directory bit wrong in {value:#x}")
        check.bits(case, "on the image", value & ~FOLDER, case.stays)
        check.data(case, records)
        check.row(case, outcome, f"image {cases.letters(value & ~FOLDER)}")
    check.print_table()
    return failures + check.failures


if __name__ == "__main__":
    guestvm.run_main(main)

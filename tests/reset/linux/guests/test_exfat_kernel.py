"""exFAT through the kernel's own driver, inside Debian trixie's cloud kernel under qemu.

  test_exfat_kernel.py table PROBES WORK CACHE   the reset table: root, owner, other
  test_exfat_kernel.py facts PROBES WORK CACHE   what the driver's attribute ioctls do

PROBES is the folder with reset_probe, raw_attributes and run_as; CACHE the guest kernel's.
The image is made on the host with mkfs.exfat; attributes are set and read in the guest with
FAT_IOCTL_SET/GET_ATTRIBUTES, read again after a fresh mount, and read from the image itself
on the host afterwards (exfat_image), which fsck.exfat must find clean.
"""
import os
import subprocess

import cases
import guestvm
from cases import Fact, R, S
from exfat_image import ExfatImage

FOLDER = 0x10
OWNER_OPTIONS = "uid=1000,gid=1000"


def stored(folder, bits):
    # An exFAT folder cannot hold read-only: the driver drops it.
    return bits & ~R if folder else bits


def expect(user, folder, bits):
    if user == "root":
        return True, 0
    if user == "owner":
        # Any change to an entry whose old or new attributes hold the system bit needs
        # CAP_LINUX_IMMUTABLE, so a user cannot clear even its other flags.
        return (False, bits) if bits & S else (True, 0)
    return (True, 0) if bits == 0 else (False, bits)


def make_image(work):
    guestvm.require("mkfs.exfat", "fsck.exfat")
    image = os.path.join(work, "exfat.img")
    if os.path.exists(image):
        os.remove(image)
    subprocess.run(["truncate", "-s", "64M", image], check=True)
    subprocess.run(["mkfs.exfat", "-L", "STICK", image], check=True, stdout=subprocess.DEVNULL)
    return image


def boot(probes, work, cache, plan, image):
    return guestvm.boot_trixie(probes, work, cache, ["exfat"], plan, [image])


def table(probes, work, cache):
    image = make_image(work)
    # The root folder has no directory entry and no attributes: it is normal as it is.
    entries = [cases.Case("", True, 0, "root", True, 0),
               *cases.table(["root", "owner", "other"], stored, expect)]
    plan = ["must mount -t exfat /dev/vda /mnt", "phase setup",
            *cases.create_commands(entries, "/mnt")]
    for case in entries:
        if case.path:
            plan.append(f"raw set fat {case.under('/mnt')} {case.given:#x}")
    plan += cases.read_commands(entries, "/mnt", "fat")
    plan += cases.reset_and_read_back(entries, "/mnt", "fat", "must mount -t exfat /dev/vda /mnt",
                                      f"must mount -t exfat -o {OWNER_OPTIONS} /dev/vda /mnt")
    records = boot(probes, work, cache, plan, image)

    check = cases.Checker("exFAT")
    outcomes = cases.reset_outcomes(records)
    disk = ExfatImage(image)
    for case in entries:
        path = case.under("/mnt")
        before = dos_bits(check, case, "set-up", records.raw("setup", "get", "fat", path))
        check.bits(case, "set-up", before, case.given)
        outcome = check.outcome(case, outcomes, path)
        after = dos_bits(check, case, "guest", records.raw("after", "get", "fat", path))
        check.bits(case, "guest after a new mount", after, case.stays)
        on_disk = None
        if case.path:
            on_disk = dos_bits(check, case, "image", disk.attributes(case.path))
            check.bits(case, "on the image", on_disk, case.stays)
        check.data(case, records)
        image_view = f", image {cases.show_bits(on_disk)}" if case.path else ""
        check.row(case, outcome, f"guest {cases.show_bits(after)}{image_view}")
    fsck = subprocess.run(["fsck.exfat", "-n", image], capture_output=True, text=True)
    if fsck.returncode != 0:
        check.failures.append(f"fsck.exfat finds the image damaged: {fsck.stdout.strip()}")
    check.print_table()
    return check.failures


def dos_bits(check, case, view, value):
    """The DOS bits of a FAT attribute word, checking its directory bit against the case."""
    if isinstance(value, str):
        value = guestvm.attribute_value(value)
    if value is None:
        return None
    if bool(value & FOLDER) != case.folder:
        check.fail(case, f"{view}: directory bit {'missing' if case.folder else 'set'}"
                         f" in {value:#x}")
    return value & ~FOLDER


FACTS = [
    Fact("the file system's magic is 0x2011bab0 and mountinfo calls it exfat",
         ["raw statfs /mnt",
          "raw mount /mnt"],
         ["0x2011bab0", "exfat"]),
    Fact("a file given 0xffffffff keeps read-only, hidden, system and archive: 0x27",
         ["echo x > /mnt/all",
          "raw set fat /mnt/all 0xffffffff",
          "raw get fat /mnt/all"],
         ["ok", "0x00000027"]),
    Fact("a folder given 0xffffffff reads 0x36: the directory bit kept, read-only dropped",
         ["mkdir /mnt/all-folder",
          "raw set fat /mnt/all-folder 0xffffffff",
          "raw get fat /mnt/all-folder"],
         ["ok", "0x00000036"]),
    Fact("a folder given 0 reads 0x10: the directory bit is forced",
         ["mkdir /mnt/zero-folder",
          "raw set fat /mnt/zero-folder 0",
          "raw get fat /mnt/zero-folder"],
         ["ok", "0x00000010"]),
    Fact("a folder given read-only does not keep it",
         ["mkdir /mnt/ro-folder",
          "raw set fat /mnt/ro-folder 0x11",
          "raw get fat /mnt/ro-folder"],
         ["ok", "0x00000010"]),
    Fact("the root folder reads 0x10 and takes only the directory bit (0 counts as that); "
         "anything else is EINVAL",
         ["raw get fat /mnt",
          "raw set fat /mnt 0x27",
          "raw set fat /mnt 0x12",
          "raw set fat /mnt 0x10",
          "raw set fat /mnt 0"],
         ["0x00000010", "EINVAL", "EINVAL", "ok", "ok"]),
    Fact("read-only on a file shows in its mode bits, and clearing it gives them back",
         ["echo x > /mnt/ro",
          "raw set fat /mnt/ro 0x01",
          "raw stat /mnt/ro",
          "raw set fat /mnt/ro 0",
          "raw stat /mnt/ro"],
         ["ok", "mode=0555 uid=0 gid=0", "ok", "mode=0755 uid=0 gid=0"]),
    Fact("a non-owner gets EPERM, for any bit, even with CAP_LINUX_IMMUTABLE",
         ["echo x > /mnt/theirs",
          "raw set fat /mnt/theirs 0x02",
          "as_user 1000 1000 $PROBES/raw_attributes set fat /mnt/theirs 0",
          "as_user --keep linux_immutable 1000 1000"
          " $PROBES/raw_attributes set fat /mnt/theirs 0",
          "raw get fat /mnt/theirs"],
         ["ok", "EPERM", "EPERM", "0x00000002"]),
    Fact("the owner without capabilities may clear read-only, hidden and archive",
         ["echo x > /mnt/mine-rha",
          "raw set fat /mnt/mine-rha 0x23",
          "as_user 1000 1000 $PROBES/raw_attributes set fat /mnt/mine-rha 0",
          "raw get fat /mnt/mine-rha"],
         ["ok", "ok", "0x00000000"], OWNER_OPTIONS),
    Fact("the owner without CAP_LINUX_IMMUTABLE can change nothing while the system bit is or "
         "would be set: not clearing it, not clearing the other bits beside it, not setting it",
         ["echo x > /mnt/mine-rhsa",
          "raw set fat /mnt/mine-rhsa 0x27",
          "as_user 1000 1000 $PROBES/raw_attributes set fat /mnt/mine-rhsa 0",
          "as_user 1000 1000 $PROBES/raw_attributes set fat /mnt/mine-rhsa 0x04",
          "as_user 1000 1000 $PROBES/raw_attributes set fat /mnt/mine-rhsa 0x07",
          "echo x > /mnt/mine-normal",
          "as_user 1000 1000 $PROBES/raw_attributes set fat /mnt/mine-normal 0x04",
          "raw get fat /mnt/mine-rhsa",
          "raw get fat /mnt/mine-normal"],
         ["ok", "EPERM", "EPERM", "EPERM", "EPERM", "0x00000027", "0x00000020"], OWNER_OPTIONS),
    Fact("the owner with CAP_LINUX_IMMUTABLE alone clears the system bit",
         ["echo x > /mnt/mine-s",
          "raw set fat /mnt/mine-s 0x04",
          "as_user --keep linux_immutable 1000 1000"
          " $PROBES/raw_attributes set fat /mnt/mine-s 0",
          "raw get fat /mnt/mine-s"],
         ["ok", "ok", "0x00000000"], OWNER_OPTIONS),
]


def facts(probes, work, cache):
    image = make_image(work)
    def mount(options):
        return f"must mount -t exfat {'-o ' + options if options else ''} /dev/vda /mnt"

    records = boot(probes, work, cache, cases.fact_plan(FACTS, mount), image)
    return cases.check_facts(records, FACTS)


if __name__ == "__main__":
    guestvm.run_table_or_facts(table, facts, ["PROBES", "WORK", "CACHE"])

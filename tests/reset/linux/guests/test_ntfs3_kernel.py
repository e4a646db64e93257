"""NTFS through the kernel's ntfs3 driver, inside Debian trixie's cloud kernel under qemu.

  test_ntfs3_kernel.py table PROBES WORK CACHE   the reset table: root, owner, other
  test_ntfs3_kernel.py facts PROBES WORK CACHE   what ntfs3 does with system.ntfs_attrib

The image is made with mkntfs and filled through ntfs-3g on the host (files, folders and their
attribute words); the guest mounts it with ntfs3, reads the words, resets, mounts again and
reads them again; then ntfs-3g reads every word on the host, the view that does not come from
the driver under test.
"""
import os
import subprocess
import time

import cases
import guestvm
from cases import Fact, H

DIRECTORY = 0x10  # as ntfs-3g (and Windows) show a folder
NORMAL = 0x80  # what ntfs-3g shows for a file without flags
NTFS3_DIRECTORY = 0x10000000  # ntfs3's own folder bit, which it also stores on disk
OWNER_OPTIONS = "uid=1000,gid=1000"
# The bits besides R/H/S/A that a normal NTFS object has not: temporary, offline, not indexed.
TEMPORARY_OFFLINE_UNINDEXED = 0x100 | 0x1000 | 0x2000


class Ntfs3g:
    """The image mounted through ntfs-3g on the host; leaving waits until ntfs-3g has written
    everything and ended (its own process, started without detaching)."""

    def __init__(self, image, mount_point):
        self.image, self.mount_point = image, mount_point

    def __enter__(self):
        os.makedirs(self.mount_point, exist_ok=True)
        self.process = subprocess.Popen(["ntfs-3g", "-o", "no_detach", self.image,
                                         self.mount_point], stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        deadline = time.monotonic() + 30
        while not os.path.ismount(self.mount_point):
            if self.process.poll() is not None:
                raise guestvm.Skip(f"ntfs-3g could not mount the image through FUSE: "
                                   f"{self.process.stderr.read().decode().strip()}")
            if time.monotonic() > deadline:
                raise AssertionError("ntfs-3g did not mount the image")
            time.sleep(0.02)
        return self

    def __exit__(self, *_):
        subprocess.run(["umount", self.mount_point], check=True)
        self.process.wait(timeout=60)

    def path(self, relative):
        return os.path.join(self.mount_point, relative) if relative else self.mount_point

    def word(self, relative):
        try:
            return int.from_bytes(os.getxattr(self.path(relative), "system.ntfs_attrib_be",
                                              follow_symlinks=False), "big")
        except OSError as error:
            return f"error {error.strerror}"

    def set_word(self, relative, value):
        os.setxattr(self.path(relative), "system.ntfs_attrib_be", value.to_bytes(4, "big"),
                    follow_symlinks=False)


def make_image(work):
    guestvm.require("mkntfs", "ntfs-3g")
    guestvm.require_fuse("ntfs-3g")
    image = guestvm.blank_image(os.path.join(work, "ntfs.img"), "32M")
    subprocess.run(["mkntfs", "-F", "-q", "-f", "-L", "DISK", image], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return image


def boot(probes, work, cache, plan, image):
    return guestvm.boot_trixie(probes, work, cache, ["ntfs3"], plan, [image])


def stored(folder, bits):
    return bits


def expect(user, folder, bits):
    # ntfs3 checks no owner for this xattr: whoever may reach the file may reset it.
    return True, 0


def host_bits(check, case, value):
    """The DOS bits of ntfs-3g's word; a folder must show the directory bit. ntfs3 puts its own
    folder bit on disk whenever it writes a folder, so that bit is no fault of the tool."""
    if not isinstance(value, int):
        check.fail(case, f"ntfs-3g: {value}")
        return None
    if bool(value & DIRECTORY) != case.folder:
        check.fail(case, f"ntfs-3g: directory bit wrong in {value:#x}")
    if not case.folder and value & NTFS3_DIRECTORY:
        check.fail(case, f"ntfs-3g: a file with the folder bit, {value:#x}")
    return value & ~(DIRECTORY | NORMAL | NTFS3_DIRECTORY)


def guest_bits(check, case, result):
    """The DOS bits of ntfs3's word; ntfs3 marks folders with its own bit, not 0x10."""
    value = guestvm.attribute_value(result)
    if value is None:
        return None
    if bool(value & NTFS3_DIRECTORY) != case.folder:
        check.fail(case, f"ntfs3: its folder bit wrong in {value:#x}")
    return value & ~(DIRECTORY | NORMAL | NTFS3_DIRECTORY)


def table(probes, work, cache):
    image = make_image(work)
    entries = cases.table(["root", "owner", "other"], stored, expect,
                          [("file-h-temporary-offline-unindexed", False,
                            H | TEMPORARY_OFFLINE_UNINDEXED)])
    host = Ntfs3g(image, os.path.join(work, "host"))
    with host:
        for folder in cases.group_folders(entries):
            os.mkdir(host.path(folder))
        for case in entries:
            if case.folder:
                os.mkdir(host.path(case.path))
                host.set_word(case.path, case.given | DIRECTORY)
            else:
                with open(host.path(case.path), "w") as file:
                    file.write(case.path + "\n")
                host.set_word(case.path, case.given or NORMAL)
        given = {case.path: host.word(case.path) for case in entries}

    plan = ["must mount -t ntfs3 /dev/vda /mnt",
            "phase setup", *cases.read_commands(entries, "/mnt", "ntfs"),
            *cases.reset_and_read_back(entries, "/mnt", "ntfs", "must mount -t ntfs3 /dev/vda /mnt",
                                       f"must mount -t ntfs3 -o {OWNER_OPTIONS} /dev/vda /mnt")]
    records = boot(probes, work, cache, plan, image)
    with host:
        after = {case.path: host.word(case.path) for case in entries}

    check = cases.Checker("ntfs3")
    outcomes = cases.reset_outcomes(records)
    for case in entries:
        path = case.under("/mnt")
        check.bits(case, "ntfs-3g before", host_bits(check, case, given[case.path]), case.given)
        check.bits(case, "ntfs3 before",
                   guest_bits(check, case, records.raw("setup", "get", "ntfs", path)), case.given)
        outcome = check.outcome(case, outcomes, path)
        guest = guest_bits(check, case, records.raw("after", "get", "ntfs", path))
        check.bits(case, "ntfs3 after a new mount", guest, case.stays)
        on_disk = host_bits(check, case, after[case.path])
        check.bits(case, "ntfs-3g after", on_disk, case.stays)
        check.data(case, records)
        word = after[case.path]
        check.row(case, outcome, f"ntfs3 {cases.show_bits(guest)}, "
                                 f"ntfs-3g {cases.show_bits(on_disk)} ({cases.show_word(word)})")
    check.print_table()
    return check.failures


# Folders and files the facts work on, made through ntfs-3g: {name: (folder, word)}.
FACT_ENTRIES = {
    "hs-folder": (True, 0x16), "back-folder": (True, 0x16), "dir-bit-folder": (True, 0x16),
    "zero-folder": (True, 0x16), "busy-folder": (True, 0x30), "quiet-folder": (True, 0x16),
    "file": (False, 0x27), "normal-file": (False, 0x27), "theirs": (False, 0x06),
    "ro-file": (False, 0x01),
}

FACTS = [
    Fact("the file system's magic is 0x7366746e and mountinfo calls it ntfs3",
         ["raw statfs /mnt", "raw mount /mnt"], ["0x7366746e", "ntfs3"]),
    Fact("the root folder of a fresh mkntfs volume is hidden, system and archive (ntfs3: "
         "0x10000026, ntfs-3g: 0x36)",
         ["raw get ntfs /mnt"], ["0x10000026/4 bytes"], host={"": 0x36}),
    Fact("a folder ntfs-3g shows as 0x16 reads 0x10000006 in ntfs3: its own bit, no 0x10",
         ["raw get ntfs /mnt/hs-folder"], ["0x10000006/4 bytes"], host={"hs-folder": 0x16}),
    Fact("system.ntfs_attrib_be is the same word, big-endian",
         ["raw get ntfs-be /mnt/hs-folder", "raw get ntfs-be /mnt/file"],
         ["0x10000006/4 bytes", "0x00000027/4 bytes"]),
    Fact("writing back the word as read with H and S cleared stores ntfs3's bit: ntfs-3g reads "
         "0x10000010",
         ["raw set ntfs /mnt/back-folder 0x10000000", "raw get ntfs /mnt/back-folder"],
         ["ok", "0x10000000/4 bytes"], host={"back-folder": 0x10000010}),
    Fact("writing 0x10 or 0 to a folder stores that bit just the same",
         ["raw set ntfs /mnt/dir-bit-folder 0x10", "raw get ntfs /mnt/dir-bit-folder",
          "raw set ntfs /mnt/zero-folder 0", "raw get ntfs /mnt/zero-folder"],
         ["ok", "0x10000010/4 bytes", "ok", "0x10000000/4 bytes"],
         host={"dir-bit-folder": 0x10000010, "zero-folder": 0x10000010}),
    Fact("ntfs3 stores that bit on any write of a folder: a file made in it is enough, while a "
         "folder it only reads keeps its word",
         ["echo x > /mnt/busy-folder/new", "raw get ntfs /mnt/quiet-folder"],
         ["0x10000006/4 bytes"], host={"busy-folder": 0x10000030, "quiet-folder": 0x16}),
    Fact("a file written 0 reads 0 in ntfs3 and 0x80 in ntfs-3g; written 0x80 it reads 0x80",
         ["raw set ntfs /mnt/file 0", "raw get ntfs /mnt/file",
          "raw set ntfs /mnt/normal-file 0x80", "raw get ntfs /mnt/normal-file"],
         ["ok", "0x00000000/4 bytes", "ok", "0x00000080/4 bytes"],
         host={"file": 0x80, "normal-file": 0x80}),
    Fact("read-only shows in the mode bits; clearing it adds write for everyone (0777)",
         ["raw stat /mnt/ro-file", "raw set ntfs /mnt/ro-file 0", "raw stat /mnt/ro-file"],
         ["mode=0555 uid=0 gid=0", "ok", "mode=0777 uid=0 gid=0"]),
    Fact("until the next mount, which shows that file as 0755 again",
         ["raw stat /mnt/ro-file"], ["mode=0755 uid=0 gid=0"]),
    Fact("no owner check: a user who does not own the file clears its word",
         ["as_user 1000 1000 $PROBES/raw_attributes set ntfs /mnt/theirs 0",
          "raw get ntfs /mnt/theirs"],
         ["ok", "0x00000000/4 bytes"], host={"theirs": 0x80}),
]


def facts(probes, work, cache):
    image = make_image(work)
    host = Ntfs3g(image, os.path.join(work, "host"))
    with host:
        for name, (folder, word) in FACT_ENTRIES.items():
            if folder:
                os.mkdir(host.path(name))
            else:
                with open(host.path(name), "w") as file:
                    file.write("x\n")
            host.set_word(name, word)

    def mount(options):
        return f"must mount -t ntfs3 {'-o ' + options if options else ''} /dev/vda /mnt"

    records = boot(probes, work, cache, cases.fact_plan(FACTS, mount), image)
    with host:
        words = {path: host.word(path) for fact in FACTS for path in (fact.host or {})}
        failures = cases.check_facts(records, FACTS, words.get)
        failures += fuse_facts(host)
    return failures


def fuse_facts(host):
    """What ntfs-3g itself looks like to a program: FUSE's magic, and mountinfo's type."""
    found = []
    magic = subprocess.run(["stat", "-f", "-c", "%t", host.mount_point], capture_output=True,
                           text=True).stdout.strip()
    found.append(("statfs magic", f"0x{magic}", "0x65735546"))
    with open("/proc/self/mountinfo") as mountinfo:
        for line in mountinfo:
            fields = line.split()
            if fields[4] == os.path.realpath(host.mount_point):
                kind = fields[fields.index("-") + 1]
    found.append(("mountinfo type of an image file (no subtype)", kind, "fuse"))
    failures = []
    for what, seen, wanted in found:
        if seen == wanted:
            print(f"FACT confirmed: ntfs-3g {what}: {seen}")
        else:
            failures.append(f"ntfs-3g {what}: {seen}, expected {wanted}")
    return failures


if __name__ == "__main__":
    guestvm.run_table_or_facts(table, facts, ["PROBES", "WORK", "CACHE"])

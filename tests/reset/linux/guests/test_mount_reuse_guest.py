"""One reset object while sticks are swapped, inside Debian 12's own kernel (bookworm's cloud
kernel, 6.1) under qemu: statx there gives only the reusable mount id.

  test_mount_reuse_guest.py PROBES WORK CACHE

PROBES is the folder with reset_across_mounts and the other probes; CACHE bookworm's kernel's.
Three images are made on the host, each with one file that is hidden, system and archive: ext4
(user.DOSATTRIB "0x26", as Wine writes it), FAT and NTFS. In the guest each is attached in turn
to /dev/loop0 and mounted on /mnt (NTFS through ntfs-3g, as Debian 12 has no ntfs3), and one
reset_across_mounts resets the three files, printing the mount ids it met. Every file must be
Done, and read back normal on the host from the image: debugfs, mattrib, ntfs-3g.
"""
import os
import shutil
import subprocess
import sys

import guestvm
from test_ntfs3_kernel import Ntfs3g

DOS = 0x27  # read-only, hidden, system, archive
MODULES = ["virtio_pci", "virtio_blk", "loop", "vfat", "nls_cp437", "nls_ascii", "ext4", "fuse"]
# (file, disk, mount command, the guest's own reader of the attributes or None)
STICKS = [("first-ext4", "/dev/vda", "mount -t ext4 /dev/loop0 /mnt", None),
          ("second-fat", "/dev/vdb", "mount -t vfat /dev/loop0 /mnt", "fat"),
          ("third-ntfs", "/dev/vdc", "ntfs-3g /dev/loop0 /mnt", "ntfs")]


def make_images(work):
    guestvm.require("mkfs.ext4", "debugfs", "mkfs.fat", "mcopy", "mattrib", "mkntfs", "ntfs-3g")
    guestvm.require_fuse("ntfs-3g")
    images = [guestvm.blank_image(os.path.join(work, f"{name}.img"), "16M")
              for name, _, _, _ in STICKS]
    payload = os.path.join(work, "payload")
    with open(payload, "w") as file:
        file.write("contents\n")
    quiet = {"check": True, "stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL}

    ext4, fat, ntfs = images
    subprocess.run(["mkfs.ext4", "-q", "-F", ext4], **quiet)
    subprocess.run(["debugfs", "-w", "-R", f"write {payload} first-ext4", ext4], **quiet)
    subprocess.run(["debugfs", "-w", "-R", "ea_set /first-ext4 user.DOSATTRIB 0x26", ext4],
                   **quiet)
    subprocess.run(["mkfs.fat", "-F", "16", fat], **quiet)
    subprocess.run(["mcopy", "-i", fat, payload, "::second-fat"], check=True)
    subprocess.run(["mattrib", "-i", fat, "+h", "+s", "+a", "::second-fat"], check=True)
    subprocess.run(["mkntfs", "-F", "-q", "-f", ntfs], **quiet)
    with Ntfs3g(ntfs, os.path.join(work, "host")) as host:
        shutil.copy(payload, host.path("third-ntfs"))
        host.set_word("third-ntfs", 0x26)
    return images


def read_on_host(images, work):
    """{file: DOS bits, or the reader's words when it found none}, from the images."""
    ext4, fat, ntfs = images
    found = {}
    value = subprocess.run(["debugfs", "-R", "ea_get -V /first-ext4 user.DOSATTRIB", ext4],
                           capture_output=True, text=True).stdout.strip()
    try:
        found["first-ext4"] = int(value, 16)
    except ValueError:
        found["first-ext4"] = f"debugfs: {value!r}"
    listing = subprocess.run(["mattrib", "-i", fat, "::second-fat"], capture_output=True,
                             text=True)
    if listing.returncode != 0 or "::" not in listing.stdout:
        found["second-fat"] = f"mattrib: {listing.stdout.strip()} {listing.stderr.strip()}"
    else:
        letters = listing.stdout.split("::")[0]
        found["second-fat"] = sum(bit for letter, bit in (("R", 1), ("H", 2), ("S", 4), ("A", 0x20))
                                  if letter in letters)
    with Ntfs3g(ntfs, os.path.join(work, "host")) as host:
        found["third-ntfs"] = host.word("third-ntfs")
    return found


def plan():
    steps = []
    leave = ""
    for name, disk, mount, reader in STICKS:
        read = f"$PROBES/raw_attributes get {reader} /mnt/{name} && " if reader else ""
        steps += ["run", f"'{leave}losetup /dev/loop0 {disk} && {mount} && {read}true'",
                  "reset", f"/mnt/{name}"]
        leave = f"{read}umount /mnt && losetup -d /dev/loop0 && "
    steps += ["run", f"'{leave}true'"]
    return ["mkdir -p /etc", "ln -s /proc/self/mounts /etc/mtab",
            "[ -e /dev/fuse ] || { echo 'no /dev/fuse in the guest'; exit 3; }",
            "phase run", f"must $PROBES/reset_across_mounts {' '.join(steps)}"]


def ntfs3g_files():
    """ntfs-3g and the libraries it loads, at the paths it loads them from."""
    program = shutil.which("ntfs-3g")
    files = {"/bin/ntfs-3g": program}
    listing = subprocess.run(["ldd", program], capture_output=True, text=True, check=True).stdout
    for line in listing.splitlines():
        parts = line.split()
        path = parts[2] if len(parts) >= 3 and parts[1] == "=>" else parts[0]
        if path.startswith("/"):
            files[path] = os.path.realpath(path)
    return files


def stripped(program, work):
    """A copy without debugging sections: a smaller initramfs unpacks faster under TCG."""
    if shutil.which("strip") is None:
        return program
    copy = os.path.join(work, os.path.basename(program))
    subprocess.run(["strip", "-o", copy, program], check=True)
    return copy


def main():
    if len(sys.argv) != 4:
        sys.exit(f"usage: {sys.argv[0]} PROBES WORK CACHE")
    probes, work, cache = (os.path.abspath(path) for path in sys.argv[1:])
    os.makedirs(work, exist_ok=True)
    images = make_images(work)
    before = read_on_host(images, work)
    failures = [f"{name}: the set-up left {show(value)}, expected 0x26"
                for name, value in before.items() if value != 0x26]
    if failures:
        return failures

    kernel = guestvm.fetch_guest_kernel(cache, MODULES, suite="bookworm")
    programs = [stripped(os.path.join(probes, name), work)
                for name in ("raw_attributes", "reset_across_mounts")]
    records, seconds = guestvm.boot_qemu(work, kernel, programs, "\n".join(plan()) + "\n",
                                         images, probes_needed=False, files=ntfs3g_files())
    print(f"guest {kernel['release']}: {seconds:.1f} s from start to power-off")
    if records.ended() != "0":
        print(guestvm.read_text(os.path.join(work, "plan.log")))
        raise AssertionError(f"the plan in the guest ended with {records.ended()} "
                             f"(console in {work}/console.log)")

    after = read_on_host(images, work)
    mounts = {fields[0]: fields[1:] for fields in records.all("MOUNT", "run") if fields}
    outcomes = records.resets("run")
    seen = []
    for name, _, _, reader in STICKS:
        path = f"/mnt/{name}"
        device, mount_id, kind = (mounts.get(path) or ["?", "?", "?"])[:3]
        seen.append(f"{name} {device} id {mount_id} ({kind})")
        status, reason = outcomes.get(path, ("none", "the probe printed no outcome"))
        if status != "Done":
            failures.append(f"{name}: {status} ({reason}), expected Done")
        value = after[name]
        if not isinstance(value, int):
            failures.append(f"{name}: unreadable on the host: {value}")
        elif value & DOS:
            failures.append(f"{name}: the host reads {value:#x} after the reset ({status})")
        if reader:
            guest = [fields[3] for fields in records.all("RAW", "run")
                     if fields[:3] == ["get", reader, path]]
            print(f"  {name}: guest read {guest} (before, after)")
        print(f"  {name}: {status}; the host reads {show(value)}")
    print("mount ids in the guest: " + "; ".join(seen))
    if {mounts.get(f"/mnt/{name}", ["?"])[0] for name, _, _, _ in STICKS} != {"7:0"}:
        failures.append("the sticks were not all on /dev/loop0 (7:0)")
    return failures


def show(value):
    return f"{value:#x}" if isinstance(value, int) else str(value)


if __name__ == "__main__":
    guestvm.run_main(main)

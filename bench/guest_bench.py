"""Reset throughput inside a guest kernel: boots Debian trixie's cloud kernel (the one the
exFAT and ntfs3 tests use) with reset_bench_guest and a fresh image, and prints its times.

  guest_bench.py exfat|ntfs3 COUNT ROUNDS PROGRAM CACHE WORK

PROGRAM is the static reset_bench_guest, CACHE the guest kernel's cache folder. Prints one
line per method, "<method> <median seconds>" (tool, raw-set, raw-checked), then
"left-by-tool <files the tool left hidden or system>" and the boot's length. Exits 77 with the
reason when the kernel cannot be had.
"""
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "reset", "linux", "guests"))
import guestvm  # noqa: E402

FILE_SYSTEMS = {  # kind: (module, how the host makes the image, how the guest mounts it)
    "exfat": ("exfat", ["mkfs.exfat"], "must mount -t exfat /dev/vda /mnt"),
    "ntfs3": ("ntfs3", ["mkntfs", "-F", "-q", "-f"], "must mount -t ntfs3 /dev/vda /mnt"),
}


def main():
    if len(sys.argv) != 7 or sys.argv[1] not in FILE_SYSTEMS:
        sys.exit(f"usage: {sys.argv[0]} exfat|ntfs3 COUNT ROUNDS PROGRAM CACHE WORK")
    kind, count, rounds = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    program, cache, work = (os.path.abspath(path) for path in sys.argv[4:])
    module, make, mount = FILE_SYSTEMS[kind]
    guestvm.require(make[0])
    os.makedirs(work, exist_ok=True)
    image = os.path.join(work, f"{kind}.img")
    if os.path.exists(image):
        os.remove(image)
    subprocess.run(["truncate", "-s", "128M", image], check=True)
    subprocess.run([*make, image], check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    kernel = guestvm.fetch_guest_kernel(cache, ["virtio_blk", module])
    plan = "\n".join([mount, "mkdir /mnt/bench",
                      f"/bin/reset_bench_guest {kind} /mnt/bench {count} {rounds}",
                      "must umount /mnt"]) + "\n"
    records, seconds = guestvm.boot_qemu(work, kernel, [program], plan, [image],
                                         timeout=1800, probes_needed=False)
    if records.ended() != "0":
        print(records.text)
        sys.exit(f"the benchmark in the guest ended with {records.ended()}")
    for note in records.all("NOTE"):
        print(f"note: {' '.join(note)}")
    results = dict(fields[:2] for fields in records.all("BENCH") if len(fields) >= 2)
    for name in ("tool", "raw-set", "raw-checked", "left-by-tool"):
        print(f"{name} {results.get(name, 'missing')}")
    print(f"boot {seconds:.1f}")


if __name__ == "__main__":
    try:
        main()
    except guestvm.Skip as reason:
        guestvm.skip(str(reason))

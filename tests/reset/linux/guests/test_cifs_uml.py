"""A Samba share through the kernel's cifs client, inside user-mode Linux (Debian 12's 6.1).

  test_cifs_uml.py table PROBES LAUNCHER WORK   the reset table: root, owner, other
  test_cifs_uml.py facts PROBES LAUNCHER WORK   what user.cifs.dosattrib does

The guest's root folder is this machine's own (hostfs), so it runs this machine's smbd on its
own loopback with every state folder on a tmpfs, shares an ext4 image (Samba keeps DOS
attributes in user.DOSATTRIB there) and mounts it with mount -t cifs. Attributes are set and
read through the client's user.cifs.dosattrib, read again after a fresh mount, and read from
the image's user.DOSATTRIB on the host afterwards with debugfs, Samba's own record.
"""
import os
import struct
import subprocess
import tempfile

import cases
import guestvm
from cases import Fact

DIRECTORY = 0x10
NORMAL = 0x80  # FILE_ATTRIBUTE_NORMAL: what the client shows for a file without flags
OWNER_OPTIONS = "uid=1000,gid=1000"
SHARE = "/run/share"  # the ext4 image inside the guest
PASSWORD = "flagwash"
CIFS_MODULES = ["cifs", "ctr", "ghash-generic", "md4"]  # crypto it asks for by name at mount

SMB_CONF = f"""[global]
  lock directory = /run/s
  state directory = /run/s
  cache directory = /run/s
  private dir = /run/s
  pid directory = /run/s
  ncalrpc dir = /run/s/ncalrpc
  binddns dir = /run/s/bind
  passdb backend = tdbsam:/run/s/passdb.tdb
  log file = /run/s/log.smbd
  interfaces = lo
  bind interfaces only = yes
  smb ports = 445
  disable netbios = yes
  server min protocol = NT1
[share]
  path = {SHARE}
  read only = no
  store dos attributes = yes
"""

INIT = r"""#!/bin/busybox sh
B=/bin/busybox
export PATH=/usr/sbin:/usr/bin:/sbin:/bin PROBES=@PROBES@
$B mount -t proc proc /proc
$B mount -t sysfs sysfs /sys
# Only inside the guest: the host's /run and /var stay as they are.
$B mount -t tmpfs tmpfs /run
$B mkdir -p /run/s @SHARE@ /run/c
for module in @MODULES@; do
    $B insmod $module || echo "insmod $module failed"
done
# Without an address on lo the share mounts read-only.
$B ip link set lo up
$B ip addr add 127.0.0.1/8 dev lo
$B mount -t ext4 /dev/ubda @SHARE@ && $B chmod 777 @SHARE@
$B cat >/run/s/smb.conf <<'CONF'
@SMB_CONF@CONF
printf '@PASSWORD@\n@PASSWORD@\n' | smbpasswd -c /run/s/smb.conf -s -a root >/dev/null
smbd -s /run/s/smb.conf -F --no-process-group &
server=$!
for attempt in $($B seq 200); do
    $B netstat -ltn | $B grep -q ':445 ' && break
    $B usleep 50000
done
$B sh @PLAN@ >@OUTPUT@ 2>&1
echo "@@END	$?" >>@OUTPUT@
$B cp /run/s/log.smbd @WORK@/smbd.log 2>/dev/null
$B kill $server
$B umount @SHARE@
$B sync
$B poweroff -f
"""


def mount_line(options="", version="3.1.1"):
    extra = f",{options}" if options else ""
    return (f"must mount -t cifs //127.0.0.1/share /run/c -o rw,ip=127.0.0.1,username=root,"
            f"password={PASSWORD},vers={version}{extra}")


def make_share(work):
    guestvm.require("smbd", "smbpasswd", "mkfs.ext4", "debugfs")
    image = os.path.join(work, "share.img")
    if os.path.exists(image):
        os.remove(image)
    subprocess.run(["truncate", "-s", "64M", image], check=True)
    subprocess.run(["mkfs.ext4", "-q", "-F", image], check=True)
    return image


def boot(probes, launcher, work, plan, image):
    modules = guestvm.uml_modules(CIFS_MODULES)
    plan_path = os.path.join(work, "plan.sh")
    output = os.path.join(work, "plan.log")
    guestvm.write_executable(plan_path, guestvm.PLAN_PRELUDE + "\n".join(plan) + "\n")
    text = INIT
    for key, value in {"@PROBES@": probes, "@SHARE@": SHARE, "@MODULES@": " ".join(modules),
                       "@SMB_CONF@": SMB_CONF, "@PASSWORD@": PASSWORD, "@PLAN@": plan_path,
                       "@OUTPUT@": output, "@WORK@": work}.items():
        text = text.replace(key, value)
    init = os.path.join(work, "init")
    guestvm.write_executable(init, text)
    if os.path.exists(output):
        os.remove(output)
    seconds = guestvm.boot_uml(work, launcher, init, image)
    records = guestvm.Records(guestvm.read_text(output))
    if records.ended() is None:
        print(guestvm.read_text(os.path.join(work, "console.log"))[-3000:])
        raise guestvm.Skip(f"user-mode Linux did not run the plan (console in {work}/console.log)")
    print(f"user-mode Linux with smbd: {seconds:.1f} s from start to power-off")
    if records.ended() != "0":
        print(records.text)
        raise AssertionError(f"the plan in the guest ended with {records.ended()}")
    return records


def server_word(image, relative):
    """The attribute word Samba keeps in the share's user.DOSATTRIB (read with debugfs, no
    mount): the text form "0x..." or an NDR blob of version 3 to 5, attributes at byte 12."""
    with tempfile.TemporaryDirectory() as scratch:
        out = os.path.join(scratch, "value")
        subprocess.run(["debugfs", "-R", f"ea_get -f {out} /{relative} user.DOSATTRIB", image],
                       capture_output=True)
        if not os.path.exists(out):
            return "no user.DOSATTRIB"
        with open(out, "rb") as file:
            blob = file.read()
    if blob.startswith(b"0x"):
        return int(blob.rstrip(b"\0"), 16)
    if len(blob) >= 16 and struct.unpack_from("<H", blob, 2)[0] in (3, 4, 5):
        return struct.unpack_from("<I", blob, 12)[0]
    return f"an unknown blob {blob.hex()}"


def stored(folder, bits):
    return bits


def expect(user, folder, bits):
    if user == "other":
        # The client checks write permission for user.* xattrs: EACCES on 0755 entries.
        return (True, 0) if bits == 0 else (False, bits)
    return True, 0


def word_bits(check, case, view, value):
    if isinstance(value, str):
        value = guestvm.attribute_value(value) if value.startswith("0x") else value
    if not isinstance(value, int):
        check.fail(case, f"{view}: {value}")
        return None
    if bool(value & DIRECTORY) != case.folder:
        check.fail(case, f"{view}: directory bit wrong in {value:#x}")
    return value & ~(DIRECTORY | NORMAL)


def given_word(case):
    # Writing 0 leaves the attributes unchanged; a file is cleared with 0x80, a folder 0x10.
    if case.folder:
        return case.given | DIRECTORY
    return case.given or NORMAL


def table(probes, launcher, work):
    image = make_share(work)
    entries = cases.table(["root", "owner", "other"], stored, expect)
    plan = [mount_line(), "phase setup", *cases.create_commands(entries, "/run/c")]
    plan += [f"raw set cifs {case.under('/run/c')} {given_word(case):#x}" for case in entries]
    plan += [*cases.read_commands(entries, "/run/c", "cifs"),
             *cases.reset_and_read_back(entries, "/run/c", "cifs", mount_line(),
                                        mount_line(OWNER_OPTIONS))]
    records = boot(probes, launcher, work, plan, image)

    check = cases.Checker("cifs")
    outcomes = cases.reset_outcomes(records)
    for case in entries:
        path = case.under("/run/c")
        before = word_bits(check, case, "set-up", records.raw("setup", "get", "cifs", path))
        check.bits(case, "set-up", before, case.given)
        outcome = check.outcome(case, outcomes, path)
        after = word_bits(check, case, "client after a new mount",
                          records.raw("after", "get", "cifs", path))
        check.bits(case, "client after a new mount", after, case.stays)
        word = server_word(image, case.path)
        server = word_bits(check, case, "server's user.DOSATTRIB", word)
        check.bits(case, "server's user.DOSATTRIB", server, case.stays)
        check.data(case, records)
        check.row(case, outcome, f"client {cases.show_bits(after)}, "
                                 f"server {cases.show_bits(server)} ({cases.show_word(word)})")
    check.print_table()
    return check.failures


FACTS = [
    Fact("SMB 3.1.1: the magic is 0xfe534d42 and mountinfo calls it cifs",
         ["raw statfs /run/c", "raw mount /run/c"], ["0xfe534d42", "cifs"]),
    Fact("user.cifs.dosattrib and user.smb3.dosattrib are the same 4 bytes; a new file is A",
         ["echo x > /run/c/new", "raw get cifs /run/c/new", "raw get smb3 /run/c/new"],
         ["0x00000020/4 bytes", "0x00000020/4 bytes"], host={"new": 0x20}),
    Fact("writing 0 leaves the attributes unchanged",
         ["echo x > /run/c/zero", "raw set cifs /run/c/zero 0x27", "raw set cifs /run/c/zero 0",
          "raw get cifs /run/c/zero"],
         ["ok", "ok", "0x00000027/4 bytes"], host={"zero": 0x27}),
    Fact("0x80 clears a file: the client reads 0x80, Samba stores 0; read-only was in the mode",
         ["echo x > /run/c/file", "raw set cifs /run/c/file 0x27", "raw stat /run/c/file",
          "raw set cifs /run/c/file 0x80", "raw get cifs /run/c/file", "raw stat /run/c/file"],
         ["ok", "mode=0555 uid=0 gid=0", "ok", "0x00000080/4 bytes", "mode=0755 uid=0 gid=0"],
         host={"file": 0}),
    Fact("0x10 clears a folder",
         ["mkdir /run/c/folder", "raw set cifs /run/c/folder 0x16",
          "raw set cifs /run/c/folder 0x10", "raw get cifs /run/c/folder"],
         ["ok", "ok", "0x00000010/4 bytes"], host={"folder": 0x10}),
    Fact("0x80 written to a folder clears it too, and the server keeps the folder bit",
         ["mkdir /run/c/folder-80", "raw set cifs /run/c/folder-80 0x16",
          "raw set cifs /run/c/folder-80 0x80", "raw get cifs /run/c/folder-80"],
         ["ok", "ok", "0x00000010/4 bytes"], host={"folder-80": 0x10}),
    Fact("a user without write permission gets EACCES",
         ["echo x > /run/c/theirs", "raw set cifs /run/c/theirs 0x06",
          "as_user 1000 1000 $PROBES/raw_attributes set cifs /run/c/theirs 0x80",
          "raw get cifs /run/c/theirs"],
         ["ok", "EACCES", "0x00000006/4 bytes"], host={"theirs": 0x06}),
    Fact("the owner of a uid=1000 mount clears the word without capabilities",
         ["echo x > /run/c/mine", "raw set cifs /run/c/mine 0x06",
          "as_user 1000 1000 $PROBES/raw_attributes set cifs /run/c/mine 0x80",
          "raw get cifs /run/c/mine"],
         ["ok", "ok", "0x00000080/4 bytes"], OWNER_OPTIONS, host={"mine": 0}),
    Fact("SMB1 (vers=1.0): the magic is 0xff534d42",
         ["raw statfs /run/c"], ["0xff534d42"], "vers=1.0"),
    Fact("SMB1 with Samba's unix extensions: a hidden+system file reads 0, not its attributes",
         ["echo x > /run/c/smb1", "raw set cifs /run/c/smb1 0x06", "raw get cifs /run/c/smb1"],
         ["ok", "0x00000000/4 bytes"], "vers=1.0", host={"smb1": 0x06}),
]


def facts(probes, launcher, work):
    image = make_share(work)

    def mount(options):
        if options.startswith("vers="):
            return mount_line(version=options[len("vers="):])
        return mount_line(options)

    plan = cases.fact_plan(FACTS, mount, "/run/c")
    records = boot(probes, launcher, work, plan, image)
    return cases.check_facts(records, FACTS, lambda path: server_word(image, path))


if __name__ == "__main__":
    guestvm.run_table_or_facts(table, facts, ["PROBES", "LAUNCHER", "WORK"])

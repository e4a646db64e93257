"""Samba's user.DOSATTRIB blobs against a real smbd.

  test_samba_blobs.py RESET_PROBE BLOB_TABLE

smbd (Debian's samba, on loopback, on a port and with state folders of its own) writes the
version 5 blobs the table holds for "setmode +hs" and reads every blob of the table as the
attributes the table says; after the tool's reset each reads back exactly as the table's AFTER
and smbd shows none of read-only, hidden, system and archive on it any more.
Exits 77 (skip) without root, smbd or smbclient."""
import os
import random
import shutil
import socket
import subprocess
import sys
import tempfile
import time

SKIP = 77


def skip(reason):
    print(f"SKIPPED: {reason}")
    sys.exit(SKIP)


def read_table(path):
    rows = []
    with open(path) as table:
        for line in table:
            if line.startswith("#") or not line.strip():
                continue
            name, kind, shown, value, after = line.split()
            rows.append((name, kind, shown, bytes.fromhex(value), bytes.fromhex(after)))
    return rows


class Smbd:
    def __init__(self, folder):
        self.folder = folder
        self.share = os.path.join(folder, "share")
        os.mkdir(self.share)
        state = {name: os.path.join(folder, name) for name in
                 ("lock", "state", "cache", "private", "pid", "ncalrpc", "binddns")}
        for path in state.values():
            os.mkdir(path)
        self.port = random.randint(20000, 60000)
        self.conf = os.path.join(folder, "smb.conf")
        with open(self.conf, "w") as conf:
            conf.write(f"""[global]
  smb ports = {self.port}
  interfaces = lo
  bind interfaces only = yes
  disable netbios = yes
  server role = standalone server
  lock directory = {state['lock']}
  state directory = {state['state']}
  cache directory = {state['cache']}
  private dir = {state['private']}
  pid directory = {state['pid']}
  ncalrpc dir = {state['ncalrpc']}
  binddns dir = {state['binddns']}
  passdb backend = tdbsam:{state['private']}/passdb.tdb
  log file = {folder}/log.%m
[share]
  path = {self.share}
  read only = no
  store dos attributes = yes
""")
        subprocess.run(["smbpasswd", "-c", self.conf, "-s", "-a", "root"], input="pw\npw\n",
                       text=True, check=True, capture_output=True)
        # A session of its own: smbd signals its whole process group when it stops.
        self.process = subprocess.Popen(
            ["smbd", "-s", self.conf, "-F", "--no-process-group"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        deadline = time.monotonic() + 30
        while True:
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
                break
            except OSError:
                if self.process.poll() is not None or time.monotonic() > deadline:
                    raise AssertionError("smbd did not start listening")
                time.sleep(0.05)

    def client(self, commands):
        result = subprocess.run(
            ["smbclient", "//127.0.0.1/share", "-p", str(self.port), "-U", "root%pw",
             "-s", self.conf, "-c", commands], capture_output=True, text=True, timeout=60)
        if result.returncode != 0:
            raise AssertionError(f"smbclient {commands}: {result.stdout}{result.stderr}")
        return result.stdout

    def shown(self, name):
        """The attribute letters smbd reports, such as 'HS', or '' for none."""
        for line in self.client(f'allinfo "{name}"').splitlines():
            if line.startswith("attributes:"):
                return line.split(":", 1)[1].split("(")[0].strip()
        raise AssertionError(f"no attributes for {name}")

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=20)


def main():
    probe, table_path = sys.argv[1:3]
    if os.geteuid() != 0:
        skip("running smbd with a share of its own needs root")
    for program in ("smbd", "smbclient", "smbpasswd"):
        if shutil.which(program) is None:
            skip(f"{program} is not installed (packages samba, smbclient)")
    rows = read_table(table_path)
    failures = []
    # Short: smbd cuts long state paths.
    folder = tempfile.mkdtemp(prefix="fwsmb", dir="/tmp")
    smbd = None
    try:
        smbd = Smbd(folder)
        share = smbd.share

        # What smbd writes itself has the layout of the table's v5 rows (all but the time).
        with open(os.path.join(share, "written-file"), "w") as f:
            f.write("data")
        smbd.client('setmode written-file +hs; mkdir written-folder; setmode written-folder +h')
        for name, row in (("written-file", "v5-smbd-file"), ("written-folder", "v5-smbd-folder")):
            written = os.getxattr(os.path.join(share, name), "user.DOSATTRIB")
            expected = next(r[3] for r in rows if r[0] == row)
            if len(written) != len(expected) or written[:16] != expected[:16]:
                failures.append(f"smbd wrote {written.hex()} for {name}, the table has "
                                f"{expected.hex()}")

        plan_lines = []
        for name, kind, shown, value, _ in rows:
            path = os.path.join(share, name)
            if kind == "folder":
                os.mkdir(path)
            else:
                with open(path, "w") as f:
                    f.write("data")
            os.setxattr(path, "user.DOSATTRIB", value)
            seen = smbd.shown(name)
            if seen != shown:
                failures.append(f"smbd reads {name} as '{seen}', the table says '{shown}'")
            plan_lines.append(f"reset {path}")

        plan = os.path.join(folder, "plan")
        results = os.path.join(folder, "results")
        with open(plan, "w") as f:
            f.write("\n".join(plan_lines) + "\n")
        subprocess.run([probe, plan, results], check=True)
        with open(results) as f:
            outcomes = [line.rstrip("\n").split("\t") for line in f]

        for (name, kind, shown, value, after), outcome in zip(rows, outcomes):
            path = os.path.join(share, name)
            if outcome[0] != "Done":
                failures.append(f"{name}: {outcome}")
            now = os.getxattr(path, "user.DOSATTRIB")
            if now != after:
                failures.append(f"{name}: reset to {now.hex()}, expected {after.hex()}")
            seen = smbd.shown(name)
            if any(letter in seen for letter in "RHSA"):
                failures.append(f"smbd still reads {name} as '{seen}' after the reset")
        if len(outcomes) != len(rows):
            failures.append(f"{len(outcomes)} outcomes for {len(rows)} paths")
    finally:
        if smbd:
            smbd.stop()
        shutil.rmtree(folder, ignore_errors=True)

    for failure in failures:
        print("FAIL:", failure)
    print(f"{len(rows)} blobs checked against smbd")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

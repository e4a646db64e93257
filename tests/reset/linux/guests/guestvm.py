"""Real kernels for the reset tests: a qemu guest booted from an initramfs, user-mode Linux on
this machine's own root folder, and what their plans print.

A plan is a busybox shell script that runs inside the guest. Everything the harness reads back
is a tagged line, "@@TAG<TAB>field<TAB>...", found anywhere in a line of the guest's output
(a console may put escape codes before it); "@@PHASE<TAB>name" starts a new phase.
"""
import os
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SKIP = 77  # ctest's SKIP_RETURN_CODE for these scripts
REPOSITORY = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", "..", ".."))

# Shell helpers every plan can use. The programs sit in /bin of the initramfs, or, in
# user-mode Linux, wherever the harness says (PROBES).
PROBES_CHECK = r"""
for program in raw_attributes reset_probe run_as; do
    [ -x "$PROBES/$program" ] || { echo "no $PROBES/$program in the guest"; exit 3; }
done
"""
PLAN_PRELUDE = PROBES_CHECK + r"""
raw() { "$PROBES/raw_attributes" "$@"; }
reset() { "$PROBES/reset_probe" "$@"; }
as_user() { "$PROBES/run_as" "$@"; }
phase() { echo "@@PHASE	$1"; }
note() { echo "@@NOTE	$*"; }
must() { "$@" || { echo "failed: $*"; exit 4; }; }
"""


class Skip(Exception):
    """The real part a test needs cannot be had here; the message says why."""


def skip(reason):
    print(f"SKIPPED: {reason}")
    sys.exit(SKIP)


def run_main(main):
    """Runs a harness's main(): a Skip ends it with ctest's skip code, a failed check with 1."""
    try:
        failures = main()
    except Skip as reason:
        skip(str(reason))
    if failures:
        print(f"{len(failures)} failed:")
        for failure in failures:
            print(f"FAIL: {failure}")
        sys.exit(1)
    print("all as expected")


def run_table_or_facts(table, facts, usage):
    """The main of a harness that runs its table or its facts: `usage` names the folders it is
    given after the mode, each made absolute (the last, its work folder, made if missing)."""
    if len(sys.argv) != 2 + len(usage) or sys.argv[1] not in ("table", "facts"):
        sys.exit(f"usage: {sys.argv[0]} table|facts {' '.join(usage)}")
    folders = [os.path.abspath(argument) for argument in sys.argv[2:]]
    os.makedirs(folders[usage.index("WORK")], exist_ok=True)
    run_main(lambda: (table if sys.argv[1] == "table" else facts)(*folders))


def require(*programs):
    for program in programs:
        if shutil.which(program) is None:
            raise Skip(f"{program} is not installed (tools/install-deps.sh test)")


def require_fuse(what="FUSE"):
    """Skips where /dev/fuse cannot be opened for reading and writing."""
    if not os.access("/dev/fuse", os.R_OK | os.W_OK):
        raise Skip(f"no usable /dev/fuse for {what}")


def blank_image(path, size):
    """A disk image of `size` (truncate's spelling, "64M") holding nothing, made anew."""
    if os.path.exists(path):
        os.remove(path)
    subprocess.run(["truncate", "-s", size, path], check=True)
    return path


def static_busybox():
    busybox = shutil.which("busybox")
    if busybox is None:
        raise Skip("busybox is not installed (package busybox-static)")
    if subprocess.run(["ldd", busybox], capture_output=True).returncode == 0:
        raise Skip(f"{busybox} is not static (package busybox-static)")
    return busybox


class Records:
    """The tagged lines of one guest run, by phase."""

    def __init__(self, text):
        self.text = text
        self.lines = []  # (phase, tag, fields)
        phase = ""
        for line in text.replace("\r", "").split("\n"):
            start = line.find("@@")
            if start < 0:
                continue
            tag, *fields = line[start + 2:].split("\t")
            if tag == "PHASE":
                phase = fields[0] if fields else ""
                continue
            self.lines.append((phase, tag, fields))

    def all(self, tag, phase=None):
        return [fields for p, t, fields in self.lines
                if t == tag and (phase is None or p == phase)]

    def raw(self, phase, command, kind, path):
        """The last result of one raw_attributes call in a phase, or None."""
        found = None
        for fields in self.all("RAW", phase):
            if fields[:3] == [command, kind, path]:
                found = fields[3] if len(fields) > 3 else ""
        return found

    def resets(self, phase):
        """{path: (status, reason)} of the reset_probe lines of a phase."""
        outcome = {}
        for fields in self.all("RESET", phase):
            if len(fields) >= 3:
                outcome[fields[2]] = (fields[0], fields[1])
        return outcome

    def ended(self):
        ends = self.all("END")
        return ends[-1][0] if ends else None


def attribute_value(result):
    """The number in a raw_attributes result ("0x00000027/4 bytes" or "0x00000027"), or None."""
    if result is None or not result.startswith("0x"):
        return None
    return int(result.split("/")[0], 16)


def fetch_guest_kernel(cache, modules, suite="trixie"):
    """Debian's cloud kernel of the suite and the given modules (with what they depend on),
    cached."""
    script = os.path.join(REPOSITORY, "tools", "guest-kernel.sh")
    done = subprocess.run([script, "--suite", suite, cache, *modules], stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if done.returncode == SKIP:
        raise Skip(done.stderr.strip().splitlines()[-1])
    if done.returncode != 0:
        raise RuntimeError(f"tools/guest-kernel.sh failed: {done.stderr.strip()}")
    with open(os.path.join(cache, "modules.order")) as order:
        names = order.read().split()
    with open(os.path.join(cache, "kernel")) as kernel:
        release = kernel.read().split()[-1]
    return {
        "vmlinuz": os.path.join(cache, "vmlinuz"),
        "modules": [os.path.join(cache, "modules", f"{name}.ko") for name in names],
        "release": release,
    }


QEMU_INIT = r"""#!/bin/busybox sh
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t devtmpfs devtmpfs /dev
mount -t sysfs sysfs /sys
for module in $(cat /modules.order); do
    insmod /modules/$module.ko || echo "@@NOTE	insmod $module failed"
done
export PROBES=/bin
# The plan's output goes to the second serial port: the kernel writes only to the first.
sh /plan.sh >/dev/ttyS1 2>&1
echo "@@END	$?" >/dev/ttyS1
sync
poweroff -f
"""


def boot_qemu(work, kernel, programs, plan, disks, timeout=240, memory=512,
              probes_needed=True, files=None):
    """Boots the guest kernel with an initramfs of static busybox, the programs (host paths,
    put in /bin), the files ({path in the guest: host path}, for a dynamic program and its
    libraries), the kernel's modules and the plan; disks are raw images, /dev/vda first.
    Returns (Records of the plan's output, seconds from start to power-off)."""
    require("qemu-system-x86_64")
    busybox = static_busybox()
    root = os.path.join(work, "initramfs")
    shutil.rmtree(root, ignore_errors=True)
    for folder in ("bin", "modules", "mnt", "proc", "sys", "dev", "tmp"):
        os.makedirs(os.path.join(root, folder))
    shutil.copy(busybox, os.path.join(root, "bin", "busybox"))
    for program in programs:
        shutil.copy(program, os.path.join(root, "bin"))
    for inside, host in (files or {}).items():
        os.makedirs(os.path.dirname(root + inside), exist_ok=True)
        shutil.copy(host, root + inside)
    names = []
    for module in kernel["modules"]:
        shutil.copy(module, os.path.join(root, "modules"))
        names.append(os.path.basename(module)[:-3])
    with open(os.path.join(root, "modules.order"), "w") as order:
        order.write("\n".join(names) + "\n")
    write_executable(os.path.join(root, "init"), QEMU_INIT)
    prelude = PLAN_PRELUDE if probes_needed else PLAN_PRELUDE.replace(PROBES_CHECK, "")
    write_executable(os.path.join(root, "plan.sh"), prelude + plan)
    initrd = os.path.join(work, "initrd.gz")
    subprocess.run(f"find . | {shlex.quote(busybox)} cpio -o -H newc 2>/dev/null | gzip -1 >"
                   f" {shlex.quote(initrd)}", shell=True, check=True, cwd=root)

    console = os.path.join(work, "console.log")
    output = os.path.join(work, "plan.log")
    for log in (console, output):
        if os.path.exists(log):
            os.remove(log)
    command = ["qemu-system-x86_64", "-accel", "tcg", "-m", str(memory), "-smp", "1",
               "-nodefaults", "-no-user-config", "-display", "none", "-no-reboot",
               "-serial", f"file:{console}", "-serial", f"file:{output}",
               "-kernel", kernel["vmlinuz"], "-initrd", initrd,
               "-append", "console=ttyS0 loglevel=4 panic=-1 rdinit=/init"]
    for disk in disks:
        command += ["-drive", f"file={disk},format=raw,if=virtio"]
    start = time.monotonic()
    with open(os.path.join(work, "qemu.log"), "w") as log:
        run_group(command, log, timeout, f"the guest (console in {console})")
    seconds = time.monotonic() - start
    return Records(read_text(output)), seconds


def boot_trixie(probes, work, cache, modules, plan, disks):
    """Boots Debian trixie's cloud kernel with the probes and the plan (a list of lines) and
    returns its Records; a plan that did not run to its end is a failure."""
    kernel = fetch_guest_kernel(cache, ["virtio_blk", *modules])
    programs = [os.path.join(probes, name) for name in ("reset_probe", "raw_attributes", "run_as")]
    records, seconds = boot_qemu(work, kernel, programs, "\n".join(plan) + "\n", disks)
    print(f"guest {kernel['release']}: {seconds:.1f} s from start to power-off")
    if records.ended() != "0":
        print(read_text(os.path.join(work, "plan.log")))
        raise AssertionError(f"the plan in the guest ended with {records.ended()} "
                             f"(console in {work}/console.log)")
    return records


def run_on_host(work, probes, plan):
    """Runs plan lines on this machine with the same helpers a guest's plan has."""
    path = os.path.join(work, "host-plan.sh")
    write_executable(path, PLAN_PRELUDE + "\n".join(plan) + "\n")
    done = subprocess.run(["sh", path], stdin=subprocess.DEVNULL, capture_output=True,
                          text=True, env=dict(os.environ, PROBES=probes))
    if done.returncode != 0:
        raise AssertionError(f"{path} ended with {done.returncode}: {done.stdout}{done.stderr}")
    return Records(done.stdout)


def uml_modules(names):
    """User-mode Linux's module files for the given names, each after what it needs: its
    modules.dep entry, and the modules its soft dependencies name (cifs loads its crypto that
    way; a soft dependency that names nothing here is built in or an alias of something that is)."""
    base = "/usr/lib/uml/modules"
    versions = sorted(os.listdir(base)) if os.path.isdir(base) else []
    if not versions:
        raise Skip("no user-mode Linux modules under /usr/lib/uml/modules "
                   "(package user-mode-linux)")
    folder = os.path.join(base, versions[-1])
    depends, by_name = {}, {}
    for line in read_text(os.path.join(folder, "modules.dep")).splitlines():
        module, _, rest = line.partition(":")
        depends[module] = rest.split()
        by_name[module_name(module)] = module
    aliases = {}
    for line in read_text(os.path.join(folder, "modules.alias")).splitlines():
        parts = line.split()
        if len(parts) == 3 and parts[0] == "alias":
            aliases.setdefault(parts[1], parts[2].replace("-", "_"))
    soft = {}
    for line in read_text(os.path.join(folder, "modules.softdep")).splitlines():
        parts = [part for part in line.split() if not part.endswith(":")]
        if len(parts) >= 3 and parts[0] == "softdep":
            soft.setdefault(parts[1].replace("-", "_"), []).extend(parts[2:])

    def resolve(name):
        key = name.replace("-", "_")
        for candidate in (key, aliases.get(f"crypto-{name}"), aliases.get(name)):
            if candidate in by_name:
                return by_name[candidate]
        return None

    order = []

    def add(module):
        for needed in reversed(depends.get(module, [])):
            add(needed)
        for name in soft.get(module_name(module), []):
            found = resolve(name)
            if found:
                add(found)
        if module not in order:
            order.append(module)

    for name in names:
        module = resolve(name)
        if module is None:
            raise Skip(f"user-mode Linux {versions[-1]} has no module {name}")
        add(module)
    return [os.path.join(folder, module) for module in order]


def module_name(path):
    name = os.path.basename(path)
    return name[:name.index(".ko")].replace("-", "_")


def boot_uml(work, launcher, init, disk, timeout=240):
    """Boots user-mode Linux with this machine's root folder as its own (hostfs) and the disk as
    /dev/ubda, running init (a host path). Returns the seconds it ran."""
    require("linux.uml")
    # User-mode Linux keeps its sockets in uml_dir: a short path of its own.
    with tempfile.TemporaryDirectory(prefix="fw-uml-") as umldir:
        command = [launcher, "linux.uml", "mem=256M", f"uml_dir={umldir}", "root=/dev/root",
                   "rootfstype=hostfs", "rootflags=/", "rw", f"ubd0={disk}", f"init={init}",
                   # The launcher keeps user-mode Linux off the XSAVE ptrace path, so the
                   # guest's programs must stay off AVX (NAME=VALUE parameters become init's
                   # environment).
                   "GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX512F,-AVX512VL,-AVX512BW,-AVX2,-AVX",
                   "con=null", "con0=null,fd:1"]
        start = time.monotonic()
        with open(os.path.join(work, "console.log"), "w") as console:
            run_group(command, console, timeout, "user-mode Linux",
                      env=dict(os.environ, TMPDIR=umldir))
    return time.monotonic() - start


def run_group(command, log, timeout, what, env=None):
    """Runs a guest in a process group of its own, so that a guest that hangs is ended with
    every process it started (user-mode Linux runs one per guest process)."""
    process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=log,
                               stderr=subprocess.STDOUT, env=env, start_new_session=True)
    try:
        process.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        raise AssertionError(f"{what} did not power off within {timeout} s")


def write_executable(path, text):
    with open(path, "w") as script:
        script.write(text)
    os.chmod(path, 0o755)


def read_text(path):
    try:
        with open(path, "rb") as file:
            return file.read().decode("utf-8", "replace")
    except FileNotFoundError:
        return ""

"""A private X server and helpers to drive real programs in it (Xvfb, xdotool, xprop)."""
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

SKIP = 77  # ctest's SKIP_RETURN_CODE for these scripts


def skip(reason):
    print(f"SKIPPED: {reason}")
    sys.exit(SKIP)


def require(*programs):
    for program in programs:
        if shutil.which(program) is None:
            skip(f"{program} is not installed")


failures = []


def check(condition, message):
    """A check that does not stop the script: a failure is printed and counted for finish()."""
    if not condition:
        failures.append(message)
        print("FAIL:", message)


def finish(what):
    """Ends the script: exit 1 after any failed check."""
    if failures:
        sys.exit(1)
    print(f"{what}: all checks passed")


def wait_for(condition, what, seconds=20.0, interval=0.05):
    deadline = time.monotonic() + seconds
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out waiting for {what}")
        time.sleep(interval)


class XServer:
    """Xvfb on a free display, 1280x1024, no window manager."""

    def __init__(self, width=1280, height=1024):
        self.width, self.height = width, height

    def __enter__(self):
        require("Xvfb", "xdotool", "xprop", "import")
        self.log = tempfile.NamedTemporaryFile(prefix="flagwash-xvfb-", suffix=".log")
        # A display number picked at random, not the lowest free one: a server that is still
        # shutting down removes its display's lock and socket, and would take them from a new
        # server that had just been given the same number.
        for _ in range(20):
            number = random.randint(1000, 29999)
            if os.path.exists(f"/tmp/.X{number}-lock"):
                continue
            read_end, write_end = os.pipe()
            # -noreset: by default the server resets when its last client leaves and refuses
            # connections while it does (measured: one in ten of back-to-back connections), so
            # a program started right after a probe or another program could find no server.
            self.process = subprocess.Popen(
                ["Xvfb", f":{number}", "-displayfd", str(write_end), "-screen", "0",
                 f"{self.width}x{self.height}x24", "-nolisten", "tcp", "-noreset"],
                pass_fds=[write_end], stdout=self.log, stderr=subprocess.STDOUT)
            os.close(write_end)
            with os.fdopen(read_end) as pipe:
                ready = pipe.readline().strip()
            if ready:
                break
            self.process.wait(timeout=10)
        else:
            skip("Xvfb did not start")
        self.display = f":{ready}"
        self.env = dict(os.environ, DISPLAY=self.display)
        self.env.pop("WAYLAND_DISPLAY", None)
        self.env.pop("QT_QPA_PLATFORM", None)
        # A display that was named may not answer yet: wait until a client really connects.
        wait_for(lambda: subprocess.run(["xdotool", "getdisplaygeometry"], env=self.env,
                                        capture_output=True).returncode == 0,
                 f"Xvfb to answer on {self.display}", seconds=20, interval=0.1)
        return self

    def __exit__(self, kind, value, traceback):
        if kind is not None:
            # What the server said helps when a program could not use it.
            self.log.seek(0)
            print(f"Xvfb on {self.display} (running: {self.process.poll() is None}) said:")
            print(self.log.read().decode(errors="replace"))
        self.process.terminate()
        self.process.wait(timeout=10)
        self.log.close()

    def run(self, *args, check=True):
        return subprocess.run(list(args), env=self.env, check=check, capture_output=True,
                              text=True, timeout=60).stdout

    def windows_of(self, pid):
        out = self.run("xdotool", "search", "--onlyvisible", "--pid", str(pid), check=False)
        return [int(w) for w in out.split()]

    def windows_of_class(self, name):
        """Visible windows whose WM_CLASS names this program (for one started through another,
        such as runuser)."""
        out = self.run("xdotool", "search", "--onlyvisible", "--classname", f"^{name}$",
                       check=False)
        return [int(w) for w in out.split()]

    def launch(self, command, env):
        """Starts a program and returns it with its first window.

        A start that fails with "could not connect to display" although the server already
        answered is reported and tried again after a pause (for about 8 s in all); any other
        failure stands. (Seen before the server ran with -noreset, which is the likely cause.)"""
        pauses = [0.5, 1, 2, 4]
        while True:
            errors = tempfile.TemporaryFile()
            process = subprocess.Popen(command, env=env, stderr=errors)
            window = wait_for(lambda: (self.windows_of(process.pid) or [None])[0]
                              or process.poll() is not None, f"a window of {command[0]}")
            if window is not True:
                # Kept for ended_cleanly: a sanitizer reports on it, leaks only at exit.
                process.errors = errors
                return process, window
            errors.seek(0)
            said = errors.read().decode(errors="replace")
            errors.close()
            print(f"{command[0]} ended before showing a window (exit {process.returncode}):\n{said}")
            if "could not connect to display" not in said or not pauses:
                raise AssertionError(f"{command[0]} did not start")
            time.sleep(pauses.pop(0))

    def ended_cleanly(self, process, seconds=30):
        """Waits for a program launched here to end by itself (after its EXIT, say). None when
        it exited 0 and no sanitizer spoke on its error output, else what went wrong."""
        try:
            process.wait(timeout=seconds)
        except subprocess.TimeoutExpired:
            return f"the program did not end within {seconds} s"
        process.errors.seek(0)
        said = process.errors.read().decode(errors="replace")
        process.errors.close()
        findings = [line for line in said.splitlines()
                    if "Sanitizer" in line or "runtime error:" in line]
        if process.returncode == 0 and not findings:
            return None
        return f"the program ended with exit {process.returncode}, saying:\n{said}"

    def window_of(self, pid):
        return wait_for(lambda: (self.windows_of(pid) or [None])[0], f"a window of {pid}")

    def geometry(self, window):
        values = {}
        for line in self.run("xdotool", "getwindowgeometry", "--shell", str(window)).split():
            key, _, value = line.partition("=")
            values[key] = int(value)
        return values

    def property(self, window, name):
        """The raw text xprop prints after '=' ('' for an empty value), or None when unset.
        window "root" reads the root window."""
        where = ["-root"] if window == "root" else ["-id", str(window)]
        line = self.run("xprop", *where, name).rstrip("\n")
        if "not found" in line or "no such atom" in line:
            return None
        if "window id # " in line:  # xprop's form for WINDOW values
            return line.partition("window id # ")[2]
        return line.partition("= ")[2]

    def position(self, window):
        """Where the window's client area is on the screen (xwininfo's absolute upper-left:
        under a reparenting manager xdotool counts the frame's offset twice)."""
        values = {}
        for line in self.run("xwininfo", "-id", str(window)).splitlines():
            key, _, value = line.strip().partition(":")
            values[key] = value.strip()
        return (int(values["Absolute upper-left X"]), int(values["Absolute upper-left Y"]),
                int(values["Width"]), int(values["Height"]))

    def screenshot(self, path):
        self.run("import", "-display", self.display, "-window", "root", path)
        from PIL import Image
        return Image.open(path).convert("RGB")

    def click(self, window, x, y):
        self.run("xdotool", "mousemove", "--window", str(window), str(x), str(y),
                 "click", "1")

    def close_box(self, box):
        self.run("xdotool", "windowfocus", "--sync", str(box))
        self.run("xdotool", "key", "Return")


class Weston(XServer):
    """Weston's headless compositor as a Wayland session, 1280x1024, with Xwayland as its X
    server (display) unless xwayland=False. env is what a program in that session gets."""

    def __init__(self, xwayland=True):
        super().__init__(1280, 1024)
        self.xwayland = xwayland

    def __enter__(self):
        require("weston", "weston-debug", "xdotool", "xprop")
        if self.xwayland:
            require("Xwayland")
        self.runtime = tempfile.mkdtemp(prefix="flagwash-wayland-")  # 0700, as a session's
        self.socket = f"flagwash-{os.getpid()}"
        self.log = tempfile.NamedTemporaryFile(prefix="flagwash-weston-", suffix=".log")
        command = ["weston", "--backend=headless-backend.so", f"--socket={self.socket}",
                   f"--width={self.width}", f"--height={self.height}", "--use-pixman",
                   # No screen lock after a quiet minute; --debug lets weston-debug read
                   # the scene (where each window was put).
                   "--idle-time=0", "--debug"]
        if self.xwayland:
            command.append("--xwayland")
        env = dict(os.environ, XDG_RUNTIME_DIR=self.runtime)
        for name in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
            env.pop(name, None)
        self.process = subprocess.Popen(command, env=env, stdout=self.log,
                                        stderr=subprocess.STDOUT)
        wait_for(lambda: os.path.exists(os.path.join(self.runtime, self.socket))
                 or self.process.poll() is not None, "weston's socket")
        if self.process.poll() is not None:
            skip(f"weston did not start: {self.said()}")
        self.env = dict(env, WAYLAND_DISPLAY=self.socket, XDG_SESSION_TYPE="wayland")
        self.display = None
        if self.xwayland:
            import re
            found = wait_for(lambda: re.search(r"xserver listening on display (:\d+)", self.said()),
                             "weston's Xwayland display")
            self.display = found.group(1)
            self.env["DISPLAY"] = self.display
        return self

    def said(self):
        self.log.seek(0)
        return self.log.read().decode(errors="replace")

    def __exit__(self, kind, value, traceback):
        if kind is not None:
            print(f"weston said:\n{self.said()}")
        self.process.terminate()
        self.process.wait(timeout=10)
        self.log.close()
        shutil.rmtree(self.runtime, ignore_errors=True)

    def toplevels(self):
        """Where weston shows each top-level window: (x1, y1, x2, y2), frame and shadow included."""
        import re
        scene = subprocess.run(["weston-debug", "scene-graph"], env=self.env, capture_output=True,
                               text=True, timeout=30).stdout
        return [tuple(int(v) for v in m.groups()) for m in re.finditer(
            r"top-level window.*\n\s*position: \((-?\d+), (-?\d+)\) -> \((-?\d+), (-?\d+)\)",
            scene)]


class WindowManager:
    """A real window manager on an XServer: openbox, or xfwm4 (on a D-Bus session bus of its
    own, with its settings in a private folder). xfwm4_settings: name -> "true"/"false" for
    xfwm4's "general" channel, such as prevent_focus_stealing."""

    def __init__(self, x, name, xfwm4_settings=None):
        self.x, self.name, self.settings = x, name, xfwm4_settings or {}
        self.processes = []

    def __enter__(self):
        require(self.name)
        self.home = tempfile.mkdtemp(prefix=f"flagwash-{self.name}-")
        env = dict(self.x.env, HOME=self.home, XDG_CONFIG_HOME=os.path.join(self.home, ".config"))
        if self.name == "xfwm4":
            require("dbus-daemon")
            channel = os.path.join(env["XDG_CONFIG_HOME"], "xfce4/xfconf/xfce-perchannel-xml")
            os.makedirs(channel)
            with open(os.path.join(channel, "xfwm4.xml"), "w") as f:
                f.write('<?xml version="1.0" encoding="UTF-8"?>\n<channel name="xfwm4" version="1.0">\n'
                        '  <property name="general" type="empty">\n')
                for key, value in self.settings.items():
                    f.write(f'    <property name="{key}" type="bool" value="{value}"/>\n')
                f.write("  </property>\n</channel>\n")
            bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                                   env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                   text=True)
            self.processes.append(bus)
            env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()
            command = ["xfwm4", "--compositor=off"]
        else:
            command = [self.name]
        self.log = tempfile.TemporaryFile()
        self.processes.append(subprocess.Popen(command, env=env, stdout=self.log,
                                               stderr=subprocess.STDOUT))
        # Managing once it names itself on the root window (EWMH).
        try:
            wait_for(lambda: self.x.property("root", "_NET_SUPPORTING_WM_CHECK"),
                     f"{self.name} to manage the screen")
        except AssertionError:
            self.__exit__(AssertionError, None, None)
            raise
        return self

    def __exit__(self, kind, value, traceback):
        if kind is not None:
            self.log.seek(0)
            print(f"{self.name} said:\n{self.log.read().decode(errors='replace')}")
        for process in reversed(self.processes):
            process.terminate()
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                # xfwm4 has been seen to hang in its own shutdown now and then: that is not
                # the program under test, and the manager's work is done.
                print(f"{process.args[0]} did not end within 10 s of SIGTERM: killed")
                process.kill()
                process.wait()
        self.log.close()
        shutil.rmtree(self.home, ignore_errors=True)


class FakeBrowser:
    """An xdg-open first on PATH that records its arguments instead of opening a browser."""

    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="flagwash-browser-")
        self.log = os.path.join(self.dir, "launches")
        script = os.path.join(self.dir, "xdg-open")
        with open(script, "w") as f:
            f.write('#!/bin/sh\nprintf "%s\\n" "$*" >> "$(dirname "$0")/launches"\n')
        os.chmod(script, 0o755)

    def path_env(self, env):
        return dict(env, PATH=self.dir + os.pathsep + env.get("PATH", ""))

    def launches(self):
        if not os.path.exists(self.log):
            return []
        with open(self.log) as f:
            return f.read().splitlines()

    def cleanup(self):
        shutil.rmtree(self.dir, ignore_errors=True)

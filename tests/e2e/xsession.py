"""A private X server and helpers to drive real programs in it (Xvfb, xdotool, xprop)."""
import os
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
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
             f"{self.width}x{self.height}x24", "-nolisten", "tcp"],
            pass_fds=[write_end], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            self.process.kill()
            skip("Xvfb did not start")
        self.display = f":{number}"
        self.env = dict(os.environ, DISPLAY=self.display)
        self.env.pop("WAYLAND_DISPLAY", None)
        self.env.pop("QT_QPA_PLATFORM", None)
        # A display that was named may not answer yet: wait until a client really connects.
        wait_for(lambda: subprocess.run(["xdotool", "getdisplaygeometry"], env=self.env,
                                        capture_output=True).returncode == 0,
                 f"Xvfb to answer on {self.display}", seconds=20, interval=0.1)
        return self

    def __exit__(self, *exc):
        self.process.terminate()
        self.process.wait(timeout=10)

    def run(self, *args, check=True):
        return subprocess.run(list(args), env=self.env, check=check, capture_output=True,
                              text=True, timeout=60).stdout

    def windows_of(self, pid):
        out = self.run("xdotool", "search", "--onlyvisible", "--pid", str(pid), check=False)
        return [int(w) for w in out.split()]

    def window_of(self, pid):
        return wait_for(lambda: (self.windows_of(pid) or [None])[0], f"a window of {pid}")

    def geometry(self, window):
        values = {}
        for line in self.run("xdotool", "getwindowgeometry", "--shell", str(window)).split():
            key, _, value = line.partition("=")
            values[key] = int(value)
        return values

    def property(self, window, name):
        """The raw text xprop prints after '=' ('' for an empty value), or None when unset."""
        line = self.run("xprop", "-id", str(window), name).rstrip("\n")
        if "not found" in line or "no such atom" in line:
            return None
        return line.partition("= ")[2]

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

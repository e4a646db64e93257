"""Which launches take the focus, on the real program under xfwm4 with its focus-stealing
prevention on: the download page at start-up, at RESET and after About must leave the focus
where it is; the home page (a click on the drop zone) takes it. The browser is a GTK 3 probe
first on PATH as xdg-open that maps a window; xfwm4 either focuses it (_NET_ACTIVE_WINDOW) or
keeps it from the focus."""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

from layout import centre
from xsession import WindowManager, XServer, check, finish, skip, wait_for

program = sys.argv[1]
here = os.path.dirname(os.path.abspath(__file__))


class ProbeBrowser:
    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="flagwash-probe-browser-")
        self.log = os.path.join(self.dir, "windows")
        script = os.path.join(self.dir, "xdg-open")
        with open(script, "w") as f:
            f.write(f'#!/bin/sh\nexec /usr/bin/python3 {os.path.join(here, "probe_browser.py")} "$@"\n')
        os.chmod(script, 0o755)

    def env(self, env):
        return dict(env, PATH=self.dir + os.pathsep + env.get("PATH", ""),
                    FLAGWASH_PROBE_LOG=self.log)

    def windows(self):
        """(pid, window, url, startup id) of each probe window mapped so far."""
        if not os.path.exists(self.log):
            return []
        with open(self.log) as f:
            return [tuple(line.split()) for line in f if len(line.split()) == 4]

    def cleanup(self):
        for pid, *_ in self.windows():
            try:
                os.kill(int(pid), signal.SIGTERM)
            except ProcessLookupError:
                pass
        shutil.rmtree(self.dir, ignore_errors=True)


def active(x):
    value = x.property("root", "_NET_ACTIVE_WINDOW") or ""
    return int(value.split(",")[0], 16) if value.startswith("0x") else 0


def outcome(x, window):
    """'focused' or 'kept from the focus', once xfwm4 has mapped the window and handled a request
    sent after that (it handles them in order, so the focus is settled by then)."""
    wait_for(lambda: "Normal" in x.run("xprop", "-id", str(window), "WM_STATE", check=False),
             f"xfwm4 to map {window:#x}")
    x.run("wmctrl", "-i", "-r", str(window), "-b", "add,skip_pager")
    wait_for(lambda: "SKIP_PAGER" in (x.property(window, "_NET_WM_STATE") or ""),
             f"xfwm4 to handle a request for {window:#x}")
    return "focused" if active(x) == window else "kept from the focus"


def next_page(x, browser, count):
    windows = wait_for(lambda: len(browser.windows()) >= count and browser.windows(),
                       f"browser window {count}")
    pid, window, url, startup_id = windows[count - 1]
    return int(window), url, startup_id


try:
    import gi  # noqa: F401
except ImportError:
    skip("python3-gi is not installed")

with XServer() as x, WindowManager(x, "xfwm4", {"prevent_focus_stealing": "true"}):
    browser = ProbeBrowser()
    app, window = x.launch([program], browser.env(x.env))
    try:
        wait_for(lambda: active(x) == window, "the tool's window to have the focus")
        g = x.position(window)

        def expect(count, action, focus):
            page, url, startup_id = next_page(x, browser, count)
            result = outcome(x, page)
            print(f"{action}: {url} with DESKTOP_STARTUP_ID={startup_id}: {result}")
            check("_TIME" in startup_id, f"{action}: the browser got no startup ID with a time")
            check(result == ("focused" if focus else "kept from the focus"),
                  f"{action}: the page was {result}")
            if not focus:
                check(active(x) != page, f"{action}: the page has the focus")
            # Out of the way of the clicks that follow.
            x.run("xdotool", "windowkill", str(page), check=False)
            wait_for(lambda: page not in x.windows_of(int(browser.windows()[count - 1][0])),
                     f"{action}: the page's window to close")

        expect(1, "start-up", focus=False)

        x.run("xdotool", "mousemove", *map(str, centre("imgStart", origin=g[:2])), "click", "1")
        box = wait_for(lambda: [w for w in x.windows_of(app.pid) if w != window], "the report box")[0]
        expect(2, "RESET", focus=False)
        x.close_box(box)
        wait_for(lambda: x.windows_of(app.pid) == [window], "the report box to close")

        x.run("xdotool", "mousemove", *map(str, centre("imgAbout", origin=g[:2])), "click", "1")
        box = wait_for(lambda: [w for w in x.windows_of(app.pid) if w != window], "the About box")[0]
        x.close_box(box)
        expect(3, "About", focus=False)

        # A link dragged over shows the drop zone; a click on it opens the home page in front.
        source = subprocess.Popen(["/usr/bin/python3", os.path.join(here, "drag_source.py"), "20",
                                   "20", "copy", "http://www.example.com/"],
                                  env=x.env, stdout=subprocess.PIPE, text=True)
        if source.stdout.readline().strip() != "READY":
            skip("the GTK drag source did not start")
        sx, sy, sw, sh = x.position(x.window_of(source.pid))
        start, zone = (sx + sw // 2, sy + sh // 2), centre("Image1", origin=g[:2])
        x.run("xdotool", "mousemove", str(start[0]), str(start[1]), "mousedown", "1")
        for step in range(1, 21):
            x.run("xdotool", "mousemove", str(start[0] + (zone[0] - start[0]) * step // 20),
                  str(start[1] + (zone[1] - start[1]) * step // 20))
            time.sleep(0.05)
        time.sleep(0.5)
        x.run("xdotool", "mouseup", "1")
        wait_for(lambda: source.stdout.readline().strip(), "the link drag to end")
        source.wait(timeout=10)
        x.run("xdotool", "mousemove", str(zone[0]), str(zone[1]), "click", "1")
        expect(4, "drop-zone click", focus=True)
    finally:
        app.terminate()
        app.wait(timeout=10)
        browser.cleanup()

finish("linux launch focus")

"""The real Linux program in a Wayland session: weston's headless compositor with Xwayland.
The window goes to Xwayland, where it keeps its empty caption, its title bar without minimize
and maximize, its fixed size and its place; with and without Qt's Wayland plugin installed,
nothing is printed. Without any X server it falls back to native Wayland, at its fixed size."""
import glob
import os
import shutil
import subprocess
import sys
import tempfile

from xsession import FakeBrowser, Weston, check, finish, skip, wait_for

program = sys.argv[1]
# Qt's Motif hints: functions 0x08 minimize, 0x10 maximize; decorations 0x20, 0x40.
MINIMIZE_MAXIMIZE_FUNCTIONS, MINIMIZE_MAXIMIZE_DECORATIONS = 0x18, 0x60


def plugin_dir():
    found = glob.glob("/usr/lib/*/qt6/plugins/platforms/libqxcb.so")
    if not found:
        skip("Qt's xcb platform plugin was not found")
    return os.path.dirname(os.path.dirname(found[0]))


def without_wayland_plugin(work):
    """A copy of the program whose Qt sees every plugin of this machine but the Wayland ones,
    as on a machine without qt6-wayland (a qt.conf next to the program names its plugins)."""
    plugins = os.path.join(work, "plugins")
    os.makedirs(os.path.join(plugins, "platforms"))
    source = plugin_dir()
    for entry in os.listdir(source):
        if entry.startswith("wayland"):
            continue
        if entry == "platforms":
            for plugin in os.listdir(os.path.join(source, entry)):
                if "wayland" not in plugin:
                    os.symlink(os.path.join(source, entry, plugin),
                               os.path.join(plugins, entry, plugin))
        else:
            os.symlink(os.path.join(source, entry), os.path.join(plugins, entry))
    copy = os.path.join(work, "flagwash")
    shutil.copy2(program, copy)
    with open(os.path.join(work, "qt.conf"), "w") as f:
        f.write(f"[Paths]\nPlugins = {plugins}\n")
    return copy


def run_on_xwayland(session, command, label):
    """Starts the program, checks its window on Xwayland, returns what it printed."""
    browser = FakeBrowser()
    errors = tempfile.TemporaryFile()
    app = subprocess.Popen(command, env=dict(browser.path_env(session.env), WAYLAND_DEBUG="1"),
                           stderr=errors)
    try:
        window = wait_for(lambda: (session.windows_of(app.pid) or [None])[0] or app.poll(),
                          f"{label}: a window on Xwayland")
        check(window is not None and app.poll() is None, f"{label}: the program ended")
        for name in ("WM_NAME", "_NET_WM_NAME"):
            value = session.property(window, name)
            check(value in ("", '""'), f"{label}: {name} is {value!r}")
        hints = [int(v, 16) for v in (session.property(window, "_MOTIF_WM_HINTS") or "").split(",")]
        check(len(hints) == 5 and not hints[1] & MINIMIZE_MAXIMIZE_FUNCTIONS
              and not hints[2] & MINIMIZE_MAXIMIZE_DECORATIONS,
              f"{label}: Motif hints {hints} allow minimize or maximize")
        size = session.run("xwininfo", "-id", str(window))
        check("Width: 385" in size and "Height: 335" in size, f"{label}: {size}")
        # Weston shows the window with its frame and shadow. It tells no client its frame
        # (no _NET_REQUEST_FRAME_EXTENTS) and moves no window once mapped, so the frame's
        # corner is where a centred client area's would be: the middle is a few pixels off,
        # never more than the title bar.
        views = wait_for(lambda: session.toplevels(), f"{label}: weston to show the window")
        x1, y1, x2, y2 = views[0]
        off = ((x1 + x2) / 2 - session.width / 2, (y1 + y2) / 2 - session.height / 2)
        print(f"{label}: weston shows the window at {views[0]}, its middle {off} from the screen's")
        check(abs(off[0]) <= 8 and abs(off[1]) <= 20, f"{label}: not centred: {views[0]}")
    finally:
        app.terminate()
        app.wait(timeout=10)
        browser.cleanup()
    errors.seek(0)
    said = errors.read().decode(errors="replace")
    errors.close()
    return said


work = tempfile.mkdtemp(prefix="flagwash-wayland-test-")
try:
    with Weston() as session:
        # With Qt's Wayland plugin installed (Qt would pick Wayland on its own): Xwayland,
        # and no word about Wayland at all (WAYLAND_DEBUG prints every request Qt would send).
        if not glob.glob(os.path.join(plugin_dir(), "platforms", "libqwayland-*.so")):
            skip("qt6-wayland is not installed")
        said = run_on_xwayland(session, [program], "with qt6-wayland")
        check(said == "", f"with qt6-wayland the program printed:\n{said}")

        # Without it: still Xwayland, and no warning about a missing plugin.
        copy = without_wayland_plugin(work)
        asked = subprocess.run([copy], env=dict(session.env, QT_QPA_PLATFORM="wayland"),
                               capture_output=True, text=True, timeout=60)
        check('Could not find the Qt platform plugin "wayland"' in asked.stderr,
              f"the copy's Qt still finds a Wayland plugin: {asked.stderr}")
        said = run_on_xwayland(session, [copy], "without qt6-wayland")
        check(said == "", f"without qt6-wayland the program printed:\n{said}")

    # No X server at all: native Wayland, at its fixed size.
    with Weston(xwayland=False) as session:
        browser = FakeBrowser()
        errors = tempfile.TemporaryFile()
        app = subprocess.Popen([program], env=dict(browser.path_env(session.env), WAYLAND_DEBUG="1"),
                               stderr=errors)
        try:
            def requests():
                errors.seek(0)
                return errors.read().decode(errors="replace")
            wait_for(lambda: "set_max_size" in requests() or app.poll() is not None,
                     "the window on native Wayland")
            check(app.poll() is None, f"on native Wayland the program ended:\n{requests()}")
            check("xdg_toplevel@" in requests() and "set_min_size(385, 335)" in requests()
                  and "set_max_size(385, 335)" in requests(),
                  "on native Wayland the window is not fixed at 385 x 335")
        finally:
            app.terminate()
            app.wait(timeout=10)
            errors.close()
            browser.cleanup()
finally:
    shutil.rmtree(work, ignore_errors=True)

finish("linux wayland")

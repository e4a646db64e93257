"""A real XDND drag from another X client onto the real Linux program, then RESET: the dropped
files lose their DOS attributes, the report box appears and closes, nothing is moved."""
import os
import subprocess
import sys
import tempfile
import time
import urllib.parse

from layout import centre
from xsession import FakeBrowser, XServer, check, finish, skip, wait_for

program, out_dir = sys.argv[1], sys.argv[2]


def dos(path):
    return os.getxattr(path, b"user.DOSATTRIB", follow_symlinks=False)


def uri(path):
    return "file://" + urllib.parse.quote(os.fsencode(path))


def drag(x, source, target):
    """Press on the source, move in steps to the target, pause there, release."""
    sx, sy = source
    tx, ty = target
    x.run("xdotool", "mousemove", str(sx), str(sy))
    x.run("xdotool", "mousedown", "1")
    for step in range(1, 21):
        x.run("xdotool", "mousemove", str(sx + (tx - sx) * step // 20),
              str(sy + (ty - sy) * step // 20))
        time.sleep(0.05)
    time.sleep(0.5)
    x.run("xdotool", "mousemove", str(tx + 1), str(ty + 1))
    time.sleep(0.3)
    x.run("xdotool", "mouseup", "1")


def start_source(x, actions, uris):
    source = subprocess.Popen(["/usr/bin/python3", os.path.join(os.path.dirname(__file__),
                                                                "drag_source.py"),
                               "20", "20", actions, *uris],
                              env=x.env, stdout=subprocess.PIPE, text=True)
    if source.stdout.readline().strip() != "READY":
        skip("the GTK drag source did not start (python3-gi, gir1.2-gtk-3.0)")
    window = x.window_of(source.pid)
    g = x.geometry(window)
    return source, (g["X"] + g["WIDTH"] // 2, g["Y"] + g["HEIGHT"] // 2)


work = tempfile.mkdtemp(prefix="flagwash-drop-", dir=os.environ.get("TMPDIR", "/var/tmp"))
try:
    os.setxattr(work, b"user.test", b"1")
except OSError:
    skip("this file system takes no user extended attributes")
files = {
    "hidden system.txt": b"0x6",
    b"caf\xe9-latin1.doc".decode("utf-8", "surrogateescape"): b"0x21",
}
folder = os.path.join(work, "Folder")
os.mkdir(folder)
os.setxattr(folder, b"user.DOSATTRIB", b"0x12")
child = os.path.join(folder, "inside.txt")
open(child, "w").close()
os.setxattr(child, b"user.DOSATTRIB", b"0x2")
paths = []
for name, value in files.items():
    path = os.path.join(work, name)
    with open(path, "w") as f:
        f.write("keep me")
    os.setxattr(path, b"user.DOSATTRIB", value)
    paths.append(path)
paths.append(folder)

with XServer() as x:
    browser = FakeBrowser()
    app, window = x.launch([program], browser.path_env(x.env))
    try:
        g = x.geometry(window)
        zone = centre("Image1", origin=(g["X"], g["Y"]))

        # A move-only source: the tool never answers move, so nothing is moved or deleted.
        source, start = start_source(x, "move", [uri(paths[0])])
        drag(x, start, zone)
        end = wait_for(lambda: source.stdout.readline().strip(), "the move-only drag to end")
        source.wait(timeout=10)
        check(end in ("END action=none deleted=no",), f"move-only drag ended with {end!r}")
        check(os.path.exists(paths[0]), "a dropped file disappeared")

        # Copy or move offered: copy is answered, the three items are taken.
        source, start = start_source(x, "copy,move", [uri(os.fsencode(p)) for p in paths])
        drag(x, start, zone)
        end = wait_for(lambda: source.stdout.readline().strip(), "the drag to end")
        source.wait(timeout=10)
        check(end == "END action=copy deleted=no", f"drag ended with {end!r}")
        wait_for(lambda: x.property(window, "WM_NAME") == '"3 File(s)/Folder(s) selected. Click RESET"',
                 "the caption to show the selection", seconds=10)

        x.click(window, *centre("imgStart"))
        box = wait_for(lambda: [w for w in x.windows_of(app.pid) if w != window],
                       "the report box")[0]
        os.makedirs(out_dir, exist_ok=True)
        x.screenshot(os.path.join(out_dir, "linux-report.png"))
        x.close_box(box)
        wait_for(lambda: window in x.windows_of(app.pid) and len(x.windows_of(app.pid)) == 1,
                 "the report box to close")
        wait_for(lambda: x.property(window, "WM_NAME") in ("", '""'), "the caption to return")

        check(dos(paths[0]) == b"0x0", f"first file still {dos(paths[0])}")
        # The value keeps its width: two hex digits stay two.
        check(dos(paths[1]) == b"0x00", f"second file still {dos(paths[1])}")
        check(dos(folder) == b"0x10", f"folder is {dos(folder)}")
        check(dos(child) == b"0x2", "a file inside the folder was touched")
        for path in paths[:2]:
            with open(path) as f:
                check(f.read() == "keep me", f"contents of {path} changed")
        check(len(browser.launches()) == 2, f"launches {browser.launches()}")

        # A web link dragged over: the drop zone shows and stays, as nothing was taken.
        source, start = start_source(x, "copy", ["http://www.example.com/"])
        drag(x, start, zone)
        wait_for(lambda: source.stdout.readline().strip(), "the link drag to end")
        source.wait(timeout=10)
        # A real double click on it opens the home page once.
        x.run("xdotool", "mousemove", str(zone[0]), str(zone[1]), "click", "--repeat", "2",
              "--delay", "120", "1")
        # RESET marks the end: its page is launched after anything the double click caused.
        x.click(window, *centre("imgStart"))
        box = wait_for(lambda: [w for w in x.windows_of(app.pid) if w != window],
                       "the report box after the double click")[0]
        x.close_box(box)
        wait_for(lambda: len(browser.launches()) >= 4, "the launches of the double click and RESET")
        home = [line for line in browser.launches() if not line.endswith("lid=6")]
        check(len(home) == 1, f"a double click opened the home page {len(home)} times: {home}")

        # Paths that cannot be reset: the box warns, and its details list every one of them.
        fifo = os.path.join(work, "a pipe")
        os.mkfifo(fifo)
        link = os.path.join(work, "a link")
        os.symlink(folder, link)
        troubles = [fifo, link, os.path.join(work, "deleted since the drop.txt")]
        source, start = start_source(x, "copy", [uri(os.fsencode(p)) for p in [paths[0], *troubles]])
        drag(x, start, zone)
        wait_for(lambda: source.stdout.readline().strip(), "the drag of troubles to end")
        source.wait(timeout=10)
        wait_for(lambda: x.property(window, "WM_NAME") == '"4 File(s)/Folder(s) selected. Click RESET"',
                 "the caption of the troubles", seconds=10)
        x.click(window, *centre("imgStart"))
        box = wait_for(lambda: [w for w in x.windows_of(app.pid) if w != window],
                       "the report with failures")[0]
        before = x.geometry(box)
        # From its OK button to its "Show Details..." button, and pressed, as a keyboard user would.
        x.run("xdotool", "windowfocus", "--sync", str(box))
        x.run("xdotool", "key", "Tab", "space")
        wait_for(lambda: x.geometry(box)["HEIGHT"] > before["HEIGHT"], "the details to open")
        g = x.geometry(box)
        x.screenshot(os.path.join(out_dir, "linux-report-failures-screen.png")).crop(
            (g["X"], g["Y"], g["X"] + g["WIDTH"], g["Y"] + g["HEIGHT"])).save(
            os.path.join(out_dir, "linux-report-failures.png"))
        # The focus is on the details' button now: Escape answers the box.
        x.run("xdotool", "key", "Escape")
        wait_for(lambda: len(x.windows_of(app.pid)) == 1, "the report with failures to close")
        check(os.path.exists(fifo) and os.path.islink(link), "a path that was refused changed")

        # EXIT: the program ends by itself, with exit 0 and, in a sanitizer build, no report
        # (leaks are only known at exit).
        x.click(window, *centre("imgExit"))
        problem = x.ended_cleanly(app)
        check(problem is None, problem)
    finally:
        app.terminate()
        app.wait(timeout=10)
        browser.cleanup()
        subprocess.run(["rm", "-rf", work])

finish("linux drop")

"""Drops that come at the wrong moment, onto the real Linux program: a second X client sends
its XdndDrop once the progress window of a RESET is up, and again while the report box is up.
The run finishes over the list it started with, both late drops are refused to their source,
and nothing is reset that the caption did not show. (Qt on X11 already turns away drags into a
window behind a modal dialog; the form turns them away too, which the Qt window tests show with
events handed straight to the widgets.)

The dropped files live on a FUSE file system as slow as a far network share (slowfs.py), so
the run lasts long enough for the progress window, whatever the machine."""
import os
import subprocess
import sys
import tempfile
import urllib.parse

from layout import centre
from xsession import FakeBrowser, XServer, check, finish, skip, wait_for

program = sys.argv[1]
COUNT = 60


def uri_list(paths):
    return b"".join(b"file://" + urllib.parse.quote(os.fsencode(p)).encode() + b"\r\n"
                    for p in paths)


if os.geteuid() != 0 or not os.access("/dev/fuse", os.R_OK | os.W_OK):
    skip("mounting the slow FUSE file system needs root and /dev/fuse")
try:
    import llfuse  # noqa: F401
    from xdnd import XdndSource
except ImportError as missing:
    skip(f"{missing.name} is not installed (python3-llfuse, python3-xlib)")

work = tempfile.mkdtemp(prefix="flagwash-late-", dir=os.environ.get("TMPDIR", "/var/tmp"))
mountpoint = os.path.join(work, "share")
os.mkdir(mountpoint)
status_file = os.path.join(work, "slowfs-status")
late = []
for name in ("late one.txt", "late two.txt"):
    path = os.path.join(work, name)
    with open(path, "w") as f:
        f.write("late")
    try:
        os.setxattr(path, b"user.DOSATTRIB", b"0x2")
    except OSError:
        skip("this file system takes no user extended attributes")
    late.append(path)


def slow_status():
    with open(status_file) as f:
        written, normal = f.read().split()
    return int(written), int(normal)


def late_untouched():
    return all(os.getxattr(p, b"user.DOSATTRIB") == b"0x2" for p in late)


slowfs = subprocess.Popen(["/usr/bin/python3", os.path.join(os.path.dirname(__file__), "slowfs.py"),
                           mountpoint, str(COUNT), "0.05", status_file],
                          stdout=subprocess.PIPE, text=True)
try:
    if slowfs.stdout.readline().strip() != "READY":
        skip("the slow FUSE file system did not mount")
    dropped = [os.path.join(mountpoint, f"slow-{i:03d}") for i in range(COUNT)]
    with XServer() as x:
        browser = FakeBrowser()
        app, window = x.launch([program], browser.path_env(x.env))
        source = XdndSource(x.display)
        try:
            g = x.geometry(window)
            zone = centre("Image1", origin=(g["X"], g["Y"]))

            answer = source.drop(window, *zone, uri_list(dropped))
            check(answer.finished_accepted, "the first drop was not taken")
            wait_for(lambda: x.property(window, "WM_NAME")
                     == f'"{COUNT} File(s)/Folder(s) selected. Click RESET"',
                     "the caption to show the selection", seconds=10)

            x.click(window, *centre("imgStart"))
            wait_for(lambda: len(x.windows_of(app.pid)) > 1 and slow_status()[0] < COUNT,
                     "the progress window while the run goes on")
            during = source.drop(window, *zone, uri_list(late))
            written, _ = slow_status()
            check(written < COUNT, "the run had ended before the late drop was answered; "
                                   "the test proves nothing")
            check(not during.accepted and not during.finished_accepted,
                  f"a drop during the run was taken: {during.statuses} {during.finished_accepted}")

            wait_for(lambda: slow_status()[0] == COUNT and len(x.windows_of(app.pid)) > 1,
                     "the report box", seconds=60)
            box = [w for w in x.windows_of(app.pid) if w != window][0]
            at_report = source.drop(window, *zone, uri_list(late))
            check(not at_report.accepted and not at_report.finished_accepted,
                  "a drop while the report box was up was taken")
            x.close_box(box)
            wait_for(lambda: x.windows_of(app.pid) == [window], "the report box to close")
            wait_for(lambda: x.property(window, "WM_NAME") in ("", '""'), "the caption to return")

            check(slow_status() == (COUNT, COUNT),
                  f"the run did not reset every dropped file: {slow_status()}")
            check(late_untouched(), "a file of a late drop was reset")

            # The list is empty: a second RESET resets nothing at all.
            x.click(window, *centre("imgStart"))
            box = wait_for(lambda: [w for w in x.windows_of(app.pid) if w != window],
                           "the second report box")[0]
            x.close_box(box)
            wait_for(lambda: x.windows_of(app.pid) == [window], "the second box to close")
            check(late_untouched(), "a second RESET reset files the caption never showed")
            check(slow_status()[0] == COUNT, "a second RESET wrote to the dropped files again")

            # Once the window waits again, drops are taken.
            after = source.drop(window, *zone, uri_list(late))
            check(after.finished_accepted, "a drop after the report was not taken")
            wait_for(lambda: x.property(window, "WM_NAME")
                     == '"2 File(s)/Folder(s) selected. Click RESET"', "the late files' caption")
            # EXIT: the program ends by itself, with exit 0 and, in a sanitizer build, no report
            # (leaks are only known at exit).
            x.click(window, *centre("imgExit"))
            problem = x.ended_cleanly(app)
            check(problem is None, problem)
        finally:
            source.close()
            app.terminate()
            app.wait(timeout=10)
            browser.cleanup()
finally:
    slowfs.terminate()
    slowfs.wait(timeout=20)
    subprocess.run(["rm", "-rf", work])

finish("late drops")

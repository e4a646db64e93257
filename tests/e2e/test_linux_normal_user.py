"""The real Linux program run by a normal user (runuser -u nobody), as people run it: it reaches
its window with nothing printed, takes a file of that user's handed over on the command line,
and RESET gives that file normal attributes."""
import os
import pwd
import shutil
import subprocess
import sys
import tempfile

from layout import centre
from xsession import FakeBrowser, XServer, check, finish, require, skip, wait_for

program = sys.argv[1]


if os.geteuid() != 0:
    skip("running as another user needs root (runuser)")
require("runuser")
user = pwd.getpwnam("nobody")

# A home and a runtime folder of the user's own, as a desktop session gives every user.
home = tempfile.mkdtemp(prefix="flagwash-user-", dir=os.environ.get("TMPDIR", "/var/tmp"))
runtime = os.path.join(home, "runtime")
os.mkdir(runtime, 0o700)
hidden = os.path.join(home, "hidden report.doc")
with open(hidden, "w") as f:
    f.write("keep me")
try:
    os.setxattr(hidden, b"user.DOSATTRIB", b"0x22")
except OSError:
    shutil.rmtree(home)
    skip("this file system takes no user extended attributes")
for path in (home, runtime, hidden):
    os.chown(path, user.pw_uid, user.pw_gid)

try:
    with XServer() as x:
        browser = FakeBrowser()
        os.chmod(browser.dir, 0o777)  # the user runs it and it notes its launches there
        env = dict(browser.path_env(x.env), HOME=home, XDG_RUNTIME_DIR=runtime, USER="nobody",
                   LOGNAME="nobody")
        errors = tempfile.TemporaryFile()
        # runuser keeps the environment given to it (no -l): the session's DISPLAY and PATH.
        app = subprocess.Popen(["runuser", "-u", "nobody", "--", program, hidden], env=env,
                               stderr=errors)
        try:
            window = wait_for(lambda: (x.windows_of_class("flagwash") or [None])[0]
                              or app.poll() is not None, "the normal user's window")
            check(window is not True, "the program ended before showing its window")
            wait_for(lambda: x.property(window, "WM_NAME")
                     == '"1 File(s)/Folder(s) selected. Click RESET"', "the caption", seconds=10)
            check(os.getxattr(hidden, b"user.DOSATTRIB") == b"0x22", "reset before RESET")
            x.click(window, *centre("imgStart"))
            box = wait_for(lambda: [w for w in x.windows_of_class("flagwash") if w != window],
                           "the report box")[0]
            check(os.getxattr(hidden, b"user.DOSATTRIB") == b"0x00",
                  f"the user's file is {os.getxattr(hidden, b'user.DOSATTRIB')} after RESET")
            x.close_box(box)
            wait_for(lambda: x.property(window, "WM_NAME") in ("", '""'), "the caption to return")
            x.click(window, *centre("imgExit"))
            check(app.wait(timeout=30) == 0, f"the run ended with {app.returncode}")
        finally:
            if app.poll() is None:
                app.terminate()
                app.wait(timeout=10)
            browser.cleanup()
        errors.seek(0)
        said = errors.read().decode(errors="replace")
        check(said == "", f"the program printed:\n{said}")
finally:
    shutil.rmtree(home, ignore_errors=True)

finish("linux normal user")

"""The real Linux program under a bare Xvfb: placement, size, caption, look, fixed size."""
import os
import subprocess
import sys
import tempfile

from layout import centre
from xsession import FakeBrowser, XServer, check, finish, wait_for

program, source_dir, out_dir = sys.argv[1], sys.argv[2], sys.argv[3]
DOWNLOAD = ("http://www.quorvane.example/en/modules/mydownloads/singlefile.php?cid=2&lid=6")


def close(a, b, tolerance=10):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


with XServer() as x:
    browser = FakeBrowser()
    app, window = x.launch([program], browser.path_env(x.env))
    try:
        wait_for(lambda: browser.launches(), "the start-up page launch")
        g = x.geometry(window)
        check((g["WIDTH"], g["HEIGHT"]) == (385, 335), f"client size {g}")
        check((g["X"], g["Y"]) == ((1280 - 385) // 2, (1024 - 335) // 2), f"not centred: {g}")
        for name in ("WM_NAME", "_NET_WM_NAME"):
            value = x.property(window, name)
            check(value in ("", '""'), f"{name} is {value!r}, not empty")
        check(browser.launches() == [DOWNLOAD], f"start-up launches {browser.launches()}")

        os.makedirs(out_dir, exist_ok=True)
        from PIL import Image
        background = Image.open(os.path.join(source_dir, "app/assets/background.jpg")).convert("RGB")

        # The window is mapped before it has painted: the picture is taken once its first paint
        # shows (its top-left corner, which no control covers, is the background's).
        def painted():
            shot = x.screenshot(os.path.join(out_dir, "linux-window-screen.png"))
            client = shot.crop((g["X"], g["Y"], g["X"] + 385, g["Y"] + 335))
            return client if close(client.getpixel((5, 5)), background.getpixel((5, 5))) else None

        client = wait_for(painted, "the window's first paint", interval=0.2)
        client.save(os.path.join(out_dir, "linux-window.png"))
        # Background shows where no control draws: band, field, cross sign (Image1 hidden).
        for point in [(5, 5), (200, 25), (300, 170), (191, 179), (160, 179), (191, 150),
                      (380, 200), (100, 330)]:
            check(close(client.getpixel(point), background.getpixel(point)),
                  f"background at {point}: {client.getpixel(point)} vs {background.getpixel(point)}")
        # The drop zone is hidden: no DROP HERE teal over the cross sign.
        zone = client.crop((156, 144, 226, 214))
        teal = sum(1 for p in zone.getdata() if close(p, (0x19, 0x5C, 0x6C), 24))
        check(teal < 20, f"{teal} drop-zone teal pixels over the cross sign")

        def count_near(box, colour, tolerance):
            return sum(1 for p in client.crop(box).getdata() if close(p, colour, tolerance))

        # Label texts in their colours: headings blue, descriptions dark navy.
        check(count_near((18, 60, 178, 76), (0, 0, 192), 40) > 30, "Label1 blue text missing")
        check(count_near((18, 204, 178, 220), (0, 0, 192), 40) > 30, "Label3 blue text missing")
        check(count_near((18, 78, 369, 139), (0, 0, 64), 40) > 300, "Label4 navy text missing")
        check(count_near((18, 222, 377, 269), (0, 0, 64), 40) > 100, "Label2 navy text missing")

        # A size forced from outside is undone.
        x.run("xdotool", "windowsize", str(window), "600", "500")
        wait_for(lambda: (x.geometry(window)["WIDTH"], x.geometry(window)["HEIGHT"]) == (385, 335),
                 "the window to return to 385 x 335", seconds=10)
        check(app.poll() is None, "the program ended unexpectedly")
    finally:
        app.terminate()
        app.wait(timeout=10)
        browser.cleanup()

# At 200 % the whole window doubles, pictures included, and stays centred.
with XServer() as x:
    browser = FakeBrowser()
    app, window = x.launch([program], dict(browser.path_env(x.env), QT_SCALE_FACTOR="2"))
    try:
        g = x.geometry(window)
        check((g["WIDTH"], g["HEIGHT"]) == (770, 670), f"client size at 200 %: {g}")
        # Placed in logical pixels: half a logical pixel is one device pixel here.
        check(abs(g["X"] - (1280 - 770) // 2) <= 1 and abs(g["Y"] - (1024 - 670) // 2) <= 1,
              f"not centred: {g}")
        shot = x.screenshot(os.path.join(out_dir, "linux-window-200-screen.png"))
        shot.crop((g["X"], g["Y"], g["X"] + 770, g["Y"] + 670)).save(
            os.path.join(out_dir, "linux-window-200.png"))
    finally:
        app.terminate()
        app.wait(timeout=10)
        browser.cleanup()

# Files handed over on the command line, as a file manager's Open With does: one drop, shown in
# the caption, nothing touched before RESET; a missing path is kept for the run to report.
work = tempfile.mkdtemp(prefix="flagwash-args-", dir=os.environ.get("TMPDIR", "/var/tmp"))
hidden = os.path.join(work.encode(), b"caf\xe9 hidden.txt")
with open(hidden, "wb") as f:
    f.write(b"keep me")
xattrs = True
try:
    os.setxattr(hidden, b"user.DOSATTRIB", b"0x2")
except OSError:
    xattrs = False  # a file system without user xattrs: the caption is still checked
with XServer() as x:
    browser = FakeBrowser()
    app, window = x.launch([program, hidden, os.path.join(work.encode(), b"gone")],
                           browser.path_env(x.env))
    try:
        wait_for(lambda: x.property(window, "WM_NAME") == '"2 File(s)/Folder(s) selected. Click RESET"',
                 "the caption to count the files handed over", seconds=10)
        if xattrs:
            check(os.getxattr(hidden, b"user.DOSATTRIB") == b"0x2", "a file was reset before RESET")
        x.click(window, *centre("imgStart"))
        box = wait_for(lambda: [w for w in x.windows_of(app.pid) if w != window], "the report box")[0]
        if xattrs:
            check(os.getxattr(hidden, b"user.DOSATTRIB") == b"0x0", "RESET left the file hidden")
        x.close_box(box)
        wait_for(lambda: x.property(window, "WM_NAME") in ("", '""'), "the caption to return")
    finally:
        app.terminate()
        app.wait(timeout=10)
        browser.cleanup()
        subprocess.run(["rm", "-rf", work])

finish("linux window")

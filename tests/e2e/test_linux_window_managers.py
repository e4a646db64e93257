"""The real Linux program under real X11 window managers on Xvfb, openbox and xfwm4: no
maximize offered, nor minimize where the manager lets a window go without it (xfwm4; openbox
always offers it to normal windows), an ordinary window with its taskbar button, centred with its
frame counted (_NET_FRAME_EXTENTS), its caption empty, its size fixed also against a maximize."""
import sys

from xsession import FakeBrowser, WindowManager, XServer, check, finish, require, wait_for

program = sys.argv[1]
require("wmctrl", "xwininfo")
SCREEN = (1280, 1024)


def cardinals(text):
    return [int(v) for v in text.split(",")] if text else []


for manager in ("openbox", "xfwm4"):
    with XServer(*SCREEN) as x, WindowManager(x, manager):
        browser = FakeBrowser()
        app, window = x.launch([program], browser.path_env(x.env))
        try:
            # Managed once the manager has said what it allows.
            actions = wait_for(lambda: x.property(window, "_NET_WM_ALLOWED_ACTIONS"),
                               f"{manager} to manage the window")
            # Openbox gives every normal window a minimize button, whatever the window's Motif
            # hints ask (it leaves that function out of them on purpose), and only toolbars
            # and menus go without: a window of that type would lose its taskbar button, so
            # the window stays a normal one there and keeps openbox's minimize.
            refused = ("MAXIMIZE_HORZ", "MAXIMIZE_VERT") if manager == "openbox" else (
                "MINIMIZE", "MAXIMIZE_HORZ", "MAXIMIZE_VERT")
            for action in refused:
                check(f"_NET_WM_ACTION_{action}" not in actions,
                      f"{manager} offers {action}: {actions}")
            kind = x.property(window, "_NET_WM_WINDOW_TYPE") or "_NET_WM_WINDOW_TYPE_NORMAL"
            check(kind.strip() == "_NET_WM_WINDOW_TYPE_NORMAL", f"{manager}: window type {kind}")
            check("SKIP_TASKBAR" not in (x.property(window, "_NET_WM_STATE") or ""),
                  f"{manager}: no taskbar button")
            check("_NET_WM_ACTION_CLOSE" in actions, f"{manager} offers no close: {actions}")

            left, right, top, bottom = cardinals(x.property(window, "_NET_FRAME_EXTENTS"))
            client_x, client_y, width, height = x.position(window)
            check((width, height) == (385, 335), f"{manager}: client area {width} x {height}")
            frame = (client_x - left, client_y - top, width + left + right, height + top + bottom)
            # Centred within 2 px: the space left and right (above and below) differs by at
            # most 4 px.
            check(abs(2 * frame[0] + frame[2] - SCREEN[0]) <= 4
                  and abs(2 * frame[1] + frame[3] - SCREEN[1]) <= 4,
                  f"{manager}: frame {frame} is not centred on {SCREEN}")
            for name in ("WM_NAME", "_NET_WM_NAME"):
                value = x.property(window, name)
                check(value in ("", '""'), f"{manager}: {name} is {value!r}")

            # Asked from outside to maximize, the window keeps its size.
            x.run("wmctrl", "-i", "-r", str(window), "-b", "add,maximized_vert,maximized_horz")
            # Requests are handled in order: once the next one shows, the maximize was handled.
            x.run("wmctrl", "-i", "-r", str(window), "-b", "add,above")
            state = wait_for(lambda: "ABOVE" in (x.property(window, "_NET_WM_STATE") or "")
                             and x.property(window, "_NET_WM_STATE"),
                             f"{manager} to handle the requests")
            check("MAXIMIZED" not in state, f"{manager} maximized the window: {state}")
            check(x.position(window)[2:] == (385, 335),
                  f"{manager}: size after a maximize request {x.position(window)[2:]}")
            check(app.poll() is None, f"{manager}: the program ended")
        finally:
            app.terminate()
            app.wait(timeout=10)
            browser.cleanup()

finish("linux window managers")

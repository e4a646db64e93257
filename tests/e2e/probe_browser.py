"""Stands in for the browser: maps a window named after the page, as a GTK 3 browser does, and
notes in the file named by FLAGWASH_PROBE_LOG one line: its pid, its X window, the page and
the DESKTOP_STARTUP_ID it was given. Runs until it is ended.

usage: probe_browser.py URL"""
import os
import sys

# Read before GTK takes it out of the environment.
startup_id = os.environ.get("DESKTOP_STARTUP_ID", "-")

import gi  # noqa: E402

gi.require_version("Gtk", "3.0")
gi.require_version("GdkX11", "3.0")
from gi.repository import GdkX11, Gtk  # noqa: E402,F401

url = sys.argv[1] if len(sys.argv) > 1 else "-"
window = Gtk.Window(title=url)
window.set_default_size(320, 200)


def on_map(widget, event):
    with open(os.environ["FLAGWASH_PROBE_LOG"], "a") as log:
        log.write(f"{os.getpid()} {widget.get_window().get_xid()} {url} {startup_id}\n")
    return False


window.connect("map-event", on_map)
window.connect("destroy", Gtk.main_quit)
window.show_all()
Gtk.main()

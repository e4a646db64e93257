"""tests/e2e/drag_source.py, telling also how far the drag got, so that a gesture can wait for
the drop target instead of pausing. Besides READY when mapped and END when the drag is over,
it prints 'BEGIN' once the drag has started and 'STATUS action=<copy|move|link|none>' when the
target's answer (its XdndStatus) changes: GTK reports a change only, so a target that refuses
from the first answer on says nothing.

usage: drag_source_status.py X Y ACTIONS ITEM...   (the arguments of drag_source.py)
"""
import pathlib
import runpy
import sys

import gi

gi.require_version("Gtk", "3.0")
gi.require_version("Gdk", "3.0")
from gi.repository import Gdk, GObject, Gtk  # noqa: E402

NAMES = {Gdk.DragAction.COPY: "copy", Gdk.DragAction.MOVE: "move", Gdk.DragAction.LINK: "link"}


def on_action_changed(context, action):
    print(f"STATUS action={NAMES.get(action, 'none')}", flush=True)


def on_drag_begin(widget, context):
    print("BEGIN", flush=True)
    context.connect("action-changed", on_action_changed)
    return True


GObject.add_emission_hook(Gtk.Widget, "drag-begin", on_drag_begin)
source = pathlib.Path(__file__).resolve().parent.parent / "e2e" / "drag_source.py"
sys.argv[0] = str(source)
runpy.run_path(str(source), run_name="__main__")

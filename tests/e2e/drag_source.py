"""A separate X client to drag files from: a small undecorated GTK 3 window offering
text/uri-list. Prints READY when mapped, then what the drop target answered:
'END action=<copy|move|link|none> deleted=<yes|no>'.

usage: drag_source.py X Y ACTIONS ITEM...   (ACTIONS: e.g. copy,move or move; an ITEM is a
URI, or a local path turned into a file URI)
"""
import sys

import gi

gi.require_version("Gtk", "3.0")
gi.require_version("Gdk", "3.0")
from gi.repository import Gdk, GLib, Gtk  # noqa: E402

x, y, actions = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
uris = [item if "://" in item else GLib.filename_to_uri(item, None) for item in sys.argv[4:]]
names = {"copy": Gdk.DragAction.COPY, "move": Gdk.DragAction.MOVE, "link": Gdk.DragAction.LINK}
offered = Gdk.DragAction(0)
for name in actions.split(","):
    offered |= names[name]

window = Gtk.Window(type=Gtk.WindowType.TOPLEVEL)
window.set_decorated(False)
window.set_default_size(120, 80)
window.move(x, y)
box = Gtk.EventBox()
box.add(Gtk.Label(label="drag me"))
window.add(box)

box.drag_source_set(Gdk.ModifierType.BUTTON1_MASK, [], offered)
box.drag_source_add_uri_targets()
deleted = []


def on_get(widget, context, selection, info, time):
    selection.set_uris(uris)


def on_delete(widget, context):
    deleted.append(True)


def on_end(widget, context):
    action = context.get_selected_action()
    label = {Gdk.DragAction.COPY: "copy", Gdk.DragAction.MOVE: "move",
             Gdk.DragAction.LINK: "link"}.get(action, "none")
    # drag-data-delete, if it comes, comes before drag-end.
    print(f"END action={label} deleted={'yes' if deleted else 'no'}", flush=True)
    GLib.timeout_add(200, Gtk.main_quit)


box.connect("drag-data-get", on_get)
box.connect("drag-data-delete", on_delete)
box.connect("drag-end", on_end)
window.connect("map-event", lambda *a: print("READY", flush=True))
window.show_all()
Gtk.main()

"""A drag source without a mouse: raw XDND (version 5) client messages from an X client of its
own, at the moment a test chooses, with exactly the text/uri-list bytes it chooses.

    source = XdndSource(display)
    answer = source.drop(window_id, root_x, root_y, b"file:///a\\r\\n")
    answer.accepted   # any XdndStatus said the drop would be taken
    answer.finished   # XdndFinished came; answer.finished_accepted: the drop was taken
"""
import select
import time

from Xlib import X, Xatom, display
from Xlib.protocol import event


class Answer:
    def __init__(self):
        self.statuses = []  # (accepted, action atom) of each XdndStatus
        self.finished = False
        self.finished_accepted = False
        self.data_requests = 0

    @property
    def accepted(self):
        return any(accepted for accepted, _ in self.statuses)


class XdndSource:
    def __init__(self, display_name):
        self.display = display.Display(display_name)
        screen = self.display.screen()
        self.window = screen.root.create_window(0, 0, 1, 1, 0, screen.root_depth)
        atom = lambda name: self.display.intern_atom(name)  # noqa: E731
        self.atoms = {name: atom(name) for name in (
            "XdndAware", "XdndEnter", "XdndPosition", "XdndStatus", "XdndLeave", "XdndDrop",
            "XdndFinished", "XdndSelection", "XdndActionCopy", "text/uri-list", "TARGETS")}
        self.data = b""

    def close(self):
        self.display.close()

    def _send(self, target, kind, values):
        message = event.ClientMessage(window=target, client_type=self.atoms[kind],
                                      data=(32, values + [0] * (5 - len(values))))
        target.send_event(message, event_mask=0, propagate=False)
        self.display.flush()

    def _serve(self, request, answer):
        """Answers a request for the dragged data, as a selection owner must."""
        prop = request.property or request.target
        if request.target == self.atoms["text/uri-list"]:
            request.requestor.change_property(prop, request.target, 8, self.data)
            answer.data_requests += 1
        elif request.target == self.atoms["TARGETS"]:
            request.requestor.change_property(prop, Xatom.ATOM, 32, [self.atoms["text/uri-list"]])
        else:
            prop = X.NONE
        notify = event.SelectionNotify(time=request.time, requestor=request.requestor,
                                       selection=request.selection, target=request.target,
                                       property=prop)
        request.requestor.send_event(notify)
        self.display.flush()

    def _wait(self, answer, kind, seconds):
        """Handles events until a client message of that kind comes; False on timeout."""
        deadline = time.monotonic() + seconds
        while True:
            while self.display.pending_events():
                e = self.display.next_event()
                if e.type == X.SelectionRequest:
                    self._serve(e, answer)
                elif e.type == X.ClientMessage and e.client_type == self.atoms[kind]:
                    values = e.data[1]
                    if kind == "XdndStatus":
                        answer.statuses.append((bool(values[1] & 1), values[4]))
                    else:
                        answer.finished = True
                        answer.finished_accepted = bool(values[1] & 1)
                    return True
            left = deadline - time.monotonic()
            if left <= 0:
                return False
            select.select([self.display.fileno()], [], [], min(left, 0.1))

    def drop(self, target_id, x, y, data, seconds=20):
        """Enters the target, moves to (x, y) twice (the first move may only bring up the
        place to drop on), drops there, and returns what the target answered."""
        answer = Answer()
        self.data = data
        target = self.display.create_resource_object("window", target_id)
        self.window.set_selection_owner(self.atoms["XdndSelection"], X.CurrentTime)
        self._send(target, "XdndEnter", [self.window.id, 5 << 24, self.atoms["text/uri-list"]])
        for _ in range(2):
            self._send(target, "XdndPosition", [self.window.id, 0, (x << 16) | y, X.CurrentTime,
                                                self.atoms["XdndActionCopy"]])
            if not self._wait(answer, "XdndStatus", seconds):
                raise AssertionError("the drop target sent no XdndStatus")
        # A hostile source drops whatever the target said.
        self._send(target, "XdndDrop", [self.window.id, 0, X.CurrentTime])
        self._wait(answer, "XdndFinished", seconds)
        return answer

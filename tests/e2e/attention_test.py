#!/usr/bin/python3
"""A ringing window that the user is not looking at asks the desktop for attention
(_NET_WM_STATE_DEMANDS_ATTENTION, which task bars show), and drops the request when
解除 ends the ringing. The requests are read as a window manager reads them: as client
messages to the root window."""

import time
import unittest

import harness
from harness.ringing import cancel, schedule_soon

try:
    from Xlib import X, display
    from Xlib.protocol import event as xevent
except ImportError:
    display = None

ADD, REMOVE = 1, 0


@unittest.skipIf(display is None, "python3-xlib is not installed")
class AttentionTest(harness.DesktopTestCase):
    def test_ringing_asks_for_attention_until_cancel(self):
        app = self.start_app()
        x = display.Display(self.desktop.display)
        root = x.screen().root
        root.change_attributes(event_mask=X.StructureNotifyMask)
        state = x.intern_atom("_NET_WM_STATE")
        attention = x.intern_atom("_NET_WM_STATE_DEMANDS_ATTENTION")
        window = int(app.window)

        def requests(until):
            seen = []
            while time.time() < until:
                while x.pending_events():
                    e = x.next_event()
                    if (isinstance(e, xevent.ClientMessage) and e.window.id == window
                            and e.client_type == state and attention in e.data[1][1:3]):
                        seen.append(e.data[1][0])
                time.sleep(0.02)
            return seen

        target = schedule_soon(app, by_atspi=True)
        # The user is elsewhere: another window has the keyboard.
        elsewhere = root.create_window(0, 0, 50, 50, 0, x.screen().root_depth)
        elsewhere.map()
        x.sync()
        elsewhere.set_input_focus(X.RevertToParent, X.CurrentTime)
        x.sync()
        self.assertEqual(requests(target - 0.2), [], "asked for attention before ringing")
        self.assertEqual(requests(target + 1.0), [ADD], "no request for attention while ringing")
        cancel(app, by_atspi=True)
        self.assertEqual(requests(time.time() + 0.5), [REMOVE], "解除 kept the request")
        app.assert_healthy()


if __name__ == "__main__":
    harness.main()

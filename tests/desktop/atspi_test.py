"""The real window as a screen reader and a keyboard-only user meet it: through
AT-SPI on a private accessibility bus, with keys typed into the X server.

Controls are told apart by where they sit in the window, not by what they say,
so that a wrong caption or description is a failure rather than a lookup error.
"""

import os
import re
import unittest
import warnings

from xsession import XSession, wait_for

BINARY = os.environ["VELLOMARIN_BINARY"]


TIME_TEXT = re.compile(r"^(1?[0-9]|2[0-3])時[0-5][0-9]分[0-5][0-9]秒$")
JAPANESE = re.compile(r"[\u3040-\u30ff\u4e00-\u9fff]")

TAB_ORDER = ["P5", "P10", "Picture1", "Picture2", "Cancel", "Hou", "Min", "Sec", "Settei"]


class AtSpiTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = XSession(accessibility=True).__enter__()
        cls.addClassCleanup(cls.session.close)
        # libatspi finds the bus through the environment on first use.
        cls.session.adopt_environment()
        # pyatspi's own calls into libatspi warn of deprecation; not ours to fix. Set
        # here, since the test runner resets the filters before running the tests.
        warnings.filterwarnings("ignore", category=DeprecationWarning, module="pyatspi")
        warnings.filterwarnings("ignore", category=ImportWarning)
        import pyatspi
        cls.pyatspi = pyatspi
        # Where each control sits, in window pixels; the role tells a label in a
        # picture box from the filler it lies on.
        cls.PLACES = {
            "P5": (pyatspi.ROLE_PUSH_BUTTON, 8, 80),
            "P10": (pyatspi.ROLE_PUSH_BUTTON, 72, 80),
            "Cancel": (pyatspi.ROLE_PUSH_BUTTON, 136, 80),
            "Settei": (pyatspi.ROLE_PUSH_BUTTON, 8, 144),
            "Hou": (pyatspi.ROLE_TEXT, 8, 112),
            "Min": (pyatspi.ROLE_TEXT, 72, 112),
            "Sec": (pyatspi.ROLE_TEXT, 136, 112),
            "Picture1": (pyatspi.ROLE_FRAME, 8, 8),
            "Picture2": (pyatspi.ROLE_FRAME, 48, 48),
            "PANEL": (pyatspi.ROLE_LABEL, 10, 10),
            "YOTEI": (pyatspi.ROLE_LABEL, 50, 50),
            "Ji": (pyatspi.ROLE_LABEL, 40, 120),
            "Fun": (pyatspi.ROLE_LABEL, 104, 120),
            "Byou": (pyatspi.ROLE_LABEL, 168, 120),
        }

    def setUp(self):
        self.app = self.session.start([BINARY])
        self.window = self.session.window_of(self.app, "Vellomarin")
        self.controls = wait_for(self.find_controls, "every control on the accessibility bus")
        # Keys go to the window with the X input focus; there is no window manager
        # to give it.
        self.session.x("xdotool", "windowfocus", "--sync", self.window)
        self.wait_for_focus("P5")

    def tearDown(self):
        self.app.terminate()
        self.app.wait()

    def find_controls(self):
        desktop = self.pyatspi.Registry.getDesktop(0)
        apps = [a for a in desktop if a is not None and a.get_process_id() == self.app.pid]
        if not apps or apps[0].childCount == 0:
            return None
        top = apps[0][0]
        origin = top.queryComponent().getExtents(self.pyatspi.DESKTOP_COORDS)
        found = {}
        pending = list(top)
        while pending:
            node = pending.pop()
            pending.extend(node)
            place = node.queryComponent().getExtents(self.pyatspi.DESKTOP_COORDS)
            key = (node.getRole(), place.x - origin.x, place.y - origin.y)
            for name, where in self.PLACES.items():
                if where == key:
                    found[name] = node
        return found if len(found) == len(self.PLACES) else None

    def read(self, name, what="name"):
        node = self.controls[name]
        node.clear_cache()  # changes come as events; nothing here runs a loop for them
        if what == "name":
            return node.name
        if what == "description":
            return node.description
        return node.getState().contains(what)

    def focused(self):
        return [n for n in self.controls if self.read(n, self.pyatspi.STATE_FOCUSED)]

    def wait_for_focus(self, name):
        wait_for(lambda: self.focused() == [name], f"the focus on {name}")

    def key(self, *keys):
        # Through XTEST, as a keyboard would: events sent to a window instead carry
        # their own modifier state, and Qt may read a shift+Tab as a Tab.
        self.session.x("xdotool", "key", "--clearmodifiers", *keys)

    def tab_to(self, name):
        for _ in range(len(TAB_ORDER)):
            if self.focused() == [name]:
                return
            current = self.focused()
            self.key("Tab")
            wait_for(lambda: self.focused() != current, "the focus to move")
        self.assertEqual(self.focused(), [name])

    def test_controls_are_named_and_described(self):
        rows = [
            # control, name (a pattern where it changes), can take the focus
            ("P5", "３分後", True),
            ("P10", "５分後", True),
            ("Cancel", "解除", True),
            ("Settei", "設定", True),
            # A box is named by its unit label, a picture box by the text it frames.
            ("Hou", "時", True),
            ("Min", "分", True),
            ("Sec", "秒", True),
            ("Picture1", TIME_TEXT, True),
            ("Picture2", "", True),
            ("PANEL", TIME_TEXT, False),
            ("YOTEI", "", False),
            ("Ji", "時", False),
            ("Fun", "分", False),
            ("Byou", "秒", False),
        ]
        descriptions = set()
        for control, name, focusable in rows:
            with self.subTest(control=control):
                if isinstance(name, str):
                    self.assertEqual(self.read(control), name)
                else:
                    self.assertRegex(self.read(control), name)
                description = self.read(control, "description")
                self.assertRegex(description, JAPANESE)
                descriptions.add(description)
                self.assertEqual(self.read(control, self.pyatspi.STATE_FOCUSABLE), focusable)
                self.assertTrue(self.read(control, self.pyatspi.STATE_SHOWING))
        self.assertEqual(len(descriptions), len(rows), "no two controls are described alike")

    def test_clock_is_read_as_it_ticks(self):
        first = self.read("PANEL")
        self.assertRegex(first, TIME_TEXT)
        later = wait_for(lambda: self.read("PANEL") != first and self.read("PANEL"),
                         "the clock to tick")
        self.assertRegex(later, TIME_TEXT)

    def test_tab_and_shift_tab_visit_every_control_in_order(self):
        # Round the window and back to P5, then round the other way.
        for previous, following in zip(TAB_ORDER, TAB_ORDER[1:] + TAB_ORDER[:1]):
            with self.subTest(tab_from=previous):
                self.key("Tab")
                self.wait_for_focus(following)
        backwards = TAB_ORDER[:1] + TAB_ORDER[:0:-1]
        for following, previous in zip(backwards, backwards[1:] + backwards[:1]):
            with self.subTest(shift_tab_from=following):
                self.key("shift+Tab")
                self.wait_for_focus(previous)

    def test_space_presses_the_focused_button(self):
        seven = re.compile("^7時")
        steps = [
            # typed into Hou first, the button given the focus, then YOTEI (None:
            # some time) and P5's caption. Every press changes one of the two, so
            # each shows that the press arrived.
            (None, "P5", None, "３分後"),
            (None, "Cancel", "", "３分後"),
            (None, "P10", None, "３分後"),
            ("7", "Settei", seven, "３分後"),
            (None, "Settei", seven, "１０分後"),  # nothing typed: the presets step up
            (None, "Cancel", "", "３分後"),
        ]
        for typed, button, yotei, p5 in steps:
            with self.subTest(typed=typed, press=button, p5=p5):
                if typed:
                    self.tab_to("Hou")
                    self.key(*typed)
                    wait_for(lambda: self.box_text("Hou") == typed, f"{typed} in Hou")
                before = self.read("YOTEI"), self.read("P5")
                self.tab_to(button)
                self.key("space")
                wait_for(lambda: self.yotei_matches(yotei) and self.read("P5") == p5 and
                         (self.read("YOTEI"), self.read("P5")) != before, f"{button} to act")
                self.assertEqual(self.focused(), [button], "the focus stays")

    def box_text(self, name):
        self.controls[name].clear_cache()
        return self.controls[name].queryText().getText(0, -1)

    def yotei_matches(self, want):
        text = self.read("YOTEI")
        if want is None:
            return bool(TIME_TEXT.match(text))
        if isinstance(want, str):
            return text == want
        return bool(want.match(text)) and bool(TIME_TEXT.match(text))

    def test_screen_reader_can_press_buttons(self):
        for button, yotei in (("P10", None), ("Cancel", "")):
            with self.subTest(button=button):
                action = self.controls[button].queryAction()
                names = [action.getName(i) for i in range(action.nActions)]
                self.assertIn("Press", names)
                action.doAction(names.index("Press"))
                wait_for(lambda: self.yotei_matches(yotei), f"{button} to act")


if __name__ == "__main__":
    unittest.main(verbosity=2)

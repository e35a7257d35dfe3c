"""The real window as a screen reader and a keyboard-only user meet it: through
AT-SPI on a private accessibility bus, with keys typed into the X server.

Controls are told apart by where they sit in the window, not by what they say,
so that a wrong caption or description is a failure rather than a lookup error.
"""

import re

import harness
from harness import TAB_ORDER, wait_for

TIME_TEXT = re.compile(r"^(1?[0-9]|2[0-3])時[0-5][0-9]分[0-5][0-9]秒$")
JAPANESE = re.compile(r"[\u3040-\u30ff\u4e00-\u9fff]")


class AtSpiTest(harness.DesktopTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.pyatspi = harness.atspi.pyatspi()

    def setUp(self):
        # The controls are found by their role and place (harness.CONTROLS).
        self.app = self.start_app()
        self.controls = self.app.controls
        # Keys go to the window with the X input focus; there is no window manager
        # to give it.
        self.app.focus_window()
        self.wait_for_focus("P5")

    def read(self, name, what="name"):
        node = self.controls[name]
        node.clear_cache()  # changes come as events; nothing here runs a loop for them
        if what == "name":
            return node.name
        if what == "description":
            return node.description
        return node.getState().contains(what)

    def focused(self):
        return self.app.focused()

    def wait_for_focus(self, name):
        wait_for(lambda: self.focused() == [name], f"the focus on {name}")

    def key(self, *keys):
        self.app.key(*keys)

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
        return self.app.text(name)

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
    harness.main()

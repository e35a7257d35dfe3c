#!/usr/bin/python3
"""The keyboard, through the X server: Tab and Shift+Tab walk the controls in their
order, and Enter or Esc in a box clicks no button."""

import harness
from harness import BOXES, TAB_ORDER, Timeout, wait_for

START = "@2026-12-08 14:00:00"
KEYS = ["Return", "KP_Enter", "Escape"]
SCHEDULED = "1時02分03秒"  # set before the keys; no button would leave it so


class KeyboardTest(harness.DesktopTestCase):
    def setUp(self):
        self.app = self.start_app(faketime=START)
        self.app.focus_window()

    def walk(self, key, order):
        """Presses `key` once per step, checking where the focus goes."""
        app = self.app
        for want in order:
            previous = app.focused()
            app.key(key)
            try:
                wait_for(lambda: app.focused() not in ([], previous), f"{key} to move the focus",
                         10)
            except Timeout:
                pass
            with self.subTest(key=key, start=previous):
                self.assertEqual(app.focused(), [want])

    def test_tab_and_shift_tab_walk_the_controls_in_order(self):
        start_focus = wait_for(self.app.focused, "a control with the focus", 10)
        self.assertEqual(start_focus, ["P5"], "the focus when the window opens")
        self.walk("Tab", TAB_ORDER[1:] + TAB_ORDER[:1])
        self.walk("shift+Tab", list(reversed(TAB_ORDER)))
        self.app.assert_healthy()

    def test_enter_and_escape_in_a_box_press_no_button(self):
        app = self.app
        # A known alarm, then text in every box: a click of 設定 would replace the alarm
        # and empty the boxes, of 解除 clear it, of P5 or P10 move it to 14:0x.
        for box, text in zip(BOXES, ("1", "2", "3")):
            app.type_into(box, text)
        app.click_control("Settei")
        wait_for(lambda: app.text("YOTEI") == SCHEDULED, f"YOTEI to read {SCHEDULED}", 10)
        typed = dict(zip(BOXES, ("7", "8", "9")))
        for box, text in typed.items():
            app.type_into(box, text)
            wait_for(lambda: app.text(box) == text, f"{box} to hold {text}", 10)

        for box in BOXES:
            for key in KEYS:
                with self.subTest(box=box, key=key):
                    app.click_control(box)
                    app.key("End", key)
                    # Typing after the key proves the key was handled: events come in order.
                    app.type_text("0")
                    wait_for(lambda: app.text(box) == typed[box] + "0",
                             f"{box} to take a 0 after {key}", 10)
                    app.key("BackSpace")
                    wait_for(lambda: app.text(box) == typed[box], f"{box} to lose the 0", 10)
                    self.assertEqual(app.texts("YOTEI", "P5", "P10", *BOXES),
                                     dict(typed, YOTEI=SCHEDULED, P5="３分後", P10="５分後"),
                                     f"{key} in {box} changed the window")
                    self.assertEqual(app.focused(), [box], f"{key} in {box} moved the focus")
        app.assert_healthy()


if __name__ == "__main__":
    harness.main()

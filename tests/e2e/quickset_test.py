#!/usr/bin/python3
"""The quick-set buttons, clicked with the mouse while libfaketime sets the wall clock:
the minutes carry over the hour and midnight, "設定" with empty boxes steps the buttons
up to 50/55 minutes and no further, and "解除" puts them back."""

import harness
from harness import wait_for

DAY = "2026-12-08"
LEAD = 3  # seconds the faked clock starts early, so the click lands on the row's time

# (clock when clicked, button, YOTEI afterwards)
CARRY_ROWS = [
    ((9, 58, 30), "P5", "10時01分30秒"),
    ((9, 58, 30), "P10", "10時03分30秒"),
    ((23, 57, 0), "P10", "0時02分00秒"),
    ((23, 57, 0), "P5", "0時00分00秒"),
    ((12, 5, 59), "P5", "12時08分59秒"),
]

# (clicks of "設定" with every box empty so far, P5's caption, P10's caption)
STEP_ROWS = [
    (1, "１０分後", "１５分後"),
    (2, "２０分後", "２５分後"),
    (3, "３０分後", "３５分後"),
    (4, "４０分後", "４５分後"),
    (5, "５０分後", "５５分後"),
    (6, "５０分後", "５５分後"),
    (7, "５０分後", "５５分後"),
]
START = (9, 58, 30)


def faked_start(hms):
    h, m, s = harness.add_seconds(hms, -LEAD)
    # The day before midnight's rows does not matter: only the time of day is shown.
    return f"@{DAY} {h:02d}:{m:02d}:{s:02d}"


def click_at(app, hms, button):
    """Clicks `button` while the clock shows hms; returns YOTEI once it is written."""
    app.wait_for_panel(hms)
    app.click_control(button)
    return wait_for(lambda: app.text("YOTEI"), f"YOTEI after clicking {button}", 10)


class QuickSetTest(harness.DesktopTestCase):
    def test_minutes_carry_over_the_hour_and_midnight(self):
        for clock, button, expected in CARRY_ROWS:
            with self.subTest(button=button, clock=harness.time_text(*clock)):
                app = self.start_app(faketime=faked_start(clock))
                self.assertEqual(click_at(app, clock, button), expected, "YOTEI")
                app.assert_healthy()
                app.stop()

    def test_settei_with_empty_boxes_steps_the_presets_up_to_50_and_55(self):
        app = self.start_app(faketime=faked_start(START))
        for clicks, p5, p10 in STEP_ROWS:
            with self.subTest(clicks=clicks):
                before = app.texts("P5", "P10")
                app.click_control("Settei")
                if (before["P5"], before["P10"]) != (p5, p10):
                    wait_for(lambda: app.text("P5") != before["P5"],
                             f"P5 to change on click {clicks}", 10)
                else:
                    # At the top nothing changes; a later click proves this one was handled.
                    app.click_control("Hou")
                    wait_for(lambda: app.focused() == ["Hou"], "the focus to reach Hou", 10)
                self.assertEqual(app.texts("P5", "P10", "YOTEI"),
                                 {"P5": p5, "P10": p10, "YOTEI": ""})
        app.assert_healthy()

    def test_top_preset_sets_55_minutes_and_cancel_puts_the_buttons_back(self):
        app = self.start_app(faketime=faked_start(START))
        for _ in range(5):
            app.click_control("Settei")
        wait_for(lambda: app.text("P5") == "５０分後", "P5 to read ５０分後", 10)
        self.assertEqual(click_at(app, START, "P10"), "10時53分30秒",
                         "P10 at level ５５分後 at 9時58分30秒")
        app.click_control("Cancel")
        wait_for(lambda: app.text("YOTEI") == "", "解除 to clear YOTEI", 10)
        self.assertEqual(app.texts("P5", "P10"), {"P5": "３分後", "P10": "５分後"},
                         "the buttons after 解除")
        app.assert_healthy()


if __name__ == "__main__":
    harness.main()

#!/usr/bin/python3
"""Times typed into the hour, minute and second boxes and set with "設定", good and bad,
typed and clicked as a person would, on a wall clock started at 10:23:45 by
libfaketime."""

import harness
from harness import BOXES, wait_for

START = "@2026-12-08 10:23:45"
LONG_NINES = "9" * 400  # about 1e400: beyond a double, so unusable
LONG_ZEROS = "0" * 300 + "5"  # still 5
LONG_JUNK = "x" * 300  # reads as 0

# Typed into Hou, Min, Sec (empty: left alone), then 設定. YOTEI afterwards, where {h}
# and {m} stand for the clock's hour and minute when clicked; None when no box is usable
# and the click steps the quick-set buttons instead.
ROWS = [
    ("7", "", "", "7時{m}分00秒"),
    ("6", "30", "15", "6時30分15秒"),
    ("", "5", "", "{h}時05分00秒"),
    ("", "", "9", "{h}時{m}分09秒"),
    ("23", "59", "59", "23時59分59秒"),
    ("0", "0", "0", "0時00分00秒"),
    # The leading number counts: blanks anywhere are skipped, the rest after it ignored.
    ("5x", "", "", "5時{m}分00秒"),
    (" 1 2", "", "", "12時{m}分00秒"),
    ("1e1", "", "", "10時{m}分00秒"),
    (LONG_ZEROS, "", "", "5時{m}分00秒"),
    # Text with no number in front reads as 0, which is a usable hour.
    ("abc", "", "", "0時{m}分00秒"),
    (LONG_JUNK, "", "", "0時{m}分00秒"),
    ("-0", "", "", "0時{m}分00秒"),
    # Fractions round to the nearest, a half to the even side.
    ("7.5", "", "", "8時{m}分00秒"),
    ("2.5", "", "", "2時{m}分00秒"),
    ("", "", "58.6", "{h}時{m}分59秒"),
    # Out of range in one box: that box is dropped, the others used.
    ("24", "30", "", "{h}時30分00秒"),
    ("3", "-1", "7", "3時{m}分07秒"),
    # Nothing usable at all.
    ("-1", "", "", None),
    ("24", "", "", None),
    ("23.6", "", "", None),
    ("", "60", "", None),
    ("", "99999999999999999999999", "", None),
    ("", "", "1e999", None),
    (LONG_NINES, "", "", None),
    ("-5", "-5", "-5", None),
]


def short(text):
    return text if len(text) <= 24 else f"{text[:10]}...({len(text)} chars)"


def try_row(app, typed):
    """Types the row, clicks 設定; returns (YOTEI, P5, the clock's (h, m) before and after)."""
    for box, text in zip(BOXES, typed):
        if text:
            app.type_into(box, text)
            wait_for(lambda: app.text(box) == text, f"{box} to hold {short(text)!r}", 60)
    before = harness.parse_time_text(app.text("PANEL"))
    app.click_control("Settei")
    # The click empties every box before it writes anything else.
    wait_for(lambda: all(app.text(b) == "" for b in BOXES), "設定 to empty the boxes", 20)
    after = harness.parse_time_text(app.text("PANEL"))
    return app.text("YOTEI"), app.text("P5"), before[:2], after[:2]


class EntryTest(harness.DesktopTestCase):
    def test_typed_times_set_the_alarm_or_step_the_presets(self):
        app = self.start_app(faketime=START)
        app.focus_window()
        for number, (*typed, expected) in enumerate(ROWS):
            with self.subTest(" / ".join(short(t) or "-" for t in typed)):
                for attempt in range(2):
                    # From 解除 each time: a second click of 設定 on a row with nothing
                    # usable would step the presets twice.
                    app.click_control("Cancel")
                    wait_for(lambda: app.text("YOTEI") == "" and app.text("P5") == "３分後",
                             "解除", 10)
                    yotei, p5, before, after = try_row(app, typed)
                    if before == after:
                        break
                    # The minute turned during the click: which one it read is unknown;
                    # again.
                h, m = before
                if number == 0:
                    with self.subTest("the clock of the first row"):
                        self.assertEqual((h, m), (10, 23), "the first row ran within 10:23")
                if expected is None:
                    # No alarm, and P5 stepped to １０分後.
                    self.assertEqual((yotei, p5), ("", "１０分後"), "YOTEI, P5")
                else:
                    self.assertEqual((yotei, p5), (expected.format(h=h, m=f"{m:02d}"), "３分後"),
                                     "YOTEI, P5")
                app.assert_healthy()


if __name__ == "__main__":
    harness.main()

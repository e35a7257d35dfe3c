#!/usr/bin/python3
"""Times typed into the hour, minute and second boxes and set with "設定", good and bad,
typed and clicked as a person would, on a wall clock started at 10:23:45 by
libfaketime."""

import vmharness as vm

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

BOXES = ("Hou", "Min", "Sec")


def short(text):
    return text if len(text) <= 24 else f"{text[:10]}...({len(text)} chars)"


def try_row(s, typed):
    """Types the row, clicks 設定; returns (YOTEI, P5, the clock's (h, m) before and after)."""
    for box, text in zip(BOXES, typed):
        if text:
            s.type_into(box, text)
            s.wait_for(lambda: s.text(box) == text, 60, f"{box} to hold {short(text)!r}")
    before = vm.parse_time_text(s.text("PANEL"))
    s.click_control("Settei")
    # The click empties every box before it writes anything else.
    s.wait_for(lambda: all(s.text(b) == "" for b in BOXES), 20, "設定 to empty the boxes")
    after = vm.parse_time_text(s.text("PANEL"))
    return s.text("YOTEI"), s.text("P5"), before[:2], after[:2]


def body(s):
    s.start_x()
    s.start_accessibility()
    s.start_app(faketime=START)
    s.focus_window()

    failures = []
    for number, (*typed, expected) in enumerate(ROWS):
        s.click_control("Cancel")
        s.wait_for(lambda: s.text("YOTEI") == "" and s.text("P5") == "３分後", 10, "解除")
        for attempt in range(2):
            yotei, p5, before, after = try_row(s, typed)
            if before == after:
                break
            # The minute turned during the click: which one it read is unknown; again.
        h, m = before
        label = " / ".join(short(t) or "-" for t in typed)
        if number == 0 and (h, m) != (10, 23):
            failures.append(f"the first row ran at {h}:{m:02d}, not within 10:23")
        if expected is None:
            if (yotei, p5) != ("", "１０分後"):
                failures.append(f"{label}: expected no alarm and P5 stepped to １０分後, got "
                                f"YOTEI {yotei!r}, P5 {p5!r}")
        else:
            want = expected.format(h=h, m=f"{m:02d}")
            if (yotei, p5) != (want, "３分後"):
                failures.append(f"{label}: expected YOTEI {want!r} and P5 ３分後, got "
                                f"YOTEI {yotei!r}, P5 {p5!r}")
        s.assert_app_healthy()

    vm.check(not failures, "\n".join(failures))


vm.run(body)

#!/usr/bin/python3
"""The quick-set buttons, clicked with the mouse while libfaketime sets the wall clock:
the minutes carry over the hour and midnight, "設定" with empty boxes steps the buttons
up to 50/55 minutes and no further, and "解除" puts them back."""

import vmharness as vm

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


def faked_start(hms):
    h, m, s = vm.add_seconds(hms, -LEAD)
    # The day before midnight's rows does not matter: only the time of day is shown.
    return f"@{DAY} {h:02d}:{m:02d}:{s:02d}"


def click_at(s, hms, button):
    """Clicks `button` while the clock shows hms; returns YOTEI once it is written."""
    s.wait_for_panel(hms)
    s.click_control(button)
    return s.wait_for(lambda: s.text("YOTEI"), 10, f"YOTEI after clicking {button}")


def body(s):
    s.start_x()
    s.start_accessibility()

    failures = []
    for clock, button, expected in CARRY_ROWS:
        s.start_app(faketime=faked_start(clock))
        got = click_at(s, clock, button)
        if got != expected:
            failures.append(f"{button} at {vm.time_text(*clock)}: YOTEI {got!r}, "
                            f"expected {expected!r}")
        s.assert_app_healthy()
        s.stop_app()

    # The presets: 設定 with empty boxes, then the top preset across the hour, then 解除.
    start = (9, 58, 30)
    s.start_app(faketime=faked_start(start))
    for clicks, p5, p10 in STEP_ROWS:
        before = s.texts("P5", "P10")
        s.click_control("Settei")
        if (before["P5"], before["P10"]) != (p5, p10):
            s.wait_for(lambda: s.text("P5") != before["P5"], 10, f"P5 to change on click {clicks}")
        else:
            # At the top nothing changes; a later click proves this one was handled.
            s.click_control("Hou")
            s.wait_for(lambda: s.focused() == "Hou", 10, "the focus to reach Hou")
        got = s.texts("P5", "P10", "YOTEI")
        if got != {"P5": p5, "P10": p10, "YOTEI": ""}:
            failures.append(f"after {clicks} clicks of 設定 with empty boxes: {got}")

    s.stop_app()
    s.start_app(faketime=faked_start(start))
    for _ in range(5):
        s.click_control("Settei")
    s.wait_for(lambda: s.text("P5") == "５０分後", 10, "P5 to read ５０分後")
    got = click_at(s, start, "P10")
    if got != "10時53分30秒":
        failures.append(f"P10 at level ５５分後 at 9時58分30秒: YOTEI {got!r}")

    s.click_control("Cancel")
    s.wait_for(lambda: s.text("YOTEI") == "", 10, "解除 to clear YOTEI")
    got = s.texts("P5", "P10")
    if got != {"P5": "３分後", "P10": "５分後"}:
        failures.append(f"解除 left the buttons as {got}")
    s.assert_app_healthy()

    vm.check(not failures, "\n".join(failures))


vm.run(body)

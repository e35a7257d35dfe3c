#!/usr/bin/python3
"""The keyboard, through the X server: Tab and Shift+Tab walk the controls in their
order, and Enter or Esc in a box clicks no button."""

import vmharness as vm

START = "@2026-12-08 14:00:00"
TAB_ORDER = ["P5", "P10", "Picture1", "Picture2", "Cancel", "Hou", "Min", "Sec", "Settei"]
KEYS = ["Return", "KP_Enter", "Escape"]
BOXES = ("Hou", "Min", "Sec")
SCHEDULED = "1時02分03秒"  # set before the keys; no button would leave it so


def walk(s, key, order):
    """Presses `key` once per step; returns the (expected, got) pairs that differ."""
    wrong = []
    for want in order:
        previous = s.focused()
        s.key(key)
        try:
            s.wait_for(lambda: s.focused() not in (None, previous), 10, f"{key} to move the focus")
        except vm.Failure:
            pass
        got = s.focused()
        if got != want:
            wrong.append(f"{key} from {previous}: focus on {got}, expected {want}")
    return wrong


def body(s):
    s.start_x()
    s.start_accessibility()
    s.start_app(faketime=START)
    s.focus_window()
    failures = []

    start_focus = s.wait_for(s.focused, 10, "a control with the focus")
    if start_focus != "P5":
        failures.append(f"the window opens with the focus on {start_focus}, not P5")
    failures += walk(s, "Tab", TAB_ORDER[1:] + TAB_ORDER[:1])
    failures += walk(s, "shift+Tab", list(reversed(TAB_ORDER)))

    # A known alarm, then text in every box: a click of 設定 would replace the alarm
    # and empty the boxes, of 解除 clear it, of P5 or P10 move it to 14:0x.
    for box, text in zip(BOXES, ("1", "2", "3")):
        s.type_into(box, text)
    s.click_control("Settei")
    s.wait_for(lambda: s.text("YOTEI") == SCHEDULED, 10, f"YOTEI to read {SCHEDULED}")
    typed = dict(zip(BOXES, ("7", "8", "9")))
    for box, text in typed.items():
        s.type_into(box, text)
        s.wait_for(lambda: s.text(box) == text, 10, f"{box} to hold {text}")

    for box in BOXES:
        for key in KEYS:
            s.click_control(box)
            s.key("End", key)
            # Typing after the key proves the key was handled: events come in order.
            s.type_text("0")
            s.wait_for(lambda: s.text(box) == typed[box] + "0", 10, f"{box} to take a 0 after "
                       f"{key}")
            s.key("BackSpace")
            s.wait_for(lambda: s.text(box) == typed[box], 10, f"{box} to lose the 0")
            state = s.texts("YOTEI", "P5", "P10", *BOXES)
            want = dict(typed, YOTEI=SCHEDULED, P5="３分後", P10="５分後")
            if state != want:
                failures.append(f"{key} in {box} changed the window: {state}")
            if s.focused() != box:
                failures.append(f"{key} in {box} moved the focus to {s.focused()}")
    s.assert_app_healthy()
    vm.check(not failures, "\n".join(failures))


vm.run(body)

"""An alarm set a few seconds ahead through the boxes and 設定, and the ringing heard in
a recording: shared by the tests that listen."""

import math
import time

from .atspi import BOXES
from .timetext import time_text
from .waiting import wait_for

LOUD = 200  # RMS of a 10 ms window, of 32768; the null sink is exactly 0 when silent


def _hms(t):
    tm = time.gmtime(t)  # the desktop runs in UTC
    return tm.tm_hour, tm.tm_min, tm.tm_sec


def _schedule_ahead(app, lead, by_atspi):
    """Types now + lead seconds into the boxes and clicks 設定 (or sets and presses them
    through AT-SPI); returns the wall time at which that second begins, or None when the
    click landed too late to tell."""
    fill = app.set_text if by_atspi else app.type_into
    press = app.press if by_atspi else app.click_control
    target = math.floor(time.time() + lead)
    h, m, s = _hms(target)
    for box, value in zip(BOXES, (h, m, s)):
        fill(box, str(value))
    press("Settei")
    wait_for(lambda: app.text("YOTEI") != "", "設定 to schedule", 5)
    if time.time() > target - 0.2:
        return None
    shown = app.text("YOTEI")
    if shown != time_text(h, m, s):
        raise AssertionError(f"YOTEI shows {shown!r} for the typed {h}:{m:02d}:{s:02d}")
    return float(target)


def cancel(app, by_atspi=False):
    (app.press if by_atspi else app.click_control)("Cancel")
    wait_for(lambda: app.text("YOTEI") == "", "解除 to clear YOTEI", 5)


def schedule_soon(app, by_atspi=False):
    """Sets the alarm 2 to 4 seconds ahead; returns the wall time its second begins."""
    for lead in (2, 3, 4):
        target = _schedule_ahead(app, lead, by_atspi)
        if target is not None:
            return target
        # Typing took too long on a slow machine: put it back and allow more time.
        cancel(app, by_atspi)
        time.sleep(1.5)  # past any ringing of that late time
    raise AssertionError("could not type a time 2-4 s ahead before it came")


def loud_spans(windows):
    return [(t, rms) for t, rms in windows if rms > LOUD]


def onsets(windows, refractory=0.05):
    """Times at which a beep strikes: the level jumps well above the two windows
    before it (the bell decays to near silence within 100 ms)."""
    found = []
    for i in range(2, len(windows)):
        t, rms = windows[i]
        if rms > 10 * LOUD and rms > 2.5 * max(windows[i - 1][1], windows[i - 2][1]):
            if not found or t - found[-1] > refractory:
                found.append(t)
    return found

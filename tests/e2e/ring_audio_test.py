#!/usr/bin/python3
"""The alarm is heard: through a private PulseAudio with a null sink, whose monitor is
recorded. A time two seconds ahead is typed into the boxes and set with "設定"; the
beeps must start within 0.3 s of that wall-clock second (and not before it), go on
until "解除" is clicked, and stop within 0.3 s of the click."""

import math
import time

import vmharness as vm

BOXES = ("Hou", "Min", "Sec")
LIMIT = 0.3  # seconds, for the start and for the stop
LOUD = 200  # RMS of a 10 ms window, of 32768; the null sink is exactly 0 when silent
RING_FOR = 1.5  # seconds of ringing before 解除


def hms_of(t):
    tm = time.gmtime(t)  # the session runs in UTC
    return tm.tm_hour, tm.tm_min, tm.tm_sec


def schedule_ahead(s, lead):
    """Types now + lead seconds into the boxes and clicks 設定; returns the wall time at
    which that second begins, or None when the click landed too late to tell."""
    target = math.floor(time.time() + lead)
    h, m, sec = hms_of(target)
    for box, value in zip(BOXES, (h, m, sec)):
        s.type_into(box, str(value))
    s.click_control("Settei")
    s.wait_for(lambda: s.text("YOTEI") != "", 5, "設定 to schedule")
    if time.time() > target - 0.2:
        return None
    want = vm.time_text(h, m, sec)
    vm.check(s.text("YOTEI") == want, f"YOTEI reads {s.text('YOTEI')!r}, typed {want!r}")
    return float(target)


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


def body(s):
    s.start_x()
    s.start_accessibility()
    s.start_pulseaudio()
    recorder = vm.Recorder(s)
    s.start_app()
    s.focus_window()
    # The program connects to the sound server (and caches the bell) as it starts.
    s.wait_for(lambda: "Vellomarin" in s.run_tool(["pactl", "list", "clients"]), 20,
               "the program to connect to PulseAudio")

    target = None
    for lead in (2, 3, 4):
        target = schedule_ahead(s, lead)
        if target is not None:
            break
        # Typing took too long on a slow machine: put it back and allow more time.
        s.click_control("Cancel")
        s.wait_for(lambda: s.text("YOTEI") == "", 5, "解除")
        time.sleep(1.5)  # past any ringing of that late time
    vm.check(target is not None, "could not type a time 2-4 s ahead before it came")

    time.sleep(max(0.0, target + RING_FOR - time.time()))
    clicked = time.time()
    s.click_control("Cancel")
    s.wait_for(lambda: s.text("YOTEI") == "", 5, "解除 to clear YOTEI")
    time.sleep(1.0)
    recorder.stop()
    wav = recorder.save_wav(s.logs / "ringing.wav")

    s.recorder = recorder
    s.marks = {"target": target, "clicked": clicked}
    windows = recorder.windows()
    loud = loud_spans(windows)
    vm.check(loud, f"nothing was heard (recording in {wav}); is the bell sound there and "
             f"libcanberra-pulse installed? program log:\n"
             f"{s.app_log.read_text(errors='replace')[-2000:]}")
    start = loud[0][0]
    stop = loud[-1][0] + 0.010
    start_latency = start - target
    stop_latency = stop - clicked
    strikes = [t for t in onsets(recorder.windows(ms=5)) if start - 0.01 <= t < clicked]
    gaps = sorted(b - a for a, b in zip(strikes, strikes[1:]))
    ringing = [rms for t, rms in windows if start <= t < clicked]
    quiet = sum(1 for rms in ringing if rms <= LOUD)
    print(f"beeps began {start_latency * 1000:+.0f} ms after the scheduled second; "
          f"stopped {stop_latency * 1000:+.0f} ms after the click of 解除; "
          f"{quiet} of {len(ringing)} windows quiet while ringing; {len(strikes)} strikes, "
          f"median {gaps[len(gaps) // 2] * 1000 if gaps else 0:.0f} ms apart; recording: {wav}")

    vm.check(start_latency >= -0.02, f"the alarm rang {-start_latency:.3f} s early")
    vm.check(start_latency <= LIMIT, f"the beeps began {start_latency:.3f} s after the second")
    vm.check(stop_latency <= LIMIT, f"the beeps went on {stop_latency:.3f} s after 解除")
    vm.check(quiet <= len(ringing) // 10,
             f"{quiet} of {len(ringing)} 10 ms windows were silent while it rang")
    # A tick of the alarm every 100 ms, each with its beeps.
    vm.check(len(gaps) >= 8 and 0.08 <= gaps[len(gaps) // 2] <= 0.12,
             f"the beeps did not come every 100 ms: strikes {len(strikes)}, gaps {gaps}")
    vm.check(s.texts("P5", "P10") == {"P5": "３分後", "P10": "５分後"}, "解除 reset the buttons")
    s.assert_app_healthy()


if __name__ == "__main__":
    vm.run(body)

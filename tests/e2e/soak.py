#!/usr/bin/python3
"""A long run of the real program with its wall clock sixty times as fast (libfaketime):
an alarm every few simulated minutes, set with 3分後/5分後 or typed into the boxes; some
are cancelled before they come, the others ring, are heard on a PulseAudio null sink
and are cancelled after a few seconds. Reports the program's memory (RSS) and the
rings heard against those set to ring.

    SOAK_MINUTES=10 make soak

Fails when a ring is missed, an alarm cancelled in time is heard anyway, the program
dies, or its memory grows: RSS at the end more than SOAK_RSS_SLACK_MB (4) MB above
its RSS after the first minute, by when its caches have filled."""

import os
import time

import harness
from harness import Timeout, wait_for

MINUTES = float(os.environ.get("SOAK_MINUTES", "10"))
RSS_SLACK_MB = float(os.environ.get("SOAK_RSS_SLACK_MB", "4"))
SPEED = 60
# Late in the evening, so the run crosses midnight in its second real minute.
START = f"@2026-12-08 22:00:00 x{SPEED}"
LOUD = 200
RING_SECONDS = 2.0  # real seconds a ringing alarm is left to ring before 解除

# The rotation of alarms: how each is set, and whether it is left to ring.
PLAN = [
    ("P5", True),
    ("P10", False),
    ("typed", True),
    ("P5", False),
    ("P10", True),
    ("typed", False),
]
TYPED_AHEAD_MINUTES = 4
MINUTES_OF = {"P5": 3, "P10": 5, "typed": TYPED_AHEAD_MINUTES}


def rss_kb(pid):
    for line in open(f"/proc/{pid}/status"):
        if line.startswith("VmRSS:"):
            return int(line.split()[1])
    return 0


def cpu_seconds(pid):
    stat = open(f"/proc/{pid}/stat").read()
    fields = stat[stat.rindex(")") + 2:].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def heard_since(recorder, since):
    """The wall time of the first loud 10 ms window from `since` on, or None."""
    return next((t for t, rms in recorder.windows(since=since) if rms > LOUD), None)


def set_alarm(test, app, how):
    """Sets one alarm; returns the real wall time at which it is due."""
    read_at = time.time()
    shown = harness.parse_time_text(app.text("PANEL"))
    if how == "typed":
        h, m, sec = harness.add_seconds(shown, TYPED_AHEAD_MINUTES * 60)
        for box, value in zip(harness.BOXES, (h, m, sec)):
            app.type_into(box, str(value))
        app.click_control("Settei")
        want = harness.time_text(h, m, sec)
        wait_for(lambda: app.text("YOTEI") == want, f"YOTEI to read {want}", 10)
    else:
        read_at = time.time()
        app.click_control(how)
        yotei = wait_for(lambda: harness.parse_time_text(app.text("YOTEI")), "YOTEI", 10)
        # The clock runs on between the look at PANEL and the click: a few seconds of
        # simulated time at most.
        ahead = (yotei[0] * 3600 + yotei[1] * 60 + yotei[2]
                 - (shown[0] * 3600 + shown[1] * 60 + shown[2])) % 86400
        lead = MINUTES_OF[how] * 60
        test.assertTrue(lead <= ahead <= lead + 60, f"{how} at {harness.time_text(*shown)} set "
                        f"{harness.time_text(*yotei)}")
    # Due when the simulated clock has gone on from the time read by that many minutes.
    return read_at + MINUTES_OF[how] * 60 / SPEED


def cancel(app):
    app.click_control("Cancel")
    wait_for(lambda: app.text("YOTEI") == "", "解除 to clear YOTEI", 10)


class SoakTest(harness.DesktopTestCase):
    sound = True

    def test_alarms_ring_when_due_and_memory_stays_flat(self):
        recorder = harness.Recorder(self.desktop, rate=8000)
        app = self.start_app(faketime=START)
        app.focus_window()
        pid = app.pid
        began = time.time()
        end = began + MINUTES * 60
        rss = [(0.0, rss_kb(pid))]
        counts = {"set": 0, "to ring": 0, "heard": 0, "cancelled early": 0, "heard anyway": 0}
        problems = []
        offsets = []  # real seconds from when each ringing alarm was due to when it was heard

        turn = 0
        while time.time() < end:
            how, rings = PLAN[turn % len(PLAN)]
            turn += 1
            set_at = time.time()
            due = set_alarm(self, app, how)
            counts["set"] += 1
            if rings:
                counts["to ring"] += 1
                try:
                    heard = wait_for(lambda: heard_since(recorder, set_at), "the alarm to be heard",
                                     due - time.time() + 5, interval=0.1)
                    counts["heard"] += 1
                    offsets.append(heard - due)
                    # A simulated second lasts 17 ms: the ring must come within a few of them.
                    if not -0.3 <= heard - due <= 0.7:
                        problems.append(f"turn {turn} ({how}): heard {heard - due:+.2f} s from "
                                        "when it was due")
                    time.sleep(RING_SECONDS)
                except Timeout:
                    problems.append(f"turn {turn} ({how}): no ring heard by 5 s after it was due")
                cancel(app)
                quiet_from = time.time() + 0.5
                time.sleep(1.0)
                if heard_since(recorder, quiet_from):
                    problems.append(f"turn {turn} ({how}): still heard after 解除")
            else:
                counts["cancelled early"] += 1
                time.sleep(0.5)
                cancelled = time.time()
                cancel(app)
                time.sleep(max(0.0, due - time.time()) + 1.5)
                if heard_since(recorder, cancelled + 0.3):
                    counts["heard anyway"] += 1
                    problems.append(f"turn {turn} ({how}): heard although cancelled before it "
                                    "was due")
            rss.append((time.time() - began, rss_kb(pid)))
            app.assert_healthy()
            # Drop what was recorded so far: only sound after now is looked at from here on.
            if len(recorder.data) > recorder.RATE * 2 * 120:
                recorder.data = bytearray()
                recorder.stamps = []
                wait_for(lambda: recorder.stamps, "parec to go on", 5)

        ran = (time.time() - began) / 60
        after_first_minute = next((kb for t, kb in rss if t >= 60), rss[-1][1])
        print(f"soak: {ran:.1f} real minutes ({ran * SPEED / 60:.1f} simulated hours), "
              f"{turn} turns")
        print(f"alarms: {counts['set']} set, {counts['to ring']} left to ring, {counts['heard']} "
              f"heard; {counts['cancelled early']} cancelled before due, "
              f"{counts['heard anyway']} of them heard")
        if offsets:
            print(f"heard {min(offsets):+.2f} to {max(offsets):+.2f} s (real) from when due")
        print(f"RSS: {rss[0][1] / 1024:.1f} MB at start, {after_first_minute / 1024:.1f} MB after "
              f"the first minute, {rss[-1][1] / 1024:.1f} MB at the end, "
              f"{max(kb for _, kb in rss) / 1024:.1f} MB at most; CPU {cpu_seconds(pid):.1f} s")
        growth = (rss[-1][1] - after_first_minute) / 1024
        if growth > RSS_SLACK_MB:
            problems.append(f"RSS grew by {growth:.1f} MB after the first minute "
                            f"(allowed {RSS_SLACK_MB} MB): {rss}")
        self.assertFalse(problems, "\n".join(problems))


if __name__ == "__main__":
    harness.main(time_limit=int(MINUTES * 60) + 600)

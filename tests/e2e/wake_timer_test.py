#!/usr/bin/python3
"""The wake timer in /proc: one CLOCK_REALTIME_ALARM timer (clockid 8) while an alarm is
set, armed 10 s before its next occurrence, and none otherwise; none without
CAP_WAKE_ALARM; and of any capability, CAP_WAKE_ALARM alone kept, permitted only. (This
machine may have no RTC: the timer is armed all the same and wakes nothing.)"""

import calendar
import os
import re
import shutil
import subprocess
import time
from pathlib import Path

import harness
from harness import wait_for
from harness.ringing import cancel, schedule_soon

CAP_WAKE_ALARM = 1 << 35


def wake_timers(pid):
    """The wall time each clockid 8 timerfd of `pid` fires at."""
    def read(fd):
        try:
            return fd.read_text()
        except OSError:  # closed since it was listed
            return ""
    infos = [read(fd) for fd in Path(f"/proc/{pid}/fdinfo").iterdir()]
    return [time.time() + int(s) + int(ns) / 1e9 for info in infos
            if re.search(r"^clockid:\s*8$", info, re.M)
            for s, ns in re.findall(r"^it_value: \((\d+), (\d+)\)", info, re.M)]


def capabilities(pid):
    status = Path(f"/proc/{pid}/status").read_text()
    return {k: int(v, 16) for k, v in re.findall(r"^(Cap\w+):\s*([0-9a-f]+)$", status, re.M)}


class WakeTimerTest(harness.DesktopTestCase):
    sound = True

    def setUp(self):
        if os.geteuid() != 0:
            self.skipTest("needs root, which holds CAP_WAKE_ALARM, and setcap")

    def test_one_timer_ten_seconds_ahead_while_an_alarm_is_set(self):
        app = self.start_app()
        self.assertEqual(wake_timers(app.pid), [], "a wake timer with no alarm")
        app.click_control("P5")
        wait_for(lambda: app.text("YOTEI"), "３分後 to set the alarm", 5)
        # Then an hour already passed today, which is tomorrow's.
        for typed in (None, str((time.gmtime().tm_hour + 23) % 24)):
            if typed:
                app.type_into("Hou", typed)
                app.click_control("Settei")
            wait_for(lambda: app.text("YOTEI").startswith(f"{typed}時" if typed else ""),
                     "the alarm to be set", 5)
            h, m, s = map(int, re.findall(r"\d+", app.text("YOTEI")))
            alarm = calendar.timegm(time.gmtime()[:3] + (h, m, s))
            alarm += 86400 if alarm < time.time() else 0
            timers = wait_for(lambda: wake_timers(app.pid), "the wake timer", 5)
            self.assertEqual(len(timers), 1, timers)
            self.assertAlmostEqual(alarm - timers[0], 10, delta=0.5, msg=app.text("YOTEI"))
        cancel(app)
        wait_for(lambda: wake_timers(app.pid) == [], "解除 to close the wake timer", 5)

    def test_without_the_capability_no_timer_and_the_alarm_rings_as_an_alarm(self):
        app = self.start_app(wrapper=["setpriv", "--bounding-set=-wake_alarm", "--"])
        schedule_soon(app)
        self.assertEqual(wake_timers(app.pid), [])
        # Heard as an alarm, not as one of the desktop's event sounds.
        roles = wait_for(lambda: re.findall(r'media\.role = "(\w+)"',
                                            app.run_tool(["pactl", "list", "sink-inputs"])),
                         "the ringing's sounds", 8)
        self.assertEqual(set(roles), {"alarm"})
        cancel(app)

    def test_an_ordinary_user_keeps_cap_wake_alarm_alone_however_it_came(self):
        copy = self.desktop.tmp / "capable" / "vellomarin"
        copy.parent.mkdir()
        shutil.copy2(harness.binary(), copy)
        for path in (self.desktop.tmp, copy.parent):
            path.chmod(0o755)
        subprocess.run(["setcap", "cap_wake_alarm+p", str(copy)], check=True)
        user = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
        env = dict(self.desktop.env, QT_QPA_PLATFORM="offscreen", HOME="/nonexistent")
        for how, argv in (("file capability", [*user, "--", str(copy)]),
                          ("ambient", [*user, "--inh-caps=+wake_alarm",
                                       "--ambient-caps=+wake_alarm", "--", str(harness.binary())])):
            with self.subTest(how):
                proc = self.desktop.procs.spawn("capable", argv, env)
                time.sleep(2)
                self.assertIsNone(proc.poll(), "it did not start as an ordinary user")
                caps = capabilities(proc.pid)
                self.assertEqual((caps["CapPrm"], caps["CapEff"], caps["CapInh"], caps["CapAmb"]),
                                 (CAP_WAKE_ALARM, 0, 0, 0), caps)
                self.desktop.procs.stop(proc)


if __name__ == "__main__":
    harness.main()

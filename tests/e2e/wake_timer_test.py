#!/usr/bin/python3
"""The wake timer seen from outside, in /proc: while an alarm is set, and only then, the
program holds one CLOCK_REALTIME_ALARM timer (clockid 8) armed ten seconds before the
alarm's next occurrence; without CAP_WAKE_ALARM it holds none and rings as before; and
with the file capability it keeps CAP_WAKE_ALARM and nothing else. This machine may
have no RTC: the timer is armed all the same and simply wakes nothing."""

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
    """[wall time each CLOCK_REALTIME_ALARM timerfd fires at, None when disarmed]."""
    found = []
    for fd in Path(f"/proc/{pid}/fdinfo").iterdir():
        try:
            info = fd.read_text()
        except OSError:
            continue
        if re.search(r"^clockid:\s*8$", info, re.M):
            sec, nsec = map(int, re.search(r"^it_value: \((\d+), (\d+)\)", info, re.M).groups())
            found.append(time.time() + sec + nsec / 1e9 if sec or nsec else None)
    return found


def capabilities(pid):
    status = Path(f"/proc/{pid}/status").read_text()
    return {k: int(v, 16) for k, v in re.findall(r"^(Cap\w+):\s*([0-9a-f]+)$", status, re.M)}


def alarm_instant(yotei):
    """The next wall time at which the clock (in UTC here) shows `yotei`."""
    h, m, s = map(int, re.match(r"(\d+)時(\d+)分(\d+)秒$", yotei).groups())
    now = time.time()
    day = calendar.timegm(time.gmtime(now)[:3] + (0, 0, 0))
    at = day + h * 3600 + m * 60 + s
    return at if at > now else at + 86400


class WakeTimerTest(harness.DesktopTestCase):
    sound = True

    def setUp(self):
        if os.geteuid() != 0:
            self.skipTest("needs root, which holds CAP_WAKE_ALARM, and setcap")

    def test_one_timer_ten_seconds_ahead_while_an_alarm_is_set(self):
        app = self.start_app()
        self.assertEqual(wake_timers(app.pid), [], "a wake timer with no alarm")
        self.assertEqual(capabilities(app.pid)["CapPrm"], CAP_WAKE_ALARM)
        app.click_control("P5")
        wait_for(lambda: app.text("YOTEI"), "３分後 to schedule", 5)
        # And a time already passed today, which is tomorrow's.
        for hour_back in (False, True):
            if hour_back:
                app.type_into("Hou", str((time.gmtime().tm_hour + 23) % 24))
                app.click_control("Settei")
                wait_for(lambda: app.text("YOTEI").endswith("00秒"), "設定 to schedule", 5)
            timers = wait_for(lambda: wake_timers(app.pid), "the wake timer", 5)
            self.assertEqual(len(timers), 1, f"wake timers: {timers}")
            early = alarm_instant(app.text("YOTEI")) - timers[0]
            self.assertAlmostEqual(early, 10, delta=0.5, msg=f"{app.text('YOTEI')}, {timers}")
        cancel(app)
        wait_for(lambda: wake_timers(app.pid) == [], "解除 to close the wake timer", 5)
        app.assert_healthy()

    def test_without_the_capability_no_timer_and_the_alarm_rings_as_an_alarm(self):
        app = self.start_app(wrapper=["setpriv", "--bounding-set=-wake_alarm", "--"])
        self.assertEqual(capabilities(app.pid)["CapPrm"], 0)
        schedule_soon(app)
        self.assertEqual(wake_timers(app.pid), [])
        # Heard as an alarm, not as one of the desktop's event sounds.
        roles = wait_for(lambda: re.findall(r'media\.role = "(\w+)"',
                                            app.run_tool(["pactl", "list", "sink-inputs"])),
                         "the ringing's sounds", 8)
        self.assertEqual(set(roles), {"alarm"})
        cancel(app)
        app.assert_healthy()

    def test_an_ordinary_user_keeps_cap_wake_alarm_alone_however_it_came(self):
        copy = self.desktop.tmp / "capable" / "vellomarin"
        copy.parent.mkdir()
        shutil.copy2(harness.binary(), copy)
        for path in (self.desktop.tmp, copy.parent):
            path.chmod(0o755)
        subprocess.run(["setcap", "cap_wake_alarm+p", str(copy)], check=True)
        user = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
        env = dict(self.desktop.env, QT_QPA_PLATFORM="offscreen", HOME="/nonexistent")
        env.pop("XDG_RUNTIME_DIR", None)
        for how, argv in (("file capability", [*user, "--", str(copy)]),
                          ("ambient", [*user, "--inh-caps=+wake_alarm",
                                       "--ambient-caps=+wake_alarm", "--", str(harness.binary())])):
            with self.subTest(how):
                proc = self.desktop.procs.spawn("capable", argv, env)
                wait_for(lambda: capabilities(proc.pid)["CapInh"] == 0 or proc.poll(),
                         "the program to drop all but CAP_WAKE_ALARM", 20)
                time.sleep(1)
                self.assertIsNone(proc.poll(), "it did not start as an ordinary user")
                caps = capabilities(proc.pid)
                self.assertEqual((caps["CapPrm"], caps["CapEff"], caps["CapInh"], caps["CapAmb"]),
                                 (CAP_WAKE_ALARM, 0, 0, 0), caps)
                self.desktop.procs.stop(proc)

if __name__ == "__main__":
    harness.main()

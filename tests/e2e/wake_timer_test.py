#!/usr/bin/python3
"""The wake timer in /proc: one CLOCK_REALTIME_ALARM timer (clockid 8), in the wake
helper, while an alarm is set, armed 10 s before its next occurrence, and none otherwise,
nor once the window has ended, however; none without CAP_WAKE_ALARM; of any capability,
the helper keeps CAP_WAKE_ALARM alone, permitted only, and the window none; re-armed for
a new zone and for nothing else in /etc. (This machine may have no RTC: the timer is
armed all the same and wakes nothing.)"""

import calendar
import os
import re
import shlex
import shutil
import signal
import struct
import subprocess
import time
from pathlib import Path

import harness
from harness import wait_for
from harness.processes import need
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


def helper_of(pid):
    """The wake helper the program started, if it runs."""
    children = Path(f"/proc/{pid}/task/{pid}/children").read_text().split()
    return next((int(c) for c in children if running(int(c))), None)


def running(pid):
    try:
        return "\nState:\tZ" not in Path(f"/proc/{pid}/status").read_text()
    except FileNotFoundError:
        return False


def secure_execution(pid):
    """AT_SECURE (23) from the process's auxiliary vector."""
    words = Path(f"/proc/{pid}/auxv").read_bytes()
    pairs = zip(*[iter(struct.unpack(f"{len(words) // 8}Q", words))] * 2)
    return dict(pairs)[23]


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
        helper = helper_of(app.pid)
        self.assertIsNotNone(helper, "no wake helper")
        self.assertEqual(wake_timers(app.pid) + wake_timers(helper), [],
                         "a wake timer with no alarm")
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
            timers = wait_for(lambda: wake_timers(helper), "the wake timer", 5)
            self.assertEqual(len(timers), 1, timers)
            self.assertAlmostEqual(alarm - timers[0], 10, delta=0.5, msg=app.text("YOTEI"))
            self.assertEqual(wake_timers(app.pid), [], "the window's own timer wakes nothing")
        cancel(app)
        wait_for(lambda: wake_timers(helper) == [], "解除 to close the wake timer", 5)
        # The window's end takes the helper and its timer along, even killed outright.
        for end in (signal.SIGTERM, signal.SIGKILL):
            with self.subTest(end.name):
                app = self.start_app() if end == signal.SIGKILL else app
                helper = helper_of(app.pid)
                app.click_control("P5")
                wait_for(lambda: wake_timers(helper), "the wake timer", 5)
                os.kill(app.pid, end)
                wait_for(lambda: not running(helper), "the helper to end with the window", 5)

    def test_without_the_capability_no_timer_and_the_alarm_rings_as_an_alarm(self):
        app = self.start_app(wrapper=["setpriv", "--bounding-set=-wake_alarm", "--"])
        schedule_soon(app)
        self.assertIsNone(helper_of(app.pid), "a helper that can wake nothing stays")
        # Heard as an alarm, not as one of the desktop's event sounds.
        roles = wait_for(lambda: re.findall(r'media\.role = "(\w+)"',
                                            app.run_tool(["pactl", "list", "sink-inputs"])),
                         "the ringing's sounds", 8)
        self.assertEqual(set(roles), {"alarm"})
        cancel(app)

    def test_an_ordinary_user_s_helper_keeps_cap_wake_alarm_alone_however_it_came(self):
        folder = self.desktop.tmp / "capable"
        folder.mkdir()
        for name in ("vellomarin", "vellomarin-wake"):
            shutil.copy2(harness.binary().with_name(name), folder / name)
        for path in (self.desktop.tmp, folder):
            path.chmod(0o755)
        subprocess.run(["setcap", "cap_wake_alarm+p", str(folder / "vellomarin-wake")],
                       check=True)
        user = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
        env = dict(self.desktop.env, QT_QPA_PLATFORM="offscreen", HOME="/nonexistent")
        for how, argv in (("file capability", [*user, "--", str(folder / "vellomarin")]),
                          ("ambient", [*user, "--inh-caps=+wake_alarm",
                                       "--ambient-caps=+wake_alarm", "--",
                                       str(self.desktop.stage(harness.binary(), 65534))])):
            with self.subTest(how):
                proc = self.desktop.procs.spawn("capable", argv, env)
                helper = wait_for(lambda: helper_of(proc.pid), "the wake helper", 5)
                sets = ("CapPrm", "CapEff", "CapInh", "CapAmb")
                for pid, held in ((helper, (CAP_WAKE_ALARM, 0, 0, 0)), (proc.pid, (0, 0, 0, 0))):
                    wait_for(lambda: tuple(capabilities(pid)[s] for s in sets) == held,
                             f"{sets} of {pid} to be {held} once it has started", 5)
                # An ordinary process of its user: not secure-execution, and open to the
                # user's other processes (the desktop portal opens its root).
                self.assertEqual(secure_execution(proc.pid), 0)
                subprocess.run([*user, "--", "test", "-r", f"/proc/{proc.pid}/root/"],
                               check=True)
                self.desktop.procs.stop(proc)
                wait_for(lambda: not running(helper), "the helper to end with the window", 5)

    def test_re_armed_once_for_a_new_zone_and_never_for_other_files_in_etc(self):
        need("strace", "strace")
        etc, zone = self.desktop.tmp / "etc", self.desktop.tmp / "zone"
        shutil.copytree("/etc", etc, symlinks=True)  # what the program and its libraries read
        shutil.copy2("/usr/share/zoneinfo/Asia/Tokyo", zone)
        app = self.start_app(wrapper=["unshare", "--mount", "--propagation", "private", "--",
                                      "sh", "-c", f'mount --bind {shlex.quote(str(etc))} /etc '
                                      '&& exec "$@"', "sh"])
        app.click_control("P5")
        wait_for(lambda: wake_timers(helper_of(app.pid)), "the wake timer", 5)
        log = self.desktop.logs / "strace.out"
        self.desktop.procs.spawn("strace", ["strace", "-qq", "-f", "-e", "trace=timerfd_settime",
                                            "-o", str(log), "-p", str(app.pid)], self.desktop.env)
        wait_for(lambda: "TracerPid:\t0\n" not in Path(f"/proc/{app.pid}/status").read_text(),
                 "strace to attach", 10)

        def rearmed(times, change):
            count = lambda: log.read_text().count("timerfd_settime(")
            wait_for(lambda: count() >= times, f"a re-arm for {change}", 5)
            time.sleep(1)  # and no more
            self.assertEqual(count(), times, change)

        for i in range(10):
            (etc / f"other{i}").write_text("created")
            with open(etc / f"other{i}", "a") as other:
                other.write(", modified")
            (etc / f"other{i}").rename(etc / f"other{i}.renamed")
            (etc / f"other{i}.renamed").unlink()
        rearmed(0, "40 operations on other files in /etc")
        new = etc / "localtime.new"  # renamed over the old link, as timedatectl does
        new.symlink_to(zone)
        new.rename(etc / "localtime")
        rearmed(1, "a new /etc/localtime")
        shutil.copy2("/usr/share/zoneinfo/Asia/Seoul", zone.with_suffix(".new"))  # as dpkg does
        zone.with_suffix(".new").rename(zone)
        rearmed(2, "a new zone file behind the link")
        (etc / "localtime").unlink()
        rearmed(3, "no /etc/localtime, which is UTC")


if __name__ == "__main__":
    harness.main()

#!/usr/bin/python3
"""The wake timer in /proc: no helper until an alarm is set; then one CLOCK_REALTIME_ALARM
timer (clockid 8), in the wake helper, armed 10 s before the alarm's next occurrence, and
disarmed otherwise; no helper once the window has ended, however; none without
CAP_WAKE_ALARM, and each way the helper can end told by its status; of any capability,
the helper keeps CAP_WAKE_ALARM alone, permitted only, and the window none; re-armed for
a new zone, also one through a chain of links, and for nothing else in /etc. (This machine
may have no RTC: the timer is armed all the same and wakes nothing.)"""

import calendar
import os
import re
import shlex
import shutil
import signal
import socket
import struct
import subprocess
import time
from pathlib import Path

import harness
from harness import wait_for
from harness.atspi import CONTROLS
from harness.processes import need
from harness.ringing import cancel, schedule_soon

CAP_WAKE_ALARM = 1 << 35


def wake_timers(pid):
    """The wall time each armed clockid 8 timerfd of `pid` fires at."""
    def read(fd):
        try:
            return fd.read_text()
        except OSError:  # closed since it was listed
            return ""
    infos = [read(fd) for fd in Path(f"/proc/{pid}/fdinfo").iterdir()]
    return [time.time() + int(s) + int(ns) / 1e9 for info in infos
            if re.search(r"^clockid:\s*8$", info, re.M)
            for s, ns in re.findall(r"^it_value: \((\d+), (\d+)\)", info, re.M)
            if (s, ns) != ("0", "0")]


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


def held(pid):
    """CapPrm, CapEff, CapInh and CapAmb of the process or task `pid`; none once it ended."""
    try:
        status = Path(f"/proc/{pid}/status").read_text()
    except FileNotFoundError:
        return []
    return [int(re.search(rf"^{name}:\s*([0-9a-f]+)$", status, re.M)[1], 16)
            for name in ("CapPrm", "CapEff", "CapInh", "CapAmb")]


class WakeTimerTest(harness.DesktopTestCase):
    sound = True

    def setUp(self):
        if os.geteuid() != 0:
            self.skipTest("needs root, which holds CAP_WAKE_ALARM, and setcap")

    def test_one_timer_ten_seconds_ahead_while_an_alarm_is_set(self):
        app = self.start_app()
        time.sleep(1)
        self.assertIsNone(helper_of(app.pid), "a wake helper with no alarm")
        app.click_control("P5")
        wait_for(lambda: app.text("YOTEI"), "３分後 to set the alarm", 5)
        helper = wait_for(lambda: helper_of(app.pid), "the wake helper", 5)
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
        # Stopped, the helper reads nothing, and its channel fills with a message for each
        # new alarm; 解除's, refused then, still reaches it once it reads again.
        os.kill(helper, signal.SIGSTOP)
        clicks = []
        for name in ("P5", "P10") * 150:
            _, (x, y, w, h) = CONTROLS[name]
            clicks += ["mousemove", "--window", app.window, str(x + w // 2), str(y + h // 2),
                       "click", "1"]
        app.run_tool(["xdotool", *clicks], timeout=60)
        cancel(app)
        time.sleep(0.5)
        os.kill(helper, signal.SIGCONT)
        wait_for(lambda: wake_timers(helper) == [], "解除 to disarm the wake timer", 5)
        # The window's end takes the helper and its timer along, even killed outright.
        for end in (signal.SIGTERM, signal.SIGKILL):
            with self.subTest(end.name):
                app = self.start_app() if end == signal.SIGKILL else app
                app.click_control("P5")
                helper = wait_for(lambda: helper_of(app.pid), "the wake helper", 5)
                wait_for(lambda: wake_timers(helper), "the wake timer", 5)
                os.kill(app.pid, end)
                wait_for(lambda: not running(helper), "the helper to end with the window", 5)

    def test_without_the_capability_no_timer_and_the_alarm_rings_as_an_alarm(self):
        app = self.start_app(wrapper=["setpriv", "--bounding-set=-wake_alarm", "--"])
        schedule_soon(app)
        wait_for(lambda: "wake helper ended: it has no CAP_WAKE_ALARM" in app.log_tail(),
                 "the window to tell why the helper ended", 5)
        self.assertIsNone(helper_of(app.pid), "a helper that can wake nothing stays")
        # Heard as an alarm, not as one of the desktop's event sounds.
        roles = wait_for(lambda: re.findall(r'media\.role = "(\w+)"',
                                            app.run_tool(["pactl", "list", "sink-inputs"])),
                         "the ringing's sounds", 8)
        self.assertEqual(set(roles), {"alarm"})
        cancel(app)

    def test_the_helper_s_status_says_why_it_ended(self):
        helper = str(harness.binary().with_name("vellomarin-wake"))
        for how, argv, channel, status in (
                ("the window's end", [helper], "closed", 0),
                ("no capability", ["setpriv", "--bounding-set=-wake_alarm", helper], "open", 2),
                ("a user namespace", ["unshare", "--map-root-user", helper], "open", 4),
                ("no channel", [helper], "/dev/null", 6)):
            with self.subTest(how):
                window, ends = socket.socketpair(socket.AF_UNIX, socket.SOCK_SEQPACKET)
                with window, ends, open("/dev/null") as null:
                    fd = null.fileno() if channel == "/dev/null" else ends.fileno()
                    proc = subprocess.Popen(argv, pass_fds=[3], preexec_fn=lambda: os.dup2(fd, 3))
                    if channel == "closed":
                        window.close()
                    self.assertEqual(proc.wait(5), status)

    def test_an_ordinary_user_s_helper_keeps_cap_wake_alarm_alone_however_it_came(self):
        folder = self.desktop.tmp / "capable"
        folder.mkdir()
        for name in ("vellomarin", "vellomarin-wake"):
            shutil.copy2(harness.binary().with_name(name), folder / name)
        for path in (self.desktop.tmp, folder):
            path.chmod(0o755)
        user = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
        for how, flags in (("ambient", ["--inh-caps=+wake_alarm", "--ambient-caps=+wake_alarm"]),
                           ("file capability", [])):
            with self.subTest(how):
                if not flags:
                    subprocess.run(["setcap", "cap_wake_alarm+p", str(folder / "vellomarin-wake")],
                                   check=True)
                app = self.desktop.start_app(folder / "vellomarin", settle=False,
                                             env={"HOME": "/nonexistent"},
                                             wrapper=[*user, *flags, "--"])
                self.addCleanup(app.stop)
                app.click_control("P5")
                helper = wait_for(lambda: helper_of(app.pid), "the wake helper", 5)
                wait_for(lambda: held(helper) == [CAP_WAKE_ALARM, 0, 0, 0],
                         "the helper to keep CAP_WAKE_ALARM, permitted only", 5)
                # Every thread of the window, the one that kept an ambient capability for
                # the helper included, holds none once the helper has started.
                wait_for(lambda: not any(any(held(f"{app.pid}/task/{task}"))
                                         for task in os.listdir(f"/proc/{app.pid}/task")),
                         "every thread of the window to hold no capability", 5)
                # An ordinary process of its user: not secure-execution, and open to the
                # user's other processes (the desktop portal opens its root).
                self.assertEqual(secure_execution(app.pid), 0)
                subprocess.run([*user, "--", "test", "-r", f"/proc/{app.pid}/root/"],
                               check=True)
                app.stop()
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
        # Zone names are often links (Japan -> Asia/Tokyo): each link of the chain counts.
        chain = etc / "tmp"
        chain.mkdir()
        (chain / "b").symlink_to(zone)
        (chain / "a").symlink_to("b")
        (etc / "localtime").symlink_to("tmp/a")
        rearmed(4, "a chain of links")
        (chain / "other").write_text("beside the chain")
        shutil.copy2("/usr/share/zoneinfo/Asia/Seoul", zone.with_suffix(".new"))
        (chain / "b.new").symlink_to(zone.with_suffix(".new"))
        (chain / "b.new").rename(chain / "b")
        rearmed(5, "a link in the middle retargeted, and a file beside it")
        (chain / "b").unlink()
        rearmed(6, "a link in the middle removed")
        (chain / "b").symlink_to("a")
        rearmed(7, "a loop of links, which is UTC")


if __name__ == "__main__":
    harness.main()

"""One private desktop: an X server (Xvfb) or a headless Weston, a session bus with the
AT-SPI bus on it, a PulseAudio with a null sink, a system bus, mocks of D-Bus services,
Debian's desktop portal, and the program. Each is started on request; close() ends
everything started, and is safe to call more than once.

Nothing is taken from the desktop the tests were started from: each desktop has its own
home, runtime folder, display and buses, and its buses start no service but AT-SPI's.
A desktop may belong to an ordinary user: the program and the session's services then
run as that user, as a desktop portal sees a program installed from the package.
"""

import glob
import importlib.util
import os
import pwd
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

from .app import App
from .processes import Processes, adopt_orphans, need, read_line
from .waiting import Timeout, wait_for

AT_SPI_BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
PORTAL = "/usr/libexec/xdg-desktop-portal"
WAYLAND_SOCKET = "wayland-vellomarin"
# The services a desktop can mock: their bus, their name, and dbusmock's template. The
# portal's is its Inhibit backend, behind the real portal.
MOCKS = {"logind": ("system", "org.freedesktop.login1", "logind"),
         "portal": ("session", "org.freedesktop.impl.portal.desktop.vellomarin",
                    str(Path(__file__).with_name("portal_template.py")))}
# Any user may connect, since the program may run as another user than the harness.
BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <keep_umask/>
  <listen>unix:dir={runtime}</listen>
  <auth>EXTERNAL</auth>
  {servicedir}
  <policy context="default">
    <allow user="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""


def _libfaketime():
    found = sorted(glob.glob("/usr/lib/*/faketime/libfaketimeMT.so.1"))
    if not found:
        raise unittest.SkipTest("libfaketime is not installed (Debian package libfaketime)")
    return found[0]


def _asan_runtime(binary):
    """An ASan build must have its runtime first among the preloaded libraries."""
    needed = subprocess.run(["ldd", str(binary)], capture_output=True, text=True).stdout
    m = re.search(r"libasan\.so\.\d+ => (\S+)", needed)
    return m.group(1) if m else None


class Desktop:
    _open = set()  # for close_all(), when a run is stopped outright

    def __init__(self, name, build_dir=None, user=None):
        """Logs go to <build_dir>/e2e-logs/<name>/ and screenshots to
        <build_dir>/e2e-screenshots/; without a build folder, nothing is kept. `user`,
        a uid, runs the program and the session bus's services (AT-SPI, mocks, the
        portal)."""
        self.name = name
        self.tmp = Path(tempfile.mkdtemp(prefix=f"vellomarin-{name}-"))
        self.runtime = self.tmp / "runtime"
        self.runtime.mkdir(mode=0o700)
        (self.tmp / "home").mkdir()
        # Without root, the harness's own user is an ordinary one already.
        self.user = user if os.geteuid() == 0 else None
        if self.user is not None:
            for path in (self.tmp, self.runtime, self.tmp / "home"):
                os.chown(path, user, pwd.getpwuid(user).pw_gid)
        kept = Path(build_dir) if build_dir else self.tmp
        self.shots = kept / "e2e-screenshots"
        self.logs = kept / "e2e-logs" / name
        shutil.rmtree(self.logs, ignore_errors=True)
        self.logs.mkdir(parents=True, exist_ok=True)
        self.shots.mkdir(parents=True, exist_ok=True)
        client_conf = self.tmp / "client.conf"
        client_conf.write_text("autospawn = no\n")
        self.env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "HOME": str(self.tmp / "home"),
            "XDG_RUNTIME_DIR": str(self.runtime),
            "TZ": "UTC",
            "LANG": "C.UTF-8",
            "LC_ALL": "C.UTF-8",
            # No sound server unless this desktop starts one, and none spawned behind it.
            "PULSE_SERVER": f"unix:{self.tmp}/no-pulse",
            "PULSE_CLIENTCONFIG": str(client_conf),
            # No system bus unless this desktop starts one: never the machine's logind.
            "DBUS_SYSTEM_BUS_ADDRESS": f"unix:path={self.tmp}/no-system-bus",
            # Marks everything started here, so that orphans are known as ours.
            "VELLOMARIN_DESKTOP": str(self.tmp),
        }
        self.procs = Processes(self.logs, f"VELLOMARIN_DESKTOP={self.tmp}")
        self.display = None
        self.wayland_display = None
        self.pulse_server = None
        self.accessibility = False
        self.app = None
        self.buses = {}  # kind: address
        self._connections = {}
        Desktop._open.add(self)

    def as_user(self, argv, death_signal=True):
        """`argv` run as the desktop's user. A change of user clears the death signal:
        it is set again, unless the process is to outlive its parent."""
        if self.user is None:
            return argv
        gid = pwd.getpwuid(self.user).pw_gid
        return ([need("setpriv", "util-linux"), f"--reuid={self.user}", f"--regid={gid}",
                 "--clear-groups"] + (["--pdeathsig=TERM"] if death_signal else [])
                + ["--", *argv])

    # ------------------------------------------------------------ display servers

    def start_x(self, screen="1024x768x24", dpi=96):
        """Xvfb on a free display; `dpi` None leaves Xvfb's own."""
        need("Xvfb", "xvfb")
        read_fd, write_fd = os.pipe()
        try:
            self.procs.spawn("Xvfb", ["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
                                      screen] + (["-dpi", str(dpi)] if dpi else [])
                             + ["-nolisten", "tcp", "-noreset"], self.env,
                             pass_fds=(write_fd,))
        finally:
            os.close(write_fd)
        self.display = ":" + read_line(read_fd, 30, "Xvfb")
        self.env["DISPLAY"] = self.display

    def start_window_manager(self):
        """Openbox on the X display, for a window that can be minimised."""
        need("openbox", "openbox")
        self.procs.spawn("openbox", ["openbox", "--sm-disable"], self.env)
        check = ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"]
        wait_for(lambda: "window id" in subprocess.run(check, env=self.env, capture_output=True,
                                                       text=True).stdout,
                 "openbox to manage the screen", 20)

    def start_weston(self, xwayland=False):
        """A headless Weston drawing in memory; with `xwayland`, an X server on it too,
        whose display replaces any other for the program."""
        need("weston", "weston")
        argv = ["weston", "--backend=headless-backend.so", "--use-pixman",
                f"--socket={WAYLAND_SOCKET}"]
        if xwayland:
            need("Xwayland", "xwayland")
            argv.append("--xwayland")
        proc = self.procs.spawn("weston", argv, self.env)
        log = self.logs / "weston.log"

        def up():
            if proc.poll() is not None:
                raise RuntimeError(f"weston exited ({proc.returncode}): "
                                   f"{log.read_text(errors='replace')[-2000:]}")
            if not (self.runtime / WAYLAND_SOCKET).exists():
                return None
            if not xwayland:
                return True
            # Weston picks a free display and starts Xwayland on the first client.
            return re.search(r"xserver listening on display (:\d+)",
                             log.read_text(errors="replace"))

        ready = wait_for(up, "weston to listen")
        self.wayland_display = WAYLAND_SOCKET
        self.env["WAYLAND_DISPLAY"] = WAYLAND_SOCKET
        if xwayland:
            self.display = ready.group(1)
            self.env["DISPLAY"] = self.display

    # ------------------------------------------------------------ buses

    def start_bus(self, kind="session"):
        """A bus of the session's kind, standing in for the system bus too."""
        need("dbus-daemon", "dbus-daemon")
        # Services it activates (the AT-SPI launcher) are orphaned by the daemon.
        adopt_orphans()
        servicedir = ""
        if kind == "session":
            # AT-SPI's alone, as the desktop's user like the program that uses it (its
            # bus lets root in too, for the harness). The bus's helper that starts it
            # ends once it has its name: no death signal.
            services = self.tmp / "services"
            services.mkdir()
            launcher = self.as_user([AT_SPI_BUS_LAUNCHER], death_signal=False)
            (services / "org.a11y.Bus.service").write_text(
                f"[D-BUS Service]\nName=org.a11y.Bus\nExec={' '.join(launcher)}\n")
            servicedir = f"<servicedir>{services}</servicedir>"
        config = self.tmp / f"{kind}-bus.conf"
        config.write_text(BUS_CONFIG.format(runtime=self.runtime, servicedir=servicedir))
        read_fd, write_fd = os.pipe()
        try:
            self.procs.spawn(f"dbus-{kind}", ["dbus-daemon", f"--config-file={config}",
                                              "--nofork", "--nosyslog",
                                              f"--print-address={write_fd}"],
                             self.env, pass_fds=(write_fd,))
        finally:
            os.close(write_fd)
        self.buses[kind] = read_line(read_fd, 30, "dbus-daemon")
        self.env[f"DBUS_{kind.upper()}_BUS_ADDRESS"] = self.buses[kind]

    def start_mock(self, which):
        """One of MOCKS (python3-dbusmock), with its bus; returns once it has its name.
        A session's service runs as the desktop's user; the portal's backend is followed
        by the real portal."""
        kind, name, template = MOCKS[which]
        if not importlib.util.find_spec("dbusmock"):
            raise unittest.SkipTest("python3-dbusmock is not installed")
        if which == "portal":
            need(PORTAL, "xdg-desktop-portal")
        if kind not in self.buses:
            self.start_bus(kind)
        if Path(template).is_absolute():  # where the desktop's user can read it
            template = shutil.copy(template, self.tmp)
        argv = [sys.executable, "-m", "dbusmock", f"--{kind}", "--template", template]
        proc = self.procs.spawn(which, self.as_user(argv) if kind == "session" else argv,
                                self.env)
        self._wait_for_name(which, proc, kind, name)
        if which == "portal":
            self._start_portal(name)

    def _start_portal(self, backend):
        """Debian's xdg-desktop-portal, as the desktop's user, with `backend` its only
        one: it is chosen by its desktop's name (UseIn, through a private folder of
        portals, for 1.16) and by portals.conf (1.18 and later)."""
        desktop = "vellomarin"
        portals = self.tmp / "portals"
        portals.mkdir()
        (portals / f"{desktop}.portal").write_text(
            f"[portal]\nDBusName={backend}\n"
            f"Interfaces=org.freedesktop.impl.portal.Inhibit;\nUseIn={desktop}\n")
        config = self.tmp / "config"
        (config / "xdg-desktop-portal").mkdir(parents=True)
        (config / "xdg-desktop-portal" / "portals.conf").write_text(
            f"[preferred]\ndefault={desktop}\n")
        env = dict(self.env, XDG_CURRENT_DESKTOP=desktop, XDG_DESKTOP_PORTAL_DIR=str(portals),
                   XDG_CONFIG_HOME=str(config))
        proc = self.procs.spawn("xdg-desktop-portal", self.as_user([PORTAL, "--verbose"]), env)
        self._wait_for_name("xdg-desktop-portal", proc, "session",
                            "org.freedesktop.portal.Desktop")

    def _wait_for_name(self, label, proc, kind, name):
        def owned():
            if proc.poll() is not None:
                raise RuntimeError(f"{label} exited ({proc.returncode}); see {label}.log")
            return self.bus(kind).name_has_owner(name)

        wait_for(owned, f"{name} on the {kind} bus")

    def bus(self, kind):
        """This process's connection to the desktop's "system" or "session" bus."""
        import dbus
        if kind not in self._connections:
            self._connections[kind] = dbus.bus.BusConnection(self.buses[kind])
        return self._connections[kind]

    def start_accessibility(self):
        """The AT-SPI bus, as a desktop session has it, and this process pointed at it.

        The session bus starts at-spi-bus-launcher itself, by activation, when asked
        for the bus's address: then there is only ever one launcher, since the bus
        starts a service once and holds every caller until it is up. A launcher
        started here beside the bus's service file races with it: anything that asks
        for the address before it has taken its name gets a second launcher."""
        need(AT_SPI_BUS_LAUNCHER, "at-spi2-core")
        need("dbus-send", "dbus-bin")
        try:
            import gi
            gi.require_version("Atspi", "2.0")
        except (ImportError, ValueError) as e:
            raise unittest.SkipTest(f"AT-SPI for Python is missing (Debian package "
                                    f"python3-pyatspi, run with Debian's /usr/bin/python3): "
                                    f"{e}")
        if "session" not in self.buses:
            self.start_bus()
        probes = []

        def bus_address():
            probes.append(subprocess.run(["dbus-send", "--session", "--print-reply",
                                          "--dest=org.a11y.Bus", "/org/a11y/bus",
                                          "org.a11y.Bus.GetAddress"],
                                         env=self.env, capture_output=True, text=True))
            return probes[-1].returncode == 0

        try:
            wait_for(bus_address, "the AT-SPI bus")
        except Timeout as e:
            raise Timeout(f"{e}: {probes[-1].stderr.strip()}")
        # libatspi reads these when it is first loaded, so only now; one desktop with
        # AT-SPI per process.
        os.environ.update(self.env)
        self.env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        self.accessibility = True

    # ------------------------------------------------------------ sound

    def start_pulseaudio(self, sink="vm", realtime=False):
        """A private sound server with one null sink; skips when none can run here.
        `realtime` leaves the server its default real-time scheduling."""
        need("pulseaudio", "pulseaudio")
        need("pactl", "pulseaudio-utils")
        socket = self.tmp / "pulse.sock"
        env = dict(self.env, PULSE_RUNTIME_PATH=str(self.runtime / "pulse"),
                   PULSE_STATE_PATH=str(self.tmp / "pulse-state"))
        env.pop("PULSE_SERVER")
        # -n loads no default script, so no sound card is opened; the socket takes
        # clients without a cookie.
        proc = self.procs.spawn("pulseaudio", [
            "pulseaudio", "-n", "--daemonize=no", "--system=no", "--use-pid-file=no",
            "--exit-idle-time=-1", "--disallow-exit", "--log-target=stderr"]
            + ([] if realtime else ["--realtime=no", "--high-priority=no"])
            + ["-L", f"module-null-sink sink_name={sink} rate=44100 channels=2",
               "-L", f"module-native-protocol-unix socket={socket} auth-anonymous=1"], env)
        self.env["PULSE_SERVER"] = f"unix:{socket}"

        def answers():
            if proc.poll() is not None:
                log = (self.logs / "pulseaudio.log").read_text(errors="replace")
                raise unittest.SkipTest(f"PulseAudio cannot run on this machine (exit "
                                        f"{proc.returncode}): {log.strip()[-600:]}")
            return subprocess.run(["pactl", "info"], env=self.env,
                                  capture_output=True).returncode == 0

        try:
            wait_for(answers, "PulseAudio to answer", 20)
        except Timeout as e:
            raise unittest.SkipTest(f"PulseAudio started but did not answer: {e}")
        self.pulse_server = self.env["PULSE_SERVER"]

    # ------------------------------------------------------------ the program

    def stage(self, binary, user=None):
        """A build's program to run as `user` (by default the desktop's): for another user,
        a copy with its helper where that user can read them, as the build tree may be in
        a folder that only its owner can enter (root's home)."""
        binary, folder = Path(binary), self.tmp / "bin"
        user = self.user if user is None else user
        if user in (None, os.geteuid()) or not binary.with_name("vellomarin-wake").exists():
            return binary  # or an installed one, whose helper has its capability in place
        if not folder.exists():
            self.tmp.chmod(0o755)
            folder.mkdir()
            for name in (binary.name, "vellomarin-wake"):
                shutil.copy2(binary.with_name(name), folder)
        return folder / binary.name

    def start_app(self, binary, faketime=None, env=None, settle=True, wrapper=()):
        """Starts the program and returns it once its window is up (and, with an
        AT-SPI bus, once its controls are found there). `faketime` is a libfaketime
        time such as '@2026-12-08 09:58:30'; `env` adds to the desktop's and to what
        the fake time sets; `wrapper` is a command that execs the program in its own
        process, such as setpriv."""
        extra, env, preload = env or {}, dict(self.env), []
        if faketime:
            # The library itself rather than the faketime wrapper, which would run the
            # program as its child, under another pid than the one started here. Into
            # the program alone: in a wrapper that changes user, libfaketime leaves the
            # program shared memory that it may not open.
            asan = _asan_runtime(binary)
            preload = ["env", "LD_PRELOAD=" + ":".join(filter(None, [asan, _libfaketime()]))]
            if asan:
                # ASan's allocator reads the clock, to pace giving memory back, while it
                # holds a lock; that call reaches libfaketime, whose first call allocates:
                # a deadlock at start-up (on Debian 13, and on 12 with libsystemd linked).
                # Memory kept until exit keeps the allocator off the clock.
                env["ASAN_OPTIONS"] = ":".join(filter(None, [
                    env.get("ASAN_OPTIONS"), "allocator_release_to_os_interval_ms=-1"]))
            env["FAKETIME"] = faketime
            # Qt's timers keep to the real monotonic clock; only the wall clock is faked.
            env["FAKETIME_DONT_FAKE_MONOTONIC"] = "1"
            env["FAKETIME_NO_CACHE"] = "1"
            # Nor file times: fontconfig would take the faked ones for the font folders
            # and rewrite the system font caches, which every program started after it
            # then finds stale and rebuilds at start-up.
            env["NO_FAKE_STAT"] = "1"
        env.update(extra)
        process = self.procs.spawn(
            "vellomarin", self.as_user([*wrapper, *preload, str(self.stage(binary))]), env)
        self.app = App(self, process, self.logs / "vellomarin.log")
        self.app.wait_until_shown(settle)
        return self.app

    # ------------------------------------------------------------ the end

    def record_failure(self, label):
        if self.app:
            self.app.record_failure(label)
        print(f"logs: {self.logs}", file=sys.stderr)

    def close(self):
        for connection in self._connections.values():
            connection.close()
        self._connections = {}
        self.procs.close()
        self.app = None
        shutil.rmtree(self.tmp, ignore_errors=True)
        Desktop._open.discard(self)

    @classmethod
    def close_all(cls):
        for desktop in list(cls._open):
            desktop.close()

"""The real vellomarin binary on a real X server, driven and read from outside.

Each test script calls run(body): it gets a Session that owns a private Xvfb, and on
request a private session bus with an AT-SPI bus, a private PulseAudio with a null
sink, and the program itself (optionally under libfaketime). Whatever the session
started is ended when the script ends, however it ends. The program is only ever
clicked and typed at through the X server (xdotool) and read through AT-SPI, the X
server's window properties and screenshots.

Exit status: 0 passed, 1 failed, 77 skipped (CTest's SKIP_RETURN_CODE).
"""

import array
import ctypes
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import traceback
from pathlib import Path

SKIP_CODE = 77

# Pixel rectangles in the client area, and the AT-SPI role each control shows as.
CONTROLS = {
    "Settei": ("push button", (8, 144, 185, 25)),
    "Sec": ("text", (136, 112, 33, 24)),
    "Min": ("text", (72, 112, 33, 24)),
    "Hou": ("text", (8, 112, 33, 24)),
    "Cancel": ("push button", (136, 80, 57, 25)),
    "Picture2": ("frame", (48, 48, 145, 25)),
    "Picture1": ("frame", (8, 8, 185, 33)),
    "P10": ("push button", (72, 80, 57, 25)),
    "P5": ("push button", (8, 80, 57, 25)),
    "Ji": ("label", (40, 120, 33, 17)),
    "Fun": ("label", (104, 120, 33, 17)),
    "Byou": ("label", (168, 120, 33, 17)),
}
# Labels that sit inside a picture box rather than on the window.
FRAMED_LABELS = {"PANEL": "Picture1", "YOTEI": "Picture2"}
CLIENT_SIZE = (201, 175)

TIME_TEXT = re.compile(r"^([1-9]?[0-9])時([0-5][0-9])分([0-5][0-9])秒$")


class Skip(Exception):
    """The test cannot run on this machine; the message says why."""


class Failure(AssertionError):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def parse_time_text(text):
    """(h, m, s) from "9時05分03秒", or None."""
    m = TIME_TEXT.match(text or "")
    if not m or int(m.group(1)) > 23:
        return None
    return tuple(int(g) for g in m.groups())


def time_text(h, m, s):
    return f"{h}時{m:02d}分{s:02d}秒"


def add_seconds(hms, seconds):
    total = (hms[0] * 3600 + hms[1] * 60 + hms[2] + seconds) % 86400
    return (total // 3600, total // 60 % 60, total % 60)


# ---------------------------------------------------------------- processes

_libc = ctypes.CDLL(None, use_errno=True)
_PR_SET_PDEATHSIG = 1
_PR_SET_CHILD_SUBREAPER = 36


def _die_with_parent():
    # A child outlives a harness killed outright (SIGKILL from a CTest timeout) no more.
    _libc.prctl(_PR_SET_PDEATHSIG, signal.SIGTERM, 0, 0, 0)


def _children_of(pid):
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            stat = Path(f"/proc/{entry}/stat").read_text()
        except OSError:
            continue
        # The command name may hold spaces and parentheses: split after the last ")".
        fields = stat[stat.rindex(")") + 2:].split()
        if int(fields[1]) == pid and fields[0] != "Z":
            found.append(int(entry))
    return found


def _read_line_from(fd, timeout, what):
    deadline = time.monotonic() + timeout
    data = b""
    os.set_blocking(fd, False)
    while not data.endswith(b"\n"):
        if time.monotonic() > deadline:
            raise Failure(f"{what} did not report in {timeout} s")
        try:
            chunk = os.read(fd, 256)
        except BlockingIOError:
            time.sleep(0.01)
            continue
        if not chunk:
            raise Failure(f"{what} exited before reporting")
        data += chunk
    os.close(fd)
    return data.decode().strip()


def _which(tool, package):
    path = shutil.which(tool)
    if not path:
        raise Skip(f"{tool} is not installed (Debian package {package}; scripts/setup.sh test "
                   "installs it)")
    return path


def _libfaketime():
    import glob
    found = sorted(glob.glob("/usr/lib/*/faketime/libfaketimeMT.so.1"))
    if not found:
        raise Skip("libfaketime is not installed (Debian package faketime)")
    return found[0]


class Session:
    def __init__(self, binary, name):
        self.binary = str(Path(binary).resolve())
        self.name = name
        # Artefacts go to <build>/e2e-screenshots and <build>/e2e-logs.
        self.build_dir = Path(os.environ.get("VELLOMARIN_BUILD_DIR") or Path(self.binary).parent)
        self.shots = self.build_dir / "e2e-screenshots"
        self.logs = self.build_dir / "e2e-logs" / name
        shutil.rmtree(self.logs, ignore_errors=True)
        self.logs.mkdir(parents=True, exist_ok=True)
        self.shots.mkdir(parents=True, exist_ok=True)
        self.tmp = Path(tempfile.mkdtemp(prefix=f"vellomarin-{name}-"))
        self.runtime = self.tmp / "runtime"
        self.runtime.mkdir(mode=0o700)
        (self.tmp / "home").mkdir()
        self.procs = []  # (label, Popen), in start order
        self.env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "HOME": str(self.tmp / "home"),
            "XDG_RUNTIME_DIR": str(self.runtime),
            "TZ": "UTC",
            "LANG": "C.UTF-8",
            "LC_ALL": "C.UTF-8",
            # No sound server unless this session starts one, and none spawned behind it.
            "PULSE_SERVER": f"unix:{self.tmp}/no-pulse",
            "PULSE_CLIENTCONFIG": str(self._write("client.conf", "autospawn = no\n")),
        }
        self.display = None
        self.app = None
        self.app_log = None
        self.window = None
        self._a11y = None
        self._atspi_tree = {}
        self.pulse_server = None
        # Orphans of what this session started (at-spi2-registryd, activated by its
        # bus) are handed to this process, so the clean-up finds them too.
        _libc.prctl(_PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)

    def _write(self, name, text):
        path = self.tmp / name
        path.write_text(text)
        return path

    def spawn(self, label, argv, env=None, pass_fds=(), stdout=None):
        log = open(self.logs / f"{label}.log", "wb")
        proc = subprocess.Popen(argv, env=env or self.env, pass_fds=pass_fds,
                                stdin=subprocess.DEVNULL, stdout=stdout or log, stderr=log,
                                preexec_fn=_die_with_parent)
        log.close()
        self.procs.append((label, proc))
        return proc

    def run_tool(self, argv, timeout=20, check_rc=True):
        out = subprocess.run(argv, env=self.env, capture_output=True, text=True, timeout=timeout)
        if check_rc and out.returncode != 0:
            raise Failure(f"{' '.join(argv)} failed ({out.returncode}): {out.stderr.strip()}")
        return out.stdout

    # ------------------------------------------------------------ services

    def start_x(self, screen="1024x768x24"):
        _which("Xvfb", "xvfb")
        read_fd, write_fd = os.pipe()
        self.spawn("Xvfb", ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", screen,
                            "-dpi", "96", "-nolisten", "tcp", "-noreset"],
                   pass_fds=(write_fd,))
        os.close(write_fd)
        self.display = ":" + _read_line_from(read_fd, 30, "Xvfb")
        self.env["DISPLAY"] = self.display

    def start_accessibility(self):
        """A session bus and an AT-SPI bus on it, as a desktop session would have."""
        launcher = "/usr/libexec/at-spi-bus-launcher"
        if not os.access(launcher, os.X_OK):
            raise Skip("at-spi-bus-launcher is missing (Debian package at-spi2-core)")
        _which("dbus-daemon", "dbus")
        try:
            import gi  # noqa: F401
            gi.require_version("Atspi", "2.0")
        except (ImportError, ValueError) as e:
            raise Skip(f"AT-SPI for Python is missing (Debian package python3-pyatspi, run "
                       f"with Debian's /usr/bin/python3): {e}")
        read_fd, write_fd = os.pipe()
        self.spawn("dbus-session", ["dbus-daemon", "--session", "--nofork", "--nosyslog",
                                    f"--print-address={write_fd}",
                                    f"--address=unix:dir={self.runtime}"],
                   pass_fds=(write_fd,))
        os.close(write_fd)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = _read_line_from(read_fd, 30, "dbus-daemon")
        # Asking for the accessibility bus's address has the session bus start
        # at-spi-bus-launcher, which starts that bus.
        deadline = time.monotonic() + 30
        while True:
            probe = subprocess.run(
                ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
                 "/org/a11y/bus", "org.a11y.Bus.GetAddress"],
                env=self.env, capture_output=True, text=True)
            if probe.returncode == 0:
                break
            if time.monotonic() > deadline:
                raise Failure(f"the AT-SPI bus did not come up: {probe.stderr.strip()}")
            time.sleep(0.05)
        # libatspi reads these when it is first loaded, so only now.
        os.environ.update(self.env)
        self.env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"

    def start_pulseaudio(self):
        """A private sound server with one null sink, "vm"; skips when none can run."""
        _which("pulseaudio", "pulseaudio")
        _which("parec", "pulseaudio-utils")
        socket = self.tmp / "pulse.sock"
        env = dict(self.env, PULSE_RUNTIME_PATH=str(self.runtime / "pulse"),
                   PULSE_STATE_PATH=str(self.tmp / "pulse-state"))
        env.pop("PULSE_SERVER")
        proc = self.spawn("pulseaudio", [
            "pulseaudio", "-n", "--daemonize=no", "--system=no", "--use-pid-file=no",
            "--exit-idle-time=-1", "--disallow-exit", "--realtime=no", "--high-priority=no",
            "--log-target=stderr", "-L", "module-null-sink sink_name=vm rate=44100 channels=2",
            "-L", f"module-native-protocol-unix socket={socket} auth-anonymous=1"], env=env)
        self.env["PULSE_SERVER"] = f"unix:{socket}"
        deadline = time.monotonic() + 20
        while True:
            if proc.poll() is not None:
                log = (self.logs / "pulseaudio.log").read_text(errors="replace")
                raise Skip(f"PulseAudio cannot run on this machine (exit {proc.returncode}): "
                           f"{log.strip()[-600:]}")
            probe = subprocess.run(["pactl", "info"], env=self.env, capture_output=True,
                                   text=True)
            if probe.returncode == 0:
                break
            if time.monotonic() > deadline:
                raise Skip(f"PulseAudio started but did not answer: {probe.stderr.strip()}")
            time.sleep(0.05)
        self.pulse_server = self.env["PULSE_SERVER"]

    # ------------------------------------------------------------ the program

    def _asan_runtime(self):
        """An ASan binary must have its runtime first among the preloaded libraries."""
        needed = subprocess.run(["ldd", self.binary], capture_output=True, text=True).stdout
        m = re.search(r"libasan\.so\.\d+ => (\S+)", needed)
        return m.group(1) if m else None

    def start_app(self, faketime=None, settle=True):
        """Starts the program; `faketime` is a libfaketime time string such as
        '@2026-12-08 09:58:30'. Returns once its window is mapped (and, with an AT-SPI
        bus, once its controls are found there)."""
        argv = [self.binary]
        env = dict(self.env)
        if faketime:
            # The library itself rather than the faketime wrapper, which would run the
            # program as its child, under another pid than the one started here.
            env["LD_PRELOAD"] = ":".join(filter(None, [self._asan_runtime(), _libfaketime()]))
            env["FAKETIME"] = faketime
            # Qt's timers keep to the real monotonic clock; only the wall clock is faked.
            env["FAKETIME_DONT_FAKE_MONOTONIC"] = "1"
            env["FAKETIME_NO_CACHE"] = "1"
            # Nor file times: fontconfig would take the faked ones for the font folders
            # and rewrite the system font caches, which every program started after it
            # then finds stale and rebuilds at start-up.
            env["NO_FAKE_STAT"] = "1"
        self.app_started = time.time()
        self.app = self.spawn("vellomarin", argv, env=env)
        self.app_log = self.logs / "vellomarin.log"
        self.window = self._wait_for_window()
        if settle and self._a11y_enabled():
            self._find_controls()
        return self.app

    def stop_app(self):
        if self.app and self.app.poll() is None:
            self.app.terminate()
            try:
                self.app.wait(10)
            except subprocess.TimeoutExpired:
                self.app.kill()
                self.app.wait()
        self.app = None
        self.window = None
        self._atspi_tree = {}

    def app_alive(self):
        return self.app is not None and self.app.poll() is None

    def assert_app_healthy(self):
        log = self.app_log.read_text(errors="replace") if self.app_log else ""
        for marker in ("ERROR: AddressSanitizer", "runtime error:", "ERROR: LeakSanitizer"):
            check(marker not in log, f"the program reported a sanitizer error:\n{log[-3000:]}")
        check(self.app_alive(), f"the program exited ({self.app.returncode if self.app else '?'})"
              f":\n{log[-3000:]}")

    def _wait_for_window(self, timeout=60):
        _which("xdotool", "xdotool")
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.app.poll() is not None:
                raise Failure("the program exited before showing its window:\n"
                              + self.app_log.read_text(errors="replace")[-3000:])
            found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name",
                                    "^Vellomarin$"], env=self.env, capture_output=True,
                                   text=True).stdout.split()
            if found:
                return found[0]
            time.sleep(0.05)
        raise Failure(f"no window titled Vellomarin appeared in {timeout} s")

    # ------------------------------------------------------------ X: look and drive

    def window_info(self):
        """xwininfo of the program's window as a dict of its 'Key: value' lines."""
        info = {}
        for line in self.run_tool(["xwininfo", "-id", self.window]).splitlines():
            key, sep, value = line.strip().partition(": ")
            if sep:
                info[key] = value.strip()
        return info

    def focus_window(self):
        # No window manager: give the window the keyboard focus the way one would.
        self.run_tool(["xdotool", "windowfocus", "--sync", self.window])

    def click(self, x, y):
        """A left click at (x, y) of the client area."""
        self.run_tool(["xdotool", "mousemove", "--window", self.window, str(x), str(y),
                       "click", "1"])

    def click_control(self, name):
        _, (x, y, w, h) = CONTROLS[name]
        self.click(x + w // 2, y + h // 2)

    def type_text(self, text):
        self.run_tool(["xdotool", "type", "--delay", "8", "--", text], timeout=120)

    def key(self, *keys):
        self.run_tool(["xdotool", "key", "--delay", "20"] + list(keys))

    def type_into(self, box, text):
        self.click_control(box)
        if text:
            self.type_text(text)

    def screenshot(self, name):
        _which("import", "imagemagick")
        path = self.shots / f"{name}.png"
        self.run_tool(["import", "-window", self.window, str(path)])
        return path

    def pixels(self, png, crop=None):
        """The picture's RGB bytes (width, height, data), optionally cropped (x, y, w, h)."""
        argv = ["convert", str(png)]
        if crop:
            x, y, w, h = crop
            argv += ["-crop", f"{w}x{h}+{x}+{y}", "+repage"]
        size = self.run_tool(["identify", "-format", "%w %h", str(png)]).split()
        data = subprocess.run(argv + ["-depth", "8", "rgb:-"], capture_output=True,
                              check=True).stdout
        w, h = (crop[2], crop[3]) if crop else (int(size[0]), int(size[1]))
        return w, h, data

    # ------------------------------------------------------------ AT-SPI: read

    def _a11y_enabled(self):
        return "QT_LINUX_ACCESSIBILITY_ALWAYS_ON" in self.env

    def _atspi(self):
        if self._a11y is None:
            import pyatspi
            self._a11y = pyatspi
        return self._a11y

    def _app_accessible(self):
        pyatspi = self._atspi()
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            try:
                if app is not None and app.get_process_id() == self.app.pid:
                    return app
            except Exception:
                continue
        return None

    def _find_controls(self, timeout=60):
        """Names each control by its role and its place in the window: AT-SPI does not
        carry Qt's object names. A control missing from its place fails the test."""
        deadline = time.monotonic() + timeout
        last = "no accessible application for the program"
        while time.monotonic() < deadline:
            app = self._app_accessible()
            if app is not None and app.childCount > 0:
                try:
                    self._atspi_tree = self._map_controls(app.getChildAtIndex(0))
                    return
                except Failure as e:
                    last = str(e)
            time.sleep(0.1)
        raise Failure(f"the window's controls were not found through AT-SPI: {last}")

    def _extents(self, acc):
        pyatspi = self._atspi()
        e = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        return (e.x, e.y, e.width, e.height)

    def relative_extents(self, name):
        wx, wy, _, _ = self._extents(self._atspi_tree["window"])
        x, y, w, h = self._extents(self._atspi_tree[name])
        return (x - wx, y - wy, w, h)

    def _map_controls(self, window):
        wx, wy, _, _ = self._extents(window)
        found = {"window": window}
        children = [window.getChildAtIndex(i) for i in range(window.childCount)]
        placed = []
        for child in children:
            x, y, w, h = self._extents(child)
            placed.append((child.getRoleName(), (x - wx, y - wy, w, h), child))
        for name, (role, rect) in CONTROLS.items():
            match = [c for r, e, c in placed if r == role and e == rect]
            if len(match) != 1:
                seen = ", ".join(f"{r} {e}" for r, e, _ in placed)
                raise Failure(f"expected one {role} at {rect} for {name}; the window has: {seen}")
            found[name] = match[0]
        for name, frame in FRAMED_LABELS.items():
            labels = list(self._descendants(found[frame], "label"))
            if len(labels) != 1:
                raise Failure(f"expected one label in {frame}, found {len(labels)}")
            found[name] = labels[0]
        return found

    def _descendants(self, acc, role):
        for i in range(acc.childCount):
            child = acc.getChildAtIndex(i)
            if child.getRoleName() == role:
                yield child
            yield from self._descendants(child, role)

    def text(self, name):
        """What a person sees: a label's or button's caption, or a box's text."""
        acc = self._atspi_tree[name]
        acc.clear_cache()
        role = CONTROLS.get(name, ("label",))[0]
        if role == "text":
            t = acc.queryText()
            return t.getText(0, t.characterCount)
        return acc.name or ""

    def texts(self, *names):
        return {n: self.text(n) for n in names}

    def focused(self):
        """The name of the control that has the keyboard focus, or None."""
        pyatspi = self._atspi()
        for name, acc in self._atspi_tree.items():
            if name == "window":
                continue
            acc.clear_cache()
            if acc.getState().contains(pyatspi.STATE_FOCUSED):
                return name
        return None

    def wait_for(self, predicate, timeout, what, interval=0.02):
        deadline = time.monotonic() + timeout
        while True:
            value = predicate()
            if value:
                return value
            if time.monotonic() > deadline:
                raise Failure(f"timed out after {timeout} s waiting for {what}")
            time.sleep(interval)

    def wait_for_panel(self, hms, timeout=30):
        """Waits until the clock reads hms; fails if it goes past without reading it."""
        want = time_text(*hms)
        seen = []

        def reached():
            now = self.text("PANEL")
            if not seen or seen[-1] != now:
                seen.append(now)
            return now == want

        try:
            self.wait_for(reached, timeout, f"PANEL to read {want}", interval=0.01)
        except Failure:
            raise Failure(f"PANEL never read {want}; it read {seen[:3]} ... {seen[-3:]}")

    # ------------------------------------------------------------ clean-up

    def record_failure(self):
        """What the window looked like when the test failed, and where the logs are."""
        if self.window and self.app_alive():
            try:
                print(f"screenshot at failure: {self.screenshot(self.name + '-failure')}")
            except Exception as e:  # the failure itself matters more
                print(f"no screenshot at failure: {e}")
        print(f"logs: {self.logs}")


    def close(self):
        # Last started, first stopped; then whatever they left behind.
        for label, proc in reversed(self.procs):
            if proc.poll() is None:
                proc.terminate()
        for label, proc in reversed(self.procs):
            try:
                proc.wait(5)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
        me = os.getpid()
        for _ in range(5):
            strays = _children_of(me)
            if not strays:
                break
            for pid in strays:
                try:
                    os.kill(pid, signal.SIGTERM)
                except ProcessLookupError:
                    pass
            time.sleep(0.2)
            for pid in strays:
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
                try:
                    os.waitpid(pid, 0)
                except ChildProcessError:
                    pass
        shutil.rmtree(self.tmp, ignore_errors=True)


class Recorder:
    """Records a PulseAudio source (by default the null sink's monitor) as 16-bit mono,
    and tells the wall-clock time of each sample.

    Every chunk is stamped with time.time() as it arrives. A sample cannot arrive
    before it was rendered, so the earliest (arrival - position / rate) over all chunks
    is the wall time of sample 0 give or take the shortest delivery delay (a few ms
    with a 10 ms latency request)."""

    def __init__(self, session, source="vm.monitor", rate=44100):
        self.RATE = rate
        self.session = session
        self.data = bytearray()
        self.stamps = []  # (arrival time, bytes received by then)
        self.proc = session.spawn("parec", [
            "parec", "-d", source, "--raw", "--format=s16le", f"--rate={self.RATE}",
            "--channels=1", "--latency-msec=10"], stdout=subprocess.PIPE)
        self._thread = threading.Thread(target=self._read, daemon=True)
        self._thread.start()
        session.wait_for(lambda: len(self.data) > self.RATE // 10, 10, "parec to deliver sound")

    def _read(self):
        fd = self.proc.stdout.fileno()
        while True:
            chunk = os.read(fd, 8192)
            if not chunk:
                return
            self.data += chunk
            self.stamps.append((time.time(), len(self.data)))

    def stop(self):
        self.proc.terminate()
        self._thread.join(10)
        self.data = self.data[:len(self.data) // 2 * 2]

    def origin(self):
        return min(t - n / 2 / self.RATE for t, n in self.stamps)

    def windows(self, ms=10, since=None):
        """[(wall time of the window's start, RMS of the window)] over the recording,
        or over what was recorded from wall time `since` on."""
        t0 = self.origin()
        first = 0 if since is None else max(0, int((since - t0) * self.RATE))
        samples = array.array("h")
        samples.frombytes(bytes(self.data[first * 2:len(self.data) // 2 * 2]))
        t0 += first / self.RATE
        per = self.RATE * ms // 1000
        out = []
        for start in range(0, len(samples) - per + 1, per):
            chunk = samples[start:start + per]
            rms = (sum(v * v for v in chunk) / per) ** 0.5
            out.append((t0 + start / self.RATE, rms))
        return out

    def save_wav(self, path):
        raw = Path(str(path) + ".raw")
        raw.write_bytes(bytes(self.data))
        subprocess.run(["sox", "-t", "raw", "-r", str(self.RATE), "-e", "signed", "-b", "16",
                        "-c", "1", str(raw), str(path)], check=True)
        raw.unlink()
        return path


def _on_signal(signum, _frame):
    raise SystemExit(f"stopped by signal {signum}")


def run(body, name=None, time_limit=None):
    """Runs body(session) with the binary given as the first argument and exits with
    the test's status. `time_limit` (seconds; by default half a minute short of
    E2E_TIME_LIMIT, CTest's limit) stops a hung test with a failure, still cleaning up,
    before CTest would kill it."""
    if time_limit is None:
        time_limit = max(60, int(os.environ.get("E2E_TIME_LIMIT", "300")) - 30)
    if len(sys.argv) < 2:
        print(f"usage: {sys.argv[0]} path/to/vellomarin", file=sys.stderr)
        sys.exit(2)
    name = name or Path(sys.argv[0]).stem
    for s in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(s, _on_signal)

    def on_alarm(_signum, _frame):
        raise Failure(f"the test ran longer than {time_limit} s")

    signal.signal(signal.SIGALRM, on_alarm)
    signal.alarm(time_limit)
    if not os.access(sys.argv[1], os.X_OK):
        print(f"FAIL: no program at {sys.argv[1]}", file=sys.stderr)
        sys.exit(1)
    session = None
    status = 1
    try:
        session = Session(sys.argv[1], name)
        body(session)
        status = 0
        print(f"PASS: {name}")
    except Skip as e:
        status = SKIP_CODE
        print(f"SKIP: {name}: {e}")
    except Failure as e:
        where = traceback.extract_tb(e.__traceback__)
        body_frames = [f for f in where if f.filename != __file__] or where
        print(f"FAIL: {name}: {e}\n  (at {body_frames[-1].filename}:{body_frames[-1].lineno})")
    except BaseException:
        print(f"FAIL: {name}: an error in the test itself")
        traceback.print_exc()
    finally:
        signal.alarm(0)
        if session is not None:
            try:
                if status == 1:
                    session.record_failure()
            finally:
                session.close()
    sys.stdout.flush()
    os._exit(status)

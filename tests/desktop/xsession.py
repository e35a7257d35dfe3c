"""A private desktop session for tests that need a real window: an X server
(Xvfb), a session D-Bus, the accessibility bus, and the program started in it.

Everything is started here and ended here, by process id, so that two tests can
run side by side and nothing is left behind. Nothing is taken from the desktop
the tests were started from.
"""

import os
import shutil
import signal
import subprocess
import tempfile
import time

AT_SPI_BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"

# Long enough for a loaded two-core machine to start a Qt program; a test that
# waits this long has failed anyway.
PATIENCE_S = 30.0


def wait_for(condition, what, patience=PATIENCE_S, step=0.05):
    """Polls `condition` until it returns something true, and returns that."""
    deadline = time.monotonic() + patience
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > deadline:
            raise TimeoutError(f"gave up waiting for {what}")
        time.sleep(step)


def _read_line(pipe, what):
    line = pipe.readline()
    if not line:
        raise RuntimeError(f"{what} said nothing on start")
    return line.strip()


class XSession:
    """Use as a context manager: `with XSession() as session: ...`."""

    def __init__(self, width=1024, height=768, dpi=96, accessibility=False):
        self.width, self.height, self.dpi = width, height, dpi
        self.accessibility = accessibility
        self._processes = []  # started here, ended in reverse order
        self._runtime = None
        self.env = None

    def __enter__(self):
        try:
            self._start()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()

    def _spawn(self, argv, **kwargs):
        process = subprocess.Popen(argv, env=kwargs.pop("env", self.env), **kwargs)
        self._processes.append(process)
        return process

    def _start(self):
        self._runtime = tempfile.mkdtemp(prefix="vellomarin-session-")
        os.chmod(self._runtime, 0o700)
        home = os.path.join(self._runtime, "home")
        os.mkdir(home)
        self.env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "HOME": home,
            "XDG_RUNTIME_DIR": self._runtime,
            "XDG_CONFIG_HOME": os.path.join(home, ".config"),
            "XDG_CACHE_HOME": os.path.join(home, ".cache"),
            "LANG": "C.UTF-8",
            "LC_ALL": "C.UTF-8",
            "TZ": "UTC",
        }

        # -displayfd picks a free display and tells its number once it listens.
        read_end, write_end = os.pipe()
        self._spawn(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                     f"{self.width}x{self.height}x24", "-dpi", str(self.dpi),
                     "-nolisten", "tcp", "-noreset"],
                    pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                    stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            self.env["DISPLAY"] = ":" + _read_line(pipe, "Xvfb")

        bus = self._spawn(["dbus-daemon", "--session", "--nofork", "--nosyslog",
                           "--print-address=1"],
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = _read_line(bus.stdout, "dbus-daemon")

        if self.accessibility:
            self.env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
            self.env["NO_AT_BRIDGE"] = "0"
            # Started here rather than by D-Bus activation, so that it is ours to end.
            # It takes the org.a11y.Bus name and starts the accessibility bus, whose
            # registry daemon is then activated on it.
            self._spawn([AT_SPI_BUS_LAUNCHER, "--launch-immediately", "--a11y=1"],
                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            wait_for(self._a11y_bus_is_up, "the accessibility bus")

    def _a11y_bus_is_up(self):
        # Asks whether the name is taken, not for the address: asking the name itself
        # would have D-Bus start a second launcher, one that is not ours.
        result = subprocess.run(
            ["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
             "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
             "string:org.a11y.Bus"],
            env=self.env, capture_output=True, text=True)
        return result.returncode == 0 and "boolean true" in result.stdout

    def adopt_environment(self):
        """Points this process at the session, for libraries (such as AT-SPI's)
        that read the environment when first used."""
        os.environ.update(self.env)

    def start(self, argv, extra_env=None):
        """Starts a program in the session; it is ended with the session."""
        env = dict(self.env, **(extra_env or {}))
        # A file rather than a pipe: nobody reads it while the program runs, and a
        # full pipe would stop the program.
        log = tempfile.TemporaryFile(mode="w+", dir=self._runtime)
        process = self._spawn(argv, env=env, stdout=subprocess.DEVNULL, stderr=log)
        process.log = log
        return process

    def x(self, *argv):
        """Runs an X client (xdotool, import, xprop...) against the session."""
        return subprocess.run(list(argv), env=self.env, check=True, capture_output=True,
                              text=True).stdout

    def window_of(self, process, title):
        """The X id of `process`'s visible top-level window called `title`."""
        def find():
            result = subprocess.run(
                ["xdotool", "search", "--all", "--onlyvisible", "--pid", str(process.pid),
                 "--name", f"^{title}$"],
                env=self.env, capture_output=True, text=True)
            if process.poll() is not None:
                process.log.seek(0)
                raise RuntimeError(f"the program ended with {process.returncode}: "
                                   + process.log.read())
            ids = result.stdout.split()
            return ids[0] if ids else None
        return wait_for(find, f"the window {title!r}")

    def close(self):
        while self._processes:
            process = self._processes.pop()
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
            for stream in (process.stdout, process.stderr, getattr(process, "log", None)):
                if stream:
                    stream.close()
        if self._runtime:
            shutil.rmtree(self._runtime, ignore_errors=True)
            self._runtime = None

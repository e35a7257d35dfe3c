"""Tests on a private desktop in unittest's style, and the main() that each test file
ends with: a time limit that still cleans up, a screenshot when a test fails, and
CTest's skip code when something the tests need is not installed."""

import os
import signal
import sys
import unittest
from pathlib import Path

from .desktop import Desktop

SKIP_CODE = 77  # CTest's SKIP_RETURN_CODE
REPO = Path(__file__).resolve().parents[2]


def build_dir():
    """Where artefacts go: $VELLOMARIN_BUILD_DIR (set by CTest), else build/."""
    return Path(os.environ.get("VELLOMARIN_BUILD_DIR") or REPO / "build")


def binary():
    return Path(os.environ.get("VELLOMARIN_BINARY") or build_dir() / "src/app/vellomarin")


class DesktopTestCase(unittest.TestCase):
    """One private desktop for the test class: Xvfb and a session bus, and as the class
    asks, the AT-SPI bus (`accessibility`), PulseAudio (`sound`) and mocks of D-Bus
    services (`mocks`, names in harness.desktop.MOCKS). `user`, a uid, runs the program
    and the session bus's services; by default the harness's own. A test starts the
    program with start_app(); it is stopped when the test ends."""

    screen = "1024x768x24"
    weston = False  # a headless Weston instead of Xvfb
    xwayland = False  # and with it an X server on Weston, for xdotool and screenshots
    accessibility = True
    window_manager = False  # openbox on the X display, to minimise a window
    sound = False
    mocks = ()
    user = None
    desktop = None

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        if not os.access(binary(), os.X_OK):
            raise RuntimeError(f"no program at {binary()} (VELLOMARIN_BINARY)")
        cls.desktop = Desktop(Path(sys.modules[cls.__module__].__file__).stem, build_dir(),
                              cls.user)
        cls.addClassCleanup(cls.desktop.close)
        if cls.weston:
            cls.desktop.start_weston(cls.xwayland)
        else:
            cls.desktop.start_x(cls.screen)
            if cls.window_manager:
                cls.desktop.start_window_manager()
        cls.desktop.start_bus()
        if cls.accessibility:
            cls.desktop.start_accessibility()
        if cls.sound:
            cls.desktop.start_pulseaudio()
        for mock in cls.mocks:
            cls.desktop.start_mock(mock)

    def start_app(self, faketime=None, env=None, settle=True, wrapper=()):
        app = self.desktop.start_app(binary(), faketime, env, settle, wrapper)
        self.addCleanup(app.stop)
        return app

    def record_failure(self):
        if self.desktop:
            self.desktop.record_failure(f"{self.desktop.name}.{self._testMethodName}")


class TimeLimit(AssertionError):
    pass


class _Result(unittest.TextTestResult):
    """Counts the tests that passed, and has a test that fails record the window at
    once, while the program still runs."""

    current = None

    def __init__(self, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.passed = 0
        self._recorded = set()
        _Result.current = self

    def _record(self, test):
        hook = getattr(test, "record_failure", None)
        if hook and test.id() not in self._recorded:
            self._recorded.add(test.id())
            try:
                hook()
            except Exception as e:  # the failure itself matters more
                print(f"nothing recorded at failure: {e}", file=sys.stderr)

    def addFailure(self, test, err):
        self._record(test)
        super().addFailure(test, err)

    def addError(self, test, err):
        self._record(test)
        super().addError(test, err)

    def addSubTest(self, test, subtest, err):
        if err is not None:
            self._record(test)
        super().addSubTest(test, subtest, err)

    def addSuccess(self, test):
        self.passed += 1
        super().addSuccess(test)


def _stop(signum, _frame):
    # Not SystemExit: unittest would take that for one test's error and go on.
    raise KeyboardInterrupt(f"stopped by signal {signum}")


def main(time_limit=None):
    """Runs the tests of the calling file (unittest's command line) and exits 0 when
    they passed, 77 when all were skipped, 1 otherwise. `time_limit` (seconds; by
    default half a minute short of $VELLOMARIN_TIME_LIMIT, CTest's limit) fails the
    test under way and starts no more, still cleaning up, before CTest would kill it."""
    if time_limit is None:
        time_limit = max(60, int(os.environ.get("VELLOMARIN_TIME_LIMIT", "300")) - 30)
    for s in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(s, _stop)

    def over_time(_signum, _frame):
        signal.signal(signal.SIGALRM, signal.SIG_IGN)
        if _Result.current:
            _Result.current.stop()
        raise TimeLimit(f"the tests ran longer than {time_limit} s")

    signal.signal(signal.SIGALRM, over_time)
    signal.alarm(time_limit)
    status = 1
    try:
        runner = unittest.TextTestRunner(resultclass=_Result, verbosity=2)
        result = unittest.main(module="__main__", testRunner=runner, exit=False).result
        if result.wasSuccessful():
            status = 0 if result.passed else SKIP_CODE if result.skipped else 1
    except KeyboardInterrupt as e:
        print(f"stopped: {e}", file=sys.stderr)
    finally:
        signal.alarm(0)
        signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGTERM, signal.SIGINT,
                                                  signal.SIGHUP, signal.SIGALRM})
        Desktop.close_all()
    sys.stdout.flush()
    sys.stderr.flush()
    # Not sys.exit: a recorder's thread may still be blocked reading its pipe.
    os._exit(status)

"""The program running on a private desktop: clicked and typed at through the X server
(xdotool), read through AT-SPI, the window's properties and screenshots."""

import subprocess
import sys

from . import atspi
from .processes import Processes, need
from .timetext import time_text
from .waiting import Timeout, wait_for

SANITIZER_MARKERS = ("ERROR: AddressSanitizer", "runtime error:", "ERROR: LeakSanitizer")


def rgb(png, crop=None):
    """(width, height, RGB bytes) of a picture, optionally cropped to (x, y, w, h)."""
    argv = ["convert", str(png)]
    if crop:
        x, y, w, h = crop
        argv += ["-crop", f"{w}x{h}+{x}+{y}", "+repage"]
    ppm = subprocess.run(argv + ["-depth", "8", "ppm:-"], capture_output=True,
                         check=True).stdout
    magic, width, height, _maxval, data = ppm.split(maxsplit=4)
    assert magic == b"P6", magic
    return int(width), int(height), data


class App:
    def __init__(self, desktop, process, log):
        self.desktop = desktop
        self.process = process
        self.pid = process.pid
        self.log = log
        self.window = None  # the X window's id, where there is an X server
        self.controls = {}  # name: accessible, with an AT-SPI bus

    def log_tail(self, chars=3000):
        return self.log.read_text(errors="replace")[-chars:]

    def wait_until_shown(self, settle=True, timeout=60):
        """Returns once the window is mapped and, with an AT-SPI bus, once its controls
        are found there."""
        if self.desktop.display:
            need("xdotool", "xdotool")
            self.window = wait_for(self._find_window, "a window titled Vellomarin", timeout)
        if settle and self.desktop.accessibility:
            self.find_controls(timeout)

    def _find_window(self):
        found = subprocess.run(["xdotool", "search", "--all", "--onlyvisible", "--pid",
                                str(self.pid), "--name", "^Vellomarin$"],
                               env=self.desktop.env, capture_output=True, text=True).stdout
        if self.process.poll() is not None:
            raise AssertionError(f"the program exited ({self.process.returncode}) before "
                                 f"showing its window:\n{self.log_tail()}")
        return found.split()[0] if found.split() else None

    def find_controls(self, timeout=60):
        self.controls = atspi.find_controls(self.pid, timeout)

    def alive(self):
        return self.process.poll() is None

    def assert_healthy(self):
        log = self.log.read_text(errors="replace")
        for marker in SANITIZER_MARKERS:
            if marker in log:
                raise AssertionError(f"the program reported a sanitizer error:\n{log[-3000:]}")
        if not self.alive():
            raise AssertionError(f"the program exited ({self.process.returncode}):\n"
                                 f"{log[-3000:]}")

    def stop(self):
        Processes.stop(self.process)
        if self.desktop.app is self:
            self.desktop.app = None

    # ------------------------------------------------------------ X: look and drive

    def run_tool(self, argv, timeout=20):
        """Runs an X client (xdotool, xprop, import...) on the desktop; its output."""
        out = subprocess.run(argv, env=self.desktop.env, capture_output=True, text=True,
                             timeout=timeout)
        if out.returncode != 0:
            raise AssertionError(f"{' '.join(argv)} failed ({out.returncode}): "
                                 f"{out.stderr.strip()}")
        return out.stdout

    def window_info(self):
        """xwininfo of the window as a dict of its 'Key: value' lines."""
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
        _, (x, y, w, h) = atspi.CONTROLS[name]
        self.click(x + w // 2, y + h // 2)

    def type_text(self, text):
        self.run_tool(["xdotool", "type", "--delay", "8", "--", text], timeout=120)

    def key(self, *keys):
        # Through XTEST, as a keyboard would: events sent to a window instead carry
        # their own modifier state, and Qt may read a shift+Tab as a Tab. The delay
        # (ms) parts keys pressed in one go; xdotool waits it after the last key too.
        delay = ["--delay", "20"] if len(keys) > 1 else []
        self.run_tool(["xdotool", "key", "--clearmodifiers"] + delay + list(keys))

    def type_into(self, box, text):
        self.click_control(box)
        if text:
            self.type_text(text)

    def screenshot(self, name=None, path=None):
        """The window as a PNG, by default <build>/e2e-screenshots/<name>.png."""
        need("import", "imagemagick")
        path = path or self.desktop.shots / f"{name}.png"
        self.run_tool(["import", "-window", self.window, str(path)])
        return path

    # ------------------------------------------------------------ AT-SPI: act

    # As a screen reader acts, and where no input can be sent over X (Xwayland cannot
    # take XTEST input without a seat on a headless Weston).
    def set_text(self, box, text):
        self.controls[box].queryEditableText().setTextContents(text)

    def press(self, button):
        self.controls[button].queryAction().doAction(0)

    # ------------------------------------------------------------ AT-SPI: read

    def text(self, name):
        """What a person sees: a label's or button's caption, or a box's text."""
        acc = self.controls[name]
        acc.clear_cache()  # changes come as events; nothing here runs a loop for them
        if atspi.CONTROLS.get(name, ((),))[0] == ("TEXT",):
            t = acc.queryText()
            return t.getText(0, t.characterCount)
        return acc.name or ""

    def texts(self, *names):
        return {n: self.text(n) for n in names}

    def has_state(self, name, state):
        acc = self.controls[name]
        acc.clear_cache()
        return acc.getState().contains(state)

    def focused(self):
        """The names of the controls that have the keyboard focus: one, or none."""
        state = atspi.pyatspi().STATE_FOCUSED
        return [n for n in self.controls if n != "window" and self.has_state(n, state)]

    def relative_extents(self, name):
        wx, wy, _, _ = atspi.extents(self.controls["window"])
        x, y, w, h = atspi.extents(self.controls[name])
        return (x - wx, y - wy, w, h)

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
            wait_for(reached, f"PANEL to read {want}", timeout, interval=0.01)
        except Timeout:
            raise Timeout(f"PANEL never read {want}; it read {seen[:3]} ... {seen[-3:]}")

    def record_failure(self, label):
        """A screenshot of the window as it was when a test failed."""
        if self.window and self.alive():
            try:
                print(f"screenshot at failure: {self.screenshot(label + '-failure')}",
                      file=sys.stderr)
            except Exception as e:  # the failure itself matters more
                print(f"no screenshot at failure: {e}", file=sys.stderr)

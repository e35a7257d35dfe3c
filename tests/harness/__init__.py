"""One harness for every test that runs the real program: a private desktop (desktop),
the program on it (app, atspi), its sound (sound), and unittest test cases on it (case).
"""

from .app import App, rgb
from .atspi import BOXES, CLIENT_SIZE, CONTROLS, FRAMED_LABELS, TAB_ORDER
from .case import DesktopTestCase, binary, build_dir, main
from .desktop import Desktop
from .sound import Recorder
from .timetext import TIME_TEXT, add_seconds, parse_time_text, time_text
from .waiting import Timeout, wait_for

__all__ = ["App", "rgb", "BOXES", "CLIENT_SIZE", "CONTROLS", "FRAMED_LABELS", "TAB_ORDER",
           "DesktopTestCase", "binary", "build_dir", "main", "Desktop", "Recorder", "TIME_TEXT",
           "add_seconds", "parse_time_text", "time_text", "Timeout", "wait_for"]

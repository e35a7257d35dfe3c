"""The window's controls as a screen reader finds them on the AT-SPI bus.

AT-SPI does not carry Qt's object names, so each control is named by its role and its
place in the window: a control missing from its place, or in the wrong role, fails the
test instead of being looked up by what it says."""

import time
import warnings

from .waiting import Timeout

# Pixel rectangles in the client area, and the AT-SPI roles each control may show as
# (pyatspi's ROLE_ constants, by name), in the order Tab walks them; the unit labels,
# last, take no focus. A picture box is Qt's Border, which Qt's AT-SPI bridge gives as a
# frame in Qt 6.4 (Debian 12) and as a panel in Qt 6.8 (Debian 13).
BOX = ("FRAME", "PANEL")
CONTROLS = {
    "P5": (("PUSH_BUTTON",), (8, 80, 57, 25)),
    "P10": (("PUSH_BUTTON",), (72, 80, 57, 25)),
    "Picture1": (BOX, (8, 8, 185, 33)),
    "Picture2": (BOX, (48, 48, 145, 25)),
    "Cancel": (("PUSH_BUTTON",), (136, 80, 57, 25)),
    "Hou": (("TEXT",), (8, 112, 33, 24)),
    "Min": (("TEXT",), (72, 112, 33, 24)),
    "Sec": (("TEXT",), (136, 112, 33, 24)),
    "Settei": (("PUSH_BUTTON",), (8, 144, 185, 25)),
    "Ji": (("LABEL",), (40, 120, 33, 17)),
    "Fun": (("LABEL",), (104, 120, 33, 17)),
    "Byou": (("LABEL",), (168, 120, 33, 17)),
}
TAB_ORDER = [name for name, (roles, _) in CONTROLS.items() if roles != ("LABEL",)]
BOXES = ("Hou", "Min", "Sec")  # the hour's, the minute's, the second's
# The labels that sit inside a picture box rather than on the window: the box, and
# where the label starts in the window.
FRAMED_LABELS = {"PANEL": ("Picture1", (10, 10)), "YOTEI": ("Picture2", (50, 50))}
CLIENT_SIZE = (201, 175)

_pyatspi = None


def pyatspi():
    """The module, loaded on first use: libatspi reads the bus's address from the
    environment then, so only once the desktop's bus is up."""
    global _pyatspi
    if _pyatspi is None:
        # pyatspi's own calls into libatspi warn of deprecation; not ours to fix.
        warnings.filterwarnings("ignore", category=DeprecationWarning, module="pyatspi")
        warnings.filterwarnings("ignore", category=ImportWarning)
        import pyatspi as module
        _pyatspi = module
    return _pyatspi


def role(name):
    """pyatspi's constant for a role named as in CONTROLS."""
    return getattr(pyatspi(), "ROLE_" + name)


def extents(acc):
    e = acc.queryComponent().getExtents(pyatspi().DESKTOP_COORDS)
    return (e.x, e.y, e.width, e.height)


def _descendants(acc, wanted):
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child.getRole() == wanted:
            yield child
        yield from _descendants(child, wanted)


class MissingControl(AssertionError):
    pass


def _map(window):
    wx, wy, _, _ = extents(window)
    found = {"window": window}
    placed = []
    for i in range(window.childCount):
        child = window.getChildAtIndex(i)
        x, y, w, h = extents(child)
        placed.append((child.getRole(), (x - wx, y - wy, w, h), child))
    for name, (roles, rect) in CONTROLS.items():
        wanted = {role(r) for r in roles}
        match = [c for r, e, c in placed if r in wanted and e == rect]
        if len(match) != 1:
            seen = ", ".join(f"{r.value_nick} {e}" for r, e, _ in placed)
            raise MissingControl(f"expected one {' or '.join(roles)} at {rect} for {name}; "
                                 f"the window has: {seen}")
        found[name] = match[0]
    for name, (frame, origin) in FRAMED_LABELS.items():
        labels = list(_descendants(found[frame], role("LABEL")))
        if len(labels) != 1:
            raise MissingControl(f"expected one label in {frame}, found {len(labels)}")
        x, y, _, _ = extents(labels[0])
        if (x - wx, y - wy) != origin:
            raise MissingControl(f"{name} starts at {(x - wx, y - wy)}, not {origin}")
        found[name] = labels[0]
    return found


def find_controls(pid, timeout=60):
    """{name: accessible} of the window of the program with process id `pid`, and
    "window" for the window itself; waits for them to appear."""
    deadline = time.monotonic() + timeout
    last = "no accessible application for the program"
    while time.monotonic() < deadline:
        app = _application(pid)
        if app is not None and app.childCount > 0:
            try:
                return _map(app.getChildAtIndex(0))
            except MissingControl as e:
                last = str(e)
        time.sleep(0.1)
    raise Timeout(f"the window's controls were not found through AT-SPI: {last}")


def _application(pid):
    desktop = pyatspi().Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        try:
            if app is not None and app.get_process_id() == pid:
                return app
        except Exception:  # an application that went away while listed
            continue
    return None

"""The real window at QT_SCALE_FACTOR 1, 1.5 and 2 on a 96-dpi X screen.

The screenshots are kept in $VELLOMARIN_HIDPI_DIR (window-1x.png, window-1.5x.png,
window-2x.png, and the same with -22h for a two-digit hour) so that a person can
look at them; the tests measure them: the same layout at every scale, text drawn at
the scale rather than enlarged, and no caption running into an edge.
"""

import datetime
import os

import harness
from harness import wait_for

OUT = os.environ.get("VELLOMARIN_HIDPI_DIR") or harness.build_dir() / "hidpi"

SCALES = [("1x", 1.0), ("1.5x", 1.5), ("2x", 2.0)]
DESIGN_SIZE = (201, 175)

GREEN = (0, 192, 0)  # PANEL's face
TEAL = (0, 192, 192)  # YOTEI's face

# Where each caption is drawn, in window pixels at 1x: for a button the face inside
# its bevel, for a unit label the part its box does not cover, for the two labels in
# picture boxes the part inside the border. The next box starts on the last column
# of "時" and "分".
VISIBLE = {
    "P5": (11, 83, 51, 19),
    "P10": (75, 83, 51, 19),
    "Cancel": (139, 83, 51, 19),
    "Settei": (11, 147, 179, 19),
    "Ji": (41, 120, 31, 17),
    "Fun": (105, 120, 31, 17),
    "Byou": (169, 120, 32, 17),
    "PANEL": (10, 10, 181, 29),
    "YOTEI": (50, 50, 141, 21),
}
# Captions that never change, so their size can be compared between scales.
FIXED_CAPTIONS = ["P5", "P10", "Cancel", "Settei", "Ji", "Fun", "Byou"]
P5_CENTRE = (36, 92)


def scaled(rect, scale):
    x, y, w, h = rect
    x0, y0 = round(x * scale), round(y * scale)
    return (x0, y0, round((x + w) * scale) - x0, round((y + h) * scale) - y0)


def luminance(pixel):
    r, g, b = pixel
    return (299 * r + 587 * g + 114 * b) // 1000


class Image:
    def __init__(self, png):
        self.width, self.height, self.data = harness.rgb(png)

    def at(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.data[i:i + 3])

    def points(self, rect):
        x, y, w, h = rect
        for py in range(y, min(y + h, self.height)):
            for px in range(x, min(x + w, self.width)):
                yield px, py

    def bbox(self, rect, wanted):
        xs, ys = [], []
        for px, py in self.points(rect):
            if wanted(self.at(px, py)):
                xs.append(px)
                ys.append(py)
        if not xs:
            return None
        return (min(xs), min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1)

    def background(self, rect):
        counts = {}
        for point in self.points(rect):
            level = luminance(self.at(*point))
            counts[level] = counts.get(level, 0) + 1
        return max(counts, key=counts.get)

    def ink(self, rect):
        """The box around what is drawn on the face of `rect`: text, in practice."""
        face = self.background(rect)
        return self.bbox(rect, lambda p: abs(luminance(p) - face) > 60)

    def edge_share(self, rect):
        """(grey pixels, all text pixels): the grey ones are a glyph's antialiased
        edge. Text drawn at a higher resolution has more inside per edge; text drawn
        small and enlarged keeps the same share, or gets more if smoothed."""
        face = self.background(rect)
        grey = solid = 0
        for point in self.points(rect):
            darker = face - luminance(self.at(*point))
            if darker > 175:
                solid += 1
            elif darker > 40:
                grey += 1
        return grey, grey + solid


def zone_for_hour(hour):
    """A TZ value under which the clock shows `hour` now. The hours used, 5 and
    22, keep their number of digits if the hour turns during the test."""
    offset = (hour - datetime.datetime.now(datetime.timezone.utc).hour) % 24
    return f"VMT-{offset}"


class HighDpiTest(harness.DesktopTestCase):
    screen = "1280x1024x24"
    accessibility = False
    shots = {}  # (scale label, hour) -> Image

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        os.makedirs(OUT, exist_ok=True)
        for label, scale in SCALES:
            for hour, suffix in ((5, ""), (22, "-22h")):
                path = os.path.join(OUT, f"window-{label}{suffix}.png")
                cls.shots[label, hour] = cls.shoot(scale, hour, path)

    @classmethod
    def shoot(cls, scale, hour, path):
        app = cls.desktop.start_app(harness.binary(), env={"QT_SCALE_FACTOR": str(scale),
                                                           "TZ": zone_for_hour(hour)})
        # "３分後" by the mouse, at its place in this scale, so YOTEI shows a time too.
        # Clicked again until it shows: a click that came before the window was ready
        # for it is lost, and a second click only sets the same alarm anew.
        x, y = (round(c * scale) for c in P5_CENTRE)

        def scheduled():
            app.click(x, y)
            image = Image(app.screenshot(path=path))
            yotei = scaled(VISIBLE["YOTEI"], scale)
            return image if image.width > 1 and image.ink(yotei) else None
        image = wait_for(scheduled, f"the alarm time at {scale}x")
        app.stop()
        return image

    def test_window_is_the_design_size_scaled(self):
        for label, scale in SCALES:
            with self.subTest(scale=label):
                image = self.shots[label, 5]
                want = [round(d * scale) for d in DESIGN_SIZE]
                self.assertLessEqual(abs(image.width - want[0]), 1)
                self.assertLessEqual(abs(image.height - want[1]), 1)

    def test_layout_is_the_same_scaled(self):
        for label, scale in SCALES:
            for colour, name in ((GREEN, "PANEL"), (TEAL, "YOTEI")):
                with self.subTest(scale=label, label=name):
                    image = self.shots[label, 5]
                    found = image.bbox((0, 0, image.width, image.height),
                                       lambda p, c=colour: p == c)
                    want = [v * scale for v in VISIBLE[name]]
                    self.assertIsNotNone(found)
                    for got, expected in zip(found, want):
                        self.assertLessEqual(abs(got - expected), 1, (found, want))

    def test_captions_grow_with_the_window(self):
        for label, scale in SCALES[1:]:
            for name in FIXED_CAPTIONS:
                with self.subTest(scale=label, caption=name):
                    small = self.shots["1x", 5].ink(VISIBLE[name])
                    large = self.shots[label, 5].ink(scaled(VISIBLE[name], scale))
                    self.assertIsNotNone(small)
                    self.assertIsNotNone(large)
                    for a, b in ((small[2], large[2]), (small[3], large[3])):
                        self.assertLessEqual(abs(b - a * scale), max(2, 0.1 * a * scale),
                                             (small, large))

    def test_text_is_drawn_at_the_scale_not_enlarged(self):
        def share(label, scale):
            grey = total = 0
            for name in FIXED_CAPTIONS:
                g, t = self.shots[label, 5].edge_share(scaled(VISIBLE[name], scale))
                grey, total = grey + g, total + t
            return grey / total
        at_1x = share("1x", 1.0)
        for label, scale in SCALES[1:]:
            with self.subTest(scale=label):
                self.assertLess(share(label, scale), at_1x * 0.9)

    def assertCaptionsFit(self, hour, names):
        for label, scale in SCALES:
            for name in names:
                with self.subTest(scale=label, caption=name):
                    face = scaled(VISIBLE[name], scale)
                    ink = self.shots[label, hour].ink(face)
                    self.assertIsNotNone(ink)
                    # Ink on the edge of the face is ink the edge cut through.
                    self.assertGreater(ink[0], face[0], (ink, face))
                    self.assertGreater(ink[1], face[1], (ink, face))
                    self.assertLess(ink[0] + ink[2], face[0] + face[2], (ink, face))
                    self.assertLess(ink[1] + ink[3], face[1] + face[3], (ink, face))

    def test_no_caption_is_cut_off(self):
        self.assertCaptionsFit(5, list(VISIBLE))

    # From 10時 on, "H時MM分SS秒" in the Mincho face at 20.25 pt nearly fills PANEL's
    # inside: centred on the whole label, its last glyph went under the border.
    def test_clock_with_a_two_digit_hour_is_not_cut_off(self):
        self.assertCaptionsFit(22, ["PANEL", "YOTEI"])


if __name__ == "__main__":
    harness.main()

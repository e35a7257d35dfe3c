#!/usr/bin/python3
"""Made larger, the window keeps every control where it was: the same places through
AT-SPI, and the same pixels in the top-left 201x175 (the clock itself aside)."""

import harness
from harness import wait_for

NAMES = list(harness.CONTROLS) + list(harness.FRAMED_LABELS)
SIZES = [(202, 176), (320, 240), (480, 360)]
CLOCK_AREA = harness.CONTROLS["Picture1"][1]


def differing_pixels(a, b, skip):
    """Pixels of the 201x175 area that differ between two screenshots, outside `skip`."""
    (wa, _, da), (wb, _, db) = a, b
    sx, sy, sw, sh = skip
    count = 0
    for y in range(harness.CLIENT_SIZE[1]):
        for x in range(harness.CLIENT_SIZE[0]):
            if sx <= x < sx + sw and sy <= y < sy + sh:
                continue
            i, j = (y * wa + x) * 3, (y * wb + x) * 3
            if da[i:i + 3] != db[j:j + 3]:
                count += 1
    return count


class ResizeTest(harness.DesktopTestCase):
    def test_controls_keep_their_places_when_the_window_grows(self):
        app = self.start_app(faketime="@2026-12-08 08:00:00")
        before = {n: app.relative_extents(n) for n in NAMES}
        shot = harness.rgb(app.screenshot("resize-201x175"))
        for w, h in SIZES:
            with self.subTest(size=f"{w}x{h}"):
                app.run_tool(["xdotool", "windowsize", "--sync", app.window, str(w), str(h)])
                wait_for(lambda: (int(app.window_info()["Width"]),
                                  int(app.window_info()["Height"])) == (w, h),
                         f"the window at {w}x{h}", 10)
                # The children were mapped by place before; they must still be found there.
                app.find_controls()
                after = {n: app.relative_extents(n) for n in NAMES}
                self.assertEqual({n: (before[n], after[n]) for n in NAMES
                                  if before[n] != after[n]}, {}, "these moved")
                bigger = harness.rgb(app.screenshot(f"resize-{w}x{h}"))
                self.assertEqual(bigger[:2], (w, h), "screenshot size")
                self.assertEqual(differing_pixels(shot, bigger, CLOCK_AREA), 0,
                                 "pixels of the top-left 201x175 changed")
        app.assert_healthy()


if __name__ == "__main__":
    harness.main()

#!/usr/bin/python3
"""The program on a Wayland desktop, as GNOME and KDE run on Debian 12: a headless
Weston with Xwayland beside it and a sound server. Left to choose, the program opens on
Xwayland; it is read and an alarm is set through AT-SPI, as a screen reader would (a
headless Weston has no seat to send input through), and the alarm is heard."""

import time
from pathlib import Path

import harness
from harness.ringing import cancel, loud_spans, schedule_soon


def loaded_platform_plugins(pid):
    maps = Path(f"/proc/{pid}/maps").read_text()
    return {name for name in ("libqxcb.so", "libqwayland-generic.so") if name in maps}


class WestonTest(harness.DesktopTestCase):
    weston = True
    xwayland = True
    sound = True

    def test_opens_on_xwayland_shows_the_time_and_is_heard(self):
        app = self.start_app()
        self.assertEqual(loaded_platform_plugins(app.pid), {"libqxcb.so"},
                         "on a Wayland desktop with Xwayland the program takes X")
        self.assertIsNotNone(harness.parse_time_text(app.text("PANEL")),
                             f"PANEL does not show a time: {app.text('PANEL')!r}")

        recorder = harness.Recorder(self.desktop)
        target = schedule_soon(app, by_atspi=True)
        time.sleep(max(0.0, target + 1.0 - time.time()))
        cancel(app, by_atspi=True)
        recorder.stop()

        loud = loud_spans(recorder.windows())
        self.assertTrue(loud, f"nothing was heard; program log:\n{app.log_tail(2000)}")
        latency = loud[0][0] - target
        print(f"first beep heard {latency * 1000:+.0f} ms after the scheduled second")
        self.assertTrue(-0.02 <= latency <= 0.3, f"first beep {latency:+.3f} s from its second")
        app.assert_healthy()


if __name__ == "__main__":
    harness.main()

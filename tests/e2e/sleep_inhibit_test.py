#!/usr/bin/python3
"""While it rings, and only then, the machine is kept awake: a block lock from logind
(dbusmock's logind on a private system bus) and the desktop portal's inhibit of suspend
and idle (Debian's xdg-desktop-portal on the session bus, before a mock backend). Both
end at 解除, and at the ringing's end by itself after 18,001 ticks: half a minute here,
with every clock of the program sixty times as fast (libfaketime). The program runs as
an ordinary user, as does the portal, which refuses a caller whose /proc/PID/root that
user cannot open: one started from a file capability."""

import harness
from harness import wait_for
from harness.desktop import MOCKS

LOCK = ("sleep:idle:handle-lid-switch", "Vellomarin", "block")  # what, who, mode
NONE = ([], [])


class SleepInhibitTest(harness.DesktopTestCase):
    mocks = ("logind", "portal")
    user = 65534  # nobody

    def held(self):
        """(logind's locks, the flags of the portal's inhibits)."""
        logind = self.desktop.bus("system").get_object("org.freedesktop.login1",
                                                       "/org/freedesktop/login1")
        portal = self.desktop.bus("session").get_object(MOCKS["portal"][1],
                                                        "/org/freedesktop/portal/desktop")
        locks = logind.ListInhibitors(dbus_interface="org.freedesktop.login1.Manager")
        return ([(str(lock[0]), str(lock[1]), str(lock[3])) for lock in locks],
                [int(flags) for flags in portal.Held(dbus_interface="org.freedesktop.DBus.Mock")])

    def ring(self, app):
        app.click_control("P5")  # three minutes: three seconds here
        yotei = wait_for(lambda: app.text("YOTEI"), "３分後 to schedule", 5)
        self.assertEqual(self.held(), NONE, "held while the alarm was only pending")
        wait_for(lambda: all(self.held()), "the ringing to hold both", 15, interval=0.02)
        self.assertGreaterEqual(app.text("PANEL"), yotei, "held before it rang")
        self.assertEqual(self.held(), ([LOCK], [4 | 8]), "suspend and idle, once each")

    def test_held_from_the_ringing_to_its_end_either_way(self):
        app = self.start_app(faketime="@2026-12-08 07:00:00 x60",
                             env={"FAKETIME_DONT_FAKE_MONOTONIC": "0"})
        self.ring(app)
        app.click_control("Cancel")
        wait_for(lambda: self.held() == NONE, "解除 to release both", 2)

        self.ring(app)
        wait_for(lambda: self.held() == NONE, "the ringing's end to release both", 120)
        self.assertEqual(app.text("YOTEI"), "", "released before the ringing ended")
        app.assert_healthy()


if __name__ == "__main__":
    harness.main()

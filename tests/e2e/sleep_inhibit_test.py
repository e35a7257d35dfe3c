#!/usr/bin/python3
"""While it rings, and only then, the machine is kept awake: a block lock from logind
(dbusmock's logind on a private system bus) and the desktop portal's inhibit of suspend
and idle (Debian's xdg-desktop-portal on the session bus, before a mock backend). Both
end at 解除, and at the ringing's end by itself after 18,001 ticks: half a minute here,
with every clock of the program sixty times as fast (libfaketime). The program runs as
an ordinary user, as does the portal, which refuses a caller whose /proc/PID/root that
user cannot open: one started from a file capability. Where logind refuses the lid, sleep
and idle are still held, and idle alone where the portal refuses suspend (one line says
when it refuses idle too); a system bus that never answers delays neither the window nor
the ringing."""

import os
import socket
import time

import harness
from harness import wait_for
from harness.desktop import MOCKS
from harness.ringing import cancel, schedule_soon
from dbusmock import MOCK_IFACE

MANAGER = "org.freedesktop.login1.Manager"
LOCK = ("sleep:idle:handle-lid-switch", "Vellomarin", "block")  # what, who, mode
NONE = ([], [])


class SleepInhibitTest(harness.DesktopTestCase):
    mocks = ("logind", "portal")
    user = 65534  # nobody

    def held(self):
        """(logind's locks, the flags of the portal's inhibits)."""
        locks = self.logind().ListInhibitors(dbus_interface=MANAGER)
        return ([(str(lock[0]), str(lock[1]), str(lock[3])) for lock in locks],
                [int(flags) for flags in self.portal().Held(dbus_interface=MOCK_IFACE)])

    def portal(self):
        return self.desktop.bus("session").get_object(MOCKS["portal"][1],
                                                      "/org/freedesktop/portal/desktop")

    def logind(self):
        return self.desktop.bus("system").get_object("org.freedesktop.login1",
                                                     "/org/freedesktop/login1")

    def ring(self, app, lock=LOCK, flags=(4 | 8,)):
        app.click_control("P5")  # three minutes: three seconds here
        yotei = wait_for(lambda: app.text("YOTEI"), "３分後 to schedule", 5)
        self.assertEqual(self.held(), NONE, "held while the alarm was only pending")
        wait_for(lambda: self.held()[0] and len(self.held()[1]) == len(flags),
                 "the ringing to hold both", 15, interval=0.02)
        self.assertGreaterEqual(app.text("PANEL"), yotei, "held before it rang")
        self.assertEqual(self.held(), ([lock], list(flags)), "each once")

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

    def test_less_where_logind_refuses_the_lid_or_the_portal_suspend(self):
        inhibit = "from dbusmock.templates import logind; ret = logind.Inhibit(self, *args)"
        refused = ("if 'handle-lid-switch' in args[0]: raise dbus.exceptions.DBusException("
                   "'Permission denied', name='org.freedesktop.DBus.Error.AccessDenied')\n")
        self.logind().AddMethod(MANAGER, "Inhibit", "ssss", "h", refused + inhibit,
                                dbus_interface=MOCK_IFACE)
        self.addCleanup(self.logind().AddMethod, MANAGER, "Inhibit", "ssss", "h", inhibit,
                        dbus_interface=MOCK_IFACE)
        self.addCleanup(self.portal().Refuse, 0, dbus_interface=MOCK_IFACE)
        app = self.start_app(faketime="@2026-12-08 07:00:00 x60",
                             env={"FAKETIME_DONT_FAKE_MONOTONIC": "0"})
        said = lambda: app.log.read_text().count("vellomarin: the desktop portal refused")
        # The portal's refusals: none; all but idle, as GTK's backend; all (said once).
        for refused, flags, lines in ((0, (4 | 8,), 0), (15 & ~8, (8,), 0), (15, (), 1)):
            with self.subTest(portal_refuses=refused):
                self.portal().Refuse(refused, dbus_interface=MOCK_IFACE)
                self.ring(app, ("sleep:idle", "Vellomarin", "block"), flags)
                wait_for(lambda: said() == lines, f"{lines} line(s) on stderr", 5)
                app.click_control("Cancel")
                wait_for(lambda: self.held() == NONE, "解除 to release both", 2)

    def test_a_hung_system_bus_delays_neither_the_window_nor_the_ringing(self):
        started = time.monotonic()
        self.start_app().stop()
        usual = time.monotonic() - started
        hung = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM | socket.SOCK_NONBLOCK)
        hung.bind(str(self.desktop.tmp / "hung-system-bus"))
        hung.listen()  # the kernel takes the connections; nothing ever answers them
        os.chmod(hung.getsockname(), 0o777)  # for the desktop's user
        started = time.monotonic()
        app = self.start_app(env={"DBUS_SYSTEM_BUS_ADDRESS": f"unix:path={hung.getsockname()}"})
        took = time.monotonic() - started
        print(f"the window up in {took:.2f} s on a hung system bus, {usual:.2f} s usually")
        self.assertLess(took, 2 * usual + 2)
        target = schedule_soon(app)
        self.assertRaises(BlockingIOError, hung.accept)  # not reached before the ringing
        wait_for(lambda: self.held()[1], "the ringing to take the portal's inhibit", 10,
                 interval=0.01)
        print(f"the portal's inhibit {time.time() - target:+.3f} s after the alarm's second")
        self.assertLess(time.time() - target, 0.5)
        self.assertTrue(hung.accept(), "the ringing did not try the system bus")
        cancel(app)
        app.assert_healthy()


if __name__ == "__main__":
    harness.main()

"""A dbusmock template of the desktop portal's Inhibit backend, behind Debian's real
xdg-desktop-portal: an inhibit lasts until the portal closes its request. On the mock
interface, Held() lists the flags of those that last, and Refuse(flags) has any inhibit
that asks for one of `flags` refused, as a backend that cannot block them."""

import dbus
from dbusmock import MOCK_IFACE

BUS_NAME = "org.freedesktop.impl.portal.desktop.vellomarin"
MAIN_OBJ = "/org/freedesktop/portal/desktop"
MAIN_IFACE = "org.freedesktop.impl.portal.Inhibit"
SYSTEM_BUS = False


def load(mock, _parameters):
    mock.held = {}  # request path: flags
    mock.refused = 0


@dbus.service.method(MAIN_IFACE, in_signature="ossua{sv}", out_signature="")
def Inhibit(self, handle, _app_id, _window, flags, _options):
    if flags & self.refused:
        raise dbus.exceptions.DBusException(name="org.freedesktop.DBus.Error.NotSupported")
    self.held[handle] = flags

    def close(_request):
        self.held.pop(handle, None)

    self.AddObject(handle, "org.freedesktop.impl.portal.Request", {}, [("Close", "", "", close)])


@dbus.service.method(MOCK_IFACE, out_signature="au")
def Held(self):
    return dbus.Array(self.held.values(), signature="u")


@dbus.service.method(MOCK_IFACE, in_signature="u")
def Refuse(self, flags):
    self.refused = flags

"""A dbusmock template of the desktop portal's Inhibit: an inhibit lasts until its
request is closed. Held(), on the mock interface, lists those that last."""

import itertools

import dbus
from dbusmock import MOCK_IFACE

BUS_NAME = "org.freedesktop.portal.Desktop"
MAIN_OBJ = "/org/freedesktop/portal/desktop"
MAIN_IFACE = "org.freedesktop.portal.Inhibit"
SYSTEM_BUS = False


def load(mock, _parameters):
    mock.held = {}  # request path: flags
    mock.tokens = itertools.count()


@dbus.service.method(MAIN_IFACE, in_signature="sua{sv}", out_signature="o",
                     sender_keyword="sender")
def Inhibit(self, _window, flags, options, sender):
    token = options.get("handle_token", f"t{next(self.tokens)}")
    path = f"{MAIN_OBJ}/request/{sender[1:].replace('.', '_')}/{token}"
    self.held[path] = flags
    self.AddObject(path, "org.freedesktop.portal.Request", {},
                   [("Close", "", "", lambda _request: self.held.pop(path, None))])
    return dbus.ObjectPath(path)


@dbus.service.method(MOCK_IFACE, out_signature="au")
def Held(self):
    return dbus.Array(self.held.values(), signature="u")

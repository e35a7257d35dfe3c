"""dbusmock's logind, which can also refuse a lock as polkit may: Refuse(what), on the
mock interface, has Inhibit answer AccessDenied to every lock that names `what`
(Refuse("") refuses nothing again)."""

import dbus
from dbusmock import MOCK_IFACE
from dbusmock.templates import logind
from dbusmock.templates.logind import *  # noqa: F401,F403  the rest of logind as it is


def load(mock, parameters):
    logind.load(mock, parameters)
    mock.refused = ""


@dbus.service.method(logind.MAIN_IFACE, in_signature="ssss", out_signature="h")
def Inhibit(self, what, who, why, mode):
    if self.refused in what.split(":"):
        raise dbus.exceptions.DBusException("Permission denied",
                                            name="org.freedesktop.DBus.Error.AccessDenied")
    return logind.Inhibit(self, what, who, why, mode)


@dbus.service.method(MOCK_IFACE, in_signature="s")
def Refuse(self, what):
    self.refused = what

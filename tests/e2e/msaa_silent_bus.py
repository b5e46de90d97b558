#!/usr/bin/env python3
"""Owns org.a11y.Bus on the session bus and never answers GetAddress: the accessibility bus that
does not come. Touches READY once the name is owned.

    msaa_silent_bus.py READY
"""
import sys

from gi.repository import Gio, GLib

INTERFACE = """<node><interface name="org.a11y.Bus"><method name="GetAddress">
<arg type="s" direction="out"/></method></interface></node>"""
held = []  # calls kept unanswered


def on_call(connection, sender, path, interface, method, parameters, invocation):
    held.append(invocation)


def on_bus(connection, name):
    info = Gio.DBusNodeInfo.new_for_xml(INTERFACE)
    connection.register_object("/org/a11y/bus", info.interfaces[0], on_call, None, None)


def on_name(connection, name):
    open(sys.argv[1], "w").close()


Gio.bus_own_name(Gio.BusType.SESSION, "org.a11y.Bus", Gio.BusNameOwnerFlags.NONE, on_bus, on_name, None)
GLib.MainLoop().run()

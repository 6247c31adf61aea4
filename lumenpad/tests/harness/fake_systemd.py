#!/usr/bin/python3
"""A stand-in for systemd's user manager on a private session bus.

    fake_systemd.py ADDRESS RECORD BEHAVIOUR [DELAY [WATCHED]]

It owns org.freedesktop.systemd1 on the bus at ADDRESS, prints "ready" once it
does, and answers StartTransientUnit after DELAY seconds (0 by default) as
BEHAVIOUR says: "answer" with a job, "refuse" with an error, "hang" never.
Each call is appended to RECORD as one JSON line: the unit's name, the mode,
the properties, and, once answered, the names in the directory WATCHED at
that moment ("seen_at_reply"), where stubs leave their records.
"""

import json
import os
import sys

from gi.repository import Gio, GLib

INTERFACE = """\
<node>
  <interface name="org.freedesktop.systemd1.Manager">
    <method name="StartTransientUnit">
      <arg name="name" type="s" direction="in"/>
      <arg name="mode" type="s" direction="in"/>
      <arg name="properties" type="a(sv)" direction="in"/>
      <arg name="aux" type="a(sa(sv))" direction="in"/>
      <arg name="job" type="o" direction="out"/>
    </method>
  </interface>
</node>
"""


def main():
    address, record, behaviour = sys.argv[1:4]
    delay = float(sys.argv[4]) if len(sys.argv) > 4 else 0.0
    watched = sys.argv[5] if len(sys.argv) > 5 else None
    connection = Gio.DBusConnection.new_for_address_sync(
        address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION,
        None, None)
    unanswered = []

    def write(call):
        with open(record, "a") as f:
            f.write(json.dumps(call) + "\n")

    def on_call(connection, sender, path, interface, method, parameters, invocation):
        name, mode, properties, aux = parameters.unpack()
        properties = dict(properties)
        call = {"name": name, "mode": mode, "properties": properties, "aux": aux}

        def answer():
            call["seen_at_reply"] = sorted(os.listdir(watched)) if watched else []
            write(call)
            if behaviour == "refuse":
                invocation.return_dbus_error("org.freedesktop.systemd1.UnitExists", f"Unit {name} was refused")
            else:
                invocation.return_value(GLib.Variant("(o)", ("/org/freedesktop/systemd1/job/1",)))
            return GLib.SOURCE_REMOVE

        if behaviour == "hang":
            write(call)
            unanswered.append(invocation)
        elif delay > 0:
            GLib.timeout_add(int(delay * 1000), answer)
        else:
            answer()

    info = Gio.DBusNodeInfo.new_for_xml(INTERFACE).interfaces[0]
    connection.register_object("/org/freedesktop/systemd1", info, on_call, None, None)

    def on_acquired(*_):
        print("ready", flush=True)

    Gio.bus_own_name_on_connection(connection, "org.freedesktop.systemd1", Gio.BusNameOwnerFlags.NONE,
                                   on_acquired, None)
    GLib.MainLoop().run()


if __name__ == "__main__":
    main()

#!/usr/bin/python3
"""A stand-in for the driver host on the system bus, for the tests of its client.

It serves the host's D-Bus interface (org.halvorin.Driver1) without devices:
driver instances are added and removed through org.halvorin.Test.Control on
/org/halvorin/Test, and every call the agent makes is printed on standard
output, one line each, for example
    post type=10 x=0 y=0 key=8 click=0 flags=0x40000 options=0
    set-properties id=1 {...}
    acceleration HIDMouseAcceleration=0.5
    subscribe id=1
"""
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NAME = 'org.halvorin.Driver1'
ROOT = '/org/halvorin/Driver1'
SERVICE = 'org.halvorin.Driver1.Service'
HIDSYSTEM = 'org.halvorin.Driver1.HIDSystem'
PROPERTIES = 'org.freedesktop.DBus.Properties'
MANAGER = 'org.freedesktop.DBus.ObjectManager'
CONTROL = 'org.halvorin.Test.Control'
TERMINATED = 0xe0000010


def say(line):
    print(line, flush=True)


def plain(value):
    """A D-Bus value as plain Python, for the printed lines."""
    if isinstance(value, dict):
        return {str(k): plain(v) for k, v in value.items()}
    if isinstance(value, list):
        return [plain(v) for v in value]
    if isinstance(value, dbus.Boolean):
        return bool(value)
    if isinstance(value, (dbus.String, str)):
        return str(value)
    if isinstance(value, dbus.Double):
        return float(value)
    return int(value)


class Service(dbus.service.Object):
    def __init__(self, bus, path, registration, class_name, vendor, product):
        super().__init__(bus, path)
        self.path = path
        self.subscribers = set()
        self.props = {
            'ClassName': dbus.String(class_name),
            'Classes': dbus.Array([class_name] + (['IOService'] if class_name != 'IOHIDSystem' else []),
                                  signature='s'),
            'RegistrationId': dbus.UInt64(registration),
            'VendorID': dbus.UInt32(vendor),
            'ProductID': dbus.UInt32(product),
            'Properties': dbus.Dictionary(
                {} if class_name == 'IOHIDSystem' else
                {'VendorID': dbus.Int64(vendor), 'ProductID': dbus.Int64(product)},
                signature='sv'),
        }

    @dbus.service.method(PROPERTIES, in_signature='ss', out_signature='v')
    def Get(self, interface, name):
        return self.GetAll(interface)[name]

    @dbus.service.method(PROPERTIES, in_signature='s', out_signature='a{sv}')
    def GetAll(self, interface):
        if interface != SERVICE:
            raise dbus.exceptions.DBusException('no such interface',
                                                name='org.freedesktop.DBus.Error.InvalidArgs')
        return self.props

    @dbus.service.method(SERVICE, in_signature='v', out_signature='i')
    def SetProperties(self, properties):
        say(f'set-properties id={int(self.props["RegistrationId"])} {plain(properties)}')
        return 0

    @dbus.service.method(SERVICE, in_signature='', out_signature='', sender_keyword='sender')
    def Subscribe(self, sender=None):
        self.subscribers.add(sender)
        say(f'subscribe id={int(self.props["RegistrationId"])}')

    @dbus.service.method(SERVICE, in_signature='', out_signature='', sender_keyword='sender')
    def Unsubscribe(self, sender=None):
        self.subscribers.discard(sender)
        say(f'unsubscribe id={int(self.props["RegistrationId"])}')

    def send(self, message_type, argument):
        for subscriber in list(self.subscribers):
            signal = dbus.lowlevel.SignalMessage(self.path, SERVICE, 'Message')
            signal.append(dbus.UInt32(message_type), dbus.UInt64(argument), signature='ut')
            signal.set_destination(subscriber)
            self.connection.send_message(signal)


class HIDSystem(Service):
    refuse_posts = False

    @dbus.service.method(HIDSYSTEM, in_signature='unnqiuu', out_signature='i')
    def PostEvent(self, event_type, x, y, key, click, flags, options):
        say(f'post type={event_type} x={x} y={y} key={key} click={click} '
            f'flags={hex(flags)} options={options}')
        if self.refuse_posts:
            raise dbus.exceptions.DBusException('Not authorised',
                                                name='org.freedesktop.DBus.Error.AccessDenied')
        return 0

    @dbus.service.method(HIDSYSTEM, in_signature='sd', out_signature='i')
    def SetAcceleration(self, key, value):
        say(f'acceleration {key}={value:g}')
        return 0


class Root(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, ROOT)
        self.bus = bus
        self.services = {}
        self.next_id = 1
        self.hid_system = HIDSystem(bus, ROOT + '/HIDSystem', 0, 'IOHIDSystem', 0, 0)

    def objects(self):
        managed = {self.hid_system.path: {SERVICE: self.hid_system.props}}
        for service in self.services.values():
            managed[service.path] = {SERVICE: service.props}
        return managed

    @dbus.service.method(MANAGER, in_signature='', out_signature='a{oa{sa{sv}}}')
    def GetManagedObjects(self):
        return self.objects()

    @dbus.service.signal(MANAGER, signature='oa{sa{sv}}')
    def InterfacesAdded(self, path, interfaces):
        pass

    @dbus.service.signal(MANAGER, signature='oas')
    def InterfacesRemoved(self, path, interfaces):
        pass


class Control(dbus.service.Object):
    def __init__(self, bus, root):
        super().__init__(bus, '/org/halvorin/Test')
        self.root = root

    @dbus.service.method(CONTROL, in_signature='uu', out_signature='t')
    def AddInstance(self, vendor, product):
        registration = self.root.next_id
        self.root.next_id += 1
        path = f'{ROOT}/service/{registration}'
        service = Service(self.root.bus, path, registration, 'com_halvorin_OrvandelDriver',
                          vendor, product)
        self.root.services[registration] = service
        self.root.InterfacesAdded(path, {SERVICE: service.props})
        return registration

    @dbus.service.method(CONTROL, in_signature='t', out_signature='')
    def RemoveInstance(self, registration):
        service = self.root.services.pop(registration)
        service.send(TERMINATED, 0)
        service.remove_from_connection()
        self.root.InterfacesRemoved(service.path, [SERVICE])

    @dbus.service.method(CONTROL, in_signature='tut', out_signature='')
    def SendMessage(self, registration, message_type, argument):
        self.root.services[registration].send(message_type, argument)

    @dbus.service.method(CONTROL, in_signature='b', out_signature='')
    def RefusePosts(self, refuse):
        self.root.hid_system.refuse_posts = refuse


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SystemBus()
    root = Root(bus)
    control = Control(bus, root)
    # Registered before the name is taken, so whoever sees the name finds them.
    name = dbus.service.BusName(NAME, bus, do_not_queue=True)
    say('ready')
    loop = GLib.MainLoop()
    try:
        loop.run()
    finally:
        del name, control


if __name__ == '__main__':
    sys.exit(main())

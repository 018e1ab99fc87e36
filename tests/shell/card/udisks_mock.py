#!/usr/bin/python3
"""Drives a fake disk service started with
   python3 -m dbusmock --system -m org.freedesktop.UDisks2 /org/freedesktop/UDisks2
   org.freedesktop.UDisks2.Manager
on the bus named by DBUS_SYSTEM_BUS_ADDRESS.

   udisks_mock.py ping
   udisks_mock.py add NAME LABEL UUID REMOVABLE(0|1)
   udisks_mock.py mount NAME FOLDER      (announced again when already mounted there)
   udisks_mock.py unmount NAME
"""
import sys

import dbus

SERVICE = 'org.freedesktop.UDisks2'
ROOT = '/org/freedesktop/UDisks2'
MOCK = 'org.freedesktop.DBus.Mock'
FILESYSTEM = 'org.freedesktop.UDisks2.Filesystem'


def mock_of(bus, path):
    return dbus.Interface(bus.get_object(SERVICE, path), MOCK)


def mount_points(folders):
    return dbus.Array([dbus.ByteArray(f.encode() + b'\0') for f in folders], signature='ay')


def main(argv):
    bus = dbus.SystemBus()
    root = mock_of(bus, ROOT)
    command = argv[1]
    if command == 'ping':
        root.GetCalls()
    elif command == 'add':
        name, label, uuid, removable = argv[2:6]
        drive = ROOT + '/drives/' + name
        block = ROOT + '/block_devices/' + name
        root.AddObject(drive, 'org.freedesktop.UDisks2.Drive',
                       {'Removable': dbus.Boolean(removable == '1'),
                        'MediaRemovable': dbus.Boolean(removable == '1')}, [])
        root.AddObject(block, 'org.freedesktop.UDisks2.Block',
                       {'IdUUID': uuid, 'IdLabel': label, 'Drive': dbus.ObjectPath(drive)}, [])
        mock_of(bus, block).AddProperty(FILESYSTEM, 'MountPoints', mount_points([]))
        root.EmitSignal('org.freedesktop.DBus.ObjectManager', 'InterfacesAdded', 'oa{sa{sv}}',
                        [dbus.ObjectPath(block), dbus.Dictionary({}, signature='sa{sv}')])
    elif command == 'mount':
        mock_of(bus, ROOT + '/block_devices/' + argv[2]).UpdateProperties(
            FILESYSTEM, {'MountPoints': mount_points([argv[3]])})
    elif command == 'unmount':
        mock_of(bus, ROOT + '/block_devices/' + argv[2]).UpdateProperties(
            FILESYSTEM, {'MountPoints': mount_points([])})
    else:
        raise SystemExit('unknown command ' + command)


if __name__ == '__main__':
    main(sys.argv)

'''A small udisks2 for the eject tests: one card reader drive with two mounted partitions
(sdb1 at parameters["mount"], sdb2 elsewhere) and the system disk (sda1 at "/"). Every
Unmount, Eject and PowerOff call is appended to parameters["record"] with its object.'''

import dbus

from dbusmock.mockobject import objects

BUS_NAME = 'org.freedesktop.UDisks2'
MAIN_OBJ = '/org/freedesktop/UDisks2/Manager'
MAIN_IFACE = 'org.freedesktop.UDisks2.Manager'
SYSTEM_BUS = True

BLOCK = 'org.freedesktop.UDisks2.Block'
FILESYSTEM = 'org.freedesktop.UDisks2.Filesystem'
DRIVE = 'org.freedesktop.UDisks2.Drive'
ROOT = '/org/freedesktop/UDisks2'


def record(path, what, name):
    return f'open({path!r}, "a").write({(what + " " + name + chr(10))!r})'


def load(mock, parameters):
    rec = parameters['record']
    blocks = {
        'sda1': ('/', 'SystemDisk'),
        'sdb1': (parameters['mount'], 'Card'),
        'sdb2': (parameters['mount'] + '-second', 'Card'),
    }
    mock.AddMethod(MAIN_IFACE, 'GetBlockDevices', 'a{sv}', 'ao',
                   'ret = [dbus.ObjectPath(p) for p in %r]' %
                   [f'{ROOT}/block_devices/{n}' for n in sorted(blocks)])
    for name, (mount, drive) in blocks.items():
        path = f'{ROOT}/block_devices/{name}'
        mock.AddObject(path, BLOCK, {'Drive': dbus.ObjectPath(f'{ROOT}/drives/{drive}')}, [])
        obj = objects[path]
        obj.AddProperties(FILESYSTEM, {
            'MountPoints': dbus.Array([dbus.ByteArray(mount.encode() + b'\0')], signature='ay')})
        obj.AddMethod(FILESYSTEM, 'Unmount', 'a{sv}', '', record(rec, 'Unmount', name))
    for drive, ejectable in (('SystemDisk', False), ('Card', parameters.get('ejectable', True))):
        path = f'{ROOT}/drives/{drive}'
        mock.AddObject(path, DRIVE, {'Ejectable': ejectable, 'CanPowerOff': True}, [
            ('Eject', 'a{sv}', '', record(rec, 'Eject', drive)),
            ('PowerOff', 'a{sv}', '', record(rec, 'PowerOff', drive)),
        ])

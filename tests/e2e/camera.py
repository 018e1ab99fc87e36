"""Camera-like picture folders for the installed-program tests.

A picture is a small JPEG with an Exif block (IFD0 with Make, Model and DateTime, an Exif IFD with
DateTimeOriginal) and pseudo-random scan data, as a camera writes it.
"""
import random
import struct
from pathlib import Path


def _segment(marker: int, body: bytes) -> bytes:
    return bytes([0xFF, marker]) + struct.pack(">H", len(body) + 2) + body


def _tiff(date: str) -> bytes:
    ascii_values = [(0x010F, b"Canon\0"), (0x0110, b"Canon EOS 20D\0"), (0x0132, date.encode() + b"\0")]
    ifd0_at = 8
    ifd0_size = 2 + 12 * (len(ascii_values) + 1) + 4
    exif_at = ifd0_at + ifd0_size
    exif_size = 2 + 12 * 2 + 4
    data_at = exif_at + exif_size
    data = b""

    def ascii_entry(tag: int, value: bytes) -> bytes:
        nonlocal data
        entry = struct.pack("<HHII", tag, 2, len(value), data_at + len(data))
        data += value
        return entry

    ifd0 = struct.pack("<H", len(ascii_values) + 1)
    for tag, value in ascii_values:
        ifd0 += ascii_entry(tag, value)
    ifd0 += struct.pack("<HHII", 0x8769, 4, 1, exif_at) + struct.pack("<I", 0)
    exif = struct.pack("<H", 2) + struct.pack("<HHI", 0x9000, 7, 4) + b"0221"
    exif += ascii_entry(0x9003, date.encode() + b"\0") + struct.pack("<I", 0)
    return b"II*\0" + struct.pack("<I", ifd0_at) + ifd0 + exif + data


def jpeg(date: str, seed: int, scan_bytes: int = 6000) -> bytes:
    """A picture taken at date ("YYYY:MM:DD HH:MM:SS"); the seed makes its contents its own."""
    out = b"\xFF\xD8" + _segment(0xE1, b"Exif\0\0" + _tiff(date))
    out += _segment(0xDB, b"\x01" * 65)
    out += _segment(0xC0, b"\x08\x00\x10\x00\x10\x01\x01\x11\x00")
    out += _segment(0xDA, b"\x01\x01\x00\x00\x3F\x00")
    rng = random.Random(seed)
    scan = bytearray()
    for _ in range(scan_bytes):
        b = rng.randrange(256)
        scan.append(b)
        if b == 0xFF:
            scan.append(0)
    return out + bytes(scan) + b"\xFF\xD9"


def camera_folder(root: Path, count: int, first_seed: int = 1, day: int = 15) -> dict:
    """Writes DCIM/100CANON/IMG_0001.JPG... under root, one picture a minute on the given day of
    March 2002. Returns {file name: expected new name}."""
    folder = root / "DCIM" / "100CANON"
    folder.mkdir(parents=True, exist_ok=True)
    names = {}
    for i in range(count):
        minute = i % 60
        date = f"2002:03:{day:02d} 14:{minute:02d}:05"
        name = f"IMG_{first_seed + i:04d}.JPG"
        (folder / name).write_bytes(jpeg(date, first_seed + i))
        names[name] = f"200203{day:02d}_14{minute:02d}05.JPG"
    return names

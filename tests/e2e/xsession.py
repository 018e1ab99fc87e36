"""A private X display (Xvfb) and the person at it: keys and clicks through xdotool, pictures of
the screen read from Xvfb's frame buffer file."""
import os
import shutil
import struct
import subprocess
import tempfile
import time
import zlib
from pathlib import Path


class Unavailable(Exception):
    """No display server can be started here."""


def wait_for(what: str, test, timeout: float = 30.0, step: float = 0.1):
    """Polls test() until it returns something true; fails with what after the timeout."""
    deadline = time.monotonic() + timeout
    while True:
        value = test()
        if value:
            return value
        if time.monotonic() > deadline:
            raise TimeoutError(f"timed out after {timeout:.0f} s waiting for {what}")
        time.sleep(step)


class XSession:
    def __init__(self, width: int = 1280, height: int = 1024):
        for tool in ("Xvfb", "xdotool"):
            if shutil.which(tool) is None:
                raise Unavailable(f"{tool} is not installed")
        self.fbdir = tempfile.TemporaryDirectory(prefix="quillmere-xvfb-")
        read_end, write_end = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24",
             "-nolisten", "tcp", "-fbdir", self.fbdir.name],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        with os.fdopen(read_end, "rb") as pipe:
            while not number.endswith(b"\n"):
                chunk = pipe.read(1)
                if not chunk:
                    break
                number += chunk
        if not number.strip():
            self.close()
            raise Unavailable("Xvfb did not start")
        self.display = f":{number.decode().strip()}"

    def close(self):
        if self.server.poll() is None:
            self.server.terminate()
            try:
                self.server.wait(10)
            except subprocess.TimeoutExpired:
                self.server.kill()
        self.fbdir.cleanup()

    def env(self) -> dict:
        return dict(os.environ, DISPLAY=self.display)

    def xdotool(self, *args) -> str:
        result = subprocess.run(["xdotool", *args], env=self.env(), capture_output=True,
                                text=True, timeout=30)
        return result.stdout.strip()

    def find_window(self, title_regex: str, timeout: float = 30.0) -> str:
        def search():
            ids = self.xdotool("search", "--onlyvisible", "--name", title_regex).split()
            return ids[0] if ids else None
        return wait_for(f"a window titled {title_regex!r}", search, timeout)

    def geometry(self, window: str) -> tuple:
        values = dict(line.split("=", 1) for line in
                      self.xdotool("getwindowgeometry", "--shell", window).splitlines())
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def focus(self, window: str):
        self.xdotool("windowfocus", "--sync", window)

    def keys(self, *keys: str):
        self.xdotool("key", "--delay", "60", *keys)

    def type_text(self, text: str):
        self.xdotool("type", "--delay", "20", text)

    def click(self, x: int, y: int):
        self.xdotool("mousemove", "--sync", str(x), str(y), "click", "1")

    # Pictures of the screen -------------------------------------------------------------------

    def frame(self) -> tuple:
        """The screen as (width, height, rows of RGB bytes), read from Xvfb's XWD frame buffer."""
        data = (Path(self.fbdir.name) / "Xvfb_screen0").read_bytes()
        header = struct.unpack(">25I", data[:100])
        header_size, width, height = header[0], header[4], header[5]
        bits_per_pixel, bytes_per_line, ncolors = header[11], header[12], header[19]
        if bits_per_pixel != 32:
            raise RuntimeError(f"unexpected frame buffer depth {bits_per_pixel}")
        start = header_size + ncolors * 12
        rows = []
        for y in range(height):
            line = data[start + y * bytes_per_line:start + y * bytes_per_line + width * 4]
            rgb = bytearray(width * 3)
            rgb[0::3] = line[2::4]
            rgb[1::3] = line[1::4]
            rgb[2::3] = line[0::4]
            rows.append(bytes(rgb))
        return width, height, rows

    def wait_until_still(self, timeout: float = 10.0):
        """Waits until two pictures of the screen a moment apart are the same."""
        last = [None]

        def still():
            now = self.frame()[2]
            same = now == last[0]
            last[0] = now
            return same
        wait_for("the screen to settle", still, timeout, step=0.3)

    def screenshot(self, png: Path, box: tuple | None = None):
        """Writes the screen, or the box (x, y, width, height) of it, as a PNG file."""
        width, height, rows = self.frame()
        x, y, w, h = box if box else (0, 0, width, height)
        w, h = min(w, width - x), min(h, height - y)
        raw = b"".join(b"\0" + rows[y + i][x * 3:(x + w) * 3] for i in range(h))

        def chunk(kind: bytes, body: bytes) -> bytes:
            return (struct.pack(">I", len(body)) + kind + body +
                    struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
        png.parent.mkdir(parents=True, exist_ok=True)
        png.write_bytes(b"\x89PNG\r\n\x1a\n" +
                        chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)) +
                        chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))

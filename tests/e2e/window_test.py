#!/usr/bin/env python3
"""End-to-end run of the installed program under Xvfb, driven from outside as a person would:
the menu through the keyboard, every window opened and photographed, and a job of four steps
(rename, duplicate delete, backup, mirror) started with its button on generated camera folders,
whose files are checked afterwards.

Exit status 77 (a skipped test for CTest) when no display server can be started."""
import filecmp
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import camera  # noqa: E402
import installed  # noqa: E402
from xsession import Unavailable, XSession, wait_for  # noqa: E402

BUILD = Path(sys.argv.pop(1)).resolve() if len(sys.argv) > 1 else Path("build/dev").resolve()
SHOTS = Path(sys.argv.pop(1)).resolve() if len(sys.argv) > 1 else BUILD / "e2e-screenshots"

# The main window's menu bar, left to right.
MENU = ["ReName", "WFileDel", "BackUP", "Mirrorring", "FileBack", "Recovery", "Job", "Arrange",
        "Classic", "Version", "End", "Help"]
WINDOW_FILES = {"ReName": "rename", "WFileDel": "duplicate-delete", "BackUP": "backup",
                "Mirrorring": "mirroring", "FileBack": "file-back", "Recovery": "recovery",
                "Job": "job", "Version": "version"}
# Job choices: 2 rename, 3 duplicate delete, 4 backup, 5 mirroring (ten choices a step).
JOB_CHOICES = [2, 3, 4, 5]


def path_text(path: Path) -> str:
    return "C:" + str(path).replace("/", "\\")


def write_ini(ini: Path, sections: dict):
    lines = []
    for section, keys in sections.items():
        lines.append(f"[{section}]")
        lines += [f"{key}={value}" for key, value in keys.items()]
        lines.append("")
    ini.write_text("\n".join(lines), encoding="utf-8")


class InstalledProgram(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory(prefix="quillmere-e2e-")
        root = Path(cls.tmp.name)
        cls.prefix = installed.install(BUILD, root / "root")
        cls.home = root / "home"
        cls.ini = root / "quillmere.ini"
        cls.x = XSession()
        cls.env = installed.clean_environment(cls.home)
        cls.env.update(DISPLAY=cls.x.display, QUILLMERE_INI=str(cls.ini), QT_QPA_PLATFORM="xcb")
        # The desktop's opener is replaced by one that only notes what it was asked to open.
        tools = root / "tools"
        tools.mkdir()
        cls.opened = root / "opened"
        opener = tools / "xdg-open"
        opener.write_text(f'#!/bin/sh\necho "$1" >> "{cls.opened}"\n')
        opener.chmod(0o755)
        cls.env["PATH"] = f"{tools}:{cls.env.get('PATH', '/usr/bin:/bin')}"
        cls.app = None

    @classmethod
    def tearDownClass(cls):
        if cls.app is not None and cls.app.poll() is None:
            cls.app.terminate()
            try:
                cls.app.wait(10)
            except subprocess.TimeoutExpired:
                cls.app.kill()
        cls.x.close()
        cls.tmp.cleanup()

    # The person at the screen ------------------------------------------------------------------

    def start_program(self, folder: Path):
        """Starts the program in folder, the folder the panels without a stored one show."""
        cls = type(self)
        cls.app = subprocess.Popen([str(self.prefix / "bin" / "quillmere")], env=self.env,
                                   cwd=folder, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        self.main = self.x.find_window("^quillmere$")
        self.x.xdotool("mousemove", "--sync", "0", "1000")  # the pointer out of the pictures
        self.x.wait_until_still()

    def choose_menu(self, item: str, *then: str):
        """Alt puts the focus on the menu bar; the arrow keys walk to the item; Return chooses."""
        before = self.x.frame()[2]
        self.x.focus(self.main)
        self.x.keys("alt", *(["Right"] * MENU.index(item)), "Return", *then)
        wait_for(f"the screen to change after choosing {item}",
                 lambda: self.x.frame()[2] != before, timeout=20)
        self.x.wait_until_still()

    def click_first_menu_item(self):
        """The mouse on the menu bar's first item, リネーム, at the main window's top left."""
        before = self.x.frame()[2]
        x, y, _, _ = self.x.geometry(self.main)
        self.x.click(x + 25, y + 8)
        self.x.xdotool("mousemove", "--sync", "0", "1000")
        wait_for("the rename panel", lambda: self.x.frame()[2] != before, timeout=20)
        self.x.wait_until_still()

    def photograph(self, name: str):
        self.x.screenshot(SHOTS / f"{name}.png", self.x.geometry(self.main))

    def close_all_windows(self):
        # The arrange menu's last item, "全て閉じる", closes every panel.
        self.choose_menu("Arrange", "Up", "Return")

    def choose_key(self, key: str):
        """A key that changes the screen (opens or answers a question)."""
        before = self.x.frame()[2]
        self.x.keys(key)
        wait_for(f"the screen to change after {key}", lambda: self.x.frame()[2] != before,
                 timeout=20)
        self.x.wait_until_still()

    # The camera folders ------------------------------------------------------------------------

    def camera_folders(self):
        card = self.home / "card"
        renamed = camera.camera_folder(card, 6)
        pictures = card / "DCIM" / "100CANON"
        originals = self.home / "originals"
        originals.mkdir()
        # Two pictures were already copied to the computer under other names.
        shutil.copyfile(pictures / "IMG_0001.JPG", originals / "kept-1.JPG")
        shutil.copyfile(pictures / "IMG_0002.JPG", originals / "kept-2.JPG")
        expected = {renamed[n]: (pictures / n).read_bytes() for n in sorted(renamed)[2:]}
        backups, mirror = self.home / "backups", self.home / "mirror"
        backups.mkdir()
        mirror.mkdir()
        job = {f"Job-Check{s}": 1 for s in range(1, 5)}
        job.update({f"Job-Option{(s - 1) * 10 + choice}": "True"
                    for s, choice in enumerate(JOB_CHOICES, start=1)})
        write_ini(self.ini, {
            "ReName": {"ReName-InDir": path_text(pictures), "ReName-OutDir": path_text(pictures)},
            "WFileDel": {"WFileDel-InDir": path_text(originals),
                         "WFileDel-OutDir": path_text(pictures), "WFileDel-OutFileDel": 0,
                         "WFileDel-InDelDir": 0, "WFileDel-OutDelDir": 0},
            "BackUP": {"BackUP-InDir": path_text(pictures), "BackUP-OutDir": path_text(backups),
                       "BackUP-Exe": 0},
            "Mirrorring": {"Mirrorring-InDir": path_text(pictures),
                           "Mirrorring-OutDir": path_text(mirror), "Mirrorring-DustBox": 0},
            "FileBack": {"FileBack-InDir": path_text(originals),
                         "FileBack-OutDir": path_text(self.home)},
            "Job": job,
        })
        return pictures, originals, backups, mirror, expected

    # The run -----------------------------------------------------------------------------------

    def test_every_window_and_a_job_of_four_steps(self):
        pictures, originals, backups, mirror, expected = self.camera_folders()
        parked = self.home / "parked"
        parked.mkdir()
        (parked / "IMG_0100.JPGTemp").write_bytes(camera.jpeg("2002:03:16 10:00:00", 100))
        self.start_program(parked)
        self.photograph("main-window")

        # F1 opens the installed help file.
        self.x.focus(self.main)
        self.x.keys("F1")
        wait_for("the help file to be opened", self.opened.exists, timeout=20)
        self.assertTrue(self.opened.read_text().strip().endswith(
            "/usr/share/quillmere/QuMere_Help.html"), self.opened.read_text())

        self.click_first_menu_item()
        self.photograph("rename-window")
        self.close_all_windows()
        for item in ("WFileDel", "BackUP", "FileBack", "Version"):
            with self.subTest(window=item):
                self.choose_menu(item)
                self.photograph(f"{WINDOW_FILES[item]}-window")
                self.close_all_windows()

        # Mirroring: a title typed into the setting box (one Shift+Tab away from where the focus
        # starts) and Return save the current options after a question answered with Return.
        self.choose_menu("Mirrorring")
        self.photograph("mirroring-window")
        self.x.keys("shift+Tab")
        self.x.type_text("card-copy")
        self.choose_key("Return")
        self.choose_key("Return")
        wait_for("the saved mirroring setting",
                 lambda: "Mirrorring-SettingListTitle_1=card-copy" in self.ini.read_text("utf-8"))
        self.close_all_windows()

        # Recovery shows the folder the program started in; its button, Temp削除, is the last
        # control of the window, one Shift+Tab away from where the focus starts.
        self.choose_menu("Recovery")
        self.photograph("recovery-window")
        self.x.keys("shift+Tab", "space")
        wait_for("the parked picture's name back",
                 lambda: (parked / "IMG_0100.JPG").exists(), timeout=30)
        self.assertFalse((parked / "IMG_0100.JPGTemp").exists())
        self.close_all_windows()

        # The job window: its button is the last control of the window, one Shift+Tab away
        # from the first step's check box that has the focus when the window opens.
        self.choose_menu("Job")
        self.photograph("job-window")
        self.x.keys("shift+Tab", "space")

        def job_done():
            mirrored = sorted(p.name for p in mirror.iterdir())
            return mirrored == sorted(expected) and any(backups.iterdir())
        try:
            wait_for("the job's four steps", job_done, timeout=180, step=0.5)
        except TimeoutError:
            self.photograph("job-timed-out")
            raise
        self.x.wait_until_still()
        self.photograph("job-done")

        # Rename: the pictures carry their shooting dates; duplicate delete: the two already on
        # the computer are gone from the card; the originals are untouched.
        self.assertEqual(sorted(p.name for p in pictures.iterdir()), sorted(expected))
        for name, data in expected.items():
            self.assertEqual((pictures / name).read_bytes(), data, name)
            self.assertTrue(filecmp.cmp(pictures / name, mirror / name, shallow=False), name)
        self.assertEqual(sorted(p.name for p in originals.iterdir()), ["kept-1.JPG", "kept-2.JPG"])
        # Backup: one LZH archive that an outside reader lists with the four pictures.
        archives = list(backups.iterdir())
        self.assertEqual(len(archives), 1)
        self.assertTrue(archives[0].name.lower().endswith(".lzh"), archives[0].name)
        if shutil.which("lha"):
            listing = subprocess.run(["lha", "l", str(archives[0])], capture_output=True,
                                     text=True).stdout
            for name in expected:
                self.assertIn(name, listing)

        # End from the menu: the program stops by itself with status 0.
        self.x.focus(self.main)
        self.x.keys("alt", *(["Right"] * MENU.index("End")), "Return")
        self.assertEqual(self.app.wait(30), 0, self.app.stderr.read().decode(errors="replace"))


def main():
    try:
        XSession().close()
    except Unavailable as reason:
        print(f"e2e: SKIPPED, no display server: {reason}", flush=True)
        sys.exit(77)
    unittest.main(verbosity=2)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""The installed layout works on its own: the installed quillmere-run documents its actions and
renames a camera folder, finding its library and archivers without any environment variable."""
import os
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import camera  # noqa: E402
import installed  # noqa: E402

BUILD = Path(sys.argv.pop(1)).resolve() if len(sys.argv) > 1 else Path("build/dev")


class InstalledRunner(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory(prefix="quillmere-installed-")
        root = Path(cls.tmp.name)
        # QUILLMERE_TEST_DEB names a built package to unpack instead of installing the build.
        deb = os.environ.get("QUILLMERE_TEST_DEB")
        cls.prefix = installed.install(BUILD, root / "root", Path(deb) if deb else None)
        cls.home = root / "home"
        cls.env = installed.clean_environment(cls.home)
        cls.ini = root / "quillmere.ini"

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def run_installed(self, *args):
        return subprocess.run([str(self.prefix / "bin" / "quillmere-run"), "--ini", str(self.ini),
                               *args], env=self.env, capture_output=True, text=True, timeout=120)

    def test_layout_puts_everything_where_the_programs_look(self):
        for part in ("bin/quillmere", "bin/quillmere-run", "lib/quillmere/libquillmereDLL.so",
                     "lib/quillmere/libunlha32.so", "lib/quillmere/libcab32.so",
                     "lib/quillmere/quillmere-sfx", "share/applications/quillmere.desktop",
                     "share/icons/hicolor/scalable/apps/quillmere.svg",
                     "share/icons/hicolor/48x48/apps/quillmere.png",
                     "share/icons/hicolor/256x256/apps/quillmere.png",
                     "share/quillmere/QuMere_Help.html"):
            self.assertTrue((self.prefix / part).exists(), part)
        dynamic = subprocess.run(["readelf", "-d", str(self.prefix / "bin/quillmere-run")],
                                 capture_output=True, text=True, check=True).stdout
        self.assertIn("$ORIGIN/../lib/quillmere", dynamic)
        self.assertNotIn(str(BUILD), dynamic)
        # Both programs load the installed library, not one from the build tree.
        for program in ("quillmere", "quillmere-run"):
            linked = subprocess.run(["ldd", str(self.prefix / "bin" / program)], env=self.env,
                                    capture_output=True, text=True, check=True).stdout
            line = next(line for line in linked.splitlines() if "libquillmereDLL" in line)
            found = Path(line.split("=>")[1].split("(")[0].strip()).resolve()
            self.assertEqual(found, (self.prefix / "lib/quillmere/libquillmereDLL.so").resolve())

    def test_help_documents_every_action(self):
        result = self.run_installed("--help")
        self.assertEqual(result.returncode, 0, result.stderr)
        for action in ("ReName", "Recovery", "WFileDel", "FileBack", "BackUP", "Mirrorring", "Job"):
            self.assertIn(action, result.stdout + result.stderr)

    def test_rename_and_backup_run_from_the_installed_layout(self):
        card = self.home / "card"
        expected = camera.camera_folder(card, 3)
        pictures = card / "DCIM" / "100CANON"
        result = self.run_installed("ReName", str(pictures))
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(sorted(p.name for p in pictures.iterdir()), sorted(expected.values()))

        # The backup loads the LZH archiver and the stub from the installed library folder.
        out = self.home / "backup"
        out.mkdir()
        result = self.run_installed("--set", f"InDir={pictures}", "--set", f"OutDir={out}",
                                    "BackUP")
        self.assertEqual(result.returncode, 0, result.stderr)
        archives = list(out.iterdir())
        self.assertEqual(len(archives), 1, result.stderr)
        self.assertGreater(archives[0].stat().st_size, 100)


if __name__ == "__main__":
    unittest.main(verbosity=2)

"""Puts the program's installed layout into a temporary root, the way a package would place it.

With a .deb built by cpack the package's contents are unpacked (dpkg-deb -x); otherwise the build
tree is installed with cmake --install into the temporary root under the prefix /usr.
"""
import os
import subprocess
from pathlib import Path


def install(build_dir: Path, root: Path, deb: Path | None = None) -> Path:
    """Returns the prefix inside root (root/usr)."""
    if deb is not None:
        subprocess.run(["dpkg-deb", "-x", str(deb), str(root)], check=True)
    else:
        env = dict(os.environ, DESTDIR=str(root))
        subprocess.run(
            ["cmake", "--install", str(build_dir), "--prefix", "/usr"],
            check=True, env=env, stdout=subprocess.DEVNULL)
    return root / "usr"


def clean_environment(home: Path) -> dict:
    """An environment with nothing that points the program at the build tree, and a home of its
    own so that the user's real settings are never read or written."""
    env = {k: v for k, v in os.environ.items()
           if not k.startswith("QUILLMERE_") and k not in ("LD_LIBRARY_PATH", "LD_PRELOAD")}
    for name in ("config", "data", "cache", "state", "runtime"):
        (home / f".{name}").mkdir(mode=0o700, parents=True, exist_ok=True)
    env.update(HOME=str(home), XDG_CONFIG_HOME=str(home / ".config"),
               XDG_DATA_HOME=str(home / ".data"), XDG_CACHE_HOME=str(home / ".cache"),
               XDG_STATE_HOME=str(home / ".state"),
               XDG_RUNTIME_DIR=str(home / ".runtime"), TZ="Asia/Tokyo", LANG="C.UTF-8",
               QUILLMERE_SHUTDOWN_COMMAND="/bin/true")
    return env



"""Runs Windows programs in a build tree's Wine prefix through the tree's runner, maps paths
between Linux and the prefix, and takes registry snapshots with `reg export`."""
import os
import pathlib
import subprocess
import tempfile

import registry_export

# What a snapshot covers: the machine and user software hives in both registry views.
SNAPSHOT_ROOTS = [
    ("HKLM\\Software", "64"), ("HKLM\\Software", "32"),
    ("HKCU\\Software", "64"), ("HKCU\\Software", "32"),
]


class WinePrefix:
    def __init__(self, runner, build_dir, loader):
        self.runner = runner
        self.build_dir = pathlib.Path(build_dir).resolve()
        self.loader = loader
        self.drive_c = self.build_dir / "wineprefix" / "drive_c"

    def run(self, *args, timeout=600):
        return subprocess.run([self.runner, str(self.build_dir), self.loader, *args],
                              capture_output=True, text=True, errors="replace", timeout=timeout)

    @staticmethod
    def windows_path(path):
        """A Linux path as Wine's Z: drive shows it."""
        return "Z:" + str(pathlib.Path(path).resolve()).replace("/", "\\")

    def linux_path(self, windows_path):
        """A C: path of the prefix as a Linux path."""
        drive, _, rest = windows_path.partition(":\\")
        assert drive.upper() == "C", windows_path
        return self.drive_c.joinpath(*rest.split("\\"))

    def msiexec(self, action, package):
        return self.run("msiexec", action, self.windows_path(package), "/qn")

    def reg(self, *args):
        return self.run("reg", *args)

    def snapshot(self):
        """{"view:key": {value name: (type, data)}} of SNAPSHOT_ROOTS, view being 64 or 32, key
        and value names in lower case (the registry ignores case). Keys seen through the 64-bit
        view's Wow6432Node are left to the 32-bit view, where they show under their own names."""
        keys = {}
        with tempfile.TemporaryDirectory(prefix="tolmera-reg-") as folder:
            for root, view in SNAPSHOT_ROOTS:
                target = os.path.join(folder, "export.reg")
                result = self.reg("export", root, self.windows_path(target), "/y", f"/reg:{view}")
                if result.returncode != 0:
                    raise RuntimeError(f"reg export {root} /reg:{view} failed: {result.stderr.strip()}")
                for key, values in registry_export.folded(registry_export.read(target)).items():
                    if view == "64" and "\\wow6432node" in key:
                        continue
                    keys[f"{view}:{key}"] = values
        return keys

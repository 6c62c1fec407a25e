#!/usr/bin/env python3
"""Installs and uninstalls each Tolmera package with msiexec /qn in the build tree's Wine prefix
and compares the registry (both views) and the files before, in between and after.

usage: install_uninstall.py WINE_RUN BUILD_DIR LOADER PACKAGES_DIR X86_BIN_DIR INSTALLER_DIR
"""
import os
import pathlib
import subprocess
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from checks import Checks  # noqa: E402
from registry_export import changes  # noqa: E402
from wine_prefix import WinePrefix  # noqa: E402

CLSID = "{5D0E27A4-91C3-4B7F-8E62-C1A9F03B7D58}"
HANDLER = "Scan with Tolmera"
CLASSES = "HKEY_LOCAL_MACHINE\\Software\\Classes"
APPROVED = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved"
PF64 = "C:\\Program Files\\Tolmera"
PF32 = "C:\\Program Files (x86)\\Tolmera"
I386, AMD64 = 0x14C, 0x8664
MACHINE_OF_VIEW = {"64": AMD64, "32": I386}

# What each package must put on the machine: files (installed path, staged source, PE machine)
# and one handler registration per registry view, naming that view's Pellicor.
PACKAGES = [
    {
        "msi": "Tolmera-x64.msi",
        "platform": "x64",
        "product": "Tolmera Desktop (x64)",
        "files": [
            (PF64 + "\\Pellicor.dll", "stage-x64/x64/Pellicor.dll", AMD64),
            (PF32 + "\\Pellicor.dll", "stage-x64/x86/Pellicor.dll", I386),
            (PF32 + "\\Kestrane.exe", "stage-x64/x86/Kestrane.exe", I386),
        ],
        "handlers": {"64": PF64 + "\\Pellicor.dll", "32": PF32 + "\\Pellicor.dll"},
        # On a real machine other software's handlers and approvals share our parent keys:
        # the uninstall must leave them alone.
        "neighbours": True,
        # Install the built version, then a later one over it.
        "upgrade": True,
    },
    {
        "msi": "Tolmera-x86.msi",
        "platform": "x86",
        "product": "Tolmera Desktop (x86)",
        "files": [
            (PF32 + "\\Pellicor.dll", "stage-x86/x86/Pellicor.dll", I386),
            (PF32 + "\\Kestrane.exe", "stage-x86/x86/Kestrane.exe", I386),
        ],
        "handlers": {"32": PF32 + "\\Pellicor.dll"},
        # The prefix as booted: our parent keys are empty or absent.
        "neighbours": False,
        "upgrade": False,
    },
]

NEIGHBOUR_CLSID = "{0F1E2D3C-4B5A-4968-8776-A5B4C3D2E1F0}"
NEIGHBOUR_ROWS = [  # (key below HKLM, value name or "" for the default, data)
    ("Software\\Classes\\*\\shellex\\ContextMenuHandlers\\Neighbour Tool", "", NEIGHBOUR_CLSID),
    ("Software\\Classes\\Folder\\shellex\\ContextMenuHandlers\\Neighbour Tool", "", NEIGHBOUR_CLSID),
    ("Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved", NEIGHBOUR_CLSID, "Neighbour Tool"),
]

# What Windows Installer records about installed products (a 32-bit package's Programs and
# Features entry lies in the 32-bit view): not the package's rows.
UNINSTALL_ENTRIES = [f"{view}:hkey_local_machine\\software\\microsoft\\windows\\currentversion\\uninstall"
                     for view in ("64", "32")]
INSTALLER_RECORDS = [
    "64:hkey_local_machine\\software\\classes\\installer",
    "64:hkey_local_machine\\software\\microsoft\\windows\\currentversion\\installer",
] + UNINSTALL_ENTRIES
# Wine keeps per-session display settings here whenever a program starts.
WINE_NOISE = [f"{view}:hkey_current_user\\software\\wine\\temporary system parameters" for view in ("64", "32")]


def handler_rows(view, dll):
    """The values the handler needs in one view: (view:key, value name, data), names folded."""
    rows = [
        (f"{CLASSES}\\CLSID\\{CLSID}", "", HANDLER),
        (f"{CLASSES}\\CLSID\\{CLSID}\\InProcServer32", "", dll),
        (f"{CLASSES}\\CLSID\\{CLSID}\\InProcServer32", "ThreadingModel", "Apartment"),
        (f"{CLASSES}\\*\\shellex\\ContextMenuHandlers\\{HANDLER}", "", CLSID),
        (f"{CLASSES}\\Folder\\shellex\\ContextMenuHandlers\\{HANDLER}", "", CLSID),
        (APPROVED, CLSID, HANDLER),
    ]
    return [(f"{view}:{key}".lower(), name.lower(), data) for key, name, data in rows]


def our_rows(package):
    return [row for view, dll in package["handlers"].items() for row in handler_rows(view, dll)]


def pe_machine(path):
    data = path.read_bytes()
    offset = int.from_bytes(data[0x3C:0x40], "little")
    return int.from_bytes(data[offset + 4:offset + 6], "little")


def under(key, prefixes):
    return any(key == p or key.startswith(p + "\\") for p in prefixes)


def on_path_to_ours(key, rows):
    """A key that holds one of our rows, or lies on the way to one."""
    return any(row_key == key or row_key.startswith(key + "\\") for row_key, _, _ in rows)


def uninstall_entries(snapshot, product):
    return [(key, values) for key, values in snapshot.items()
            if key.rpartition("\\")[0] in UNINSTALL_ENTRIES
            and values.get("displayname", (None, None))[1] == product]


def uninstall_entry(snapshot, product):
    entries = uninstall_entries(snapshot, product)
    return entries[0] if entries else (None, None)


def handler_values_present(snapshot, rows):
    return [f"[{key}] {name or '@'}" for key, name, _ in rows if name in snapshot.get(key, {})]


def set_neighbours(wine, start=None):
    """Adds other software's entries in both views; with `start`, removes them again together
    with any key that adding them created."""
    failures = []
    for view in ("64", "32"):
        for key, name, data in NEIGHBOUR_ROWS:
            target = "HKLM\\" + key
            if start is None:
                value = ["/v", name] if name else ["/ve"]
                result = wine.reg("add", target, *value, "/t", "REG_SZ", "/d", data, "/f", f"/reg:{view}")
            else:
                value = ["/v", name] if name else []
                result = wine.reg("delete", target, *value, "/f", f"/reg:{view}")
            if result.returncode != 0:
                failures.append(f"reg {'add' if start is None else 'delete'} {target} /reg:{view}: "
                                f"{result.stderr.strip() or result.stdout.strip()}")
        if start is not None:
            created = {parent for key, _, _ in NEIGHBOUR_ROWS for parent in parents(key)
                       if f"{view}:hkey_local_machine\\{parent}".lower() not in start}
            for parent in sorted(created, key=len, reverse=True):
                wine.reg("delete", "HKLM\\" + parent, "/f", f"/reg:{view}")
    return failures


def parents(key):
    parts = key.split("\\")
    return ["\\".join(parts[:n]) for n in range(len(parts), 1, -1)]


def check_rows(t, snapshot, rows):
    for key, name, data in rows:
        found = snapshot.get(key, {}).get(name)
        t.check(f"[{key}] {name or '@'} = {data!r}", found == ("REG_SZ", data), f"found {found}")


def check_installed(t, wine, package, packages_dir, before, after):
    rows = our_rows(package)
    for path, source, machine in package["files"]:
        installed = wine.linux_path(path)
        staged = packages_dir / source
        t.check(f"{path} installed, the very file packed",
                installed.is_file() and installed.read_bytes() == staged.read_bytes(),
                f"{installed} missing or different from {staged}")
        t.check(f"{path} is a {'64' if machine == AMD64 else '32'}-bit image",
                installed.is_file() and pe_machine(installed) == machine)

    check_rows(t, after, rows)

    for view in package["handlers"]:
        server = after.get(f"{view}:{CLASSES}\\CLSID\\{CLSID}\\InProcServer32".lower(), {}).get("", (None, ""))[1]
        image = wine.linux_path(server) if server.upper().startswith("C:\\") else None
        t.check(f"the {view}-bit view's InProcServer32 names an installed {view}-bit Pellicor",
                image is not None and image.is_file() and pe_machine(image) == MACHINE_OF_VIEW[view],
                f"InProcServer32 = {server!r}")

    ours = {(key, name) for key, name, _ in rows}
    stray = [c for c in changes(before, after)
             if not under(c.key, INSTALLER_RECORDS + WINE_NOISE)
             and not (c.kind == "+" and ((c.key, c.name) in ours
                                         or (c.name is None and on_path_to_ours(c.key, rows))))]
    t.check("the install wrote nothing beyond the handler's rows and the installer's records",
            not stray, "\n     ".join(str(c) for c in stray[:40]))

    key, entry = uninstall_entry(after, package["product"])
    t.check(f"Programs and Features lists {package['product']!r} by Tolmera",
            entry is not None and entry.get("publisher") == ("REG_SZ", "Tolmera")
            and entry.get("displayversion", (None, ""))[1] != "",
            f"entry {key}: {entry}")


def check_removed(t, wine, package, before, after):
    rows = our_rows(package)
    for path, _, _ in package["files"]:
        t.check(f"{path} removed", not wine.linux_path(path).exists())
    for folder in (PF64, PF32):
        t.check(f"{folder} removed", not wine.linux_path(folder).exists())

    left = []
    for c in changes(before, after):
        if under(c.key, WINE_NOISE):
            continue
        # Windows Installer keeps its emptied record keys.
        if c.kind == "+" and c.name is None and under(c.key, INSTALLER_RECORDS) and not after[c.key]:
            continue
        # Wine's installer prunes keys that a removal leaves empty: a key on the way to one of
        # ours that held nothing before may go.
        if c.kind == "-" and c.name is None and on_path_to_ours(c.key, rows) and not before[c.key]:
            continue
        left.append(c)
    t.check("the registry after uninstall is the registry before install",
            not left, "\n     ".join(str(c) for c in left[:40]))
    present = handler_values_present(after, rows)
    t.check("none of the handler's values is left", not present, ", ".join(present))
    _, entry = uninstall_entry(after, package["product"])
    t.check(f"Programs and Features no longer lists {package['product']!r}", entry is None)
    if package["neighbours"]:
        for view in ("64", "32"):
            for key, name, data in NEIGHBOUR_ROWS:
                found = after.get(f"{view}:hkey_local_machine\\{key}".lower(), {}).get(name.lower())
                t.check(f"other software's [{view}:HKLM\\{key}] {name or '@'} is still there",
                        found == ("REG_SZ", data), f"found {found}")


def remove_leftovers(wine):
    """After a failure, uninstalls whatever Tolmera product is still installed, so that the
    prefix this tree's other tests share is left as it was."""
    snapshot = wine.snapshot()
    for package in PACKAGES:
        for key, _ in uninstall_entries(snapshot, package["product"]):
            product_code = key.rpartition("\\")[2].upper()
            result = wine.run("msiexec", "/x", product_code, "/qn")
            print(f"cleanup: msiexec /x {product_code} ({package['product']}) exit {result.returncode}")


def later_version(version):
    major, minor, build = (version.split(".") + ["0", "0"])[:3]
    return f"{major}.{minor}.{int(build) + 1}"


def check_upgrade(t, wine, package, packages_dir, installer_dir):
    """The built package, then a later build of the same package over it, then uninstall."""
    built = packages_dir / package["msi"]
    rows = our_rows(package)
    before = wine.snapshot()
    t.step(f"{package['msi']}: a later version goes over the installed one")
    result = wine.msiexec("/i", built)
    if not t.check("msiexec /i (built version) exits 0", result.returncode == 0, f"exit {result.returncode}"):
        return
    _, entry = uninstall_entry(wine.snapshot(), package["product"])
    version = entry.get("displayversion", (None, "0.0.0"))[1] if entry else "0.0.0"
    later = later_version(version)
    with tempfile.TemporaryDirectory(prefix="tolmera-upgrade-") as scratch:
        # The same staged binaries, packed again with only the version raised.
        stage = packages_dir / f"stage-{package['platform']}"
        newer = pathlib.Path(scratch) / package["msi"]
        extra = [str(stage / "x64" / "Pellicor.dll")] if package["platform"] == "x64" else []
        env = {k: v for k, v in os.environ.items() if not k.startswith("TOLMERA_SIGN_")}
        made = subprocess.run([str(installer_dir / "package.sh"), package["platform"], later,
                               str(pathlib.Path(scratch) / "stage"), str(newer), str(stage / "x86"), *extra],
                              capture_output=True, text=True, env=env)
        if not t.check(f"package.sh packs version {later}", made.returncode == 0, made.stderr.strip()):
            wine.msiexec("/x", built)
            return
        result = wine.msiexec("/i", newer)
        t.check(f"msiexec /i (version {later}) exits 0", result.returncode == 0, f"exit {result.returncode}")
        upgraded = wine.snapshot()
        entries = uninstall_entries(upgraded, package["product"])
        t.check(f"Programs and Features lists one {package['product']!r}, version {later}",
                [values.get("displayversion", (None, None))[1] for _, values in entries] == [later],
                f"entries: {[(k, v.get('displayversion')) for k, v in entries]}")
        check_rows(t, upgraded, rows)
        for path, source, _ in package["files"]:
            installed = wine.linux_path(path)
            t.check(f"{path} still installed after the upgrade",
                    installed.is_file() and installed.read_bytes() == (packages_dir / source).read_bytes())

        t.step(f"{package['msi']}: the earlier version does not go over the later one")
        result = wine.msiexec("/i", built)
        t.check(f"msiexec /i (version {version}) refuses", result.returncode != 0, f"exit {result.returncode}")
        entries = uninstall_entries(wine.snapshot(), package["product"])
        t.check(f"version {later} stays installed",
                [values.get("displayversion", (None, None))[1] for _, values in entries] == [later],
                f"entries: {[(k, v.get('displayversion')) for k, v in entries]}")

        t.step(f"msiexec /x (version {later}) /qn")
        result = wine.msiexec("/x", newer)
        t.check("msiexec /x exits 0", result.returncode == 0, f"exit {result.returncode}")
        check_removed(t, wine, package, before, wine.snapshot())


def main():
    runner, build_dir, loader, packages_dir, x86_bin, installer_dir = sys.argv[1:7]
    packages_dir, installer_dir = pathlib.Path(packages_dir), pathlib.Path(installer_dir)
    t = Checks()
    missing = [str(p) for p in (pathlib.Path(x86_bin) / "Pellicor.dll", pathlib.Path(x86_bin) / "Kestrane.exe")
               if not p.is_file()]
    if missing:
        t.abort(f"no x86 binaries ({', '.join(missing)}): build the x86 tree first, then "
                "re-run cmake for this tree and build it")
    missing = [p["msi"] for p in PACKAGES if not (packages_dir / p["msi"]).is_file()]
    if missing:
        t.abort(f"packages not built in {packages_dir}: {', '.join(missing)} (build this tree)")

    wine = WinePrefix(runner, build_dir, loader)
    for package in PACKAGES:
        msi = packages_dir / package["msi"]
        failed_before = t.failed
        t.step(f"{package['msi']}: registry and files before install")
        start = wine.snapshot()
        present = handler_values_present(start, our_rows(package))
        present += [p for p in (PF64, PF32) if wine.linux_path(p).exists()]
        if not t.check("the prefix holds no Tolmera files or handler values yet", not present,
                       f"already there (left by an earlier run?): {', '.join(present)}"):
            continue
        try:
            if package["neighbours"]:
                t.step("other software's handler keys and approval, both views")
                failures = set_neighbours(wine)
                t.check("neighbour entries added", not failures, "; ".join(failures))
            before = wine.snapshot()

            t.step(f"msiexec /i {package['msi']} /qn")
            result = wine.msiexec("/i", msi)
            if not t.check("msiexec /i exits 0", result.returncode == 0,
                           f"exit {result.returncode}: {result.stdout.strip()} {result.stderr.strip()}"):
                continue
            check_installed(t, wine, package, packages_dir, before, wine.snapshot())

            t.step(f"msiexec /x {package['msi']} /qn")
            result = wine.msiexec("/x", msi)
            t.check("msiexec /x exits 0", result.returncode == 0,
                    f"exit {result.returncode}: {result.stdout.strip()} {result.stderr.strip()}")
            check_removed(t, wine, package, before, wine.snapshot())
            if package["upgrade"]:
                check_upgrade(t, wine, package, packages_dir, installer_dir)
        finally:
            if t.failed > failed_before:
                remove_leftovers(wine)
            if package["neighbours"]:
                set_neighbours(wine, start)
    return t.finish()


if __name__ == "__main__":
    sys.exit(main())

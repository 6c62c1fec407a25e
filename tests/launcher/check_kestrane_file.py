#!/usr/bin/env python3
"""Checks the built Kestrane.exe as Windows will see it: machine, subsystem, hardening, imports,
manifest, icon group and version resource.

usage: check_kestrane_file.py OBJDUMP WRESTOOL ARCH KESTRANE_EXE
"""
import re
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "advapi32.dll", "comctl32.dll", "msvcrt.dll", "gdi32.dll", "ntdll.dll"}
US_ENGLISH = 1033
RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
DYNAMIC_BASE, NX_COMPAT, HIGH_ENTROPY_VA = 0x40, 0x100, 0x20
ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"

failures = []


def expect(condition, what):
    print(("ok   " if condition else "FAIL ") + what)
    if not condition:
        failures.append(what)


def run(*args):
    return subprocess.run(args, check=True, capture_output=True).stdout


def check_header(objdump, arch, exe):
    out = run(objdump, "-p", exe).decode()
    machine = "pei-i386" if arch == "x86" else "pei-x86-64"
    expect(re.search(rf"file format {machine}\b", out) is not None, f"machine type {machine}")
    expect(re.search(r"Subsystem\s+00000002\s+\(Windows GUI\)", out) is not None, "Windows GUI subsystem")
    flags = int(re.search(r"DllCharacteristics\s+([0-9a-fA-F]+)", out).group(1), 16)
    expect(flags & DYNAMIC_BASE, "DYNAMIC_BASE")
    expect(flags & NX_COMPAT, "NX_COMPAT")
    if arch == "x64":
        expect(flags & HIGH_ENTROPY_VA, "HIGH_ENTROPY_VA")

    dlls = {m.lower() for m in re.findall(r"DLL Name: (\S+)", out)}
    expect(dlls <= SYSTEM_DLLS, f"imports system DLLs only (has {sorted(dlls)})")
    functions = set(re.findall(r"^\s+[0-9a-f]+\s+\d+\s+(\w+)$", out, re.MULTILINE))
    for wanted in ("InitCommonControlsEx", "CreateMutexW", "OpenSCManagerW", "OpenServiceW", "ControlService",
                   "CloseServiceHandle", "Sleep", "MessageBoxW"):
        expect(wanted in functions, f"imports {wanted}")
    # Wide throughout, and it never starts, changes or elevates anything itself.
    for unwanted in ("MessageBoxA", "OpenSCManagerA", "OpenServiceA", "CreateMutexA", "StartServiceW",
                     "StartServiceA", "ShellExecuteW", "ShellExecuteExW", "CreateProcessW", "RegSetValueExW"):
        expect(unwanted not in functions, f"does not import {unwanted}")


def resources(wrestool, exe):
    listing = run(wrestool, "-l", exe).decode()
    found = []
    for line in listing.splitlines():
        m = re.match(r"--type=(\d+) --name=(\d+) --language=(\d+)", line)
        if m:
            found.append(tuple(int(x) for x in m.groups()))
        elif line.strip():
            found.append(("unparsed", line))
    return found


def extract(wrestool, exe, rtype, name, raw=True):
    args = [wrestool, "-x", "-t", str(rtype), "-n", str(name)]
    if raw:
        args.insert(2, "--raw")
    return run(*args, exe)


def check_resource_table(found):
    named = {(t, n, lang) for (t, n, lang) in found if t != RT_ICON}
    expect(named == {(RT_MANIFEST, 1, US_ENGLISH), (RT_GROUP_ICON, 128, US_ENGLISH), (RT_VERSION, 1, US_ENGLISH)},
           f"resources: manifest 1, icon group 128, version 1, all US English, nothing else (has {sorted(named)})")
    icons = [r for r in found if r[0] == RT_ICON]
    expect(len(icons) == 9 and all(lang == US_ENGLISH for (_, _, lang) in icons), "nine US English icon images")


def check_manifest(data, arch):
    root = ET.fromstring(data)
    level = root.find(f"{ASM_V3}trustInfo/{ASM_V3}security/{ASM_V3}requestedPrivileges/{ASM_V3}requestedExecutionLevel")
    expect(level is not None and level.get("level") == "asInvoker", "execution level asInvoker")
    expect(level is not None and level.get("uiAccess") == "false", "uiAccess false")
    identities = root.findall(f"{ASM_V1}dependency/{ASM_V1}dependentAssembly/{ASM_V1}assemblyIdentity")
    controls = [i for i in identities if i.get("name") == "Microsoft.Windows.Common-Controls"]
    expect(len(controls) == 1, "one dependency on Microsoft.Windows.Common-Controls")
    if controls:
        identity = controls[0]
        architecture = "x86" if arch == "x86" else "amd64"
        expect(identity.get("version") == "6.0.0.0", "common controls version 6.0.0.0")
        expect(identity.get("processorArchitecture") == architecture, f"common controls for {architecture}")
        expect(identity.get("publicKeyToken") == "6595b64144ccf1df", "common controls public key token")
        expect(identity.get("type") == "win32", "common controls type win32")


def check_icon(ico):
    reserved, kind, count = struct.unpack_from("<HHH", ico, 0)
    expect(reserved == 0 and kind == 1, "icon group extracts as an icon file")
    images = set()
    for i in range(count):
        width, height, _, _, _, bits, size, offset = struct.unpack_from("<BBBBHHII", ico, 6 + 16 * i)
        header_size, bmp_width, bmp_height, _, bmp_bits = struct.unpack_from("<IiiHH", ico, offset)
        consistent = header_size == 40 and bmp_width == width and bmp_height == 2 * height and bmp_bits == bits
        expect(consistent, f"icon image {i + 1}: {width}x{height} at {bits} bits is a well-formed bitmap")
        images.add((width, height, bits))
    wanted = {(s, s, b) for s in (16, 32, 48) for b in (4, 8, 32)}
    expect(count == 9 and images == wanted, f"icon images 16, 32, 48 px at 4, 8, 32 bits (has {sorted(images)})")


def version_nodes(data, offset=0):
    """Parses one VS_VERSIONINFO-style node: (key, value bytes, value type, children)."""
    length, value_length, value_type = struct.unpack_from("<HHH", data, offset)
    end = offset + length
    pos = offset + 6
    key_end = pos
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[pos:key_end].decode("utf-16-le")
    pos = (key_end + 2 + 3) & ~3
    value_size = value_length * 2 if value_type == 1 else value_length
    value = data[pos:pos + value_size]
    pos = (pos + value_size + 3) & ~3
    children = []
    while pos < end:
        child, child_end = version_nodes(data, pos)
        children.append(child)
        pos = (child_end + 3) & ~3
    return (key, value, value_type, children), end


def check_version(data):
    (key, value, _, children), _ = version_nodes(data)
    expect(key == "VS_VERSION_INFO", "version resource root")
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIIIII", value, 0)
    expect(signature == 0xFEEF04BD, "fixed file info present")
    expect((file_ms, file_ls) == (0x00010000, 0x00000001), "file version 1.0.0.1")
    expect((product_ms, product_ls) == (0x00010000, 0x00000001), "product version 1.0.0.1")
    by_key = {child[0]: child for child in children}
    tables = by_key.get("StringFileInfo", ("", b"", 0, []))[3]
    expect([t[0] for t in tables] == ["040904E4"], f"one string table 040904E4 (has {[t[0] for t in tables]})")
    strings = {}
    for table in tables:
        for name, text, _, _ in table[3]:
            strings[name] = text.decode("utf-16-le").rstrip("\0")
    for name, wanted in (("InternalName", "Kestrane.exe"), ("OriginalFilename", "Kestrane.exe"),
                         ("ProductName", "Kestrane"), ("FileVersion", "1.0.0.1"), ("ProductVersion", "1.0.0.1")):
        expect(strings.get(name) == wanted, f'{name} "{wanted}" (has {strings.get(name)!r})')
    variables = by_key.get("VarFileInfo", ("", b"", 0, []))[3]
    translation = [v for v in variables if v[0] == "Translation"]
    expect(len(translation) == 1 and translation[0][1] == struct.pack("<HH", 0x0409, 1252),
           "translation US English, code page 1252")


def main():
    if len(sys.argv) != 5:
        print(__doc__)
        return 2
    objdump, wrestool, arch, exe = sys.argv[1:5]
    check_header(objdump, arch, exe)
    check_resource_table(resources(wrestool, exe))
    check_manifest(extract(wrestool, exe, RT_MANIFEST, 1), arch)
    check_icon(extract(wrestool, exe, RT_GROUP_ICON, 128, raw=False))
    check_version(extract(wrestool, exe, RT_VERSION, 1))
    print(f"{len(failures)} failed" if failures else "all passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Checks the built Pellicor.dll as a Windows user receives it, by reading the file natively:
machine type, hardening flags, imports (system DLLs only), exports (exactly the four COM entry
points), bitmap 145 (Italian, 13 x 13, 24 bits, a blue disc on white) and the version resource.

Usage: check_pellicor_binary.py --dll PATH --arch x86|x64 --objdump PATH --wrestool PATH
"""
import argparse
import re
import struct
import subprocess
import sys

SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll",
    "oleaut32.dll", "msvcrt.dll", "comctl32.dll", "shlwapi.dll", "comdlg32.dll", "version.dll",
}
EXPORTS = {"DllGetClassObject", "DllCanUnloadNow", "DllRegisterServer", "DllUnregisterServer"}
DYNAMIC_BASE, NX_COMPAT, HIGH_ENTROPY_VA = 0x0040, 0x0100, 0x0020

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def run(*command):
    return subprocess.run(command, check=True, capture_output=True).stdout


def check_headers(dll, dump, arch):
    with open(dll, "rb") as image:
        head = image.read(4096)
    pe = struct.unpack_from("<I", head, 0x3C)[0]
    check(head[:2] == b"MZ" and head[pe:pe + 4] == b"PE\0\0", "not a PE file")
    machine = struct.unpack_from("<H", head, pe + 4)[0]
    expected = 0x8664 if arch == "x64" else 0x014C
    check(machine == expected, f"machine {machine:#06x} is not {expected:#06x} ({arch})")
    file_format = "pei-x86-64" if arch == "x64" else "pei-i386"
    check(f"file format {file_format}" in dump, f"objdump does not read it as {file_format}")
    flags = re.search(r"^DllCharacteristics\s+([0-9a-fA-F]+)", dump, re.M)
    if check(flags, "no DllCharacteristics in the header"):
        value = int(flags.group(1), 16)
        check(value & DYNAMIC_BASE, "DYNAMIC_BASE is not set")
        check(value & NX_COMPAT, "NX_COMPAT is not set")
        if arch == "x64":
            check(value & HIGH_ENTROPY_VA, "HIGH_ENTROPY_VA is not set")
    characteristics = re.search(r"^Characteristics\s+0x([0-9a-fA-F]+)", dump, re.M)
    check(characteristics and int(characteristics.group(1), 16) & 0x2000, "the file is not marked as a DLL")


def check_imports(dump):
    imported = {name.lower() for name in re.findall(r"^\s*DLL Name:\s*(\S+)", dump, re.M)}
    check(imported, "no imports found")
    foreign = sorted(imported - SYSTEM_DLLS)
    check(not foreign, f"imports from non-system DLLs: {', '.join(foreign)}")
    return imported


def check_exports(dump):
    table = dump.split("[Ordinal/Name Pointer] Table", 1)
    names = set()
    if check(len(table) == 2, "no export name table"):
        for line in table[1].splitlines()[1:]:
            match = re.match(r"^\s*\[\s*\d+\]\s+(\S+)\s*$", line)
            if not match:
                break
            names.add(match.group(1))
    check(names == EXPORTS, f"exports are {sorted(names)}, not {sorted(EXPORTS)}")


def check_bitmap(dll, wrestool):
    listing = run(wrestool, "-l", dll).decode()
    bitmaps = re.findall(r"--type=2 --name=(\d+) --language=(\d+)", listing)
    check(("145", "1040") in bitmaps, f"no bitmap 145 in language 1040 (bitmaps: {bitmaps})")
    check(all(lang == "1040" for name, lang in bitmaps if name == "145"), "bitmap 145 in another language too")
    raw = run(wrestool, "-x", "--raw", "--type=2", "--name=145", dll)
    if not check(len(raw) >= 40, "bitmap 145 cannot be read"):
        return
    size, width, height, planes, bits, compression = struct.unpack_from("<IiiHHI", raw, 0)
    check((width, height) == (13, 13), f"bitmap is {width} x {height}, not 13 x 13")
    check(bits == 24, f"bitmap has {bits} bits per pixel, not 24")
    check(compression == 0, f"bitmap is compressed ({compression})")
    stride = (width * 3 + 3) & ~3
    if not check(len(raw) >= size + stride * abs(height), "bitmap pixels are missing"):
        return

    def pixel(x, y):  # rows are stored bottom-up
        b, g, r = raw[size + (height - 1 - y) * stride + x * 3: size + (height - 1 - y) * stride + x * 3 + 3]
        return r, g, b

    for corner in [(0, 0), (12, 0), (0, 12), (12, 12)]:
        check(pixel(*corner) == (255, 255, 255), f"corner {corner} is {pixel(*corner)}, not white")
    for inner in [(6, 6), (8, 8), (6, 10)]:
        r, g, b = pixel(*inner)
        check(b > r + 60 and b > g + 40, f"pixel {inner} is {(r, g, b)}, not blue")


def parse_version_node(data, offset):
    length, value_length, kind = struct.unpack_from("<HHH", data, offset)
    end = offset + length
    at = offset + 6
    key_end = at
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[at:key_end].decode("utf-16-le")
    at = (key_end + 2 + 3) & ~3
    value_size = value_length * 2 if kind == 1 else value_length
    value = data[at:at + value_size]
    at = (at + value_size + 3) & ~3
    children = []
    while at < end:
        child, child_end = parse_version_node(data, at)
        children.append(child)
        at = (child_end + 3) & ~3
    return {"key": key, "kind": kind, "value": value, "children": children}, end


def check_version(dll, wrestool):
    raw = run(wrestool, "-x", "--raw", "--type=16", dll)
    if not check(len(raw) > 92, "no version resource"):
        return
    root, _ = parse_version_node(raw, 0)
    check(root["key"] == "VS_VERSION_INFO", f"version resource key is {root['key']!r}")
    fixed = struct.unpack_from("<13I", root["value"], 0)
    check(fixed[0] == 0xFEEF04BD, "no fixed file information")
    check((fixed[2], fixed[3]) == (0x00020000, 0x00000001), "file version is not 2.0.0.1")
    check((fixed[4], fixed[5]) == (0x00020000, 0x00000001), "product version is not 2.0.0.1")
    check(fixed[9] == 2, f"file type is {fixed[9]}, not VFT_DLL")

    children = {child["key"]: child for child in root["children"]}
    tables = children.get("StringFileInfo", {"children": []})["children"]
    table = next((t for t in tables if t["key"].upper() == "040904B0"), None)
    if check(table, f"no string table 040904B0 (tables: {[t['key'] for t in tables]})"):
        strings = {s["key"]: s["value"].decode("utf-16-le").rstrip("\0") for s in table["children"]}
        expected = {
            "FileVersion": "2, 0, 0, 1",
            "ProductVersion": "2, 0, 0, 1",
            "InternalName": "Pellicor",
            "OriginalFilename": "Pellicor.DLL",
            "ProductName": "Pellicor Dynamic Link Library",
        }
        for name, value in expected.items():
            check(strings.get(name) == value, f"{name} is {strings.get(name)!r}, not {value!r}")
    variables = children.get("VarFileInfo", {"children": []})["children"]
    translation = next((v["value"] for v in variables if v["key"] == "Translation"), b"")
    check(translation[:4] == struct.pack("<HH", 0x0409, 1200), "translation is not US English, code page 1200")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dll", required=True)
    parser.add_argument("--arch", required=True, choices=["x86", "x64"])
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--wrestool", required=True)
    args = parser.parse_args()

    dump = run(args.objdump, "-p", args.dll).decode(errors="replace")
    check_headers(args.dll, dump, args.arch)
    imported = check_imports(dump)
    check_exports(dump)
    check_bitmap(args.dll, args.wrestool)
    check_version(args.dll, args.wrestool)

    if failures:
        for failure in failures:
            print(f"FAIL: {failure}")
        return 1
    print(f"OK: {args.arch} Pellicor.dll, imports {', '.join(sorted(imported))}")
    return 0


if __name__ == "__main__":
    sys.exit(main())

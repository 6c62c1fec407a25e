#!/usr/bin/env python3
"""Every .exe and .dll in a bin folder imports system DLLs only and carries the PE hardening flags.

usage: check_binaries.py OBJDUMP ARCH BIN_DIR
"""
import pathlib
import re
import subprocess
import sys

# What a Windows machine has without us: no compiler runtime DLL may be needed.
SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll",
    "oleaut32.dll", "comctl32.dll", "msvcrt.dll", "shlwapi.dll", "version.dll", "psapi.dll",
    "rpcrt4.dll", "comdlg32.dll", "ws2_32.dll", "crypt32.dll", "bcrypt.dll", "ntdll.dll",
}
DYNAMIC_BASE, NX_COMPAT, HIGH_ENTROPY_VA = 0x40, 0x100, 0x20


def check(objdump, arch, path):
    out = subprocess.run([objdump, "-p", str(path)], check=True, capture_output=True, text=True).stdout
    problems = []
    imports = {m.lower() for m in re.findall(r"DLL Name: (\S+)", out)}
    for dll in sorted(imports - SYSTEM_DLLS):
        problems.append(f"imports {dll}, not a system DLL")
    flags = int(re.search(r"DllCharacteristics\s+([0-9a-fA-F]+)", out).group(1), 16)
    wanted = DYNAMIC_BASE | NX_COMPAT | (HIGH_ENTROPY_VA if arch == "x64" else 0)
    if flags & wanted != wanted:
        problems.append(f"DllCharacteristics {flags:#06x} lacks {wanted & ~flags:#06x}")
    magic = "PE32+" if arch == "x64" else "PE32"
    if not re.search(rf"Magic\s+\S+\s+\({re.escape(magic)}\)", out):
        problems.append(f"not a {magic} image")
    return problems


def main():
    objdump, arch, bin_dir = sys.argv[1:4]
    files = sorted(p for p in pathlib.Path(bin_dir).iterdir() if p.suffix.lower() in (".exe", ".dll"))
    if not files:
        print(f"no programs in {bin_dir}")
        return 1
    failed = 0
    for path in files:
        problems = check(objdump, arch, path)
        print(f"{'FAIL' if problems else 'ok  '} {path.name}" + "".join(f"\n     {p}" for p in problems))
        failed += bool(problems)
    print(f"{len(files) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())

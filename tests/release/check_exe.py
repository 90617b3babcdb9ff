#!/usr/bin/python3
"""Checks a built UpDate.exe for what lets it be run safely from a Downloads
folder full of other files: which DLLs it imports, the exploit mitigations in
its PE header, its manifest and its link time stamp. The header and imports
are read with the MinGW objdump (-p, -f), the sections, manifest and time
stamp with pefile.

  check_exe.py UpDate.exe [--timestamp N] [--objdump PROGRAM]

--timestamp: the link time stamp the build was made with (SOURCE_DATE_EPOCH,
0 without one). Prints one line per check and the import list; exits 1 when
a check fails.
"""
import argparse
import pathlib
import re
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import pe_file  # noqa: E402

# The DLLs the program may import: Known DLLs of Windows 7 to 11, which the
# loader maps from the system folder whatever the search order. Any other
# import (version, uxtheme, dwmapi, comctl32, ...) would be looked for in the
# exe's own folder first, before the program's first instruction runs, where
# no hardening can help.
ALLOWED_IMPORTS = {
    "advapi32.dll", "comdlg32.dll", "gdi32.dll", "imm32.dll", "kernel32.dll", "msvcrt.dll", "ole32.dll",
    "oleaut32.dll", "psapi.dll", "rpcrt4.dll", "sechost.dll", "setupapi.dll", "shell32.dll", "shlwapi.dll",
    "user32.dll", "ws2_32.dll",
}
# Functions that load a DLL by the name given.
LOADING_FUNCTIONS = {"LoadLibraryA", "LoadLibraryW", "LoadLibraryExA", "LoadLibraryExW", "LoadPackagedLibrary"}
# A DLL name as text, in ANSI or UTF-16: how a delay-loaded DLL (GNU ld leaves
# the delay-import directory empty) or a LoadLibrary argument shows in the file.
DLL_NAME = re.compile(rb"[A-Za-z0-9_.-]+\.dll|(?:[A-Za-z0-9_.-]\0)+\.\0d\0l\0l\0", re.I)
REQUIRED_DLL_CHARACTERISTICS = ("DYNAMIC_BASE", "NX_COMPAT", "TERMINAL_SERVICE_AWARE")
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"


def objdump(program, option, exe):
    return subprocess.run([program, option, exe], check=True, capture_output=True, text=True).stdout


def imports(private_headers):
    """{dll name in lower case: [function, ...]} from objdump -p."""
    table, current = {}, None
    for line in private_headers.splitlines():
        named = re.match(r"\s*DLL Name: (\S+)", line)
        if named:
            current = table.setdefault(named.group(1).lower(), [])
        elif current is not None:
            function = re.match(r"\t[0-9a-f]+\t\s*\d+\s+(\S+)", line)
            if function:
                current.append(function.group(1))
    return table


def directory_size(private_headers, entry):
    found = re.search(rf"^Entry {entry} [0-9a-f]+ ([0-9a-f]+)", private_headers, re.M)
    return int(found.group(1), 16) if found else None


def named_dlls(exe):
    """The DLL names written anywhere in the code and data (not the resources)."""
    names = set()
    for section in pe_file.load(exe).sections:
        if pe_file.section_name(section) != ".rsrc":
            names.update(match.replace(b"\0", b"").decode("ascii").lower()
                         for match in DLL_NAME.findall(section.get_data()))
    return names


def execution_level(exe):
    """(level, uiAccess) asked for by manifest 1, or None when there is none."""
    for resource in pe_file.resources(pe_file.load(exe)):
        if resource.type == 24 and resource.name == 1:
            root = ElementTree.fromstring(resource.data)
            requested = root.find(f".//{ASM_V3}requestedExecutionLevel")
            return None if requested is None else (requested.get("level"), requested.get("uiAccess"))
    return None


def checks(exe, private_headers, file_headers, expected_timestamp):
    """(what, passed, detail) for every check."""
    table = imports(private_headers)
    characteristics = re.search(r"^DllCharacteristics\s+[0-9a-f]+\n((?:\t+\S+\n)*)", private_headers, re.M)
    flags = characteristics.group(1).split() if characteristics else []
    subsystem = re.search(r"^Subsystem\s+([0-9a-f]+)", private_headers, re.M)
    relocations = directory_size(private_headers, 5)
    foreign = sorted(set(table) - ALLOWED_IMPORTS)
    named = sorted(named_dlls(exe) - ALLOWED_IMPORTS)
    loaders = sorted({f for functions in table.values() for f in functions} & LOADING_FUNCTIONS)
    level = execution_level(exe)
    timestamp = pe_file.load(exe).FILE_HEADER.TimeDateStamp
    return [
        ("machine is i386", "file format pei-i386" in file_headers and "architecture: i386" in file_headers, ""),
        ("GUI subsystem", subsystem is not None and int(subsystem.group(1), 16) == 2,
         subsystem.group(0) if subsystem else "no Subsystem line"),
        *[(f"DllCharacteristics has {flag}", flag in flags, " ".join(flags)) for flag in REQUIRED_DLL_CHARACTERISTICS],
        ("relocation table present (ASLR can move the image)",
         bool(relocations) and "relocations stripped" not in private_headers, f"size {relocations}"),
        ("imports only Known DLLs", bool(table) and not foreign, f"not allowed: {', '.join(foreign)}"),
        ("names no other DLL (no delay load, no LoadLibrary of one)",
         directory_size(private_headers, "d") == 0 and not named, ", ".join(named)),
        ("imports no function that loads a DLL by name", not loaders, ", ".join(loaders)),
        ("manifest asks for asInvoker without uiAccess", level == ("asInvoker", "false"), f"found {level}"),
        ("link time stamp is SOURCE_DATE_EPOCH (0 without one)", timestamp == expected_timestamp,
         f"found {timestamp}, expected {expected_timestamp}"),
    ], table


def report(exe, results):
    """Prints one line per (what, passed, detail); exits 1 when any failed."""
    failed = 0
    for what, passed, detail in results:
        print(f"{'ok  ' if passed else 'FAIL'} {what}{'' if passed or not detail else ': ' + detail}")
        failed += not passed
    if failed:
        print(f"{exe}: {failed} check(s) failed", file=sys.stderr)
        sys.exit(1)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("exe")
    parser.add_argument("--timestamp", type=int, default=0)
    parser.add_argument("--objdump", default="i686-w64-mingw32-objdump")
    args = parser.parse_args()
    results, table = checks(args.exe, objdump(args.objdump, "-p", args.exe), objdump(args.objdump, "-f", args.exe),
                            args.timestamp)
    for dll, functions in sorted(table.items()):
        print(f"imports {dll}: {' '.join(functions)}")
    report(args.exe, results)


if __name__ == "__main__":
    main()

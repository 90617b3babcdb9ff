#!/usr/bin/python3
"""Checks a built UpDate.exe for what lets it be run safely from a Downloads
folder full of other files: its machine, the DLLs it imports and names, the
exploit mitigations in its PE header, its manifest and its link time stamp,
all read with pefile.

  check_exe.py UpDate.exe [--timestamp N]

--timestamp: the link time stamp the build was made with (SOURCE_DATE_EPOCH,
0 without one). Prints the import list and one line per check; exits 1 when
a check fails.
"""
import argparse
import pathlib
import re
import sys
import xml.etree.ElementTree as ElementTree

import pefile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import pe_file  # noqa: E402

# The only DLLs the program may import or name: Known DLLs of Windows 7 to
# 11, which the loader maps from the system folder whatever lies beside the
# exe, and ntdll, which every process has mapped from there before its first
# instruction. Any other (version, uxtheme, dwmapi, comctl32, ...) would be
# looked for in the exe's own folder first: as an import before the
# program's first instruction, where no hardening can help.
KNOWN_DLLS = {
    "advapi32.dll", "comdlg32.dll", "gdi32.dll", "imm32.dll", "kernel32.dll", "msvcrt.dll", "ntdll.dll",
    "ole32.dll", "oleaut32.dll", "psapi.dll", "rpcrt4.dll", "sechost.dll", "setupapi.dll", "shell32.dll",
    "shlwapi.dll", "user32.dll", "ws2_32.dll",
}
# Functions that load a DLL by name through the search order that starts in
# the exe's folder. LoadLibraryExW is not among them: it is told to look in
# the system folder alone (LOAD_LIBRARY_SEARCH_SYSTEM32, or the DLL's full
# path), which the planting test (check-planting) proves at run time.
SEARCHING_LOADERS = {"LoadLibraryA", "LoadLibraryW", "LoadLibraryExA", "LoadPackagedLibrary"}
# A DLL name as text, in ANSI or UTF-16: how a delay-loaded DLL (GNU ld leaves
# the delay-import directory empty) or a LoadLibraryExW argument shows in the file.
DLL_NAME = re.compile(rb"[A-Za-z0-9_.-]+\.dll|(?:[A-Za-z0-9_.-]\0)+\.\0d\0l\0l\0", re.I)
REQUIRED_DLL_CHARACTERISTICS = ("DYNAMIC_BASE", "NX_COMPAT", "TERMINAL_SERVER_AWARE")
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"


def named_dlls(pe):
    """The DLL names written anywhere in the code and data (not the resources).
    The bytes before a name can read as its first characters (an ANSI
    "CoTaskMemFree" right before L"ole32.dll" gives "eole32.dll"), so a name
    that ends in a Known DLL's name counts as that DLL."""
    names = set()
    for section in pe.sections:
        if pe_file.section_name(section) == ".rsrc":
            continue
        for match in DLL_NAME.findall(section.get_data()):
            name = match.replace(b"\0", b"").decode("ascii").lower()
            names.add(next((known for known in KNOWN_DLLS if name.endswith(known)), name))
    return names


def execution_level(pe):
    """(level, uiAccess) asked for by manifest 1, or None when there is none."""
    for resource in pe_file.resources(pe):
        if resource.type == 24 and resource.name == 1:
            root = ElementTree.fromstring(resource.data)
            requested = root.find(f".//{ASM_V3}requestedExecutionLevel")
            return None if requested is None else (requested.get("level"), requested.get("uiAccess"))
    return None


def checks(exe, expected_timestamp):
    """(what, passed, detail) for every check, and the import table."""
    pe = pe_file.load(exe)
    header, optional = pe.FILE_HEADER, pe.OPTIONAL_HEADER
    table = pe_file.imports(pe)
    flags = [flag for flag in REQUIRED_DLL_CHARACTERISTICS
             if optional.DllCharacteristics & pefile.DLL_CHARACTERISTICS[f"IMAGE_DLLCHARACTERISTICS_{flag}"]]
    relocations = pe_file.directory_size(pe, "BASERELOC")
    stripped = header.Characteristics & pefile.IMAGE_CHARACTERISTICS["IMAGE_FILE_RELOCS_STRIPPED"]
    foreign = sorted(set(table) - KNOWN_DLLS)
    named = sorted(named_dlls(pe) - KNOWN_DLLS)
    loaders = sorted({f for functions in table.values() for f in functions} & SEARCHING_LOADERS)
    level = execution_level(pe)
    machine = pefile.MACHINE_TYPE.get(header.Machine, hex(header.Machine))
    return [
        ("machine is i386, a 32-bit image",
         machine == "IMAGE_FILE_MACHINE_I386" and optional.Magic == pefile.OPTIONAL_HEADER_MAGIC_PE,
         f"{machine}, optional header magic {optional.Magic:#x}"),
        ("GUI subsystem", optional.Subsystem == 2, f"subsystem {optional.Subsystem}"),
        *[(f"DllCharacteristics has {flag}", flag in flags, f"{optional.DllCharacteristics:#06x}")
          for flag in REQUIRED_DLL_CHARACTERISTICS],
        ("relocation table present (ASLR can move the image)", bool(relocations) and not stripped,
         f"size {relocations}{', relocations stripped' if stripped else ''}"),
        ("imports only Known DLLs", bool(table) and not foreign, f"not allowed: {', '.join(foreign)}"),
        ("names no other DLL (no delay load, no LoadLibraryExW of one)",
         pe_file.directory_size(pe, "DELAY_IMPORT") == 0 and not named, ", ".join(named)),
        ("loads DLLs only with LoadLibraryExW, never through the search order", not loaders, ", ".join(loaders)),
        ("manifest asks for asInvoker without uiAccess", level == ("asInvoker", "false"), f"found {level}"),
        ("link time stamp is SOURCE_DATE_EPOCH (0 without one)", header.TimeDateStamp == expected_timestamp,
         f"found {header.TimeDateStamp}, expected {expected_timestamp}"),
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
    # Passed by the release step (scripts/make-dist) and not used: pefile reads everything.
    parser.add_argument("--objdump", help=argparse.SUPPRESS)
    args = parser.parse_args()
    results, table = checks(args.exe, args.timestamp)
    for dll, functions in sorted(table.items()):
        print(f"imports {dll}: {' '.join(functions)}")
    report(args.exe, results)


if __name__ == "__main__":
    main()

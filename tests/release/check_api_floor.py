#!/usr/bin/python3
"""Checks that UpDate.exe loads on every Windows from 7 SP1 on: each function
it imports is in the table of documented minimums (api_floor.tsv) and needs
no later Windows (one missing import and Windows shows a system error instead
of the window); the PE header's subsystem version is Windows 7's; and the
manifest's supportedOS list starts at Windows 7. Read with pefile.

  check_api_floor.py UpDate.exe api_floor.tsv

A function not in the table counts as unverified and fails the check: add it
with the "Minimum supported client" of its documentation page.
"""
import csv
import pathlib
import re
import sys
import xml.etree.ElementTree as ElementTree

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import pe_file  # noqa: E402
from check_exe import report  # noqa: E402

# Windows versions in the order they came, as the pages name them.
VERSIONS = ["2000", "XP", "Vista", "7", "8", "8.1", "10", "11"]
FLOOR = VERSIONS.index("7")  # 7 SP1: no page names a service pack of 7
# The C library's pages state no minimum: msvcrt.dll is the C runtime of every Windows.
SYSTEM_C_RUNTIME = ("msvcrt.dll", "every version (the system C runtime)")
SUBSYSTEM_VERSION = (6, 1)  # Windows 7: the loader refuses an image asking for a later one
SUPPORTED_OS = {  # the manifest's compatibility ids
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}": "Vista",
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "7",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "8",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "8.1",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "10",  # and 11
}
COMPATIBILITY = "{urn:schemas-microsoft-com:compatibility.v1}"
PAGE = re.compile(r"https://learn\.microsoft\.com/\S+")


def version_index(dll, client):
    """Where the first Windows a page names falls in VERSIONS, or None when
    the text names none ("Windows 8 [...], KB2533623 on Windows 7" is 8)."""
    if (dll, client) == SYSTEM_C_RUNTIME:
        return 0
    named = re.match(r"Windows (2000|XP|Vista|8\.1|7|8|10|11)\b", client)
    return VERSIONS.index(named.group(1)) if named else None


def read_table(path):
    """{(dll, function): (minimum client, page)} and the rows that cannot be read."""
    table, unreadable = {}, []
    with open(path, newline="", encoding="utf-8") as file:
        lines = [line for line in file if not line.startswith("#")]
    for row in csv.DictReader(lines, delimiter="\t"):
        dll, function = row["dll"].lower(), row["function"]
        if version_index(dll, row["minimum client"]) is None or not PAGE.fullmatch(row["page"] or ""):
            unreadable.append(function)
        table[(dll, function)] = (row["minimum client"], row["page"])
    return table, unreadable


def supported_os(pe):
    """The Windows versions manifest 1 says the program was made for, oldest first; None without a manifest."""
    for resource in pe_file.resources(pe):
        if resource.type == 24 and resource.name == 1:
            ids = [e.get("Id", "") for e in ElementTree.fromstring(resource.data).iter(f"{COMPATIBILITY}supportedOS")]
            listed = [SUPPORTED_OS.get(i.lower(), i) for i in ids]
            return sorted(listed, key=lambda version: VERSIONS.index(version) if version in VERSIONS else -1)
    return None


def checks(exe, table_path):
    """(what, passed, detail) for every check."""
    table, unreadable = read_table(table_path)
    pe = pe_file.load(exe)
    imported = [(dll, function) for dll, functions in pe_file.imports(pe).items() for function in functions]
    unknown = [f"{dll}!{function}" for dll, function in imported if (dll, function) not in table]
    later = [f"{dll}!{function} ({table[(dll, function)][0]})" for dll, function in imported
             if (dll, function) in table and (version_index(dll, table[(dll, function)][0]) or 0) > FLOOR]
    optional = pe.OPTIONAL_HEADER
    subsystem = (optional.MajorSubsystemVersion, optional.MinorSubsystemVersion)
    listed = supported_os(pe)
    expected = VERSIONS[FLOOR:VERSIONS.index("10") + 1]
    return [
        ("every row of the table names a Windows version and a Microsoft page", not unreadable,
         ", ".join(unreadable)),
        ("every imported function is in the table (one that is not is unverified)", bool(imported) and not unknown,
         ", ".join(unknown) or "no imports read"),
        ("no imported function needs a Windows later than 7 SP1", not later, ", ".join(later)),
        ("subsystem version is {}.{}, Windows 7's".format(*SUBSYSTEM_VERSION), subsystem == SUBSYSTEM_VERSION,
         "found {}.{}".format(*subsystem)),
        ("manifest's supportedOS list starts at Windows 7 and names each later version", listed == expected,
         f"found {listed}, expected {expected}"),
    ]


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    report(sys.argv[1], checks(*sys.argv[1:3]))


if __name__ == "__main__":
    main()

#!/usr/bin/python3
"""Shows that each check of check_exe.py and check_api_floor.py can fail:
runs them on files made to fail them and expects exactly the named checks
to fail on each.

- unsafe_program.exe: linked with every mitigation switched off and a link
  time stamp, asking for Windows 8's subsystem, without a manifest; it
  imports version.dll, LoadLibraryW, a Windows 8 function and C runtime
  functions the floor table lacks, and names version.dll;
- x86_64_program.exe: an x86-64 image, right in every other respect;
- the floor table with a row that names no Windows version.

  check_exe_test.py unsafe_program.exe x86_64_program.exe api_floor.tsv
"""
import pathlib
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import check_api_floor  # noqa: E402
import check_exe  # noqa: E402

UNSAFE_EXE_FAILURES = {
    "GUI subsystem",
    "DllCharacteristics has DYNAMIC_BASE",
    "DllCharacteristics has NX_COMPAT",
    "DllCharacteristics has TERMINAL_SERVER_AWARE",
    "relocation table present (ASLR can move the image)",
    "imports only Known DLLs",
    "names no other DLL (no delay load, no LoadLibraryExW of one)",
    "loads DLLs only with LoadLibraryExW, never through the search order",
    "manifest asks for asInvoker without uiAccess",
    "link time stamp is SOURCE_DATE_EPOCH (0 without one)",
}
UNSAFE_FLOOR_FAILURES = {
    "every imported function is in the table (one that is not is unverified)",
    "no imported function needs a Windows later than 7 SP1",
    "subsystem version is 6.1, Windows 7's",
    "manifest's supportedOS list starts at Windows 7 and names each later version",
}
BAD_ROW = "FrobnicateW\tkernel32.dll\tsoon\thttps://learn.microsoft.com/frobnicate\n"


def expect(name, results, expected):
    """Prints how each check came out against `expected`; True when exactly those failed."""
    failed = {what for what, passed, _ in results if not passed}
    print(f"== {name}")
    for what in sorted(expected | failed | {what for what, _, _ in results}):
        print(f"{'ok  ' if (what in failed) == (what in expected) else 'FAIL'} "
              f"{'fails' if what in failed else 'passes'}: {what}")
    return failed == expected


def main():
    unsafe, x86_64, table = sys.argv[1:4]
    with tempfile.TemporaryDirectory() as scratch:
        broken = pathlib.Path(scratch) / "api_floor.tsv"
        broken.write_text(pathlib.Path(table).read_text(encoding="utf-8") + BAD_ROW, encoding="utf-8")
        outcomes = [
            expect("unsafe_program: exe checks", check_exe.checks(unsafe, expected_timestamp=1)[0],
                   UNSAFE_EXE_FAILURES),
            expect("unsafe_program: floor checks", check_api_floor.checks(unsafe, table), UNSAFE_FLOOR_FAILURES),
            expect("x86-64 image: exe checks", check_exe.checks(x86_64, expected_timestamp=0)[0],
                   {"machine is i386, a 32-bit image"}),
            expect("a table row naming no Windows", check_api_floor.checks(unsafe, broken),
                   UNSAFE_FLOOR_FAILURES | {"every row of the table names a Windows version and a Microsoft page"}),
        ]
    if not all(outcomes):
        sys.exit(1)


if __name__ == "__main__":
    main()

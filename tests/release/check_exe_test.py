#!/usr/bin/python3
"""Shows that each check of check_exe.py can fail: runs them on programs
made to fail them and expects exactly the named checks to fail on each.

- unsafe_program.exe: linked with every mitigation switched off and a link
  time stamp, without a manifest; it imports version.dll and LoadLibraryW,
  and names version.dll;
- x86_64_program.exe: an x86-64 image, right in every other respect.

  check_exe_test.py unsafe_program.exe x86_64_program.exe
"""
import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
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


def expect(name, results, expected):
    """Prints how each check came out against `expected`; True when exactly those failed."""
    failed = {what for what, passed, _ in results if not passed}
    print(f"== {name}")
    for what in sorted(expected | failed | {what for what, _, _ in results}):
        print(f"{'ok  ' if (what in failed) == (what in expected) else 'FAIL'} "
              f"{'fails' if what in failed else 'passes'}: {what}")
    return failed == expected


def main():
    unsafe, x86_64 = sys.argv[1:3]
    outcomes = [
        expect("unsafe_program: exe checks", check_exe.checks(unsafe, expected_timestamp=1)[0], UNSAFE_EXE_FAILURES),
        expect("x86-64 image: exe checks", check_exe.checks(x86_64, expected_timestamp=0)[0],
               {"machine is i386, a 32-bit image"}),
    ]
    if not all(outcomes):
        sys.exit(1)


if __name__ == "__main__":
    main()

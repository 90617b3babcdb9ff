#!/usr/bin/python3
"""Shows that each check of check_exe.py can fail: runs them on a program
linked with every mitigation switched off, importing version.dll, loading a
DLL by name, without a manifest, with a link time stamp, and expects exactly
these checks to fail.

  check_exe_test.py unsafe_program.exe OBJDUMP
"""
import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import check_exe  # noqa: E402

EXPECTED_FAILURES = {
    "GUI subsystem",
    "DllCharacteristics has DYNAMIC_BASE",
    "DllCharacteristics has NX_COMPAT",
    "DllCharacteristics has TERMINAL_SERVICE_AWARE",
    "relocation table present (ASLR can move the image)",
    "imports only Known DLLs",
    "names no other DLL (no delay load, no LoadLibrary of one)",
    "imports no function that loads a DLL by name",
    "manifest asks for asInvoker without uiAccess",
    "link time stamp is SOURCE_DATE_EPOCH (0 without one)",
}


def main():
    exe, objdump = sys.argv[1:3]
    results, _ = check_exe.checks(exe, check_exe.objdump(objdump, "-p", exe), check_exe.objdump(objdump, "-f", exe),
                                  expected_timestamp=1)
    failed = {what for what, passed, _ in results if not passed}
    for what in sorted(EXPECTED_FAILURES | failed):
        print(f"{'ok  ' if (what in failed) == (what in EXPECTED_FAILURES) else 'FAIL'} "
              f"{'fails' if what in failed else 'passes'}: {what}")
    if failed != EXPECTED_FAILURES:
        sys.exit(1)


if __name__ == "__main__":
    main()

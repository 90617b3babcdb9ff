#!/usr/bin/python3
"""Reads a link map made of the shapes GNU ld writes and checks what each
line is counted as; then, given a real map, that the bytes it places add up
to no more than the exe less its resources, and that nothing in it needs
the C runtime's start-up, which the product is linked without.

  link_map_test.py [UpDate.map UpDate.exe]
"""
import pathlib
import sys

here = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(here))
import link_map  # noqa: E402

LIB = "/usr/lib/gcc/i686-w64-mingw32/12-posix/../../../../i686-w64-mingw32/lib/../lib"
MAP = f"""Archive member included to satisfy reference by file (symbol)
 .text          0x00000000     0x9999 {LIB}/crt2u.o
Linker script and memory map

.text           0x00401000     0x4a00
 *(.text)
 .text          0x00401000      0x4f0 {LIB}/crt2u.o
                0x004014b0                WinMainCRTStartup
 .text          0x004014f0      0x3e0 {LIB}/libmingw32.a(lib32_libmingw32_a-pesect.o)
 .text$_ZN12_GLOBAL__N_15Form116DialogProcedureEP6HWND__jjl
                0x004018d0     0x3100 /tmp/ccVqYUjD.ltrans0.ltrans.o
 *fill*         0x004049d0        0x4 
 .text          0x004049d4        0x8 {LIB}/libkernel32.a(libkernel32s00876.o)
.rdata          0x00407000      0x800
 .rdata         0x00407000      0x100 /tmp/ccVqYUjD.ltrans1.ltrans.o
.bss            0x00409000       0xac
 .bss           0x00409000       0x28 {LIB}/crt2u.o
.idata          0x0040a000      0xc00
 .idata$2       0x0040a000       0x14 {LIB}/libmsvcrt.a(libmsvcrt_defh.o)
 .idata$5       0x0040a014       0x20 {LIB}/libkernel32.a(libkernel32s00876.o)
                0x0040a064        0x4 LONG 0x0
.rsrc           0x0040d000    0x37200
 .rsrc          0x0040d000    0x37000 objects.a(UpDate.rc.res)
.reloc          0x00445000      0x400
 .reloc         0x00445000      0x3c4 dll stuff
.debug_info     0x00446000     0x2000
 .debug_info    0x00446000     0x1000 {LIB}/crt2u.o
"""
EXPECTED = {
    "crt2u.o": 0x4F0,  # neither the member list above the map nor .bss nor debugging data
    "pesect.o (libmingw32.a)": 0x3E0,
    link_map.PROGRAM: 0x3100 + 0x100,  # the long name on a line of its own; every ltrans object
    "alignment": 0x4,
    "imports from kernel32.dll": 0x8 + 0x20,
    "imports from msvcrt.dll": 0x14,
    "the linker": 0x4,
    "base relocations": 0x3C4,
}


def check_shapes():
    found = dict(link_map.contributions(MAP))
    failures = [f"{name}: {found.get(name)} counted, {size} expected"
                for name, size in EXPECTED.items() if found.get(name) != size]
    failures += [f"{name}: counted, not expected" for name in found.keys() - EXPECTED.keys()]
    return failures


def check_startup_work():
    # A static constructor, a static object's destructor, an MSVC-style
    # initialiser and a call to atexit, among lines of the same shapes that
    # are none of these.
    found = link_map.startup_work(f"""{LIB}/libmsvcrt.a(libmsvcrt_defs00401.o)
                              /tmp/ccVqYUjD.ltrans0.ltrans.o (_atexit)
                              /tmp/ccVqYUjD.ltrans0.ltrans.o (_malloc)
 *(.ctors)
 .ctors         0x00405ab0        0x4 /tmp/ccVqYUjD.ltrans0.ltrans.o
 .ctors.65535   0x00405ab4        0x0 {LIB}/crtbegin.o
 .dtors         0x00405ab8        0x4 /tmp/ccVqYUjD.ltrans0.ltrans.o
 .CRT$XCU       0x0040c000        0x4 objects.a(main.o)
 .text          0x00405abc        0x4 objects.a(main.o)
""")
    return [] if len(found) == 4 else [f"work for the C runtime's start-up: {found} found, 4 expected"]


def check_real(map_path, exe):
    sys.path.insert(0, str(here.parent / "tests" / "release"))
    import pe_file
    text = pathlib.Path(map_path).read_text(errors="replace")
    placed = sum(link_map.contributions(text).values())
    less_resources = pathlib.Path(exe).stat().st_size - sum(len(r.data) for r in pe_file.resources(pe_file.load(exe)))
    failures = [f"{map_path}: nothing would run {work}: no C runtime start-up" for work in link_map.startup_work(text)]
    if not 0 < placed <= less_resources:
        failures.append(f"{map_path}: {placed:,} bytes placed, but the exe less its resources is {less_resources:,}")
    return failures


def main():
    failures = check_shapes() + check_startup_work() + (check_real(*sys.argv[1:3]) if len(sys.argv) > 2 else [])
    for failure in failures:
        print("FAIL", failure)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()

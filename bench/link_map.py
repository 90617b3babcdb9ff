"""Where the bytes of a program come from, read from the link map GNU ld
writes with -Wl,-Map: the size each object file puts into the sections that
take room in the file. Import libraries are summed by DLL, the product's
link-time optimised code (ld sees it as temporary ltrans objects) as one."""
import collections
import re

# Output sections that are no part of the code overhead: debugging data the
# link strips, the resources counted on their own, and the zero-filled .bss,
# which takes no room in the file.
SKIPPED = re.compile(r"^\.(z?debug|stab|rsrc$|bss$)")

# One input section: " .text  0x00401000  0x4f0 /path/crt2u.o". A name
# longer than the column stands alone and the rest follows on the next line;
# padding between input sections is " *fill*  0x004025ac  0x4".
ENTRY = re.compile(r"^(?: (\S+))?\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s*(.*?)\s*$")
OUTPUT = re.compile(r"^(\.\S+)")
# Data the linker script puts there itself: "0x0040a064  0x4 LONG 0x0".
SCRIPT_DATA = re.compile(r"^(BYTE|SHORT|LONG|QUAD) ")
# A member of an import library: libkernel32s00123.o, libkernel32h.o, ...
IMPORT_MEMBER = re.compile(r"^lib(\w+?)(_def)?(s\d+|h|t)\.o$")

PROGRAM = "the program, optimised at link time as one unit"

# Input sections whose contents only a C runtime's start-up puts to use:
# static constructors and destructors, initialiser tables, thread-local data.
STARTUP_SECTION = re.compile(r"^ (\.(?:ctors|dtors|CRT\$|tls)\S*)\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*)$")
# A library member taken for atexit, which a function's static object calls
# to have its destructor run at exit: "   /tmp/x.ltrans0.ltrans.o (_atexit)".
EXIT_CALL = re.compile(r"^\s+(\S+) \(((?:_?_cxa)?_?atexit|_?_onexit)\)$")


def label(origin):
    """The name a contribution is reported under."""
    if origin == "dll stuff":
        return "base relocations"
    if SCRIPT_DATA.match(origin):
        return "the linker"
    member = re.match(r"^(.*)\((.*)\)$", origin)
    if not member:
        name = origin.rsplit("/", 1)[-1]
        return PROGRAM if ".ltrans" in name else name
    archive, name = member.group(1).rsplit("/", 1)[-1], member.group(2)
    imported = IMPORT_MEMBER.match(name)
    if imported:
        return f"imports from {imported.group(1)}.dll"
    # libmingw32.a's members are named lib32_libmingw32_a-pesect.o and the like.
    return f"{name.split('-', 1)[-1]} ({archive})"


def contributions(text):
    """Bytes by label, for the sections that take room in the file."""
    sizes = collections.Counter()
    lines = text.splitlines()
    try:
        first = lines.index("Linker script and memory map")
    except ValueError:
        raise ValueError("not a GNU ld link map") from None
    output = ""
    for line in lines[first + 1:]:
        if OUTPUT.match(line):
            output = OUTPUT.match(line).group(1)
            continue
        entry = ENTRY.match(line)
        if not entry or SKIPPED.match(output):
            continue
        name, size, origin = entry.group(1), int(entry.group(2), 16), entry.group(3)
        if size:
            sizes["alignment" if name == "*fill*" else label(origin)] += size
    return sizes


def startup_work(text):
    """What in the link would need the C runtime's start-up to run it, one
    line each ("section origin" or "origin calls atexit")."""
    work = []
    for line in text.splitlines():
        section, exit_call = STARTUP_SECTION.match(line), EXIT_CALL.match(line)
        if section and int(section.group(2), 16):
            work.append(f"{section.group(1)} {section.group(3)}")
        elif exit_call:
            work.append(f"{exit_call.group(1)} calls {exit_call.group(2)}")
    return work

#!/usr/bin/python3
"""Reads the resource catalogue of a built UpDate.exe with pefile, running
nothing under Wine, and compares it with the release inputs as CMake wrote
them into the generated catalogue.h: strings 101 to 105 in Chinese (PRC),
the picture (bitmap 101), the payload ("CUSTOM" 101), icon group 1 and its
14 images, the version block, and what manifest 1 asks of Windows besides
the execution level (check_exe.py): Common Controls 6, per-monitor DPI
awareness, no code page of its own.

  check_catalogue.py UpDate.exe catalogue.h
  check_catalogue.py --listing OUT UpDate.exe

Prints one line per check; exits 1 when a check fails. With --listing it
checks nothing and writes what pefile read instead, one tab-separated line
per resource, string and version field, for tests/windows/catalogue_test.cpp
to hold Windows' own resource loader to.
"""
import hashlib
import pathlib
import re
import struct
import sys
import xml.etree.ElementTree as ElementTree

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import pe_file  # noqa: E402
from check_exe import report  # noqa: E402

CHINESE = 2052  # LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED
NEUTRAL = 0
RT_BITMAP, RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 2, 3, 14, 16, 24
# The icon images in directory order, (size, bits per pixel); they are
# resources FIRST_ICON_ID, FIRST_ICON_ID + 1, ... in that order, 256 as PNG.
ICON_IMAGES = [(48, 4), (32, 4), (16, 4), (48, 8), (32, 8), (16, 8), (256, 32),
               (128, 32), (96, 32), (72, 32), (64, 32), (48, 32), (32, 32), (16, 32)]
FIRST_ICON_ID = 30001
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
# Width, height, planes, bits per pixel, compression (BI_RGB) and pixels per
# metre across and down of the picture's BITMAPINFOHEADER.
PICTURE_FORMAT = (72, 72, 1, 24, 0, 11808, 11808)
FIXED_VERSION = (0x00010000, 0, 0x00010000, 0)  # file and product version 1.0.0.0
STRING_TABLE = "080404B0"  # Chinese (PRC), Unicode
TRANSLATION = "0x0804 0x04b0"


def read_catalogue(path):
    """{"DATA_VERSION": "7.0.8", ...} from the #define lines of catalogue.h."""
    return dict(re.findall(r'^#define CATALOGUE_(\w+) "(.*)"$', pathlib.Path(path).read_text("utf-8"), re.M))


def expected_strings(catalogue):
    version = catalogue["DATA_VERSION"]
    return {101: version, 102: catalogue["DATA_FILE_NAME"], 103: catalogue["DESCRIPTION"],
            104: catalogue["TARGET_WINDOW_TITLE"], 105: version}


def expected_version_strings(catalogue):
    maker = catalogue["MAKER"]
    return {"FileVersion": "1.00", "ProductVersion": "1.00", "ProductName": "Tolvar Update",
            "InternalName": "UpDate", "OriginalFilename": "UpDate.exe",
            "CompanyName": maker, "LegalCopyright": maker, "LegalTrademarks": maker}


def unpack(layout, data, offset=0):
    """The fields at `offset`, or None when the data is missing or too short."""
    if data is None or len(data) < offset + struct.calcsize(layout):
        return None
    return struct.unpack_from(layout, data, offset)


def first_difference(found, wanted):
    """", the first differing at byte N" when both are there and differ, else ""."""
    if found is None or found == wanted:
        return ""
    first = next((i for i, (a, b) in enumerate(zip(found, wanted)) if a != b), min(len(found), len(wanted)))
    return f", the first differing at byte {first}"


def image_format(data):
    """("PNG", width, height) or ("DIB", width, height, bits) of an icon image."""
    if data and data.startswith(PNG_SIGNATURE):
        return ("PNG",) + unpack(">II", data, 16)
    fields = unpack("<4xiiHH", data)
    return fields and ("DIB", fields[0], fields[1] // 2, fields[3])


def string_checks(pe, catalogue):
    strings = pe_file.strings(pe)
    expected = expected_strings(catalogue)
    results = [(f"string {number} is '{text}' in Chinese (PRC)", strings.get(number) == ([CHINESE], text),
                f"found {strings.get(number)}") for number, text in expected.items()]
    return results + [(f"the strings are {', '.join(map(str, expected))} and no others",
                       sorted(strings) == sorted(expected), f"found {sorted(strings)}")]


def icon_checks(resource):
    group = resource(RT_GROUP_ICON, 1, NEUTRAL)
    header = unpack("<HHH", group)
    results = [(f"icon group 1, language neutral, lists {len(ICON_IMAGES)} images",
                header == (0, 1, len(ICON_IMAGES)), f"found {header}")]
    for index, (size, bits) in enumerate(ICON_IMAGES):
        number = FIRST_ICON_ID + index
        image = resource(RT_ICON, number, NEUTRAL)
        entry = unpack("<BB4xHIH", group, 6 + 14 * index)
        want_entry = (size % 256, size % 256, bits, len(image or b""), number)
        want_image = ("PNG", size, size) if size == 256 else ("DIB", size, size, bits)
        results.append((f"icon image {index + 1}: resource {number}, {size} x {size}, {bits} bits"
                        f"{', PNG' if size == 256 else ''}", image is not None and (entry, image_format(image))
                        == (want_entry, want_image), f"found {entry}, {image_format(image)}"))
    return results


def version_info(pe):
    """(fixed file and product version, {string table: {name: value}}, [translation]) of the version block."""
    fixed = pe.VS_FIXEDFILEINFO[0] if hasattr(pe, "VS_FIXEDFILEINFO") else None
    versions = fixed and (fixed.FileVersionMS, fixed.FileVersionLS, fixed.ProductVersionMS, fixed.ProductVersionLS)
    tables, translations = {}, []
    for info in (pe.FileInfo[0] if hasattr(pe, "FileInfo") else []):
        for table in getattr(info, "StringTable", []):
            tables[table.LangID.decode()] = {key.decode(): value.decode() for key, value in table.entries.items()}
        translations += [var.entry.get(b"Translation") for var in getattr(info, "Var", [])]
    return versions, tables, translations


def version_checks(pe, catalogue, resource):
    versions, tables, translations = version_info(pe)
    found = tables.get(STRING_TABLE, {})
    return [
        ("version block 1 is in Chinese (PRC)", resource(RT_VERSION, 1, CHINESE) is not None, ""),
        ("fixed file and product version 1.0.0.0", versions == FIXED_VERSION, f"found {versions}"),
        *[(f"{name} is '{value}' in string table {STRING_TABLE}", found.get(name) == value,
           f"found {found.get(name)!r}") for name, value in expected_version_strings(catalogue).items()],
        (f"translation {TRANSLATION}", translations == [TRANSLATION], f"found {translations}"),
    ]


def manifest_checks(manifest):
    """Manifest 1 parsed; a missing or malformed one fails every check."""
    try:
        root = ElementTree.fromstring(manifest) if manifest else None
    except ElementTree.ParseError:
        root = None
    elements = [] if root is None else list(root.iter())
    named = lambda name: [e for e in elements if e.tag.rpartition("}")[2] == name]  # in any namespace
    controls = [e.attrib for dependent in named("dependentAssembly") for e in dependent
                if e.tag.rpartition("}")[2] == "assemblyIdentity"]
    awareness = [e.text.split(",")[0].strip() for e in named("dpiAwareness") if e.text]
    return [
        ("manifest 1 depends on Common Controls 6",
         any(a.get("name") == "Microsoft.Windows.Common-Controls" and a.get("version", "").startswith("6.")
             for a in controls), f"found {controls}"),
        ("manifest 1 asks for PerMonitorV2 DPI awareness first", awareness[:1] == ["PerMonitorV2"],
         f"found {awareness}"),
        # The program passes its texts through the system's ANSI code page (936).
        ("manifest 1 sets no activeCodePage", root is not None and not named("activeCodePage"),
         "no manifest" if root is None else "found one"),
    ]


def checks(pe, catalogue):
    """(what, passed, detail) for every check."""
    found = {(r.type, r.name): (r.language, r.data) for r in pe_file.resources(pe)}

    def resource(kind, number, language):
        stored_language, data = found.get((kind, number), (None, None))
        return data if stored_language == language else None

    picture = pathlib.Path(catalogue["PICTURE_FILE"]).read_bytes()
    payload = pathlib.Path(catalogue["PAYLOAD_FILE"]).read_bytes()
    bitmap, carried = resource(RT_BITMAP, 101, CHINESE), resource("CUSTOM", 101, CHINESE)
    picture_format = unpack("<4xiiHHI4xii", bitmap)
    return [
        *string_checks(pe, catalogue),
        ("bitmap 101 is 72 x 72, 24 bits, uncompressed, 11,808 pixels per metre",
         picture_format == PICTURE_FORMAT, f"found {picture_format}"),
        ("bitmap 101 is the picture file less its file header", bitmap == picture[14:], catalogue["PICTURE_FILE"]),
        (f'"CUSTOM" 101 is the payload file byte for byte ({len(payload):,} bytes)', carried == payload,
         f"found {None if carried is None else len(carried)} bytes" + first_difference(carried, payload)),
        *icon_checks(resource),
        *version_checks(pe, catalogue, resource),
        *manifest_checks(next((data for (kind, number), (_, data) in found.items()
                               if (kind, number) == (RT_MANIFEST, 1)), None)),
    ]


def listing(pe):
    """What pefile read, as lines of tab-separated fields: texts as UTF-16LE in hex."""
    def text(value):
        return value.encode("utf-16-le").hex()
    versions, tables, translations = version_info(pe)
    return [
        *(f"resource\t{r.type}\t{r.name}\t{r.language}\t{len(r.data)}\t{hashlib.sha256(r.data).hexdigest()}"
          for r in pe_file.resources(pe)),
        *(f"string\t{number}\t{language}\t{text(value)}"
          for number, (languages, value) in sorted(pe_file.strings(pe).items()) for language in languages),
        *([f"fixed\t{' '.join(map(str, versions))}"] if versions else []),
        *(f"version\t{table}\t{name}\t{text(value)}"
          for table, entries in tables.items() for name, value in entries.items()),
        *(f"translation\t{translation}" for translation in translations),
    ]


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "--listing":
        out, exe = sys.argv[2:]
        pathlib.Path(out).parent.mkdir(parents=True, exist_ok=True)
        pathlib.Path(out).write_text("".join(line + "\n" for line in listing(pe_file.load(exe))), "utf-8")
        return
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    exe, catalogue = sys.argv[1:]
    report(exe, checks(pe_file.load(exe), read_catalogue(catalogue)))


if __name__ == "__main__":
    main()

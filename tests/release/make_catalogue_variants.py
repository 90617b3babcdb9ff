#!/usr/bin/python3
"""Writes copies of a built UpDate.exe whose resource catalogue is wrong by
the least amount, each patched in place so that nothing else in the file
moves: string_105.exe, whose string 105 (the version compared and recorded)
ends in the next code unit ("7.0.8" becomes "7.0.9"), and payload.exe,
whose payload ("CUSTOM" 101) has one bit of its middle byte flipped. The
catalogue checks must fail on each, naming that value.

  make_catalogue_variants.py UpDate.exe OUT-DIR

Exits 1 when a copy does not differ from the exe in exactly that value.
"""
import pathlib
import struct
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import pe_file  # noqa: E402

RT_STRING = 6
CHINESE = 2052
STRING = 105
PAYLOAD = ("CUSTOM", 101)


def file_span(pe, kind, name):
    """(file offset, size) of resource `name` of `kind` in Chinese (PRC)."""
    for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        label = entry.id if entry.name is None else str(entry.name)
        if label != kind:
            continue
        for named in entry.directory.entries:
            if (named.id if named.name is None else str(named.name)) != name:
                continue
            for language in named.directory.entries:
                if language.id == CHINESE:
                    data = language.data.struct
                    return pe.get_offset_from_rva(data.OffsetToData), data.Size
    sys.exit(f"no resource {kind} {name} in language {CHINESE}")


def last_unit_of_string(image, offset, number):
    """File offset of the last UTF-16 unit of string `number`, in its block at `offset`."""
    for _ in range(number % 16):
        offset += 2 + 2 * struct.unpack_from("<H", image, offset)[0]
    length = struct.unpack_from("<H", image, offset)[0]
    if length == 0:
        sys.exit(f"string {number} is empty")
    return offset + 2 * length


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    exe, out = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
    out.mkdir(parents=True, exist_ok=True)
    image = exe.read_bytes()
    pe = pe_file.load(exe)

    string_105 = bytearray(image)
    unit = last_unit_of_string(image, file_span(pe, RT_STRING, STRING // 16 + 1)[0], STRING)
    struct.pack_into("<H", string_105, unit, struct.unpack_from("<H", image, unit)[0] + 1)

    payload = bytearray(image)
    offset, size = file_span(pe, *PAYLOAD)
    payload[offset + size // 2] ^= 1

    failures = 0
    for name, variant, value in (("string_105", string_105, lambda p: pe_file.strings(p)[STRING][1]),
                                 ("payload", payload, lambda p: next(r.data for r in pe_file.resources(p)
                                                                    if (r.type, r.name) == PAYLOAD))):
        path = out / f"{name}.exe"
        path.write_bytes(variant)
        before, after = value(pe), value(pe_file.load(path))
        changed = [i for i, (a, b) in enumerate(zip(image, variant)) if a != b]
        ok = len(variant) == len(image) and len(changed) == 1 and len(before) == len(after) and before != after
        print(f"{'ok  ' if ok else 'FAIL'} {path}: byte(s) {changed} changed"
              + (f", '{before}' is now '{after}'" if isinstance(before, str) else ""))
        failures += not ok
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()

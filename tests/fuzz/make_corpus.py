#!/usr/bin/env python3
"""Writes the seed inputs of registry_fuzzer into corpus/registry/, one file a
case, named for what it holds. The input layout is described at the top of
registry_fuzzer.cpp. The results are committed; run this again after changing
the layout or the cases."""
import pathlib
import struct

REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ = 1, 2, 3, 4, 7
NO_KEY, NO_VALUE = 1, 2
ROOTS = ["HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS",
         "HKEY_PERFORMANCE_DATA", "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA"]


def read(value_type, stored, flags=0):
    return bytes([0]) + struct.pack("<I", value_type) + bytes([flags]) + stored


def split(path, root="HKEY_CURRENT_USER"):
    return bytes([1, ROOTS.index(root)]) + path.encode("utf-16-le")


def round_trip(text):
    return bytes([2]) + text.encode("utf-16-le", "surrogatepass")  # lone surrogates too


SEEDS = {
    "read-version": read(REG_SZ, b"7.0.8\0"),
    "read-folder": read(REG_SZ, b"C:\\App\0"),
    "read-gbk-folder": read(REG_SZ, "D:\\软件\\Tolvar\0".encode("gbk")),
    "read-spaces-around": read(REG_SZ, b"  abc \0"),
    "read-only-spaces": read(REG_SZ, b"   "),
    "read-empty": read(REG_SZ, b""),
    "read-terminator-only": read(REG_SZ, b"\0"),
    "read-no-terminator": read(REG_SZ, b"7.0.8"),
    "read-embedded-nul": read(REG_SZ, b"7.0\0.8\0"),
    "read-error-text": read(REG_SZ, b"Error.\0"),
    "read-254-bytes": read(REG_SZ, b"x" * 254 + b"\0"),
    "read-255-bytes": read(REG_SZ, b"x" * 255),
    "read-256-bytes": read(REG_SZ, b"x" * 255 + b"\0"),
    "read-300-bytes": read(REG_SZ, b"y" * 300),
    "read-bad-gbk": read(REG_SZ, b"\x81\x20\xff\xfe\x80\xa1\0"),
    "read-lead-byte-last": read(REG_SZ, b"ab\xb0"),
    "read-expand-sz": read(REG_EXPAND_SZ, b"%SystemRoot%\\App\0"),
    "read-dword": read(REG_DWORD, struct.pack("<I", 0x00302E37)),
    "read-binary": read(REG_BINARY, bytes(range(1, 40))),
    "read-multi-sz": read(REG_MULTI_SZ, b"7.0.7\0" + b"7.0.8\0\0"),
    "read-odd-type": read(0xFFFFFFFF, b"7.0.8\0"),
    "read-no-key": read(REG_SZ, b"7.0.8\0", NO_KEY),
    "read-no-value": read(REG_SZ, b"7.0.8\0", NO_VALUE),
    "split-product-key": split("Software\\Qd"),
    "split-root-alone": split("HKEY_LOCAL_MACHINE"),
    "split-lower-case": split("hkey_current_user\\Software"),
    "split-trailing-backslash": split("HKEY_CURRENT_USER\\Software\\"),
    "split-unknown-root": split("HKEY_FOO\\x", "HKEY_DYN_DATA"),
    "split-empty": split(""),
    "split-chinese": split("Software\\软件\\版本", "HKEY_USERS"),
    "split-nul-inside": split("Soft\0ware\\Qd", "HKEY_CLASSES_ROOT"),
    "write-version": round_trip("7.0.8"),
    "write-chinese": round_trip("成功更新至版本7.0.8."),
    "write-spaces": round_trip("  7.0.8  "),
    "write-empty": round_trip(""),
    "write-254-bytes": round_trip("z" * 254),
    "write-255-bytes": round_trip("z" * 255),
    "write-not-in-gbk": round_trip("caf\u00e9 \U0001F600 \ud800 \u20ac"),
}


def main():
    folder = pathlib.Path(__file__).resolve().parent / "corpus" / "registry"
    folder.mkdir(parents=True, exist_ok=True)
    for old in folder.iterdir():
        old.unlink()
    for name, data in SEEDS.items():
        (folder / name).write_bytes(data)
    print(f"{len(SEEDS)} seeds in {folder}")


if __name__ == "__main__":
    main()

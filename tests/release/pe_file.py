"""The parts of a 32-bit Windows program file that objdump does not show:
its link time stamp, its sections and the raw bytes of each resource."""
import struct
from dataclasses import dataclass


class PeError(Exception):
    pass


@dataclass
class Section:
    name: str
    virtual_address: int
    virtual_size: int
    raw_offset: int
    raw_size: int


@dataclass
class Resource:
    type: object  # a number, or a name such as "CUSTOM"
    name: object
    language: int
    data: bytes


class PeFile:
    def __init__(self, path):
        with open(path, "rb") as file:
            self.bytes = file.read()
        data = self.bytes
        if data[:2] != b"MZ":
            raise PeError(f"{path}: not a Windows program")
        header = self._u32(0x3C)
        if data[header:header + 4] != b"PE\0\0":
            raise PeError(f"{path}: no PE header")
        coff = header + 4
        self.machine, sections, self.timestamp = struct.unpack_from("<HHI", data, coff + 0)
        optional_size = struct.unpack_from("<H", data, coff + 16)[0]
        optional = coff + 20
        if struct.unpack_from("<H", data, optional)[0] != 0x10B:
            raise PeError(f"{path}: not a 32-bit (PE32) program")
        self._directories = optional + 96
        table = optional + optional_size
        self.sections = []
        for index in range(sections):
            entry = table + 40 * index
            name = data[entry:entry + 8].rstrip(b"\0").decode("ascii", "replace")
            virtual_size, virtual_address, raw_size, raw_offset = struct.unpack_from("<IIII", data, entry + 8)
            self.sections.append(Section(name, virtual_address, virtual_size, raw_offset, raw_size))

    def _u32(self, offset):
        return struct.unpack_from("<I", self.bytes, offset)[0]

    def directory(self, index):
        """(address, size) of data directory `index` (2: resources, 5: relocations)."""
        return struct.unpack_from("<II", self.bytes, self._directories + 8 * index)

    def offset(self, address):
        for section in self.sections:
            if section.virtual_address <= address < section.virtual_address + max(section.raw_size, section.virtual_size):
                return section.raw_offset + address - section.virtual_address
        raise PeError(f"address {address:#x} lies in no section")

    def resources(self):
        """Every resource, in the order of the resource directory."""
        address, size = self.directory(2)
        if size == 0:
            return []
        root = self.offset(address)
        found = []

        def label(entry_name):
            if entry_name & 0x80000000:
                at = root + (entry_name & 0x7FFFFFFF)
                length = struct.unpack_from("<H", self.bytes, at)[0]
                return self.bytes[at + 2:at + 2 + 2 * length].decode("utf-16-le")
            return entry_name

        def walk(directory, path):
            named, numbered = struct.unpack_from("<HH", self.bytes, directory + 12)
            for index in range(named + numbered):
                entry_name, target = struct.unpack_from("<II", self.bytes, directory + 16 + 8 * index)
                here = path + [label(entry_name)]
                if target & 0x80000000:
                    walk(root + (target & 0x7FFFFFFF), here)
                elif len(here) == 3:
                    data_address, data_size = struct.unpack_from("<II", self.bytes, root + target)
                    start = self.offset(data_address)
                    found.append(Resource(here[0], here[1], here[2], self.bytes[start:start + data_size]))

        walk(root, [])
        return found

"""A Windows program file read with pefile (Debian's python3-pefile, which
only Debian's own /usr/bin/python3 sees): its headers, sections, resources,
imports and string tables, for the release checks and bench/exe-size."""
from dataclasses import dataclass

import pefile

PeError = pefile.PEFormatError


@dataclass
class Resource:
    type: object  # a number, or a name such as "CUSTOM"
    name: object
    language: int
    data: bytes


def load(path):
    """The file with its headers and resource directory parsed (the version
    block included); raises OSError or PeError."""
    pe = pefile.PE(str(path), fast_load=True)
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    return pe


def imports(pe):
    """{DLL name in lower case: [function name or "#ordinal", ...]} of the import table."""
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IMPORT"]])
    return {entry.dll.decode("ascii", "replace").lower():
            [f.name.decode("ascii", "replace") if f.name else f"#{f.ordinal}" for f in entry.imports]
            for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])}


def directory_size(pe, name):
    """The size of the data directory IMAGE_DIRECTORY_ENTRY_<name>; 0 when the header has none."""
    directories = pe.OPTIONAL_HEADER.DATA_DIRECTORY
    index = pefile.DIRECTORY_ENTRY[f"IMAGE_DIRECTORY_ENTRY_{name}"]
    return directories[index].Size if index < len(directories) else 0


def section_name(section):
    return section.Name.rstrip(b"\0").decode("ascii", "replace")


def _label(entry):
    return entry.id if entry.name is None else str(entry.name)


def _kinds(pe):
    return pe.DIRECTORY_ENTRY_RESOURCE.entries if hasattr(pe, "DIRECTORY_ENTRY_RESOURCE") else []


def resources(pe):
    """Every resource, in the order of the resource directory."""
    return [Resource(_label(kind), _label(name), language.id,
                     pe.get_data(language.data.struct.OffsetToData, language.data.struct.Size))
            for kind in _kinds(pe) for name in kind.directory.entries for language in name.directory.entries]


def strings(pe):
    """{string id: (languages of its string table, text)}."""
    found = {}
    for kind in _kinds(pe):
        if kind.id == pefile.RESOURCE_TYPE["RT_STRING"]:
            for block in kind.directory.entries:
                languages = [language.id for language in block.directory.entries]
                found.update((number, (languages, text)) for number, text in block.directory.strings.items())
    return found

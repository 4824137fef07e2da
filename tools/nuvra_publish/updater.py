"""The NuvraUpdater.exe a release ships: a Windows x64 program that carries the release key it
trusts as its resource IDR_RELEASE_KEY (RCDATA), 64 raw bytes X then Y, or the text "unsigned"
in a build without a key (see res/resource.h and app/CompiledReleaseKey.cpp)."""

import struct

from .common import PublishError, read_input

IDR_RELEASE_KEY = 300
RT_RCDATA = 10
UNSIGNED_TEXT = b"unsigned"
KEY_BYTES = 64
MACHINE_X64 = 0x8664
PE32_PLUS = 0x20B
FILE_EXECUTABLE_IMAGE = 0x0002
FILE_DLL = 0x2000
RESOURCE_DIRECTORY = 2


class NotAnUpdater(Exception):
    """Why a file is not a NuvraUpdater.exe, as text."""


def _unpack(data, fmt, offset):
    size = struct.calcsize(fmt)
    if offset < 0 or offset + size > len(data):
        raise NotAnUpdater("a damaged Windows program")
    return struct.unpack_from(fmt, data, offset)


def _resource_entries(data, base, offset):
    """{id: (is folder, offset)} of one resource directory; named entries are skipped."""
    named, numbered = _unpack(data, "<HH", base + offset + 12)
    entries = {}
    for i in range(named + numbered):
        name, target = _unpack(data, "<II", base + offset + 16 + 8 * i)
        if not name & 0x80000000:
            entries[name] = (bool(target & 0x80000000), target & 0x7FFFFFFF)
    return entries


def _rcdata(data, sections, resource_rva, resource_id):
    """The bytes of RCDATA `resource_id` (any language), or None when the program has none."""
    def file_offset(rva):
        for virtual, size, raw, raw_size in sections:
            if virtual <= rva < virtual + max(size, raw_size):
                return raw + rva - virtual
        raise NotAnUpdater("a damaged Windows program (resources outside its sections)")

    base = file_offset(resource_rva)
    kind = _resource_entries(data, base, 0).get(RT_RCDATA)
    if not kind or not kind[0]:
        return None
    entry = _resource_entries(data, base, kind[1]).get(resource_id)
    if not entry or not entry[0]:
        return None
    languages = _resource_entries(data, base, entry[1])
    if not languages:
        return None
    folder, leaf = next(iter(languages.values()))
    if folder:
        return None
    rva, size = _unpack(data, "<II", base + leaf)
    start = file_offset(rva)
    if start + size > len(data):
        raise NotAnUpdater("a damaged Windows program (a resource past its end)")
    return data[start:start + size]


def release_key_of(data):
    """The raw release key a NuvraUpdater.exe carries, or None for one built without a key."""
    if data[:2] != b"MZ":
        raise NotAnUpdater("not a Windows program")
    (pe,) = _unpack(data, "<I", 0x3C)
    if data[pe:pe + 4] != b"PE\0\0":
        raise NotAnUpdater("not a Windows program")
    machine, count, _, _, _, optional_size, characteristics = _unpack(data, "<HHIIIHH", pe + 4)
    optional = pe + 24
    (magic,) = _unpack(data, "<H", optional)
    if machine != MACHINE_X64 or magic != PE32_PLUS:
        raise NotAnUpdater("not a 64-bit (x64) Windows program")
    if not characteristics & FILE_EXECUTABLE_IMAGE or characteristics & FILE_DLL:
        raise NotAnUpdater("a library, not a program")
    (directories,) = _unpack(data, "<I", optional + 108)
    resource_rva = _unpack(data, "<I", optional + 112 + 8 * RESOURCE_DIRECTORY)[0] \
        if directories > RESOURCE_DIRECTORY else 0
    sections = []
    for i in range(count):
        size, virtual, raw_size, raw = _unpack(data, "<IIII", optional + optional_size + 40 * i + 8)
        sections.append((virtual, size, raw, raw_size))
    key = _rcdata(data, sections, resource_rva, IDR_RELEASE_KEY) if resource_rva else None
    if key is None:
        raise NotAnUpdater("carries no release key resource, so it is no NuvraUpdater.exe of this "
                           "version (the product's own program?)")
    if key == UNSIGNED_TEXT:
        return None
    if len(key) != KEY_BYTES:
        raise NotAnUpdater(f"its release key resource holds {len(key)} bytes, not a key")
    return key


def updater_release_key(path, what):
    """The release key (raw, or None) of the updater at `path`; refuses anything else in one line."""
    try:
        return release_key_of(read_input(path, what))
    except NotAnUpdater as e:
        raise PublishError(f"{what} {path}: {e}") from None

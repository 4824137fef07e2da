"""Small Windows programs for the publishing tool's tests: a PE32+ image whose only content is
the RCDATA resource the tool looks for, so no updater needs building to test the checks."""

import struct

RT_RCDATA = 10
IDR_RELEASE_KEY = 300


def fake_updater(key=None, resource_id=IDR_RELEASE_KEY, machine=0x8664, dll=False):
    """A program that carries `key` (64 raw bytes; None: "unsigned") as resource `resource_id`."""
    payload = key if key is not None else b"unsigned"
    rva = 0x1000
    tree = struct.pack("<IIHHHHII", 0, 0, 0, 0, 0, 1, RT_RCDATA, 0x80000000 | 24)
    tree += struct.pack("<IIHHHHII", 0, 0, 0, 0, 0, 1, resource_id, 0x80000000 | 48)
    tree += struct.pack("<IIHHHHII", 0, 0, 0, 0, 0, 1, 0x412, 72)
    tree += struct.pack("<IIII", rva + 88, len(payload), 0, 0) + payload
    optional = bytearray(240)
    struct.pack_into("<H", optional, 0, 0x20B if machine == 0x8664 else 0x10B)
    struct.pack_into("<I", optional, 108, 16)
    struct.pack_into("<II", optional, 112 + 16, rva, len(tree))
    coff = struct.pack("<HHIIIHH", machine, 1, 0, 0, 0, len(optional), 0x2022 if dll else 0x0022)
    section = struct.pack("<8sIIIIIIHHI", b".rsrc", len(tree), rva, len(tree), 0x200, 0, 0, 0, 0, 0x40000040)
    dos = bytearray(64)
    dos[:2] = b"MZ"
    struct.pack_into("<I", dos, 0x3C, 64)
    head = bytes(dos) + b"PE\0\0" + coff + bytes(optional) + section
    return head + bytes(0x200 - len(head)) + tree

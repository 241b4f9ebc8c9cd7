#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
# Prints the file version of each Windows executable named, as its version resource gives it
# (the fixed part, "major.minor.patch.build"), or fails naming the one that carries none.
#
#   scripts/pe_version.py FILE.exe...
import struct
import sys

RT_VERSION = 16


def version_of(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        return None
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    # The resource table's entry among the data directories (PE32+ and PE32 differ in offset).
    directories = optional + (112 if struct.unpack_from("<H", data, optional)[0] == 0x20B else 96)
    root_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
    if root_rva == 0:
        return None
    table = optional + optional_size

    def offset_of(rva):
        for i in range(sections):
            size, address, raw_size, raw = struct.unpack_from("<IIII", data, table + 40 * i + 8)
            if address <= rva < address + max(size, raw_size):
                return rva - address + raw
        raise ValueError("no section holds RVA %#x" % rva)

    root = offset_of(root_rva)

    # Type, then name, then language: the first entry of each level below the version type.
    def entries(directory):
        named, numbered = struct.unpack_from("<HH", data, directory + 12)
        for i in range(named + numbered):
            yield struct.unpack_from("<II", data, directory + 16 + 8 * i)

    node = next((target for key, target in entries(root) if key == RT_VERSION), None)
    while node is not None and node & 0x80000000:
        node = next((target for _, target in entries(root + (node & 0x7FFFFFFF))), None)
    if node is None:
        return None
    rva, size = struct.unpack_from("<II", data, root + node)
    blob = data[offset_of(rva):offset_of(rva) + size]
    fixed = blob.find(struct.pack("<I", 0xFEEF04BD))
    if "VS_VERSION_INFO".encode("utf-16-le") not in blob or fixed < 0:
        return None
    ms, ls = struct.unpack_from("<II", blob, fixed + 8)
    return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


failed = False
for name in sys.argv[1:]:
    version = version_of(open(name, "rb").read())
    if version is None:
        print("%s: no version resource" % name, file=sys.stderr)
        failed = True
    else:
        print("%s %s" % (name, version))
sys.exit(1 if failed else 0)

#!/usr/bin/python3
"""The version record and the icon of Zefirana.exe, as the MinGW resource compiler builds them
from app/zefirana.rc: the .res file is read entry by entry and the version record as its tree
of nodes. Usage: check-versionrecord.py <source folder>. Exits 77 when windres is missing."""

import os
import shutil
import struct
import subprocess
import sys
import tempfile

src = sys.argv[1]
windres = shutil.which("x86_64-w64-mingw32-windres")
if not windres or not shutil.which("cpp"):
    print("SKIP: x86_64-w64-mingw32-windres or cpp not found (Debian package binutils-mingw-w64-x86-64)")
    sys.exit(77)
with tempfile.TemporaryDirectory() as tmp:
    subprocess.run([windres, "--preprocessor=cpp", "-i", f"{src}/app/zefirana.rc", "-O", "res",
                    "-o", f"{tmp}/zefirana.res"], check=True)
    res = open(f"{tmp}/zefirana.res", "rb").read()
failures = 0


def check(actual, expected, what):
    global failures
    if actual != expected:
        print(f"FAIL: {what}: {actual!r}, expected {expected!r}")
        failures += 1
    return actual == expected


def align(n):
    return (n + 3) & ~3


def wstring(data, pos):  # a zero-terminated UTF-16 string and the position after it
    end = pos
    while end < len(data) and data[end:end + 2] != b"\0\0":
        end += 2
    return data[pos:end].decode("utf-16-le"), end + 2


def name_or_id(data, pos):
    if data[pos:pos + 2] == b"\xff\xff":
        return struct.unpack_from("<H", data, pos + 2)[0], pos + 4
    return wstring(data, pos)


# Each entry: DataSize, HeaderSize, TYPE, NAME, padding, DataVersion, MemoryFlags, LanguageId,
# Version, Characteristics, then the data padded to four bytes. The first entry is empty.
entries, pos = {}, 0
while pos < len(res):
    size, header = struct.unpack_from("<II", res, pos)
    kind, p = name_or_id(res, pos + 8)
    name, p = name_or_id(res, p)
    if not check(align(p) + 16, pos + header, "the end of a resource header"):
        break
    language = struct.unpack_from("<H", res, align(p) + 6)[0]
    entries[(kind, name, language)] = res[pos + header:pos + header + size]
    pos = align(pos + header + size)
# The icon image and group under the neutral language, the version record under Italian.
check(set(entries), {(0, 0, 0), (3, 30001, 0), (14, 1, 0), (16, 1, 0x0410)}, "the resources")


# A node: wLength, wValueLength, wType, szKey, padding, Value, padding, children. Text values
# (wType 1) count their length in UTF-16 units, binary ones in bytes.
def node(data, pos):
    length, value_length, kind = struct.unpack_from("<HHH", data, pos)
    key, p = wstring(data, pos + 6)
    start = align(p)
    end = start + value_length * (2 if kind == 1 else 1)
    value = data[start:end].decode("utf-16-le").rstrip("\0") if kind == 1 else data[start:end]
    children, p = [], align(end)
    while p < pos + length:
        children.append(node(data, p))
        p = align(p + max(6, struct.unpack_from("<H", data, p)[0]))
    check(p, align(pos + length), f"the end of the node {key}")
    return key, kind, value, children


version = entries.get((16, 1, 0x0410)) or sys.exit("FAIL: no version record 1 under Italian")
key, kind, fixed, blocks = node(version, 0)
check((key, kind, struct.unpack_from("<H", version)[0]), ("VS_VERSION_INFO", 0, len(version)), "the root node")
# VS_FIXEDFILEINFO: signature, structure version, file and product version 2.0.0.0, flags mask
# and flags 0, 32-bit Windows, application, subtype 0, date 0.
check(struct.unpack("<13I", fixed), (0xFEEF04BD, 0x10000, 0x20000, 0, 0x20000, 0, 0, 0, 4, 1, 0, 0, 0),
      "the fixed part")
check([b[0] for b in blocks], ["StringFileInfo", "VarFileInfo"], "the blocks")
tables = blocks[0][3]
check([t[0] for t in tables], ["041004B0"], "the string tables")
check([(k, t, v) for k, t, v, _ in tables[0][3]],
      [(k, 1, v) for k, v in [("Comments", "Zefirana"), ("CompanyName", "Gli sviluppatori di Zefirana"),
                              ("LegalCopyright", "Software libero per la scuola"), ("ProductName", "Zefirana"),
                              ("FileVersion", "2.00"), ("ProductVersion", "2.00"), ("InternalName", "Zefirana"),
                              ("OriginalFilename", "Zefirana.exe")]], "the strings")
check(blocks[1][3], [("Translation", 0, struct.pack("<HH", 0x0410, 0x04B0), [])], "the translation")

# The group names image 30001 (32 x 32, 16 colours, 1 plane, 4 bits, 744 bytes), whose bytes are
# the image of resources/flag.ico.
check(struct.unpack("<HHHBBBBHHIH", entries.get((14, 1, 0), b"\0" * 20)), (0, 1, 1, 32, 32, 16, 0, 1, 4, 744, 30001),
      "the icon group")
ico = open(f"{src}/resources/flag.ico", "rb").read()
size, offset = struct.unpack_from("<II", ico, 14)
if entries.get((3, 30001, 0)) != ico[offset:offset + size]:
    print("FAIL: the icon image differs from resources/flag.ico: run tools/winres/split-ico.py again")
    failures += 1
print("FAIL" if failures else "PASS", "the version record and the icon of Zefirana.exe")
sys.exit(1 if failures else 0)

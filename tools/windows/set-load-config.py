#!/usr/bin/python3
"""Points the load-configuration entry of a linked Windows program at the record the program
defines as _load_config_used (app/loadconfig.cpp). GNU ld links the record but leaves the
header's entry empty, so Windows would never read it.
Usage: set-load-config.py PROGRAM.exe NM (the MinGW-w64 nm that reads the program's symbols)."""

import re
import struct
import subprocess
import sys

exe, nm = sys.argv[1:3]
symbols = subprocess.run([nm, exe], check=True, capture_output=True, text=True).stdout
record = re.search(r"^([0-9a-f]+) \w _load_config_used$", symbols, re.M)
if not record:
    sys.exit(f"{exe} defines no _load_config_used (app/loadconfig.cpp)")
address = int(record.group(1), 16)
with open(exe, "r+b") as f:
    data = bytearray(f.read())
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    if struct.unpack_from("<H", data, optional)[0] != 0x20B:
        sys.exit(f"{exe} is not a 64-bit (PE32+) program")
    rva = address - struct.unpack_from("<Q", data, optional + 24)[0]
    # The record's first field is its size: read it from the section that holds the record.
    for header in range(optional + optional_size, optional + optional_size + 40 * sections, 40):
        size, start, _, raw = struct.unpack_from("<4I", data, header + 8)
        if start <= rva < start + size:
            length = struct.unpack_from("<I", data, raw + rva - start)[0]
            break
    else:
        sys.exit(f"_load_config_used of {exe} lies in no section")
    struct.pack_into("<II", data, optional + 112 + 8 * 10, rva, length)  # data directory 10
    f.seek(0)
    f.write(data)

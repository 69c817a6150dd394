#!/usr/bin/python3
"""The Windows packages checked from outside: check-versionrecord.py <source folder> <build folder>.
The version comes from the project() line of the source's CMakeLists.txt (2.0.1 is shown as
2.01). Zefirana.exe in the zip holds exactly the version record below, read back by the MinGW
resource compiler, and the icon of resources/flag.ico; it is a 64-bit GUI program whose load
configuration takes DLLs from the system folder only, beside the 21 cues and the licences. The setup program, named by the version, is a 64-bit program with the game's icon and
a record of its own; the MSI, named by the version, a package for the machine with the upgrade
code of every version, that version, and Italian among its summary's languages."""

import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile

src, build = sys.argv[1:3]
VERSION = re.search(r"^project\(Zefirana VERSION (\d+)\.(\d)\.(\d)\b", open(f"{src}/CMakeLists.txt").read(), re.M).groups()
TEXT = f"{VERSION[0]}.{VERSION[1]}{VERSION[2]}"
# The record: its fixed part, and under Italian (0x0410, Unicode) these strings, no others.
FIXED = f" FILEVERSION {', '.join(VERSION)}, 0\n PRODUCTVERSION {', '.join(VERSION)}, 0\n FILEOS 0x4\n FILETYPE 0x1\n"
STRINGS = {"Comments": "Zefirana", "CompanyName": "Gli sviluppatori di Zefirana", "LegalCopyright": "Software libero "
           "per la scuola", "ProductName": "Zefirana", "FileVersion": TEXT, "ProductVersion": TEXT,
           "InternalName": "Zefirana", "OriginalFilename": "Zefirana.exe"}

windres = shutil.which("x86_64-w64-mingw32-windres")
if not windres or not shutil.which("cpp"):
    print("SKIP: x86_64-w64-mingw32-windres or cpp not found (Debian package binutils-mingw-w64-x86-64)")
    sys.exit(77)
failures = []
with tempfile.TemporaryDirectory() as tmp:
    # The zip: the 21 cues and the licence beside the program, a 64-bit (PE32+) program of the
    # GUI subsystem. (That it needs no DLL but Windows' own shows under Wine, where the tests run
    # it in prefixes that hold no other.)
    with zipfile.ZipFile(f"{build}/Zefirana-win64.zip") as z:
        names = set(z.namelist())
        cues = {f"Zefirana/regione/{n}" for n in os.listdir(f"{src}/regione") if n.endswith(".wav")}
        if len(cues) != 21 or not cues <= names or "Zefirana/LICENSES/COPYING.txt" not in names:
            failures.append(f"the zip lacks {sorted(cues - names)} or the licence, or there are not 21 cues")
        exe = z.extract("Zefirana/Zefirana.exe", tmp)
    headers = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", exe], check=True, capture_output=True,
                             text=True).stdout
    if not re.search(r"^Magic\s+020b\b", headers, re.M) or not re.search(r"^Subsystem\s+00000002\b", headers, re.M):
        failures.append("Zefirana.exe is not a 64-bit (PE32+) program of the GUI subsystem")
    # Its load configuration makes Windows take those DLLs from the system folder only, never from
    # beside the program: DependentLoadFlags, 78 bytes in, is LOAD_LIBRARY_SEARCH_SYSTEM32 (00 08).
    entry = re.search(r"^Entry a ([0-9a-f]+) ([0-9a-f]+) Load Configuration", headers, re.M)
    at = 78 + int(re.search(r"^ImageBase\s+(\w+)", headers, re.M)[1], 16) + int(entry[1] if entry else "0", 16)
    dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-s", f"--start-address={at}", f"--stop-address={at + 2}",
                           exe], capture_output=True, text=True).stdout
    if not entry or int(entry[2], 16) < 80 or not re.search(rf"^ {at:x} 0008 ", dump, re.M):
        failures.append("Zefirana.exe has no load configuration with DependentLoadFlags 0x800")
    compiled = [exe, "-J", "coff"]  # the resource compiler reads a program's resources too
    # A program without resources makes it fail: then the script is empty.
    script = subprocess.run([windres, "-i", *compiled, "-O", "rc"], capture_output=True, text=True).stdout
strings = re.search(r'LANGUAGE 16, 1\n\n1 VERSIONINFO\n(.*?)BEGIN\n  BLOCK "StringFileInfo"\n  BEGIN\n    BLOCK "041004B0"'
                    r'\n    BEGIN\n(.*?)    END\n.*VALUE "Translation", 0x410, 1200\n', script, re.S)
if not strings or strings[1] != FIXED or dict(re.findall(r'VALUE "(\w+)", "(.*)"', strings[2])) != STRINGS:
    failures.append("the version record differs:\n" + script[script.find("LANGUAGE 16"):])
# The group names image 30001: 32 x 32, 16 colours, 1 plane, 4 bits, 744 bytes.
if '"\\040\\040\\020\\000", 1, 4, 0x2e8L, 30001' not in script:
    failures.append("the icon group differs")
image = re.search(r"30001 3 .*?\nBEGIN\n(.*?)\nEND", script, re.S)
words = [int(w, 16) for w in re.findall(r"0x([0-9a-f]+)L", image.group(1) if image else "")]
ico = open(f"{src}/resources/flag.ico", "rb").read()
size, offset = struct.unpack_from("<II", ico, 14)
if struct.pack(f"<{len(words)}I", *words) != ico[offset:offset + size]:
    failures.append("the icon image differs from resources/flag.ico: run tools/winres/split-ico.py again")
# The setup program: 64-bit, with the game's icon and a version record of its own under Italian;
# the MSI per machine, with the upgrade code that every version keeps, its version and Italian.
setup, msi = f"{build}/Zefirana-{TEXT}-setup.exe", f"{build}/Zefirana-{TEXT}.msi"
record, magic, table, summary = (subprocess.run(argv, capture_output=True, text=True).stdout for argv in (
    [windres, "-i", setup, "-J", "coff", "-O", "rc"], ["x86_64-w64-mingw32-objdump", "-p", setup],
    ["msiinfo", "export", msi, "Property"], ["msiinfo", "suminfo", msi]))
named = re.search(rf'BLOCK "0410.*VALUE "ProductName", "Zefirana".*VALUE "ProductVersion", "{re.escape(TEXT)}"', record, re.S)
iconic = ico[offset:offset + size] in open(setup, "rb").read()
codes = {"ALLUSERS\t1", "UpgradeCode\t{D7A97E49-1EE3-4723-B2A0-6268F9F237A1}", f"ProductVersion\t{'.'.join(VERSION)}"}
if not (named and iconic and re.search(r"^Magic\s+020b\b", magic, re.M) and codes <= set(table.splitlines())
        and re.search(r"^Template: x64;(\d+,)*1040\b", summary, re.M)):
    failures.append(f"the setup program (64-bit, the icon, its record) or the MSI differ:\n{record[-900:]}{table}{summary}")
print("\n".join(f"FAIL: {f}" for f in failures) or f"PASS: the Windows packages of version {TEXT}")
sys.exit(1 if failures else 0)

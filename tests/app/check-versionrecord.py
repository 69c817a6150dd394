#!/usr/bin/python3
"""The version record and the icon of Zefirana.exe: app/zefirana.rc compiled by the MinGW
resource compiler, then read back by it as a resource script, must hold exactly the record
below, and the icon image must be the one of resources/flag.ico.
Usage: check-versionrecord.py <source folder>. Exits 77 when windres is missing."""

import re
import shutil
import struct
import subprocess
import sys
import tempfile

EXPECTED = """LANGUAGE 16, 1

1 VERSIONINFO
 FILEVERSION 2, 0, 0, 0
 PRODUCTVERSION 2, 0, 0, 0
 FILEOS 0x4
 FILETYPE 0x1
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "041004B0"
    BEGIN
      VALUE "Comments", "Zefirana"
      VALUE "CompanyName", "Gli sviluppatori di Zefirana"
      VALUE "LegalCopyright", "Software libero per la scuola"
      VALUE "ProductName", "Zefirana"
      VALUE "FileVersion", "2.00"
      VALUE "ProductVersion", "2.00"
      VALUE "InternalName", "Zefirana"
      VALUE "OriginalFilename", "Zefirana.exe"
    END
  END
  BLOCK "VarFileInfo"
  BEGIN
    VALUE "Translation", 0x410, 1200
  END
END
"""

src = sys.argv[1]
windres = shutil.which("x86_64-w64-mingw32-windres")
if not windres or not shutil.which("cpp"):
    print("SKIP: x86_64-w64-mingw32-windres or cpp not found (Debian package binutils-mingw-w64-x86-64)")
    sys.exit(77)
with tempfile.TemporaryDirectory() as tmp:
    subprocess.run([windres, "--preprocessor=cpp", "-i", f"{src}/app/zefirana.rc", "-O", "res",
                    "-o", f"{tmp}/zefirana.res"], check=True)
    script = subprocess.run([windres, "-i", f"{tmp}/zefirana.res", "-O", "rc"], check=True,
                            capture_output=True, text=True).stdout
# Three resources: image 30001 and icon group 1 under the neutral language, the record under Italian.
resources = re.findall(r"^(?:LANGUAGE (\d+, \d+)\n\n)?(\d+ \w+)", script, re.M)
failures = [f"the resources are {resources}"] if resources != [("0, 0", "30001 3"), ("", "1 14"),
                                                                  ("16, 1", "1 VERSIONINFO")] else []
if EXPECTED not in script:
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
print("\n".join(f"FAIL: {f}" for f in failures) or "PASS: the version record and the icon of Zefirana.exe")
sys.exit(1 if failures else 0)

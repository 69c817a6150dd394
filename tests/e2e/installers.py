#!/usr/bin/python3
"""The setup program and the MSI under Wine, as a technician uses them, each case in a Wine prefix
of its own (a copy of one made once): installers.py CASE BUILD NEXT RUNNER, where BUILD holds this
version's packages and NEXT those of the version above, signed with a certificate of the throwaway
certification authority NEXT/../../ca/ca.pem (tools/windows/build.sh --tests makes both)."""

import fcntl
import glob
import os
import re
import shutil
import signal
import subprocess
import sys
import time
import zipfile

from harness import PRAISE, REGIONS, Program, Session, check, main, wait_for, write_cues

UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
FOLDER = {"setup": r"C:\Scuola è bella\Giochi di geografia\Zefirana", "msi": r"C:\Program Files\Zefirana"}
# What a script runs to remove the setup program's copy and wait for the end (README).
REMOVE = '@copy /y "{0}\\Disinstalla.exe" "%TEMP%\\Disinstalla.exe" >nul\r\n' \
         '@start "" /wait "%TEMP%\\Disinstalla.exe" /S _?={0}\r\n@exit %errorlevel%\r\n'


def prepared(build, runner):
    """A Wine prefix made once for these tests (one test makes it, the others wait)."""
    path = os.path.join(build, "wine-installers")
    with open(path + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if not os.path.exists(os.path.join(path, "ready")):
            shutil.rmtree(path, ignore_errors=True)
            env = {**os.environ, "WINEPREFIX": path}
            subprocess.run([runner, "wineboot", "--init"], env=env, capture_output=True, timeout=120, check=True)
            subprocess.run(["wineserver", "-w"], env=env, timeout=60, check=True)
            open(os.path.join(path, "ready"), "w").close()
    return path


class Wine:
    """A copy of the prepared prefix in the session's folder, and the packages of both versions."""

    def __init__(self, session, build, nxt, runner):
        self.session, self.runner, self.prefix = session, runner, os.path.join(session.dir, "wine")
        shutil.copytree(prepared(build, runner), self.prefix, symlinks=True)
        session.env["WINEPREFIX"] = self.prefix
        self.packages = {version: {kind: glob.glob(os.path.join(folder, pattern))[0]
                                   for kind, pattern in (("setup", "Zefirana-*-setup.exe"), ("msi", "Zefirana-*.msi"))}
                         for version, folder in (("this", build), ("next", nxt))}
        self.zips = {version: os.path.join(os.path.dirname(p["setup"]), "Zefirana-win64.zip")
                     for version, p in self.packages.items()}
        self.version = {v: re.search(r"Zefirana-([\d.]+)\.msi$", p["msi"])[1] for v, p in self.packages.items()}

    def run(self, *argv, timeout=60):
        """Runs a Windows program to its end: its exit status (reg's output for reg)."""
        done = subprocess.run([self.runner, *argv], env=self.session.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              timeout=timeout)
        return done.stdout.decode("cp850") if argv[0] == "reg" else done.returncode

    def unix(self, path):
        return os.path.join(self.prefix, "drive_c", path[3:].replace("\\", "/"))

    def install(self, kind, version="this", *extra):
        name = "Z:" + self.packages[version][kind].replace("/", "\\")
        # The setup program's /D= as a technician types it: last, unquoted.
        return self.run(*(["msiexec", "/qn", "/i", name, *extra] if kind == "msi" else
                          [self.packages[version][kind], "/S", *extra, *f"/D={FOLDER[kind]}".split()]))

    def remove(self, kind):
        """The README's silent removal for scripts: once it returns, the work is done."""
        if kind == "msi":
            return self.run("msiexec", "/qn", "/x", "Z:" + self.packages["next"]["msi"].replace("/", "\\"))
        # cmd reads a script in the OEM code page (850 on an Italian Windows, and under Wine here).
        with open(os.path.join(self.prefix, "drive_c", "rimuovi.cmd"), "w", encoding="cp850") as script:
            script.write(REMOVE.format(FOLDER[kind]))
        return self.run("cmd", "/c", r"C:\rimuovi.cmd")

    def entries(self):
        """The entries among the installed programs that name Zefirana, with their values."""
        return [dict(re.findall(r"^ +(\w+) +REG_\w+ +(.*?)\r?$", e, re.M))
                for e in self.run("reg", "query", UNINSTALL, "/s").split("\r\n\r\n") if "Zefirana" in e]

    def files(self, kind):
        folder = self.unix(FOLDER[kind])
        return {os.path.relpath(os.path.join(d, n), folder): open(os.path.join(d, n), "rb").read()
                for d, _, names in os.walk(folder) for n in names}

    def packed(self, version):
        with zipfile.ZipFile(self.zips[version]) as z:
            return {n.removeprefix("Zefirana/"): z.read(n) for n in z.namelist() if not n.endswith("/")}

    def check_installed(self, kind, version, recordings, what):
        """The package's files, but the teacher's recordings, and one entry of that version."""
        files, expected = self.files(kind), {**self.packed(version), **recordings}
        check(kind == "msi" or files.pop("Disinstalla.exe", None), f"{what}: no uninstaller")
        check(files == expected, f"{what}: {sorted(n for n in files.keys() | expected.keys() if files.get(n) != expected.get(n))}"
                                 " differ from the package's files and the teacher's recordings")
        # The setup program shows the version as people read it (2.01), the MSI its own (2.0.1).
        text = self.version.get(version, self.version["this"])
        shown = text if kind == "setup" else ".".join([text.split(".")[0], *text.split(".")[1]])
        entries = [(e.get("DisplayName"), e.get("DisplayVersion")) for e in self.entries()]
        check(entries == [("Zefirana", shown)], f"{what}: the entries among the installed programs are {entries}")

    def left(self):
        """Once every process of the prefix ended and the registry is saved: what names the game."""
        subprocess.run(["wineserver", "-w"], env=self.session.env, timeout=60)
        names = [os.path.join(d, n) for d, dirs, ns in os.walk(self.prefix) for n in dirs + ns
                 if re.search("zefirana|scuola", n, re.I)]
        registry = "".join(line for f in glob.glob(f"{self.prefix}/*.reg") for line in open(f, errors="replace")
                           if "winepulse" not in line).lower()  # Wine's record of the test's sink, named zefirana
        return names + (["a registry entry"] if "zefirana" in registry else [])


def recordings(wine, kind):
    """The teacher's recordings: a tone of its own pitch in place of every cue."""
    folder = os.path.join(wine.unix(FOLDER[kind]), "regione")
    write_cues(folder)
    return {f"regione/{n}": open(os.path.join(folder, n), "rb").read() for n in os.listdir(folder)}


def play(wine, kind):
    """The installed game starts, and a turn plays the teacher's cues."""
    session = wine.session
    program = Program(session.spawn([wine.runner, wine.unix(FOLDER[kind]) + "/Zefirana.exe"], quiet=False), None, wine=True)
    mark = len(session.heard())
    asked = program.press_car()
    session.hear(REGIONS[asked][3], mark, "after the car", whole=False)
    mark = len(session.heard())
    program.answer(asked, PRAISE)
    session.hear("esatto.wav", mark, "in place of the region's")
    program.quit()


def keeps_recordings(kind, *places):
    """What a school made survives: installed, the teacher's recordings put in place of the cues,
    installed again (for the MSI: repaired, then a rebuild of the same version with a new product
    code), upgraded to the version above, removed by the README's command for scripts. After each
    step the recordings are the teacher's, the other files those of the package, one entry among
    the installed programs; the setup program keeps the desktop shortcut, and the upgraded game
    plays the recordings; once removed, nothing but the recordings is left."""
    with Session(sound=kind == "setup", accessibility=False) as session:
        wine = Wine(session, *places)
        check(wine.install(kind) == 0, "the first installation failed")
        wine.check_installed(kind, "this", {}, "installed")
        teachers = recordings(wine, kind)
        steps = {"setup": [("installed again", lambda: wine.install(kind))],
                 "msi": [("repaired", lambda: wine.install(kind, "this", "REINSTALL=ALL", "REINSTALLMODE=omus")),
                         ("the same version rebuilt", lambda: wine.install(kind, "rebuilt"))]}[kind]
        if kind == "msi":  # the package with another product and package code, as another build's files give it
            rebuilt = os.path.join(session.dir, "rebuilt.msi")
            shutil.copy(wine.packages["this"]["msi"], rebuilt)
            subprocess.run(["msibuild", rebuilt, "-q", "UPDATE `Property` SET `Value` = '{0F0F0F0F-0000-4000-8000-"
                            "000000000001}' WHERE `Property` = 'ProductCode'", "-s", "Zefirana", "", "x64;1040",
                            "{0F0F0F0F-0000-4000-8000-000000000002}"], check=True, capture_output=True)
            wine.packages["rebuilt"] = {"msi": rebuilt}
            wine.zips["rebuilt"] = wine.zips["this"]
        for what, step in steps + [("upgraded", lambda: wine.install(kind, "next"))]:
            if what == "upgraded" and kind == "setup":  # the desktop shortcut, as ticking it makes it
                desktop = os.path.join(wine.prefix, "drive_c/users/Public/Desktop/Zefirana.lnk")
                shutil.copy(os.path.join(wine.prefix, "drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/"
                                                      "Zefirana.lnk"), desktop)
            check(step() == 0, f"{what}: the installer failed")
            wine.check_installed(kind, "rebuilt" if "rebuilt" in what else "next" if what == "upgraded" else "this",
                                 teachers, what)
        if kind == "setup":
            check(os.path.exists(desktop) and (FOLDER[kind] + "\\Zefirana.exe").encode("cp1252") in open(desktop, "rb").read(),
                  "the upgrade dropped the desktop shortcut")
            play(wine, kind)
        check(wine.remove(kind) == 0, "the removal failed")
        kept = wine.files(kind)
        check(kept == teachers, f"when the removal returned, {sorted(kept.keys() ^ teachers.keys())} differ from "
                                "the teacher's recordings")
        # Besides the recordings, their folder and those above it, nothing that names the game.
        top = wine.unix(FOLDER[kind]).split("/Giochi di geografia")[0]
        others = [os.path.join(d, n) for d, dirs, names in os.walk(top) for n in dirs + names
                  if not re.fullmatch(r"(Giochi di geografia|Zefirana|regione|\w+\.wav)", n)]
        shutil.rmtree(top)
        check(not others and not wine.left(), f"left after removal: {others + wine.left()}")


def runs_nothing_planted(*places):
    """A program planted in the install folder as the uninstaller or as the game is never run by
    the setup program that installs over it (the planted one leaves a file when it runs)."""
    with Session(accessibility=False) as session:
        wine = Wine(session, *places)
        check(wine.install("setup") == 0, "the first installation failed")
        folder = wine.unix(FOLDER["setup"])
        for name in ("Disinstalla.exe", "Zefirana.exe"):
            shutil.copy(os.path.join(os.path.dirname(wine.packages["this"]["setup"]), "tests/e2e/planted.exe"),
                        os.path.join(folder, name))
        check(wine.install("setup", "next") == 0, "the installation over the planted programs failed")
        ran = glob.glob(folder + "/*.ran")
        check(not ran, f"the setup program ran {ran}")
        wine.check_installed("setup", "next", {}, "installed over the planted programs")


def one_kind(first, second, status, *places):
    """With one kind installed, the other kind refuses, with the status the README names, and
    leaves the first one as it was: one program, one entry."""
    with Session(accessibility=False) as session:
        wine = Wine(session, *places)
        check(wine.install(first) == 0, f"the {first} installation failed")
        before = wine.files(first)
        result = wine.install(second)
        check(result not in (0, 3010) and (status is None or result == status),
              f"the {second} over the {first}: status {result}, expected {status or 'not 0'}")
        check(wine.files(first) == before and len(wine.entries()) == 1 and not os.path.exists(wine.unix(FOLDER[second])),
              f"the {second} changed the {first}'s installation or added an entry: {wine.entries()}")


def file_in_use(*places):
    """The game open from the install folder: a silent setup program that would replace it ends
    within 30 s with status 2, and the installed copy stays as it was."""
    with Session(accessibility=False) as session:
        wine = Wine(session, *places)
        check(wine.install("setup") == 0, "the first installation failed")
        before = wine.files("setup")
        program = Program(session.spawn([wine.runner, wine.unix(FOLDER["setup"]) + "/Zefirana.exe"], quiet=False),
                          None, wine=True)
        began = time.monotonic()
        result = wine.install("setup", "next", timeout=30)
        check(result == 2, f"with the game open the setup program ended with {result} after {time.monotonic() - began:.0f} s")
        check(wine.files("setup") == before and program.alive("the end"), "the setup program changed the installed copy")
        program.quit()


def signed(build, nxt, runner):
    """Signed with the throwaway certificate: the program in the zip, the setup program, its
    uninstaller and the MSI pass osslsigncode's check against that certification authority."""
    with Session(accessibility=False) as session:
        wine = Wine(session, build, nxt, runner)
        check(wine.install("setup", "next") == 0, "the installation failed")
        with zipfile.ZipFile(wine.zips["next"]) as z:
            program = z.extract("Zefirana/Zefirana.exe", session.dir)
        ca = os.path.join(nxt, "..", "ca", "ca.pem")
        for path in (program, wine.packages["next"]["setup"], wine.unix(FOLDER["setup"]) + "/Disinstalla.exe",
                     wine.packages["next"]["msi"]):
            result = subprocess.run(["osslsigncode", "verify", "-CAfile", ca, "-in", path], capture_output=True, text=True)
            check(result.returncode == 0 and "Signature verification: ok" in result.stdout,
                  f"{os.path.basename(path)}: {result.stdout[-400:]}{result.stderr[-400:]}")


CASES = {"setup-keeps-recordings": lambda *p: keeps_recordings("setup", *p),
         "msi-keeps-recordings": lambda *p: keeps_recordings("msi", *p),
         "setup-runs-nothing-planted": runs_nothing_planted,
         "msi-refuses-over-setup": lambda *p: one_kind("setup", "msi", None, *p),
         "setup-refuses-over-msi": lambda *p: one_kind("msi", "setup", 3, *p),
         "setup-fails-on-file-in-use": file_in_use, "signed": signed}

if __name__ == "__main__":
    main(lambda *places: (signal.alarm(300), CASES[sys.argv[1]](*places)), *sys.argv[2:])

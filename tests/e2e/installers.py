#!/usr/bin/python3
"""The setup program and the MSI under Wine as a technician uses them, each case in a copy of a
Wine prefix made once: installers.py CASE BUILD NEXT RUNNER. BUILD holds this version's packages,
NEXT those of the version above, signed by the throwaway authority NEXT/../ca/ca.pem (both made
by tools/windows/build.sh --tests)."""

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

from harness import Program, Session, check, main, turn, write_cues

FOLDER = {"setup": r"C:\Scuola è bella\Giochi di geografia\Zefirana", "msi": r"C:\Program Files\Zefirana"}
# The README's silent removal for scripts (cmd reads it in the OEM code page, 850 in Italy).
REMOVE = '@copy /y "{0}\\Disinstalla.exe" "%TEMP%\\Disinstalla.exe" >nul\r\n' \
         '@start "" /wait "%TEMP%\\Disinstalla.exe" /S _?={0}\r\n@exit %errorlevel%\r\n'


class Wine:
    def __init__(self, session, build, nxt, runner):
        self.session, self.runner, self.prefix = session, runner, os.path.join(session.dir, "wine")
        prepared = os.path.join(build, "wine-installers")
        with open(prepared + ".lock", "w") as lock:  # made by the first case, while the others wait
            fcntl.flock(lock, fcntl.LOCK_EX)
            if not os.path.exists(prepared + "/ready"):
                shutil.rmtree(prepared, ignore_errors=True)
                env = {**os.environ, "WINEPREFIX": prepared}
                subprocess.run([runner, "wineboot", "--init"], env=env, capture_output=True, timeout=120, check=True)
                subprocess.run(["wineserver", "-w"], env=env, timeout=60, check=True)
                open(prepared + "/ready", "w").close()
        # Wine's own programs and libraries (most of the prefix's 700 MB, never written) linked.
        shutil.copytree(prepared, self.prefix, symlinks=True, copy_function=lambda source, to: os.link(source, to) if
                        re.search(r"\.(dll|exe|drv|sys|ocx|acm|cpl|tlb|ax|ds)$", source, re.I) else shutil.copy2(source, to))
        session.env["WINEPREFIX"] = self.prefix
        self.sets = {"this": build, "next": nxt}
        self.text = {v: re.search(r"Zefirana-([\d.]+)\.msi$", self.package(v, "msi"))[1] for v in self.sets}

    def package(self, version, kind):
        return glob.glob(os.path.join(self.sets[version], "*.msi" if kind == "msi" else "*-setup.exe"))[0]

    def run(self, *argv, timeout=60):
        """A Windows program run to its end: its exit status (reg: its output)."""
        done = subprocess.run([self.runner, *argv], env=self.session.env, capture_output=True, timeout=timeout)
        return done.stdout.decode("cp850") if argv[0] == "reg" else done.returncode

    def unix(self, kind):
        return os.path.join(self.prefix, "drive_c", FOLDER[kind][3:].replace("\\", "/"))

    def install(self, kind, version="this", *extra, timeout=60):
        if kind == "msi":
            return self.run("msiexec", "/qn", "/i", "Z:" + self.package(version, kind).replace("/", "\\"), *extra)
        # /D= as a technician types it: last, unquoted.
        return self.run(self.package(version, kind), "/S", *f"/D={FOLDER[kind]}".split(), timeout=timeout)

    def remove(self, kind):
        if kind == "msi":
            return self.run("msiexec", "/qn", "/x", "Z:" + self.package("next", kind).replace("/", "\\"))
        with open(os.path.join(self.prefix, "drive_c/rimuovi.cmd"), "w", encoding="cp850") as script:
            script.write(REMOVE.format(FOLDER[kind]))
        return self.run("cmd", "/c", r"C:\rimuovi.cmd")

    def entries(self):
        """(name, version) of each entry among the installed programs that names Zefirana."""
        listing = self.run("reg", "query", r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall", "/s")
        return [tuple(re.search(rf"^ +{k} +REG_SZ +(.*?)\r?$", e, re.M)[1] for k in ("DisplayName", "DisplayVersion"))
                for e in listing.split("\r\n\r\n") if "Zefirana" in e]

    def files(self, kind):
        top = self.unix(kind)
        return {os.path.relpath(os.path.join(d, n), top): open(os.path.join(d, n), "rb").read()
                for d, _, names in os.walk(top) for n in names}

    def check_installed(self, kind, version, recordings, what):
        """The package's files but for the teacher's recordings; one entry, of that version (the
        setup program shows it as people read it, 2.01, the MSI as its own, 2.0.1)."""
        with zipfile.ZipFile(os.path.join(self.sets[version], "Zefirana-win64.zip")) as z:
            expected = {n[9:]: z.read(n) for n in z.namelist() if not n.endswith("/")} | recordings
        files, text = self.files(kind), self.text[version]
        check(kind == "msi" or files.pop("Disinstalla.exe", None), f"{what}: no uninstaller")
        check(files == expected, f"{what}: {sorted(n for n in files.keys() | expected.keys() if files.get(n) != expected.get(n))}"
                                 " differ from the package's files and the teacher's recordings")
        shown = text if kind == "setup" else ".".join([text[:-3], *text[-2:]])
        check(self.entries() == [("Zefirana", shown)], f"{what}: the installed programs' entries are {self.entries()}")


def keeps_recordings(kind, *places):
    """Installed; the teacher's recordings (a tone of its own pitch for each cue) put in place;
    installed again (the MSI: repaired, then a rebuild of the same version with other codes);
    upgraded to the version above; removed by the README's command: after each step the
    recordings are the teacher's, the other files the package's, one entry. The setup program
    keeps the desktop shortcut, the upgraded game plays the recordings, and every file of the
    set above carries a signature that osslsigncode accepts against the throwaway authority. When the removal
    returns, nothing is left but the recordings."""
    with Session(sound=kind == "setup", accessibility=False) as session:
        wine = Wine(session, *places)
        check(wine.install(kind) == 0, "the first installation failed")
        wine.check_installed(kind, "this", {}, "installed")
        write_cues(wine.unix(kind) + "/regione")
        teachers = {n: b for n, b in wine.files(kind).items() if n.startswith("regione")}
        if kind == "msi":  # another build of the same version: other product and package codes
            wine.sets["rebuilt"], wine.text["rebuilt"] = os.path.join(session.dir, "rebuilt"), wine.text["this"]
            os.mkdir(wine.sets["rebuilt"])
            for name in (wine.package("this", kind), os.path.join(wine.sets["this"], "Zefirana-win64.zip")):
                shutil.copy(name, wine.sets["rebuilt"])
            subprocess.run(["msibuild", wine.package("rebuilt", kind), "-q", "UPDATE `Property` SET `Value` = "
                            "'{0F0F0F0F-0000-4000-8000-000000000001}' WHERE `Property` = 'ProductCode'", "-s", "Zefirana",
                            "", "x64;1040", "{0F0F0F0F-0000-4000-8000-000000000002}"], check=True, capture_output=True)
        steps = [("installed again", "this", ())] if kind == "setup" else [
            ("repaired", "this", ("REINSTALL=ALL", "REINSTALLMODE=omus")), ("rebuilt", "rebuilt", ())]
        desktop = os.path.join(wine.prefix, "drive_c/users/Public/Desktop/Zefirana.lnk")
        for what, version, extra in steps + [("upgraded", "next", ())]:
            if what == "upgraded" and kind == "setup":  # the desktop shortcut, as ticking it makes it
                shutil.copy(glob.glob(f"{wine.prefix}/drive_c/ProgramData/Microsoft/Windows/Start Menu/*/Zefirana.lnk")[0],
                            desktop)
            check(wine.install(kind, version, *extra) == 0, f"{what}: the installer failed")
            wine.check_installed(kind, version, teachers, what)
        if kind == "setup":
            check(os.path.exists(desktop) and (FOLDER[kind] + "\\Zefirana.exe").encode("cp1252") in open(desktop, "rb").read(),
                  "the upgrade dropped the desktop shortcut")
            program = Program(session.spawn([wine.runner, wine.unix(kind) + "/Zefirana.exe"]), None, wine=True)
            turn(session, program, count=False)
            program.quit()
            # The set above is signed: the zip's program, the setup program, its uninstaller, the MSI.
            with zipfile.ZipFile(os.path.join(wine.sets["next"], "Zefirana-win64.zip")) as z:
                signed = [z.extract("Zefirana/Zefirana.exe", session.dir), wine.package("next", "setup"),
                          wine.unix(kind) + "/Disinstalla.exe", wine.package("next", "msi")]
            for path in signed:
                verified = subprocess.run(["osslsigncode", "verify", "-CAfile", os.path.join(wine.sets["next"], "../ca/ca.pem"),
                                           "-in", path], capture_output=True, text=True)
                check("Signature verification: ok" in verified.stdout, f"{path}: {verified.stdout[-300:]}{verified.stderr[-300:]}")
        check(wine.remove(kind) == 0 and wine.files(kind) == teachers, "the removal failed or changed a recording")
        # Nothing else: no file or folder beside the recordings, none named for the game anywhere,
        # no registry entry (once every process of the prefix ended; but Wine's record of the
        # test's sound sink, named zefirana).
        top = wine.unix(kind).split("/Giochi di")[0]
        left = [n for d, dirs, names in os.walk(top) for n in dirs + names
                if not re.fullmatch(r"Giochi di geografia|Zefirana|regione|\w+\.wav", n)]
        shutil.rmtree(top)
        subprocess.run(["wineserver", "-w"], env=session.env, timeout=60)
        left += [n for d, dirs, names in os.walk(wine.prefix) for n in dirs + names if re.search("zefirana|scuola", n, re.I)]
        left += ["a registry entry"] * any("zefirana" in line.lower() and "winepulse" not in line
                                           for f in glob.glob(f"{wine.prefix}/*.reg") for line in open(f, errors="replace"))
        check(not left, f"left after removal: {left}")


def runs_nothing_planted(*places):
    """A program planted in the install folder as the uninstaller and as the game (it leaves a
    file when it runs) is never run by the setup program installing over it."""
    with Session(accessibility=False) as session:
        wine = Wine(session, *places)
        check(wine.install("setup") == 0, "the first installation failed")
        for name in ("Disinstalla.exe", "Zefirana.exe"):
            shutil.copy(os.path.join(places[0], "tests/e2e/planted.exe"), os.path.join(wine.unix("setup"), name))
        check(wine.install("setup", "next") == 0, "the installation over the planted programs failed")
        check(not glob.glob(wine.unix("setup") + "/*.ran"), f"the setup program ran {glob.glob(wine.unix('setup') + '/*.ran')}")
        wine.check_installed("setup", "next", {}, "installed over the planted programs")


def one_kind(first, second, status, *places):
    """With one kind installed, the other refuses (with the README's status) and changes nothing."""
    with Session(accessibility=False) as session:
        wine = Wine(session, *places)
        check(wine.install(first) == 0, f"the {first} installation failed")
        before, result = wine.files(first), wine.install(second)
        check(result == status, f"the {second} over the {first} ended with {result}, not {status}")
        check(wine.files(first) == before and len(wine.entries()) == 1 and not os.path.exists(wine.unix(second)),
              f"the {second} changed the {first}'s installation or added an entry: {wine.entries()}")


def file_in_use(*places):
    """With the game open, a silent setup program that would replace it ends within 30 s with
    status 2 and leaves the installed copy as it was."""
    with Session(accessibility=False) as session:
        wine = Wine(session, *places)
        check(wine.install("setup") == 0, "the first installation failed")
        before = wine.files("setup")
        program = Program(session.spawn([wine.runner, wine.unix("setup") + "/Zefirana.exe"]), None, wine=True)
        began, result = time.monotonic(), wine.install("setup", "next", timeout=30)
        check(result == 2, f"with the game open the setup program ended with {result} in {time.monotonic() - began:.0f} s")
        check(wine.files("setup") == before and program.alive("the end"), "the setup program changed the installed copy")
        program.quit()


CASES = {"setup-keeps-recordings": lambda *p: keeps_recordings("setup", *p),
         "msi-keeps-recordings": lambda *p: keeps_recordings("msi", *p),
         "setup-runs-nothing-planted": runs_nothing_planted, "setup-fails-on-file-in-use": file_in_use,
         # msiexec's 1603 (a launch condition not met), as a Unix exit status shows it
         "msi-refuses-over-setup": lambda *p: one_kind("setup", "msi", 1603 % 256, *p),
         "setup-refuses-over-msi": lambda *p: one_kind("msi", "setup", 3, *p)}

if __name__ == "__main__":
    main(lambda *places: (signal.alarm(300), CASES[sys.argv[1]](*places)), *sys.argv[2:])

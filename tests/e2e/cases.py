#!/usr/bin/python3
"""The built program on a real X server, played with real input: cases.py CASE PROGRAM, or
cases.py wine-turn ZIP RUNNER for the Windows build under Wine."""

import functools
import glob
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import zipfile

from harness import CLIENT, PRAISE, RATE, REGIONS, STEP, STUCK_AFTER, Program, Session, atspi, check, children, main, \
    run, wait_for, write_cues


def two_copies(path):
    """Two copies side by side, each with a game of its own; the arguments of the first, even the
    toolkit's own, are not the program's business. One ends by Esci, the other by closing its frame."""
    with Session() as session:
        one = session.start(path, "-platform", "bogus", "--foo", "-style", "x")
        two = session.start(path)
        # With no window manager both open at one place: set the second aside, as a pupil would.
        run("xdotool", "windowmove", "--sync", two.wid, str(CLIENT[0] + 100), "0")
        asked = two.press_car()
        one.answer(one.press_car(), PRAISE)
        one.quit()
        two.answer(asked, PRAISE)
        two.close_frame()


def keyboard(path):
    """Real keys with the focus where the program leaves it: no stray key starts or ends
    anything, and the toolkit's own texts are Italian."""
    with Session() as session:
        program = session.start(path)
        Atspi, GLib = atspi()
        focused = []  # a menu is not among the program's top-level objects, but its items take the focus
        listener = Atspi.EventListener.new(lambda event: focused.append(event.source))
        listener.register("focus:")
        # Text1 has the first focus: Space and Esc do nothing, the Menu key opens its menu.
        program.keys("space", "Escape", "Menu", "Down")

        def menu():
            while GLib.MainContext.default().iteration(False):
                pass
            return next((item.get_parent() for item in focused if item.get_role_name() == "menu item"), None)
        items = [item.get_name().split("\t")[0] for item in children(wait_for("a menu item to take the focus", menu))]
        check([i for i in items if i] == ["Annulla", "Rifai", "Taglia", "Copia", "Incolla", "Elimina",
                                          "Seleziona tutto"], f"the text box's menu offers {items}")
        program.keys("Escape")
        program.answer(program.press_car("Return"), PRAISE)
        # Clicked, the car hides: Return, Space and Esc on the map start and end nothing.
        asked = program.press_car()
        program.keys("Return", "space", "Escape")
        program.answer(asked, PRAISE)
        program.press_car("Return")
        # Tab from the map, the car hidden, reaches Esci.
        program.keys("Tab")
        program.quit("Return")


def no_display(kind, path):
    """Without a screen for the window: one line on standard error saying what is missing and
    what to do, status 1, no file left."""
    free = next(n for n in range(31000, 32000) if not os.path.exists(f"/tmp/.X11-unix/X{n}"))
    with tempfile.TemporaryDirectory() as folder:
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "LANG": "C.UTF-8", "HOME": folder, "XDG_RUNTIME_DIR": folder,
               **{k: v for k, v in os.environ.items() if k.endswith("SAN_OPTIONS")},
               **{"unset": {}, "dead": {"DISPLAY": f":{free}"}, "bogus": {"QT_QPA_PLATFORM": "bogus"}}[kind]}
        result = subprocess.run([path], env=env, cwd=folder, capture_output=True, text=True, timeout=STEP)
        check(result.returncode == 1 and not os.listdir(folder) and not result.stdout and re.fullmatch(
            r"Zefirana: nessuno schermo [^\n]*\. Avvia Zefirana da una sessione grafica del desktop\.\n",
            result.stderr), f"status {result.returncode}, files {os.listdir(folder)}, said {result.stderr!r}")


TRACED = "open,openat,openat2,creat,rename,renameat,renameat2,unlink,unlinkat,mkdir,mkdirat,rmdir," \
         "link,linkat,symlink,symlinkat,truncate,chmod,fchmodat,mknod,mknodat,socket,connect"
CALL = re.compile(r"(\w+)\((.*)\) += (-?\d+)(?:<([^>]*)>)?")  # the result, with the file it opened
PATH = re.compile(r'(?:(?:AT_FDCWD|\d+)(?:<([^>]*)>)?, )?"((?:[^"\\]|\\.)*)"')  # with its dirfd's folder
WRITING = re.compile(r"\bO_(WRONLY|RDWR|CREAT|TRUNC|TMPFILE)\b")


def forbidden(call, args, result, opened, session):
    """Whether a traced call writes or connects outside the places allowed to the toolkit's
    libraries: run-time files, font and GL caches, devices; the X server's, the buses' (in the
    session's folder) and a sound server's sockets. A failed call changed nothing, and an
    anonymous memory file is no file."""
    if result == "-1" or (opened or "").startswith("/memfd:"):
        return False
    if call == "socket":
        return not re.match(r"AF_(UNIX|LOCAL|NETLINK)\b", args)
    if call == "connect":
        x = "/tmp/.X11-unix/X" + session.display[1:]
        target = re.search(r'sun_path=(@?)"([^"]*)"', args)
        return not target or not (target[1] + target[2] + "/").startswith(
            tuple(s + "/" for s in (x, "@" + x, "/run/pulse/native", "/var/run/pulse/native", session.dir)))
    if call.startswith("open") and not WRITING.search(args):
        return False
    cache = os.path.join(session.home, ".cache")
    places = (session.runtime + "/", cache + "/fontconfig/", cache + "/mesa_shader_cache", "/dev/null/", "/dev/shm/",
              "/dev/dri/", "/dev/snd/")
    paths = [os.path.normpath(os.path.join(base or session.dir, p)) + "/" for base, p in PATH.findall(args)]
    return any(not p.startswith(places) for p in paths[:1 if call.startswith("open") else None])


def writes_nothing(path):
    """Traced through a turn (a wrong answer, then the right one) and the exit, with a sound
    server to play to and no cookie of it in HOME: the program writes and connects only where
    allowed."""
    with Session(sound=True) as session:
        trace = os.path.join(session.dir, "trace")
        program = session.start(path, wrapper=["strace", "-ff", "--seccomp-bpf", "-qq", "-y", "-s", "4096", "-o", trace,
                                               "-e", f"trace={TRACED}", "-e", "signal=none", "--"])
        asked = program.press_car()
        wrong = asked % len(REGIONS) + 1
        program.answer(wrong, REGIONS[wrong][2])
        program.answer(asked, PRAISE)
        program.quit()
        calls, faults = 0, []
        for name in glob.glob(trace + ".*"):
            with open(name, errors="replace") as f:
                for match in filter(None, map(CALL.match, f)):
                    calls += 1
                    faults += [match.string.strip()] if forbidden(*match.groups(), session) else []
        check(calls > 100, f"the trace holds only {calls} calls: strace did not follow the program")
        check(not faults, "the program wrote or connected where it must not:\n  " + "\n  ".join(faults[:40]))


def install(session, path):
    """A copy of the program in the session's folder "program", with tones for cues (the
    regions' long, to be cut short) and its audio module."""
    folder = os.path.join(session.dir, "program")
    write_cues(os.path.join(folder, "regione"))
    shutil.copy2(os.path.join(os.path.dirname(path), "zefirana-audio.so"), folder)
    return shutil.copy2(path, folder)


def turn(session, program):
    """A turn whose region cue is heard, cut short by the praise, which is heard to its end."""
    mark = len(session.heard())
    asked = program.press_car()
    session.hear(REGIONS[asked][3], mark, "after the car", whole=False)
    mark = len(session.heard())
    program.answer(asked, PRAISE)
    session.hear("esatto.wav", mark, "in place of the region's")
    loud = [i for i, v in enumerate(session.heard()[mark:]) if abs(v) > 300]
    check(loud[-1] - loud[0] < 5 * RATE, "the region's cue sounded on under the praise")


def plays_own_cues(path):
    """The cues are played from the folder "regione" beside the program through the audio module
    beside it; the working folder's (silent) cues and its module are never used."""
    with Session(sound=True) as session:
        copy = install(session, path)
        os.rename(os.path.join(session.dir, "program", "zefirana-audio.so"), os.path.join(session.dir, "zefirana-audio.so"))
        write_cues(os.path.join(session.dir, "regione"), silent=True)
        program = session.start(copy)
        program.press_car()
        mark = len(session.heard())
        wait_for("a second more of the sink recorded", lambda: len(session.heard()) > mark + RATE)
        check(max(map(abs, session.heard())) < 300, "without the module beside it, the program played a sound")
        shutil.copy2(os.path.join(session.dir, "zefirana-audio.so"), os.path.dirname(copy))
        program.quit()
        program = session.start(copy)
        turn(session, program)
        program.quit()


def stalls(path):
    """A sound server that stops answering (SIGSTOP) before the first press, between cues and
    during a cue costs the window nothing; the sound is back once it answers again, or is
    started again on the same socket; Esci ends the program at once even with a connection stuck."""
    with Session(sound=True) as session:
        program = session.start(install(session, path))
        os.kill(session.pulseaudio.pid, signal.SIGSTOP)
        for _ in range(3):  # the first press and later ones, each after the worker was stuck past its limit
            program.answer(program.press_car(), PRAISE)
            time.sleep(STUCK_AFTER + 0.5)
        os.kill(session.pulseaudio.pid, signal.SIGCONT)
        turn(session, program)
        session.start_sound()
        turn(session, program)
        # Started again and stalled at once: the next cue waits on a new connection.
        session.start_sound()
        os.kill(session.pulseaudio.pid, signal.SIGSTOP)
        program.press_car()
        program.quit()


def wine_turn(package, runner):
    """The Windows zip unpacked into a folder whose name has accents and blanks, as a teacher
    might, and played under Wine: its window, a turn with its cues, the goodbye."""
    with Session(sound=True, accessibility=False) as session:
        # The build's own prefix (as test.sh has it), never one that another run may be using.
        session.env["WINEPREFIX"] = os.environ.get("WINEPREFIX") or os.path.join(os.path.dirname(package), "wine")
        folder = os.path.join(session.dir, "Prova è scuola", "giochi di geografia", "Zefirana")
        with zipfile.ZipFile(package) as z:
            z.extractall(os.path.dirname(folder))
        write_cues(os.path.join(folder, "regione"))
        # Wine's own processes of the prefix belong to the X server they were started on: this
        # test starts them afresh on its own, and ends them when done.
        subprocess.run(["wineserver", "-k"], env=session.env, capture_output=True)
        try:
            program = Program(session.spawn([runner, os.path.join(folder, "Zefirana.exe")], quiet=False), None, wine=True)
            turn(session, program)
            program.quit()
        finally:
            subprocess.run(["wineserver", "-k"], env=session.env, capture_output=True)


CASES = {"two-copies": two_copies, "keyboard": keyboard, "writes-nothing": writes_nothing, "plays-own-cues": plays_own_cues,
         "stalled-sound-server": stalls, "wine-turn": wine_turn,
         **{f"no-display-{kind}": functools.partial(no_display, kind) for kind in ("unset", "dead", "bogus")}}

if __name__ == "__main__":
    main(CASES[sys.argv[1]], *sys.argv[2:])

#!/usr/bin/python3
"""The built program on a real X server, played with real input: cases.py CASE PROGRAM, or
cases.py wine-planted-dll DLL ZIP RUNNER for the Windows build under Wine."""

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

from harness import CLIENT, PRAISE, REGIONS, STEP, STUCK_AFTER, Program, Session, atspi, check, children, main, \
    run, turn, wait_for, write_cues


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
    """Without a window system to open the window on: status 1, no file left, and on standard error
    one line saying what is missing and what to do when there is no display to connect to, or else
    (an unknown platform; the X11 plugin found but unloadable, as with a library of it missing) one
    line saying that the window could not be opened, followed by Qt's own reasons."""
    free = next(n for n in range(31000, 32000) if not os.path.exists(f"/tmp/.X11-unix/X{n}"))
    with tempfile.TemporaryDirectory() as folder, tempfile.TemporaryDirectory() as plugins:
        os.mkdir(os.path.join(plugins, "platforms"))
        with open(glob.glob("/usr/lib/*/qt6/plugins/platforms/libqxcb.so")[0], "rb") as plugin, \
                open(os.path.join(plugins, "platforms", "libqxcb.so"), "wb") as copy:
            copy.write(plugin.read().replace(b"libQt6XcbQpa.so.6", b"libQt6XcbQpX.so.6"))
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "LANG": "C.UTF-8", "HOME": folder, "XDG_RUNTIME_DIR": folder,
               **{k: v for k, v in os.environ.items() if k.endswith("SAN_OPTIONS")},
               **{"unset": {}, "dead": {"DISPLAY": f":{free}"}, "bogus": {"QT_QPA_PLATFORM": "bogus"},
                  "plugin": {"DISPLAY": f":{free}", "QT_PLUGIN_PATH": plugins}}[kind]}
        result = subprocess.run([path], env=env, cwd=folder, capture_output=True, text=True, timeout=STEP)
        qt = {"bogus": 'find the Qt platform plugin "bogus" in ""', "plugin": 'load the Qt platform plugin "xcb" in "" even though it was found.'}
        said = r"Zefirana: nessuno schermo [^\n]*\. Avvia Zefirana da una sessione grafica del desktop\.\n" if kind in ("unset", "dead") else \
            r"Zefirana: impossibile aprire la finestra del gioco\. Il sistema grafico \(Qt\) risponde:\nqt\.qpa\.plugin: Could not " + \
            re.escape(qt[kind]) + r"\nThis application failed to start because no Qt platform plugin could be initialized\.[^\n]*\n\n" \
            r"Available platform plugins are: [^\n]*\bxcb\b[^\n]*\.\n"
        check(result.returncode == 1 and not os.listdir(folder) and not result.stdout and re.fullmatch(said, result.stderr),
              f"status {result.returncode}, files {os.listdir(folder)}, said {result.stderr!r}")


TRACED = "execve,execveat,open,openat,openat2,creat,rename,renameat,renameat2,unlink,unlinkat,mkdir,mkdirat,rmdir," \
         "link,linkat,symlink,symlinkat,truncate,chmod,fchmodat,mknod,mknodat,socket,connect"
CALL = re.compile(r"(\w+)\((.*)\) += (-?\d+)(?:<([^>]*)>)?")  # the result, with the file it opened
PATH = re.compile(r'(?:(?:AT_FDCWD|\d+)(?:<([^>]*)>)?, )?"((?:[^"\\]|\\.)*)"')  # with its dirfd's folder
WRITING = re.compile(r"\bO_(WRONLY|RDWR|CREAT|TRUNC|TMPFILE)\b")


def forbidden(call, args, result, opened, session, program):
    """Whether a traced call starts another program (a sound server, say), or writes or connects
    outside the places allowed to the toolkit's libraries: run-time files, font and GL caches,
    devices; the X server's, the buses' (in the session's folder) and a sound server's sockets. A
    failed call changed nothing, and an anonymous memory file is no file."""
    if result == "-1" or (opened or "").startswith("/memfd:"):
        return False
    if call.startswith("execve"):
        return not args.startswith(f'"{program}"')
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


def writes_nothing(path, sound=True):
    """Traced through a turn (a wrong answer, then the right one) and the exit, with a sound
    server to play to and no cookie of it in HOME, or with no sound server at all and a sound
    library configured to start one: the program starts no other program, lets the sound library
    start none, and writes and connects only where allowed."""
    with Session(sound=sound) as session:
        trace, said = os.path.join(session.dir, "trace"), os.path.join(session.dir, "said")
        # The sound library's own log says whether it was let start a server (it never starts one for
        # root); without a server, it is configured as a desktop's may be, to start one when none answers.
        session.env["PULSE_LOG"] = "4"
        if not sound:
            with open(os.path.join(session.dir, "client.conf"), "w") as conf:
                conf.write(f"autospawn = yes\ncookie-file = {session.runtime}/cookie\n")
            session.env["PULSE_CLIENTCONFIG"] = conf.name
        program = session.start(path, wrapper=["strace", "-ff", "--seccomp-bpf", "-qq", "-y", "-s", "4096", "-o", trace,
                                               "-e", f"trace={TRACED}", "-e", "signal=none", "--"], stderr=open(said, "w"))
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
                    faults += [match.string.strip()] if forbidden(*match.groups(), session, path) else []
        check(calls > 100, f"the trace holds only {calls} calls: strace did not follow the program")
        check(not faults, "the program wrote or connected where it must not:\n  " + "\n  ".join(faults[:40]))
        check("doing autospawn" not in open(said).read(), "the program lets the sound library start a sound server")


def install(session, path, name="program"):
    """A copy of the program in the session's folder `name`, with tones for cues (the regions'
    long, to be cut short) and its audio module."""
    folder = os.path.join(session.dir, name)
    write_cues(os.path.join(folder, "regione"))
    shutil.copy2(os.path.join(os.path.dirname(path), "zefirana-audio.so"), folder)
    return shutil.copy2(path, folder)


def module_beside_only(path):
    """The audio module is used only from beside the program: with the module in the working folder
    instead, the program plays nothing."""
    with Session(sound=True) as session:
        copy = install(session, path)
        os.rename(os.path.join(os.path.dirname(copy), "zefirana-audio.so"), os.path.join(session.dir, "zefirana-audio.so"))
        program = session.start(copy)
        program.press_car()
        session.quiet("without the module beside it")


def stalls(path):
    """A program in a folder whose name is not UTF-8 (a raw Latin-1 byte) plays the cues beside it
    through the module beside it, never the working folder's (silent) cues. A sound server that
    stops answering (SIGSTOP) costs the window nothing, and a cue is heard only if it could begin
    within 2 s of its press: not while the program waits to connect, nor from a stream the server
    makes late, when the server answers 3 s after the press; from a stream made late, when it
    answers within a second. The sound is back once the server answers again, or is started again on
    the same socket; no stream of the program's is left on it; Esci ends the program within a
    second even with a connection stuck."""
    with Session(sound=True) as session:
        write_cues(os.path.join(session.dir, "regione"), silent=True)
        program = session.start(install(session, path, "lat\udcedn"))  # the byte 0xED, as os functions write it
        server = lambda signum: lambda: os.kill(session.pulseaudio.pid, signum)
        resume_after = lambda seconds: lambda: (time.sleep(seconds), server(signal.SIGCONT)())
        # Stopped before the first press: each press after the worker was stuck past its limit.
        server(signal.SIGSTOP)()
        for _ in range(2):
            program.answer(program.press_car(), PRAISE)
            time.sleep(STUCK_AFTER + 0.5)
        asked = program.press_car(meanwhile=resume_after(3))
        session.quiet("a cue whose connection was made 3 s after its press")
        turn(session, program, asked)
        # Stopped while connected: the region's stream, replaced by the praise's, is still being made;
        # the praise's is made once its box has closed, well within 2 s of its press.
        server(signal.SIGSTOP)()
        turn(session, program, program.press_car(), meanwhile=server(signal.SIGCONT))
        server(signal.SIGSTOP)()
        asked = program.press_car(meanwhile=resume_after(3))
        session.quiet("a cue whose stream was made 3 s after its press")
        turn(session, program, asked)
        session.start_sound()
        turn(session, program)
        # Started again and stalled at once: the next cue waits on a new connection.
        session.start_sound()
        server(signal.SIGSTOP)()
        program.press_car()
        program.quit(within=1.5)


def wine_planted_dll(dll, archive, runner):
    """A DLL planted beside the zip's Zefirana.exe under the name of one loaded while the program
    runs (planted-dll.cpp: loaded, it ends the program with status 77) is never loaded, the system's
    is: the program plays its first cue and ends."""
    with Session(sound=True, accessibility=False) as session, zipfile.ZipFile(archive) as z:
        session.env.update({k: v for k, v in os.environ.items() if k == "WINEPREFIX"})
        z.extractall(session.dir)
        shutil.copy(dll, os.path.join(session.dir, "Zefirana"))
        program = Program(session.spawn([runner, os.path.join(session.dir, "Zefirana", "Zefirana.exe")], quiet=False),
                          None, wine=True)
        mark = len(session.heard())
        program.press_car()
        wait_for("the cue to be heard", lambda: program.alive("its cue") and max(map(abs, session.heard()[mark:]), default=0) > 300)
        program.quit()


CASES = {"two-copies": two_copies, "keyboard": keyboard, "writes-nothing": writes_nothing,
         "writes-nothing-no-sound-server": functools.partial(writes_nothing, sound=False),
         "module-beside-only": module_beside_only, "stalled-sound-server": stalls,
         "wine-planted-dll": wine_planted_dll,
         **{f"no-display-{kind}": functools.partial(no_display, kind) for kind in ("unset", "dead", "bogus", "plugin")}}

if __name__ == "__main__":
    main(CASES[sys.argv[1]], *sys.argv[2:])

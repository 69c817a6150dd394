#!/usr/bin/python3
"""The built program on a real X server, played with real clicks: cases.py PROGRAM CASE [KIND]."""

import glob
import math
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time

from harness import CLIENT, FRESH, GOODBYE, PRAISE, REGIONS, STEP, FocusWatch, Session, SoundServer, check, \
    last_sound, main, run, sounding, wait_for


def check_start(program):
    """The window is mapped with its caption, its client area below the menu bar, a fresh game."""
    wid, caption, (x, y, width, height) = program.window()
    frame = program.wait("the window", program.frame)
    check(re.fullmatch(r"Lumbrena\.{4}\S.*", caption) and frame.name == caption, f"the caption is {caption!r}")
    check(frame.extents == (x, y, width, height), f"the toolkit has the window at {frame.extents}, X elsewhere")
    bar = [n.extents for n in frame.children if n.role == "menu bar"]
    check(len(bar) == 1 and bar[0][1] == y and bar[0][3] > 0, f"the menu bar is at {bar}")
    client = program.client(frame)
    bar_height = bar[0][3]
    check(client and client.extents == (x, y + bar_height, *CLIENT)
          and (width, height) == (CLIENT[0], CLIENT[1] + bar_height),
          f"the client area is {client and client.extents} in a window of {width}x{height}")
    program.wait_state("right after start", **FRESH)
    return wid


def two_copies(path):
    """Two copies, the first started with arguments (even the toolkit's own are not the
    program's business), each with the window as designed and a game of its own."""
    with Session() as session:
        one = session.start(path, ["-platform", "bogus", "--foo", "-style", "x"])
        check_start(one)
        two = session.start(path)
        wid = check_start(two)
        # With no window manager both open at one place: set the second aside, as a pupil would.
        run(["xdotool", "windowmove", "--sync", wid, str(CLIENT[0] + 100), "0"])
        two.wait("the second window to move", lambda tops: (f := two.frame(tops)) and f.extents[0] == CLIENT[0] + 100)
        asked = two.press_car()
        one.wait_state("the first copy after a prompt in the second", **FRESH)
        one.quit()
        check(two.process.poll() is None, "the second copy ended with the first")
        two.wait_state("the second copy after the first ended", lblreg=REGIONS[asked][0], car=False)
        two.quit()


def play_turn(program):
    """One turn with a wrong answer first: the window then shows Esatte 1, Errate 1."""
    program.wait_state("before the turn", **FRESH)
    asked = program.press_car()
    wrong = asked % len(REGIONS) + 1
    program.answer(wrong, REGIONS[wrong][2])
    program.wait_state("after a wrong answer", lblreg=REGIONS[asked][0], car=False, lblpunti="0", lblerrori="1")
    program.answer(asked, PRAISE)
    program.wait_state("after the right answer", lblreg="", car=True, lblpunti="1", lblerrori="1")


def keyboard(path):
    """Real keys with the focus where the program leaves it: no stray key ends the game, and
    Qt's own texts are Italian."""
    with Session() as session:
        program = session.start(path)
        program.wait_state("right after start", **FRESH)
        focus = FocusWatch()
        # Text1 has the first focus: Space and Esc do nothing, the Menu key opens its menu.
        program.keys("space", "Escape", "Menu", "Down")
        menu = focus.menu()
        items = [menu.get_child_at_index(i).get_name().split("\t")[0] for i in range(menu.get_child_count())]
        check([i for i in items if i] == ["Annulla", "Rifai", "Taglia", "Copia", "Incolla", "Elimina",
                                          "Seleziona tutto"], f"the text box's menu offers {items}")
        program.keys("Escape")
        # Return presses the car (the box would be the goodbye if a key had pressed Esci).
        asked = program.press_car("Return")
        program.answer(asked, PRAISE)
        # Clicked, the car hides: Return, Space and Esc on the map start and end nothing.
        asked = program.press_car()
        program.keys("Return", "space", "Escape")
        program.answer(asked, PRAISE)
        program.wait_state("after the keys on the map", lblreg="", car=True, lblpunti="2", lblerrori="0")
        program.press_car("Return")  # the car is back: Return presses it
        # Tab from the map, the car hidden, reaches Esci: Return presses it.
        program.keys("Tab")
        program.quit("Return")


def no_display(path, kind):
    """Without a screen to open the window on, one line on standard error says what is missing
    and what to do, and the program ends with status 1: no abort, no core dump."""
    free = next(n for n in range(31000, 32000) if not os.path.exists(f"/tmp/.X11-unix/X{n}"))
    env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "LANG": "C.UTF-8",
           **{"unset": {}, "dead": {"DISPLAY": f":{free}"}, "bogus": {"QT_QPA_PLATFORM": "bogus"}}[kind],
           **{k: v for k, v in os.environ.items() if k.endswith("SAN_OPTIONS")}}
    with tempfile.TemporaryDirectory() as folder:
        result = subprocess.run([path], env={**env, "HOME": folder, "XDG_RUNTIME_DIR": folder}, cwd=folder,
                                capture_output=True, text=True, timeout=STEP)
        check(result.returncode == 1 and os.listdir(folder) == [], f"status {result.returncode}, "
              f"files left {os.listdir(folder)}")
    check(re.fullmatch(r"Zefirana: nessuno schermo [^\n]*\. Avvia Zefirana da una sessione grafica del desktop\.\n",
                       result.stderr) and not result.stdout, f"it said {result.stdout!r} {result.stderr!r}")


TRACED = "open,openat,openat2,creat,rename,renameat,renameat2,unlink,unlinkat,mkdir,mkdirat,rmdir," \
         "link,linkat,symlink,symlinkat,truncate,chmod,fchmodat,mknod,mknodat,socket,connect"
CALL = re.compile(r"(\w+)\((.*)\) += (-?\d+)(?:<([^>]*)>)?")  # the result, with the file it opened
PATH = re.compile(r'(?:(?:AT_FDCWD|\d+)(?:<([^>]*)>)?, )?"((?:[^"\\]|\\.)*)"')  # with its dirfd's folder
WRITING = re.compile(r"\bO_(WRONLY|RDWR|CREAT|TRUNC|TMPFILE)\b")


def forbidden(call, args, result, opened, session):
    """Whether a traced call writes or connects outside the places allowed to the toolkit's
    libraries: run-time files, font and GL caches, devices; the X server's, the buses' (in the
    session's folder) and a sound server's sockets. A call that failed changed nothing, and an
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
    """Traced through a turn (a wrong answer, then the right one) and the exit, the program writes and connects only where allowed,
    with a sound server to play to and no sound server's cookie in its HOME."""
    with Session(sound=True) as session:
        trace = os.path.join(session.dir, "trace")
        program = session.start(path, wrapper=["strace", "-ff", "--seccomp-bpf", "-qq", "-y", "-s", "4096", "-o", trace,
                                               "-e", f"trace={TRACED}", "-e", "signal=none", "--"])
        play_turn(program)
        program.quit()
        calls, faults = 0, []
        for name in glob.glob(trace + ".*"):
            with open(name, errors="replace") as f:
                for match in filter(None, map(CALL.match, f)):
                    calls += 1
                    if forbidden(*match.groups(), session):
                        faults.append(match.string.strip())
        check(calls > 100, f"the trace holds only {calls} calls: strace did not follow the program")
        check(not faults, "the program wrote or connected where it must not:\n  " + "\n  ".join(faults[:40]))


def wav(data_bytes):
    """The header of a 16-bit mono 16 kHz WAV file."""
    return struct.pack("<4sI4s4sIHHIIHH4sI", b"RIFF", 36 + data_bytes, b"WAVE", b"fmt ", 16, 1, 1, 16000, 32000, 2,
                       16, b"data", data_bytes)


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


# Each kind of broken cue: makes it at a path from the good cue's bytes. The reader and the
# loader meet every other kind in their unit tests; these are the ones that reach the program
# differently: refused by the reader, a file whose reading would never end, one that would block.
CUES = {
    "cut-data": lambda path, good: write(path, good[:len(good) // 2]),  # the data chunk declares it all
    "endless": lambda path, good: os.symlink("/dev/zero", path),
    "fifo": lambda path, good: os.mkfifo(path),
}


def install(session, path, make_cue=None, module=True):
    """A copy of the program in the session's folder "program", with its cues, each made by
    make_cue(path, good cue's bytes) if given, and its audio module unless told not to."""
    folder, source = os.path.join(session.dir, "program"), os.path.join(os.path.dirname(path), "regione")
    os.mkdir(folder)
    os.mkdir(os.path.join(folder, "regione"))
    for name in os.listdir(source):
        if make_cue:
            with open(os.path.join(source, name), "rb") as f:
                make_cue(os.path.join(folder, "regione", name), f.read())
        else:
            shutil.copy2(os.path.join(source, name), os.path.join(folder, "regione"))
    if module:
        shutil.copy2(os.path.join(os.path.dirname(path), "zefirana-audio.so"), folder)
    return shutil.copy2(path, folder)


def bad_cues(path, kind):
    """Every cue beside a copy of the program broken in one way: turns go on in silence (a cue
    that blocked the program shows as a box that never opens) and Esci ends the game."""
    with Session(sound=True) as session:
        copy = install(session, path, CUES.get(kind))
        if kind == "missing-folder":
            shutil.rmtree(os.path.join(session.dir, "program", "regione"))
        session.sound.record()
        program = session.start(copy)
        for turn in range(1, 4):
            asked = program.press_car()  # the region's cue is tried with the prompt
            program.answer(asked, PRAISE)  # and the praise's with the praise
            program.wait_state(f"after turn {turn}", lblreg="", car=True, lblpunti=str(turn), lblerrori="0")
        program.quit()
        check(not sounding(session.sound.heard()), "a broken cue was heard")


def tone(seconds, hz):
    samples = [round(8000 * math.sin(2 * math.pi * hz * i / 16000)) for i in range(int(seconds * 16000))]
    return wav(2 * len(samples)) + struct.pack(f"<{len(samples)}h", *samples)


# Each cue beside the program a tone of its own pitch, so that what is heard tells which cue it was.
CUE = 0.6  # seconds
PITCH = {**{row[3]: 300 + 50 * n for n, row in REGIONS.items()}, "esatto.wav": 1600}


def tones(path, _good, seconds=CUE):
    write(path, tone(seconds, PITCH.get(os.path.basename(path), 2000)))


def hear(session, cue, mark, what):
    """Waits until the recording from `mark` on ends with the cue file named `cue` heard whole
    (its start may be lost as the server mixes a new stream in), then silence."""
    want, last = PITCH[cue], []

    def probe():
        last[:] = [last_sound(session.sound.heard()[mark:])]
        return last[0] and abs(last[0][0] - want) < want * 0.03 and last[0][1] > CUE - 0.15
    try:
        wait_for(f"{cue} ({want} Hz) to be heard {what}", probe)
    except AssertionError as failure:
        raise type(failure)(f"{failure}; the last sound heard (Hz, s): {last}") from None


def plays_own_cues(path):
    """A press plays the asked region's own file from the folder "regione" beside the program
    and a right answer the praise, through the audio module beside the program: neither the
    working folder's cues nor its module are ever used."""
    with Session(sound=True) as session:
        copy = install(session, path, tones, module=False)
        os.mkdir(os.path.join(session.dir, "regione"))  # the working folder: a tone of 2500 Hz in every cue
        for name in os.listdir(os.path.join(session.dir, "program", "regione")):
            write(os.path.join(session.dir, "regione", name), tone(1, 2500))
        shutil.copy2(os.path.join(os.path.dirname(path), "zefirana-audio.so"), session.dir)
        session.sound.record()
        program = session.start(copy)
        program.answer(program.press_car(), PRAISE)
        time.sleep(1)
        check(not sounding(session.sound.heard()), "without the module beside it, the program played a sound")
        program.quit()

        shutil.copy2(os.path.join(session.dir, "zefirana-audio.so"), os.path.dirname(copy))
        program = session.start(copy)
        for _ in range(2):
            mark = len(session.sound.heard())
            asked = program.press_car()
            hear(session, REGIONS[asked][3], mark, "after the car")
            mark = len(session.sound.heard())
            program.answer(asked, PRAISE)
            hear(session, "esatto.wav", mark, "after a right answer")
        program.quit()


def replaces_cue(path):
    """The praise cuts the region's cue short: with region cues of 8 seconds, a right answer
    given at once is followed by the praise alone, then silence."""
    with Session(sound=True) as session:
        copy = install(session, path, lambda cue, good: tones(cue, good, CUE if cue.endswith("esatto.wav") else 8))
        session.sound.record()
        program = session.start(copy)
        asked = program.press_car()
        wait_for("the region's cue", lambda: sounding(session.sound.heard()))
        mark = len(session.sound.heard())
        program.answer(asked, PRAISE)
        hear(session, "esatto.wav", mark, "in place of the region's")
        first, last = sounding(session.sound.heard()[mark:])
        check(last - first < 6 * SoundServer.RATE, "the region's cue sounded on to its end")
        program.quit()


def stalls(path):
    """A sound server that stops answering (SIGSTOP) before the first press, between cues and
    during a cue costs the window nothing, and the sound is back once the server answers again
    or is started again on the same socket. Esci ends the program at once even then."""
    with Session(sound=True) as session:
        server = session.sound
        program = session.start(install(session, path, tones))
        server.record()
        server.stall()
        times = []
        for turn in range(3):  # the first press and later ones, each after the worker was stuck a while
            begun = time.monotonic()
            asked = program.press_car()
            times.append(time.monotonic() - begun)
            program.answer(asked, PRAISE)
            time.sleep(2.5)
        server.resume()
        mark = len(server.heard())
        asked = program.press_car()
        hear(session, REGIONS[asked][3], mark, "once the server answers again")
        program.answer(asked, PRAISE)

        server.restart()
        server.record()
        asked = program.press_car()
        hear(session, REGIONS[asked][3], 0, "once the server was started again")
        program.answer(asked, PRAISE)
        # Started again and stalled at once: the next cue waits on a new connection, and the
        # program ends without waiting for it.
        server.restart()
        server.stall()
        program.press_car()
        program.press("Esci")
        program.box("after Esci", GOODBYE)
        begun = time.monotonic()
        wait_for("the program to end", lambda: program.process.poll() is not None, 5)
        ended = time.monotonic() - begun
        check(program.process.returncode == 0, f"the program ended with status {program.process.returncode}")
        print(f"stalled server: press to prompt {', '.join(f'{t * 1000:.0f}' for t in times)} ms "
              f"(press, click and read through AT-SPI); goodbye closed to the end {ended * 1000:.0f} ms")


CASES = {"two-copies": two_copies, "keyboard": keyboard, "no-display": no_display,
         "writes-nothing": writes_nothing, "bad-cues": bad_cues,
         "plays-own-cues": plays_own_cues, "replaces-cue": replaces_cue, "stalls": stalls}

if __name__ == "__main__":
    check(len(sys.argv) >= 3 and sys.argv[2] in CASES, __doc__ + " CASE: " + " ".join(CASES))
    sys.exit(main(CASES[sys.argv[2]], sys.argv[1], *sys.argv[3:]))

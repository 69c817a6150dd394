#!/usr/bin/python3
"""The built program on a real X server, played with real clicks: cases.py PROGRAM CASE [KIND]."""

import glob
import os
import random
import re
import shutil
import struct
import sys

from harness import CLIENT, FRESH, PRAISE, REGIONS, Session, check, main, run


def check_start(program):
    """The window is mapped with its caption, its client area below the menu bar, a fresh game."""
    wid, caption, (x, y, width, height) = program.window()
    frame = program.wait("the window", program.frame)
    check(caption.startswith("Lumbrena....") and frame.name == caption, f"the caption is {caption!r}")
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


def start_and_exit(path, *args):
    with Session() as session:
        program = session.start(path, args)
        check_start(program)
        program.quit()


def two_copies(path):
    with Session() as session:
        one = session.start(path)
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


def full_turn(path):
    with Session() as session:
        program = session.start(path)
        play_turn(program)
        program.quit()


TRACED = "open,openat,openat2,creat,rename,renameat,renameat2,unlink,unlinkat,mkdir,mkdirat,rmdir," \
         "link,linkat,symlink,symlinkat,truncate,chmod,fchmodat,mknod,mknodat,socket,connect"
CALL = re.compile(r"(\w+)\((.*)\) += ")
PATH = re.compile(r'(?:(?:AT_FDCWD|\d+)(?:<([^>]*)>)?, )?"((?:[^"\\]|\\.)*)"')  # with its dirfd's folder
WRITING = re.compile(r"\bO_(WRONLY|RDWR|CREAT|TRUNC|TMPFILE)\b")


def forbidden(call, args, session):
    """Whether a traced call writes or connects outside the places allowed to the toolkit's
    libraries: run-time files, font and GL caches, devices; the X server's, the buses' (in the
    session's folder) and a sound server's sockets."""
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
    """Traced through a turn and the exit, the program writes and connects only where allowed."""
    with Session() as session:
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


def wav(data_bytes, channels=1, rate=16000, riff_bytes=None):
    return struct.pack("<4sI4s4sIHHIIHH4sI", b"RIFF", riff_bytes or 36 + data_bytes, b"WAVE", b"fmt ", 16, 1,
                       channels, rate, rate * channels * 2, channels * 2, 16, b"data", data_bytes)


def write(path, data, size=None):
    with open(path, "wb") as f:
        f.write(data)
        f.truncate(size or len(data))


# Each kind of broken cue: makes it at a path from the good cue's bytes.
CUES = {
    "empty": lambda path, good: write(path, b""),
    "cut-header": lambda path, good: write(path, good[:30]),
    "cut-data": lambda path, good: write(path, good[:len(good) // 2]),  # the data chunk declares it all
    "garbage": lambda path, good: write(path, random.Random(path).randbytes(4000)),
    "lying-header": lambda path, good: write(path, wav(0xFFFFFFF0, 0, 0, 0xFFFFFFFF) + bytes(64)),
    "huge": lambda path, good: write(path, wav((64 << 20) - 44), 64 << 20),  # sparse, 64 MiB
    "folder": lambda path, good: (os.mkdir(path), write(os.path.join(path, "inside.wav"), good)),
    "fifo": lambda path, good: os.mkfifo(path),
    "endless": lambda path, good: os.symlink("/dev/zero", path),
    "dangling": lambda path, good: os.symlink(path + ".nowhere", path),
}


def bad_cues(path, kind):
    """Every cue beside a copy of the program broken in one way: turns go on silently (a cue
    that blocked the program shows as a box that never opens) and Esci ends the game."""
    with Session() as session:
        folder, source = os.path.join(session.dir, "program"), os.path.join(os.path.dirname(path), "regione")
        cues = os.path.join(folder, "regione")
        os.mkdir(folder)
        if kind == "folder-is-file":
            write(cues, b"not a folder\n")
        elif kind != "missing-folder":
            os.mkdir(cues)
            for name in os.listdir(source):
                with open(os.path.join(source, name), "rb") as f:
                    CUES[kind](os.path.join(cues, name), f.read())
        # The audio output goes along, so that the broken cues really reach it.
        shutil.copy2(os.path.join(os.path.dirname(path), "zefirana-audio.so"), folder)
        program = session.start(shutil.copy2(path, folder))
        for turn in range(1, 4):
            asked = program.press_car()  # the region's cue is tried with the prompt
            program.answer(asked, PRAISE)  # and the praise's with the praise
            program.wait_state(f"after turn {turn}", lblreg="", car=True, lblpunti=str(turn), lblerrori="0")
        program.quit()


CASES = {"start": start_and_exit,
         "arguments": lambda path: start_and_exit(path, "-platform", "bogus", "--foo", "-style", "x"),
         "two-copies": two_copies, "full-turn": full_turn, "writes-nothing": writes_nothing, "bad-cues": bad_cues}

if __name__ == "__main__":
    check(len(sys.argv) >= 3 and sys.argv[2] in CASES, __doc__ + " CASE: " + " ".join(CASES))
    sys.exit(main(CASES[sys.argv[2]], sys.argv[1], *sys.argv[3:]))

#!/usr/bin/python3
"""The program of the Windows zip under Wine on a real X server, played with real input events:
wine.py ZIP RUNNER, where RUNNER starts a Windows program (tools/windows/wine-run.sh).

The zip is unpacked into a folder whose name has accents and blanks, as a teacher might. Wine
shows each window of the program as an X window named by its caption. The text of a message box
is read the way Windows offers it to every user: Ctrl+C in the box puts its title and text on
the clipboard, which Wine shares with the X server. Wine plays the program's sound on the
session's sound server, where it is recorded."""

import math
import os
import re
import subprocess
import sys
import time
import zipfile

from cases import tone, write
from harness import CLIENT, GOODBYE, POINT, PRAISE, REGIONS, START, STEP, TITLE, Session, check, click, last_sound, \
    main, run, wait_for

# The caption as the program's record has it.
with open(os.path.join(os.path.dirname(__file__), "..", "..", "app", "record.h"), encoding="utf-8") as f:
    CAPTION = re.search(r'kCaption = u"([^"]*)"', f.read())[1]
# Client points of the car button and of Esci, at their middles.
CAR, ESCI = (436, 64), (284, 524)
SEPARATOR = "-" * 27
# Each cue a tone of its own pitch, a ninth apart: under Wine a cue may lose a moment here and
# there, which bends the pitch measured by a few hundredths, never to a neighbour's.
CUES = sorted([row[3] for row in REGIONS.values()] + ["esatto.wav"])
PITCH = {name: 300 * 1.12 ** i for i, name in enumerate(CUES)}


def windows(name):
    return run(["xdotool", "search", "--onlyvisible", "--name", name]).stdout.split()


def geometry(wid):
    shell = dict(line.split("=") for line in run(["xdotool", "getwindowgeometry", "--shell", wid]).stdout.split())
    return tuple(int(shell[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))


def hear(session, cue, mark, what):
    """Waits until the last sound recorded from `mark` on is the cue file named `cue`."""
    heard = []

    def probe():
        last = last_sound(session.sound.heard()[mark:])
        heard[:] = [last]
        return last and last[1] > 0.5 and min(CUES, key=lambda name: abs(math.log(PITCH[name] / last[0]))) == cue
    try:
        wait_for(f"{cue} to be heard {what}", probe)
    except AssertionError as failure:
        raise type(failure)(f"{failure}: the last sound heard (Hz, s) was {heard}, {cue} is {PITCH[cue]:.0f} Hz") from None


def clipboard():
    return run(["xclip", "-selection", "clipboard", "-out"]).stdout.replace("\r\n", "\n")


class WineProgram:
    def __init__(self, session, runner, exe):
        self.process = session.spawn([runner, exe], quiet=False, cwd=session.dir)
        found = wait_for("the main window", lambda: self.alive("its window") and windows("^Lumbrena"), 3 * START)
        check(len(found) == 1, f"{len(found)} main windows")
        self.wid = found[0]
        self.copied = clipboard()

    def alive(self, what):
        check(self.process.poll() is None, f"the program ended ({self.process.returncode}) before {what}")
        return True

    def client(self, point):
        """A client point on the screen: the X window holds the menu bar and, below it, the client area."""
        x, y, width, height = geometry(self.wid)
        return x + point[0], y + height - CLIENT[1] + point[1]

    def box(self, what, expected=None):
        """Waits for the one message box, reads its title and text, closes it with Enter and
        returns its text."""
        found = wait_for(f"a message box {what}", lambda: self.alive(f"a box {what}") and windows(f"^{TITLE}$"))
        check(len(found) == 1, f"{len(found)} message boxes are open {what}")
        # The keys go to the box, as a window manager would have it (there is none here).
        run(["xdotool", "windowfocus", "--sync", found[0]])

        def copy():  # Ctrl+C in the box, then a while for Wine to hand the text over to X
            run(["xdotool", "key", "--clearmodifiers", "ctrl+c"])
            deadline = time.monotonic() + 2
            while time.monotonic() < deadline:
                text = clipboard()
                if text != self.copied and text.startswith(SEPARATOR):
                    return text
                time.sleep(0.1)
            return None
        self.copied = wait_for(f"the text of the box {what} on the clipboard", copy)
        parts = [p.strip("\n") for p in self.copied.split(SEPARATOR + "\n") if p.strip("\n")]
        check(len(parts) == 3 and parts[0] == TITLE and parts[2].strip() == "OK"
              and parts[1] == (expected or parts[1]),
              f"{what} the box shows {parts}, expected {TITLE!r}, {expected or 'one text'}, 'OK'")
        run(["xdotool", "key", "Return"])
        wait_for(f"the box {what} to close", lambda: not windows(f"^{TITLE}$"))
        return parts[1]

    def quit(self):
        click(*self.client(ESCI))
        self.box("after Esci", GOODBYE)
        wait_for("the program to end", lambda: self.process.poll() is not None, STEP)
        check(self.process.returncode == 0, f"the program ended with status {self.process.returncode}")


def turn(package, runner):
    """Unpacked, started, a turn played and ended: caption, prompt and the region's cue, praise
    and its cue, goodbye, status 0."""
    cache = os.environ.get("ZEFIRANA_CACHE") or os.path.expanduser("~/.cache/zefirana")
    prefix = os.environ.get("WINEPREFIX") or os.path.join(cache, "wine")  # the runner's own default
    with Session(sound=True, accessibility=False) as session:
        session.env["WINEPREFIX"] = prefix
        folder = os.path.join(session.dir, "Prova è scuola", "giochi di geografia")
        with zipfile.ZipFile(package) as z:
            z.extractall(folder)
        # The tones in place of the voices, as a teacher may replace them.
        for name in CUES:
            write(os.path.join(folder, "Zefirana", "regione", name), tone(1, PITCH[name]))
        # Wine's own processes of the prefix belong to the X server they were started on: this
        # test starts them afresh on its own, and ends them when done.
        subprocess.run(["wineserver", "-k"], env=session.env, capture_output=True)
        session.sound.record()
        try:
            program = WineProgram(session, runner, os.path.join(folder, "Zefirana", "Zefirana.exe"))
            caption = run(["xdotool", "getwindowname", program.wid]).stdout.rstrip("\n")
            check(caption == CAPTION, f"the caption is {caption!r}, expected {CAPTION!r}")
            _, _, width, height = geometry(program.wid)
            check(width == CLIENT[0] and height > CLIENT[1], f"the window is {width}x{height}")
            mark = len(session.sound.heard())
            click(*program.client(CAR))
            prompt = program.box("after the car button")
            asked = [n for n, row in REGIONS.items() if row[1] == prompt]
            check(asked, f"the prompt {prompt!r} asks for no region")
            hear(session, REGIONS[asked[0]][3], mark, "after the car")
            mark = len(session.sound.heard())
            click(*program.client(POINT[asked[0]]))
            program.box(f"after a click on region {asked[0]}", PRAISE)
            hear(session, "esatto.wav", mark, "after a right answer")
            program.quit()
        finally:
            subprocess.run(["wineserver", "-k"], env=session.env, capture_output=True)


if __name__ == "__main__":
    check(len(sys.argv) == 3, __doc__)
    sys.exit(main(turn, *sys.argv[1:]))

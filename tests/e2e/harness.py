"""Runs the built program on a private X server and plays it like a pupil.

A Session owns an Xvfb, a session bus with the accessibility bus (left out for a program that
does not use it), a temporary folder serving as HOME and XDG_RUNTIME_DIR and, when asked, a
sound server whose null sink is recorded. Clicks and keys are real input events (xdotool); a
message box is read through the toolkit's accessibility interface (AT-SPI), or under Wine from
the clipboard. Every wait is bounded; closing the session ends every process it started.
"""

import array
import contextlib
import ctypes
import math
import os
import re
import select
import shutil
import signal
import struct
import subprocess
import tempfile
import time

START, STEP = 20.0, 10.0  # seconds to a started server or window, and to one reaction, on a loaded machine
CLIENT = (562, 554)
# Client points at the middles of the car button, of Esci and of one hotspot per region, clear of
# every other region's.
CAR, ESCI = (436, 64), (284, 524)
POINT = {1: (216, 140), 2: (228, 200), 3: (192, 100), 4: (232, 68), 5: (272, 88), 6: (292, 68),
         7: (144, 108), 8: (132, 172), 9: (280, 208), 10: (304, 192), 11: (276, 252), 12: (324, 232),
         13: (352, 272), 14: (360, 304), 15: (388, 276), 16: (404, 316), 17: (416, 364), 18: (340, 436),
         19: (132, 340), 20: (116, 84)}
CAPTION = "Lumbrena....un gioco libero degli sviluppatori di Zefirana"
TITLE, PRAISE, GOODBYE = "Zefirana", "Esatto", "Ciao ti aspetto per giocare ancora insieme!"
RATE = 16000  # of what is recorded, in 16-bit mono


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def source(path):
    """A file of the program's own source, its "\\uXXXX" escapes decoded."""
    with open(os.path.join(os.path.dirname(__file__), "..", "..", path), encoding="utf-8") as f:
        return re.sub(r"\\u([0-9a-fA-F]{4})", lambda m: chr(int(m[1], 16)), f.read())


def read_regions():
    """Region number: (name, prompt, reveal phrase, cue file), from the program's own catalogue."""
    rows = re.findall(r'\{(\d+), u"([^"]*)", u"([^"]*)", u"regione/([^"]*)", u"([^"]*)"\}', source("quiz/regions.cpp"))
    check(len(rows) == 20, "the region table of quiz/regions.cpp was not found")
    return {int(n): (name, prompt, reveal, cue) for n, name, prompt, cue, reveal in rows}


REGIONS = read_regions()
# After this many seconds of waiting on the sound server, the program gives its next cue a new connection.
STUCK_AFTER = int(re.search(r"kStuckAfter\{(\d+)\}", source("sound/audioworker.h"))[1]) / 1000
# Each cue written here is a tone of its own pitch, a whole tone above the one before: the nearest
# pitch to what is heard tells which cue it was, even when a moment of it is lost (as under Wine).
PITCH = {cue: 300 * 1.12 ** i for i, cue in enumerate(sorted([row[3] for row in REGIONS.values()] + ["esatto.wav"]))}
# The cues in the formats a teacher's recordings may have, as (bits, channels, rate): the regions'
# in turn, and the praise, heard in every turn, in 8-bit stereo at 44.1 kHz.
FORMATS = {cue: [(16, 1, 16000), (8, 1, 22050), (16, 2, 44100)][i % 3] for i, cue in enumerate(PITCH)}
FORMATS["esatto.wav"] = (8, 2, 44100)


def tone(seconds, hz, bits=16, channels=1, rate=RATE):
    """A PCM WAV file of a tone (silence at 0 Hz), the same in every channel. Its pitch is rounded
    to the hertz, so that each whole second may repeat the first."""
    wave = [0.25 * math.sin(2 * math.pi * round(hz) * i / rate) for i in range(int(min(seconds, 1) * rate))]
    wave = [v for v in wave for _ in range(channels)]
    data = bytes(round(128 + 127 * v) for v in wave) if bits == 8 else \
        array.array("h", [round(32767 * v) for v in wave]).tobytes()
    data *= max(1, int(seconds))
    frame = bits // 8 * channels
    return struct.pack("<4sI4s4sIHHIIHH4sI", b"RIFF", 36 + len(data), b"WAVE", b"fmt ", 16, 1, channels, rate,
                       rate * frame, frame, bits, b"data", len(data)) + data


def write_cues(folder, silent=False):
    """Every cue in folder a tone (or silence): the regions' of 10 s, to be cut short, the praise's of 0.6 s."""
    os.makedirs(folder, exist_ok=True)
    for cue, hz in PITCH.items():
        with open(os.path.join(folder, cue), "wb") as f:
            f.write(tone(0.6 if cue == "esatto.wav" else 10, 0 if silent else hz, *FORMATS[cue]))


def wait_for(what, probe, timeout=STEP):
    """Calls probe() until it gives something true, and returns that; fails after timeout,
    saying what it waited for (or what() says)."""
    deadline = time.monotonic() + timeout
    while not (value := probe()):
        if time.monotonic() > deadline:
            raise AssertionError(f"waited {timeout:g} s in vain for {what() if callable(what) else what}")
        time.sleep(0.05)
    return value


def run(*argv, env=None):
    return subprocess.run(argv, capture_output=True, text=True, timeout=STEP, env=env)


def main(body, *args):
    """Runs body(*args); CTest's timeout (SIGTERM) and an alarm a case may set raise an
    AssertionError, so that the session still ends its processes. Every wait is bounded on its
    own, and each ends at the event it waits for: no case needs a bound on the whole."""
    def stop(signum, _frame):
        raise AssertionError(f"stopped by signal {signum}: the test took too long")
    for signum in (signal.SIGALRM, signal.SIGTERM):
        signal.signal(signum, stop)
    body(*args)


def atspi():
    """The AT-SPI reader, started once the session's buses are in os.environ."""
    import gi
    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi, GLib
    Atspi.init()  # once: later calls do nothing
    return Atspi, GLib


def children(accessible):
    return [accessible.get_child_at_index(i) for i in range(accessible.get_child_count())]


def last_pitch(samples, whole):
    """The pitch in Hz over the last 0.3 s of the last sound in samples (once followed by a
    tenth of a second of silence, if whole), or None."""
    loud = [i for i, v in enumerate(samples) if abs(v) > 300]
    if not loud or whole and len(samples) - loud[-1] < RATE // 10:
        return None
    tail = samples[max(loud[0], loud[-1] - 3 * RATE // 10):loud[-1] + 1]
    return sum((a < 0) != (b < 0) for a, b in zip(tail, tail[1:])) * RATE / 2 / len(tail)


class Session:
    def __init__(self, sound=False, accessibility=True):
        self.processes, self.pulseaudio = [], None
        self.dir = tempfile.mkdtemp(prefix="zefirana-e2e-")
        self.home, self.runtime = os.path.join(self.dir, "home"), os.path.join(self.dir, "runtime")
        for folder in (self.home, self.runtime, os.path.join(self.dir, "pulse-home")):
            os.mkdir(folder, 0o700)
        try:
            # Without a number, the server takes a free display and writes its number when ready.
            # -noreset: it would otherwise refuse connections whenever its last client leaves.
            read_end, write_end = os.pipe()
            self.spawn(["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp", "-noreset", "-screen", "0",
                        "1400x900x24"], pass_fds=(write_end,))
            os.close(write_end)
            check(select.select([read_end], [], [], START)[0], "the X server did not start")
            with os.fdopen(read_end) as answer:
                self.display = ":" + answer.readline().strip()
            # Nothing of the caller's desktop; a sanitizer build still gets its options.
            self.env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": self.home, "LANG": "C.UTF-8",
                        "XDG_RUNTIME_DIR": self.runtime, "DISPLAY": self.display,
                        "XAUTHORITY": os.path.join(self.dir, "none"), "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
                        **{k: v for k, v in os.environ.items() if k.endswith("SAN_OPTIONS")}}
            os.environ.update(self.env)  # for xdotool
            if accessibility:
                self._start_buses()
            # A sound server where a desktop's would be, its socket in XDG_RUNTIME_DIR, keeping
            # its own files (its cookie too) in a folder of its own, never the program's HOME.
            self.pulse = {"PATH": self.env["PATH"], "HOME": os.path.join(self.dir, "pulse-home"), "LANG": "C.UTF-8",
                          "XDG_RUNTIME_DIR": self.runtime, "PULSE_SERVER": f"unix:{self.runtime}/pulse/native"}
            if sound:
                self.start_sound()
        except BaseException:
            self.close()
            raise

    def _start_buses(self):
        bus = self.spawn(["dbus-daemon", "--session", "--nofork", "--print-address=1",
                          f"--address=unix:dir={self.dir}"], stdout=subprocess.PIPE)
        check(select.select([bus.stdout], [], [], START)[0], "the session bus did not start")
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = self.env["DBUS_SESSION_BUS_ADDRESS"] = \
            bus.stdout.readline().decode().strip()
        # The session bus starts the accessibility bus when first asked.
        os.environ["AT_SPI_BUS_ADDRESS"] = wait_for("the accessibility bus", lambda: run(
            "dbus-send", "--session", "--print-reply=literal", "--dest=org.a11y.Bus", "/org/a11y/bus",
            "org.a11y.Bus.GetAddress").stdout.strip(), START)

    def start_sound(self):
        """Starts the sound server (again, on the same socket) and records its sink from now on."""
        if self.pulseaudio:
            self._stop(self.pulseaudio)
            os.unlink(self.pulse["PULSE_SERVER"][5:])
        self.pulseaudio = self.spawn(
            ["pulseaudio", "-n", "--daemonize=no", "--use-pid-file=no", "--exit-idle-time=-1", "--log-target=stderr",
             "-L", "module-null-sink sink_name=zefirana rate=48000", "-L", "module-native-protocol-unix auth-anonymous=1"],
            env=self.pulse)
        wait_for("the sound server", lambda: run("pactl", "info", env=self.pulse).returncode == 0, START)
        self.recording = os.path.join(self.dir, f"heard-{time.monotonic_ns()}.raw")
        with open(self.recording, "wb") as out:
            self.spawn(["parec", "-d", "zefirana.monitor", "--raw", "--format=s16le", f"--rate={RATE}", "--channels=1",
                        "--latency-msec=20"], env=self.pulse, stdout=out)

    def streams(self):
        """How many streams play to the sound server: the program's (the recorder's is no sink input)."""
        listed = run("pactl", "list", "short", "sink-inputs", env=self.pulse)
        check(listed.returncode == 0, f"pactl could not list the sound server's streams: {listed.stderr.strip()}")
        return len(listed.stdout.splitlines())

    def quiet(self, what):
        """Checks that the program plays nothing: a tone of the test's own, played through the server
        after all the program asked of it so far (paplay returns once the sink has played it to
        the end), finds no stream of the program's on it."""
        marker = os.path.join(self.dir, "marker.wav")
        with open(marker, "wb") as f:
            f.write(tone(0.5, 200))
        check(subprocess.run(["paplay", marker], env=self.pulse, timeout=STEP).returncode == 0, "paplay failed")
        check(not self.streams(), f"the program plays {what}")

    def heard(self):
        with open(self.recording, "rb") as f:
            return array.array("h", f.read())

    def hear(self, cue, mark, what, whole=True):
        """Waits until the last sound recorded after sample `mark` is the cue file named `cue`
        (and has ended, if whole)."""
        pitch = [None]

        def probe():
            pitch[0] = last_pitch(self.heard()[mark:], whole)
            return pitch[0] and min(PITCH, key=lambda name: abs(math.log(PITCH[name] / pitch[0]))) == cue
        wait_for(lambda: f"{cue} ({PITCH[cue]:.0f} Hz) to be heard {what}; the last sound was of {pitch[0]} Hz", probe)

    def spawn(self, argv, quiet=True, **kwargs):
        out = subprocess.DEVNULL if quiet else None
        kwargs = {"stdout": out, "stderr": out, "env": getattr(self, "env", None), **kwargs}
        process = subprocess.Popen(argv, stdin=subprocess.DEVNULL, start_new_session=True, **kwargs)
        self.processes.append(process)
        return process

    def start(self, path, *args, wrapper=(), **kwargs):
        process = self.spawn([*wrapper, path, *args], quiet=False, cwd=self.dir, **kwargs)
        return Program(process, None if wrapper else process.pid)

    @staticmethod
    def _stop(process):
        """Ends a process with what it started in its group (bus services, the traced program)."""
        with contextlib.suppress(OSError):
            os.killpg(process.pid, signal.SIGKILL)
        process.wait(5)

    def close(self):
        for process in reversed(self.processes):
            self._stop(process)
        shutil.rmtree(self.dir, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.close()


class Program:
    """A running copy of the program, played with real input: the car, the map and Esci are
    clicked at their places in the window, a message box is given the focus (as a window manager
    gives it to a new window), read, and closed with Enter."""

    def __init__(self, process, pid, wine=False):
        self.process, self.pid, self.copied = process, pid, None  # pid None: the one program on the X server
        self.read_box = self._clipboard if wine else self._accessible
        found = wait_for("the main window", lambda: self.alive("its window") and self.windows("^Lumbrena"),
                         3 * START if wine else START)
        check(len(found) == 1, f"{len(found)} main windows")
        self.wid = found[0]
        caption = run("xdotool", "getwindowname", self.wid).stdout.rstrip("\n")
        # Below a menu bar, the client area: as high as designed if the clicks land where aimed.
        _, _, width, height = self.geometry()
        check(caption == CAPTION and width == CLIENT[0] and CLIENT[1] + 10 < height < CLIENT[1] + 60,
              f"the window {caption!r} is {width}x{height}")
        if not wine:  # readable, as a screen reader would have it, before the first key or click
            wait_for("the window on the accessibility bus", lambda: self.alive("its window is readable")
                     and self._read(lambda tops: any(top.get_role_name() == "frame" for top in tops)), START)

    def alive(self, what):
        check(self.process.poll() is None, f"the program ended ({self.process.returncode}) before {what}")
        return True

    def windows(self, name):
        pid = ["--pid", str(self.pid)] if self.pid else []
        return run("xdotool", "search", "--all", "--onlyvisible", *pid, "--name", name).stdout.split()

    def geometry(self):
        """The main window's X, Y, width and height: the menu bar and, below it, the client area."""
        shell = dict(line.split("=") for line in run("xdotool", "getwindowgeometry", "--shell", self.wid).stdout.split())
        return tuple(int(shell[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))

    def click(self, point):
        """A real left click at a client point; the pointer then rests off every window."""
        x, y, _, height = self.geometry()
        check(run("xdotool", "mousemove", "--sync", str(x + point[0]), str(y + height - CLIENT[1] + point[1]),
                  "click", "1", "mousemove", "--sync", "1395", "895").returncode == 0, "xdotool could not click")

    def keys(self, *names):
        """Real key presses, the main window having the X server's input focus as a window manager
        gives it to a new window and again when a box closes: which control takes them is the
        program's own choice."""
        check(run("xdotool", "windowfocus", "--sync", self.wid, "key", "--delay", "50", *names).returncode == 0,
              "xdotool could not type")

    def _read(self, probe):
        """probe(the program's top-level accessible objects, read afresh), or None while unreadable."""
        Atspi, GLib = atspi()
        try:
            desktop = Atspi.get_desktop(0)
            desktop.clear_cache()
            for app in children(desktop):
                if self.pid in (None, app.get_process_id()):
                    app.clear_cache()
                    return probe(children(app))
        except GLib.Error:
            return None

    def _accessible(self):
        def text(tops):
            texts = [n.get_name() for top in tops if top.get_role_name() in ("dialog", "alert")
                     for n in children(top) if n.get_role_name() == "label" and n.get_name()]
            return len(texts) == 1 and texts[0]
        return self._read(text)

    def _clipboard(self):
        """Under Wine, Ctrl+C in a box puts its title, text and buttons on the clipboard, each
        part after a line of dashes."""
        run("xdotool", "key", "--clearmodifiers", "ctrl+c")
        copied = run("xclip", "-selection", "clipboard", "-out").stdout.replace("\r\n", "\n")
        if copied == self.copied or not copied.startswith("-" * 27):
            return None
        self.copied = copied
        parts = [p.strip("\n") for p in copied.split("-" * 27 + "\n") if p.strip("\n")]
        check(len(parts) == 3 and parts[0] == TITLE and parts[2].strip() == "OK", f"the box shows {parts}")
        return parts[1]

    def box(self, what, expected=None):
        """Waits for the one message box, checks its title (and text), closes it and returns its text."""
        found = wait_for(f"a message box {what}", lambda: self.alive(f"a box {what}") and self.windows(f"^{TITLE}$"))
        check(len(found) == 1, f"{len(found)} message boxes are open {what}")
        run("xdotool", "windowfocus", "--sync", found[0])
        text = wait_for(f"the text of the box {what}", lambda: self.alive(f"the box's text {what}") and self.read_box())
        check(text == (expected or text), f"{what} the box shows {text!r}, expected {expected!r}")
        run("xdotool", "key", "Return")
        wait_for(f"the box {what} to close", lambda: not self.windows(f"^{TITLE}$"))
        return text

    def press_car(self, key=None, meanwhile=None):
        """Starts a turn, by a click on the car or by a key, and calls meanwhile() if given, before
        looking for the prompt; returns the region asked for."""
        self.keys(key) if key else self.click(CAR)
        meanwhile and meanwhile()
        prompt = self.box("after the car button")
        asked = [n for n, row in REGIONS.items() if row[1] == prompt]
        check(asked, f"the prompt {prompt!r} asks for no region")
        return asked[0]

    def answer(self, region, expected):
        self.click(POINT[region])
        self.box(f"after a click on region {region}", expected)

    def close_frame(self):
        """Closes the window as the close button of its frame does (the window manager's
        WM_DELETE_WINDOW request), and the program ends with status 0."""
        xlib = ctypes.CDLL("libX11.so.6")
        xlib.XOpenDisplay.restype = ctypes.c_void_p
        display, window = ctypes.c_void_p(xlib.XOpenDisplay(None)), ctypes.c_ulong(int(self.wid))
        atom = lambda name: xlib.XInternAtom(display, name, 0)  # an atom is a small number
        # An XClientMessageEvent, in longs: type, serial, sent, display, window, message type, format, data.
        event = (ctypes.c_long * 24)(33, 0, 1, display.value, window.value, atom(b"WM_PROTOCOLS"), 32,
                                     atom(b"WM_DELETE_WINDOW"))
        xlib.XSendEvent(display, window, 0, ctypes.c_long(0), event)
        xlib.XCloseDisplay(display)
        wait_for("the program to end once its frame was closed", lambda: self.process.poll() is not None)
        check(self.process.returncode == 0, f"the program ended with status {self.process.returncode}")

    def quit(self, key=None, within=STEP):
        """Esci (clicked, or by a key), the goodbye box, and the program ends with status 0 within
        `within` seconds of the box closing."""
        self.keys(key) if key else self.click(ESCI)
        self.box("after Esci", GOODBYE)
        wait_for("the program to end", lambda: self.process.poll() is not None, within)
        check(self.process.returncode == 0, f"the program ended with status {self.process.returncode}")


def turn(session, program, asked=None, meanwhile=None, count=True):
    """A turn whose region cue is heard, cut short by the praise, which is heard to its end; and,
    if count, at most one stream on the sound server as it ends, none once it has (under Wine the
    sound call belongs to the whole process: no stream to count). Given the region asked,
    only the praise; given meanwhile, it is called once the praise's box has closed, before listening."""
    if not asked:
        mark = len(session.heard())
        asked = program.press_car()
        session.hear(REGIONS[asked][3], mark, "after the car", whole=False)
    mark = len(session.heard())
    program.answer(asked, PRAISE)
    meanwhile and meanwhile()
    session.hear("esatto.wav", mark, "in place of the region's")
    if count:
        check(session.streams() <= 1, f"{session.streams()} streams: the region's cue plays on")
        wait_for(lambda: f"the program's {session.streams()} streams to end", lambda: not session.streams())

"""Runs the built program on a private X server and plays it like a pupil.

A Session owns an Xvfb, a session bus (which starts the accessibility bus when first asked;
left out for a program that does not use it), a temporary folder serving as HOME and
XDG_RUNTIME_DIR and, when asked, a sound server of its own. Clicks and keys are real input
events (xdotool); the window is read through the toolkit's accessibility interface (AT-SPI);
what the program plays is recorded from the sound server. Every wait is bounded; closing the
session ends every process it started, by process group.
"""

import array
import os
import random
import re
import select
import signal
import shutil
import subprocess
import tempfile
import time
from collections import namedtuple

START = 20.0  # seconds to the mapped window, on a loaded machine
STEP = 10.0  # seconds for one reaction to a click
CLIENT = (562, 554)
# Where the design puts the labels read off the window, in client pixels.
LABELS = {"lblreg": (184, 0), "lblpunti": (96, 504), "lblerrori": (496, 504)}
# One client point per region, at the middle of one of its hotspots, clear of every other region's.
POINT = {1: (216, 140), 2: (228, 200), 3: (192, 100), 4: (232, 68), 5: (272, 88), 6: (292, 68),
         7: (144, 108), 8: (132, 172), 9: (280, 208), 10: (304, 192), 11: (276, 252), 12: (324, 232),
         13: (352, 272), 14: (360, 304), 15: (388, 276), 16: (404, 316), 17: (416, 364), 18: (340, 436),
         19: (132, 340), 20: (116, 84)}
TITLE, PRAISE, GOODBYE = "Zefirana", "Esatto", "Ciao ti aspetto per giocare ancora insieme!"
FRESH = {"lblreg": "", "lblpunti": "0", "lblerrori": "0", "car": True}


class Failure(AssertionError):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def read_regions():
    """Region number: (name, prompt, reveal phrase, cue file), as the catalogue's unit test
    expects them."""
    with open(os.path.join(os.path.dirname(__file__), "..", "quiz", "tst_catalogue.cpp"), encoding="utf-8") as f:
        rows = re.findall(r'row\((\d+), "([^"]*)", "([^"]*)", "regione/([^"]*)", "([^"]*)"\);', f.read())
    check(len(rows) == 20, "the region table of tests/quiz/tst_catalogue.cpp was not found")
    return {int(n): (name, prompt, reveal.replace("~", "\u00e8"), cue) for n, name, prompt, cue, reveal in rows}


REGIONS = read_regions()


def wait_for(what, probe, timeout=STEP):
    """Calls probe() until it gives something true, and returns that; fails after timeout."""
    deadline = time.monotonic() + timeout
    while not (value := probe()):
        if time.monotonic() > deadline:
            raise Failure(f"waited {timeout:.0f} s in vain for {what}")
        time.sleep(0.05)
    return value


def run(argv, env=None):
    return subprocess.run(argv, capture_output=True, text=True, timeout=STEP, env=env)


def click(x, y):
    """A real left click; the pointer then rests off every window, so no tooltip opens."""
    check(run(["xdotool", "mousemove", "--sync", str(x), str(y), "click", "1",
               "mousemove", "--sync", "1395", "895"]).returncode == 0, "xdotool could not click")


class FocusWatch:
    """Watches what takes the keyboard focus: a menu that pops up is not among a program's
    top-level objects, but its items take the focus."""

    def __init__(self):
        Atspi, GLib = atspi()
        self.seen, self.context = [], GLib.MainContext.default()
        self.listener = Atspi.EventListener.new(lambda event: self.seen.append(event.source))
        self.listener.register("focus:")

    def menu(self):
        """The menu of the first menu item that took the focus."""
        def probe():
            while self.context.iteration(False):
                pass
            return next((s.get_parent() for s in self.seen if s.get_role_name() == "menu item"), None)
        return wait_for("a menu item to take the focus", probe)


def centre(extents):
    x, y, w, h = extents
    return x + w // 2, y + h // 2


def main(body, *args):
    """Runs body(*args); the alarm and the CTest timeout (SIGTERM) become a Failure, so that
    the session still ends its processes."""
    def stop(signum, _frame):
        raise Failure(f"stopped by signal {signum}: the test took too long")
    signal.signal(signal.SIGALRM, stop)
    signal.signal(signal.SIGTERM, stop)
    signal.alarm(100)
    try:
        body(*args)
    except Failure as failure:
        print(f"FAIL: {failure}", flush=True)
        return 1
    print("PASS")
    return 0


Node = namedtuple("Node", "role name extents showing children")


def walk(node):
    yield node
    for child in node.children:
        yield from walk(child)


_atspi = []


def atspi():
    """The AT-SPI reader, started once the session's buses are in os.environ."""
    if not _atspi:
        import gi
        gi.require_version("Atspi", "2.0")
        from gi.repository import Atspi, GLib
        Atspi.init()
        _atspi.extend((Atspi, GLib))
    return _atspi


def node(acc):
    Atspi = atspi()[0]
    e = acc.get_extents(Atspi.CoordType.SCREEN)
    return Node(acc.get_role_name(), acc.get_name() or "", (e.x, e.y, e.width, e.height),
                acc.get_state_set().contains(Atspi.StateType.SHOWING),
                [node(acc.get_child_at_index(i)) for i in range(acc.get_child_count())])


class SoundServer:
    """A PulseAudio server with a null sink, where a desktop's would be: its socket in the
    session's XDG_RUNTIME_DIR. It keeps its own files in a folder of its own, never the
    program's HOME; it can be stalled, resumed, killed and started again on the same socket."""
    RATE = 16000  # what is recorded: 16-bit mono, like the cues

    def __init__(self, session):
        self.session, self.home = session, os.path.join(session.dir, "pulse-home")
        self.socket = os.path.join(session.runtime, "pulse", "native")
        os.mkdir(self.home, 0o700)
        self.env = {"PATH": os.environ["PATH"], "HOME": self.home, "XDG_RUNTIME_DIR": session.runtime,
                    "PULSE_SERVER": "unix:" + self.socket, "LANG": "C.UTF-8"}
        self.recording = None
        self.start()

    def start(self):
        if os.path.exists(self.socket):
            os.unlink(self.socket)
        self.process = self.session.spawn(
            ["pulseaudio", "-n", "--daemonize=no", "--use-pid-file=no", "--exit-idle-time=-1", "--log-target=stderr",
             "-L", "module-null-sink sink_name=zefirana rate=48000", "-L", "module-native-protocol-unix auth-anonymous=1"],
            env=self.env)
        wait_for("the sound server", lambda: run(["pactl", "info"], self.env).returncode == 0, START)

    def stall(self):
        os.kill(self.process.pid, signal.SIGSTOP)

    def resume(self):
        os.kill(self.process.pid, signal.SIGCONT)

    def restart(self):
        self.session._stop(self.process)
        self.session.processes.remove(self.process)
        self.start()

    def record(self):
        """Starts recording what the sink plays; heard() returns it."""
        self.recording = os.path.join(self.session.dir, f"heard-{time.monotonic_ns()}.raw")
        with open(self.recording, "wb") as out:
            self.recorder = self.session.spawn(
                ["parec", "-d", "zefirana.monitor", "--raw", "--format=s16le", f"--rate={self.RATE}", "--channels=1",
                 "--latency-msec=20"], env=self.env, stdout=out)

    def heard(self):
        """The samples recorded so far."""
        with open(self.recording, "rb") as f:
            return array.array("h", f.read())


def sounding(samples, level=300):
    """(first, last) index of the samples louder than level, or None for silence."""
    loud = [i for i, v in enumerate(samples) if abs(v) > level]
    return (loud[0], loud[-1]) if loud else None


def last_sound(samples, level=300):
    """(pitch in Hz over its last 0.3 s, length in seconds) of the last sound in samples that is
    followed by a tenth of a second of silence, or None."""
    rate = SoundServer.RATE
    loud = [i for i, v in enumerate(samples) if abs(v) > level]
    if not loud or len(samples) - loud[-1] < rate // 10:
        return None
    first = next(loud[k] for k in range(len(loud) - 1, -1, -1) if k == 0 or loud[k] - loud[k - 1] > rate // 10)
    tail = samples[max(first, loud[-1] - 3 * rate // 10):loud[-1] + 1]
    crossings = sum((a < 0) != (b < 0) for a, b in zip(tail, tail[1:]))
    return crossings * rate / 2 / len(tail), (loud[-1] + 1 - first) / rate


class Session:
    def __init__(self, sound=False, accessibility=True):
        self.processes = []
        self.dir = tempfile.mkdtemp(prefix="zefirana-e2e-")
        self.home, self.runtime = os.path.join(self.dir, "home"), os.path.join(self.dir, "runtime")
        os.mkdir(self.home, 0o700)
        os.mkdir(self.runtime, 0o700)
        try:
            self._start_x()
            # Nothing of the caller's desktop; a sanitizer build still gets its options.
            self.env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": self.home, "LANG": "C.UTF-8",
                        "XDG_RUNTIME_DIR": self.runtime, "DISPLAY": self.display,
                        "XAUTHORITY": os.path.join(self.dir, "none"), "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
                        **{k: v for k, v in os.environ.items() if k.endswith("SAN_OPTIONS")}}
            os.environ.update(self.env)  # for xdotool
            if accessibility:
                self._start_buses()
            self.sound = SoundServer(self) if sound else None
        except BaseException:
            self.close()
            raise

    def _start_buses(self):
        bus = self.spawn(["dbus-daemon", "--session", "--nofork", "--print-address=1",
                          f"--address=unix:dir={self.dir}"], stdout=subprocess.PIPE)
        check(select.select([bus.stdout], [], [], START)[0], "the session bus did not start")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().decode().strip()
        os.environ.update(self.env)  # for dbus-send and the AT-SPI reader

        def a11y_bus():  # the session bus starts the launcher when first asked
            return run(["dbus-send", "--session", "--print-reply=literal", "--dest=org.a11y.Bus",
                        "/org/a11y/bus", "org.a11y.Bus.GetAddress"]).stdout.strip()
        os.environ["AT_SPI_BUS_ADDRESS"] = wait_for("the accessibility bus", a11y_bus, START)

    def _start_x(self):
        # -noreset: the server would otherwise reset, refusing connections, whenever its last
        # client leaves. Display numbers are drawn far from those other tools count up from (0,
        # 99), so that servers of other tests, some without lock files, do not take ours.
        for _ in range(8):
            number = random.randrange(1000, 30000)
            read_end, write_end = os.pipe()
            xvfb = self.spawn(["Xvfb", f":{number}", "-displayfd", str(write_end), "-nolisten", "tcp", "-noreset",
                               "-screen", "0", "1400x900x24"], pass_fds=(write_end,))
            os.close(write_end)
            # It writes its number and a line end (in two writes) when ready, and ends if the
            # number is taken.
            answer, deadline = b"", time.monotonic() + START
            while not answer.endswith(b"\n") and \
                    select.select([read_end], [], [], max(0, deadline - time.monotonic()))[0]:
                chunk = os.read(read_end, 64)
                if not chunk:
                    break
                answer += chunk
            os.close(read_end)
            if answer.strip() == str(number).encode():
                self.display = f":{number}"
                return
            self._stop(xvfb)
        raise Failure("no X server would start")

    def spawn(self, argv, quiet=True, **kwargs):
        out = subprocess.DEVNULL if quiet else None
        kwargs = {"stdout": out, "stderr": out, "env": getattr(self, "env", None), **kwargs}
        process = subprocess.Popen(argv, stdin=subprocess.DEVNULL, start_new_session=True, **kwargs)
        self.processes.append(process)
        return process

    def start(self, path, args=(), wrapper=(), cwd=None):
        """Starts the program (in the session's folder) and waits for its window to be readable."""
        process = self.spawn([*wrapper, path, *args], quiet=False, cwd=cwd or self.dir)
        program = Program(process, None if wrapper else process.pid)
        program.wait("the window on the accessibility bus", program.frame, START)
        return program

    @staticmethod
    def _stop(process):
        """Ends a process with what it started in its group (bus services, the traced program)."""
        try:
            os.killpg(process.pid, signal.SIGKILL)
        except OSError:
            pass
        process.wait(5)
        if process.stdout:
            process.stdout.close()

    def close(self):
        for process in reversed(self.processes):
            self._stop(process)
        shutil.rmtree(self.dir, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.close()


class Program:
    """A running copy of the program, played with real clicks and read through AT-SPI."""

    def __init__(self, process, pid):
        self.process = process
        self.pid = pid  # None under a wrapper: then the one program on the accessibility bus

    def read(self):
        """The program's top-level accessible objects, or None while it does not answer."""
        Atspi, GLib = atspi()
        try:
            desktop = Atspi.get_desktop(0)
            desktop.clear_cache()
            for i in range(desktop.get_child_count()):
                app = desktop.get_child_at_index(i)
                if app and self.pid in (None, app.get_process_id()):
                    app.clear_cache()
                    self.pid = app.get_process_id()
                    return [node(app.get_child_at_index(j)) for j in range(app.get_child_count())]
        except GLib.Error:
            pass
        return None

    def wait(self, what, probe, timeout=STEP):
        """Reads the window afresh until probe(top-levels) gives something true."""
        def attempt():
            check(self.process.poll() is None, f"the program ended ({self.process.returncode}) before {what}")
            tops = self.read()
            return tops is not None and probe(tops)
        return wait_for(what, attempt, timeout)

    @staticmethod
    def frame(tops):
        frames = [t for t in tops if t.role == "frame" and t.name.startswith("Lumbrena")]
        return frames[0] if len(frames) == 1 else None

    @staticmethod
    def client(frame):
        client = [c for c in frame.children if c.role != "menu bar" and c.showing]
        return client[0] if len(client) == 1 else None

    def x_windows(self, name):
        found = run(["xdotool", "search", "--all", "--onlyvisible", "--pid", str(self.pid), "--name", name])
        return found.stdout.split()

    def window(self):
        """The mapped main window as the X server has it: id, caption, (x, y, width, height)."""
        def mapped():
            found = self.x_windows("^Lumbrena")
            return len(found) == 1 and found[0]
        wid = wait_for("the main window to be mapped", mapped, START)
        geometry = run(["xdotool", "getwindowgeometry", "--shell", wid]).stdout.split()
        geometry = dict(line.split("=") for line in geometry)
        caption = run(["xdotool", "getwindowname", wid]).stdout.rstrip("\n")
        return wid, caption, tuple(int(geometry[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))

    def state(self, tops):
        """lblreg, lblpunti, lblerrori and whether the car button shows; None while a box is open."""
        frame = self.frame(tops)
        client = frame and self.client(frame)
        if not client or any(t.role in ("dialog", "alert") for t in tops):
            return None
        state = {}
        for n in walk(frame):
            at = (n.extents[0] - client.extents[0], n.extents[1] - client.extents[1])
            if n.role == "label" and n.showing:
                state.update({key: n.name for key, place in LABELS.items() if at == place})
            if n.role == "push button" and n.name.startswith("Cliccami"):
                state["car"] = n.showing
        return state if len(state) == 4 else None

    def wait_state(self, what, **expected):
        last = {}

        def probe(tops):
            state = self.state(tops)
            last.update(state or {})
            return state and all(state[k] == v for k, v in expected.items())
        try:
            self.wait(what, probe)
        except Failure as failure:
            raise Failure(f"{failure}: the window shows {last}, expected {expected}") from None

    def press(self, name):
        """Clicks the main window's push button whose name begins with `name`."""
        def find(tops):
            frame = self.frame(tops)
            found = frame and [n for n in walk(frame) if n.role == "push button" and n.showing
                               and n.name.startswith(name)]
            return found and found[0]
        click(*centre(self.wait(f"the {name} button", find).extents))

    def box(self, what, expected=None):
        """Waits for the one message box, checks its title (and text), clicks its OK button and
        returns its text."""
        def probe(tops):
            boxes = [t for t in tops if t.role in ("dialog", "alert")]
            check(len(boxes) <= 1, f"{len(boxes)} message boxes are open {what}")
            ok = boxes and [n for n in walk(boxes[0]) if n.role == "push button" and n.name == "OK" and n.showing]
            return ok and (boxes[0], ok[0])
        box, ok = self.wait(f"a message box {what}", probe)
        texts = [n.name for n in walk(box) if n.role == "label" and n.name]
        check(box.name == TITLE and len(texts) == 1 and texts[0] == (expected or texts[0]),
              f"{what} the box {box.name!r} shows {texts}, expected {expected or 'one text'}")
        # Its window must be mapped, or the click lands on the window beneath.
        wait_for(f"the box's window {what}", lambda: self.x_windows(f"^{TITLE}$"))
        click(*centre(ok.extents))
        return texts[0]

    def keys(self, *names):
        """Real key presses. The main window first gets the X server's input focus, as a window
        manager gives it to a new window and again when a box closes; which control takes the
        keys is the program's own choice."""
        wid = self.window()[0]
        check(run(["xdotool", "windowfocus", "--sync", wid, "key", "--delay", "50", *names]).returncode == 0,
              "xdotool could not type")

    def press_car(self, key=None):
        """Starts a turn, by a click on the car or by a key; returns the region asked for."""
        self.keys(key) if key else self.press("Cliccami")
        prompt = self.box("after the car button")
        asked = [n for n, row in REGIONS.items() if row[1] == prompt]
        check(asked, f"the prompt {prompt!r} asks for no region")
        self.wait_state("after the prompt", lblreg=REGIONS[asked[0]][0], car=False)
        return asked[0]

    def answer(self, region, expected):
        client = self.wait("the window", lambda tops: (frame := self.frame(tops)) and self.client(frame))
        click(client.extents[0] + POINT[region][0], client.extents[1] + POINT[region][1])
        self.box(f"after a click on region {region}", expected)

    def quit(self, key=None):
        """Esci (clicked, or by a key), the goodbye box, and the program ends with status 0."""
        self.keys(key) if key else self.press("Esci")
        self.box("after Esci", GOODBYE)
        wait_for("the program to end", lambda: self.process.poll() is not None)
        check(self.process.returncode == 0, f"the program ended with status {self.process.returncode}")

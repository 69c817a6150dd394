"""Runs the built program on a private X server and drives it like a pupil.

One Session owns a fresh Xvfb (on a display number of its own, so tests may run side by
side), a private D-Bus session bus with the accessibility bus on it,
and a temporary folder that serves as HOME and XDG_RUNTIME_DIR of the program. Clicks and
key presses are real input events (XTEST, through xdotool). What the window shows is read
through the toolkit's accessibility interface (AT-SPI): texts of labels, message boxes,
which controls are showing and where they are.

Every wait is bounded, and closing the session ends every process it started (by process
group) and removes the temporary folder.
"""

import importlib
import os
import random
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SCREEN_WIDTH = 1400
SCREEN_HEIGHT = 900
# Where the pointer rests between clicks: off every window, so no tooltip opens.
REST_POINT = (SCREEN_WIDTH - 5, SCREEN_HEIGHT - 5)

START_TIMEOUT = 20.0  # to the mapped window, on a loaded machine
STEP_TIMEOUT = 10.0  # for one reaction to a click or a key


class Failure(AssertionError):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def log(message):
    print(message, flush=True)


def wait_for(what, probe, timeout=STEP_TIMEOUT, interval=0.05):
    """Calls probe() until it returns something true, and returns that; fails after timeout."""
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure(f"waited {timeout:.0f} s in vain for {what}")
        time.sleep(interval)


def run_tool(argv, timeout=STEP_TIMEOUT, check_status=True):
    result = subprocess.run(argv, capture_output=True, text=True, timeout=timeout)
    if check_status and result.returncode != 0:
        raise Failure(f"{' '.join(argv)} failed ({result.returncode}): {result.stderr.strip()}")
    return result


def with_time_limit(body, seconds):
    """Runs body() and turns SIGALRM after `seconds`, and SIGTERM (the CTest timeout), into a
    Failure, so that every finally clause still ends the processes and removes the files."""

    def stop(signum, _frame):
        raise Failure(f"stopped by signal {signum}: the test took too long")

    signal.signal(signal.SIGALRM, stop)
    signal.signal(signal.SIGTERM, stop)
    signal.alarm(int(seconds))
    try:
        body()
    except Failure as failure:
        log(f"FAIL: {failure}")
        return 1
    finally:
        signal.alarm(0)
    log("PASS")
    return 0


class Node:
    """One accessible object of the program as read at one moment."""

    def __init__(self, role, name, description, extents, showing, children):
        self.role = role
        self.name = name
        self.description = description  # a control's tooltip
        self.extents = extents  # (x, y, width, height) on the screen
        self.showing = showing
        self.children = children

    def walk(self):
        yield self
        for child in self.children:
            yield from child.walk()

    def find(self, predicate):
        return [node for node in self.walk() if predicate(node)]

    def centre(self):
        x, y, w, h = self.extents
        return x + w // 2, y + h // 2

    def __repr__(self):
        return f"<{self.role} {self.name!r} {self.extents}{' showing' if self.showing else ''}>"


class Program:
    """A running copy of the program (possibly under a wrapper such as strace)."""

    def __init__(self, session, process, path, wrapped):
        self.session = session
        self.process = process
        self.path = path
        self.wrapped = wrapped
        self._pid = None if wrapped else process.pid

    @property
    def pid(self):
        """The program's own process id: under a wrapper, the child that runs the program
        (a wrapper may start other children first, strace does to probe the kernel)."""
        if self._pid is None:
            def child():
                try:
                    with open(f"/proc/{self.process.pid}/task/{self.process.pid}/children") as f:
                        pids = f.read().split()
                    for pid in pids:
                        if os.path.realpath(f"/proc/{pid}/exe") == os.path.realpath(self.path):
                            return int(pid)
                except OSError:
                    pass
                return None
            self._pid = wait_for("the wrapped program to start", child, START_TIMEOUT)
        return self._pid

    def running(self):
        return self.process.poll() is None

    def wait_exit(self, timeout=STEP_TIMEOUT):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure(f"the program did not end within {timeout:.0f} s") from None

    # X windows -------------------------------------------------------------------------

    def windows(self):
        """The program's viewable top-level windows, as dicts with id, name and geometry."""
        result = []
        listing = run_tool(["xdotool", "search", "--all", "--onlyvisible", "--pid", str(self.pid)],
                           check_status=False).stdout.split()
        for wid in listing:
            info = self.session.window_info(wid)
            if info and info["viewable"]:
                result.append(info)
        return result

    def check_alive(self, when):
        status = self.process.poll()
        check(status is None, f"the program ended with status {status} {when}")
        xvfb = self.session.xvfb.poll()
        check(xvfb is None, f"the X server ended with status {xvfb} {when}")

    def main_window(self):
        seen = []

        def find():
            self.check_alive("before its window was mapped")
            seen[:] = self.windows()
            found = [w for w in seen if w["name"].startswith("Lumbrena")]
            return found[0] if len(found) == 1 else None
        try:
            return wait_for("the main window to be mapped", find, START_TIMEOUT)
        except Failure as failure:
            raise Failure(f"{failure}; the program's windows on screen: {seen}") from None

    # Accessibility -----------------------------------------------------------------------

    def read(self):
        """The program's accessible tree: a list of top-level Nodes (windows), or None."""
        return self.session.accessible_tree(self.pid)

    def wait_read(self, what, probe, timeout=STEP_TIMEOUT):
        """Waits until probe(top_levels) gives something true, reading afresh each time."""
        def attempt():
            self.check_alive(f"while waiting for {what}")
            tops = self.read()
            return probe(tops) if tops is not None else None
        return wait_for(what, attempt, timeout)

    def frame(self, tops):
        frames = [t for t in tops if t.role == "frame" and t.name.startswith("Lumbrena")]
        return frames[0] if len(frames) == 1 else None

    def boxes(self, tops):
        """The open message boxes: (title, texts, buttons) of each top-level dialog."""
        result = []
        for top in tops:
            if top.role not in ("dialog", "alert"):
                continue
            texts = [n.name for n in top.walk() if n.role == "label" and n.name]
            buttons = [n for n in top.walk() if n.role == "push button"]
            result.append((top.name, texts, buttons))
        return result


# Each tool the harness runs, and the Debian package that brings it.
TOOLS = {
    "Xvfb": "xvfb", "xdotool": "xdotool", "xwininfo": "x11-utils", "dbus-daemon": "dbus",
    "dbus-send": "dbus", "/usr/libexec/at-spi-bus-launcher": "at-spi2-core",
}


def require_tools(extra=()):
    missing = [f"{tool} (Debian package {package})" for tool, package in (*TOOLS.items(), *extra)
               if not shutil.which(tool)]
    try:
        import gi
        gi.require_version("Atspi", "2.0")
        importlib.import_module("gi.repository.Atspi")
    except (ImportError, ValueError):
        missing.append("the AT-SPI reader for Python (Debian packages python3-gi, gir1.2-atspi-2.0)")
    check(not missing, "missing for the end-to-end tests: " + ", ".join(missing))


class Session:
    """An X server, a session bus with the accessibility bus, and a temporary folder."""

    def __init__(self):
        require_tools()
        self.processes = []
        self.dir = tempfile.mkdtemp(prefix="zefirana-e2e-")
        self.home = os.path.join(self.dir, "home")
        self.runtime = os.path.join(self.dir, "runtime")
        os.mkdir(self.home, 0o700)
        os.mkdir(self.runtime, 0o700)
        # The tools that read the window connect to the X server as the program does.
        os.environ["XAUTHORITY"] = os.path.join(self.dir, "no-xauthority")
        self.logs = []
        self._atspi = None
        try:
            self._start_x()
            self._start_buses()
        except BaseException:
            self.close()
            raise

    # Processes ---------------------------------------------------------------------------

    def _spawn(self, name, argv, env, **kwargs):
        log_path = os.path.join(self.dir, f"{name}-{len(self.processes)}.log")
        out = open(log_path, "wb")
        self.logs.append((name, log_path))
        kwargs.setdefault("stdout", out)
        process = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL, stderr=out,
                                   start_new_session=True, **kwargs)
        out.close()
        self.processes.append(process)
        return process

    def _start_x(self):
        # -noreset: by default the server resets when its last client leaves, and refuses
        # connections meanwhile; the helpers come and go before the program connects.
        # Display numbers are drawn at random from a range that the usual tools (which count up
        # from 0 or from 99) do not reach, so that servers started on this machine by other
        # tests, some without lock files, do not take ours. The server must then answer on it.
        chooser = random.Random()
        for attempt in range(8):
            number = chooser.randrange(1000, 30000)
            if os.path.exists(f"/tmp/.X{number}-lock") or os.path.exists(f"/tmp/.X11-unix/X{number}"):
                continue
            xvfb = self._start_xvfb(number)
            display = f":{number}"
            if xvfb is not None:
                os.environ["DISPLAY"] = display  # for xdotool and xwininfo
                root = run_tool(["xwininfo", "-root"], check_status=False)
                if xvfb.poll() is None and root.returncode == 0 and \
                        f"Width: {SCREEN_WIDTH}\n" in root.stdout and f"Height: {SCREEN_HEIGHT}\n" in root.stdout:
                    self.xvfb, self.display = xvfb, display
                    return
                self._stop(xvfb)
                self.processes.remove(xvfb)
                with open(self.logs[-1][1], errors="replace") as f:
                    said = f.read().strip()[-600:]
                log(f"the X server on {display} (status {xvfb.returncode}) did not answer: {root.stderr.strip()} {said}")
            log(f"no usable X server on {display} (attempt {attempt + 1})")
        raise Failure("no usable X server")

    def _start_xvfb(self, number):
        """Starts Xvfb on a display; returns it once it is ready, or None if it ended."""
        read_end, write_end = os.pipe()
        try:
            xvfb = self._spawn("xvfb", ["Xvfb", f":{number}", "-displayfd", str(write_end), "-nolisten", "tcp", "-noreset",
                                        "-screen", "0", f"{SCREEN_WIDTH}x{SCREEN_HEIGHT}x24"],
                               os.environ.copy(), pass_fds=(write_end,))
            os.close(write_end)
            write_end = None
            # The server writes its display number and a line end to the pipe when it is ready
            # (in two writes: keep the pipe open until both have come, or the server fails).
            answer = b""
            deadline = time.monotonic() + START_TIMEOUT
            while not answer.endswith(b"\n"):
                remaining = deadline - time.monotonic()
                ready, _, _ = select.select([read_end], [], [], max(remaining, 0))
                chunk = os.read(read_end, 64) if ready else b""
                if not chunk:
                    break
                answer += chunk
        finally:
            os.close(read_end)
            if write_end is not None:
                os.close(write_end)
        if answer.strip() == str(number).encode():
            return xvfb
        self._stop(xvfb)
        self.processes.remove(xvfb)
        return None

    def _start_buses(self):
        env = self.base_env()
        self.dbus = self._spawn("dbus", ["dbus-daemon", "--session", "--nofork", "--nopidfile",
                                         f"--address=unix:dir={self.dir}", "--print-address=1"],
                                env, stdout=subprocess.PIPE)
        ready, _, _ = select.select([self.dbus.stdout], [], [], START_TIMEOUT)
        check(ready, "the session bus did not start")
        self.bus_address = self.dbus.stdout.readline().decode().strip()
        check(self.bus_address.startswith("unix:"), f"odd session bus address {self.bus_address!r}")
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = self.bus_address  # for the AT-SPI reader
        env = self.base_env()
        self._spawn("atspi", ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"], env)

        def launcher_ready():
            # Asked before the launcher owns its name, the bus would start a second one.
            result = run_tool(["dbus-send", "--session", "--print-reply=literal", "--reply-timeout=1000",
                               "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                               "org.freedesktop.DBus.NameHasOwner", "string:org.a11y.Bus"], check_status=False)
            return result.returncode == 0 and "true" in result.stdout
        wait_for("the accessibility bus launcher", launcher_ready, START_TIMEOUT)

        def accessibility_bus():
            result = run_tool(["dbus-send", "--session", "--print-reply=literal", "--reply-timeout=1000",
                               "--dest=org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus.GetAddress"],
                              check_status=False)
            return result.stdout.strip() if result.returncode == 0 else None
        self.a11y_address = wait_for("the accessibility bus", accessibility_bus, START_TIMEOUT)
        os.environ["AT_SPI_BUS_ADDRESS"] = self.a11y_address

    def base_env(self):
        """The program's environment: nothing of the caller's desktop, only what is set here."""
        env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "HOME": self.home,
            "XDG_RUNTIME_DIR": self.runtime,
            "LANG": "C.UTF-8",
            "DISPLAY": getattr(self, "display", ""),
            "XAUTHORITY": os.path.join(self.dir, "no-xauthority"),
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
        }
        if getattr(self, "bus_address", None):
            env["DBUS_SESSION_BUS_ADDRESS"] = self.bus_address
        # A sanitizer build still gets its options.
        env.update({k: v for k, v in os.environ.items() if k.endswith("SAN_OPTIONS")})
        return env

    def start(self, program, args=(), wrapper=(), cwd=None):
        process = self._spawn("program", [*wrapper, program, *args], self.base_env(), cwd=cwd or self.dir)
        return Program(self, process, program, bool(wrapper))

    def _stop(self, process):
        """Ends a process this session started, with whatever it started in its group."""
        if process.poll() is None:
            try:
                os.killpg(process.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
            try:
                process.wait(3)
            except subprocess.TimeoutExpired:
                pass
        # Helpers it started (bus services) may outlive it in its group.
        try:
            os.killpg(process.pid, signal.SIGKILL)
        except (ProcessLookupError, PermissionError):
            pass
        try:
            process.wait(3)
        except subprocess.TimeoutExpired:
            log(f"process {process.pid} did not end")
        if process.stdout:
            process.stdout.close()

    def close(self):
        for process in reversed(self.processes):
            self._stop(process)
        self.processes = []
        shutil.rmtree(self.dir, ignore_errors=True)

    def dump_logs(self):
        for name, path in self.logs:
            try:
                with open(path, errors="replace") as f:
                    text = f.read().strip()
            except OSError:
                continue
            if text:
                log(f"--- {name} output ---\n{text[-4000:]}")

    def __enter__(self):
        return self

    def __exit__(self, kind, value, trace):
        try:
            if kind is not None:
                self.dump_logs()
        finally:
            self.close()
        return False

    # X -----------------------------------------------------------------------------------

    def window_info(self, wid):
        result = run_tool(["xwininfo", "-id", str(wid)], check_status=False)
        if result.returncode != 0:
            return None
        info = {"id": str(wid)}
        for line in result.stdout.splitlines():
            line = line.strip()
            if line.startswith("xwininfo: Window id:"):
                # xwininfo: Window id: 0x200000a "title"
                quoted = line.split('"', 1)
                info["name"] = quoted[1][:-1] if len(quoted) > 1 else ""
            elif line.startswith("Absolute upper-left X:"):
                info["x"] = int(line.split(":")[1])
            elif line.startswith("Absolute upper-left Y:"):
                info["y"] = int(line.split(":")[1])
            elif line.startswith("Width:"):
                info["width"] = int(line.split(":")[1])
            elif line.startswith("Height:"):
                info["height"] = int(line.split(":")[1])
            elif line.startswith("Map State:"):
                info["viewable"] = line.split(":")[1].strip() == "IsViewable"
        # xwininfo shows the name in the locale's charset; the title as set is UTF-8.
        name = run_tool(["xdotool", "getwindowname", str(wid)], check_status=False)
        if name.returncode == 0:
            info["name"] = name.stdout.rstrip("\n")
        return info if "viewable" in info else None

    def click(self, x, y):
        """A real left click at a screen point; the pointer then rests off every window."""
        run_tool(["xdotool", "mousemove", "--sync", str(x), str(y), "click", "1",
                  "mousemove", "--sync", str(REST_POINT[0]), str(REST_POINT[1])])

    def key(self, name):
        """A real key press and release, to the window that has the keyboard focus."""
        run_tool(["xdotool", "key", name])

    # Accessibility -----------------------------------------------------------------------

    def _atspi_module(self):
        if self._atspi is None:
            # The reader talks to the buses of this session, set in os.environ above.
            import gi
            gi.require_version("Atspi", "2.0")
            from gi.repository import Atspi
            Atspi.init()
            self._atspi = Atspi
        return self._atspi

    def accessible_tree(self, pid):
        Atspi = self._atspi_module()
        from gi.repository import GLib
        try:
            desktop = Atspi.get_desktop(0)
            desktop.clear_cache()
            for i in range(desktop.get_child_count()):
                app = desktop.get_child_at_index(i)
                if app is None or app.get_process_id() != pid:
                    continue
                app.clear_cache()
                return [self._node(Atspi, app.get_child_at_index(j)) for j in range(app.get_child_count())]
        except GLib.Error:
            return None  # the program does not answer at this moment
        return None

    def _node(self, Atspi, acc):
        role = acc.get_role_name()
        ext = acc.get_extents(Atspi.CoordType.SCREEN)
        showing = acc.get_state_set().contains(Atspi.StateType.SHOWING)
        children = [self._node(Atspi, acc.get_child_at_index(i)) for i in range(acc.get_child_count())]
        return Node(role, acc.get_name() or "", acc.get_description() or "", (ext.x, ext.y, ext.width, ext.height),
                    showing, children)


if __name__ == "__main__":
    sys.exit("harness.py is a library of the end-to-end tests")

#!/usr/bin/python3
"""The program writes nothing and talks to no network: a full turn and the exit, traced.

The program runs from a copy in a temporary folder, under strace, with a fresh HOME and
XDG_RUNTIME_DIR. Afterwards:

* no file may have been opened for writing (O_WRONLY, O_RDWR, O_CREAT, O_TRUNC, O_TMPFILE),
  created, renamed, removed, linked, truncated or had its mode changed, failed attempts
  included, except in the places the toolkit's own libraries keep run-time and cache files:
    - $XDG_RUNTIME_DIR/...   run-time files of the session (the sound library makes its
                             folder there to look for a sound server);
    - $HOME/.cache/fontconfig/ and $HOME/.cache/mesa_shader_cache*/   font and GL caches,
                             rebuilt by those libraries when the system's are out of date;
    - /dev/null, /dev/shm/, /dev/dri/, /dev/snd/   devices and shared memory, not files;
* the only connections are to Unix sockets: the X display's, the session bus and the
  accessibility bus (the toolkit's accessibility bridge, which this test reads the window
  through), and the sound server's ($XDG_RUNTIME_DIR/pulse/native or the system one), which
  the toolkit looks for and, on a machine without sound, does not find. No socket of an
  internet family is even created, nothing binds or listens;
* the program starts no other program;
* the program's folder is as it was, and its working folder and HOME hold no new file
  outside the caches above.
"""

import os
import re
import shutil
import sys

from full_turn import play_one_turn
from harness import Failure, Session, check, log, require_tools, with_time_limit
from play import Pupil

TRACED = ("open,openat,openat2,creat,rename,renameat,renameat2,unlink,unlinkat,mkdir,mkdirat,rmdir,"
          "link,linkat,symlink,symlinkat,truncate,chmod,fchmodat,mknod,mknodat,"
          "socket,connect,bind,listen,execve,execveat")
WRITE_FLAGS = re.compile(r"\bO_(WRONLY|RDWR|CREAT|TRUNC|TMPFILE)\b")
LINE = re.compile(r"^(\d+)\s+(\w+)\((.*)\)\s+=\s+(.*)$")
QUOTED = re.compile(r'"((?:[^"\\]|\\.)*)"')
DIRFD = re.compile(r"^\s*(AT_FDCWD(?:<[^>]*>)?|\d+<([^>]*)>)\s*,")


def records(path):
    """(pid, syscall, arguments, result) of every traced call; joins calls that strace split
    where threads interleaved ("<unfinished ...>" and "<... name resumed>")."""
    pending = {}
    with open(path, errors="replace") as f:
        for raw in f:
            raw = raw.rstrip("\n")
            if raw.endswith("<unfinished ...>"):
                pid, rest = raw.split(None, 1)
                pending[pid] = rest[: -len("<unfinished ...>")].rstrip()
                continue
            resumed = re.match(r"^(\d+)\s+<\.\.\. \w+ resumed>(.*)$", raw)
            if resumed:
                raw = f"{resumed.group(1)} {pending.pop(resumed.group(1), '')}{resumed.group(2)}"
            match = LINE.match(raw)
            if match:
                yield match.groups()


def unescape(text):
    return text.encode("latin-1", "backslashreplace").decode("unicode_escape").encode("latin-1").decode(
        "utf-8", "replace")


def paths_of(args, cwd):
    """The path arguments of a call, made absolute (relative to the dirfd or the folder)."""
    result = []
    remaining = args
    while True:
        dirfd = DIRFD.match(remaining)
        base = cwd
        if dirfd:
            if dirfd.group(2):
                base = dirfd.group(2)
            remaining = remaining[dirfd.end():]
        quoted = QUOTED.search(remaining)
        if not quoted:
            return result
        path = unescape(quoted.group(1))
        result.append(os.path.normpath(os.path.join(base, path)))
        remaining = remaining[quoted.end():].lstrip(", ")


def snapshot(folder):
    """Every file below a folder with its size and modification time."""
    found = {}
    for root, dirs, files in os.walk(folder):
        for name in dirs + files:
            full = os.path.join(root, name)
            st = os.lstat(full)
            found[os.path.relpath(full, folder)] = (st.st_size, st.st_mtime_ns, st.st_mode)
    return found


def test(program_path):
    require_tools([("strace", "strace")])
    with Session() as session:
        program_dir = os.path.join(session.dir, "program")
        os.mkdir(program_dir)
        copy = os.path.join(program_dir, os.path.basename(program_path))
        shutil.copy2(program_path, copy)
        shutil.copytree(os.path.join(os.path.dirname(program_path), "regione"), os.path.join(program_dir, "regione"))
        workdir = os.path.join(session.dir, "work")
        os.mkdir(workdir)
        trace = os.path.join(session.dir, "trace.log")
        program_before = snapshot(program_dir)

        program = session.start(copy, wrapper=["strace", "-f", "--seccomp-bpf", "-qq", "-y", "-s", "4096", "-o", trace,
                                               "-e", f"trace={TRACED}", "-e", "signal=none", "--"],
                                cwd=workdir)
        pupil = Pupil(session, program)
        play_one_turn(pupil)
        pupil.quit("key")

        home, runtime = session.home, session.runtime
        allowed_dirs = [runtime, os.path.join(home, ".cache", "fontconfig"), "/dev/shm", "/dev/dri", "/dev/snd"]
        allowed_prefixes = [os.path.join(home, ".cache", "mesa_shader_cache")]
        x_number = session.display.lstrip(":").split(".")[0]
        allowed_sockets = {
            f"@/tmp/.X11-unix/X{x_number}", f"/tmp/.X11-unix/X{x_number}",
            bus_path(session.bus_address), bus_path(session.a11y_address),
            os.path.join(runtime, "pulse", "native"), "/var/run/pulse/native", "/run/pulse/native",
        }

        def allowed_write(path):
            return path == "/dev/null" or any(path == d or path.startswith(d + "/") for d in allowed_dirs) \
                or any(path.startswith(p) for p in allowed_prefixes)

        faults, tolerated, calls = [], set(), 0
        for pid, call, args, result in records(trace):
            calls += 1
            line = f"{call}({args}) = {result}"
            if call in ("open", "openat", "openat2"):
                if not WRITE_FLAGS.search(args):
                    continue
                paths = paths_of(args, workdir)[:1]
            elif call in ("socket",):
                if not re.match(r"\s*(AF_UNIX|AF_LOCAL|AF_NETLINK)\b", args):
                    faults.append(f"a socket of a network family: {line}")
                continue
            elif call == "connect":
                target = re.search(r'sun_path=(@?)"((?:[^"\\]|\\.)*)"', args)
                if not target or (target.group(1) + unescape(target.group(2))) not in allowed_sockets:
                    faults.append(f"a connection elsewhere: {line}")
                continue
            elif call in ("bind", "listen"):
                faults.append(f"a server socket: {line}")
                continue
            elif call in ("execve", "execveat"):
                if paths_of(args, workdir)[:1] != [copy]:
                    faults.append(f"another program started: {line}")
                continue
            else:
                paths = paths_of(args, workdir)
            for path in paths:
                if allowed_write(path):
                    tolerated.add(f"{call} {path}")
                else:
                    faults.append(f"a write outside the toolkit's places: {line}")
        check(calls > 100, f"the trace holds only {calls} calls: strace did not follow the program")
        for item in sorted(tolerated):
            log(f"tolerated: {item}")

        if snapshot(program_dir) != program_before:
            faults.append("the program's folder changed")
        if os.listdir(workdir):
            faults.append(f"the working folder holds {os.listdir(workdir)}")
        for name in snapshot(home):
            if not (allowed_write(os.path.join(home, name)) or name == ".cache"):
                faults.append(f"HOME holds a new {name}")
        if faults:
            raise Failure("\n  ".join(["the program wrote or connected where it must not:", *faults[:40]]))
        log(f"{calls} traced calls, none writing or connecting outside the allowed places")


def bus_path(address):
    match = re.search(r"unix:path=([^,;]+)", address)
    if not match:
        raise Failure(f"a bus address without a path: {address}")
    return match.group(1)


if __name__ == "__main__":
    sys.exit(with_time_limit(lambda: test(sys.argv[1]), 150))

#!/usr/bin/python3
"""Broken sound files beside the program: the game goes on, silent, and ends normally.

  bad_cues.py PROGRAM KIND

The program and its `regione` folder are copied into a temporary folder, and every cue
there (the twenty region names and the praise) is replaced by one kind of broken file, or
the folder itself is missing or is a plain file. Then several turns are played with real
clicks, each asking for a region (its cue is attempted) and answered rightly (the praise cue
is attempted), and the game must go on with only the expected message boxes on screen and
end through Esci with status 0. A cue that blocked the program (a FIFO opened for reading,
an endless device) shows as a box that never opens, within the harness's time limits.
"""

import os
import random
import shutil
import stat
import struct
import sys

from harness import Session, check, log, with_time_limit
from play import REGIONS, Pupil, labels_of

CUES = ["emilia", "toscana", "lombardia", "trentino", "veneto", "friuli", "piemonte", "liguria", "umbria",
        "marche", "lazio", "abruzzo", "molise", "campania", "puglia", "basilicata", "calabria", "sicilia",
        "sardegna", "valle", "esatto"]
TURNS = 3


def wav_header(data_bytes, channels=1, rate=16000, bits=16, fmt=1, riff_bytes=None):
    block = channels * bits // 8
    fmt_chunk = struct.pack("<4sIHHIIHH", b"fmt ", 16, fmt, channels, rate, rate * block, block, bits)
    if riff_bytes is None:
        riff_bytes = 4 + len(fmt_chunk) + 8 + data_bytes
    return struct.pack("<4sI4s", b"RIFF", riff_bytes & 0xFFFFFFFF, b"WAVE") + fmt_chunk + \
        struct.pack("<4sI", b"data", data_bytes & 0xFFFFFFFF)


def make_empty(path, good):
    open(path, "wb").close()


def make_cut_header(path, good):
    with open(path, "wb") as f:
        f.write(good[:30])


def make_cut_data(path, good):
    # The data chunk declares the whole cue, the file holds half of it.
    with open(path, "wb") as f:
        f.write(good[: len(good) // 2])


def make_garbage(path, good):
    noise = random.Random(path).randbytes(4000)
    with open(path, "wb") as f:
        f.write(noise)


def make_lying_header(path, good):
    # A RIFF/WAVE header with no channels, no rate and a data chunk far past the end.
    with open(path, "wb") as f:
        f.write(wav_header(0xFFFFFFF0, channels=0, rate=0, bits=16, riff_bytes=0xFFFFFFFF) + b"\0" * 64)


def make_huge(path, good):
    # A sparse file of 64 MiB that looks like a WAV: far longer than any cue.
    size = 64 * 1024 * 1024
    with open(path, "wb") as f:
        f.write(wav_header(size - 44))
        f.truncate(size)


def make_folder(path, good):
    os.mkdir(path)
    with open(os.path.join(path, "inside.wav"), "wb") as f:
        f.write(good)


def make_unreadable(path, good):
    # A good cue nobody may read. Run as root (as CI does) the program can read it all the
    # same, and then it is simply a good cue.
    with open(path, "wb") as f:
        f.write(good)
    os.chmod(path, 0)


def make_fifo(path, good):
    os.mkfifo(path)


def make_endless(path, good):
    os.symlink("/dev/zero", path)


def make_dangling(path, good):
    os.symlink(path + ".nowhere", path)


KINDS = {
    "empty": make_empty,
    "cut-header": make_cut_header,
    "cut-data": make_cut_data,
    "garbage": make_garbage,
    "lying-header": make_lying_header,
    "huge": make_huge,
    "folder": make_folder,
    "unreadable": make_unreadable,
    "fifo": make_fifo,
    "endless": make_endless,
    "dangling": make_dangling,
}
FOLDER_CASES = ("missing-folder", "folder-is-file")


def prepare(session, program_path, kind):
    """A copy of the program beside a broken `regione`; returns the copy's path."""
    folder = os.path.join(session.dir, "program")
    os.mkdir(folder)
    copy = os.path.join(folder, os.path.basename(program_path))
    shutil.copy2(program_path, copy)
    cues = os.path.join(folder, "regione")
    if kind == "missing-folder":
        return copy
    if kind == "folder-is-file":
        with open(cues, "wb") as f:
            f.write(b"not a folder\n")
        return copy
    os.mkdir(cues)
    source = os.path.join(os.path.dirname(program_path), "regione")
    for cue in CUES:
        with open(os.path.join(source, cue + ".wav"), "rb") as f:
            good = f.read()
        KINDS[kind](os.path.join(cues, cue + ".wav"), good)
    if kind == "unreadable" and os.geteuid() == 0:
        log("note: run as root, the unreadable cues can be read all the same")
    return copy


def test(program_path, kind):
    with Session() as session:
        try:
            copy = prepare(session, program_path, kind)
            program = session.start(copy)
            pupil = Pupil(session, program)
            asked_regions = []
            for turn in range(TURNS):
                asked = pupil.press_car()  # the region's cue is attempted with the prompt
                asked_regions.append(REGIONS[asked][0])
                pupil.wait_state(f"turn {turn + 1} after its prompt", lblreg=REGIONS[asked][0], car=False)
                labels = labels_of(asked)
                pupil.answer_rightly(asked, labels[turn % len(labels)])  # then the praise cue
                # The car button comes back only after the praise cue was started.
                pupil.wait_state(f"turn {turn + 1} after the praise", lblreg="", car=True,
                                 lblpunti=str(turn + 1), lblerrori="0")
                pupil.check_windows(1, f"turn {turn + 1} over")
            check(program.running(), "the program ended during the game")
            pupil.quit("key")
            log(f"{kind}: {TURNS} turns played ({', '.join(asked_regions)}), ended normally")
        finally:
            # A folder left unreadable would stop the clean-up of an unprivileged user.
            for root, dirs, files in os.walk(session.dir):
                for name in files:
                    full = os.path.join(root, name)
                    if not os.path.islink(full) and stat.S_IMODE(os.lstat(full).st_mode) == 0:
                        os.chmod(full, 0o600)


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[2] not in (*KINDS, *FOLDER_CASES):
        sys.exit(__doc__ + "\nkinds: " + " ".join((*KINDS, *FOLDER_CASES)))
    sys.exit(with_time_limit(lambda: test(sys.argv[1], sys.argv[2]), 100))

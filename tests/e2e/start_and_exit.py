#!/usr/bin/python3
"""Start-up and exit of the real program on an X server with no window manager.

  start_and_exit.py PROGRAM plain        no arguments; the goodbye box answered by a click
  start_and_exit.py PROGRAM arguments    toolkit-looking arguments are ignored; answered by Enter
  start_and_exit.py PROGRAM two-copies   two copies side by side are two independent games
"""

import sys

from harness import Session, check, log, run_tool, with_time_limit
from play import CLIENT_HEIGHT, CLIENT_WIDTH, ESCI, REGIONS, Pupil

IGNORED_ARGUMENTS = ["-platform", "bogus", "--foo", "-style", "x"]


def check_start(session, program):
    """The window is mapped with its caption and size, and shows a fresh game."""
    pupil = Pupil(session, program)
    window = pupil.window
    check(window["name"].startswith("Lumbrena...."), f"the caption is {window['name']!r}")
    check(window["width"] == CLIENT_WIDTH, f"the window is {window['width']} pixels wide")

    tops = program.read()
    frame = program.frame(tops)
    check(frame.name == window["name"], f"the window's accessible name is {frame.name!r}")
    check(frame.extents == (window["x"], window["y"], window["width"], window["height"]),
          f"the toolkit places the window at {frame.extents}, the X server at {window}")
    bars = frame.find(lambda n: n.role == "menu bar")
    check(len(bars) == 1, "the window has no menu bar")
    bar = bars[0]
    check(bar.extents[3] > 0 and bar.extents[1] == window["y"],
          f"the menu bar is at {bar.extents}, not along the top of the window")
    check(window["height"] == CLIENT_HEIGHT + bar.extents[3],
          f"the window is {window['height']} pixels high with a menu bar of {bar.extents[3]}")
    entries = [n.name for n in bar.children if n.role == "menu item"]
    check(entries[:1] == ["Istruzioni"] and entries[1:2] == ["Scuola"], f"the menu bar holds {entries}")
    client = [n for n in frame.children if n.role != "menu bar" and n.showing]
    check(len(client) == 1 and client[0].extents == (window["x"], window["y"] + bar.extents[3],
                                                     CLIENT_WIDTH, CLIENT_HEIGHT),
          f"the client area is {[c.extents for c in client]}, expected {CLIENT_WIDTH}x{CLIENT_HEIGHT} "
          f"below the menu bar")

    esci = frame.find(lambda n: n.role == "push button" and n.name == "Esci")
    check(len(esci) == 1 and pupil.to_client(esci[0].extents) == ESCI and esci[0].showing,
          f"the Esci button is at {[pupil.to_client(e.extents) for e in esci]}, expected {ESCI}")
    check(esci[0].description == "Per uscire dal gioco cliccami", f"Esci's tooltip is {esci[0].description!r}")

    state = pupil.state()
    check(state == {"lblreg": "", "lblpunti": "0", "lblerrori": "0", "car": True},
          f"right after start the window shows {state}")
    check(len(program.windows()) == 1, "more than one window is open at start")
    log(f"started: {window['width']}x{window['height']} with a menu bar of {bar.extents[3]} pixels")
    return pupil


def plain(program_path):
    with Session() as session:
        pupil = check_start(session, session.start(program_path))
        pupil.quit("click")


def arguments(program_path):
    with Session() as session:
        pupil = check_start(session, session.start(program_path, IGNORED_ARGUMENTS))
        pupil.quit("key")


def two_copies(program_path):
    with Session() as session:
        first = session.start(program_path)
        one = check_start(session, first)
        second = session.start(program_path)
        two = check_start(session, second)
        check(first.pid != second.pid, "both copies are one process")
        check(one.window["id"] != two.window["id"], "both copies show one window")

        # Without a window manager both windows open at the same place: set the second aside,
        # as a pupil would drag it.
        run_tool(["xdotool", "windowmove", "--sync", two.window["id"], str(CLIENT_WIDTH + 100), "0"])
        two.refresh_window()
        check(two.window["x"] == CLIENT_WIDTH + 100, f"the second window stayed at {two.window}")
        second.wait_read("the second copy to see its window moved",
                         lambda tops: second.frame(tops) and second.frame(tops).extents[0] == CLIENT_WIDTH + 100)

        # A turn started in the second copy asks nothing of the first.
        asked = two.press_car()
        two.wait_state("the second copy after its prompt", lblreg=REGIONS[asked][0], car=False)
        state = one.state()
        check(state == {"lblreg": "", "lblpunti": "0", "lblerrori": "0", "car": True},
              f"the first copy changed with the second: {state}")

        # Ending the first leaves the second running with its turn still open.
        one.quit("key")
        check(second.running(), "the second copy ended with the first")
        check(len(second.windows()) == 1, "the second copy's window went with the first")
        two.wait_state("the second copy after the first ended", lblreg=REGIONS[asked][0], car=False)
        two.quit("click")


CASES = {"plain": plain, "arguments": arguments, "two-copies": two_copies}

if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[2] not in CASES:
        sys.exit(__doc__)
    sys.exit(with_time_limit(lambda: CASES[sys.argv[2]](sys.argv[1]), 100))

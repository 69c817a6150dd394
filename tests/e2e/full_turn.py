#!/usr/bin/python3
"""One full turn with real clicks: the car button, one wrong and one right answer, and both
counters on the window; then Esci ends the program with status 0."""

import sys

from harness import Session, check, log, with_time_limit
from play import HOTSPOTS, REGIONS, Pupil, labels_of


def play_one_turn(pupil):
    """Plays one turn with a wrong answer first; the window must show Esatte 1, Errate 1."""
    start = pupil.state()
    check(start == {"lblreg": "", "lblpunti": "0", "lblerrori": "0", "car": True},
          f"before the first turn the window shows {start}")

    asked = pupil.press_car()
    pupil.wait_state("after the prompt", lblreg=REGIONS[asked][0], car=False, lblpunti="0", lblerrori="0")

    # A hotspot of the region after the one asked for is a wrong answer.
    wrong_region = asked % len(REGIONS) + 1
    wrong = labels_of(wrong_region)[-1]
    pupil.answer_wrongly(asked, wrong)
    pupil.wait_state("after a wrong answer", lblreg=REGIONS[asked][0], car=False, lblpunti="0", lblerrori="1")

    right = labels_of(asked)[0]
    pupil.answer_rightly(asked, right)
    pupil.wait_state("after the right answer", lblreg="", car=True, lblpunti="1", lblerrori="1")
    log(f"turn played: wrong Label{wrong} ({REGIONS[HOTSPOTS[wrong][0]][0]}), right Label{right}")


def test(program_path):
    with Session() as session:
        program = session.start(program_path)
        pupil = Pupil(session, program)
        play_one_turn(pupil)
        pupil.quit("key")


if __name__ == "__main__":
    sys.exit(with_time_limit(lambda: test(sys.argv[1]), 100))

"""A pupil at the window: where the controls are, what the game says, and how a turn goes.

The tables here are the window's design as a pupil meets it (the regions, their phrases and
where each hotspot lies on the map, in twips as designed), written out again on purpose:
the end-to-end tests check the built program against them, not against its own tables.
"""

from harness import Failure, check, log, wait_for, run_tool

CLIENT_WIDTH = 562
CLIENT_HEIGHT = 554
TWIPS = 15  # per pixel

# The map box lies at (360, -120) twips in the client area: map pixel (x, y) is at client
# point (24 + x, -8 + y).
MAP_ORIGIN = (360 // TWIPS, -120 // TWIPS)

# Controls, as (left, top, width, height) in client pixels.
ESCI = (3480 // TWIPS, 7440 // TWIPS, 1575 // TWIPS, 855 // TWIPS)
CAR = (MAP_ORIGIN[0] + 5520 // TWIPS, MAP_ORIGIN[1] + 360 // TWIPS, 1335 // TWIPS, 1455 // TWIPS)
LBLREG_AT = (MAP_ORIGIN[0] + 2400 // TWIPS, MAP_ORIGIN[1] + 120 // TWIPS)
LBLPUNTI_AT = (1440 // TWIPS, 7560 // TWIPS)
LBLERRORI_AT = (7440 // TWIPS, 7560 // TWIPS)

TITLE = "Zefirana"
GOODBYE = "Ciao ti aspetto per giocare ancora insieme!"
PRAISE = "Esatto"

# Region number: (name in lblreg, prompt, reveal phrase)
REGIONS = {
    1: ("Emilia Romagna", "Clicca sull'Emilia Romagna", "Questa \u00e8 l'Emilia Romagna"),
    2: ("Toscana", "Clicca sulla Toscana", "Questa \u00e8 la Toscana"),
    3: ("Lombardia", "Clicca sulla Lombardia", "Questa \u00e8 la Lombardia"),
    4: ("Trentino Alto Adige", "Clicca sul Trentino Alto Adige", "Questo \u00e8 il Trentino Alto Adige"),
    5: ("Veneto", "Clicca sul Veneto", "Questo \u00e8 il Veneto"),
    6: ("Friuli Venezia Giulia", "Clicca sul Friuli Venezia Giulia", "Questo \u00e8 il Friuli Venezia Giulia"),
    7: ("Piemonte", "Clicca sul Piemonte", "Questo \u00e8 il Piemonte"),
    8: ("Liguria", "Clicca sulla Liguria", "Questa \u00e8 la Liguria"),
    9: ("Umbria", "Clicca sull'Umbria", "Questa \u00e8 l'Umbria"),
    10: ("Marche", "Clicca sulle Marche", "Queste sono le Marche"),
    11: ("Lazio", "Clicca sul Lazio", "Questo \u00e8 il Lazio"),
    12: ("Abruzzo", "Clicca sull'Abruzzo", "Questo \u00e8 l'Abruzzo"),
    13: ("Molise", "Clicca sul Molise", "Questo \u00e8 il Molise"),
    14: ("Campania", "Clicca sulla Campania", "Questa \u00e8 la Campania"),
    15: ("Puglia", "Clicca sulla Puglia", "Questa \u00e8 la Puglia"),
    16: ("Basilicata", "Clicca sulla Basilicata", "Questa \u00e8 la Basilicata"),
    17: ("Calabria", "Clicca sulla Calabria", "Questa \u00e8 la Calabria"),
    18: ("Sicilia", "Clicca sulla Sicilia", "Questa \u00e8 la Sicilia"),
    19: ("Sardegna", "Clicca sulla Sardegna", "Questa \u00e8 la Sardegna"),
    20: ("Valle d'Aosta", "Clicca sulla Valle d'Aosta", "Questa \u00e8 la Valle d'Aosta"),
}
REGION_OF_PROMPT = {prompt: number for number, (_, prompt, _) in REGIONS.items()}

# Hotspot label: (region, left, top, width, height in twips inside the map box)
HOTSPOTS = {
    1: (1, 2520, 2040, 735, 375), 2: (1, 3240, 2160, 495, 375),
    3: (2, 2640, 2760, 855, 735), 4: (2, 2880, 2640, 495, 615),
    5: (3, 2160, 1320, 735, 615), 6: (3, 2280, 1080, 615, 495),
    7: (4, 3000, 840, 255, 615), 8: (4, 3240, 720, 255, 615),
    9: (5, 3600, 1200, 255, 495), 10: (5, 3240, 1440, 495, 495),
    11: (6, 3960, 960, 135, 375), 12: (6, 4080, 960, 255, 495),
    13: (7, 1680, 1200, 255, 1095), 14: (7, 1200, 1800, 495, 615),
    15: (8, 1440, 2520, 375, 375), 16: (8, 1800, 2400, 735, 255), 17: (8, 1920, 2280, 495, 135),
    18: (9, 3720, 3000, 255, 495), 19: (9, 3840, 3360, 255, 255),
    20: (10, 4080, 2760, 255, 495), 21: (10, 4200, 3000, 375, 375),
    22: (11, 3480, 3720, 615, 375), 23: (11, 3960, 3960, 375, 495),
    24: (12, 4320, 3480, 375, 255), 25: (12, 4320, 3720, 615, 255),
    26: (13, 4680, 4080, 495, 255), 27: (13, 5040, 3840, 255, 255),
    28: (14, 4800, 4440, 495, 495), 29: (14, 5160, 4680, 255, 495),
    30: (15, 5280, 4080, 375, 375), 31: (15, 5760, 4320, 495, 375), 32: (15, 6240, 4680, 735, 375),
    33: (16, 5640, 4680, 135, 375), 34: (16, 5760, 4800, 375, 255),
    35: (17, 5760, 5280, 255, 615), 36: (17, 5760, 6000, 375, 495), 37: (17, 6000, 5520, 375, 375),
    38: (18, 4080, 6480, 1335, 375), 39: (18, 4560, 6840, 975, 495),
    40: (19, 1320, 4560, 615, 1335),
    41: (20, 1080, 1200, 615, 375),
}


def covered_pixels(label):
    """The map pixels a hotspot covers, both ends included: ((x0, x1), (y0, y1))."""
    _, left, top, width, height = HOTSPOTS[label]
    return (left // TWIPS, (left + width) // TWIPS - 1), (top // TWIPS, (top + height) // TWIPS - 1)


def hotspot_centre(label):
    """The map pixel at the middle of a hotspot; no hotspot of another region reaches it."""
    (x0, x1), (y0, y1) = covered_pixels(label)
    point = ((x0 + x1) // 2, (y0 + y1) // 2)
    for other, (region, *_rest) in HOTSPOTS.items():
        (ox0, ox1), (oy0, oy1) = covered_pixels(other)
        if region != HOTSPOTS[label][0] and ox0 <= point[0] <= ox1 and oy0 <= point[1] <= oy1:
            raise Failure(f"the centre of Label{label} lies in Label{other} of another region")
    return point


def labels_of(region):
    return [label for label, row in HOTSPOTS.items() if row[0] == region]


class Pupil:
    """Plays one running copy of the program with real clicks and key presses."""

    def __init__(self, session, program):
        self.session = session
        self.program = program
        self.window = program.main_window()
        self.menu_height = self.window["height"] - CLIENT_HEIGHT
        self.program.wait_read("the window through the accessibility bus", self.program.frame)

    # Where things are --------------------------------------------------------------------

    def refresh_window(self):
        self.window = self.program.main_window()

    def client_point(self, x, y):
        return self.window["x"] + x, self.window["y"] + self.menu_height + y

    def client_centre(self, rect):
        left, top, width, height = rect
        return self.client_point(left + width // 2, top + height // 2)

    def map_point(self, x, y):
        return self.client_point(MAP_ORIGIN[0] + x, MAP_ORIGIN[1] + y)

    def to_client(self, extents):
        x, y, w, h = extents
        return x - self.window["x"], y - self.window["y"] - self.menu_height, w, h

    # What the window shows ---------------------------------------------------------------

    def read_state(self, tops):
        """lblreg, lblpunti, lblerrori and whether the car button shows, read off the window;
        the labels are told apart by where the design puts them."""
        frame = self.program.frame(tops)
        if frame is None:
            return None
        state = {}
        for node in frame.walk():
            at = self.to_client(node.extents)[:2]
            if node.role == "label" and node.showing:
                for key, place in (("lblreg", LBLREG_AT), ("lblpunti", LBLPUNTI_AT), ("lblerrori", LBLERRORI_AT)):
                    if at == place:
                        state[key] = node.name
            if node.role == "push button" and node.name.startswith("Cliccami"):
                state["car"] = node.showing and at == CAR[:2]
        if len(state) != 4:
            return None
        return state

    def state(self):
        return self.program.wait_read("the labels of the window", self.read_state)

    def wait_state(self, what, **expected):
        """Waits until the window shows the expected values (the counters follow the timer)."""
        last = {}

        def probe(tops):
            state = self.read_state(tops)
            if state is None:
                return None
            last.update(state)
            return state if all(state[k] == v for k, v in expected.items()) else None
        try:
            return self.program.wait_read(what, probe)
        except Failure:
            raise Failure(f"{what}: the window shows {last}, expected {expected}") from None

    # Windows and message boxes -----------------------------------------------------------

    def check_windows(self, count, when):
        windows = self.program.windows()
        check(len(windows) == count,
              f"{when}: {len(windows)} windows of the program are on screen, expected {count}: "
              f"{[w['name'] for w in windows]}")
        return windows

    def expect_box(self, when):
        """Waits for one message box; returns (title, text, ok button node). Checks that the
        box is the only window besides the main one."""
        def probe(tops):
            boxes = self.program.boxes(tops)
            return boxes if boxes else None
        boxes = self.program.wait_read(f"a message box {when}", probe)
        check(len(boxes) == 1, f"{when}: {len(boxes)} message boxes are open")
        title, texts, buttons = boxes[0]
        check(len(texts) == 1, f"{when}: the box shows {texts}, expected one text")
        check(len(buttons) == 1 and buttons[0].name == "OK",
              f"{when}: the box has the buttons {[b.name for b in buttons]}, expected only OK")
        windows = wait_for(f"the box's window {when}", lambda: self._two_windows())
        box_window = [w for w in windows if w["id"] != self.window["id"]][0]
        check(box_window["name"] == title, f"{when}: the box's window is titled {box_window['name']!r}, "
                                           f"its accessible name is {title!r}")
        return title, texts[0], buttons[0], box_window

    def _two_windows(self):
        windows = self.program.windows()
        return windows if len(windows) == 2 else None

    def close_box(self, box, how="key", when=""):
        self._dismiss(box, how, when)
        self.program.wait_read(f"the box to close {when}", lambda tops: not self.program.boxes(tops))
        wait_for(f"the box's window to go {when}", lambda: len(self.program.windows()) == 1)

    def _dismiss(self, box, how, when):
        _, _, ok, box_window = box
        if how == "key":
            # The box takes the keyboard focus when it opens (no window manager here).
            wait_for(f"the box {when} to take the keyboard focus",
                     lambda: run_tool(["xdotool", "getwindowfocus"], check_status=False).stdout.strip()
                     == box_window["id"])
            self.session.key("Return")
        else:
            self.session.click(*ok.centre())

    # The pupil's actions -----------------------------------------------------------------

    def press_car(self):
        """Presses the car button; reads and closes the prompt; returns the region asked for."""
        self.session.click(*self.client_centre(CAR))
        box = self.expect_box("after pressing the car button")
        title, text, _, _ = box
        check(title == TITLE, f"the prompt box is titled {title!r}")
        check(text in REGION_OF_PROMPT, f"the prompt {text!r} asks for no region")
        self.close_box(box, "key", "of the prompt")
        region = REGION_OF_PROMPT[text]
        log(f"asked: {text}")
        return region

    def click_hotspot(self, label):
        self.session.click(*self.map_point(*hotspot_centre(label)))
        return self.expect_box(f"after clicking Label{label}")

    def answer_wrongly(self, asked, label):
        region = HOTSPOTS[label][0]
        check(region != asked, "the wrong answer is the right region")
        box = self.click_hotspot(label)
        check(box[:2] == (TITLE, REGIONS[region][2]),
              f"a click on Label{label} shows {box[:2]}, expected {(TITLE, REGIONS[region][2])}")
        self.close_box(box, "key", "of the reveal phrase")

    def answer_rightly(self, asked, label):
        check(HOTSPOTS[label][0] == asked, "the right answer is another region")
        box = self.click_hotspot(label)
        check(box[:2] == (TITLE, PRAISE), f"a click on Label{label} shows {box[:2]}, expected {(TITLE, PRAISE)}")
        self.close_box(box, "key", "of the praise")

    def quit(self, how="key"):
        """Presses Esci, closes the goodbye box, and checks the program ends with status 0."""
        self.session.click(*self.client_centre(ESCI))
        box = self.expect_box("after pressing Esci")
        check(box[:2] == (TITLE, GOODBYE), f"Esci shows {box[:2]}, expected {(TITLE, GOODBYE)}")
        self._dismiss(box, how, "of the goodbye")
        status = self.program.wait_exit()
        check(status == 0, f"the program ended with status {status}")

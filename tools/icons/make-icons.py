#!/usr/bin/python3
"""Draws the six small pictures of the game window, 32 x 32 with transparency, and their
64 x 64 versions for high-density screens.

The tricolour flag is drawn pixel by pixel (its pixels are fixed); the same image is written as
a Windows icon (one 32 x 32 image, 16 colours, with transparency mask) and, enlarged 8 times,
as the 256 x 256 icon of the desktop entry. The other pictures are vector shapes drawn at 16
times their size and reduced, so that their edges are smooth:

    winged.png    a dark-green goose in flight seen from above, neck to the lower left
    globe.png     the Earth with the Americas
    car.png       a blue car seen from the front
    sphere.png    a marbled blue sphere
    stophand.png  a red octagonal stop sign with a raised hand
"""

import argparse
import math
import struct
from pathlib import Path

import numpy as np
from PIL import Image, ImageDraw

ROOT = Path(__file__).resolve().parents[2]
SUPERSAMPLE = 16

# ---------------------------------------------------------------- the flag

GREEN = (0, 128, 0)
WHITE = (255, 255, 255)
RED = (255, 0, 0)
BLACK = (0, 0, 0)

# The standard 16-colour palette, in its usual order.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def flag_pixels():
    """32 x 32 RGBA: rows 0-5 and 26-31 transparent, rows 6 and 25 black, and in rows 7-24
    a black column at each side around green (1-10), white (11-20) and red (21-30)."""
    px = np.zeros((32, 32, 4), np.uint8)
    px[6, :] = BLACK + (255,)
    px[25, :] = BLACK + (255,)
    for y in range(7, 25):
        px[y, 0] = px[y, 31] = BLACK + (255,)
        px[y, 1:11] = GREEN + (255,)
        px[y, 11:21] = WHITE + (255,)
        px[y, 21:31] = RED + (255,)
    return px


def write_ico(px, path):
    """One 32 x 32 image, 4 bits per pixel with the standard palette, and an AND mask whose
    set bits mark the transparent pixels. Rows are stored bottom-up."""
    size = 32
    index = {c: i for i, c in enumerate(VGA16)}
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(size)):
        row = [index[tuple(int(v) for v in px[y, x, :3])] if px[y, x, 3] else 0 for x in range(size)]
        xor += bytes((row[x] << 4) | row[x + 1] for x in range(0, size, 2))
        bits = 0
        for x in range(size):
            bits = (bits << 1) | (0 if px[y, x, 3] else 1)
        mask += bits.to_bytes(size // 8, "big")
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in VGA16)
    image = header + palette + bytes(xor) + bytes(mask)
    assert len(image) == 744
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), 22)
    path.write_bytes(directory + image)


# ---------------------------------------------------------------- vector drawing

class Canvas:
    """A transparent square drawn in 32-unit coordinates at `size` pixels, supersampled."""

    def __init__(self, size):
        self.size = size
        self.k = size / 32 * SUPERSAMPLE
        self.image = Image.new("RGBA", (size * SUPERSAMPLE,) * 2, (0, 0, 0, 0))
        self.draw = ImageDraw.Draw(self.image)

    def pts(self, points):
        return [(x * self.k, y * self.k) for x, y in points]

    def w(self, width):
        return max(1, int(round(width * self.k)))

    def polygon(self, points, fill, outline=None, width=1.0):
        self.draw.polygon(self.pts(points), fill=fill)
        if outline:
            p = self.pts(points)
            self.draw.line(p + p[:1], fill=outline, width=self.w(width), joint="curve")

    def ellipse(self, box, fill, outline=None, width=1.0):
        x0, y0, x1, y1 = box
        self.draw.ellipse([x0 * self.k, y0 * self.k, x1 * self.k, y1 * self.k], fill=fill,
                          outline=outline, width=self.w(width) if outline else 0)

    def rounded(self, box, radius, fill, outline=None, width=1.0):
        x0, y0, x1, y1 = box
        self.draw.rounded_rectangle([x0 * self.k, y0 * self.k, x1 * self.k, y1 * self.k],
                                    radius=radius * self.k, fill=fill, outline=outline,
                                    width=self.w(width) if outline else 0)

    def line(self, points, fill, width=1.0):
        self.draw.line(self.pts(points), fill=fill, width=self.w(width), joint="curve")

    def paste_array(self, rgba):
        layer = Image.fromarray(rgba, "RGBA")
        self.image = Image.alpha_composite(self.image, layer)
        self.draw = ImageDraw.Draw(self.image)

    def result(self):
        premultiplied = self.image.convert("RGBa")
        return premultiplied.resize((self.size, self.size), Image.BOX).convert("RGBA")


def rotate(points, angle, centre=(16, 16), scale=1.0):
    c, s = math.cos(angle), math.sin(angle)
    cx, cy = centre
    return [(cx + scale * (x * c - y * s), cy + scale * (x * s + y * c)) for x, y in points]


def mirror(points):
    return [(x, -y) for x, y in points]


def draw_winged(cv):
    """A goose in flight seen from above: wings spread, long neck and head towards the lower
    left, in greens with grey wing tips and black outlines."""
    angle = math.radians(135)  # local +x (the head) points to the lower left
    scale = 0.96

    def put(points):
        return rotate(points, angle, scale=scale)

    dark, mid, light = (0, 82, 24), (30, 120, 40), (96, 160, 80)
    grey, dark_grey = (150, 156, 150), (84, 88, 84)
    wing = [(3.2, 2.0), (2.6, 6.0), (0.8, 10.5), (-1.2, 15.3), (-3.4, 15.6), (-4.2, 13.8),
            (-5.6, 13.0), (-5.6, 11.2), (-6.8, 10.2), (-6.4, 7.6), (-7.2, 6.0), (-5.2, 2.0)]
    tip = [(0.8, 10.5), (-1.2, 15.3), (-3.4, 15.6), (-4.2, 13.8), (-5.6, 13.0), (-5.6, 11.2),
           (-2.4, 10.0)]
    for side in (wing, mirror(wing)):
        cv.polygon(put(side), fill=mid, outline=BLACK, width=0.9)
    for side in (tip, mirror(tip)):
        cv.polygon(put(side), fill=grey, outline=dark_grey, width=0.6)
    covert = [(2.6, 2.2), (1.8, 6.0), (-1.6, 6.8), (-4.4, 2.4)]
    for side in (covert, mirror(covert)):
        cv.polygon(put(side), fill=light)
    tail = [(-6.5, -2.2), (-10.6, -2.0), (-11.8, 0.0), (-10.6, 2.0), (-6.5, 2.2)]
    cv.polygon(put(tail), fill=dark_grey, outline=BLACK, width=0.8)
    body = [(-1.0 + (5.0 if math.cos(t) > 0 else 6.8) * math.cos(t), 2.7 * math.sin(t))
            for t in np.linspace(0, 2 * math.pi, 48)]
    cv.polygon(put(body), fill=dark, outline=BLACK, width=0.9)
    neck = [(3.2, -1.2), (10.6, -0.8), (10.6, 0.8), (3.2, 1.2)]
    cv.polygon(put(neck), fill=BLACK)
    head = [(11.8 + 2.1 * math.cos(t), 1.6 * math.sin(t)) for t in np.linspace(0, 2 * math.pi, 24)]
    cv.polygon(put(head), fill=BLACK)
    cheek = [(11.6 + 0.9 * math.cos(t), 0.8 * math.sin(t)) for t in np.linspace(0, 2 * math.pi, 16)]
    cv.polygon(put(cheek), fill=grey)
    beak = [(13.6, -0.6), (15.6, 0.0), (13.6, 0.6)]
    cv.polygon(put(beak), fill=dark_grey)


def _orthographic(lon, lat, lon0=-78.0, lat0=12.0):
    lam, phi = math.radians(lon - lon0), math.radians(lat)
    p0 = math.radians(lat0)
    x = math.cos(phi) * math.sin(lam)
    y = math.cos(p0) * math.sin(phi) - math.sin(p0) * math.cos(phi) * math.cos(lam)
    return x, -y


NORTH_AMERICA = [
    (-166, 68), (-156, 71), (-140, 70), (-125, 70), (-110, 68), (-95, 68), (-85, 66), (-80, 62),
    (-76, 62), (-65, 60), (-58, 54), (-55, 50), (-60, 46), (-66, 44), (-70, 42), (-74, 40),
    (-76, 35), (-81, 31), (-80, 26), (-82, 26), (-84, 30), (-90, 30), (-95, 29), (-97, 26),
    (-97, 21), (-91, 19), (-90, 21), (-87, 21), (-88, 16), (-84, 15), (-83, 10), (-80, 9),
    (-77, 8), (-78, 7), (-82, 8), (-86, 11), (-92, 14), (-98, 16), (-105, 20), (-106, 23),
    (-112, 29), (-114, 31), (-111, 25), (-110, 23), (-114, 28), (-117, 32), (-121, 35),
    (-124, 40), (-124, 46), (-125, 49), (-131, 55), (-137, 59), (-146, 60), (-152, 58),
    (-158, 56), (-163, 55), (-158, 58), (-162, 60), (-166, 62), (-165, 65),
]
HUDSON_BAY = [(-95, 60), (-93, 57), (-88, 55), (-82, 53), (-79, 55), (-78, 59), (-86, 64), (-92, 63)]
GREENLAND = [(-44, 60), (-40, 64), (-22, 70), (-20, 76), (-28, 83), (-55, 82), (-68, 77), (-56, 70), (-52, 66)]
SOUTH_AMERICA = [
    (-77, 8), (-75, 11), (-72, 12), (-68, 11), (-62, 11), (-58, 7), (-52, 5), (-50, 1), (-44, -2),
    (-35, -6), (-37, -12), (-39, -16), (-41, -22), (-48, -26), (-52, -32), (-58, -35), (-57, -38),
    (-62, -39), (-65, -42), (-64, -46), (-68, -50), (-69, -53), (-72, -54), (-75, -51), (-74, -45),
    (-73, -38), (-71, -30), (-70, -19), (-76, -14), (-80, -8), (-81, -4), (-80, 0), (-78, 3),
]
CUBA = [(-85, 22), (-80, 23.2), (-74, 20.2), (-77, 19.8), (-82, 21.6)]


def _lit_disc(cv, r):
    """A disc of radius r at the centre, on the supersampled grid: the x and y of each point
    scaled to the radius, which points are inside, and the light falling from the upper left."""
    n = cv.size * SUPERSAMPLE
    yy, xx = (np.mgrid[0:n, 0:n] + 0.5) / cv.k
    dx, dy = (xx - 16.0) / r, (yy - 16.0) / r
    inside = dx * dx + dy * dy <= 1
    nz = np.sqrt(np.clip(1 - dx * dx - dy * dy, 0, 1))
    return dx, dy, nz, inside, -0.45 * dx - 0.55 * dy + 0.7 * nz


def _paint_disc(cv, rgb, inside):
    rgba = np.zeros(inside.shape + (4,), np.uint8)
    rgba[..., :3] = np.clip(rgb, 0, 255)
    rgba[..., 3] = np.where(inside, 255, 0)
    cv.paste_array(rgba)


def draw_globe(cv):
    cx = cy = 16.0
    r = 14.6
    n = cv.size * SUPERSAMPLE
    dx, dy, nz, inside, facing = _lit_disc(cv, r)
    light = np.clip(0.45 + 0.65 * facing, 0.35, 1.1)
    sea = np.stack([20 * light, 90 * light, 230 * light], -1)
    land_img = Image.new("L", (n, n), 0)
    d = ImageDraw.Draw(land_img)

    def outline(points):
        return [((cx + r * x) * cv.k, (cy + r * y) * cv.k) for x, y in (_orthographic(a, b) for a, b in points)]

    for shape in (NORTH_AMERICA, GREENLAND, SOUTH_AMERICA, CUBA):
        d.polygon(outline(shape), fill=255)
    d.polygon(outline(HUDSON_BAY), fill=0)
    land = np.array(land_img) > 0
    ground = np.stack([30 * light, 150 * light, 40 * light], -1)
    _paint_disc(cv, np.where(land[..., None], ground, sea), inside)
    cv.ellipse((cx - r, cy - r, cx + r, cy + r), fill=None, outline=BLACK, width=1.2)


def draw_car(cv):
    blue, dark_blue, light_blue = (20, 80, 220), (0, 40, 140), (110, 160, 255)
    glass, glass_light = (150, 160, 172), (205, 212, 220)
    # wheels peeping out below the body
    cv.rounded((4.5, 21.5, 10.0, 29.5), 1.6, fill=(24, 24, 24))
    cv.rounded((22.0, 21.5, 27.5, 29.5), 1.6, fill=(24, 24, 24))
    # roof and cabin
    cv.polygon([(8.5, 6.0), (23.5, 6.0), (26.5, 15.0), (5.5, 15.0)], fill=blue, outline=BLACK, width=0.9)
    cv.rounded((7.5, 4.5, 24.5, 8.0), 2.0, fill=blue, outline=BLACK, width=0.9)
    # lower body, rounded
    cv.rounded((2.0, 13.0, 30.0, 26.0), 4.5, fill=blue, outline=BLACK, width=0.9)
    # mirrors
    cv.rounded((1.0, 11.0, 4.5, 13.8), 1.0, fill=blue, outline=BLACK, width=0.6)
    cv.rounded((27.5, 11.0, 31.0, 13.8), 1.0, fill=blue, outline=BLACK, width=0.6)
    # windscreen with a reflection
    cv.polygon([(9.6, 7.6), (22.4, 7.6), (24.6, 13.8), (7.4, 13.8)], fill=glass, outline=dark_blue, width=0.6)
    cv.polygon([(11.0, 8.4), (14.0, 8.4), (11.0, 13.2), (8.6, 13.2)], fill=glass_light)
    # bonnet highlight
    cv.line([(6.0, 15.6), (26.0, 15.6)], fill=light_blue, width=0.8)
    # headlights
    for x in (7.4, 24.6):
        cv.ellipse((x - 2.7, 16.4, x + 2.7, 21.8), fill=(255, 250, 190), outline=BLACK, width=0.7)
        cv.ellipse((x - 1.1, 17.6, x + 0.6, 19.2), fill=WHITE)
    # grille and bumper
    cv.rounded((11.6, 17.2, 20.4, 21.4), 1.2, fill=(40, 44, 60), outline=BLACK, width=0.5)
    for y in (18.6, 20.0):
        cv.line([(12.4, y), (19.6, y)], fill=(120, 124, 140), width=0.4)
    cv.rounded((3.2, 22.4, 28.8, 24.8), 1.2, fill=(170, 174, 184), outline=BLACK, width=0.6)


def draw_sphere(cv):
    cx = cy = 16.0
    r = 14.8
    dx, dy, nz, inside, facing = _lit_disc(cv, r)
    # marble veins: a sine of a slanted coordinate disturbed by a fixed sum of waves
    turb = (0.9 * np.sin(3.1 * dx + 2.3 * nz) + 0.6 * np.sin(5.3 * dy - 1.7 * dx + 0.4)
            + 0.35 * np.sin(9.7 * (dx + dy) + 1.3 * nz) + 0.2 * np.sin(17.0 * dy + 0.9))
    vein = 0.5 + 0.5 * np.sin(6.5 * (0.8 * dx + 0.6 * dy + 0.5 * nz) + 2.4 * turb)
    vein = vein ** 1.6
    dark = np.array([8, 28, 120], float)
    light_col = np.array([140, 190, 255], float)
    base = dark + (light_col - dark) * vein[..., None]
    lambert = np.clip(facing, 0, 1)
    rgb = base * (0.45 + 0.65 * lambert)[..., None] + 255 * 0.55 * (lambert ** 24)[..., None]
    _paint_disc(cv, rgb, inside)
    cv.ellipse((cx - r, cy - r, cx + r, cy + r), fill=None, outline=(0, 16, 72), width=0.8)


def draw_stophand(cv):
    def octagon(radius):
        return [(16 + radius * math.cos(math.radians(22.5 + 45 * i)),
                 16 + radius * math.sin(math.radians(22.5 + 45 * i))) for i in range(8)]

    cv.polygon(octagon(15.6), fill=(60, 0, 0))
    cv.polygon(octagon(14.8), fill=WHITE)
    cv.polygon(octagon(13.4), fill=(214, 0, 0))
    skin, shadow, line = (250, 204, 160), (222, 160, 112), (150, 84, 40)
    # fingers (little to index), then the thumb, then the palm over their roots
    fingers = [(10.0, 11.0, 12.6), (12.9, 7.6, 15.5), (15.9, 6.6, 18.5), (18.9, 8.0, 21.5)]
    for x0, top, x1 in fingers:
        cv.rounded((x0, top, x1, 18.0), 1.3, fill=skin, outline=line, width=0.55)
    thumb = [(20.4, 19.6), (23.2, 14.6), (24.6, 14.0), (25.4, 15.0), (23.8, 19.8), (21.8, 23.0)]
    cv.polygon(thumb, fill=skin, outline=line, width=0.55)
    palm = [(10.0, 16.2), (22.0, 16.2), (22.4, 21.0), (20.6, 24.8), (12.0, 24.8), (10.0, 21.0)]
    cv.polygon(palm, fill=skin, outline=line, width=0.55)
    cv.line([(12.4, 22.4), (16.0, 23.4), (19.6, 22.4)], fill=shadow, width=0.5)
    cv.rounded((11.0, 24.2, 21.6, 27.4), 0.8, fill=skin, outline=line, width=0.55)


PICTURES = {
    "winged": draw_winged,
    "globe": draw_globe,
    "car": draw_car,
    "sphere": draw_sphere,
    "stophand": draw_stophand,
}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--out", type=Path, default=ROOT / "resources", help="output folder")
    args = parser.parse_args()
    out = args.out
    out.mkdir(parents=True, exist_ok=True)

    flag = Image.fromarray(flag_pixels(), "RGBA")
    flag.save(out / "flag.png", optimize=True)
    flag.resize((64, 64), Image.NEAREST).save(out / "flag@2x.png", optimize=True)
    flag.resize((256, 256), Image.NEAREST).save(out / "zefirana.png", optimize=True)
    write_ico(flag_pixels(), out / "flag.ico")

    for name, draw in PICTURES.items():
        for size, suffix in ((32, ""), (64, "@2x")):
            cv = Canvas(size)
            draw(cv)
            cv.result().save(out / ("%s%s.png" % (name, suffix)), optimize=True)


if __name__ == "__main__":
    main()

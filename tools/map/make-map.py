#!/usr/bin/python3
"""Draws the map of Italy that the game shows, from the region outlines of @svg-maps/italy.

The hotspots of the window are fixed rectangles (ui/hotspotlayout.h), each answering for one
region (quiz/hotspots.h). The outlines are therefore fitted to the hotspots rather than the
other way round:

1. an affine transform from the outline coordinates to map pixels, chosen so that every hotspot
   centre of the mainland lies inside its own region while the land stays inside the frame
   (top band and car button clear);
2. Sardinia and Sicily moved as a whole onto their hotspots;
3. a smooth, gentle warp that pushes every hotspot centre a few pixels inside its own region,
   keeps the land of each hotspot its own, and keeps the land inside the frame.

Steps 1 and 2 are a numerical search; their result is kept below (FIT) so that every run draws
the same map. `--refit` repeats the search and prints new values. Step 3 is a fixed number of
deterministic iterations and runs every time.

Writes resources/map.jpg (484 x 499), resources/map@2x.jpg (968 x 998, drawn from the outlines at
twice the size) and resources/map-labels.png (region number under each pixel centre, 0 = sea).
"""

import argparse
import math
import re
import sys
from pathlib import Path

import numpy as np
from PIL import Image

HERE = Path(__file__).resolve().parent
ROOT = HERE.parents[1]
SVG = HERE / "node_modules" / "@svg-maps" / "italy" / "italy.svg"

MAP_W, MAP_H = 484, 499
SEA = (192, 192, 192)
TWIPS_PER_PIXEL = 15

# Where the land may lie: below the heading band, clear of the car button (twips 5520, 360,
# 1335 x 1455 -> pixels 368..456 x 24..120, kept clear with a margin), inside the frame.
LAND_LEFT, LAND_TOP, LAND_RIGHT, LAND_BOTTOM = 70, 36, 479, 497
CAR_BUTTON = (364, 0, 460, 133)  # x0, y0, x1, y1 (pixel edges)

# Region (by its name in the catalogue) -> outline id in @svg-maps/italy, and its colour.
REGION_STYLE = {
    "Emilia Romagna": ("emilia-romagna", (246, 156, 44)),
    "Toscana": ("tuscany", (222, 36, 30)),
    "Lombardia": ("lombardy", (0, 110, 132)),
    "Trentino Alto Adige": ("trentino-south-tyrol", (92, 108, 170)),
    "Veneto": ("veneto", (70, 134, 214)),
    "Friuli Venezia Giulia": ("friuli-venezia-giulia", (198, 150, 196)),
    "Piemonte": ("piedmont", (206, 226, 248)),
    "Liguria": ("liguria", (70, 134, 214)),
    "Umbria": ("umbria", (246, 156, 44)),
    "Marche": ("marche", (232, 214, 170)),
    "Lazio": ("lazio", (246, 170, 196)),
    "Abruzzo": ("abruzzo", (66, 168, 76)),
    "Molise": ("molise", (214, 234, 150)),
    "Campania": ("campania", (176, 208, 54)),
    "Puglia": ("apulia", (250, 228, 40)),
    "Basilicata": ("basilicata", (150, 250, 20)),
    "Calabria": ("calabria", (178, 226, 170)),
    "Sicilia": ("sicily", (34, 150, 60)),
    "Sardegna": ("sardinia", (252, 204, 160)),
    "Valle d'Aosta": ("aosta-valley", (122, 138, 168)),
}
DOTTED = {"Piemonte": (120, 150, 200), "Friuli Venezia Giulia": (130, 80, 130)}
ISLANDS = ("Sardegna", "Sicilia")
MIN_ISLET_AREA = 2.0  # square map pixels: smaller islets (and enclaves) would be specks
BORDER = (40, 40, 48)
SHADOW = (118, 118, 118)

# The result of the search of steps 1 and 2 (see --refit): the affine transform
# [a, b, c, d, e, f] with x' = a x + b y + e, y' = c x + d y + f from outline units to map
# pixels, and the shift in map pixels of each island.
FIT = {
    "affine": [0.6247, 0.0497, -0.0182, 0.6307, 58.5067, 41.1032],
    "islands": {"Sardegna": (-35.0, 20.0), "Sicilia": (-11.0, 4.0)},
}

# The warp: iterations, smoothing of the forces and of the field (pixels), and goals.
WARP_STEPS = 400
WARP_FLUID_SIGMA = 10.0
WARP_ELASTIC_SIGMA = 1.5
CENTRE_GOAL = 5.5  # pixels of own region around each hotspot centre
SHARE_GOAL = 0.99  # share of a hotspot's land that is its own region


# ---------------------------------------------------------------- project tables

def read_project_tables(root):
    """Hotspot rectangles (map pixels, both ends included), their regions and the region names,
    read from the program's own headers."""
    layout = (root / "ui" / "hotspotlayout.h").read_text(encoding="utf-8")
    rect_block = layout[layout.index("kHotspotRects"):]
    rect_block = rect_block[:rect_block.index("}};")]
    rects = {}
    for left, top, width, height, label in re.findall(
            r"\{\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+)\s*\},\s*//\s*Label(\d+)", rect_block):
        left, top, width, height = int(left), int(top), int(width), int(height)
        rects[int(label)] = (left // TWIPS_PER_PIXEL, top // TWIPS_PER_PIXEL,
                             (left + width) // TWIPS_PER_PIXEL - 1, (top + height) // TWIPS_PER_PIXEL - 1)

    table = (root / "quiz" / "hotspots.h").read_text(encoding="utf-8")
    table = table[table.index("kHotspots{"):]
    table = table[:table.index("}};")]
    owner = {int(a): int(b) for a, b in re.findall(r"\{\s*(\d+)\s*,\s*(\d+)\s*\}", table)}

    catalogue = (root / "quiz" / "regions.cpp").read_text(encoding="utf-8")
    names = {int(n): s.encode().decode("unicode_escape") for n, s in re.findall(r'\{\s*(\d+),\s*u"([^"]*)"', catalogue)}

    if sorted(rects) != sorted(owner) or not rects:
        sys.exit("hotspot tables disagree: %s vs %s" % (sorted(rects), sorted(owner)))
    if sorted(names) != list(range(1, 21)) or set(names.values()) != set(REGION_STYLE):
        sys.exit("unexpected region catalogue: %s" % names)
    hotspots = [{"label": lab, "rect": rects[lab], "region": owner[lab]} for lab in sorted(rects)]
    return hotspots, names


# ---------------------------------------------------------------- outlines

_TOKEN = re.compile(r"[A-Za-z]|[-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?")
_ARGS = {"M": 2, "L": 2, "H": 1, "V": 1, "C": 6, "S": 4, "Q": 4, "T": 2, "Z": 0}


def _bezier(points, steps=8):
    """Points of a Bezier curve (control points given), the first one excluded."""
    pts = np.array(points, float)
    t = np.linspace(0, 1, steps + 1)[1:, None]
    if len(pts) == 3:
        return (1 - t) ** 2 * pts[0] + 2 * (1 - t) * t * pts[1] + t ** 2 * pts[2]
    return ((1 - t) ** 3 * pts[0] + 3 * (1 - t) ** 2 * t * pts[1]
            + 3 * (1 - t) * t ** 2 * pts[2] + t ** 3 * pts[3])


def parse_path(d):
    """The closed rings of an SVG path (curves flattened). Supports M L H V C S Q T Z, absolute
    and relative; an elliptical arc is refused."""
    tokens = _TOKEN.findall(d)
    rings, ring = [], []
    pos = np.zeros(2)
    start = np.zeros(2)
    last_ctrl, last_cmd = None, ""
    i, cmd = 0, None
    while i < len(tokens):
        if tokens[i].isalpha():
            cmd = tokens[i]
            i += 1
            if cmd.upper() not in _ARGS:
                raise ValueError("path command %r is not supported" % cmd)
            if cmd in "Zz":
                if ring:
                    rings.append(np.array(ring))
                ring = []
                pos = start.copy()
                last_cmd = "Z"
                continue
        elif cmd is None:
            raise ValueError("path data does not start with a command")
        n = _ARGS[cmd.upper()]
        args = [float(v) for v in tokens[i:i + n]]
        if len(args) < n:
            raise ValueError("path data ends inside a command")
        i += n
        rel = cmd.islower()
        up = cmd.upper()
        base = pos if rel else np.zeros(2)
        if up == "M":
            if ring:
                rings.append(np.array(ring))
            pos = base + args
            start = pos.copy()
            ring = [pos.copy()]
            cmd = "l" if rel else "L"  # further pairs are line-tos
            last_cmd = "M"
            continue
        if not ring:
            ring = [pos.copy()]
        if up == "L":
            pos = base + args
            ring.append(pos.copy())
        elif up == "H":
            pos = np.array([args[0] + (pos[0] if rel else 0), pos[1]])
            ring.append(pos.copy())
        elif up == "V":
            pos = np.array([pos[0], args[0] + (pos[1] if rel else 0)])
            ring.append(pos.copy())
        else:
            pts = [base + args[k:k + 2] for k in range(0, n, 2)]
            if up in "ST":
                reflect = (2 * pos - last_ctrl) if last_ctrl is not None and last_cmd in (
                    ("C", "S") if up == "S" else ("Q", "T")) else pos.copy()
                pts = [reflect] + pts
            curve = [pos.copy()] + pts
            ring.extend(_bezier(curve))
            last_ctrl = curve[-2]
            pos = curve[-1].copy()
            last_cmd = "C" if up in "CS" else "Q"
            continue
        last_cmd = up
        last_ctrl = None
    if ring:
        rings.append(np.array(ring))
    return [r for r in rings if len(r) >= 3]


def load_outlines(names):
    """Rings of every region in outline units, keyed by region number."""
    if not SVG.exists():
        sys.exit("%s is missing: run `npm ci` in %s first" % (SVG, HERE))
    text = SVG.read_text(encoding="utf-8")
    paths = {pid: d for pid, d in re.findall(r'<path\s+id="([^"]*)".*?\sd="([^"]*)"', text, re.S)}
    outlines = {}
    for number, name in names.items():
        svg_id = REGION_STYLE[name][0]
        if svg_id not in paths:
            sys.exit("outline %r not found in %s" % (svg_id, SVG))
        outlines[number] = parse_path(paths[svg_id])
    return outlines


def ring_area(r):
    x, y = r[:, 0], r[:, 1]
    return 0.5 * float(np.sum(x * np.roll(y, -1) - np.roll(x, -1) * y))


# ---------------------------------------------------------------- geometry

def rasterise(rings, width, height, scale=1.0):
    """Winding number of the rings at every pixel centre of a width x height grid; the rings
    are given in units of which one pixel holds `scale`."""
    diff = np.zeros((height, width + 1), np.int32)
    for ring in rings:
        p = ring * scale
        q = np.roll(p, -1, axis=0)
        y0, y1 = p[:, 1], q[:, 1]
        first = np.ceil(np.minimum(y0, y1) - 0.5).astype(int)
        last = np.ceil(np.maximum(y0, y1) - 0.5).astype(int)
        count = last - first
        sel = np.nonzero(count > 0)[0]
        if not len(sel):
            continue
        edge = np.repeat(sel, count[sel])
        offsets = np.arange(len(edge)) - np.repeat(np.cumsum(count[sel]) - count[sel], count[sel])
        rows = first[edge] + offsets
        t = (rows + 0.5 - y0[edge]) / (y1[edge] - y0[edge])
        xs = p[edge, 0] + t * (q[edge, 0] - p[edge, 0])
        direction = np.where(y1[edge] > y0[edge], 1, -1)
        cols = np.clip(np.ceil(xs - 0.5).astype(int), 0, width)
        ok = (rows >= 0) & (rows < height)
        np.add.at(diff, (rows[ok], cols[ok]), direction[ok])
    return np.cumsum(diff, axis=1)[:, :width]


def label_raster(regions, width, height, scale=1.0):
    labels = np.zeros((height, width), np.uint8)
    for number, rings in regions.items():
        labels[rasterise(rings, width, height, scale) != 0] = number
    return labels


def _segments(rings):
    return (np.concatenate(rings), np.concatenate([np.roll(r, -1, axis=0) for r in rings]))


def signed_distance(points, rings):
    """Distance of each point to the outline of the rings, positive inside (non-zero rule)."""
    pts = np.atleast_2d(points)
    a, b = _segments(rings)
    out = np.empty(len(pts))
    for k in range(0, len(pts), 256):
        chunk = pts[k:k + 256]
        d = b - a
        length = np.maximum((d ** 2).sum(1), 1e-12)
        v = chunk[:, None, :] - a[None]
        t = np.clip((v * d[None]).sum(2) / length[None], 0, 1)
        near = a[None] + t[..., None] * d[None]
        dist = np.sqrt(((chunk[:, None, :] - near) ** 2).sum(2)).min(1)
        x, y = chunk[:, 0:1], chunk[:, 1:2]
        ya, yb = a[:, 1][None], b[:, 1][None]
        cross = (b[:, 0][None] - a[:, 0][None]) * (y - ya) - (x - a[:, 0][None]) * (yb - ya)
        wind = (np.sum((ya <= y) & (yb > y) & (cross > 0), 1)
                - np.sum((yb <= y) & (ya > y) & (cross < 0), 1))
        out[k:k + 256] = np.where(wind != 0, dist, -dist)
    return out


def distance_gradient(points, rings, h=0.25):
    pts = np.atleast_2d(points)
    gx = signed_distance(pts + [h, 0], rings) - signed_distance(pts - [h, 0], rings)
    gy = signed_distance(pts + [0, h], rings) - signed_distance(pts - [0, h], rings)
    g = np.stack([gx, gy], 1) / (2 * h)
    return g / np.maximum(np.linalg.norm(g, axis=1, keepdims=True), 1e-9)


def densify(ring, step):
    q = np.roll(ring, -1, axis=0)
    n = np.maximum(1, np.ceil(np.linalg.norm(q - ring, axis=1) / step).astype(int))
    t = np.concatenate([np.arange(k) / k for k in n])
    idx = np.repeat(np.arange(len(ring)), n)
    return ring[idx] + t[:, None] * (q[idx] - ring[idx])


def blur(field, sigma, mode):
    """Gaussian blur of a 2-D array along both axes (`mode`: 'zero' or 'edge' outside)."""
    radius = max(1, int(math.ceil(3 * sigma)))
    k = np.exp(-0.5 * (np.arange(-radius, radius + 1) / sigma) ** 2)
    k /= k.sum()
    out = field
    for axis in (0, 1):
        pad = [(0, 0), (0, 0)]
        pad[axis] = (radius, radius)
        padded = np.pad(out, pad, mode="constant" if mode == "zero" else "edge")
        acc = np.zeros_like(out)
        n = out.shape[axis]
        for i, w in enumerate(k):
            acc += w * (padded[i:i + n, :] if axis == 0 else padded[:, i:i + n])
        out = acc
    return out


def sample_field(u, points):
    """Bilinear sample of a field (2, H, W) given at pixel centres, at points (n, 2)."""
    h, w = u.shape[1:]
    x = np.clip(points[:, 0] - 0.5, 0, w - 1)
    y = np.clip(points[:, 1] - 0.5, 0, h - 1)
    x0 = np.minimum(np.floor(x).astype(int), w - 2)
    y0 = np.minimum(np.floor(y).astype(int), h - 2)
    fx, fy = x - x0, y - y0
    out = np.empty((len(points), 2))
    for c in range(2):
        f = u[c]
        out[:, c] = ((1 - fy) * ((1 - fx) * f[y0, x0] + fx * f[y0, x0 + 1])
                     + fy * ((1 - fx) * f[y0 + 1, x0] + fx * f[y0 + 1, x0 + 1]))
    return out


# ---------------------------------------------------------------- fitting

def transform(rings, affine):
    a, b, c, d, e, f = affine
    m = np.array([[a, b], [c, d]])
    return [r @ m.T + [e, f] for r in rings]


def hotspot_centres(hotspots):
    return np.array([((h["rect"][0] + h["rect"][2] + 1) / 2, (h["rect"][1] + h["rect"][3] + 1) / 2)
                     for h in hotspots])


def place(outlines, names, fit):
    """The regions in map pixels before the warp: affine transform, islands shifted, and
    islets that would fall outside the frame or be mere specks left out."""
    placed = {}
    for number, rings in outlines.items():
        shift = fit["islands"].get(names[number], (0.0, 0.0))
        moved = [r + shift for r in transform(rings, fit["affine"])]
        placed[number] = [r for r in moved if r[:, 1].max() < MAP_H and r[:, 0].max() < MAP_W
                          and abs(ring_area(r)) >= MIN_ISLET_AREA]
    return placed


def nelder_mead(f, x0, steps, iterations=3000, tolerance=1e-7):
    n = len(x0)
    simplex = [np.array(x0, float)] + [np.array(x0, float) + np.eye(n)[i] * steps[i] for i in range(n)]
    values = [f(x) for x in simplex]
    for _ in range(iterations):
        order = np.argsort(values, kind="stable")
        simplex = [simplex[i] for i in order]
        values = [values[i] for i in order]
        if abs(values[-1] - values[0]) < tolerance:
            break
        centre = np.mean(simplex[:-1], axis=0)
        reflected = centre + (centre - simplex[-1])
        fr = f(reflected)
        if fr < values[0]:
            expanded = centre + 2 * (centre - simplex[-1])
            fe = f(expanded)
            simplex[-1], values[-1] = (expanded, fe) if fe < fr else (reflected, fr)
        elif fr < values[-2]:
            simplex[-1], values[-1] = reflected, fr
        else:
            contracted = centre + 0.5 * (simplex[-1] - centre)
            fc = f(contracted)
            if fc < values[-1]:
                simplex[-1], values[-1] = contracted, fc
            else:
                simplex = [simplex[0] + 0.5 * (x - simplex[0]) for x in simplex]
                values = [values[0]] + [f(x) for x in simplex[1:]]
    best = int(np.argmin(values))
    return simplex[best], values[best]


def refit(outlines, names, hotspots):
    """Searches the affine transform and the island shifts (deterministic)."""
    centres = hotspot_centres(hotspots)
    island_numbers = [n for n, s in names.items() if s in ISLANDS]
    mainland = [i for i, h in enumerate(hotspots) if h["region"] not in island_numbers]
    land = np.concatenate([r for n, rings in outlines.items() if n not in island_numbers for r in rings])

    def outside(affine):
        a, b, c, d, e, f = affine
        p = land @ np.array([[a, b], [c, d]]).T + [e, f]
        lo, hi = p.min(0), p.max(0)
        over = (max(0, LAND_LEFT - 4 - lo[0]) + max(0, LAND_TOP - lo[1])
                + max(0, hi[0] - LAND_RIGHT) + max(0, hi[1] - LAND_BOTTOM))
        x0, y0, x1, y1 = CAR_BUTTON
        return over + np.count_nonzero((p[:, 0] > x0) & (p[:, 0] < x1) & (p[:, 1] < y1))

    def cost(affine):
        margins = np.array([signed_distance(centres[i], transform(outlines[hotspots[i]["region"]], affine))[0]
                            for i in mainland])
        return -(np.sum(np.minimum(margins, 4)) + 10 * np.sum(np.minimum(margins, 1))) + 30 * outside(affine)

    allpts = np.concatenate([r for rings in outlines.values() for r in rings])
    lo, hi = allpts.min(0), allpts.max(0)
    s = min((LAND_RIGHT - LAND_LEFT) / (hi[0] - lo[0]), (LAND_BOTTOM - LAND_TOP) / (hi[1] - lo[1]))
    start = np.array([s, 0, 0, s, LAND_LEFT - s * lo[0], LAND_TOP - s * lo[1]])
    best = None
    for attempt in range(4):
        x = start + np.random.RandomState(attempt).randn(6) * [0.02, 0.02, 0.02, 0.02, 5, 5] * (attempt > 0)
        for _ in range(5):
            x, value = nelder_mead(cost, x, [0.01, 0.01, 0.01, 0.01, 3, 3])
        if best is None or value < best[1]:
            best = (x, value)
    affine = [round(float(v), 4) for v in best[0]]

    islands = {}
    for number in island_numbers:
        rings = transform(outlines[number], affine)
        rings = [r for r in rings if r[:, 1].max() < MAP_H + 20]
        main_ring = max(rings, key=lambda r: abs(ring_area(r)))
        own = [i for i, h in enumerate(hotspots) if h["region"] == number]
        best_shift = None
        for dx in range(-60, 31):
            for dy in range(-40, 21):
                pts = np.concatenate(rings) + [dx, dy]
                if pts[:, 1].max() > LAND_BOTTOM or pts[:, 0].min() < LAND_LEFT - 4:
                    continue
                margin = signed_distance(centres[own], [main_ring + [dx, dy]]).min()
                score = min(margin, 8) - 0.02 * math.hypot(dx, dy)
                if best_shift is None or score > best_shift[0]:
                    best_shift = (score, dx, dy)
        islands[names[number]] = (float(best_shift[1]), float(best_shift[2]))
    return {"affine": affine, "islands": islands}


def fit_warp(placed, hotspots, steps=WARP_STEPS, log=None):
    """The warp as a displacement field u (2, H, W) at pixel centres: map pixel q shows what
    lies at q + u(q) in the placed outlines. Deterministic gradient steps with smoothed forces."""
    scale = 4
    source = label_raster(placed, MAP_W * scale, MAP_H * scale, scale)
    centres = hotspot_centres(hotspots)
    u = np.zeros((2, MAP_H, MAP_W))
    ys, xs = np.mgrid[0:MAP_H, 0:MAP_W]
    grid = np.stack([xs.ravel() + 0.5, ys.ravel() + 0.5], 1)
    frame = np.zeros((MAP_H, MAP_W, 2))
    frame[:, :LAND_LEFT, 0] = -1
    frame[:, LAND_RIGHT:, 0] = 1
    frame[:LAND_TOP, :, 1] = -1
    frame[LAND_BOTTOM:, :, 1] = 1
    x0, y0, x1, y1 = CAR_BUTTON
    frame[y0:y1, x0:x1, 1] = -1
    frame_mask = np.any(frame != 0, axis=2)
    boxes = []
    for h in hotspots:
        rx0, ry0, rx1, ry1 = h["rect"]
        by, bx = np.mgrid[ry0:ry1 + 1, rx0:rx1 + 1]
        boxes.append(np.stack([bx.ravel() + 0.5, by.ravel() + 0.5], 1))

    def look(points):
        ix = np.clip((points[:, 0] * scale).astype(int), 0, MAP_W * scale - 1)
        iy = np.clip((points[:, 1] * scale).astype(int), 0, MAP_H * scale - 1)
        return source[iy, ix]

    for step in range(steps):
        force = np.zeros((2, MAP_H, MAP_W))

        def push(points, vectors, weight):
            ix = np.clip(points[:, 0].astype(int), 0, MAP_W - 1)
            iy = np.clip(points[:, 1].astype(int), 0, MAP_H - 1)
            np.add.at(force[0], (iy, ix), weight * vectors[:, 0])
            np.add.at(force[1], (iy, ix), weight * vectors[:, 1])

        worst = []
        for i, h in enumerate(hotspots):
            rings = placed[h["region"]]
            p = centres[i:i + 1] + sample_field(u, centres[i:i + 1])
            margin = signed_distance(p, rings)[0]
            if margin < CENTRE_GOAL:
                push(centres[i:i + 1], distance_gradient(p, rings), 0.1 * min(CENTRE_GOAL - margin, 3.0))
            q = boxes[i]
            p = q + sample_field(u, q)
            lab = look(p)
            land = lab != 0
            wrong = land & (lab != h["region"])
            share = 1 - wrong.sum() / max(land.sum(), 1)
            if share < SHARE_GOAL:
                push(q[wrong], distance_gradient(p[wrong], rings), 0.02)
            worst.append((margin, share))
        # land outside the frame or under the car button: push the sample point out to sea
        p = grid + sample_field(u, grid)
        lab = look(p).reshape(MAP_H, MAP_W)
        stray = frame_mask & (lab != 0)
        if stray.any():
            iy, ix = np.nonzero(stray)
            force[0][iy, ix] += 0.01 * frame[iy, ix, 0]
            force[1][iy, ix] += 0.01 * frame[iy, ix, 1]
        if log and (step % 50 == 0 or step == steps - 1):
            m = np.array(worst)
            log("warp step %d: worst centre margin %.2f px, worst share %.3f, land outside frame %d px"
                % (step, m[:, 0].min(), m[:, 1].min(), int(stray.sum())))
        gain = 2 * math.pi * WARP_FLUID_SIGMA ** 2  # a lone unit force moves its own pixel by 1
        delta = np.stack([blur(force[c], WARP_FLUID_SIGMA, "zero") for c in range(2)]) * gain
        length = np.linalg.norm(delta, axis=0)
        delta *= np.minimum(1.0, 0.3 / np.maximum(length, 1e-9))
        u = np.stack([blur(u[c] + delta[c], WARP_ELASTIC_SIGMA, "edge") for c in range(2)])
    return u


def warp_rings(placed, u, step=0.5):
    """The placed outlines carried through the warp: a point p goes to the q with q + u(q) = p."""
    out = {}
    for number, rings in placed.items():
        moved = []
        for ring in rings:
            p = densify(ring, step)
            q = p - sample_field(u, p)
            for _ in range(40):
                q = p - sample_field(u, q)
            moved.append(q)
        out[number] = moved
    return out


def jacobian_range(u, where):
    """Smallest and largest area ratio of the warp (outline area shown per map pixel area)."""
    gx = np.gradient(u, axis=2)
    gy = np.gradient(u, axis=1)
    det = (1 + gx[0]) * (1 + gy[1]) - gx[1] * gy[0]
    return float(det[where].min()), float(det[where].max())


# ---------------------------------------------------------------- drawing

def _spread_runs(reached, free):
    """Extends `reached` along every row of `free` pixels that it touches."""
    h, w = free.shape
    f = np.concatenate([free, np.zeros((h, 1), bool)], axis=1).ravel()
    r = np.concatenate([reached, np.zeros((h, 1), bool)], axis=1).ravel() & f
    start = f & ~np.concatenate([[False], f[:-1]])
    run = np.cumsum(start) * f
    hit = np.zeros(int(run.max()) + 1, bool)
    hit[run[r]] = True
    hit[0] = False
    return hit[run].reshape(h, w + 1)[:, :w]


def open_sea(free):
    """The `free` pixels connected to the picture's border (4-neighbourhood)."""
    sea = np.zeros_like(free)
    sea[0, :] = sea[-1, :] = True
    sea[:, 0] = sea[:, -1] = True
    sea &= free
    while True:
        grown = _spread_runs(sea, free)
        grown = _spread_runs(grown.T, free.T).T
        if (grown == sea).all():
            return sea
        sea = grown


def fill_gaps(labels, gap=2):
    """Gives the holes of the land to the surrounding region: slivers between neighbours up to
    `gap` pixels wide, and anything the open sea does not reach (San Marino, lakes)."""
    land = labels != 0
    closed = land.copy()
    for dy, dx in ((0, 1), (1, 0), (1, 1), (1, -1)):
        for k in range(1, gap + 1):
            for j in range(1, gap + 2 - k):
                closed |= (np.roll(land, (k * dy, k * dx), axis=(0, 1))
                           & np.roll(land, (-j * dy, -j * dx), axis=(0, 1)))
    holes = ~land & ~open_sea(~closed)
    out = labels.copy()
    while holes.any():
        before = int(holes.sum())
        for dy, dx in ((0, 1), (0, -1), (1, 0), (-1, 0)):
            src = np.roll(out, (dy, dx), axis=(0, 1))
            take = holes & (src != 0)
            out[take] = src[take]
            holes &= ~take
        if int(holes.sum()) == before:
            break
    return out


def render(regions, names, factor, supersample=3):
    """The map drawn at `factor` times its size, and the region under each of its pixel centres.
    The supersampling is odd so that the middle sample of every pixel lies on its centre."""
    w, h = MAP_W * factor, MAP_H * factor
    s = supersample
    scale = factor * s
    fine = fill_gaps(label_raster(regions, w * s, h * s, scale))
    labels = fine[s // 2::s, s // 2::s]
    palette = np.zeros((21, 3), np.uint8)
    palette[0] = SEA
    for number, name in names.items():
        palette[number] = REGION_STYLE[name][1]
    rgb = palette[fine]
    # dotted texture: staggered dots 3 map pixels apart
    yy, xx = np.ogrid[0:h * s, 0:w * s]
    my = (yy + 0.5) / scale
    mx = (xx + 0.5) / scale
    shifted = mx + 1.5 * (np.floor(my / 3) % 2)
    dot = ((shifted % 3 - 1.5) ** 2 + (my % 3 - 1.5) ** 2) < 0.6 ** 2
    for number, name in names.items():
        if name in DOTTED:
            rgb[(fine == number) & dot] = DOTTED[name]
    # borders: land within 0.9 map pixel of the sea or of a region with a lower number
    land = fine != 0
    r = max(1, int(round(0.9 * scale)))
    border = np.zeros_like(land)
    for dy in range(-r, r + 1):
        for dx in range(-r, r + 1):
            if 0 < dx * dx + dy * dy <= r * r:
                other = np.roll(fine, (dy, dx), axis=(0, 1))
                border |= land & (other < fine)
    rgb[border] = BORDER
    image = rgb.reshape(h, s, w, s, 3).mean(axis=(1, 3))
    cover = land.reshape(h, s, w, s).mean(axis=(1, 3))
    # shadow: the land moved 4 map pixels down and right, softened, on the sea only
    d = 4 * factor
    shade = np.zeros((h, w))
    shade[d:, d:] = cover[:-d, :-d]
    shade = blur(shade, 1.2 * factor, "zero") * 0.7
    image += ((1 - cover) * shade)[..., None] * (np.array(SHADOW, float) - np.array(SEA, float))
    return Image.fromarray(np.clip(np.rint(image), 0, 255).astype(np.uint8), "RGB"), labels


# ---------------------------------------------------------------- report

def edt(mask, limit=30):
    """Euclidean distance from each pixel to the nearest True pixel of mask, up to limit."""
    h, w = mask.shape
    big = limit + 1
    idx = np.arange(w)[None, :].repeat(h, 0)
    left = np.where(mask, idx, -10 ** 6)
    left = np.maximum.accumulate(left, axis=1)
    right = np.where(mask, idx, 10 ** 6)
    right = np.minimum.accumulate(right[:, ::-1], axis=1)[:, ::-1]
    g = np.minimum(np.minimum(idx - left, right - idx), big).astype(np.float64)
    best = g ** 2
    for dy in range(1, big + 1):
        down = np.full_like(g, big)
        down[dy:] = g[:-dy]
        up = np.full_like(g, big)
        up[:-dy] = g[dy:]
        best = np.minimum(best, np.minimum(down, up) ** 2 + dy * dy)
    return np.minimum(np.sqrt(best), limit)


def hotspot_figures(labels, hotspots):
    """Per hotspot: region under its centre pixel, distance from the centre pixel to the nearest
    pixel not of its own region, and the share of its land pixels that are its own."""
    rows = []
    for h in hotspots:
        x0, y0, x1, y1 = h["rect"]
        cx, cy = (x0 + x1) // 2, (y0 + y1) // 2
        own = labels == h["region"]
        margin = edt(~own)[cy, cx]
        box = labels[y0:y1 + 1, x0:x1 + 1]
        land = box != 0
        share = float((box == h["region"]).sum()) / max(int(land.sum()), 1)
        rows.append({"label": h["label"], "region": h["region"], "under": int(labels[cy, cx]),
                     "margin": float(margin), "share": share})
    return rows


def write_jpeg(image, path, quality):
    """Baseline JFIF 1.01, 4:2:0, 300 dpi. The quality keeps the ringing of the coast out of the
    grey band above the land (within 2 levels)."""
    image.save(path, "JPEG", quality=quality, subsampling=2, progressive=False, optimize=True,
               dpi=(300, 300))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--refit", action="store_true",
                        help="search the affine transform and island shifts again and print them")
    parser.add_argument("--out", type=Path, default=ROOT / "resources", help="output folder")
    args = parser.parse_args()

    def log(msg):
        print(msg, file=sys.stderr, flush=True)

    hotspots, names = read_project_tables(ROOT)
    outlines = load_outlines(names)
    fit = FIT
    if args.refit:
        fit = refit(outlines, names, hotspots)
        log("FIT = %r" % (fit,))
    placed = place(outlines, names, fit)
    u = fit_warp(placed, hotspots, log=log)
    shift = np.linalg.norm(u, axis=0)
    regions = warp_rings(placed, u)

    image, labels = render(regions, names, 1)
    image2, _ = render(regions, names, 2)
    figures = hotspot_figures(labels, hotspots)
    failing = [r["label"] for r in figures if r["under"] != r["region"] or r["margin"] < 4 or r["share"] < 0.95]
    if failing:
        sys.exit("hotspots not well inside their regions: %s; nothing written" % failing)
    args.out.mkdir(parents=True, exist_ok=True)
    write_jpeg(image, args.out / "map.jpg", 95)
    write_jpeg(image2, args.out / "map@2x.jpg", 92)
    Image.fromarray(labels, "L").save(args.out / "map-labels.png", optimize=True)

    land = labels != 0
    ys, xs = np.nonzero(land)
    jmin, jmax = jacobian_range(u, land)
    print("affine %s; islands %s" % (fit["affine"], fit["islands"]))
    print("warp: mean %.2f px over the land, max %.2f px; outline area per map area %.2f..%.2f"
          % (shift[land].mean(), shift[land].max(), jmin, jmax))
    print("land x %d..%d, y %d..%d" % (xs.min(), xs.max(), ys.min(), ys.max()))
    print("warp per region (mean / max px): " + ", ".join(
        "%s %.1f/%.1f" % (names[n], shift[labels == n].mean(), shift[labels == n].max())
        for n in sorted(names)))
    print("%-8s %-22s %7s %7s" % ("hotspot", "region", "share", "margin"))
    for row in figures:
        flag = "" if row["under"] == row["region"] else "  <-- centre on %d" % row["under"]
        print("Label%-3d %-22s %6.1f%% %6.1f%s" % (row["label"], names[row["region"]], 100 * row["share"],
                                                    row["margin"], flag))
    print("mean share %.1f%%, least %.1f%%, least margin %.1f px" % (
        100 * np.mean([r["share"] for r in figures]), 100 * min(r["share"] for r in figures),
        min(r["margin"] for r in figures)))


if __name__ == "__main__":
    main()

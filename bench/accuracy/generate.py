#!/usr/bin/python3
"""Makes the accuracy bench's labelled videos from photographs.

Each shot is a moving virtual camera over one picture: pans, zooms, handheld
shake (low-frequency drift plus jitter), whip pans, rotation, motion blur along
the motion, sensor noise and exposure drift. By kind, shots also get composited
moving things (people-like figures, many small objects), a foreground layer
moving at its own speed, a rippling water-like warp, out-of-focus occluders,
flashes, local flicker and strobes; or they are flat-coloured animation. Shots
are joined by hard cuts, by ffmpeg's xfade (dissolves, wipes, dips to black or
white) or by a fade out to black and a fade in. Each VIDEO.mp4 gets a
VIDEO.truth.json whose boundaries are known by construction.

Two sets share the kinds: `tune` and `check` use different seeds and disjoint
pictures (POOL split by SHA-256 of the path, see split_pool).

The same seed gives the same bytes: numpy's seeded generator drives every
choice, OpenCV runs single-threaded and x264 is run with one thread and
bit-exact flags.

Usage: /usr/bin/python3 generate.py OUT_DIR --set tune|check [--seed N] [--jobs N] [--only NAME]
Needs Debian's python3-opencv and python3-numpy, ffmpeg, and the pictures of
plasma-workspace-wallpapers and gnome-backgrounds.
"""
import argparse
import hashlib
import json
import multiprocessing
import os
import subprocess
import sys
import tempfile

try:
    import cv2
    import numpy as np
except ImportError as e:
    sys.exit("generate.py: %s; needs Debian's python3-opencv and python3-numpy (run it with /usr/bin/python3)" % e)

FPS = 25
# Pictures' width after loading; every framing samples from this copy.
PHOTO_WIDTH = 2560

# Every photograph of the packages, and the rendered pictures with detail over most of the frame
# (at least half of the 40 px blocks of a 640 px copy vary by more than 6 grey levels). The plain
# gradients and logos of desktop-base and the flat drawings are left out: a cut between two of
# them is hard to see for anyone.
POOL = [
    ("plasma-workspace-wallpapers", "/usr/share/wallpapers/Autumn/contents/images/2560x1600.jpg"),
    ("plasma-workspace-wallpapers", "/usr/share/wallpapers/BytheWater/contents/images/2560x1600.jpg"),
    ("plasma-workspace-wallpapers", "/usr/share/wallpapers/ColdRipple/contents/images/2560x1600.jpg"),
    ("plasma-workspace-wallpapers", "/usr/share/wallpapers/ColorfulCups/contents/images/2560x1600.jpg"),
    ("plasma-workspace-wallpapers", "/usr/share/wallpapers/DarkestHour/contents/images/2560x1600.jpg"),
    ("plasma-workspace-wallpapers", "/usr/share/wallpapers/EveningGlow/contents/images/2560x1600.jpg"),
    ("plasma-workspace-wallpapers", "/usr/share/wallpapers/FallenLeaf/contents/images/2560x1600.jpg"),
    ("plasma-workspace-wallpapers", "/usr/share/wallpapers/Grey/contents/images/2560x1600.jpg"),
    ("plasma-workspace-wallpapers", "/usr/share/wallpapers/Kite/contents/images/2560x1600.jpg"),
    ("plasma-workspace-wallpapers", "/usr/share/wallpapers/OneStandsOut/contents/images/2560x1600.jpg"),
    ("plasma-workspace-wallpapers", "/usr/share/wallpapers/Path/contents/images/2560x1600.jpg"),
    ("plasma-workspace-wallpapers", "/usr/share/wallpapers/Volna/contents/images/5120x2880.jpg"),
    ("plasma-workspace-wallpapers", "/usr/share/wallpapers/summer_1am/contents/images/2560x1600.jpg"),
    ("gnome-backgrounds", "/usr/share/backgrounds/gnome/wood-d.webp"),
    # Rendered pictures.
    ("gnome-backgrounds", "/usr/share/backgrounds/gnome/grid-d.webp"),
    ("gnome-backgrounds", "/usr/share/backgrounds/gnome/licorice-d.webp"),
    ("gnome-backgrounds", "/usr/share/backgrounds/gnome/pixels-d.webp"),
    ("gnome-backgrounds", "/usr/share/backgrounds/gnome/truchet-d.webp"),
    ("plasma-workspace-wallpapers", "/usr/share/wallpapers/Altai/contents/images/5120x2880.png"),
    ("plasma-workspace-wallpapers", "/usr/share/wallpapers/Canopee/contents/images/3840x2160.png"),
    ("plasma-workspace-wallpapers", "/usr/share/wallpapers/Flow/contents/images/5120x2880.jpg"),
    ("plasma-workspace-wallpapers", "/usr/share/wallpapers/Honeywave/contents/images/5120x2880.jpg"),
    ("plasma-workspace-wallpapers", "/usr/share/wallpapers/Patak/contents/images/5120x2880.png"),
    ("plasma-workspace-wallpapers", "/usr/share/wallpapers/SafeLanding/contents/images/5120x2880.jpg"),
    ("plasma-workspace-wallpapers", "/usr/share/wallpapers/Shell/contents/images/5120x2880.jpg"),
]

SETS = {"tune": 29, "check": 47}  # default seed of each set

SIZES = [(640, 360), (960, 540), (1280, 720)]


def fail(message):
    sys.exit("generate.py: " + message)


def split_pool():
    """{set: [POOL index]}: ranked by the SHA-256 of the path, every third picture is for checking."""
    ranked = sorted(range(len(POOL)), key=lambda i: hashlib.sha256(POOL[i][1].encode()).hexdigest())
    return {"check": sorted(ranked[0::3]), "tune": sorted(ranked[1::3] + ranked[2::3])}


def check_sources(indices):
    missing = sorted({POOL[i][0] for i in indices if not os.path.isfile(POOL[i][1])})
    if missing:
        fail("missing source pictures; install the Debian packages: " + " ".join(missing))


def load_photos(folder, indices):
    """Decodes each picture once, at PHOTO_WIDTH, into FOLDER as .npy files; {POOL index: path}."""
    paths = {}
    for i in indices:
        path = POOL[i][1]
        out = os.path.join(folder, "photo%02d.npy" % i)
        img = cv2.imread(path, cv2.IMREAD_COLOR)
        if img is None:
            fail("can not decode " + path)
        h = round(img.shape[0] * PHOTO_WIDTH / img.shape[1])
        np.save(out, cv2.resize(img, (PHOTO_WIDTH, h), interpolation=cv2.INTER_AREA))
        paths[i] = out
    return paths


# ---------------------------------------------------------------- camera paths

def smoothstep(x):
    x = np.clip(x, 0.0, 1.0)
    return x * x * (3 - 2 * x)


class Camera:
    """A camera path over one picture, evaluated at any (fractional) frame time.

    Offsets are in output pixels; the view scale maps them into the picture. With
    m["exact"] the start zoom is m["zoom0"] and the gain m["gain"] (a tripod that
    comes back to the same framing); "centre" is a fraction of the picture's size.
    """

    def __init__(self, rng, n, size, photo_shape, m):
        self.n, self.size, self.m = n, size, m
        w, h = size
        ph, pw = photo_shape[:2]
        # Picture pixels per output pixel at zoom 1: the view spans m["view"] of the picture width.
        self.scale = m["view"] * pw / w
        self.photo = (pw, ph)
        jitter = rng.uniform(0.95, 1.1)
        self.z0 = m.get("zoom0", 1.0) * (1.0 if m.get("exact") else jitter)
        self.z1 = self.z0 * rng.uniform(*m["zoom_change"])
        free_x = max(0.0, (pw - w * self.scale / min(self.z0, self.z1)) / 2)
        free_y = max(0.0, (ph - h * self.scale / min(self.z0, self.z1)) / 2)
        place = (rng.uniform(-0.8, 0.8), rng.uniform(-0.8, 0.8))
        if "centre" in m:
            self.c0 = np.array([m["centre"][0] * pw, m["centre"][1] * ph], float)
        else:
            self.c0 = np.array([pw / 2 + place[0] * free_x, ph / 2 + place[1] * free_y])
        pan = m["pan"] * w * n / FPS  # output pixels over the shot
        ang = rng.uniform(0, 2 * np.pi)
        self.pan = pan * np.array([np.cos(ang), np.sin(ang)]) * rng.uniform(0.5, 1.0)
        # Low-frequency drift: three sinusoids per axis (x, y, rotation).
        self.drift = [(rng.uniform(0.1, 0.9, 3), rng.uniform(0, 2 * np.pi, 3), m["drift"] * rng.uniform(0.5, 1, 3))
                      for _ in range(2)]
        self.rdrift = (rng.uniform(0.1, 0.6, 2), rng.uniform(0, 2 * np.pi, 2), m["rot"] * rng.uniform(0.5, 1, 2))
        # Jitter: random knots every 3 frames, linearly joined (about 8 Hz).
        k = n // 3 + 3
        self.jit_t = np.arange(k) * 3.0 - 3.0
        self.jit = rng.normal(0, m["jitter"], (3, k))
        self.jit[2] *= m["rot"] * 0.3 / max(m["jitter"], 1e-6)
        # Whip pans: fast displacements with eased start and stop.
        self.whips = []
        for _ in range(rng.poisson(m["whips"] * n / FPS)):
            dur = rng.uniform(3, 10)
            t0 = rng.uniform(0, max(1, n - dur))
            a = rng.uniform(0, 2 * np.pi)
            dist = rng.uniform(0.4, 1.0) * w
            self.whips.append((t0, dur, dist * np.cos(a), dist * np.sin(a) * 0.5))
        # Fast zooms (a push-in or pull-out over a few frames).
        self.zooms = []
        for _ in range(rng.poisson(m.get("fast_zooms", 0) * n / FPS)):
            self.zooms.append((rng.uniform(0, n), rng.uniform(6, 14), rng.choice([0.7, 1.4, 1.6])))
        # Exposure: slow drift, and a step when the auto exposure reacts to a whip.
        gain_jitter = rng.uniform(0.98, 1.02) if m.get("exact") else rng.uniform(0.9, 1.1)
        self.gain = m.get("gain", 1.0) * gain_jitter
        self.gdrift = (rng.uniform(0.05, 0.3), rng.uniform(0, 2 * np.pi), m["exposure"])

    def at(self, t):
        """Centre (picture px), zoom, rotation (degrees) and gain at frame time t (array)."""
        t = np.asarray(t, float)
        u = t / max(1, self.n - 1)
        secs = t / FPS
        off = np.zeros((2,) + t.shape)
        off += self.pan[:, None] * (u - 0.5) if t.ndim else self.pan * (u - 0.5)
        for ax in range(2):
            f, ph, a = self.drift[ax]
            off[ax] += sum(a[i] * np.sin(2 * np.pi * f[i] * secs + ph[i]) for i in range(3))
            off[ax] += np.interp(t, self.jit_t, self.jit[ax])
        for t0, dur, dx, dy in self.whips:
            s = smoothstep((t - t0) / dur)
            off[0] += dx * s
            off[1] += dy * s
        f, ph, a = self.rdrift
        rot = sum(a[i] * np.sin(2 * np.pi * f[i] * secs + ph[i]) for i in range(2)) + np.interp(t, self.jit_t, self.jit[2])
        zoom = self.z0 + (self.z1 - self.z0) * u
        for t0, dur, factor in self.zooms:
            zoom = zoom * (1 + (factor - 1) * smoothstep((t - t0) / dur))
        f, ph, a = self.gdrift
        gain = self.gain * (1 + a * np.sin(2 * np.pi * f * secs + ph))
        for t0, dur, _, _ in self.whips:
            gain = gain * (1 + 0.25 * smoothstep((t - t0 - dur) / 8) * (1 - smoothstep((t - t0 - dur - 15) / 20)))
        centre = self.c0[:, None] + off * self.scale if t.ndim else self.c0 + off * self.scale
        return centre, zoom, rot, gain

    def matrix(self, t):
        """Affine map from output pixels to picture pixels at time t (scalar)."""
        (cx, cy), zoom, rot, _ = self.at(t)
        w, h = self.size
        pw, ph = self.photo
        s = self.scale / zoom
        # Keep the view (and its rotated corners) inside the picture.
        half = 0.5 * np.hypot(w, h) * s
        cx = np.clip(cx, min(half, pw / 2), max(pw - half, pw / 2))
        cy = np.clip(cy, min(half, ph / 2), max(ph - half, ph / 2))
        r = np.deg2rad(rot)
        c, si = np.cos(r) * s, np.sin(r) * s
        return np.array([[c, -si, cx - c * w / 2 + si * h / 2], [si, c, cy - si * w / 2 - c * h / 2]])


class Occluder:
    """A large out-of-focus blob crossing close to the lens."""

    def __init__(self, rng, size, n):
        w, h = size
        self.dur = int(rng.integers(10, 31))
        self.t0 = int(rng.integers(0, max(1, n - self.dur)))
        r = int(h * rng.uniform(0.45, 0.8))
        mask = np.zeros((3 * r, 3 * r), np.float32)
        cv2.ellipse(mask, (3 * r // 2, 3 * r // 2), (r, int(r * rng.uniform(0.6, 1.0))), float(rng.uniform(0, 180)),
                    0, 360, 1.0, -1)
        self.mask = cv2.GaussianBlur(mask, (0, 0), r * 0.25) * rng.uniform(0.85, 1.0)
        colours = [(12, 12, 16), (40, 60, 95), (70, 110, 160), (30, 70, 35), (90, 40, 30)]
        self.colour = np.array(colours[int(rng.integers(len(colours)))], np.float32)
        a = rng.uniform(-0.4, 0.4)
        side = rng.choice([-1, 1])
        self.p0 = np.array([w / 2 - side * (w / 2 + 1.2 * r), h / 2 + rng.uniform(-0.3, 0.3) * h])
        self.p1 = np.array([w / 2 + side * (w / 2 + 1.2 * r), h / 2 + np.tan(a) * w])

    def apply(self, frame, i):
        if not self.t0 <= i < self.t0 + self.dur:
            return frame
        u = (i - self.t0 + 0.5) / self.dur
        x, y = self.p0 + (self.p1 - self.p0) * u
        h, w = frame.shape[:2]
        r3 = self.mask.shape[0]
        m = np.float32([[1, 0, x - r3 / 2], [0, 1, y - r3 / 2]])
        a = cv2.warpAffine(self.mask, m, (w, h), flags=cv2.INTER_LINEAR, borderValue=0)[..., None]
        return np.clip(frame * (1 - a) + self.colour * a, 0, 255).astype(np.uint8)


# ---------------------------------------------------------------- moving things

CLOTHES = [(40, 40, 160), (150, 60, 30), (30, 30, 30), (200, 200, 210), (60, 130, 60), (20, 90, 200),
           (120, 40, 120), (90, 160, 210), (50, 70, 110)]
SKIN = [(90, 120, 170), (60, 90, 140), (130, 160, 200), (40, 60, 90)]


def paste(frame, img, alpha, x, y):
    """Blends IMG (float32 BGR) with ALPHA (float32, HxWx1) onto FRAME (float32) at top-left (x, y)."""
    H, W = frame.shape[:2]
    h, w = img.shape[:2]
    x, y = int(round(x)), int(round(y))
    x0, y0, x1, y1 = max(0, x), max(0, y), min(W, x + w), min(H, y + h)
    if x0 >= x1 or y0 >= y1:
        return
    a = alpha[y0 - y:y1 - y, x0 - x:x1 - x]
    region = frame[y0:y1, x0:x1]
    region += (img[y0 - y:y1 - y, x0 - x:x1 - x] - region) * a


def bounce(p, length):
    """Position that travels along 0..length and reflects at both ends, for any distance p."""
    if length <= 0:
        return 0.0
    q = p % (2 * length)
    return q if q < length else 2 * length - q


def person(rng, height):
    """A people-like figure (head, body, legs) of HEIGHT pixels: (BGR float32, alpha float32)."""
    h = max(12, int(height))
    w = max(6, int(h * 0.42))
    img = np.zeros((h, w, 3), np.float32)
    mask = np.zeros((h, w), np.float32)
    top, legs = CLOTHES[int(rng.integers(len(CLOTHES)))], CLOTHES[int(rng.integers(len(CLOTHES)))]
    skin = SKIN[int(rng.integers(len(SKIN)))]
    head_r = max(2, int(h * 0.08))
    cx = w // 2
    cv2.circle(img, (cx, head_r + 1), head_r, skin, -1, cv2.LINE_AA)
    cv2.circle(mask, (cx, head_r + 1), head_r, 1.0, -1, cv2.LINE_AA)
    body = (cx - int(w * 0.36), 2 * head_r + 2, cx + int(w * 0.36), int(h * 0.58))
    cv2.rectangle(img, body[:2], body[2:], top, -1)
    cv2.rectangle(mask, body[:2], body[2:], 1.0, -1)
    for side in (-1, 1):
        x = cx + side * int(w * 0.17)
        leg = (x - int(w * 0.13), int(h * 0.56), x + int(w * 0.13), h - 1)
        cv2.rectangle(img, leg[:2], leg[2:], legs, -1)
        cv2.rectangle(mask, leg[:2], leg[2:], 1.0, -1)
    img += rng.normal(0, 8, img.shape).astype(np.float32)  # cloth texture
    img = cv2.GaussianBlur(img, (0, 0), 0.8)
    mask = cv2.GaussianBlur(mask, (0, 0), 0.8)
    return np.clip(img, 0, 255), mask[..., None]


def blob(rng, size, photo):
    """A small textured object (disc, square or leaf) cut from a picture: (BGR float32, alpha float32)."""
    s = max(4, int(size))
    ph, pw = photo.shape[:2]
    x, y = int(rng.integers(0, pw - 4 * s)), int(rng.integers(0, ph - 4 * s))
    img = cv2.resize(photo[y:y + 4 * s, x:x + 4 * s], (s, s), interpolation=cv2.INTER_AREA).astype(np.float32)
    img = img * rng.uniform(0.6, 1.4) + rng.uniform(-30, 30, 3)
    mask = np.zeros((s, s), np.float32)
    shape = int(rng.integers(3))
    if shape == 0:
        cv2.circle(mask, (s // 2, s // 2), s // 2, 1.0, -1, cv2.LINE_AA)
    elif shape == 1:
        mask[1:-1, 1:-1] = 1.0
    else:
        cv2.ellipse(mask, (s // 2, s // 2), (s // 2, max(1, s // 5)), float(rng.uniform(0, 180)), 0, 360, 1.0, -1,
                    cv2.LINE_AA)
    return np.clip(img, 0, 255), mask[..., None]


class Sprites:
    """Moving things composited over a shot; their paths depend only on the place's seed and the
    absolute clock, so shots of one place taken seconds apart show them elsewhere.

    style "people": 2-4 figures of 30-60 % of the frame height walking across, wrapping round;
    style "small": 25-60 small objects, each at its own velocity, bouncing off the frame's edges.
    """

    def __init__(self, place, size, photos):
        rng = np.random.default_rng(place["seed"])
        w, h = size
        self.size = size
        self.clock = place["clock"]
        self.items = []
        s = w / 640.0
        if place["style"] == "people":
            for _ in range(int(rng.integers(2, 5))):
                img, alpha = person(rng, h * rng.uniform(0.3, 0.6))
                feet = h * rng.uniform(0.75, 1.0)
                speed = rng.uniform(1.5, 3.5) * s * rng.choice([-1, 1])
                self.items.append(("walk", img, alpha, rng.uniform(0, w), feet - img.shape[0], speed,
                                   rng.uniform(0, 2 * np.pi)))
        else:
            photo = photos[place["photo"]]
            for _ in range(int(rng.integers(25, 61))):
                img, alpha = blob(rng, rng.uniform(0.015, 0.05) * w, photo)
                ang = rng.uniform(0, 2 * np.pi)
                speed = rng.uniform(1.0, 6.0) * s
                self.items.append(("bounce", img, alpha, rng.uniform(0, 1e4), rng.uniform(0, 1e4),
                                   speed * np.cos(ang), speed * np.sin(ang)))

    def apply(self, frame, i):
        t = self.clock + i
        w, h = self.size
        out = frame.astype(np.float32)
        for item in self.items:
            img, alpha = item[1], item[2]
            ih, iw = img.shape[:2]
            if item[0] == "walk":
                _, _, _, x0, y0, speed, phase = item
                span = w + 2 * iw
                x = (x0 + speed * t) % span - iw
                y = y0 + 0.02 * ih * np.sin(phase + t * abs(speed) * 0.15)
            else:
                _, _, _, x0, y0, vx, vy = item
                x, y = bounce(x0 + vx * t, w - iw), bounce(y0 + vy * t, h - ih)
            paste(out, img, alpha, x, y)
        return np.clip(out, 0, 255).astype(np.uint8)


class Layer:
    """A foreground strip of another picture (hills, a wall, a hedge) across the lower part of the
    frame, moving sideways at its own speed against the background."""

    def __init__(self, rng, size, photo):
        w, h = size
        lh = int(h * rng.uniform(0.35, 0.55))
        ph, pw = photo.shape[:2]
        lw = 3 * w
        band = min(ph, int(lh * pw / lw))  # the picture's own aspect
        y0 = int(rng.integers(0, ph - band + 1))
        self.img = cv2.resize(photo[y0:y0 + band], (lw, lh), interpolation=cv2.INTER_AREA).astype(np.float32)
        self.img *= rng.uniform(0.55, 0.9)  # the near layer is in shade
        if rng.random() < 0.5:
            self.img = cv2.GaussianBlur(self.img, (0, 0), rng.uniform(1.0, 2.5))  # out of focus
        # A wavy upper edge: a few sinusoids, periodic over the strip so that it wraps.
        x = np.arange(lw)
        edge = np.full(lw, lh * 0.35)
        for k in rng.integers(2, 12, 3):
            edge += lh * rng.uniform(0.04, 0.12) * np.sin(2 * np.pi * k * x / lw + rng.uniform(0, 2 * np.pi))
        ys = np.arange(lh)[:, None]
        self.alpha = np.clip(ys - edge[None, :] + 1, 0, 1).astype(np.float32)[..., None]
        self.y = h - lh
        # Output pixels per frame: far faster than the background, either way.
        self.speed = rng.uniform(0.25, 0.7) * w / FPS * rng.choice([-1, 1])
        self.x0 = rng.uniform(0, lw)

    def apply(self, frame, i):
        h, w = frame.shape[:2]
        lw = self.img.shape[1]
        cols = (np.arange(w) + int(round(self.x0 + self.speed * i))) % lw
        img, alpha = self.img[:, cols], self.alpha[:, cols]
        out = frame.astype(np.float32)
        region = out[self.y:]
        region += (img - region) * alpha
        return np.clip(out, 0, 255).astype(np.uint8)


class Ripple:
    """A water-like, non-rigid warp: three travelling waves displace the picture by a few pixels."""

    def __init__(self, rng, size):
        w, h = size
        s = w / 640.0
        self.gx, self.gy = np.meshgrid(np.arange(w, dtype=np.float32), np.arange(h, dtype=np.float32))
        self.waves = []
        for _ in range(3):
            length = rng.uniform(40, 180) * s
            ang = rng.uniform(0, 2 * np.pi)
            k = 2 * np.pi / length
            self.waves.append((np.float32(k * np.cos(ang)), np.float32(k * np.sin(ang)),
                               rng.uniform(1.5, 5.0) * s, rng.uniform(0.15, 0.5), rng.uniform(0, 2 * np.pi),
                               rng.uniform(0, 2 * np.pi)))

    def apply(self, frame, i):
        dx = np.zeros_like(self.gx)
        dy = np.zeros_like(self.gy)
        for kx, ky, amp, omega, p0, p1 in self.waves:
            phase = kx * self.gx + ky * self.gy - np.float32(omega * i)
            dx += np.float32(amp) * np.sin(phase + np.float32(p0))
            dy += np.float32(amp) * np.cos(phase + np.float32(p1))
        return cv2.remap(frame, self.gx + dx, self.gy + dy, cv2.INTER_LINEAR, borderMode=cv2.BORDER_REFLECT)


def flash_effect(frame, effect):
    """A flash: ("global",) lights the whole frame near white; ("local", cx, cy, rx, ry, amount)
    brightens a soft ellipse (a lamp, a spark, lightning behind a window)."""
    if effect[0] == "global":
        return cv2.convertScaleAbs(frame, alpha=0.3, beta=235)
    _, cx, cy, rx, ry, amount = effect
    h, w = frame.shape[:2]
    mask = np.zeros((h, w), np.float32)
    cv2.ellipse(mask, (int(cx * w), int(cy * h)), (int(rx * w), int(ry * h)), 0, 0, 360, 1.0, -1)
    mask = cv2.GaussianBlur(mask, (0, 0), 0.15 * rx * w)
    return np.clip(frame + amount * mask[..., None], 0, 255).astype(np.uint8)


# ---------------------------------------------------------------- rendering

class NoiseBank:
    """Sensor noise: a few fields drawn once per video, picked per frame at random.

    Held as the positive and negative parts in uint8 so that adding is two saturating adds.
    """

    def __init__(self, rng, size, sigma, count=12):
        w, h = size
        self.fields = []
        for _ in range(count):
            n = rng.normal(0, sigma, (h, w, 3))
            self.fields.append((np.clip(n, 0, 255).astype(np.uint8), np.clip(-n, 0, 255).astype(np.uint8)))
        self.rng = rng

    def add(self, frame):
        pos, neg = self.fields[int(self.rng.integers(len(self.fields)))]
        return cv2.subtract(cv2.add(frame, pos), neg)


class ShotRenderer:
    def __init__(self, rng, shot, size, photos, noise):
        self.rng = rng
        self.size = size
        self.photo = photos[shot["photo"]]
        m = shot["motion"]
        self.cam = Camera(rng, shot["frames"], size, self.photo.shape, m)
        self.noise = noise(m["noise"])
        self.occluders = [Occluder(rng, size, shot["frames"]) for _ in range(shot.get("occluders", 0))]
        self.flashes = {i: tuple(e) for i, e in shot.get("flashes", [])}
        self.ripple = Ripple(rng, size) if shot.get("ripple") else None
        self.layer = Layer(rng, size, photos[shot["layer"]]) if "layer" in shot else None
        self.sprites = Sprites(shot["sprites"], size, photos) if "sprites" in shot else None
        gamma = m.get("gamma", 1.0)
        self.lut = None if gamma == 1.0 else np.clip(255.0 * (np.arange(256) / 255.0) ** gamma, 0, 255).astype(np.uint8)

    def frame(self, i):
        w, h = self.size
        cam = self.cam
        # Blur along the motion: average sub-frame views over a half-frame shutter.
        a, b = cam.matrix(i - 0.25), cam.matrix(i + 0.25)
        corners = np.array([[0, 0, 1], [w, 0, 1], [0, h, 1], [w, h, 1]], float).T
        move = np.abs((a - b) @ corners).max() / (cam.scale / cam.at(i)[1])
        k = int(np.clip(np.ceil(move / 3), 1, 8))
        acc = None
        for j in range(k):
            t = i - 0.25 + 0.5 * (j + 0.5) / k if k > 1 else i
            img = cv2.warpAffine(self.photo, cam.matrix(t), (w, h), flags=cv2.INTER_LINEAR | cv2.WARP_INVERSE_MAP,
                                 borderMode=cv2.BORDER_REFLECT)
            acc = img if k == 1 else (img.astype(np.uint16) if acc is None else cv2.add(acc, img, dtype=cv2.CV_16U))
        out = cv2.convertScaleAbs(acc, alpha=float(cam.at(i)[3]) / k)
        if self.lut is not None:
            out = cv2.LUT(out, self.lut)
        if self.ripple is not None:
            out = self.ripple.apply(out, i)
        if self.sprites is not None:
            out = self.sprites.apply(out, i)
        if self.layer is not None:
            out = self.layer.apply(out, i)
        for occ in self.occluders:
            out = occ.apply(out, i)
        if i in self.flashes:
            out = flash_effect(out, self.flashes[i])
        return self.noise.add(out)


ANIM_PALETTE = [(40, 40, 200), (30, 160, 240), (60, 200, 60), (200, 120, 30), (170, 50, 150), (240, 240, 240),
                (20, 20, 20), (120, 200, 230), (80, 80, 120), (200, 200, 60), (60, 90, 30), (230, 150, 190)]


class AnimRenderer:
    """Flat-coloured animation: a two-tone background, shapes drifting about, and every 10-40
    frames a large shape that sweeps across the whole frame in 8-30 frames; in some shots a
    school of small fish-like shapes swimming across, each crossing in 12-40 frames. As in
    cartoons, a drawing is held for shot["hold"] frames (1, 2 or 3)."""

    def __init__(self, rng, shot, size):
        w, h = size
        n = shot["frames"]
        self.size = size
        self.flashes = {}
        sky, ground = shot["anim"]
        self.sky, self.ground = ANIM_PALETTE[sky], ANIM_PALETTE[ground]
        self.horizon = (rng.uniform(0.45, 0.8) * h, rng.uniform(-0.3, 0.3))
        others = [ANIM_PALETTE[c] for c in rng.permutation(len(ANIM_PALETTE)) if c not in (sky, ground)]
        self.shapes = []
        for _ in range(int(rng.integers(2, 5))):  # drifting shapes
            r = rng.uniform(0.06, 0.18) * h
            self.shapes.append(dict(kind=int(rng.integers(3)), colour=others[int(rng.integers(len(others)))],
                                    r=r, sweep=False, t0=0, dur=n, p=(rng.uniform(0, w), rng.uniform(0, h)),
                                    v=(rng.uniform(-3, 3) * w / 640, rng.uniform(-2, 2) * w / 640),
                                    spin=rng.uniform(-0.05, 0.05)))
        t = float(rng.integers(0, 20))
        while t < n:  # sweeping shapes
            r = rng.uniform(0.25, 0.6) * h
            dur = rng.uniform(8, 30)
            ang = rng.uniform(0, 2 * np.pi)
            d = np.array([np.cos(ang), np.sin(ang)])
            reach = 0.5 * np.hypot(w, h) + r
            c = np.array([w / 2, h / 2]) + rng.uniform(-0.25, 0.25, 2) * (w, h)
            self.shapes.append(dict(kind=int(rng.integers(3)), colour=others[int(rng.integers(len(others)))],
                                    r=r, sweep=True, t0=t, dur=dur, p=tuple(c - d * reach),
                                    v=tuple(2 * d * reach / dur),
                                    spin=rng.uniform(-0.1, 0.1)))
            t += rng.uniform(10, 40)
        self.hold = shot.get("hold", 1)
        self.fish = []
        for _ in range(shot.get("school", 0)):
            r = rng.uniform(0.03, 0.07) * h
            speed = rng.uniform(1 / 40, 1 / 12) * (w + 4 * r) * (1 if rng.random() < 0.5 else -1)
            self.fish.append(dict(r=r, v=speed, x0=rng.uniform(0, w + 4 * r), y=rng.uniform(0.1, 0.9) * h,
                                  colour=others[int(rng.integers(len(others)))]))

    def frame(self, i):
        i -= i % self.hold
        w, h = self.size
        out = np.empty((h, w, 3), np.uint8)
        out[:] = self.sky
        y0, tilt = self.horizon
        ground = np.array([[0, y0 - tilt * w / 2], [w, y0 + tilt * w / 2], [w, h], [0, h]], np.int32)
        cv2.fillPoly(out, [ground], self.ground, cv2.LINE_AA)
        for s in self.shapes:
            if not s["t0"] <= i <= s["t0"] + s["dur"]:
                continue
            dt = i - s["t0"]
            x, y = s["p"][0] + s["v"][0] * dt, s["p"][1] + s["v"][1] * dt
            if not s["sweep"]:
                x, y = bounce(x, w), bounce(y, h)
            r, a = s["r"], s["spin"] * dt
            if s["kind"] == 0:
                cv2.circle(out, (int(x), int(y)), int(r), s["colour"], -1, cv2.LINE_AA)
                cv2.circle(out, (int(x), int(y)), int(r), (15, 15, 15), 3, cv2.LINE_AA)
            else:
                corners = 3 if s["kind"] == 1 else 4
                angles = a + np.arange(corners) * 2 * np.pi / corners
                pts = np.stack([x + r * np.cos(angles), y + r * np.sin(angles)], 1).astype(np.int32)
                cv2.fillPoly(out, [pts], s["colour"], cv2.LINE_AA)
                cv2.polylines(out, [pts], True, (15, 15, 15), 3, cv2.LINE_AA)
        for f in self.fish:
            r, span = f["r"], w + 4 * f["r"]
            x, y = (f["x0"] + f["v"] * i) % span - 2 * r, f["y"]
            back = -1 if f["v"] > 0 else 1
            cv2.ellipse(out, (int(x), int(y)), (int(r), int(r / 2)), 0, 0, 360, f["colour"], -1, cv2.LINE_AA)
            tail = np.array([[x + back * 0.8 * r, y], [x + back * 1.6 * r, y - r / 2], [x + back * 1.6 * r, y + r / 2]],
                            np.int32)
            cv2.fillPoly(out, [tail], f["colour"], cv2.LINE_AA)
        return out


def make_renderer(rng, shot, size, photos, noise):
    if "anim" in shot:
        return AnimRenderer(rng, shot, size)
    return ShotRenderer(rng, shot, size, photos, noise)


def xfade(tail, head, transition, tmp):
    """Runs ffmpeg's xfade over two equal-length clips; returns the transition's frames."""
    d, h, w = tail.shape[:3]
    a, b = os.path.join(tmp, "a.raw"), os.path.join(tmp, "b.raw")
    tail.tofile(a)
    head.tofile(b)
    raw = ["-f", "rawvideo", "-pix_fmt", "bgr24", "-s", "%dx%d" % (w, h), "-r", str(FPS)]
    cmd = (["ffmpeg", "-nostdin", "-v", "error", "-filter_threads", "1"] + raw + ["-i", a] + raw + ["-i", b] +
           ["-filter_complex", "[0][1]xfade=transition=%s:duration=%g:offset=0,format=bgr24" % (transition, d / FPS),
            "-f", "rawvideo", "-pix_fmt", "bgr24", "-"])
    out = subprocess.run(cmd, capture_output=True, check=True).stdout
    frames = np.frombuffer(out, np.uint8).reshape(-1, h, w, 3)
    if len(frames) != d:
        fail("xfade gave %d frames, expected %d" % (len(frames), d))
    return frames


def ramp(frames, rising):
    """Fades FRAMES in from black (RISING) or out to black, none of them fully black or full."""
    n = len(frames)
    out = []
    for j, f in enumerate(frames):
        g = (j + 1) / (n + 1)
        out.append(cv2.convertScaleAbs(f, alpha=g if rising else 1 - g))
    return out


def render_video(job):
    plan, photo_files, out_dir = job
    cv2.setNumThreads(1)
    name, (w, h) = plan["name"], plan["size"]
    rng = np.random.default_rng(plan["seed"])
    used = set()
    for s in plan["shots"]:
        used |= {s[k] for k in ("photo", "layer") if k in s}
        if "sprites" in s and "photo" in s["sprites"]:
            used.add(s["sprites"]["photo"])
    photos = {i: np.load(photo_files[i]) for i in used}
    banks = {}

    def noise(sigma):
        if sigma not in banks:
            banks[sigma] = NoiseBank(rng, (w, h), sigma)
        return banks[sigma]

    enc_opts = plan.get("encode", {})
    x264 = ["-crf", str(enc_opts.get("crf", 20))]
    if enc_opts.get("no_deblock"):
        x264 += ["-x264-params", "no-deblock=1"]
    path = os.path.join(out_dir, name + ".mp4")
    part = path + ".part.mp4"
    enc = subprocess.Popen(
        ["ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "rawvideo", "-pix_fmt", "bgr24", "-s", "%dx%d" % (w, h),
         "-r", str(FPS), "-i", "-", "-c:v", "libx264", "-preset", "veryfast"] + x264 +
        ["-g", "50", "-keyint_min", "50", "-sc_threshold", "0", "-threads", "1", "-pix_fmt", "yuv420p",
         "-fflags", "+bitexact", "-flags:v", "+bitexact", "-map_metadata", "-1", "-movflags", "+faststart", part],
        stdin=subprocess.PIPE)
    written = 0
    boundaries, flashes = [], []
    shots = plan["shots"]
    fade_in, fade_out = plan.get("fade_in", 0), plan.get("fade_out", 0)

    def write(frames):
        nonlocal written
        for f in frames:
            enc.stdin.write(np.ascontiguousarray(f).tobytes())
            written += 1

    with tempfile.TemporaryDirectory() as tmp:
        carried, carried_frames = None, 0  # the next shot's renderer, when its first frames went into a transition
        for k, shot in enumerate(shots):
            r, start = (carried, carried_frames) if carried else (make_renderer(rng, shot, (w, h), photos, noise), 0)
            carried = None
            join = shot.get("join")  # how the shot ends: None (last shot), or a dict whose "how" says
            n = shot["frames"]
            end = n - (join["tail"] if join else 0)
            for i in range(start, end):
                f = r.frame(i)
                if k == 0 and i < fade_in:  # the video opens with a fade in: no boundary
                    f = cv2.convertScaleAbs(f, alpha=(i + 1) / (fade_in + 1))
                if join is None and i >= n - fade_out:  # and may close with a fade out
                    f = cv2.convertScaleAbs(f, alpha=(n - i) / (fade_out + 1))
                if i in r.flashes:
                    flashes.append(written + 1)
                write([f])
            if join is None:
                continue
            if join["how"] == "cut":
                boundaries.append(dict({"type": "cut", "first": written, "last": written + 1},
                                       **({"jump": True} if join.get("jump") else {})))
                continue
            carried = make_renderer(rng, shots[k + 1], (w, h), photos, noise)
            carried_frames = join["head"]
            tail = [r.frame(i) for i in range(end, n)]
            head = [carried.frame(i) for i in range(join["head"])]
            first = written + 1
            if join["how"] == "xfade":
                write(xfade(np.stack(tail), np.stack(head), join["xfade"], tmp))
                boundaries.append({"type": join["type"], "first": first, "last": written, "xfade": join["xfade"]})
            else:  # a fade out to black, black, a fade in: one transition
                write(ramp(tail, False))
                write([np.zeros((h, w, 3), np.uint8)] * join["black"])
                write(ramp(head, True))
                boundaries.append({"type": "dissolve", "first": first, "last": written, "effect": "fade_out_in",
                                   "black": join["black"]})
        enc.stdin.close()
    if enc.wait() != 0:
        fail("ffmpeg failed on " + name)
    os.replace(part, path)
    truth = {"fps": FPS, "frames": written, "boundaries": boundaries, "kind": plan["kind"], "set": plan["set"],
             "size": [w, h], "seed": plan["seed"], "flashes": flashes,
             "photos": [POOL[s["photo"]][1] if "photo" in s else "animation" for s in shots]}
    if enc_opts:
        truth["encode"] = enc_opts
    with open(os.path.join(out_dir, name + ".truth.json"), "w") as f:
        json.dump(truth, f, indent=1)
        f.write("\n")
    return name, written


# ---------------------------------------------------------------- the videos

# Camera profiles. Offsets in output pixels; pan in frame widths per second.
STEADY = dict(view=0.55, zoom_change=(1.0, 1.12), pan=0.03, drift=1.0, jitter=0.2, rot=0.05, whips=0,
              exposure=0.02, noise=1.5)
MODERATE = dict(view=0.5, zoom_change=(0.95, 1.15), pan=0.05, drift=6.0, jitter=1.5, rot=0.5, whips=0.08,
                exposure=0.06, noise=2.5)
HANDHELD = dict(view=0.5, zoom_change=(0.9, 1.25), pan=0.08, drift=14.0, jitter=3.0, rot=1.2, whips=0.35,
                fast_zooms=0.1, exposure=0.12, noise=3.0)
DARK = dict(MODERATE, gain=0.3, gamma=1.3, noise=5.0)
GRADUAL = dict(view=0.55, zoom_change=(0.95, 1.1), pan=0.04, drift=2.0, jitter=0.4, rot=0.1, whips=0,
               exposure=0.03, noise=2.0)
TRIPOD = dict(view=0.55, zoom_change=(1.0, 1.0), pan=0.0, drift=0.6, jitter=0.15, rot=0.02, whips=0,
              exposure=0.01, noise=2.0, exact=True)
MOVING = dict(MODERATE, pan=0.15, drift=8.0, whips=0.04)  # a steady pan or track, as under a transition

WIPES = ["wipeleft", "wiperight", "wipeup", "wipedown"]

KINDS = ["steady", "motion_handheld", "occluder", "flash", "dark", "same_place", "one_second", "gradual",
         "dip", "fade_out_in", "jump_cut", "cut_in", "moving_gradual", "layered", "many_objects", "ripple",
         "animation", "flicker", "low_bitrate"]
PER_KIND = 3


def pick(rng, pool, previous=None):
    choices = [i for i in pool if i != previous]
    return int(choices[int(rng.integers(len(choices)))])


def frames_of(rng, seconds):
    return int(rng.integers(round(seconds[0] * FPS), round(seconds[1] * FPS) + 1))


def plain_shots(rng, pool, count, seconds, motion):
    shots, prev = [], None
    for _ in range(count):
        prev = pick(rng, pool, prev)
        shots.append({"photo": prev, "frames": frames_of(rng, seconds), "motion": dict(motion)})
    return shots


def same_place_shots(rng, pool, count):
    """Places, each cut between a wide framing and a close-up of another region."""
    shots = []
    place = None
    while len(shots) < count:
        place = pick(rng, pool, place)
        wide = [0.5 + rng.uniform(-0.1, 0.1), 0.5 + rng.uniform(-0.08, 0.08)]
        ang = rng.uniform(0, 2 * np.pi)
        close = [wide[0] + 0.22 * np.cos(ang), wide[1] + 0.15 * np.sin(ang)]
        for j in range(int(rng.integers(3, 6))):
            framing = dict(MODERATE, centre=wide, zoom0=1.0) if j % 2 == 0 else \
                dict(MODERATE, centre=close, zoom0=float(rng.uniform(1.6, 2.2)))
            shots.append({"photo": place, "frames": frames_of(rng, (2.5, 5)), "motion": framing})
    return shots[:count]


def cut_in_shots(rng, pool, count):
    """Places, each cut between framings of one centre, each 1.5-2.5x closer or wider than the last."""
    shots, place = [], None
    while len(shots) < count:
        place = pick(rng, pool, place)
        centre = [0.5 + rng.uniform(-0.12, 0.12), 0.5 + rng.uniform(-0.1, 0.1)]
        close = rng.random() < 0.5
        for j in range(int(rng.integers(3, 5))):
            close = not close  # wide and close in turn: each cut is 1.5-2.5x in or out
            zoom = float(rng.uniform(1.5, 2.5)) if close else 1.0
            framing = dict(MODERATE, centre=centre, zoom0=zoom, exact=True, zoom_change=(0.98, 1.03), drift=3.0,
                           whips=0)
            shots.append({"photo": place, "frames": frames_of(rng, (2.5, 4.5)), "motion": framing})
    return shots[:count]


def jump_cut_shots(rng, pool, count):
    """Places filmed from one tripod position; shots of a place are seconds apart on the place's
    clock, so the walking figures are elsewhere after each jump cut."""
    shots, place = [], None
    while len(shots) < count:
        place = pick(rng, pool, place)
        framing = dict(TRIPOD, centre=[0.5 + rng.uniform(-0.15, 0.15), 0.5 + rng.uniform(-0.1, 0.1)],
                       zoom0=float(rng.uniform(1.0, 1.4)))
        seed = int(rng.integers(1 << 30))
        clock = 0
        for _ in range(int(rng.integers(3, 5))):
            n = frames_of(rng, (2, 4))
            shots.append({"photo": place, "frames": n, "motion": framing,
                          "join": {"how": "cut", "tail": 0, "head": 0, "jump": True},
                          "sprites": {"style": "people", "seed": seed, "clock": clock}})
            clock += n + frames_of(rng, (3, 8))
        shots[-1]["join"] = {"how": "cut", "tail": 0, "head": 0}  # to the next place
    return shots[:count]


def flicker_events(rng, n):
    """[(frame, effect)]: local flashes and strobes, each flash one or two frames, 15 frames from the ends."""
    events = []
    for _ in range(int(rng.integers(2, 4))):
        start = int(rng.integers(15, max(16, n - 40)))
        if rng.random() < 0.5:
            effect = ["local", rng.uniform(0.2, 0.8), rng.uniform(0.2, 0.6), rng.uniform(0.1, 0.25),
                      rng.uniform(0.1, 0.3), rng.uniform(120, 220)]
        else:
            effect = ["global"]
        if rng.random() < 0.5:  # a strobe: 3-6 flashes with 2-4 dark frames between
            t = start
            for _ in range(int(rng.integers(3, 7))):
                length = int(rng.integers(1, 3))
                events += [(t + j, effect) for j in range(length)]
                t += length + int(rng.integers(2, 5))
        else:
            events += [(start + j, effect) for j in range(int(rng.integers(1, 3)))]
    seen, out = set(), []
    for t, e in sorted(events, key=lambda x: x[0]):
        if t not in seen and t < n - 15:
            seen.add(t)
            out.append((t, e))
    return out


def join_shots(rng, kind, shots):
    """Sets each shot's "join" (how it ends) and lengthens shots so that at least 2 s of each stands
    alone between its transitions."""
    incoming = 0
    for k, s in enumerate(shots[:-1]):
        r = rng.random()
        if kind in ("gradual", "moving_gradual") and r < 0.8:
            d = int(rng.integers(13, 38))  # 0.5-1.5 s
            if rng.random() < 0.5:
                s["join"] = {"how": "xfade", "type": "dissolve", "xfade": "fade", "tail": d, "head": d}
            else:
                s["join"] = {"how": "xfade", "type": "wipe", "xfade": WIPES[int(rng.integers(len(WIPES)))],
                             "tail": d, "head": d}
        elif kind == "dip" and r < 0.75:
            d = int(rng.integers(8, 31))  # shorter than 8 frames is a flash
            s["join"] = {"how": "xfade", "type": "dissolve", "xfade": ["fadeblack", "fadewhite"][int(rng.integers(2))],
                         "tail": d, "head": d}
        elif kind == "fade_out_in" and r < 0.7:
            s["join"] = {"how": "fade", "tail": int(rng.integers(8, 26)), "black": int(rng.integers(0, FPS + 1)),
                         "head": int(rng.integers(8, 26))}
        elif kind == "low_bitrate" and r < 0.3:
            d = int(rng.integers(13, 38))
            s["join"] = {"how": "xfade", "type": "dissolve", "xfade": "fade", "tail": d, "head": d}
        else:
            s["join"] = {"how": "cut", "tail": 0, "head": 0}
        if incoming or s["join"]["tail"]:
            s["frames"] = max(s["frames"], incoming + s["join"]["tail"] + 2 * FPS)
        incoming = s["join"]["head"]
    shots[-1]["join"] = None
    if incoming:
        shots[-1]["frames"] = max(shots[-1]["frames"], incoming + 2 * FPS)


def video_plans(which, seed):
    """PER_KIND videos per kind, sizes cycling through SIZES; each about 25-40 s."""
    pool = split_pool()[which]
    plans = []
    for kk, kind in enumerate(KINDS):
        for v in range(PER_KIND):
            index = PER_KIND * kk + v
            rng = np.random.default_rng([seed, index, 0])
            extra = {}
            if kind == "steady":
                shots = plain_shots(rng, pool, 7, (3, 6), STEADY)
            elif kind == "motion_handheld":
                shots = plain_shots(rng, pool, 6, (4, 7), HANDHELD)
            elif kind == "occluder":
                shots = plain_shots(rng, pool, 6, (4, 7), MODERATE)
                for s in shots:
                    s["occluders"] = int(rng.integers(1, 3))
            elif kind == "flash":
                shots = plain_shots(rng, pool, 6, (4, 6), MODERATE)
                for s in shots:
                    s["flashes"] = [(int(x), ["global"]) for x in
                                    sorted(rng.choice(np.arange(15, s["frames"] - 15), int(rng.integers(1, 4)),
                                                      replace=False))]
            elif kind == "dark":
                shots = plain_shots(rng, pool, 7, (3, 6), DARK)
            elif kind == "same_place":
                shots = same_place_shots(rng, pool, 9)
            elif kind == "one_second":
                shots = plain_shots(rng, pool, 30, (1, 1), MODERATE)
            elif kind == "gradual":
                shots = plain_shots(rng, pool, 8, (3, 5), GRADUAL)
            elif kind in ("dip", "fade_out_in"):
                shots = plain_shots(rng, pool, 7, (3, 5), MODERATE)
                if kind == "fade_out_in":
                    extra = {"fade_in": int(rng.integers(12, 26)), "fade_out": int(rng.integers(12, 26))}
            elif kind == "jump_cut":
                shots = jump_cut_shots(rng, pool, 10)
            elif kind == "cut_in":
                shots = cut_in_shots(rng, pool, 9)
            elif kind == "moving_gradual":
                shots = plain_shots(rng, pool, 7, (3, 5), MOVING)
                for s in shots:
                    if rng.random() < 0.5:
                        s["sprites"] = {"style": "people", "seed": int(rng.integers(1 << 30)), "clock": 0}
            elif kind == "layered":
                shots = plain_shots(rng, pool, 6, (4, 6), dict(STEADY, pan=0.04, drift=2.0))
                for s in shots:
                    s["layer"] = pick(rng, pool, s["photo"])
            elif kind == "many_objects":
                shots = plain_shots(rng, pool, 6, (4, 6), dict(STEADY, drift=2.0))
                for s in shots:
                    s["sprites"] = {"style": "small", "seed": int(rng.integers(1 << 30)), "clock": 0,
                                    "photo": pick(rng, pool, s["photo"])}
            elif kind == "ripple":
                shots = plain_shots(rng, pool, 6, (4, 6), dict(STEADY, drift=1.5))
                for s in shots:
                    s["ripple"] = True
            elif kind == "animation":
                shots, previous = [], set()
                for _ in range(6):  # each shot's sky and ground colours differ from the last shot's
                    pair = [int(c) for c in rng.choice(len(ANIM_PALETTE), 2, replace=False)]
                    while previous & set(pair):
                        pair = [int(c) for c in rng.choice(len(ANIM_PALETTE), 2, replace=False)]
                    previous = set(pair)
                    shots.append({"anim": pair, "frames": frames_of(rng, (4, 7))})
                for s in shots:  # drawn on ones, twos or threes; half with a school of fish
                    s["hold"] = int(rng.choice([1, 2, 2, 3]))
                    s["school"] = int(rng.choice([0, 8, 14]))
            elif kind == "flicker":
                shots = plain_shots(rng, pool, 6, (4, 6), MODERATE)
                for s in shots:
                    s["flashes"] = flicker_events(rng, s["frames"])
            else:  # low_bitrate
                shots = plain_shots(rng, pool, 7, (3, 5), MODERATE)
                for s in shots:
                    if rng.random() < 0.4:
                        s["sprites"] = {"style": "people", "seed": int(rng.integers(1 << 30)), "clock": 0}
                extra = {"encode": {"crf": int(rng.integers(38, 44)), "no_deblock": True}}
            if kind == "jump_cut":
                shots[-1]["join"] = None
            else:
                join_shots(rng, kind, shots)
            plans.append(dict({"name": "%s_%d" % (kind, v + 1), "kind": kind, "set": which,
                               "size": SIZES[index % 3], "seed": [seed, index, 1], "shots": shots}, **extra))
    return plans


def main():
    ap = argparse.ArgumentParser(description="Make the accuracy bench's labelled videos.")
    ap.add_argument("out_dir")
    ap.add_argument("--set", required=True, choices=sorted(SETS), dest="which")
    ap.add_argument("--seed", type=int, help="default: 29 for tune, 47 for check")
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--only", action="append", help="make only this video (repeatable)")
    args = ap.parse_args()
    seed = SETS[args.which] if args.seed is None else args.seed
    plans = video_plans(args.which, seed)
    if args.only:
        plans = [s for s in plans if s["name"] in args.only]
        if not plans:
            fail("no video named " + ", ".join(args.only))
    used = sorted({i for p in plans for s in p["shots"] for i in
                   [s.get("photo"), s.get("layer"), s.get("sprites", {}).get("photo")] if i is not None})
    check_sources(used)
    os.makedirs(args.out_dir, exist_ok=True)
    with tempfile.TemporaryDirectory() as tmp:
        photos = load_photos(tmp, used)
        jobs = [(s, photos, args.out_dir) for s in plans]
        with multiprocessing.Pool(args.jobs) as pool:
            for name, frames in pool.imap_unordered(render_video, jobs):
                print("%s: %d frames" % (name, frames), flush=True)


if __name__ == "__main__":
    main()

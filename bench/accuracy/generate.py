#!/usr/bin/python3
"""Makes the accuracy bench's labelled videos from photographs.

Each shot is a moving virtual camera over one photograph: pans, zooms, handheld
shake (low-frequency drift plus jitter), whip pans, rotation, motion blur along
the motion, sensor noise and exposure drift; some shots get an out-of-focus
occluder crossing close to the lens or a one-frame flash. Shots are joined by
hard cuts or by ffmpeg's xfade (dissolves and wipes). Each VIDEO.mp4 gets a
VIDEO.truth.json whose boundaries are known by construction.

The same seed gives the same bytes: numpy's seeded generator drives every
choice, OpenCV runs single-threaded and x264 is run with one thread and
bit-exact flags.

Usage: /usr/bin/python3 generate.py OUT_DIR [--seed N] [--jobs N] [--only NAME]
Needs Debian's python3-opencv and python3-numpy, ffmpeg, and the photographs of
plasma-workspace-wallpapers and gnome-backgrounds.
"""
import argparse
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
# Photographs width after loading; every framing samples from this copy.
PHOTO_WIDTH = 2560

# A fixed sorted list of (package, file): photographs and one photographic texture (wood), no drawings.
PHOTOS = [
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
]

SIZES = [(640, 360), (960, 540), (1280, 720)]


def fail(message):
    sys.exit("generate.py: " + message)


def check_sources():
    missing = sorted({pkg for pkg, path in PHOTOS if not os.path.isfile(path)})
    if missing:
        fail("missing source photographs; install the Debian packages: " + " ".join(missing))


def load_photos(folder):
    """Decodes each photograph once, at PHOTO_WIDTH, into FOLDER as .npy files."""
    paths = []
    for i, (_, path) in enumerate(PHOTOS):
        out = os.path.join(folder, "photo%02d.npy" % i)
        img = cv2.imread(path, cv2.IMREAD_COLOR)
        if img is None:
            fail("can not decode " + path)
        h = round(img.shape[0] * PHOTO_WIDTH / img.shape[1])
        np.save(out, cv2.resize(img, (PHOTO_WIDTH, h), interpolation=cv2.INTER_AREA))
        paths.append(out)
    return paths


# ---------------------------------------------------------------- camera paths

def smoothstep(x):
    x = np.clip(x, 0.0, 1.0)
    return x * x * (3 - 2 * x)


class Camera:
    """A camera path over one photograph, evaluated at any (fractional) frame time.

    Offsets are in output pixels; the view scale maps them into the photograph.
    """

    def __init__(self, rng, n, size, photo_shape, m):
        self.n, self.size, self.m = n, size, m
        w, h = size
        ph, pw = photo_shape[:2]
        # Photo pixels per output pixel at zoom 1: the view spans m["view"] of the photo width.
        self.scale = m["view"] * pw / w
        self.photo = (pw, ph)
        self.z0 = m.get("zoom0", 1.0) * rng.uniform(0.95, 1.1)
        self.z1 = self.z0 * rng.uniform(*m["zoom_change"])
        free_x = max(0.0, (pw - w * self.scale / min(self.z0, self.z1)) / 2)
        free_y = max(0.0, (ph - h * self.scale / min(self.z0, self.z1)) / 2)
        if "centre" in m:
            self.c0 = np.array(m["centre"], float)
        else:
            self.c0 = np.array([pw / 2 + rng.uniform(-0.8, 0.8) * free_x, ph / 2 + rng.uniform(-0.8, 0.8) * free_y])
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
        self.gain = m.get("gain", 1.0) * rng.uniform(0.9, 1.1)
        self.gdrift = (rng.uniform(0.05, 0.3), rng.uniform(0, 2 * np.pi), m["exposure"])

    def at(self, t):
        """Centre (photo px), zoom, rotation (degrees) and gain at frame time t (array)."""
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
        """Affine map from output pixels to photo pixels at time t (scalar)."""
        (cx, cy), zoom, rot, _ = self.at(t)
        w, h = self.size
        pw, ph = self.photo
        s = self.scale / zoom
        # Keep the view (and its rotated corners) inside the photograph.
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
        self.flashes = shot.get("flashes", [])
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
        for occ in self.occluders:
            out = occ.apply(out, i)
        if i in self.flashes:
            out = cv2.convertScaleAbs(out, alpha=0.3, beta=235)
        return self.noise.add(out)


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


def render_video(job):
    plan, photo_files, out_dir = job
    cv2.setNumThreads(1)
    name, (w, h) = plan["name"], plan["size"]
    rng = np.random.default_rng(plan["seed"])
    photos = {i: np.load(photo_files[i]) for i in {s["photo"] for s in plan["shots"]}}
    banks = {}

    def noise(sigma):
        if sigma not in banks:
            banks[sigma] = NoiseBank(rng, (w, h), sigma)
        return banks[sigma]

    path = os.path.join(out_dir, name + ".mp4")
    part = path + ".part.mp4"
    enc = subprocess.Popen(
        ["ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "rawvideo", "-pix_fmt", "bgr24", "-s", "%dx%d" % (w, h),
         "-r", str(FPS), "-i", "-", "-c:v", "libx264", "-preset", "veryfast", "-crf", "20", "-g", "50",
         "-keyint_min", "50", "-sc_threshold", "0", "-threads", "1", "-pix_fmt", "yuv420p",
         "-fflags", "+bitexact", "-flags:v", "+bitexact", "-map_metadata", "-1", "-movflags", "+faststart", part],
        stdin=subprocess.PIPE)
    written = 0
    boundaries, flashes = [], []
    shots = plan["shots"]
    with tempfile.TemporaryDirectory() as tmp:
        carried, carried_frames = None, 0  # the next shot's renderer, when its first frames went into a transition
        for k, shot in enumerate(shots):
            r, start = (carried, carried_frames) if carried else (ShotRenderer(rng, shot, (w, h), photos, noise), 0)
            carried = None
            join = shot.get("join")  # how the shot ends: None (last), ["cut"] or [type, frames, xfade name]
            n = shot["frames"]
            end = n - (join[1] if join and join[0] != "cut" else 0)
            for i in range(start, end):
                enc.stdin.write(r.frame(i).tobytes())
                if i in r.flashes:
                    flashes.append(written + 1)
                written += 1
            if join is None:
                continue
            if join[0] == "cut":
                boundaries.append({"type": "cut", "first": written, "last": written + 1})
                continue
            kind, d, transition = join
            carried, carried_frames = ShotRenderer(rng, shots[k + 1], (w, h), photos, noise), d
            tail = np.stack([r.frame(i) for i in range(end, n)])
            head = np.stack([carried.frame(i) for i in range(d)])
            for f in xfade(tail, head, transition, tmp):
                enc.stdin.write(f.tobytes())
            boundaries.append({"type": kind, "first": written + 1, "last": written + d, "xfade": transition})
            written += d
        enc.stdin.close()
    if enc.wait() != 0:
        fail("ffmpeg failed on " + name)
    os.replace(part, path)
    truth = {"fps": FPS, "frames": written, "boundaries": boundaries, "kind": plan["kind"], "size": [w, h],
             "seed": plan["seed"], "flashes": flashes,
             "photos": [PHOTOS[s["photo"]][1] for s in shots]}
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

WIPES = ["wipeleft", "wiperight", "wipeup", "wipedown"]

KINDS = ["steady", "motion_handheld", "occluder", "flash", "dark", "same_place", "one_second", "gradual"]


def pick_photo(rng, previous):
    choices = [i for i in range(len(PHOTOS)) if i != previous]
    return int(choices[int(rng.integers(len(choices)))])


def plain_shots(rng, count, seconds, motion):
    shots, prev = [], None
    for _ in range(count):
        prev = pick_photo(rng, prev)
        shots.append({"photo": prev, "frames": int(rng.integers(seconds[0] * FPS, seconds[1] * FPS + 1)),
                      "motion": dict(motion)})
    return shots


def same_place_shots(rng, count):
    """Two places, each cut between a wide framing and a close-up of another region."""
    shots = []
    place = None
    while len(shots) < count:
        place = pick_photo(rng, place)
        pw, ph = PHOTO_WIDTH, PHOTO_WIDTH * 10 // 16
        wide = [pw / 2 + rng.uniform(-0.1, 0.1) * pw, ph / 2 + rng.uniform(-0.08, 0.08) * ph]
        ang = rng.uniform(0, 2 * np.pi)
        close = [wide[0] + 0.22 * pw * np.cos(ang), wide[1] + 0.15 * ph * np.sin(ang)]
        for j in range(int(rng.integers(4, 7))):
            framing = dict(MODERATE, centre=wide, zoom0=1.0) if j % 2 == 0 else \
                dict(MODERATE, centre=close, zoom0=float(rng.uniform(1.6, 2.2)))
            shots.append({"photo": place, "frames": int(rng.integers(3 * FPS, 6 * FPS + 1)), "motion": framing})
    return shots[:count]


def video_plans(seed):
    """Two videos per kind, sizes cycling through SIZES; each ~40-70 s."""
    plans = []
    for kk, kind in enumerate(KINDS):
        for v in range(2):
            index = 2 * kk + v
            rng = np.random.default_rng([seed, index, 0])
            if kind == "steady":
                shots = plain_shots(rng, 10, (3, 8), STEADY)
            elif kind == "motion_handheld":
                shots = plain_shots(rng, 8, (5, 9), HANDHELD)
            elif kind == "occluder":
                shots = plain_shots(rng, 8, (5, 9), MODERATE)
                for s in shots:
                    s["occluders"] = int(rng.integers(1, 3))
            elif kind == "flash":
                shots = plain_shots(rng, 8, (5, 8), MODERATE)
                for s in shots:
                    s["flashes"] = sorted(int(x) for x in rng.choice(np.arange(15, s["frames"] - 15),
                                                                     int(rng.integers(1, 4)), replace=False))
            elif kind == "dark":
                shots = plain_shots(rng, 9, (4, 8), DARK)
            elif kind == "same_place":
                shots = same_place_shots(rng, 12)
            elif kind == "one_second":
                shots = plain_shots(rng, 45, (1, 1), MODERATE)
            else:
                shots = plain_shots(rng, 12, (3, 6), GRADUAL)
            incoming = 0
            for s in shots[:-1]:
                if kind == "gradual" and rng.random() < 0.8:
                    d = int(rng.integers(13, 38))  # 0.5-1.5 s
                    if rng.random() < 0.5:
                        s["join"] = ["dissolve", d, "fade"]
                    else:
                        s["join"] = ["wipe", d, WIPES[int(rng.integers(len(WIPES)))]]
                else:
                    s["join"], d = ["cut"], 0
                if d:  # at least 2 s of a shot stand alone between its transitions
                    s["frames"] = max(s["frames"], incoming + d + 2 * FPS)
                incoming = d
            shots[-1]["join"] = None
            if incoming:
                shots[-1]["frames"] = max(shots[-1]["frames"], incoming + 2 * FPS)
            plans.append({"name": "%s_%d" % (kind, v + 1), "kind": kind, "size": SIZES[index % 3],
                          "seed": [seed, index, 1], "shots": shots})
    return plans


def main():
    ap = argparse.ArgumentParser(description="Make the accuracy bench's labelled videos.")
    ap.add_argument("out_dir")
    ap.add_argument("--seed", type=int, default=29)
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--only", action="append", help="make only this video (repeatable)")
    args = ap.parse_args()
    check_sources()
    os.makedirs(args.out_dir, exist_ok=True)
    plans = video_plans(args.seed)
    if args.only:
        plans = [s for s in plans if s["name"] in args.only]
    with tempfile.TemporaryDirectory() as tmp:
        photos = load_photos(tmp)
        jobs = [(s, photos, args.out_dir) for s in plans]
        with multiprocessing.Pool(args.jobs) as pool:
            for name, frames in pool.imap_unordered(render_video, jobs):
                print("%s: %d frames" % (name, frames), flush=True)


if __name__ == "__main__":
    main()

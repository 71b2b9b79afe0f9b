#!/usr/bin/python3
"""Two simple peer detectors of hard cuts, after the published descriptions of
PySceneDetect's content and adaptive detectors (written here, not taken from it).

Both score each frame by the mean absolute difference of hue, saturation and
value from the frame before (OpenCV's HSV: hue 0-179), averaged over the three
channels, on frames downscaled by the whole factor width // 256 (640 and 960 px
to 320, 1280 px to 256).
- content: a cut where the score is at least 27;
- adaptive: a cut where the score is at least 15 and at least 3 times the mean
  score of the two frames on either side (255 times when that mean is 0).
Both keep at least 15 frames between cuts (and from the first frame).

Usage: peers.py VIDEO --content FILE --adaptive FILE
Each FILE gets one line per cut: the last frame of the old shot (1-based), the
form score.py reads with --frames. Needs Debian's python3-opencv and python3-numpy.
"""
import argparse
import sys

try:
    import cv2
    import numpy as np
except ImportError as e:
    sys.exit("peers.py: %s; needs Debian's python3-opencv and python3-numpy (run it with /usr/bin/python3)" % e)

CONTENT_THRESHOLD = 27.0
ADAPTIVE_RATIO = 3.0
ADAPTIVE_MIN_SCORE = 15.0
WINDOW = 2  # frames on either side for the adaptive mean
MIN_SHOT = 15  # frames between cuts


def frame_scores(path):
    """Per frame (0-based), the HSV difference from the frame before; frame 0 scores 0."""
    cap = cv2.VideoCapture(path)
    if not cap.isOpened():
        sys.exit("peers.py: can not open " + path)
    scores, last = [], None
    while True:
        ok, frame = cap.read()
        if not ok:
            break
        h, w = frame.shape[:2]
        factor = max(1, w // 256)
        if factor > 1:
            frame = cv2.resize(frame, (w // factor, h // factor), interpolation=cv2.INTER_LINEAR)
        hsv = cv2.cvtColor(frame, cv2.COLOR_BGR2HSV).astype(np.int16)
        scores.append(0.0 if last is None else float(np.abs(hsv - last).mean()))
        last = hsv
    if not scores:
        sys.exit("peers.py: no frames in " + path)
    return scores


def content_cuts(scores):
    """Frames (0-based) that start a new shot."""
    cuts, last = [], 0
    for t, s in enumerate(scores):
        if s >= CONTENT_THRESHOLD and t - last >= MIN_SHOT:
            cuts.append(t)
            last = t
    return cuts


def adaptive_cuts(scores):
    cuts, last = [], 0
    for t in range(WINDOW, len(scores) - WINDOW):
        s = scores[t]
        around = scores[t - WINDOW:t] + scores[t + 1:t + 1 + WINDOW]
        mean = sum(around) / len(around)
        ratio = min(s / mean, 255.0) if mean > 1e-5 else (255.0 if s >= ADAPTIVE_MIN_SCORE else 0.0)
        if ratio >= ADAPTIVE_RATIO and s >= ADAPTIVE_MIN_SCORE and t - last >= MIN_SHOT:
            cuts.append(t)
            last = t
    return cuts


def write(path, cuts):
    # A cut at 0-based frame t ends the old shot at 1-based frame t.
    with open(path, "w") as f:
        f.writelines("%d\n" % t for t in cuts)


def main():
    ap = argparse.ArgumentParser(description="Run the content and adaptive peer detectors on a video.")
    ap.add_argument("video")
    ap.add_argument("--content", required=True, metavar="FILE")
    ap.add_argument("--adaptive", required=True, metavar="FILE")
    args = ap.parse_args()
    cv2.setNumThreads(1)
    scores = frame_scores(args.video)
    write(args.content, content_cuts(scores))
    write(args.adaptive, adaptive_cuts(scores))


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Scores detected shot boundaries against a labelled video's truth.

Usage: score.py TRUTH.json SHOTS.txt
       score.py TRUTH.json --scdet LOG

Prints one JSON line: precision, recall, f1, gradual_recall, type_accuracy
(null when undefined or not measurable, as for scdet), and the counts.

Rules (bench/accuracy/README.md gives the reasons):
- A detection is the end frame E of every shot but the last (1-based), with the
  shot's sixth column as its type when present (0 abrupt, 1 dissolve, 2 wipe).
- A cut truth at F (its "first") matches E when |E - F| <= 2; distance |E - F|.
- A gradual truth first..last matches E when first - 5 <= E <= last + 5; its
  distance is 0 inside first..last, else the distance to the nearer end.
- Matching is one-to-one and greedy: all (truth, detection) pairs within their
  windows are taken in order of distance, then truth first frame, then detection
  frame; a pair is kept when both are still unused.
- scdet: each lavfi.scd.time=t gives E = floor(t * fps + 0.5); E < 1 is dropped.
Only the Python standard library is used.
"""
import argparse
import json
import math
import re
import sys

CUT_WINDOW = 2
GRADUAL_WINDOW = 5
TYPE_CODES = {"dissolve": 1, "wipe": 2}


def read_shots(text):
    """Detections [(E, type or None)] from a shot list's text."""
    rows = []
    for n, line in enumerate(text.splitlines(), 1):
        fields = line.split()
        if not fields:
            continue
        if len(fields) not in (5, 6):
            raise ValueError("shot list line %d: expected 5 or 6 numbers, got %r" % (n, line))
        rows.append([int(x) for x in fields])
    return [(r[1], r[5] if len(r) == 6 else None) for r in rows[:-1]]


def read_scdet(text, fps):
    """Detections [(E, None)] from ffmpeg's metadata=print lines of lavfi.scd.time."""
    found = set()
    for m in re.finditer(r"lavfi\.scd\.time=([0-9.eE+-]+)", text):
        e = math.floor(float(m.group(1)) * fps + 0.5 + 1e-9)  # half up, despite binary fractions
        if e >= 1:
            found.add(e)
    return [(e, None) for e in sorted(found)]


def distance(truth, e):
    """Distance of detection frame e from a truth boundary, or None outside its window."""
    if truth["type"] == "cut":
        d = abs(e - truth["first"])
        return d if d <= CUT_WINDOW else None
    first, last = truth["first"], truth["last"]
    if not first - GRADUAL_WINDOW <= e <= last + GRADUAL_WINDOW:
        return None
    return max(first - e, e - last, 0)


def match(truths, detections):
    """One-to-one greedy matching; returns {truth index: detection index}."""
    pairs = []
    for ti, t in enumerate(truths):
        for di, (e, _) in enumerate(detections):
            d = distance(t, e)
            if d is not None:
                pairs.append((d, t["first"], ti, e, di))
    pairs.sort()
    used_t, used_d, result = set(), set(), {}
    for _, _, ti, _, di in pairs:
        if ti not in used_t and di not in used_d:
            used_t.add(ti)
            used_d.add(di)
            result[ti] = di
    return result


def score(truth, detections):
    truths = truth["boundaries"]
    m = match(truths, detections)
    matched = len(m)
    precision = matched / len(detections) if detections else 1.0
    recall = matched / len(truths) if truths else 1.0
    f1 = 2 * precision * recall / (precision + recall) if precision + recall > 0 else 0.0
    gradual = [i for i, t in enumerate(truths) if t["type"] != "cut"]
    gradual_recall = sum(1 for i in gradual if i in m) / len(gradual) if gradual else None
    typed = [(truths[i]["type"], detections[m[i]][1]) for i in gradual if i in m and detections[m[i]][1] is not None]
    type_accuracy = sum(1 for kind, code in typed if TYPE_CODES.get(kind) == code) / len(typed) if typed else None
    return {"precision": precision, "recall": recall, "f1": f1, "gradual_recall": gradual_recall,
            "type_accuracy": type_accuracy, "truths": len(truths), "detections": len(detections),
            "matched": matched}


def main(argv=None):
    ap = argparse.ArgumentParser(description="Score shot boundaries against a truth file.")
    ap.add_argument("truth", help="VIDEO.truth.json")
    ap.add_argument("shots", nargs="?", help="STEM_shots.txt written by shotscene")
    ap.add_argument("--scdet", metavar="LOG", help="ffmpeg scdet metadata log instead of a shot list")
    args = ap.parse_args(argv)
    if (args.shots is None) == (args.scdet is None):
        ap.error("give either SHOTS.txt or --scdet LOG")
    with open(args.truth) as f:
        truth = json.load(f)
    if args.scdet:
        with open(args.scdet) as f:
            detections = read_scdet(f.read(), truth["fps"])
        result = score(truth, detections)
        result["gradual_recall"] = result["type_accuracy"] = None
    else:
        with open(args.shots) as f:
            detections = read_shots(f.read())
        result = score(truth, detections)
    print(json.dumps(result))


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Scores detected shot boundaries against a labelled video's truth.

Usage: score.py TRUTH.json SHOTS.txt
       score.py TRUTH.json --scdet LOG
       score.py TRUTH.json --frames FILE

Prints one JSON line: precision, recall, f1, gradual_recall, type_accuracy
(null when undefined or not measurable, as for scdet and the peers), and the counts.

Rules (bench/accuracy/README.md gives the reasons):
- A detection is the end frame E of every shot but the last (1-based), with the
  shot's sixth column as its type when present (0 abrupt, 1 dissolve, 2 wipe).
- A cut truth at F (its "first") matches E when |E - F| <= 2; distance |E - F|.
- A gradual truth first..last matches E when first - 5 <= E <= last + 5; its
  distance is 0 inside first..last, else the distance to the nearer end.
- Matching is one-to-one and greedy: all (truth, detection) pairs within their
  windows are taken in order of distance, then truth first frame, then detection
  frame; a pair is kept when both are still unused.
- scdet: each lavfi.scd.time=t (metadata=print) or lavfi.scd.time: t (scdet's
  own log line) gives E = floor(t * fps + 0.5); E < 1 is dropped, a repeated E
  counts once. An empty log has no detections; a non-empty log with neither
  form is refused.
- --frames: one detection E per line (the peers' form); blank lines are skipped.
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
    """Detections [(E, None)] from lavfi.scd.time in metadata=print lines or scdet's own log lines.

    Raises ValueError for text that is not empty yet has neither form.
    """
    found = set()
    times = re.findall(r"lavfi\.scd\.time(?:=|:[ \t]*)(-?[0-9][0-9.eE+-]*)", text)
    if not times and text.strip():
        raise ValueError("no lavfi.scd.time=T or lavfi.scd.time: T line")
    for t in times:
        e = math.floor(float(t) * fps + 0.5 + 1e-9)  # half up, despite binary fractions
        if e >= 1:
            found.add(e)
    return [(e, None) for e in sorted(found)]


def read_frames(text):
    """Detections [(E, None)] from one frame number per line."""
    found = set()
    for n, line in enumerate(text.splitlines(), 1):
        if not line.strip():
            continue
        if not line.strip().isdigit():
            raise ValueError("line %d: expected a frame number, got %r" % (n, line))
        found.add(int(line))
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
    ap.add_argument("--scdet", metavar="LOG", help="ffmpeg scdet log (metadata=print or its own log lines)")
    ap.add_argument("--frames", metavar="FILE", help="one boundary frame per line, as the peers write")
    args = ap.parse_args(argv)
    given = [x for x in (args.shots, args.scdet, args.frames) if x is not None]
    if len(given) != 1:
        ap.error("give one of SHOTS.txt, --scdet LOG or --frames FILE")
    with open(args.truth) as f:
        truth = json.load(f)
    with open(given[0]) as f:
        text = f.read()
    try:
        if args.scdet:
            detections = read_scdet(text, truth["fps"])
        elif args.frames:
            detections = read_frames(text)
        else:
            detections = read_shots(text)
    except ValueError as e:
        sys.exit("score.py: %s: %s" % (given[0], e))
    result = score(truth, detections)
    if args.shots is None:  # no transition types: n/a rather than a measure of nothing
        result["gradual_recall"] = result["type_accuracy"] = None
    print(json.dumps(result))


if __name__ == "__main__":
    sys.exit(main())

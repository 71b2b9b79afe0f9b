#!/usr/bin/env python3
"""Prints the accuracy bench's table from run.sh's scores.jsonl.

One row per video, one per kind (mean over its videos) and the mean over all
videos; the tool's P/R/F1, gradual recall (GR) and type accuracy (TA) beside
each peer's P/R/F1, the best peer's F1 in that row and the tool's F1 minus it.
A mean skips values that are n/a. Optionally writes the same rows as TSV and
JSON so later runs can be compared.
"""
import argparse
import json

TOOL = ["precision", "recall", "f1", "gradual_recall", "type_accuracy"]
PEER = ["precision", "recall", "f1"]
PEERS = ["scdet", "content", "adaptive"]
NOTE = ("tool: P/R/F1, GR gradual recall, TA type accuracy; peers: scdet threshold 10, content (HSV 27), "
        "adaptive (ratio 3, HSV 15); best = best peer's F1; diff = tool F1 - best")


def mean(values):
    values = [v for v in values if v is not None]
    return sum(values) / len(values) if values else None


def with_best(row):
    row["best_peer_f1"] = max(row["peers"][p]["f1"] for p in PEERS)
    return row


def rows_of(scores):
    rows = [with_best(dict(row=s["video"], kind=s["kind"], videos=1, tool={k: s["tool"][k] for k in TOOL},
                           peers={p: {k: s["peers"][p][k] for k in PEER} for p in PEERS})) for s in scores]
    kinds = sorted({s["kind"] for s in scores})

    def average(label, kind, group):
        return with_best(dict(row=label, kind=kind, videos=len(group),
                              tool={k: mean([g["tool"][k] for g in group]) for k in TOOL},
                              peers={p: {k: mean([g["peers"][p][k] for g in group]) for k in PEER}
                                     for p in PEERS}))

    means = [average("mean " + k, k, [r for r in rows if r["kind"] == k]) for k in kinds]
    return rows, means, average("mean all", "all", rows)


def exact(v):
    return "n/a" if v is None else "%.4f" % v


def cell(v):
    return "n/a" if v is None else "%.2f" % v


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("scores")
    ap.add_argument("--title", help="a line printed above the table")
    ap.add_argument("--tsv")
    ap.add_argument("--json")
    args = ap.parse_args()
    with open(args.scores) as f:
        scores = [json.loads(line) for line in f if line.strip()]
    if not scores:
        raise SystemExit("table.py: %s: no scores" % args.scores)
    rows, means, overall = rows_of(scores)
    header = ["", "P", "R", "F1", "GR", "TA"]
    for p in PEERS:
        header += [p + " P", "R", "F1"]
    header += ["best", "diff"]
    lines = [header]
    for r in rows + [None] + means + [None, overall]:
        if r is None:
            lines.append(None)
            continue
        t = r["tool"]
        line = [r["row"]] + [cell(t[k]) for k in TOOL]
        for p in PEERS:
            line += [cell(r["peers"][p][k]) for k in PEER]
        lines.append(line + [cell(r["best_peer_f1"]), "%+.2f" % (t["f1"] - r["best_peer_f1"])])
    widths = [max(len(l[i]) for l in lines if l) for i in range(len(header))]
    if args.title:
        print(args.title)
    for l in lines:
        if l is None:
            print("-" * (sum(widths) + 2 * (len(widths) - 1)))
        else:
            print("  ".join(c.ljust(widths[0]) if i == 0 else c.rjust(widths[i]) for i, c in enumerate(l)))
    print(NOTE)
    if args.tsv:
        with open(args.tsv, "w") as f:
            f.write("\t".join(["row", "kind", "videos"] + ["tool_" + k for k in TOOL] +
                              ["%s_%s" % (p, k) for p in PEERS for k in PEER] + ["best_peer_f1"]) + "\n")
            for r in rows + means + [overall]:
                f.write("\t".join([r["row"], r["kind"], str(r["videos"])] + [exact(r["tool"][k]) for k in TOOL] +
                                  [exact(r["peers"][p][k]) for p in PEERS for k in PEER] +
                                  [exact(r["best_peer_f1"])]) + "\n")
    if args.json:
        with open(args.json, "w") as f:
            json.dump({"videos": rows, "kinds": means, "all": overall}, f, indent=1)
            f.write("\n")


if __name__ == "__main__":
    main()

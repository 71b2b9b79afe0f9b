#!/usr/bin/env python3
"""Prints the accuracy bench's table from run.sh's scores.jsonl.

One row per video, one per kind (mean over its videos) and the mean over all
videos; the tool's P/R/F1, gradual recall (GR) and type accuracy (TA) beside
scdet's P/R/F1. A mean skips values that are n/a. Optionally writes the same
rows as TSV and JSON so later runs can be compared.
"""
import argparse
import json

TOOL = ["precision", "recall", "f1", "gradual_recall", "type_accuracy"]
SCDET = ["precision", "recall", "f1"]


def mean(values):
    values = [v for v in values if v is not None]
    return sum(values) / len(values) if values else None


def rows_of(scores):
    rows = [dict(row=s["video"], kind=s["kind"], videos=1, tool={k: s["tool"][k] for k in TOOL},
                 scdet={k: s["scdet"][k] for k in SCDET}) for s in scores]
    kinds = sorted({s["kind"] for s in scores})

    def average(label, kind, group):
        return dict(row=label, kind=kind, videos=len(group),
                    tool={k: mean([g["tool"][k] for g in group]) for k in TOOL},
                    scdet={k: mean([g["scdet"][k] for g in group]) for k in SCDET})

    means = [average("mean " + k, k, [r for r in rows if r["kind"] == k]) for k in kinds]
    return rows, means, average("mean all", "all", rows)


def exact(v):
    return "n/a" if v is None else "%.4f" % v


def cell(v):
    return "n/a" if v is None else "%.2f" % v


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("scores")
    ap.add_argument("--tsv")
    ap.add_argument("--json")
    args = ap.parse_args()
    with open(args.scores) as f:
        scores = [json.loads(line) for line in f if line.strip()]
    rows, means, overall = rows_of(scores)
    header = ["", "P", "R", "F1", "GR", "TA", "scdet P", "R", "F1", "F1 diff"]
    lines = [header]
    for r in rows + [None] + means + [None, overall]:
        if r is None:
            lines.append(None)
            continue
        t, s = r["tool"], r["scdet"]
        lines.append([r["row"]] + [cell(t[k]) for k in TOOL] + [cell(s[k]) for k in SCDET] +
                     ["%+.2f" % (t["f1"] - s["f1"])])
    widths = [max(len(l[i]) for l in lines if l) for i in range(len(header))]
    for l in lines:
        if l is None:
            print("-" * (sum(widths) + 2 * len(widths)))
        else:
            print("  ".join(c.ljust(widths[0]) if i == 0 else c.rjust(widths[i]) for i, c in enumerate(l)))
    print("tool: P/R/F1, GR gradual recall, TA type accuracy; scdet threshold 10; F1 diff = tool - scdet")
    if args.tsv:
        with open(args.tsv, "w") as f:
            f.write("\t".join(["row", "kind", "videos"] + ["tool_" + k for k in TOOL] + ["scdet_" + k for k in SCDET])
                    + "\n")
            for r in rows + means + [overall]:
                f.write("\t".join([r["row"], r["kind"], str(r["videos"])] +
                                  [exact(r["tool"][k]) for k in TOOL] + [exact(r["scdet"][k]) for k in SCDET]) + "\n")
    if args.json:
        with open(args.json, "w") as f:
            json.dump({"videos": rows, "kinds": means, "all": overall}, f, indent=1)
            f.write("\n")


if __name__ == "__main__":
    main()

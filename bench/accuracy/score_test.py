#!/usr/bin/env python3
"""The accuracy scorer's rules, case by case (standard library only)."""
import io
import json
import os
import sys
import tempfile
import unittest
from contextlib import redirect_stdout

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import score  # noqa: E402


def cut(f):
    return {"type": "cut", "first": f, "last": f + 1}


def grad(kind, first, last):
    return {"type": kind, "first": first, "last": last}


def shots(*ends, frames=1000, types=None):
    """A shot list whose shots end at ENDS (then one last shot), with optional type column."""
    lines, start = [], 1
    for i, e in enumerate(list(ends) + [frames]):
        row = [start, e, start, start, start]
        if types is not None:
            row.append(types[i] if i < len(types) else 0)
        lines.append(" ".join(map(str, row)))
        start = e + 1
    return "\n".join(lines) + "\n"


class MatchingRules(unittest.TestCase):
    def test_windows(self):
        # (truth, detection frame, matches)
        cases = [
            (cut(100), 98, True), (cut(100), 102, True), (cut(100), 97, False), (cut(100), 103, False),
            (cut(100), 100, True), (cut(100), 101, True),
            (grad("dissolve", 100, 120), 95, True), (grad("dissolve", 100, 120), 94, False),
            (grad("dissolve", 100, 120), 125, True), (grad("dissolve", 100, 120), 126, False),
            (grad("wipe", 100, 120), 110, True),
        ]
        for truth, e, expected in cases:
            with self.subTest(truth=truth, e=e):
                r = score.score({"boundaries": [truth]}, [(e, None)])
                self.assertEqual(r["matched"], 1 if expected else 0)

    def test_distance_of_a_gradual_truth_is_zero_inside_its_span(self):
        cases = [(110, 0), (100, 0), (120, 0), (97, 3), (124, 4), (126, None)]
        for e, expected in cases:
            with self.subTest(e=e):
                self.assertEqual(score.distance(grad("dissolve", 100, 120), e), expected)

    def test_one_to_one_greedy_nearest_first(self):
        # (truths, detection frames, expected {truth index: detection index})
        cases = [
            # Two detections near one cut: only the nearest is matched, the other is false.
            ([cut(100)], [99, 100], {0: 1}),
            # One detection between two cuts: the nearer cut takes it.
            ([cut(100), cut(103)], [102], {1: 0}),
            # Equal distance: the earlier truth wins.
            ([cut(100), cut(104)], [102], {0: 0}),
            # The nearest pair goes first, so the other truth takes the remaining detection.
            ([cut(100), cut(102)], [101, 102], {0: 0, 1: 1}),
            # A detection inside a gradual span beats a nearer-by-frame one outside it.
            ([grad("dissolve", 100, 120), cut(123)], [121, 122], {0: 0, 1: 1}),
            # Equal distance to one truth: the earlier detection wins.
            ([cut(100)], [98, 102], {0: 0}),
        ]
        for truths, frames, expected in cases:
            with self.subTest(truths=truths, frames=frames):
                self.assertEqual(score.match(truths, [(e, None) for e in frames]), expected)


class Measures(unittest.TestCase):
    def test_precision_recall_f1(self):
        # (truths, detection frames, precision, recall)
        cases = [
            ([cut(100), cut(200)], [], 1.0, 0.0),
            ([], [50], 0.0, 1.0),
            ([], [], 1.0, 1.0),
            ([cut(100), cut(200)], [101, 150, 199, 300], 0.5, 1.0),
            ([cut(100), cut(200), cut(300), cut(400)], [100], 1.0, 0.25),
        ]
        for truths, frames, p, r in cases:
            with self.subTest(truths=truths, frames=frames):
                got = score.score({"boundaries": truths}, [(e, None) for e in frames])
                self.assertAlmostEqual(got["precision"], p)
                self.assertAlmostEqual(got["recall"], r)
                f1 = 2 * p * r / (p + r) if p + r else 0.0
                self.assertAlmostEqual(got["f1"], f1)

    def test_gradual_recall_and_type_accuracy(self):
        truths = [cut(50), grad("dissolve", 100, 120), grad("wipe", 200, 230), grad("dissolve", 300, 320)]
        # (detections with types, gradual recall, type accuracy)
        cases = [
            # Whatever type the detection carries, a matched gradual truth counts for recall.
            ([(50, 0), (110, 0), (215, 2)], 2 / 3, 0.5),
            ([(110, 1), (215, 2), (310, 1)], 1.0, 1.0),
            ([(110, 2), (215, 1)], 2 / 3, 0.0),
            # Only detections with a type column count for type accuracy.
            ([(110, None), (215, 2)], 2 / 3, 1.0),
            ([(110, None)], 1 / 3, None),
            ([(50, 1)], 0.0, None),
        ]
        for dets, gr, ta in cases:
            with self.subTest(dets=dets):
                got = score.score({"boundaries": truths}, dets)
                self.assertAlmostEqual(got["gradual_recall"], gr)
                if ta is None:
                    self.assertIsNone(got["type_accuracy"])
                else:
                    self.assertAlmostEqual(got["type_accuracy"], ta)
        self.assertIsNone(score.score({"boundaries": [cut(50)]}, [(50, 1)])["gradual_recall"])


class Readers(unittest.TestCase):
    def test_shot_list(self):
        # (text, detections)
        cases = [
            (shots(100, 250), [(100, None), (250, None)]),
            (shots(100, 250, types=[1, 2, 0]), [(100, 1), (250, 2)]),
            (shots(), []),
            ("", []),
        ]
        for text, expected in cases:
            with self.subTest(text=text):
                self.assertEqual(score.read_shots(text), expected)
        with self.assertRaises(ValueError):
            score.read_shots("1 2 3\n")

    def test_scdet_log_in_either_form_rounds_to_the_last_frame_of_the_old_shot(self):
        forms = {
            "metadata=print": lambda t: "frame:1  pts:1  pts_time:%s\nlavfi.scd.time=%s\n" % (t, t),
            "scdet log": lambda t: "[scdet @ 0x55d0] lavfi.scd.score: 24.446, lavfi.scd.time: %s\n" % t,
        }
        # (lavfi.scd.time values, fps, detections)
        cases = [
            (["7.2"], 25, [180]),
            (["4.02"], 25, [101]),    # 100.5 rounds half up
            (["3.98"], 25, [100]),    # 99.5 rounds half up
            (["0.0", "0.02"], 25, [1]),  # a change before frame 1 is no boundary
            (["2", "2.0"], 25, [50]),  # duplicates count once
            (["1.001"], 30, [30]),
        ]
        for form, line in forms.items():
            for times, fps, expected in cases:
                with self.subTest(form=form, times=times):
                    text = "".join(line(t) for t in times)
                    self.assertEqual(score.read_scdet(text, fps), [(e, None) for e in expected])

    def test_scdet_log_other_text(self):
        # (log text, detections, or None when the log must be refused)
        cases = [
            ("", []),  # scdet found nothing (the dark videos)
            ("\n", []),
            # ffmpeg's progress line shares a line with scdet's first message.
            ("frame=    1 fps=0.0 q=-0.0 size=N/A speed=13.2x    [scdet @ 0x55] lavfi.scd.score: 24.4, "
             "lavfi.scd.time: 4.02\r\n", [101]),
            # Both forms of one change count once.
            ("lavfi.scd.time=7.2\n[scdet @ 0x55] lavfi.scd.score: 24.4, lavfi.scd.time: 7.2\n", [180]),
            ("frame:1  pts:1  pts_time:0.04\n", None),
            ("[scdet @ 0x55] lavfi.scd.score: 24.4\n", None),
            ("180\n", None),
        ]
        for text, expected in cases:
            with self.subTest(text=text):
                if expected is None:
                    with self.assertRaisesRegex(ValueError, "^no lavfi.scd.time=T or lavfi.scd.time: T line$"):
                        score.read_scdet(text, 25)
                else:
                    self.assertEqual(score.read_scdet(text, 25), [(e, None) for e in expected])

    def test_frame_list(self):
        # (text, detections, or the error when it must be refused)
        cases = [
            ("", []),
            ("410\n\n101\n101\n", [101, 410]),
            ("101\n4.5\n", "line 2: expected a frame number, got '4.5'"),
            ("lavfi.scd.time=4.04\n", "line 1: expected a frame number, got 'lavfi.scd.time=4.04'"),
        ]
        for text, expected in cases:
            with self.subTest(text=text):
                if isinstance(expected, str):
                    with self.assertRaises(ValueError) as cm:
                        score.read_frames(text)
                    self.assertEqual(str(cm.exception), expected)
                else:
                    self.assertEqual(score.read_frames(text), [(e, None) for e in expected])


class CommandLine(unittest.TestCase):
    def run_main(self, folder, truth, *args):
        path = os.path.join(folder, "v.truth.json")
        with open(path, "w") as f:
            json.dump(truth, f)
        out = io.StringIO()
        with redirect_stdout(out):
            score.main([path] + list(args))
        return json.loads(out.getvalue())

    def test_shot_list_and_scdet_log(self):
        truth = {"fps": 25, "frames": 1000, "ignored": True,
                 "boundaries": [cut(100), grad("dissolve", 400, 420), grad("wipe", 600, 625)]}
        with tempfile.TemporaryDirectory() as folder:
            shots_path = os.path.join(folder, "v_shots.txt")
            with open(shots_path, "w") as f:
                f.write(shots(101, 300, 410, 600, types=[0, 0, 1, 1]))
            got = self.run_main(folder, truth, shots_path)
            self.assertEqual((got["matched"], got["detections"], got["truths"]), (3, 4, 3))
            self.assertAlmostEqual(got["f1"], 2 * 0.75 * 1.0 / 1.75)
            self.assertAlmostEqual(got["type_accuracy"], 0.5)
            log = os.path.join(folder, "scd.log")
            with open(log, "w") as f:
                f.write("frame:101  pts:1  pts_time:4.04\nlavfi.scd.time=4.04\n")
            got = self.run_main(folder, truth, "--scdet", log)
            self.assertEqual((got["matched"], got["detections"]), (1, 1))
            self.assertIsNone(got["gradual_recall"])
            self.assertIsNone(got["type_accuracy"])
            frames = os.path.join(folder, "v.content")
            with open(frames, "w") as f:
                f.write("101\n300\n")
            got = self.run_main(folder, truth, "--frames", frames)
            self.assertEqual((got["matched"], got["detections"]), (1, 2))
            self.assertIsNone(got["gradual_recall"])

    def test_unreadable_detections_are_refused_naming_the_file(self):
        truth = {"fps": 25, "frames": 1000, "boundaries": [cut(100)]}
        # (option, file text, message after the file's name)
        cases = [
            ("--scdet", "frame:101  pts:1  pts_time:4.04\n", "no lavfi.scd.time=T or lavfi.scd.time: T line"),
            ("--frames", "x\n", "line 1: expected a frame number, got 'x'"),
            (None, "1 2 3\n", "shot list line 1: expected 5 or 6 numbers, got '1 2 3'"),
        ]
        with tempfile.TemporaryDirectory() as folder:
            for option, text, message in cases:
                with self.subTest(option=option):
                    path = os.path.join(folder, "detections.txt")
                    with open(path, "w") as f:
                        f.write(text)
                    args = [option, path] if option else [path]
                    with self.assertRaises(SystemExit) as cm:
                        self.run_main(folder, truth, *args)
                    self.assertEqual(cm.exception.code, "score.py: %s: %s" % (path, message))


if __name__ == "__main__":
    unittest.main()

"""STEM_stats.csv as pandas reads it, held against the similarity formula and the shot list.

Usage: stats_test.py SHOTSCENE MAKE_TEST_VIDEO
"""
import os
import subprocess
import sys
import tempfile
import unittest

import numpy as np
import pandas as pd

SHOTSCENE, MAKE_TEST_VIDEO = sys.argv[1:3]


class StatsFileTest(unittest.TestCase):
    def test_one_row_per_pair_whose_similarity_and_shot_ends_agree(self):
        with tempfile.TemporaryDirectory() as folder:
            video = os.path.join(folder, "clip.mp4")
            subprocess.run([MAKE_TEST_VIDEO, video, "--width", "160", "--height", "96",
                            "--seconds", "12", "--codec", "avc1"], check=True,
                           stdout=subprocess.DEVNULL)
            for refine in (False, True):
                with self.subTest(refine=refine):
                    options = ["--refine_shots"] if refine else []
                    subprocess.run([SHOTSCENE, "--stats", "--shots", "--trans_type", *options,
                                    video], check=True, stdout=subprocess.DEVNULL)
                    stats = pd.read_csv(os.path.join(folder, "clip_stats.csv"))
                    shots = np.loadtxt(os.path.join(folder, "clip_shots.txt"), dtype=int, ndmin=2)
                    pairs = shots[-1, 1] - 1
                    self.assertEqual(len(stats.columns), 14 if refine else 12)
                    np.testing.assert_array_equal(stats.frame, np.arange(1, pairs + 1))
                    np.testing.assert_array_equal(stats.next_frame, stats.frame + 1)
                    # The similarity from the other four, in single precision as the scan makes it.
                    c, a, ra, rb = (stats[k].to_numpy(np.float32) for k in (
                        "hist_correlation", "hist_affinity", "match_ratio_a", "match_ratio_b"))
                    h = np.abs(np.float32(0.5) * (c + a))
                    similarity = np.float32(0.5) * (ra + rb) * (h * h * h)
                    np.testing.assert_array_equal(similarity, stats.similarity.to_numpy(np.float32))
                    self.assertGreater((similarity < 0.03).sum(), 0)
                    ends = stats.dropna(subset=["shot_end"])
                    np.testing.assert_array_equal(ends.frame, shots[:-1, 1])
                    np.testing.assert_array_equal(ends.shot_end, np.arange(1, len(shots)))
                    np.testing.assert_array_equal(ends.transition_type, shots[:-1, 5])
                    self.assertFalse(stats.undecoded.any())


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])

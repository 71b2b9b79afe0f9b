"""The Python module against the command: same shots, same files, same messages, clean stops.

Usage: module_test.py SHOTSCENE MAKE_TEST_VIDEO, with the module on PYTHONPATH.
"""
import os
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest

import numpy as np
import pandas as pd

import shotscene

SHOTSCENE, MAKE_TEST_VIDEO = sys.argv[1:3]


def make_video(path, seconds):
    subprocess.run([MAKE_TEST_VIDEO, path, "--width", "160", "--height", "96", "--seconds",
                    str(seconds), "--codec", "avc1"], check=True, stdout=subprocess.DEVNULL)


def command(*args):
    return subprocess.run([SHOTSCENE, *args], capture_output=True, text=True)


def temporaries(folder):
    return [name for _, _, names in os.walk(folder) for name in names if ".tmp" in name]


def tree(folder, skip=None):
    """Every file under the folder by its relative path, with its bytes."""
    files = {}
    for root, folders, names in os.walk(folder):
        folders[:] = [f for f in folders if f != skip]
        for name in names:
            with open(os.path.join(root, name), "rb") as f:
                files[os.path.relpath(os.path.join(root, name), folder)] = f.read()
    return files


class ModuleTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp()
        self.video = os.path.join(self.folder, "clip.mp4")
        make_video(self.video, 12)

    def tearDown(self):
        subprocess.run(["rm", "-rf", self.folder], check=True)

    def test_detect_shots_gives_the_commands_shots_and_statistics(self):
        for refine in (False, True):
            with self.subTest(refine=refine):
                calls = []
                before = sorted(os.listdir(self.folder))
                found = shotscene.detect_shots(self.video, refine_shots=refine, progress=lambda
                                               done, total: calls.append((done, total,
                                                                          threading.get_ident())))
                self.assertEqual(sorted(os.listdir(self.folder)), before)  # writes nothing
                args = ["--refine_shots"] if refine else []
                self.assertEqual(command("--shots", "--trans_type", "--stats", *args,
                                         self.video).returncode, 0)
                listed = np.loadtxt(os.path.join(self.folder, "clip_shots.txt"), dtype=int,
                                    ndmin=2)
                self.assertEqual([(s.start, s.end, *s.keyframes, s.type) for s in found.shots],
                                 [tuple(line) for line in listed])
                stats = pd.read_csv(os.path.join(self.folder, "clip_stats.csv"))
                self.assertEqual(list(found.stats), list(stats.columns))
                # Where the file has an empty cell the arrays say 0, -1 or NaN.
                pd.testing.assert_frame_equal(
                    pd.DataFrame(found.stats),
                    stats.fillna({"shot_end": 0, "transition_type": -1}), check_dtype=False)
                # Called from this thread, going forward to the whole video.
                self.assertEqual({c[2] for c in calls}, {threading.get_ident()})
                self.assertEqual([c[:2] for c in calls], sorted(c[:2] for c in calls))
                self.assertEqual(calls[-1][:2], (len(stats) + 1,) * 2)

    def test_run_writes_the_commands_files_byte_for_byte(self):
        apart = os.path.join(self.folder, "apart")
        os.mkdir(apart)
        os.link(self.video, os.path.join(apart, "clip.mp4"))
        options = ["--trans_type", "--kf_shot", "--kf_scene", "--stats"]
        ran = command(*options, os.path.join(apart, "clip.mp4"))
        self.assertEqual(ran.returncode, 0, ran.stderr)
        result = shotscene.run(self.video, trans_type=True, kf_shot=True, kf_scene=True,
                               stats=True)
        written = tree(self.folder, skip="apart")
        self.assertGreater(len(written), 30)  # lists, subtitles, statistics and images
        self.assertTrue(written == tree(apart), "the files differ")
        self.assertEqual(sorted(os.path.basename(p) for p in result.paths.values()),
                         sorted(set(os.listdir(self.folder)) - {"clip.mp4", "apart"}))
        listed = np.loadtxt(os.path.join(apart, "clip_shots.txt"), dtype=int, ndmin=2)
        self.assertEqual([(s.start, s.end, *s.keyframes, s.type) for s in result.shots],
                         [tuple(line) for line in listed])
        self.assertEqual(result.scenes[-1].end, listed[-1][1])

    def test_quiet_unless_verbose_and_failures_raise_the_commands_messages(self):
        blocked = os.path.join(self.folder, "blocked.mp4")
        os.link(self.video, blocked)
        os.mkdir(os.path.join(self.folder, "blocked_shots.srt"))  # can not be replaced by a file
        script = ("import shotscene, sys\n"
                  "try:\n"
                  "    shotscene.run(sys.argv[1], shots_only=True, verbose=sys.argv[2] == 'v')\n"
                  "except shotscene.Error as e:\n"
                  "    print('Error:', e)\n")
        unwritable = command("--shots", blocked)
        self.assertIn("Can not write file", unwritable.stderr)
        missing = self.video + ".none"
        verbose = command("--shots", self.video)
        # Video, verbose, and what the script prints on standard output and error.
        cases = [(self.video, "quiet", "", ""),
                 (self.video, "v", verbose.stdout, verbose.stderr),
                 (blocked, "quiet", "Error: " + unwritable.stderr, ""),
                 (missing, "quiet", "Error: Can not load video file " + missing + "\n", "")]
        for video, loud, out, err in cases:
            with self.subTest(video=video, verbose=loud):
                ran = subprocess.run([sys.executable, "-c", script, video, loud],
                                     capture_output=True, text=True)
                self.assertEqual((ran.stdout, ran.stderr, ran.returncode), (out, err, 0))

    def test_ctrl_c_stops_a_run_leaving_no_temporary_file_and_the_earlier_results(self):
        # As from a terminal, whatever the test runner ignores.
        signal.signal(signal.SIGINT, signal.default_int_handler)
        make_video(self.video, 80)
        scenes = os.path.join(self.folder, "clip_scenes.txt")
        deadline = time.monotonic() + 120
        while True:  # again when the run ends before the stop reaches it
            with open(scenes, "w") as f:
                f.write("earlier")
            seen = threading.Event()

            def watch():
                while time.monotonic() < deadline and not seen.is_set():
                    if any(n.startswith("clip_scenes.txt.") for n in temporaries(self.folder)):
                        seen.set()
                        os.kill(os.getpid(), signal.SIGINT)
                    time.sleep(0.005)  # paces the polling; the file decides

            watcher = threading.Thread(target=watch)
            watcher.start()
            try:
                shotscene.run(self.video, kf_scene=True)
                interrupted = False
                watcher.join()  # a signal sent after the run ended lands here
            except KeyboardInterrupt:
                interrupted = True
            watcher.join()
            self.assertTrue(seen.is_set(), "no temporary scene list within the deadline")
            self.assertTrue(interrupted)
            self.assertEqual(temporaries(self.folder), [])
            with open(scenes) as f:
                if f.read() == "earlier" or time.monotonic() > deadline:
                    break
        with open(scenes) as f:
            self.assertEqual(f.read(), "earlier")
        # The interpreter goes on, and so does the library.
        self.assertEqual(shotscene.run(self.video, shots_only=True).paths["shots"],
                         os.path.join(self.folder, "clip_shots.txt"))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])

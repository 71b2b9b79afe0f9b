// The Python module shotscene: the tool's run, and its shot detection with
// the statistics of every frame pair as NumPy arrays.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "app/background_run.h"
#include "app/run_sequence.h"
#include "app/shot_stage.h"
#include "common/cleanup_registry.h"
#include "common/naming.h"
#include "scenes/scene_list.h"

namespace py = pybind11;

namespace shotscene {
namespace {

// How often the calling thread looks at the run: progress, messages, Ctrl-C.
constexpr double kPollSeconds = 0.05;
// The work's status when the video could not be opened.
constexpr int kUnopened = -100;

struct ModuleError {};
PyObject* errorType = nullptr;  // shotscene.Error

[[noreturn]] void raiseError(const std::string& message) {
  PyErr_SetString(errorType, message.c_str());
  throw py::error_already_set();
}

struct RunResult {
  std::vector<ShotRecord> shots;
  std::vector<SceneEntry> scenes;
  py::dict paths;
};

struct Detection {
  std::vector<ShotRecord> shots;
  py::dict stats;
};

// Runs `work` on a thread of its own. This thread, holding the GIL only
// between waits, hands the scan's progress to `progress`, the run's messages
// to sys.stdout and sys.stderr when `verbose`, and answers Ctrl-C (or an
// exception from `progress`) by stopping the run and raising it once the run
// has cleaned up. Returns the work's status; `messages` gets what it printed
// on standard error, or else the last line it printed on standard output.
int runPolled(const std::function<int()>& work, const py::object& progress, bool verbose,
              std::string& messages) {
  BackgroundRun run;
  if (!startBackgroundRun(run, work)) raiseError("a shotscene run is under way in this process");
  struct Finish {
    BackgroundRun& run;
    ~Finish() {
      py::gil_scoped_release release;
      finishBackgroundRun(run);
    }
  } finish{run};
  std::string out, err;
  int shown = -1;
  const auto look = [&] {
    const std::string newOut = run.out.takeNew(), newErr = run.err.takeNew();
    out += newOut;
    err += newErr;
    if (verbose && !newOut.empty()) py::module_::import("sys").attr("stdout").attr("write")(newOut);
    if (verbose && !newErr.empty()) py::module_::import("sys").attr("stderr").attr("write")(newErr);
    const int done = run.progress.done.load(), total = run.progress.total.load();
    if (!progress.is_none() && total > 0 && done != shown) {
      shown = done;
      progress(done, total);
    }
  };
  try {
    for (bool ended = false; !ended;) {
      {
        py::gil_scoped_release release;
        ended = waitBackgroundRun(run, kPollSeconds);
      }
      look();
      if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    }
  } catch (...) {
    requestStop();  // Finish waits for the run to honour it
    throw;
  }
  if (run.failure) std::rethrow_exception(run.failure);
  if (run.stopped) raiseError("run stopped");  // by a stop another caller requested
  while (!out.empty() && out.back() == '\n') out.pop_back();
  messages = !err.empty() ? err : out.substr(out.rfind('\n') + 1);
  while (!messages.empty() && messages.back() == '\n') messages.pop_back();
  return run.status;
}

bool openQuietly(Video& video, const std::string& path) {
  try {
    return openVideo(video, path);
  } catch (...) {
    return false;
  }
}

RunResult run(const std::filesystem::path& path, bool shotsOnly, bool transType, bool refineShots,
              bool kfShot, bool kfScene, const std::optional<std::filesystem::path>& kfPath,
              bool stats, const py::object& progress, bool verbose) {
  const std::string videoPath = path.string();
  RunOptions options;
  options.shotsOnly = shotsOnly;
  options.transType = transType;
  options.refineShots = refineShots;
  options.kfShot = kfShot;
  options.kfScene = kfScene;
  options.kfPath = kfPath ? kfPath->string() : "";
  options.stats = stats;
  RunResult result;
  int frameCount = 0;
  std::string messages;
  const int status = runPolled(
      [&] {
        Video video;
        if (!openQuietly(video, videoPath)) return reportUnusableVideo(), kUnopened;
        frameCount = video.probe.frameCount;
        return runStages(video, options, &result.shots);
      },
      progress, verbose, messages);
  if (status == kUnopened) raiseError("Can not load video file " + videoPath);
  if (status != 0) raiseError(messages);

  for (const OutputPath& p : outputPaths(videoPath, options.kfPath, "")) {
    const std::string kind = p.kind;
    const bool scenes = kind == "scenes" || kind == "scenes_srt";
    if (kind == "shots" || kind == "shots_srt" || (scenes && !shotsOnly) ||
        (kind == "stats" && stats) || (kind == "shot_keyframes" && kfShot) ||
        (kind == "scene_keyframes" && kfScene && !shotsOnly)) {
      result.paths[p.kind] = p.path;
    }
  }
  std::string error;
  if (!shotsOnly && !readSceneList(makeOutputPath(outputStem(videoPath), kSceneListSuffix),
                                   frameCount, result.scenes, error)) {
    raiseError(error);
  }
  return result;
}

template <typename T, typename Get>
py::array_t<T> column(const std::vector<PairStatistics>& rows, Get get) {
  py::array_t<T> values(static_cast<py::ssize_t>(rows.size()));
  auto out = values.template mutable_unchecked<1>();
  for (size_t i = 0; i < rows.size(); ++i) out(static_cast<py::ssize_t>(i)) = get(rows[i], i);
  return values;
}

// The columns of STEM_stats.csv by name; ints where a cell may be empty hold
// 0 (shot_end) or -1 (transition_type) there, floats NaN.
py::dict statisticsArrays(const std::vector<PairStatistics>& rows, bool secondLook) {
  using Row = const PairStatistics&;
  py::dict d;
  d["frame"] = column<int32_t>(rows, [](Row, size_t i) { return static_cast<int32_t>(i + 1); });
  d["next_frame"] =
      column<int32_t>(rows, [](Row, size_t i) { return static_cast<int32_t>(i + 2); });
  d["hist_correlation"] =
      column<float>(rows, [](Row r, size_t) { return r.measure.histCorrelation; });
  d["hist_affinity"] = column<float>(rows, [](Row r, size_t) { return r.measure.histAffinity; });
  d["match_ratio_a"] = column<float>(rows, [](Row r, size_t) { return r.measure.matchRatioA; });
  d["match_ratio_b"] = column<float>(rows, [](Row r, size_t) { return r.measure.matchRatioB; });
  d["similarity"] = column<float>(rows, [](Row r, size_t) { return r.measure.similarity; });
  d["smoothed"] = column<float>(rows, [](Row r, size_t) { return r.smoothed; });
  d["candidate_score"] = column<float>(rows, [](Row r, size_t) { return r.candidateScore; });
  d["shot_end"] = column<int32_t>(rows, [](Row r, size_t) { return r.shotEnd; });
  d["transition_type"] = column<int32_t>(rows, [](Row r, size_t) { return r.transitionType; });
  d["undecoded"] = column<bool>(rows, [](Row r, size_t) { return r.undecoded; });
  if (secondLook) {
    d["sketch_difference"] = column<float>(rows, [](Row r, size_t) { return r.sketchDifference; });
    d["side_similarity"] = column<float>(rows, [](Row r, size_t) { return r.sideSimilarity; });
  }
  return d;
}

Detection detectShotsOf(const std::filesystem::path& path, bool refineShots,
                        const py::object& progress, bool verbose) {
  const std::string videoPath = path.string();
  BoundaryOptions options;
  options.refine = refineShots;
  std::vector<PairStatistics> rows;
  Detection result;
  std::string messages;
  const int status = runPolled(
      [&] {
        Video video;
        if (!openQuietly(video, videoPath)) return reportUnusableVideo(), kUnopened;
        return detectShots(video, options, result.shots, rows);
      },
      progress, verbose, messages);
  if (status == kUnopened) raiseError("Can not load video file " + videoPath);
  if (status != kShotStageOk) raiseError(messages);
  result.stats = statisticsArrays(rows, refineShots);
  return result;
}

std::string shotText(const ShotRecord& s) {
  return "Shot(start=" + std::to_string(s.start) + ", end=" + std::to_string(s.end) +
         ", keyframes=(" + std::to_string(s.keyframe1) + ", " + std::to_string(s.keyframe2) + ", " +
         std::to_string(s.keyframe3) + "), type=" + std::to_string(s.type) + ")";
}

py::tuple sceneKeyframes(const SceneEntry& s) {
  py::list frames;
  for (const int k : s.keyframes) {
    if (k != 0) frames.append(k);
  }
  return py::tuple(frames);
}

}  // namespace
}  // namespace shotscene

PYBIND11_MODULE(shotscene, m) {
  using namespace shotscene;
  m.doc() =
      "Cuts a video into shots and scenes, as the shotscene command does. Runs are quiet unless "
      "verbose=True; failures raise shotscene.Error with the command's messages; Ctrl-C stops a "
      "run, leaving no temporary file. One run at a time in a process.";
  // Held for the life of the process, as the module holds it.
  errorType = py::exception<ModuleError>(m, "Error", PyExc_RuntimeError).release().ptr();

  py::class_<ShotRecord>(m, "Shot", "A shot: frames from 1, inclusive.")
      .def_readonly("start", &ShotRecord::start)
      .def_readonly("end", &ShotRecord::end)
      .def_property_readonly(
          "keyframes",
          [](const ShotRecord& s) { return py::make_tuple(s.keyframe1, s.keyframe2, s.keyframe3); })
      .def_readonly("type", &ShotRecord::type,
                    "Transition that ends the shot: 0 abrupt, 1 dissolve, 2 wipe")
      .def(
          "__eq__",
          [](const ShotRecord& a, const ShotRecord& b) {
            return std::tie(a.start, a.end, a.keyframe1, a.keyframe2, a.keyframe3, a.type) ==
                   std::tie(b.start, b.end, b.keyframe1, b.keyframe2, b.keyframe3, b.type);
          },
          py::is_operator())
      .def("__repr__", &shotText);
  py::class_<SceneEntry>(m, "Scene", "A scene: frames from 1, inclusive.")
      .def_readonly("start", &SceneEntry::start)
      .def_readonly("end", &SceneEntry::end)
      .def_property_readonly("keyframes", &sceneKeyframes)
      .def("__repr__", [](const SceneEntry& s) {
        return "Scene(start=" + std::to_string(s.start) + ", end=" + std::to_string(s.end) +
               ", keyframes=" + py::repr(sceneKeyframes(s)).cast<std::string>() + ")";
      });
  py::class_<RunResult>(m, "RunResult")
      .def_readonly("shots", &RunResult::shots, "The shots as the shot list holds them")
      .def_readonly("scenes", &RunResult::scenes, "The scenes; empty with shots_only")
      .def_readonly("paths", &RunResult::paths,
                    "What the run wrote: kind (as shotscene-export --paths names it) to path")
      .def("__repr__", [](const RunResult& r) {
        return "RunResult(" + std::to_string(r.shots.size()) + " shots, " +
               std::to_string(r.scenes.size()) +
               " scenes, paths=" + py::repr(r.paths).cast<std::string>() + ")";
      });
  py::class_<Detection>(m, "ShotDetection")
      .def_readonly("shots", &Detection::shots)
      .def_readonly("stats", &Detection::stats,
                    "The columns of STEM_stats.csv by name, one entry per frame pair, as NumPy "
                    "arrays; where a cell would be empty shot_end holds 0, transition_type -1 "
                    "and the floats NaN")
      .def("__repr__", [](const Detection& d) {
        return "ShotDetection(shots=" + py::repr(py::cast(d.shots)).cast<std::string>() +
               ", stats: " + std::to_string(d.stats.size()) + " columns of " +
               std::to_string(py::len(d.stats["frame"])) + " frame pairs)";
      });

  m.def("run", &run, py::arg("path"), py::arg("shots_only") = false, py::arg("trans_type") = false,
        py::arg("refine_shots") = false, py::arg("kf_shot") = false, py::arg("kf_scene") = false,
        py::arg("kf_path") = py::none(), py::arg("stats") = false, py::arg("progress") = py::none(),
        py::arg("verbose") = false,
        "Runs what the shotscene command runs with the same options and writes the same files "
        "next to the video. progress, when given, is called as progress(frames_done, "
        "frame_count) from the calling thread while the video is scanned.");
  m.def("detect_shots", &detectShotsOf, py::arg("path"), py::arg("refine_shots") = false,
        py::arg("progress") = py::none(), py::arg("verbose") = false,
        "Finds the shots and the statistics of every frame pair, writing nothing.");
}

// What real collections hold: every input gets a clear outcome, never a crash,
// a hang or a garbled file.
#include <sys/stat.h>
#include <unistd.h>

#include "common/cleanup_registry.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/tool_runner.h"
#include "tools/test_video.h"
#include "video/video.h"

namespace shotscene {
namespace {

namespace fs = std::filesystem;
using Maker = std::function<void(const fs::path&)>;
using Edit = std::function<void(std::string)>;
constexpr char kUnusable[] = "255 Can not load video file\n";
constexpr char kCompleted[] =
    "0 Shot segmentation analysis...\nScene segmentation analysis...\nCompleted!\n";

// `count` shots of `length` frames, then `change` applied to the file.
Maker video(int length, int count = 3, Edit change = {}, cv::Size size = cv::Size(96, 64)) {
  return [=](const fs::path& file) {
    EXPECT_TRUE(testing::writeVideo(testing::cutsPlan(size, count, length), file.string()));
    if (change) change(file.string());
  };
}

// An FFmpeg command on a three-shot FFV1 source (input 0), writing the case's
// file; a generated picture or sound is input 1.
Maker transcoded(const std::string& options) {
  return [=](const fs::path& file) {
    const std::string source = file.string() + ".source.avi";
    video(30)(source);
    EXPECT_TRUE(testing::runFfmpeg("-i " + testing::quoted(source) + " " + options + " " +
                                   testing::quoted(file.string())));
    fs::remove(source);
  };
}

Maker generated(const std::string& source, const std::string& map = "-map 1:v -c:v ffv1") {
  return transcoded("-f lavfi -i " + source + " " + map);
}

struct Case {
  std::string file;  // made in a fresh folder
  Maker make;
  const char* stem = nullptr;  // of the outputs, relative to the folder; none when unusable
  std::string args = "";       // default: the quoted file name
  std::string err = "";        // all that standard error must say
};

class BadInputTest : public testing::ScratchFolderTest {};

TEST_F(BadInputTest, EveryInputGetsAClearOutcome) {
  const auto rated = [](uint32_t rate, uint32_t scale) {
    return video(10, 3,
                 [=](std::string f) { EXPECT_TRUE(testing::setAviFrameRate(f, rate, scale)); });
  };
  const std::string longStem(244, 'v');  // its scene list's name has 255 characters
  // Written as .avi and renamed: the writer picks its container by the extension.
  const auto plain = [](const fs::path& file) {
    fs::create_directories(file.parent_path());
    video(20)(file.string() + ".avi");
    fs::rename(file.string() + ".avi", file);
  };

  const std::vector<Case> cases = {
      // Read more than once, never regular files (devices and sockets alike):
      // refused at once, never waited on.
      {"pipe.mp4", [](const fs::path& f) { EXPECT_EQ(::mkfifo(f.c_str(), 0600), 0); }},
      {"audio.m4a", generated("sine=duration=2", "-map 1:a")},
      {"empty.mp4", [](const fs::path& f) { std::ofstream{f}; }},
      // Taken for a pipeline to run by a GStreamer backend: must run nothing.
      {"videotestsrc num-buffers=3 ! tee name=t t. ! queue ! filesink location=pwned t. ! "
       "queue ! videoconvert ! appsink",
       [](const fs::path&) {}},
      {"height_rounds_to_0.avi", video(5, 3, {}, cv::Size(4000, 3))},
      {"rate_100.avi", rated(100, 1)},
      {"rate_99_9.avi", rated(999, 10), "rate_99_9"},
      // The demuxer falls back to a rate of its own for a stated rate of 0.
      {"rate_0.avi", rated(0, 1), "rate_0"},
      // Root reads anything.
      {"locked.avi", video(10, 3, [](std::string f) { fs::permissions(f, fs::perms::none); }),
       ::geteuid() == 0 ? "locked" : nullptr},
      {"dot.avi", generated("testsrc=size=1x1:duration=2"), "dot"},
      {"black.avi", generated("color=c=black:size=96x64:duration=3"), "black"},
      {"strip.avi", video(8, 3, {}, cv::Size(4000, 100)), "strip"},
      {"truncated.avi",
       video(30, 3, [](std::string f) { fs::resize_file(f, fs::file_size(f) / 2); }), "truncated",
       "", "Can not decode 46 of 90 frames of truncated.avi (first 45, last 90)\n"},
      // 10-bit and odd sizes (rotation has a test of its own).
      {"p010.mkv", transcoded("-c:v ffv1 -pix_fmt yuv420p10le"), "p010"},
      {"odd.avi", generated("testsrc=size=601x337:duration=2"), "odd"},
      // A still picture is one frame, one shot; an animation a video.
      {"still.png", transcoded("-frames:v 1"), "still"},
      {"animated.gif", transcoded("-t 2"), "animated"},
      {"-dash.avi", video(20), "-dash", "-- -dash.avi"},
      // No shell runs on the name, nor to make the keyframe folder, parents and all.
      {"my clip é;b$(touch x)`touch y`|&.avi", video(20), "my clip é;b$(touch x)`touch y`|&",
       "--kf_shot -p new/folder 'my clip é;b$(touch x)`touch y`|&.avi'"},
      // The last dot names the stem, here the folder's: outputs go beside it.
      {"v.old/clip", plain, "v"},
      // The longest output name the folder takes: its temporary names are
      // shortened, and a dead run's is removed.
      {longStem + ".avi",
       [&](const fs::path& f) {
         video(10)(f);
         const std::string own =
             temporaryPathFor((f.parent_path() / longStem).string() + "_shots.txt");
         const std::string stale =
             own.substr(0, own.rfind('.', own.size() - 5) + 1) + testing::kDeadPid + ".tmp";
         std::ofstream(stale) << "partial";
         EXPECT_TRUE(fs::exists(stale));
       },
       longStem.c_str()},
  };

  for (size_t k = 0; k < cases.size(); ++k) {
    const Case& c = cases[k];
    SCOPED_TRACE(c.file);
    const fs::path folder = dir_ / std::to_string(k);
    fs::create_directory(folder);
    c.make(folder / c.file);
    const auto before = std::distance(fs::directory_iterator(folder), {});
    const testing::Outcome r =
        testing::runTool(folder.string(), c.args.empty() ? testing::quoted(c.file) : c.args);
    EXPECT_EQ(std::to_string(r.status) + " " + r.out, c.stem ? kCompleted : kUnusable) << r.err;
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(testing::temporaryFiles(folder.string()), std::vector<std::string>{});
    if (c.stem == nullptr) {
      EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), before) << "an output was made";
      continue;
    }
    Video opened;
    ASSERT_TRUE(openVideo(opened, (folder / c.file).string()));
    EXPECT_EQ(testing::outputProblems((folder / c.stem).string(), opened.probe.frameCount, true),
              "");
    EXPECT_FALSE(fs::exists(folder / "x") || fs::exists(folder / "y"));
  }
}

// Frames stored turned a quarter with metadata to turn them back are analysed
// as displayed: the files are those of the same frames stored upright
// (lossless 4:4:4 H.264, so the two decode to the same pixels).
TEST_F(BadInputTest, RotatedVideoGivesTheFilesOfItsUprightFrames) {
  ASSERT_TRUE(testing::writeVideo(testing::demoPlan(cv::Size(160, 96), 25.0, 300), path("s.avi")));
  for (const std::string stem : {"rotated", "upright"}) {
    ASSERT_TRUE(testing::runFfmpeg(
        "-i " + testing::quoted(path("s.avi")) + " -c:v libx264 -qp 0 -pix_fmt yuv444p " +
        (stem == "rotated" ? "-vf transpose=1 -metadata:s:v rotate=90 " : "") +
        testing::quoted(path(stem + ".mp4"))));
    ASSERT_EQ(testing::runTool(dir_.string(), "--trans_type " + stem + ".mp4").status, 0);
  }
  const std::string upright = testing::resultFiles(path("upright"));
  EXPECT_EQ(testing::resultFiles(path("rotated")), upright);
  EXPECT_NE(upright.find("\n41 "), std::string::npos) << upright;  // the first cut was found
}

}  // namespace
}  // namespace shotscene

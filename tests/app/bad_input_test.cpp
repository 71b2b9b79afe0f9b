// What real collections hold: every input gets a clear outcome, never a crash,
// a hang or a garbled file.
#include <unistd.h>

#include <opencv2/videoio.hpp>

#include "tests/support/scratch_folder.h"
#include "tests/support/test_video.h"
#include "tests/support/tool_runner.h"

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
    testing::VideoPlan plan;
    plan.size = size;
    for (int k = 0; k < count; ++k) testing::addShot(plan, k + 1, length);
    EXPECT_TRUE(testing::writeVideo(plan, file.string()));
    if (change) change(file.string());
  };
}

struct Case {
  std::string file;  // made in a fresh folder
  Maker make;
  const char* stem = nullptr;  // of the outputs, relative to the folder; none when unusable
  std::string args = "";       // default: the quoted file name
};

class BadInputTest : public testing::ScratchFolderTest {};

TEST_F(BadInputTest, EveryInputGetsAClearOutcome) {
  const auto rated = [](uint32_t rate, uint32_t scale) {
    return video(10, 3,
                 [=](std::string f) { EXPECT_TRUE(testing::setAviFrameRate(f, rate, scale)); });
  };
  // Written as .avi and renamed: the writer picks its container by the extension.
  const auto plain = [](const fs::path& file) {
    fs::create_directories(file.parent_path());
    video(20)(file.string() + ".avi");
    fs::rename(file.string() + ".avi", file);
  };
  // From FFmpeg's generators: sizes the writer refuses, and flat pictures.
  const auto generated = [](const std::string& source) {
    return [source](const fs::path& f) {
      const std::string make = "ffmpeg -nostdin -v error -f lavfi -i " + source + " -c:v ffv1 ";
      EXPECT_EQ(std::system((make + testing::quoted(f.string())).c_str()), 0);
    };
  };
  cv::Mat noise(1, 4096, CV_8U);
  cv::randu(noise, 0, 256);

  const std::vector<Case> cases = {
      {"nothing.mp4", [](const fs::path&) {}},
      {"folder.mp4", [](const fs::path& f) { fs::create_directory(f); }},
      {"empty.mp4", [](const fs::path& f) { std::ofstream{f}; }},
      {"noise.mp4", [&](const fs::path& f) { std::ofstream(f).write(noise.ptr<char>(), 4096); }},
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
      {"f1.avi", video(1, 1), "f1"},
      {"dot.avi", generated("testsrc=size=1x1:duration=2"), "dot"},
      {"black.avi", generated("color=c=black:size=96x64:duration=3"), "black"},
      {"strip.avi", video(8, 3, {}, cv::Size(4000, 100)), "strip"},
      {"truncated.avi",
       video(30, 3, [](std::string f) { fs::resize_file(f, fs::file_size(f) / 2); }), "truncated"},
      {"overstated.avi",
       video(30, 3, [](std::string f) { EXPECT_TRUE(testing::setAviFrameCount(f, 150)); }),
       "overstated"},
      {"-dash.avi", plain, "-dash", "-- -dash.avi"},
      // No shell runs on the name, nor to make the keyframe folder, parents and all.
      {"my clip é;b$(touch x)`touch y`|&.avi", plain, "my clip é;b$(touch x)`touch y`|&",
       "--kf_shot -p new/folder 'my clip é;b$(touch x)`touch y`|&.avi'"},
      // The last dot names the stem, here the folder's: outputs go beside it.
      {"v.old/clip", plain, "v"},
      // No dot at all: the outputs are the bare suffixes.
      {"clip", plain, ""},
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
    if (c.stem == nullptr) {
      EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), before) << "an output was made";
      continue;
    }
    const int claimed = static_cast<int>(
        cv::VideoCapture((folder / c.file).string()).get(cv::CAP_PROP_FRAME_COUNT));
    EXPECT_EQ(testing::outputProblems((folder / c.stem).string(), claimed, true), "");
    EXPECT_FALSE(fs::exists(folder / "x") || fs::exists(folder / "y"));
  }
}

}  // namespace
}  // namespace shotscene

// What real collections hold: every input gets a clear outcome, never a crash,
// a hang or a garbled file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <opencv2/videoio.hpp>
#include <random>
#include <set>

#include "tests/support/scratch_folder.h"
#include "tests/support/test_video.h"
#include "tests/support/tool_runner.h"

namespace shotscene {
namespace {

namespace fs = std::filesystem;

constexpr char kUnusable[] = "Can not load video file\n";
constexpr char kCompleted[] =
    "Shot segmentation analysis...\nScene segmentation analysis...\nCompleted!\n";

std::set<fs::path> filesUnder(const fs::path& folder) {
  std::set<fs::path> files;
  for (const auto& e : fs::recursive_directory_iterator(folder)) files.insert(e.path());
  return files;
}

// Three shots of `length` frames of the given size.
testing::VideoPlan shots(cv::Size size, int length, int count = 3) {
  testing::VideoPlan plan;
  plan.size = size;
  for (int k = 0; k < count; ++k) testing::addShot(plan, k + 1, length);
  return plan;
}

bool ffmpegVideo(const std::string& source, const std::string& path) {
  const std::string command = "ffmpeg -v error -y -f lavfi -i " + source +
                              " -c:v ffv1 -pix_fmt bgr0 " + testing::quoted(path) + " </dev/null";
  return std::system(command.c_str()) == 0;
}

// An input made in a fresh folder, the arguments naming it, and the output
// stem (relative to the folder) of a usable one.
struct Case {
  Case(std::string name, std::string file, std::function<void(const fs::path&)> make, bool usable,
       std::string stem = "", std::string args = "")
      : name(std::move(name)),
        file(std::move(file)),
        make(std::move(make)),
        usable(usable),
        stem(std::move(stem)),
        args(std::move(args)) {}
  std::string name;
  std::string file;
  std::function<void(const fs::path&)> make;
  bool usable;
  std::string stem;
  std::string args;  // default: the quoted file name
};

class BadInputTest : public testing::ScratchFolderTest {};

TEST_F(BadInputTest, EveryInputGetsAClearOutcome) {
  const auto video = [](testing::VideoPlan plan) {
    return [plan](const fs::path& file) { EXPECT_TRUE(testing::writeVideo(plan, file.string())); };
  };
  // The writer picks its container by the extension.
  const auto withoutExtension = [video](testing::VideoPlan plan) {
    return [=](const fs::path& file) {
      fs::create_directories(file.parent_path());
      video(plan)(file.string() + ".avi");
      fs::rename(file.string() + ".avi", file);
    };
  };
  const auto rated = [](testing::VideoPlan plan, uint32_t rate, uint32_t scale) {
    return [=](const fs::path& file) {
      EXPECT_TRUE(testing::writeVideo(plan, file.string()));
      EXPECT_TRUE(testing::setAviFrameRate(file.string(), rate, scale));
    };
  };
  const auto generated = [](const std::string& source) {
    return [source](const fs::path& file) { EXPECT_TRUE(ffmpegVideo(source, file.string())); };
  };
  const auto bytes = [](const std::string& content) {
    return [content](const fs::path& file) { std::ofstream(file, std::ios::binary) << content; };
  };
  std::mt19937 random(7);
  std::string noise(4096, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  const cv::Size small(96, 64);
  const testing::VideoPlan plain = shots(small, 20);

  std::vector<Case> cases = {
      {"missing path", "nothing.mp4", [](const fs::path&) {}, false},
      {"a folder", "folder.mp4", [](const fs::path& f) { fs::create_directory(f); }, false},
      {"empty file", "empty.mp4", bytes(""), false},
      {"random bytes", "noise.mp4", bytes(noise), false},
      {"a text file", "notes.avi", bytes("not a video\n"), false},
      // Taken for a pipeline to run by a GStreamer backend: must run nothing.
      {"a pipeline description",
       "videotestsrc num-buffers=3 ! tee name=t t. ! queue ! filesink location=pwned t. ! "
       "queue ! videoconvert ! appsink",
       [](const fs::path&) {}, false},
      {"analysis height rounds to 0", "wide.avi", video(shots(cv::Size(4000, 3), 5)), false},
      {"frame rate 100", "fast.avi", rated(shots(small, 10), 100, 1), false},
      {"frame rate 99.9", "fastest.avi", rated(shots(small, 10), 999, 10), true, "fastest"},
      // The demuxer falls back to a rate of its own for a stated rate of 0.
      {"frame rate 0", "still.avi", rated(shots(small, 10), 0, 1), true, "still"},
      {"1 frame", "f1.avi", video(shots(small, 1, 1)), true, "f1"},
      {"2 frames", "f2.avi", video(shots(small, 1, 2)), true, "f2"},
      {"5 frames", "f5.avi", video(shots(small, 5, 1)), true, "f5"},
      {"27 frames", "f27.avi", video(shots(small, 9)), true, "f27"},
      {"1x1 pixels", "dot.avi", generated("testsrc=size=1x1:rate=25:duration=2"), true, "dot"},
      {"512x1 pixels", "line.avi", generated("testsrc=size=512x1:rate=25:duration=2"), true,
       "line"},
      {"4000x100 pixels", "strip.avi", video(shots(cv::Size(4000, 100), 8)), true, "strip"},
      {"grey only", "grey.avi", generated("color=c=gray:size=96x64:rate=25:duration=3"), true,
       "grey"},
      {"all black", "black.avi", generated("color=c=black:size=96x64:rate=25:duration=3"), true,
       "black"},
      {"truncated at half its size", "cut.avi",
       [&](const fs::path& f) {
         video(shots(small, 30))(f);
         fs::resize_file(f, fs::file_size(f) / 2);
       },
       true, "cut"},
      {"frame count overstated", "over.avi",
       [&](const fs::path& f) {
         video(shots(small, 30))(f);
         EXPECT_TRUE(testing::setAviFrameCount(f.string(), 150));
       },
       true, "over"},
      {"blanks and non-ASCII letters", "my clip é ü.avi", video(plain), true, "my clip é ü"},
      {"leading dash", "-dash.avi", video(plain), true, "-dash", "-- -dash.avi"},
      {"shell metacharacters", "a;b$(touch x)`touch y`|&.avi", video(plain), true,
       "a;b$(touch x)`touch y`|&"},
      // The last dot names the stem, here the folder's: outputs go beside it.
      {"dot in a folder name", "v.old/clip", withoutExtension(plain), true, "v"},
      // No dot at all: the outputs are the bare suffixes.
      {"no extension", "clip", withoutExtension(plain), true, ""},
  };
  if (::geteuid() != 0) {  // root reads anything
    cases.push_back({"no read permission", "locked.avi",
                     [&](const fs::path& f) {
                       video(shots(small, 10))(f);
                       fs::permissions(f, fs::perms::none);
                     },
                     false});
  }

  int k = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path folder = dir_ / ("case" + std::to_string(k++));
    fs::create_directory(folder);
    c.make(folder / c.file);
    const std::set<fs::path> before = filesUnder(folder);
    const testing::Outcome r =
        testing::runTool(folder.string(), c.args.empty() ? testing::quoted(c.file) : c.args);
    if (!c.usable) {
      EXPECT_EQ(r.status, 255);
      EXPECT_EQ(r.out, kUnusable);
      EXPECT_EQ(filesUnder(folder), before) << "an output file was created";
      continue;
    }
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, kCompleted);
    const int claimed = static_cast<int>(
        cv::VideoCapture((folder / c.file).string()).get(cv::CAP_PROP_FRAME_COUNT));
    EXPECT_EQ(testing::outputProblems((folder / c.stem).string(), claimed, true), "");
    EXPECT_FALSE(fs::exists(folder / "x"));
    EXPECT_FALSE(fs::exists(folder / "y"));
  }
}

}  // namespace
}  // namespace shotscene

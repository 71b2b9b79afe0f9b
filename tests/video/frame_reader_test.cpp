// Frames the tool asks for are the frames sequential decoding gives, also on
// files whose frame-position seeks land elsewhere and past frames that fail.
#include "video/frame_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <random>
#include <set>

#include "common/naming.h"
#include "scenes/scene_segmentation.h"
#include "scenes/shot_signatures.h"
#include "app/shot_stage.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/test_video.h"
#include "tests/support/tool_runner.h"
#include "video/frame_digest.h"

namespace shotscene {
namespace {

namespace fs = std::filesystem;

class FrameReaderTest : public testing::ScratchFolderTest {};

// Every position as the scan reads them, and the video with that index.
std::vector<cv::Mat> scanAll(Video& video) {
  std::vector<cv::Mat> frames;
  FrameReader reader;
  openFrameReader(reader, video, false);
  for (int k = 0; k < video.probe.frameCount; ++k) {
    cv::Mat frame;
    readNextFrame(reader, frame, video.index);
    frames.push_back(frame);
  }
  return frames;
}

// A generated FFV1 video and H.264 transcodes with B-frames in MP4, in MPEG-TS
// (whose seeks land on the wrong frame) and in Matroska with a stated rate that
// is not the real one (seeks land early). Without an index the reader never
// seeks; with one it seeks over long gaps, and where a seek lands elsewhere or
// the index is wrong (at frame 130, the first seek's target) it must still
// return the sequential frame. Shot keyframe k is frame k - 1 counted from 0;
// signatures take the number itself as the position.
TEST_F(FrameReaderTest, NoFrameReadDiffersFromTheSequentialOne) {
  const std::string source = path("source.avi");
  ASSERT_TRUE(testing::writeVideo(testing::demoPlan(cv::Size(160, 96), 25.0, 300), source));
  const std::pair<const char*, const char*> videos[] = {
      {"source.avi", nullptr}, {"b.mp4", ""}, {"b.ts", "-f mpegts"}, {"b.mkv", "-r 30000/1001"}};
  for (const auto& [name, options] : videos) {
    const std::string path = this->path(name);
    const std::string command = "ffmpeg -v error -y -i " + testing::quoted(source) +
                                " -c:v libx264 -bf 3 -g 48 -pix_fmt yuv420p " +
                                (options ? options : "") + " " + testing::quoted(path);
    ASSERT_TRUE(!options || std::system((command + " </dev/null").c_str()) == 0) << command;
    Video video;
    ASSERT_TRUE(openVideo(video, path));
    std::vector<cv::Mat> frames = scanAll(video);
    while (!frames.empty() && frames.back().empty()) frames.pop_back();
    const int n = static_cast<int>(frames.size());
    ASSERT_GT(n, 300) << path;
    // Gaps both ways, repeats, overlapping windows and back to their start, the end.
    const std::vector<int> requests = {130, 131, 140, 60,    61,  290, 200, 201, 3,
                                       3,   3,   40,  41,    120, 100, 102, 104, 110,
                                       100, 90,  5,   n - 1, n,   249, 0};
    for (int mode = 0; mode < 3; ++mode) {  // no index, the index, a wrong index
      Video used = video;
      if (mode == 0) used.index = FrameIndex{};
      if (mode == 2) used.index.frames[130].digest ^= 1;
      FrameReader reader;
      openFrameReader(reader, used);
      for (int k : requests) {
        cv::Mat frame;
        ASSERT_EQ(readFrameAt(reader, k, frame), k < n) << path << " frame " << k;
        EXPECT_TRUE(k >= n || cv::norm(frame, frames[k], cv::NORM_INF) == 0.0) << path << " " << k;
      }
      EXPECT_EQ(reader.seeks > 0, mode > 0) << path;
      EXPECT_TRUE(mode < 2 || !reader.seekable) << path;
    }
    ASSERT_EQ(testing::runTool(dir_.string(), "--kf_shot " + testing::quoted(path)).status, 0);
    const std::string stem = outputStem(path);
    std::vector<StoredShot> shots;
    ASSERT_TRUE(readShotRecords(stem + "_shots.txt", shots));
    const SignatureTable signatures = computeShotSignatures(video);
    ASSERT_TRUE(shots.size() > 3 && signatures.size() == 3 * shots.size()) << stem;
    for (size_t s = 0; s < signatures.size(); ++s) {
      const int k = static_cast<int>(shots[s / 3].samples[s % 3]);
      const std::string image =
          shotKeyframeImage(stem + "_Shot_Keyframes", static_cast<int>(s / 3 + 1), s % 3 + 1);
      std::vector<uchar> jpeg;  // the frame as the encoder writes it
      cv::imencode(".jpg", frames[k - 1], jpeg);
      EXPECT_EQ(testing::readWholeFile(image), std::string(jpeg.begin(), jpeg.end())) << image;
      EXPECT_EQ(signatures[s], frameSignature(frames[k])) << image;
    }
  }
}

// An H.264 file with bytes overwritten by noise at its middle, alone and with
// frames made to fail at chosen positions besides: a stretch, frames spread
// over the video, the start. Both stages run in-process with every keyframe
// switch, and their results follow the positions the scan decoded: a shot has
// its three images exactly when its three keyframes decoded, a sample's
// signature is zero exactly when its position did not decode, the shot list
// is the one a run without keyframes writes, and readers, seeking or not,
// return what the scan saw.
TEST_F(FrameReaderTest, PassesAfterTheScanReadPastFramesThatFail) {
  const std::string path = this->path("damaged.mp4");
  ASSERT_TRUE(testing::writeVideo(testing::demoPlan(cv::Size(320, 180), 25.0, 600), path, "avc1"));
  const auto size = fs::file_size(path);
  {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>(size / 2));
    std::mt19937 noise(7);
    for (size_t k = 0; k < size / 20; ++k) file.put(static_cast<char>(noise()));
  }
  const std::pair<const char*, std::function<bool(int)>> cases[] = {
      {"damaged", nullptr},
      {"stretch", [](int k) { return k >= 150 && k < 190; }},
      {"spread", [](int k) { return k % 13 == 5; }},
      {"start", [](int k) { return k < 12; }}};
  for (const auto& [label, unreadable] : cases) {
    Video video;
    ASSERT_TRUE(openVideo(video, path));
    video.unreadable = unreadable;
    const std::string stem = outputStem(video.path);
    fs::remove_all(stem + "_Shot_Keyframes");  // the last case's images
    ASSERT_EQ(runShotSegmentation(video, false, "", true), kShotStageOk) << label;
    const std::string without = testing::readWholeFile(stem + "_shots.txt");
    ASSERT_EQ(runShotSegmentation(video, true, "", true), kShotStageOk) << label;
    EXPECT_EQ(testing::readWholeFile(stem + "_shots.txt"), without) << label;
    const SignatureTable signatures = computeShotSignatures(video);
    ASSERT_EQ(runSceneSegmentation(video, signatures, true), kSceneStageOk) << label;

    const std::vector<IndexedFrame>& index = video.index.frames;
    const auto decoded = [&](int position) {
      return position >= 0 && position < static_cast<int>(index.size()) && index[position].decoded;
    };
    std::vector<StoredShot> shots;
    ASSERT_TRUE(readShotRecords(stem + "_shots.txt", shots));
    int pastFailure = 0;  // samples a reader stopping at the first failure would miss
    for (size_t s = 0; s < shots.size(); ++s) {
      bool all = true;
      for (float k : shots[s].samples) all = all && decoded(static_cast<int>(k) - 1);
      for (int j = 0; j < 3; ++j) {
        const std::string image =
            shotKeyframeImage(stem + "_Shot_Keyframes", static_cast<int>(s + 1), j + 1);
        EXPECT_EQ(fs::exists(image), all) << label << " " << image;
        const int position = static_cast<int>(shots[s].samples[j]);
        EXPECT_EQ(signatures[3 * s + j] == ShotSignature{}, !decoded(position))
            << label << " sample " << position;
        pastFailure += position > video.index.leadingDecoded;
      }
    }
    EXPECT_GT(pastFailure, 0) << label;

    FrameReader forward, seeking;
    Video unindexed = video;
    unindexed.index = FrameIndex{};
    openFrameReader(forward, unindexed);
    openFrameReader(seeking, video);
    for (int k = 0; k < static_cast<int>(index.size()); k += 3) {
      for (FrameReader* reader : {&forward, &seeking}) {
        cv::Mat frame;
        EXPECT_EQ(readFrameAt(*reader, k, frame), index[k].decoded) << label << " " << k;
        EXPECT_TRUE(frame.empty() || frameDigest(frame) == index[k].digest) << label << " " << k;
      }
    }
    ASSERT_LT(video.index.leadingDecoded, 500) << label;
    EXPECT_TRUE(index.back().decoded) << label << ": the scan did not decode past the damage";
    for (int k = 0; unreadable && k < static_cast<int>(index.size()); ++k) {
      EXPECT_FALSE(unreadable(k) && index[k].decoded) << label << " " << k;
    }
  }
}

}  // namespace
}  // namespace shotscene

// Frames the tool asks for are the frames sequential decoding gives, also on
// files whose frame-position seeks land elsewhere.
#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>

#include "scenes/scene_files.h"
#include "scenes/shot_signatures.h"
#include "shots/video_source.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/test_video.h"
#include "tests/support/tool_runner.h"

namespace shotscene {
namespace {

class FrameReaderTest : public testing::ScratchFolderTest {};

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
    const std::string video = path(name);
    const std::string command = "ffmpeg -v error -y -i " + testing::quoted(source) +
                                " -c:v libx264 -bf 3 -g 48 -pix_fmt yuv420p " +
                                (options ? options : "") + " " + testing::quoted(video);
    ASSERT_TRUE(!options || std::system((command + " </dev/null").c_str()) == 0) << command;
    std::vector<cv::Mat> frames;
    FrameIndex index;  // as the scan leaves it
    cv::VideoCapture capture;
    ASSERT_TRUE(openVideo(capture, video));
    for (cv::Mat f; capture.read(f); frames.push_back(f.clone())) recordFrame(index, capture, f);
    const int n = static_cast<int>(frames.size());
    ASSERT_GT(n, 300) << video;
    // Gaps both ways, repeats, overlapping windows and back to their start, the end.
    const std::vector<int> requests = {130, 131, 140, 60,    61,  290, 200, 201, 3,
                                       3,   3,   40,  41,    120, 100, 102, 104, 110,
                                       100, 90,  5,   n - 1, n,   249, 0};
    for (int mode = 0; mode < 3; ++mode) {  // no index, the index, a wrong index
      FrameIndex used = index;
      if (mode == 2) used.digests[130] ^= 1;
      FrameReader reader;
      openFrameReader(reader, video, mode == 0 ? nullptr : &used);
      for (int k : requests) {
        cv::Mat frame;
        ASSERT_EQ(readFrameAt(reader, k, frame), k < n) << video << " frame " << k;
        EXPECT_TRUE(k >= n || cv::norm(frame, frames[k], cv::NORM_INF) == 0.0) << video << " " << k;
      }
      EXPECT_EQ(reader.seeks > 0, mode > 0) << video;
      EXPECT_TRUE(mode < 2 || !reader.seekable) << video;
    }
    ASSERT_EQ(testing::runTool(dir_.string(), "--kf_shot " + testing::quoted(video)).status, 0);
    const std::string stem = video.substr(0, video.rfind('.'));
    std::vector<StoredShot> shots;
    ASSERT_TRUE(readShotRecords(stem + "_shots.txt", shots));
    const SignatureTable signatures = computeShotSignatures(video, &index);
    ASSERT_TRUE(shots.size() > 3 && signatures.size() == 3 * shots.size()) << stem;
    for (size_t s = 0; s < signatures.size(); ++s) {
      const int k = static_cast<int>(shots[s / 3].samples[s % 3]);
      const std::string image = stem + "_Shot_Keyframes/shot" + std::to_string(s / 3 + 1) + "_" +
                                std::to_string(s % 3 + 1) + ".jpg";
      std::vector<uchar> jpeg;  // the frame as the encoder writes it
      cv::imencode(".jpg", frames[k - 1], jpeg);
      EXPECT_EQ(testing::readWholeFile(image), std::string(jpeg.begin(), jpeg.end())) << image;
      EXPECT_EQ(signatures[s], frameSignature(frames[k])) << image;
    }
  }
}

}  // namespace
}  // namespace shotscene

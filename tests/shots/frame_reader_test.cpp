// Frames the tool asks for are the frames sequential decoding gives, also on
// files whose frame-position seeks land elsewhere.
#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>

#include "scenes/scene_files.h"
#include "scenes/shot_signatures.h"
#include "shots/video_source.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/test_video.h"

namespace shotscene {
namespace {

std::vector<cv::Mat> decodeAll(const std::string& path) {
  std::vector<cv::Mat> frames;
  cv::VideoCapture capture(path);
  for (cv::Mat f; capture.read(f);) frames.push_back(f.clone());
  return frames;
}

bool same(const cv::Mat& a, const cv::Mat& b) {
  return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0.0;
}

// Each request gives the sequentially decoded frame, or nothing past the end.
void expectSequentialFrames(FrameReader& reader, const std::vector<int>& requests,
                            const std::vector<cv::Mat>& frames, const std::string& video) {
  for (int index : requests) {
    cv::Mat frame;
    const bool read = readFrameAt(reader, index, frame);
    if (index >= static_cast<int>(frames.size())) {
      EXPECT_FALSE(read) << video << " frame " << index;
    } else {
      ASSERT_TRUE(read) << video << " frame " << index;
      EXPECT_TRUE(same(frame, frames[index])) << video << " frame " << index;
    }
  }
}

class FrameReaderTest : public testing::ScratchFolderTest {
 protected:
  // A generated FFV1 video and H.264 transcodes with B-frames in MP4, in
  // MPEG-TS (whose seeks land on the wrong frame) and in Matroska with a
  // stated rate that is not the real one (seeks land early).
  std::vector<std::string> makeVideos() {
    testing::VideoPlan plan = testing::demoPlan(cv::Size(160, 96), 25.0, 300);
    const std::string source = path("source.avi");
    EXPECT_TRUE(testing::writeVideo(plan, source));
    std::vector<std::string> videos = {source};
    const std::pair<const char*, const char*> transcodes[] = {
        {"bframes.mp4", ""}, {"bframes.ts", "-f mpegts"}, {"bframes.mkv", "-r 30000/1001"}};
    for (const auto& [name, extra] : transcodes) {
      const std::string command = "ffmpeg -v error -y -i '" + source +
                                  "' -c:v libx264 -bf 3 -g 48 -pix_fmt yuv420p " + extra + " '" +
                                  path(name) + "' </dev/null";
      EXPECT_EQ(std::system(command.c_str()), 0) << "ffmpeg is needed: " << command;
      videos.push_back(path(name));
    }
    return videos;
  }
};

TEST_F(FrameReaderTest, EveryRequestedFrameIsTheSequentialOne) {
  for (const std::string& video : makeVideos()) {
    const std::vector<cv::Mat> frames = decodeAll(video);
    const int n = static_cast<int>(frames.size());
    ASSERT_GT(n, 250) << video;
    // Keyframe and signature order (forward, with repeats), the typing order
    // (overlapping windows, then back to a candidate's start) and jumps back.
    const std::vector<int> requests = {0,   3,   3,   3,   40, 41, 120,   200, 100, 102,
                                       104, 110, 100, 120, 90, 5,  n - 1, n,   249};
    FrameReader reader;
    openFrameReader(reader, video);
    expectSequentialFrames(reader, requests, frames, video);
  }
}

// With the index a sequential pass leaves, the reader seeks over long gaps;
// where the seek lands elsewhere (TS, MKV) or the index disagrees, it must
// still return the sequential frame.
TEST_F(FrameReaderTest, SeekLandingOnAnotherFrameIsNeverReturned) {
  for (const std::string& video : makeVideos()) {
    FrameIndex index;
    {
      cv::VideoCapture capture;
      ASSERT_TRUE(openVideo(capture, video));
      for (cv::Mat f; capture.read(f);) recordFrame(index, capture, f);
    }
    const std::vector<cv::Mat> frames = decodeAll(video);
    const int n = static_cast<int>(frames.size());
    ASSERT_EQ(index.decoded, n) << video;
    const std::vector<int> requests = {130, 131, 140, 60, 61, 290, 200, 201, 5, n - 1, n, 150};
    for (bool tampered : {false, true}) {
      FrameIndex used = index;
      // The first request always seeks, so its frame is checked.
      if (tampered) used.digests[130] ^= 1;
      FrameReader reader;
      openFrameReader(reader, video, &used);
      expectSequentialFrames(reader, requests, frames, video);
      EXPECT_GT(reader.seeks, 0) << video << ": the reader never sought";
      if (tampered) {
        EXPECT_FALSE(reader.seekable) << video;
      }
    }
  }
}

TEST_F(FrameReaderTest, KeyframeImagesAndSignaturesShowTheFramesTheyName) {
  for (const std::string& video : makeVideos()) {
    const std::vector<cv::Mat> frames = decodeAll(video);
    const std::string command =
        std::string("'") + SHOTSCENE_BINARY + "' --kf_shot --kf_scene '" + video + "' >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << video;
    const std::string stem = video.substr(0, video.rfind('.'));
    std::vector<StoredShot> shots;
    ASSERT_TRUE(readShotRecords(stem + "_shots.txt", shots));
    ASSERT_GT(shots.size(), 3u);
    // Shot keyframes are frame k - 1 counted from 0; compared as the encoder
    // writes them.
    const auto imageOf = [](const cv::Mat& frame) {
      std::vector<uchar> bytes;
      cv::imencode(".jpg", frame, bytes);
      return std::string(bytes.begin(), bytes.end());
    };
    for (size_t s = 0; s < shots.size(); ++s) {
      for (int j = 0; j < 3; ++j) {
        const int index = static_cast<int>(shots[s].samples[j]) - 1;
        const std::string image = stem + "_Shot_Keyframes/shot" + std::to_string(s + 1) + "_" +
                                  std::to_string(j + 1) + ".jpg";
        EXPECT_EQ(testing::readWholeFile(image), imageOf(frames[index])) << image;
      }
    }
    // Scene keyframes and signatures take the number itself as the position.
    std::ifstream scenes(stem + "_scenes.txt");
    for (int scene = 1, value, field = 0; scenes >> value; ++field) {
      if (field == 7) field = 0, ++scene;
      if (field < 2 || value == 0) continue;
      const std::string image = stem + "_Scene_Keyframes/scene" + std::to_string(scene) + "_" +
                                std::to_string(field - 1) + ".jpg";
      EXPECT_EQ(testing::readWholeFile(image), imageOf(frames[value])) << image;
    }
    const SignatureTable signatures = computeShotSignatures(video);
    ASSERT_EQ(signatures.size(), 3 * shots.size());
    for (size_t s = 0; s < shots.size(); ++s) {
      for (int j = 0; j < 3; ++j) {
        const int index = static_cast<int>(shots[s].samples[j]);
        EXPECT_EQ(signatures[3 * s + j], frameSignature(frames[index])) << video << " " << index;
      }
    }
  }
}

}  // namespace
}  // namespace shotscene

// Frames the tool asks for are the frames sequential decoding gives, also on
// files whose frame-position seeks land elsewhere and past frames that fail.
#include "video/frame_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <random>
#include <set>
#include <tuple>

#include "boundaries/shot_boundaries.h"
#include "common/naming.h"
#include "scenes/scene_segmentation.h"
#include "scenes/shot_signatures.h"
#include "shots/shot_keyframes.h"
#include "shots/shot_list.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/tool_runner.h"
#include "tools/test_video.h"
#include "video/frame_digest.h"

namespace shotscene {
namespace {

namespace fs = std::filesystem;

// The digest is compared across readers in one run, so both paths must agree
// on rows that end mid-stripe, rows longer than one block and row views; and
// a seek that lands on another frame must show: a changed byte anywhere, equal
// stripes or rows in another order, the same bytes in another shape, or a flat
// frame of another grey (many equal stripes must not cancel out in a block).
TEST(FrameDigestTest, PathsAgreeAndEveryOtherFrameDiffers) {
  cv::RNG rng(1);
  const auto random = [&rng](int rows, int cols, int type) {
    cv::Mat frame(rows, cols, type);
    rng.fill(frame, cv::RNG::UNIFORM, 0, 256);
    return frame;
  };
  const cv::Mat view = random(9, 301, CV_8UC3)(cv::Rect(3, 1, 290, 7));
  std::vector<cv::Mat> frames = {view, view.clone()};
  for (const auto& [rows, cols, type] : {std::tuple{1, 1, CV_8UC1},
                                         {3, 7, CV_8UC3},
                                         {2, 64, CV_8UC1},
                                         {5, 400, CV_8UC3},
                                         {4, 683, CV_8UC3},
                                         {720, 1280, CV_8UC3}}) {
    frames.push_back(random(rows, cols, type));
  }
  for (const cv::Mat& frame : frames) {
    EXPECT_EQ(frameDigest(frame), frameDigestPortable(frame)) << frame.rows << "x" << frame.cols;
  }
  EXPECT_EQ(frameDigest(view), frameDigest(view.clone()));

  const cv::Mat frame = random(40, 683, CV_8UC3);
  std::vector<cv::Mat> others = {frame.reshape(3, 20), frame.reshape(1), frame.clone(),
                                 frame.clone()};
  std::swap_ranges(others[2].ptr<uint8_t>(5), others[2].ptr<uint8_t>(5) + 64,
                   others[2].ptr<uint8_t>(5) + 128);  // two stripes of one row exchanged
  frame.row(3).copyTo(others[3].row(4));
  frame.row(4).copyTo(others[3].row(3));
  for (const auto& [row, byte] : std::vector<std::pair<int, size_t>>{
           {0, 0}, {0, 63}, {0, 64}, {17, 1000}, {17, 1024}, {39, 683 * 3 - 1}}) {
    others.push_back(frame.clone());
    others.back().ptr<uint8_t>(row)[byte] ^= 1;
  }
  for (const cv::Mat& other : others) EXPECT_NE(frameDigest(other), frameDigest(frame));
  std::set<uint64_t> greys;
  for (int grey = 0; grey < 256; ++grey) {
    greys.insert(frameDigest(cv::Mat(288, 512, CV_8UC3, cv::Scalar::all(grey))));
  }
  EXPECT_EQ(greys.size(), 256u);
}

class FrameReaderTest : public testing::ScratchFolderTest {};

// A generated FFV1 video; H.264 transcodes with B-frames in MP4, in MPEG-TS
// (whose seeks land on the wrong frame) and in Matroska with a stated rate
// that is not the real one (seeks land early); and an H.264 file with bytes
// overwritten by noise at its middle, alone and with frames made to fail at
// chosen positions besides: a stretch, frames spread over the video, the
// start. Both stages run in-process with every keyframe switch, and what
// every later pass reads is what the scan decoded: readers without the
// index, with it (seeking over long gaps) and with a wrong one (at frame 130,
// the first seek's target) return the frame the scan indexed at each position
// or none where it failed; a shot has its three images exactly when its
// keyframes decoded, each the JPEG of frame k - 1 counted from 0; a sample's
// signature is that of frame k, zero where it failed; and on the damaged file
// the scan decodes past the damage and the shot list is the one a run without
// keyframes writes.
TEST_F(FrameReaderTest, EveryPassReadsWhatTheScanDecoded) {
  const std::string source = path("source.avi"), damaged = path("damaged.mp4");
  ASSERT_TRUE(testing::writeVideo(testing::demoPlan(cv::Size(160, 96), 25.0, 300), source));
  ASSERT_TRUE(
      testing::writeVideo(testing::demoPlan(cv::Size(320, 180), 25.0, 600), damaged, "avc1"));
  const auto size = fs::file_size(damaged);
  std::fstream file(damaged, std::ios::in | std::ios::out | std::ios::binary);
  file.seekp(static_cast<std::streamoff>(size / 2));
  std::mt19937 noise(7);
  for (size_t k = 0; k < size / 20; ++k) file.put(static_cast<char>(noise()));
  file.close();
  const struct {
    const char* name;
    const char* transcode;  // the FFmpeg options making it from the source, if any
    std::function<bool(int)> unreadable;
  } cases[] = {{"source.avi", nullptr, nullptr},
               {"b.mp4", "", nullptr},
               {"b.ts", "-f mpegts", nullptr},
               {"b.mkv", "-r 30000/1001", nullptr},
               {"damaged.mp4", nullptr, nullptr},
               {"damaged.mp4", nullptr, [](int k) { return k >= 150 && k < 190; }},
               {"damaged.mp4", nullptr, [](int k) { return k % 13 == 5; }},
               {"damaged.mp4", nullptr, [](int k) { return k < 12; }}};
  for (const auto& c : cases) {
    const std::string path = this->path(c.name), stem = outputStem(path);
    const std::string label = c.name + std::string(c.unreadable ? " and chosen failures" : "");
    ASSERT_TRUE(!c.transcode || testing::runFfmpeg("-i " + testing::quoted(source) +
                                                   " -c:v libx264 -bf 3 -g 48 -pix_fmt yuv420p " +
                                                   c.transcode + " " + testing::quoted(path)))
        << label;
    Video video;
    ASSERT_TRUE(openVideo(video, path));
    video.unreadable = c.unreadable;
    fs::remove_all(stem + "_Shot_Keyframes");  // the last case's images
    // The shot list, with the keyframes when asked for: true when all are written.
    const auto cutIntoShots = [&video, &stem](bool kfShot) {
      ShotScan scan;
      if (!allocateShotScan(scan, video.probe.frameCount)) return false;
      const std::vector<ShotRecord> shots = findShotBoundaries(video, scan, {});
      const KeyframeOutcome keyframes =
          kfShot ? extractShotKeyframes(video, shots, "") : KeyframeOutcome{};
      return writeShotList(stem, shots, true, keyframes.lastShotUnreadable) && keyframes.complete;
    };
    ASSERT_TRUE(cutIntoShots(false)) << label;
    const std::string without = testing::readWholeFile(stem + "_shots.txt");
    ASSERT_TRUE(cutIntoShots(true)) << label;
    const bool damage = c.name[0] == 'd';
    EXPECT_TRUE(!damage || testing::readWholeFile(stem + "_shots.txt") == without) << label;
    const SignatureTable signatures = computeShotSignatures(video);
    ASSERT_EQ(runSceneSegmentation(video, signatures, true), kSceneStageOk) << label;

    const std::vector<IndexedFrame>& index = video.index.frames;
    const int n = static_cast<int>(index.size());
    ASSERT_GT(n, 300) << label;
    EXPECT_TRUE(!damage || index.back().decoded) << label << ": the scan stopped at the damage";
    for (int k = 0; c.unreadable && k < n; ++k) EXPECT_FALSE(c.unreadable(k) && index[k].decoded);
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
        ASSERT_EQ(readFrameAt(reader, k, frame), k < n && index[k].decoded) << label << " " << k;
        EXPECT_TRUE(frame.empty() || frameDigest(frame) == index[k].digest) << label << " " << k;
      }
      EXPECT_TRUE(c.unreadable || (reader.seeks > 0) == (mode > 0)) << label;
      EXPECT_TRUE(c.unreadable || mode < 2 || !reader.seekable) << label;
    }

    std::vector<StoredShot> shots;
    ASSERT_TRUE(readShotRecords(stem + "_shots.txt", shots));
    ASSERT_TRUE(shots.size() > 3 && signatures.size() == 3 * shots.size()) << label;
    Video unindexed = video;
    unindexed.index = FrameIndex{};
    FrameReader forward;
    openFrameReader(forward, unindexed);
    int pastFailure = 0;  // samples a reader stopping at the first failure would miss
    for (size_t s = 0; s < shots.size(); ++s) {
      bool all = true;
      for (float k : shots[s].samples) all = all && index[static_cast<int>(k) - 1].decoded;
      for (int j = 0; j < 3; ++j) {
        const int k = static_cast<int>(shots[s].samples[j]);
        const std::string image =
            shotKeyframeImage(stem + "_Shot_Keyframes", static_cast<int>(s + 1), j + 1);
        cv::Mat frame;
        std::vector<uchar> jpeg;  // the frame as the encoder writes it
        if (readFrameAt(forward, k - 1, frame)) cv::imencode(".jpg", frame, jpeg);
        EXPECT_EQ(testing::readWholeFile(image), all ? std::string(jpeg.begin(), jpeg.end()) : "")
            << label << " " << image;
        EXPECT_EQ(signatures[3 * s + j],
                  readFrameAt(forward, k, frame) ? frameSignature(frame) : ShotSignature{})
            << label << " sample " << k;
        pastFailure += k > video.index.leadingDecoded;
      }
    }
    EXPECT_TRUE(!damage || (pastFailure > 0 && video.index.leadingDecoded < 500)) << label;
  }
}

}  // namespace
}  // namespace shotscene

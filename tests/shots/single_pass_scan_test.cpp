// The single-pass scan, whose frame index lets later readers seek and whose
// kept frames type most candidates, must write exactly what one decoder per
// range and forward-only readers write.
#include "shots/single_pass_scan.h"

#include <gtest/gtest.h>
#include <omp.h>

#include "app/shot_stage.h"
#include "common/naming.h"
#include "scenes/scene_segmentation.h"
#include "scenes/shot_signatures.h"
#include "shots/frame_ranges.h"
#include "shots/gradual_transitions.h"
#include "shots/segment_scanner.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/test_video.h"
#include "tests/support/tool_runner.h"
#include "video/frame_reader.h"

namespace shotscene {
namespace {

// The scan as first built: one decoder per range, and the profiles built
// after. Each range measures its pairs and the one joining the next range; a
// low pair opens a flash candidate that the next analysed frame confirms,
// never across ranges. Types nothing and leaves the video without a frame
// index, so later readers never seek.
void referenceScan(Video& video, ShotScan& scan) {
  const int n = video.probe.frameCount;
  video.index = FrameIndex{};
  const cv::Ptr<cv::ORB> detector = makeFeatureDetector();
  for (const FrameRange& range : planFrameRanges(n, defaultThreadCount())) {
    FrameReader reader;
    openFrameReader(reader, video, false);
    FrameFeatures previous, reference;  // the last analysed frame; the one before a candidate
    bool pending = false;
    cv::Mat decoded, scaled;
    readFrameAt(reader, range.first, decoded);
    const cv::Mat& first = prepareFrame(decoded, video.scale, scaled);
    if (first.empty()) continue;
    computeFrameFeatures(first, *detector, previous);
    for (int j = range.first + 1; j <= std::min(range.end, n - 1); ++j) {
      readFrameAt(reader, j, decoded);
      const cv::Mat& frame = prepareFrame(decoded, video.scale, scaled);
      PairMeasure& pair = scan.measures[j - 1];
      pair = PairMeasure{};
      if (frame.empty()) continue;  // the next decodable frame is compared with the last one
      FrameFeatures current;
      computeFrameFeatures(frame, *detector, current);
      pair = measurePair(previous, current);
      if (j == range.end) break;  // the joining pair looks for no flash
      if (pending) {
        pending = false;
        if (confirmsFlash(reference, current)) scan.isolatedFrames.push_back(j - 1);
      } else if (opensCandidate(pair)) {
        reference = previous;
        pending = true;
      }
      previous = current;
    }
  }
  buildPairProfiles(scan.measures.data(), scan.profiles.data(), n);
}

// The four result files of one run of both stages, and how many candidates
// were typed by decoding again. mode 0: the reference scan; 1: the tool's
// scan; 2: the tool's scan keeping no frames.
std::string runBothStages(const std::string& path, int mode, int& typedByDecoding) {
  cv::theRNG() = cv::RNG();  // scene keyframes draw from it: as in a fresh process
  Video video;
  ShotScan scan;
  if (!openVideo(video, path) || !allocateShotScan(scan, video.probe.frameCount)) return "";
  if (mode == 0) {
    referenceScan(video, scan);
  } else {
    scanShots(video, scan, mode == 1 ? kKeptFrameBytes : 0);
  }
  const std::vector<ShotRecord> shots = findShots(video, scan, &typedByDecoding);
  if (writeShotResults(video, shots, false, "", true) != kShotStageOk ||
      runSceneSegmentation(video, computeShotSignatures(video), false) != kSceneStageOk) {
    return "";
  }
  return testing::resultFiles(outputStem(path));
}

class SinglePassScanTest : public testing::ScratchFolderTest {};

TEST_F(SinglePassScanTest, OutputsAreByteIdenticalToOneDecoderPerRange) {
  // Cuts, a dissolve, a wipe and flashes; a flash on the last frame of the
  // first of two ranges and one on the first frame of the second; a header
  // claiming 40 frames more than the file holds; a copy wide enough to be
  // analysed at 512 px, whose scaling does not depend on the ranges.
  testing::VideoPlan plan = testing::demoPlan(cv::Size(160, 96), 25.0, 300);
  const int n = testing::frameCount(plan);
  plan.flashes.push_back(n / 2 - 1);
  plan.flashes.push_back(n / 2 + 1);
  ASSERT_TRUE(testing::writeVideo(plan, path("clip.avi")));
  ASSERT_TRUE(testing::writeVideo(plan, path("over.avi")));
  ASSERT_TRUE(testing::setAviFrameCount(path("over.avi"), n + 40));
  plan.size = cv::Size(640, 96);
  ASSERT_TRUE(testing::writeVideo(plan, path("wide.avi")));
  for (const std::string video : {"clip", "over", "wide"}) {
    for (const int threads : {1, 2, 4}) {
      if (video == "wide" && threads != 2) continue;
      omp_set_num_threads(threads);
      const std::string label = video + " with " + std::to_string(threads);
      int typed[3] = {0, 0, 0};
      const std::string reference = runBothStages(path(video + ".avi"), 0, typed[0]);
      ASSERT_EQ(std::count(reference.begin(), reference.end(), '|'), 4) << label;
      for (int mode : {1, 2}) {
        EXPECT_EQ(runBothStages(path(video + ".avi"), mode, typed[mode]), reference)
            << label << " mode " << mode;
      }
      // The kept frames typed candidates that keeping none leaves to decoding.
      EXPECT_LT(typed[1], typed[2]) << label;
      EXPECT_EQ(typed[2], typed[0]) << label;
    }
  }
}

// Videos too short for two frames a range are the bad-input tests' business.
TEST(FrameRangesTest, RangesSplitTheVideoEvenlyAndTheLastTakesTheRest) {
  const auto spans = [](int frames, int threads) {
    std::vector<std::pair<int, int>> s;
    for (const FrameRange& r : planFrameRanges(frames, threads)) s.emplace_back(r.first, r.end);
    return s;
  };
  using Spans = std::vector<std::pair<int, int>>;
  EXPECT_EQ(spans(1003, 8),
            (Spans{{0, 250}, {250, 500}, {500, 750}, {750, 1003}}));  // four at most
  EXPECT_EQ(spans(7, 4), (Spans{{0, 2}, {2, 4}, {4, 7}}));            // two frames a range at least
  EXPECT_EQ(spans(120, 1), (Spans{{0, 120}}));
}

class ShotStageTest : public testing::ScratchFolderTest {};

// A cut on the pair that joins two ranges, with two and with four threads, is
// found at every thread count; a one-frame flash inside a range is no cut.
TEST_F(ShotStageTest, CutWhereRangesMeetIsFoundAndAFlashIsNoneWhateverTheThreadCount) {
  testing::VideoPlan plan;
  plan.size = cv::Size(160, 96);
  plan.still = true;
  plan.grain = 2.0;
  testing::addShot(plan, 0, 60);
  testing::addShot(plan, 100, 60);
  plan.flashes = {20};
  ASSERT_TRUE(testing::writeVideo(plan, path("seams.avi")));
  for (const char* threads : {"1", "2", "4"}) {
    const testing::Outcome r = testing::runTool(dir_.string(), "--shots seams.avi",
                                                std::string("OMP_NUM_THREADS=") + threads);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(testing::readWholeFile(path("seams_shots.txt")), "1 60 15 29 43\n61 120 75 89 103\n")
        << threads << " threads";
  }
}

}  // namespace
}  // namespace shotscene

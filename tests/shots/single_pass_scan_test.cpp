// The single-pass scan: every frame decoded once, the pairs split into ranges
// by thread, the frames kept meanwhile typing most candidates.
#include "shots/single_pass_scan.h"

#include <gtest/gtest.h>
#include <omp.h>

#include <algorithm>
#include <cstring>

#include "boundaries/shot_boundaries.h"
#include "common/naming.h"
#include "scenes/scene_segmentation.h"
#include "scenes/shot_signatures.h"
#include "shots/frame_ranges.h"
#include "shots/shot_list.h"
#include "shots/shot_subtitles.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/tool_runner.h"
#include "tools/test_video.h"

namespace shotscene {
namespace {

// The four result files of one run of both stages, and how many candidates
// were typed by decoding again; `scan` is the one the run used.
std::string runBothStages(const std::string& path, size_t keptFrameBytes, ShotScan& scan,
                          int& typedByDecoding) {
  cv::theRNG() = cv::RNG();  // scene keyframes draw from it: as in a fresh process
  Video video;
  scan = ShotScan{};
  if (!openVideo(video, path) || !allocateShotScan(scan, video.probe.frameCount)) return "";
  BoundaryOptions options;
  options.keptFrameBytes = keptFrameBytes;
  const std::vector<ShotRecord> shots = findShotBoundaries(video, scan, options);
  typedByDecoding = scan.typedByDecoding;
  const std::string stem = outputStem(path);
  if (!writeShotList(stem, shots, true, false) ||
      !writeShotSubtitles(stem, shots, video.probe.frameRate) ||
      runSceneSegmentation(video, computeShotSignatures(video), false) != kSceneStageOk) {
    return "";
  }
  return testing::resultFiles(outputStem(path));
}

class SinglePassScanTest : public testing::ScratchFolderTest {};

// Cuts, a dissolve, a wipe and flashes: the demo's, one on the last frame of
// the first of two ranges (whose next frame opens the second range) and one
// inside the second; a header claiming 20 frames more than the file holds; a
// copy wide enough to be analysed at 512 px. At any thread count the pairs
// measure the same, a flash counts only when the frames around it share its
// range, and frames kept for typing leave the results as decoding again does.
TEST_F(SinglePassScanTest, PairsMeasureAlikeAndFlashesCountWithinTheirRange) {
  testing::VideoPlan plan = testing::demoPlan(cv::Size(160, 96), 25.0, 300);
  const int n = testing::frameCount(plan) + 20;  // what the header claims
  plan.flashes.push_back(n / 2 - 1);
  plan.flashes.push_back(n / 2 + 1);
  for (const std::string video : {"clip", "wide"}) {
    ASSERT_TRUE(testing::writeVideo(plan, path(video + ".avi")));
    ASSERT_TRUE(testing::setAviFrameCount(path(video + ".avi"), n));
    plan.size = cv::Size(640, 96);
  }
  for (const std::string video : {"clip", "wide"}) {
    std::vector<PairMeasure> oneThread;
    for (const int threads : {1, 2, 4}) {
      omp_set_num_threads(threads);
      const std::string label = video + " with " + std::to_string(threads);
      ShotScan kept, none;
      int typed[2] = {0, 0};
      const std::string files =
          runBothStages(path(video + ".avi"), kKeptFrameBytes, kept, typed[0]);
      ASSERT_EQ(std::count(files.begin(), files.end(), '|'), 4) << label;
      EXPECT_EQ(runBothStages(path(video + ".avi"), 0, none, typed[1]), files) << label;
      EXPECT_LT(typed[0], typed[1]) << label;
      for (const int flash : plan.flashes) {  // the scan may take dissolve steps for flashes too
        const bool found = threads == 1 || flash != n / 2 - 1;
        EXPECT_EQ(std::count(kept.isolatedFrames.begin(), kept.isolatedFrames.end(), flash), found)
            << label << " flash " << flash;
      }
      if (threads == 1) oneThread = kept.measures;
      ASSERT_EQ(kept.measures.size(), oneThread.size()) << label;
      EXPECT_EQ(std::memcmp(kept.measures.data(), oneThread.data(),
                            oneThread.size() * sizeof(PairMeasure)),
                0)
          << label;
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

}  // namespace
}  // namespace shotscene

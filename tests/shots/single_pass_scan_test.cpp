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
#include "tests/support/reference_scan.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/test_video.h"

namespace shotscene {
namespace {

class SinglePassScanTest : public testing::ScratchFolderTest {};

// The four result files of one run of both stages, and how many candidates
// were typed by decoding again. mode 0: the reference scan; 1: the tool's
// scan; 2: the tool's scan keeping no frames.
std::string runBothStages(const std::string& path, int mode, int& typedByDecoding) {
  cv::theRNG() = cv::RNG();  // scene keyframes draw from it: as in a fresh process
  Video video;
  if (!openVideo(video, path)) return "unusable";
  ShotScan scan;
  if (!allocateShotScan(scan, video.probe.frameCount)) return "no memory";
  if (mode == 0) {
    testing::referenceScan(video, scan);
  } else {
    scanShots(video, scan, mode == 1 ? kKeptFrameBytes : 0);
  }
  const std::vector<ShotRecord> shots = findShots(video, scan, &typedByDecoding);
  if (writeShotResults(video, shots, false, "", true) != kShotStageOk) return "shots failed";
  if (runSceneSegmentation(video, computeShotSignatures(video), false) != kSceneStageOk) {
    return "scenes failed";
  }
  std::string files;
  const std::string stem = outputStem(path);
  for (const char* suffix : {"_shots.txt", "_shots.srt", "_scenes.txt", "_scenes.srt"}) {
    files += testing::readWholeFile(stem + suffix) + "|";
  }
  return files;
}

TEST_F(SinglePassScanTest, OutputsAreByteIdenticalToOneDecoderPerRange) {
  // Cuts, a dissolve, a wipe and flashes; a flash on the last frame of the
  // first of two ranges and one on the first frame of the second; a header
  // claiming 40 frames more than the file holds; a copy wide enough to be
  // analysed at 512 px.
  testing::VideoPlan plan = testing::demoPlan(cv::Size(160, 96), 25.0, 300);
  const int n = testing::frameCount(plan);
  plan.flashes.push_back(n / 2 - 1);
  plan.flashes.push_back(n / 2 + 1);
  ASSERT_TRUE(testing::writeVideo(plan, path("clip.avi")));
  ASSERT_TRUE(testing::writeVideo(plan, path("over.avi")));
  ASSERT_TRUE(testing::setAviFrameCount(path("over.avi"), n + 40));
  plan.size = cv::Size(640, 96);
  ASSERT_TRUE(testing::writeVideo(plan, path("wide.avi")));
  for (const char* video : {"clip", "over", "wide"}) {
    for (const int threads : {1, 2, 4}) {
      // Scaling does not depend on the ranges.
      if (std::string(video) == "wide" && threads != 2) continue;
      omp_set_num_threads(threads);
      const std::string label = std::string(video) + " with " + std::to_string(threads);
      int typed[3] = {0, 0, 0};
      const std::string reference = runBothStages(path(std::string(video) + ".avi"), 0, typed[0]);
      ASSERT_EQ(std::count(reference.begin(), reference.end(), '|'), 4) << label;
      for (int mode : {1, 2}) {
        EXPECT_EQ(runBothStages(path(std::string(video) + ".avi"), mode, typed[mode]), reference)
            << label << " mode " << mode;
      }
      // The kept frames typed candidates that keeping none leaves to decoding.
      EXPECT_LT(typed[1], typed[2]) << label;
      EXPECT_EQ(typed[2], typed[0]) << label;
    }
  }
}

}  // namespace
}  // namespace shotscene

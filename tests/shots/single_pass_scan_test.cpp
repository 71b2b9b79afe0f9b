// The single-pass scan, whose frame index lets later readers seek and whose
// kept frames type most candidates, must write exactly what one decoder per
// range and forward-only readers write.
#include "shots/single_pass_scan.h"

#include <gtest/gtest.h>

#include "tests/support/scratch_folder.h"
#include "tests/support/test_video.h"
#include "tests/support/tool_runner.h"

namespace shotscene {
namespace {

class SinglePassScanTest : public testing::ScratchFolderTest {};

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
    for (const std::string threads : {"1", "2", "4"}) {
      // Scaling does not depend on the ranges.
      if (std::string(video) == "wide" && threads != "2") continue;
      std::string files[2];
      int decodedAgain[2] = {0, 0};
      for (int straightforward = 0; straightforward < 2; ++straightforward) {
        const std::string environment =
            "SHOTSCENE_TIMINGS=1 OMP_NUM_THREADS=" + threads +
            (straightforward ? " SHOTSCENE_STRAIGHTFORWARD_SCAN=1" : "");
        const testing::Outcome r = testing::runTool(
            dir_.string(), std::string("--trans_type ") + video + ".avi", environment);
        ASSERT_EQ(r.status, 0) << r.err;
        const size_t at = r.err.find("typing: ");
        ASSERT_NE(at, std::string::npos) << r.err;
        decodedAgain[straightforward] = std::stoi(r.err.substr(at + 8));
        for (const char* suffix : {"_shots.txt", "_shots.srt", "_scenes.txt", "_scenes.srt"}) {
          files[straightforward] += testing::readWholeFile(path(std::string(video) + suffix)) + "|";
        }
      }
      EXPECT_EQ(files[0], files[1]) << video << " with " << threads << " threads";
      EXPECT_LT(decodedAgain[0], decodedAgain[1]) << video << " with " << threads << " threads";
    }
  }
}

}  // namespace
}  // namespace shotscene

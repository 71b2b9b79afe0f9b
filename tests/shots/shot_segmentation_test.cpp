#include <gtest/gtest.h>

#include "shots/cut_detection.h"
#include "shots/frame_ranges.h"
#include "tests/support/reference_scan.h"
#include "tests/support/test_video.h"

namespace shotscene {
namespace {

// Videos too short for two frames a range are the bad-input tests' business.
TEST(FrameRangesTest, RangesCoverTheVideoAndSeamsTakeTheirNeighboursMean) {
  std::vector<PairMeasure> m(1002);
  for (int k = 0; k < 1002; ++k) {
    const float f = 1.0f * k * k;  // the mean of a seam's neighbours is one more
    m[k] = {f, 2 * f, 3 * f, 4 * f, 5 * f};
  }
  const std::vector<FrameRange> ranges = planFrameRanges(1003, 8);  // four at most
  EXPECT_EQ(ranges.back().end, 1003);
  repairSeams(m, ranges);
  for (int k = 0; k < 1002; ++k) {
    const float f = k * k + (k == 249 || k == 499 || k == 749 ? 1.0f : 0.0f);
    EXPECT_EQ(std::vector<float>({m[k].histCorrelation, m[k].histAffinity, m[k].matchRatioA,
                                  m[k].matchRatioB, m[k].similarity}),
              std::vector<float>({f, 2 * f, 3 * f, 4 * f, 5 * f}))
        << k;
  }
}

TEST(FlashTest, FlashIsIsolatedAndMakesNoCut) {
  testing::VideoPlan plan;
  testing::addShot(plan, 4, 80);
  plan.flashes = {40};
  const std::vector<cv::Mat> frames = testing::renderAllFrames(plan);
  std::vector<PairMeasure> measures(79);
  testing::ScanContext context = testing::makeScanContext();
  testing::startScan(context, frames[0]);
  std::vector<int> isolated;
  for (int j = 1; j < 80; ++j) {
    const int found = testing::scanNextFrame(context, frames[j], j, measures.data());
    if (found >= 0) isolated.push_back(found);
  }
  EXPECT_EQ(isolated, (std::vector<int>{40}));
  std::vector<ShotRecord> cuts(79);
  EXPECT_EQ(detectCuts(measures.data(), cuts.data(), 80, 25.0f, isolated), 1);
  EXPECT_EQ(detectCuts(measures.data(), cuts.data(), 80, 25.0f, {}), 2);  // the flash unvetoed
}

}  // namespace
}  // namespace shotscene

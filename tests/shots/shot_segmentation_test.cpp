#include "shots/shot_segmentation.h"

#include <gtest/gtest.h>

#include "shots/cut_detection.h"
#include "shots/segment_scanner.h"
#include "tests/support/test_video.h"

namespace shotscene {
namespace {

TEST(FrameRangesTest, RangesCoverTheVideoWithoutEmptyOnesAndSeamsTakeTheirNeighboursMean) {
  const struct {
    int frames, threads;
    std::vector<int> ends;
  } cases[] = {
      {1003, 8, {250, 500, 750, 1003}}, {8, 4, {2, 4, 6, 8}}, {7, 4, {2, 4, 7}}, {3, 4, {3}}};
  for (const auto& c : cases) {
    std::vector<int> ends;  // -1 where a range does not start where the one before ended
    for (const FrameRange& r : planFrameRanges(c.frames, c.threads))
      ends.push_back(r.first == (ends.empty() ? 0 : ends.back()) ? r.end : -1);
    EXPECT_EQ(ends, c.ends) << c.frames << " frames, " << c.threads << " threads";
  }
  std::vector<PairMeasure> m(1002);
  for (int k = 0; k < 1002; ++k) {
    const float f = 1.0f * k * k;  // the mean of a seam's neighbours is one more
    m[k] = {f, 2 * f, 3 * f, 4 * f, 5 * f};
  }
  repairSeams(m, planFrameRanges(1003, 4));
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
  ScanContext context = makeScanContext();
  startScan(context, frames[0]);
  std::vector<int> isolated;
  for (int j = 1; j < 80; ++j) {
    const int found = scanNextFrame(context, frames[j], j, measures.data());
    if (found >= 0) isolated.push_back(found);
  }
  EXPECT_EQ(isolated, (std::vector<int>{40}));
  std::vector<ShotRecord> cuts(79);
  EXPECT_EQ(detectCuts(measures.data(), cuts.data(), 80, 25.0f, isolated), 1);
  EXPECT_EQ(detectCuts(measures.data(), cuts.data(), 80, 25.0f, {}), 2);  // the flash unvetoed
}

}  // namespace
}  // namespace shotscene

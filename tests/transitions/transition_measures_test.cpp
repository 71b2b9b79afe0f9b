#include <gtest/gtest.h>

#include "tests/support/scratch_folder.h"
#include "tests/support/test_video.h"
#include "transitions/dissolve_detection.h"
#include "transitions/wipe_detection.h"

namespace shotscene {
namespace {

WorkingSize working(int width, int height) {
  WorkingSize s;
  s.decodedWidth = s.width = width;
  s.decodedHeight = s.height = height;
  return s;
}

// n grey frames whose every pixel follows values[k].
std::vector<cv::Mat> uniformFrames(const std::vector<int>& values, cv::Size size) {
  std::vector<cv::Mat> frames;
  for (int v : values) frames.emplace_back(size, CV_8U, cv::Scalar(v));
  return frames;
}

TEST(DissolveRatioTest, GridCountAndDirectionRule) {
  const WorkingSize s = working(512, 288);
  EXPECT_EQ(dissolveGridCount(s), 29 * 52);
  const cv::Size size(512, 288);
  // 10 frames, 9 steps: 8 rises give 8 / 10 > 0.7, 7 rises give exactly 0.7.
  EXPECT_FLOAT_EQ(dissolveRatio(uniformFrames({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, size), s), 1.0f);
  EXPECT_FLOAT_EQ(dissolveRatio(uniformFrames({0, 1, 2, 3, 4, 5, 6, 7, 8, 8}, size), s), 1.0f);
  EXPECT_EQ(dissolveRatio(uniformFrames({0, 1, 2, 3, 4, 5, 6, 7, 7, 7}, size), s), 0.0f);
  EXPECT_FLOAT_EQ(dissolveRatio(uniformFrames({9, 8, 7, 6, 5, 4, 3, 2, 1, 0}, size), s), 1.0f);
  EXPECT_EQ(dissolveRatio(uniformFrames({0, 9, 0, 9, 0, 9, 0, 9, 0, 9}, size), s), 0.0f);
  EXPECT_EQ(dissolveRatio(uniformFrames({5, 5, 5, 5, 5, 5, 5, 5, 5, 5}, size), s), 0.0f);
  EXPECT_EQ(dissolveRatio(uniformFrames({0}, size), s), 0.0f);
  EXPECT_EQ(dissolveRatio({}, s), 0.0f);
}

TEST(DissolveRatioTest, GapsAreNotBridgedAndMissingPointsStillDivide) {
  const WorkingSize s = working(512, 288);
  auto frames = uniformFrames({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, cv::Size(512, 288));
  frames[5].release();  // 7 countable steps remain: 7 / 10 is not above 0.7
  EXPECT_EQ(dissolveRatio(frames, s), 0.0f);
  // A width that is a multiple of 10 yields one column of points fewer than G.
  const WorkingSize even = working(500, 288);
  const float ratio =
      dissolveRatio(uniformFrames({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, cv::Size(500, 288)), even);
  EXPECT_FLOAT_EQ(ratio, 29.0f * 50 / dissolveGridCount(even));
  EXPECT_EQ(dissolveRatio(uniformFrames({0, 1, 2}, cv::Size(8, 8)), working(0, 0)), 0.0f);
}

TEST(WipeSliceTest, ColumnCountAndDriftFollowTheWorkingHeight) {
  EXPECT_EQ(sliceColumnCount(working(512, 288)), 96);
  EXPECT_EQ(sliceColumnCount(working(512, 289)), 96);
  EXPECT_EQ(sliceColumnCount(working(512, 290)), 97);
  const auto samplesOfFirstFrame = [](int height) {
    // Frame 0 is all 1, frame 1 all 2: the drift shows where frame 1 starts.
    const WorkingSize s = working(512, height);
    const cv::Mat slice = buildDiagonalSlice(uniformFrames({1, 2, 3}, cv::Size(512, height)), s);
    return static_cast<int>(cv::countNonZero(slice == 1));
  };
  EXPECT_EQ(samplesOfFirstFrame(288), 96);
  EXPECT_EQ(samplesOfFirstFrame(289), 97);  // one sample drifts into row 1
  EXPECT_EQ(samplesOfFirstFrame(290), 97);
  float mean = 0.0f;
  const cv::Mat slice =
      buildDiagonalSlice(uniformFrames({1, 2, 4}, cv::Size(512, 288)), working(512, 288));
  const cv::Mat diff = diffSliceRows(slice, &mean);
  EXPECT_EQ(diff.rows, 2);
  EXPECT_FLOAT_EQ(mean, (96.0f * 1 + 96.0f * 2) / (3 * 96));  // divided by the slice's size
}

class WipeDetectionTest : public testing::ScratchFolderTest {};

TEST_F(WipeDetectionTest, SweepingEdgeIsAWipeAndADissolveIsNot) {
  const cv::Size size(512, 288);
  for (auto kind : {testing::SegmentKind::kWipeLeftToRight, testing::SegmentKind::kWipeTopToBottom,
                    testing::SegmentKind::kDissolve}) {
    testing::VideoPlan plan;
    plan.size = size;
    plan.still = true;
    testing::addShot(plan, 1, 10);
    testing::addTransition(plan, kind, 2, 20);
    testing::addShot(plan, 2, 10);
    const std::string video = path("t.avi");
    ASSERT_TRUE(testing::writeVideo(plan, video));
    FrameReader decoder;
    openFrameReader(decoder, video);
    int start = -1, end = -1;
    const bool wipe = detectWipe(decoder, 10, 30, &start, &end);
    const float dissolve = measureDissolve(decoder, 15, 25);
    if (kind == testing::SegmentKind::kDissolve) {
      EXPECT_FALSE(wipe);
      EXPECT_GT(dissolve, 0.15f);
    } else {
      EXPECT_TRUE(wipe) << static_cast<int>(kind);
      EXPECT_LE(0, start);
      EXPECT_LT(start, end);
      EXPECT_LE(end, 19);
      EXPECT_LT(dissolve, 0.15f);
    }
  }
}

}  // namespace
}  // namespace shotscene

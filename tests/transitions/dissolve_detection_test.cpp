#include "transitions/dissolve_detection.h"

#include <gtest/gtest.h>

namespace shotscene {
namespace {

TEST(DissolveRatioTest, PointsMustMoveOneWayInMoreThanSevenTenthsOfTheFrames) {
  // Grey frames of one value each; a negative value leaves the frame empty.
  const auto ratio = [](const std::vector<int>& values, int width = 512) {
    std::vector<cv::Mat> frames;
    for (int v : values)
      frames.push_back(v < 0 ? cv::Mat() : cv::Mat(288, width, CV_8U, cv::Scalar(v)));
    return dissolveRatio(frames, analysisScaleFor(width, 288));
  };
  EXPECT_FLOAT_EQ(ratio({9, 8, 7, 6, 5, 4, 3, 2, 1, 0}), 1.0f);
  EXPECT_FLOAT_EQ(ratio({0, 1, 2, 3, 4, 5, 6, 7, 8, 8}), 1.0f);  // 8 rises of 10 frames
  EXPECT_EQ(ratio({0, 1, 2, 3, 4, 5, 6, 7, 7, 7}), 0.0f);        // 7 of 10 is not more than 0.7
  EXPECT_EQ(ratio({0, 1, 2, 3, 4, -1, 6, 7, 8, 9}), 0.0f);       // nor 7 steps around a gap
  EXPECT_EQ(ratio({0}) + ratio({}), 0.0f);
  // At a width that is a multiple of 10 the last grid column has no point, yet counts.
  EXPECT_FLOAT_EQ(ratio({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 500), 50.0f / 51);
}

}  // namespace
}  // namespace shotscene

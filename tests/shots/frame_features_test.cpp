#include "shots/frame_features.h"

#include <gtest/gtest.h>

namespace shotscene {
namespace {

// The matcher must count exactly what the brute-force two-nearest matcher
// counts, ties and train sets of one row included, on rows not aligned to 8
// bytes as a view into a wider matrix gives.
TEST(FrameFeaturesTest, GoodMatchCountsEqualTheBruteForceMatchers) {
  const auto expectBruteForceCount = [](const cv::Mat& query, const cv::Mat& train, int trace) {
    std::vector<std::vector<cv::DMatch>> lists;
    cv::BFMatcher(cv::NORM_HAMMING, false).knnMatch(query, train, lists, 2);
    int good = 0;
    for (const auto& l : lists) good += l.size() >= 2 && 0.8 * l[1].distance >= l[0].distance;
    cv::Mat wide(train.rows, 33, CV_8U);
    train.copyTo(wide.colRange(1, 33));
    EXPECT_EQ(countGoodMatches(query, wide.colRange(1, 33)), good) << trace;
    EXPECT_EQ(countGoodMatchesPortable(query, wide.colRange(1, 33)), good) << trace;
  };
  cv::RNG rng(7);
  for (int trial = 0; trial < 60; ++trial) {
    cv::Mat query(1 + trial % 7 * 60, 32, CV_8U), train(1 + (trial * 37) % 401, 32, CV_8U);
    rng.fill(query, cv::RNG::UNIFORM, 0, 256);
    rng.fill(train, cv::RNG::UNIFORM, 0, 256);
    for (int r = 0; trial % 3 == 0 && r < std::min(query.rows, train.rows); ++r) {
      query.row(r).copyTo(train.row(r));  // near copies, many at equal distances
      train.at<uint8_t>(r, r % 32) ^= static_cast<uint8_t>(1u << (r % 8));
    }
    if (trial % 5 == 0) train.rowRange(0, train.rows / 2).setTo(0);
    expectBruteForceCount(query, train, trial);
  }
  // Every pair of nearest distances d1 <= d2 up to 64 bits, around the ratio boundary.
  for (int d1 = 0; d1 <= 64; ++d1) {
    for (int d2 = d1; d2 <= 64; ++d2) {
      cv::Mat train(2, 32, CV_8U, cv::Scalar(0));
      for (int b = 0; b < d2; ++b) train.at<uint8_t>(0, b / 8) |= 1u << (b % 8);
      for (int b = 0; b < d1; ++b) train.at<uint8_t>(1, b / 8) |= 1u << (b % 8);
      expectBruteForceCount(cv::Mat::zeros(1, 32, CV_8U), train, 100 * d1 + d2);
    }
  }
}

TEST(FrameFeaturesTest, MatchRatioAboveOneCountsAsNoMatch) {
  FrameFeatures many, few;  // ten good queries (best and second at 0) into three keypoints
  many.descriptors = cv::Mat::zeros(10, 32, CV_8U);
  few.descriptors = cv::Mat::zeros(3, 32, CV_8U);
  many.keypoints.resize(10);
  few.keypoints.resize(3);
  EXPECT_EQ(matchRatios(many, few), std::make_pair(1.0f, 0.0f));  // 10 / 3 is not clipped to 1
}

}  // namespace
}  // namespace shotscene

#include "shots/frame_features.h"

#include <gtest/gtest.h>

#include "tests/support/test_video.h"

namespace shotscene {
namespace {

FrameFeatures featuresOf(const cv::Mat& frame) {
  FrameFeatures f;
  computeFrameFeatures(frame, *makeFeatureDetector(), f);
  return f;
}

TEST(FrameFeaturesTest, IdenticalTexturedFramesAreFullySimilar) {
  const cv::Mat picture = testing::texturedPicture(3, cv::Size(320, 240));
  const FrameFeatures a = featuresOf(picture), b = featuresOf(picture.clone());
  ASSERT_GE(a.keypoints.size(), 2u);
  EXPECT_LE(a.keypoints.size(), 400u);
  EXPECT_EQ(a.histogram.rows, 50);
  EXPECT_EQ(a.histogram.cols, 60);
  const PairMeasure m = measurePair(a, b);
  EXPECT_FLOAT_EQ(m.histCorrelation, 1.0f);
  EXPECT_NEAR(m.histAffinity, 1.0f, 1e-6);
  EXPECT_FLOAT_EQ(m.matchRatioA, 1.0f);
  EXPECT_FLOAT_EQ(m.matchRatioB, 1.0f);
  EXPECT_NEAR(m.similarity, 1.0f, 1e-5);
  EXPECT_NEAR(frameSimilarity(a, b), 1.0f, 1e-5);
}

TEST(FrameFeaturesTest, FeaturelessFramesNeverMatch) {
  const cv::Mat black(240, 320, CV_8UC3, cv::Scalar::all(0));
  const FrameFeatures flat = featuresOf(black);
  EXPECT_TRUE(flat.keypoints.empty());
  EXPECT_TRUE(flat.descriptors.empty());
  const FrameFeatures textured = featuresOf(testing::texturedPicture(5, black.size()));
  EXPECT_EQ(matchRatios(flat, textured), std::make_pair(0.0f, 0.0f));
  EXPECT_EQ(matchRatios(textured, flat), std::make_pair(0.0f, 0.0f));
  // Two uniform frames of one colour agree in colour but have nothing to match.
  PairMeasure m = measurePair(flat, featuresOf(black.clone()));
  EXPECT_FLOAT_EQ(m.histCorrelation, 1.0f);
  EXPECT_EQ(m.similarity, 0.0f);
}

TEST(FrameFeaturesTest, ThinFramesGetNoKeypointsInsteadOfThrowing) {
  for (const cv::Size size : {cv::Size(1, 1), cv::Size(512, 1), cv::Size(1, 300)}) {
    cv::Mat frame(size, CV_8UC3);
    cv::randu(frame, 0, 255);
    EXPECT_TRUE(featuresOf(frame).keypoints.empty()) << size;
  }
}

TEST(FrameFeaturesTest, MatchRatioAboveOneCountsAsNoMatch) {
  // Many query descriptors matching into a frame with few keypoints.
  FrameFeatures a, b;
  a.descriptors = cv::Mat(10, 32, CV_8U, cv::Scalar(0));
  a.keypoints.resize(10);
  b.descriptors = cv::Mat(3, 32, CV_8U, cv::Scalar(0));
  b.descriptors.row(2).setTo(255);
  b.keypoints.resize(3);
  // Every query has candidates at distance 0 and 0: good (equality counts).
  const auto [ratioA, ratioB] = matchRatios(a, b);
  EXPECT_FLOAT_EQ(ratioA, 1.0f);
  EXPECT_EQ(ratioB, 0.0f);  // 10 / 3 is not clipped to 1
}

TEST(FrameFeaturesTest, SingleCandidateListsAreNotCountedAndRatioTestIsInclusive) {
  FrameFeatures a, one;
  a.descriptors = cv::Mat(4, 32, CV_8U, cv::Scalar(0));
  a.keypoints.resize(4);
  one.descriptors = cv::Mat(1, 32, CV_8U, cv::Scalar(0));
  one.keypoints.resize(1);
  EXPECT_EQ(matchRatios(a, one), std::make_pair(0.0f, 0.0f));

  // Best at distance 8, second at 10: 0.8 x 10 >= 8 holds with equality.
  FrameFeatures query, train;
  query.descriptors = cv::Mat(1, 32, CV_8U, cv::Scalar(0));
  query.keypoints.resize(1);
  train.descriptors = cv::Mat(2, 32, CV_8U, cv::Scalar(0));
  train.descriptors.at<uint8_t>(0, 0) = 0xFF;  // 8 bits away
  train.descriptors.at<uint8_t>(1, 0) = 0xFF;
  train.descriptors.at<uint8_t>(1, 1) = 0x03;  // 10 bits away
  train.keypoints.resize(2);
  EXPECT_FLOAT_EQ(matchRatios(query, train).first, 1.0f);
  train.descriptors.at<uint8_t>(1, 1) = 0x01;  // 9 bits away: 7.2 < 8
  EXPECT_EQ(matchRatios(query, train).first, 0.0f);
}

// The matcher must count exactly what the brute-force two-nearest matcher
// counts, ties and tiny train sets included.
TEST(FrameFeaturesTest, GoodMatchCountDiffersFromBruteForceMatcher) {
  cv::RNG rng(7);
  const auto reference = [](const cv::Mat& query, const cv::Mat& train) {
    std::vector<std::vector<cv::DMatch>> lists;
    cv::BFMatcher(cv::NORM_HAMMING, false).knnMatch(query, train, lists, 2);
    int good = 0;
    for (const auto& l : lists) good += l.size() >= 2 && 0.8 * l[1].distance >= l[0].distance;
    return good;
  };
  for (int trial = 0; trial < 60; ++trial) {
    const int queryRows = 1 + trial % 7 * 60, trainRows = 1 + (trial * 37) % 401;
    cv::Mat query(queryRows, 32, CV_8U), train(trainRows, 32, CV_8U);
    rng.fill(query, cv::RNG::UNIFORM, 0, 256);
    rng.fill(train, cv::RNG::UNIFORM, 0, 256);
    if (trial % 3 == 0) {
      // Near copies of the query rows, many at equal distances.
      for (int r = 0; r < std::min(queryRows, trainRows); ++r) {
        query.row(r).copyTo(train.row(r));
        train.at<uint8_t>(r, r % 32) ^= static_cast<uint8_t>(1u << (r % 8));
      }
    }
    if (trial % 5 == 0) train.rowRange(0, trainRows / 2).setTo(0);
    // Rows not aligned to 8 bytes, as a view into a wider matrix gives.
    cv::Mat wide(trainRows, 33, CV_8U);
    train.copyTo(wide.colRange(1, 33));
    EXPECT_EQ(countGoodMatches(query, wide.colRange(1, 33)), reference(query, train))
        << "trial " << trial;
  }
  // Every pair of nearest distances up to 64 bits, around the ratio boundary.
  const auto withBits = [](int bits) {
    cv::Mat row(1, 32, CV_8U, cv::Scalar(0));
    for (int b = 0; b < bits; ++b) row.at<uint8_t>(0, b / 8) |= static_cast<uint8_t>(1u << (b % 8));
    return row;
  };
  const cv::Mat zero(1, 32, CV_8U, cv::Scalar(0));
  for (int d1 = 0; d1 <= 64; ++d1) {
    for (int d2 = d1; d2 <= 64; ++d2) {
      cv::Mat train;
      cv::vconcat(withBits(d2), withBits(d1), train);
      ASSERT_EQ(countGoodMatches(zero, train), reference(zero, train)) << d1 << " " << d2;
    }
  }
}

TEST(FrameFeaturesTest, SimilarityIsMatchMeanTimesCubedColourMean) {
  PairMeasure m{0.5f, 0.3f, 0.2f, 0.6f, 0.0f};
  pairSimilarity(m);
  EXPECT_FLOAT_EQ(m.similarity, 0.4f * 0.4f * 0.4f * 0.4f);
  PairMeasure negative{-0.9f, 0.1f, 1.0f, 1.0f, 0.0f};
  pairSimilarity(negative);
  EXPECT_FLOAT_EQ(negative.similarity, 0.4f * 0.4f * 0.4f);  // |h| is cubed
}

}  // namespace
}  // namespace shotscene

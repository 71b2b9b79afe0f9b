#include "scenes/scene_keyframes.h"

#include <gtest/gtest.h>

#include "scenes/shot_signatures.h"

namespace shotscene {
namespace {

ShotSignature signatureWithPeak(int bin) {
  ShotSignature s{};
  s[static_cast<size_t>(bin)] = 1.0f;
  return s;
}

TEST(SceneKeyframesTest, RepresentativeIsTheFirstNearestMemberOrRowZero) {
  cv::Mat data = (cv::Mat_<float>(4, 2) << 0, 0, 2, 0, 1, 0, 3, 0);
  cv::Mat centres = (cv::Mat_<float>(5, 2) << 1, 0, 3, 0, 9, 9, 9, 9, 9, 9);
  // Rows 0 and 1 lie 1 from centre 0, row 2 on it; row 3 on centre 1.
  cv::Mat labels = (cv::Mat_<int>(4, 1) << 0, 0, 0, 1);
  EXPECT_EQ(pickClusterRepresentatives(labels, data, centres), (std::array<int, 5>{2, 3, 0, 0, 0}));
  labels = (cv::Mat_<int>(4, 1) << 0, 0, 1, 1);  // rows 0 and 1 tie: the first wins
  EXPECT_EQ(pickClusterRepresentatives(labels, data, centres), (std::array<int, 5>{0, 3, 0, 0, 0}));
}

TEST(SceneKeyframesTest, FiveDistinctSamplesAreAllChosenAndIdenticalOnesStillGiveFive) {
  SignatureTable table;
  for (int k = 0; k < 9; ++k) table.push_back(signatureWithPeak(k * 10));
  EXPECT_EQ(selectSceneKeyframes(table, 3, 8), (std::array<int, 5>{3, 4, 5, 6, 7}));
  const SignatureTable zeros(8, ShotSignature{});
  const std::array<int, 5> slots = selectSceneKeyframes(zeros, 3, 8);
  for (int k = 0; k < 5; ++k) {
    EXPECT_GE(slots[k], 3);
    EXPECT_LT(slots[k], 8);
    if (k > 0) {
      EXPECT_LE(slots[k - 1], slots[k]);
    }
  }
}

TEST(ShotSignatureTest, WhiteCountsInTheFirstHueAndSaturationBinsAndNoValueBin) {
  const ShotSignature white = frameSignature(cv::Mat(6, 8, CV_8UC3, cv::Scalar::all(255)));
  EXPECT_EQ(white[0], 1.0f);
  EXPECT_EQ(white[48], 1.0f);
  float rest = 0.0f;
  for (size_t e = 0; e < white.size(); ++e) rest += (e == 0 || e == 48) ? 0.0f : white[e];
  EXPECT_EQ(rest, 0.0f);
  // Pure blue: hue 120 of 180 is bin 32, full saturation falls in no bin,
  // and so does full value.
  const ShotSignature blue = frameSignature(cv::Mat(4, 4, CV_8UC3, cv::Scalar(255, 0, 0)));
  EXPECT_EQ(blue[32], 1.0f);
  for (int b = 48; b < 144; ++b) EXPECT_EQ(blue[b], 0.0f) << b;
  // Half the pixels at value 128 (bin 24): the block still sums to 1.
  cv::Mat half(2, 2, CV_8UC3, cv::Scalar::all(128));
  half.row(0).setTo(cv::Scalar::all(255));
  EXPECT_EQ(frameSignature(half)[96 + 24], 1.0f);
}

}  // namespace
}  // namespace shotscene

#include "scenes/scene_keyframes.h"

#include <gtest/gtest.h>

#include "scenes/shot_signatures.h"

namespace shotscene {
namespace {

TEST(SceneKeyframesTest, EachClusterGivesItsFirstNearestMemberInAscendingOrder) {
  cv::Mat data = (cv::Mat_<float>(4, 2) << 0, 0, 2, 0, 1, 0, 3, 0);
  cv::Mat centres = (cv::Mat_<float>(5, 2) << 1, 0, 3, 0, 9, 9, 9, 9, 9, 9);
  // Rows 0 and 1 lie 1 from centre 0, row 2 on it; row 3 on centre 1; the
  // other clusters have no members and give row 0.
  cv::Mat labels = (cv::Mat_<int>(4, 1) << 0, 0, 0, 1);
  EXPECT_EQ(pickClusterRepresentatives(labels, data, centres), (std::array<int, 5>{2, 3, 0, 0, 0}));
  labels = (cv::Mat_<int>(4, 1) << 0, 0, 1, 1);  // rows 0 and 1 tie: the first wins
  EXPECT_EQ(pickClusterRepresentatives(labels, data, centres), (std::array<int, 5>{0, 3, 0, 0, 0}));
  // Five distinct samples among entries 3 to 7 are all chosen.
  SignatureTable table(9);
  for (int k = 0; k < 9; ++k) table[k][k * 10] = 1.0f;
  EXPECT_EQ(selectSceneKeyframes(table, 3, 8), (std::array<int, 5>{3, 4, 5, 6, 7}));
}

TEST(SceneSignatureTest, FullSaturationAndFullValueFallInNoBin) {
  // Rows of white, pure blue (hue 120 of 180: bin 32) and grey 128 (value bin 24).
  cv::Mat frame(4, 2, CV_8UC3, cv::Scalar::all(128));
  frame.row(0).setTo(cv::Scalar::all(255));
  frame.row(1).setTo(cv::Scalar(255, 0, 0));
  const ShotSignature s = frameSignature(frame);
  // Each block sums to 1 over the pixels in its range.
  EXPECT_EQ((std::vector<float>{s[0], s[32], s[48], s[96 + 24]}),
            (std::vector<float>{0.75f, 0.25f, 1.0f, 1.0f}));
}

}  // namespace
}  // namespace shotscene

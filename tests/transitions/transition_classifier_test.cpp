#include "transitions/transition_classifier.h"

#include <omp.h>

#include "app/shot_stage.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/test_video.h"
#include "transitions/dissolve_detection.h"

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

class TransitionTypingTest : public testing::ScratchFolderTest {};

TEST_F(TransitionTypingTest, DissolvesAndWipesAreTypedAndAlikeEndsErased) {
  // A dissolve, a left-to-right and a top-to-bottom wipe, then a dissolve to
  // another picture and straight back, whose ends are alike.
  using K = testing::SegmentKind;
  testing::VideoPlan plan;
  plan.size = cv::Size(640, 360);
  plan.still = true;
  plan.grain = 2.0;
  plan.segments = {{K::kShot, 50, 1, 1},     {K::kDissolve, 25, 1, 2},
                   {K::kShot, 50, 2, 2},     {K::kWipeLeftToRight, 12, 2, 3},
                   {K::kShot, 50, 3, 3},     {K::kWipeTopToBottom, 12, 3, 4},
                   {K::kShot, 50, 4, 4},     {K::kDissolve, 12, 4, 5},
                   {K::kDissolve, 12, 5, 4}, {K::kShot, 50, 4, 4}};
  // H.264 seeks fast; the decoded frames are what the tool analyses.
  const std::string video = path("typing.mp4");
  ASSERT_TRUE(testing::writeVideo(plan, video, "avc1"));
  omp_set_num_threads(1);
  Video opened;
  ASSERT_TRUE(openVideo(opened, video));
  ASSERT_EQ(runShotSegmentation(opened, false, "", true), kShotStageOk);
  // Four shots: the there-and-back dissolve is no boundary. The first three
  // end inside their transitions, the last with the video.
  const auto spans = testing::transitionSpans(plan);
  std::istringstream rows(testing::readWholeFile(path("typing_shots.txt")));
  std::vector<std::pair<int, int>> endsAndTypes;
  int first = 0, last = 0, key = 0, type = 0;
  while (rows >> first >> last >> key >> key >> key >> type) endsAndTypes.emplace_back(last, type);
  ASSERT_EQ(endsAndTypes.size(), 4u);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(endsAndTypes[k].second, k == 0 ? kDissolve : kWipe) << "shot " << k + 1;
    EXPECT_GE(endsAndTypes[k].first, spans[k].first - 1) << "shot " << k + 1;
    EXPECT_LE(endsAndTypes[k].first, spans[k].second) << "shot " << k + 1;
  }
  EXPECT_EQ(endsAndTypes[3], std::make_pair(testing::frameCount(plan), int{kAbrupt}));
}

}  // namespace
}  // namespace shotscene

#include "transitions/transition_classifier.h"

#include <gtest/gtest.h>
#include <omp.h>

#include <sstream>

#include "shots/cut_detection.h"
#include "shots/gradual_transitions.h"
#include "shots/segment_scanner.h"
#include "shots/shot_segmentation.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/test_video.h"
#include "transitions/dissolve_detection.h"

namespace shotscene {
namespace {

using Windows = std::vector<std::pair<int, int>>;

TEST(TransitionWindowsTest, WindowsFollowTheCandidateLength) {
  EXPECT_EQ(dissolveWindows(100, 112), (Windows{{100, 112}}));
  EXPECT_EQ(dissolveWindows(100, 113), (Windows{{100, 110}}));
  EXPECT_EQ(dissolveWindows(100, 114), (Windows{{100, 110}, {102, 112}}));
  EXPECT_EQ(dissolveWindows(7, 7), (Windows{{7, 7}}));
  EXPECT_EQ(wipeWindows(100, 130), (Windows{{100, 120}, {110, 130}, {120, 140}}));
  EXPECT_EQ(wipeWindows(100, 101), (Windows{{100, 120}}));
  EXPECT_TRUE(wipeWindows(100, 100).empty());
}

// A 25-frame dissolve, a left-to-right and a top-to-bottom wipe, and a
// dissolve to another picture and straight back, whose ends are alike.
class TransitionTypingTest : public testing::ScratchFolderTest {
 protected:
  void SetUp() override {
    ScratchFolderTest::SetUp();
    plan_.size = cv::Size(640, 360);
    plan_.still = true;
    plan_.grain = 2.0;
    testing::addShot(plan_, 1, 50);
    testing::addTransition(plan_, testing::SegmentKind::kDissolve, 2, 25);
    testing::addShot(plan_, 2, 50);
    testing::addTransition(plan_, testing::SegmentKind::kWipeLeftToRight, 3, 12);
    testing::addShot(plan_, 3, 50);
    testing::addTransition(plan_, testing::SegmentKind::kWipeTopToBottom, 4, 12);
    testing::addShot(plan_, 4, 50);
    testing::addTransition(plan_, testing::SegmentKind::kDissolve, 5, 12);
    testing::addTransition(plan_, testing::SegmentKind::kDissolve, 4, 12);
    testing::addShot(plan_, 4, 50);
    // H.264 seeks fast; the decoded frames are what the tool analyses.
    ASSERT_TRUE(testing::writeVideo(plan_, path("typing.mp4"), "avc1"));
  }

  testing::VideoPlan plan_;
};

TEST_F(TransitionTypingTest, DissolvesAndWipesAreTypedAndAlikeEndsErased) {
  const std::string video = path("typing.mp4");
  cv::VideoCapture capture(video);
  VideoProbe probe;
  ASSERT_TRUE(probeVideo(capture, probe));
  const int n = probe.frameCount;
  ASSERT_EQ(n, testing::frameCount(plan_));
  std::vector<PairMeasure> measures(n - 1);
  std::vector<int> isolated;
  scanSegment({0, n}, measures.data(), isolated, video, probe.scale);
  std::vector<ShotRecord> cuts(n - 1);
  const int cutCount = detectCuts(measures.data(), cuts.data(), n, probe.frameRate, isolated);
  std::vector<PairProfile> profiles(n - 1);
  buildPairProfiles(measures.data(), profiles.data(), n);
  const std::vector<PairProfile> candidates = profiles;
  classifyTransitions(profiles, cuts.data(), cutCount, video, probe.scale);

  const auto spans = testing::transitionSpans(plan_);
  ASSERT_EQ(spans.size(), 5u);
  // Expected outcome per span; the last two spans are one there-and-back.
  const TransitionType expected[] = {kDissolve, kWipe, kWipe, kAbrupt};
  for (int k = 0; k < 4; ++k) {
    const int first = spans[k].first - 1, last = spans[k == 3 ? 4 : k].second - 1;
    int typed = 0, survivors = 0, erased = 0;
    for (int i = first; i <= last; ++i) {
      if (candidates[i].score < 0.3f) continue;
      if (profiles[i].score > 0.0f) ++survivors;
      if (profiles[i].score > 0.0f && profiles[i].type == expected[k]) ++typed;
      if (profiles[i].score == 0.0f && profiles[i].startFrame == -1.0f) ++erased;
    }
    if (expected[k] == kAbrupt) {
      EXPECT_GE(erased, 1) << "no candidate at the there-and-back dissolve";
      EXPECT_EQ(survivors, 0) << "a candidate there survived";
    } else {
      EXPECT_EQ(typed, 1) << "span " << k;
    }
  }
  // It was erased for its alike ends: the dissolve test alone passes there.
  FrameReader reader;
  openFrameReader(reader, video);
  EXPECT_GT(measureDissolve(reader, spans[3].first - 1, spans[3].first + 9), 0.15f);
}

TEST_F(TransitionTypingTest, TransTypeColumnShowsTheTypesOfTheSameBoundaries) {
  omp_set_num_threads(1);
  const auto shotList = [this](bool transType) {
    EXPECT_EQ(runShotSegmentation(path("typing.mp4"), false, "", transType), kShotStageOk);
    std::vector<std::vector<int>> rows;
    std::istringstream in(testing::readWholeFile(path("typing_shots.txt")));
    for (std::string line; std::getline(in, line);) {
      std::istringstream fields(line);
      rows.emplace_back();
      for (int v; fields >> v;) rows.back().push_back(v);
    }
    return rows;
  };
  const auto typed = shotList(true);
  const auto plain = shotList(false);
  ASSERT_EQ(typed.size(), 4u);
  ASSERT_EQ(plain.size(), typed.size());
  const auto spans = testing::transitionSpans(plan_);
  const int types[] = {1, 2, 2, 0};
  for (size_t k = 0; k < typed.size(); ++k) {
    ASSERT_EQ(typed[k].size(), 6u);
    EXPECT_EQ(typed[k][5], types[k]) << "shot " << k + 1;
    EXPECT_EQ(std::vector<int>(typed[k].begin(), typed[k].begin() + 5), plain[k]);
    if (k < 3) {
      EXPECT_GE(typed[k][1], spans[k].first - 1);
      EXPECT_LE(typed[k][1], spans[k].second);
    }
  }
  EXPECT_EQ(typed.back()[1], testing::frameCount(plan_));
}

}  // namespace
}  // namespace shotscene

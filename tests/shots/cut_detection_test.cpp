#include "shots/cut_detection.h"

#include <gtest/gtest.h>

#include <cmath>

namespace shotscene {
namespace {

// A video of n frames whose pairs are all alike, with a matching feature pair.
std::vector<PairMeasure> steadyPairs(int n) {
  return std::vector<PairMeasure>(n - 1, PairMeasure{1.0f, 1.0f, 0.8f, 0.8f, 0.8f});
}

std::vector<int> cutEnds(const std::vector<PairMeasure>& m, int n, float fps,
                         std::vector<int> isolated = {}) {
  std::vector<ShotRecord> shots(std::max(1, n - 1));
  const int count = detectCuts(m.data(), shots.data(), n, fps, isolated);
  std::vector<int> ends;
  for (int k = 0; k < count; ++k) {
    EXPECT_EQ(shots[k].start, k == 0 ? 1 : shots[k - 1].end + 1);
    ends.push_back(shots[k].end);
  }
  return ends;
}

void setSimilarity(std::vector<PairMeasure>& m, int pair, float similarity) {
  m[pair].similarity = similarity;
}

TEST(CutDetectionTest, ThresholdIsTheWidenedFloat) {
  auto m = steadyPairs(400);
  setSimilarity(m, 100, 0.03f);  // widened it lies just below 0.03
  setSimilarity(m, 200, std::nextafter(0.03f, 1.0f));
  EXPECT_EQ(cutEnds(m, 400, 25.0f), (std::vector<int>{101, 400}));
}

TEST(CutDetectionTest, PairsAfterACutAreSkippedForHalfASecond) {
  auto m = steadyPairs(400);
  setSimilarity(m, 100, 0.0f);
  setSimilarity(m, 113, 0.0f);  // within the 12 skipped pairs at 25 fps
  setSimilarity(m, 130, 0.0f);
  EXPECT_EQ(cutEnds(m, 400, 25.0f), (std::vector<int>{101, 131, 400}));
  setSimilarity(m, 114, 0.0f);  // the first pair examined again
  EXPECT_EQ(cutEnds(m, 400, 25.0f), (std::vector<int>{101, 115, 131, 400}));
  // 29.97 truncates to 29 before halving: 14 pairs skipped.
  auto n = steadyPairs(400);
  setSimilarity(n, 100, 0.0f);
  setSimilarity(n, 115, 0.0f);
  setSimilarity(n, 116, 0.0f);
  EXPECT_EQ(cutEnds(n, 400, 29.97f), (std::vector<int>{101, 117, 400}));
  // Below 2 fps nothing but the next pair is skipped.
  auto s = steadyPairs(400);
  setSimilarity(s, 100, 0.0f);
  setSimilarity(s, 101, 0.0f);
  setSimilarity(s, 102, 0.0f);
  EXPECT_EQ(cutEnds(s, 400, 1.5f), (std::vector<int>{101, 103, 400}));
}

TEST(CutDetectionTest, CutsNextToAFlashAreVetoed) {
  for (int pair : {198, 199, 200, 201}) {
    auto m = steadyPairs(400);
    setSimilarity(m, pair, 0.0f);
    const std::vector<int> expected =
        pair == 201 ? std::vector<int>{202, 400} : std::vector<int>{400};
    EXPECT_EQ(cutEnds(m, 400, 25.0f, {50, 200}), expected) << pair;
  }
}

TEST(CutDetectionTest, LowStretchVetoesOnlyAfterPairSix) {
  auto m = steadyPairs(400);
  for (int p = 296; p <= 300; ++p) setSimilarity(m, p, 0.04f);
  setSimilarity(m, 300, 0.0f);
  EXPECT_EQ(cutEnds(m, 400, 25.0f), (std::vector<int>{400}));
  setSimilarity(m, 297, 0.05f);  // widened it is not below 0.05
  EXPECT_EQ(cutEnds(m, 400, 25.0f), (std::vector<int>{301, 400}));

  auto early = steadyPairs(400);
  for (int p = 1; p <= 5; ++p) setSimilarity(early, p, 0.01f);
  EXPECT_EQ(cutEnds(early, 400, 0.5f).front(), 2);  // pair 1 cuts; no veto so early
  auto six = steadyPairs(400);
  for (int p = 1; p <= 4; ++p) setSimilarity(six, p, 0.04f);
  setSimilarity(six, 5, 0.0f);
  EXPECT_EQ(cutEnds(six, 400, 25.0f), (std::vector<int>{6, 400}));
}

TEST(CutDetectionTest, FeaturelessRunCutsOnlyAtItsLastPair) {
  const PairMeasure featureless{1.0f, 1.0f, 0.0f, 0.0f, 0.0f};
  auto m = steadyPairs(400);
  m[150] = m[151] = featureless;
  EXPECT_EQ(cutEnds(m, 400, 25.0f), (std::vector<int>{152, 400}));
  // A long black stretch: its last pair is a candidate, and the low pairs
  // before it veto it.
  for (int p = 150; p <= 170; ++p) m[p] = featureless;
  EXPECT_EQ(cutEnds(m, 400, 25.0f), (std::vector<int>{400}));
}

TEST(CutDetectionTest, ShortVideosGiveOneShotOrNeverReadPastTheEnd) {
  for (int n = 1; n <= 4; ++n) {
    std::vector<PairMeasure> m(std::max(0, n - 1));
    EXPECT_EQ(cutEnds(m, n, 25.0f), (std::vector<int>{n})) << n;
  }
  // Pairs 0, N-3 and N-2 are never examined.
  std::vector<PairMeasure> low(9, PairMeasure{1.0f, 1.0f, 0.8f, 0.8f, 0.0f});
  EXPECT_EQ(cutEnds(low, 10, 0.5f), (std::vector<int>{2, 4, 6, 10}));
}

TEST(CutDetectionTest, CutShotsCarryQuarterPointKeyframes) {
  auto m = steadyPairs(400);
  setSimilarity(m, 9, 0.0f);
  std::vector<ShotRecord> shots(399);
  ASSERT_EQ(detectCuts(m.data(), shots.data(), 400, 25.0f, {}), 2);
  EXPECT_EQ(shots[0].keyframe1, 3);
  EXPECT_EQ(shots[0].keyframe2, 5);
  EXPECT_EQ(shots[0].keyframe3, 7);
}

}  // namespace
}  // namespace shotscene

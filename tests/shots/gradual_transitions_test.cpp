#include "shots/gradual_transitions.h"

#include <gtest/gtest.h>

#include <cmath>

namespace shotscene {
namespace {

std::vector<ShotRecord> merge(const std::vector<int>& cutEnds, const std::vector<PairProfile>& p,
                              int n) {
  std::vector<ShotRecord> cuts;
  int start = 1;
  for (int end : cutEnds) {
    cuts.push_back(makeShotRecord(start, end, kAbrupt));
    start = end + 1;
  }
  return detectGradualTransitions(cuts.data(), p.data(), static_cast<int>(cuts.size()), n);
}

std::vector<int> ends(const std::vector<ShotRecord>& shots) {
  std::vector<int> e;
  for (const ShotRecord& s : shots) e.push_back(s.end);
  return e;
}

TEST(PairProfilesTest, TenFrameVideoHasFixedEndsAndNoCandidate) {
  std::vector<PairMeasure> m(9, PairMeasure{1, 1, 1, 1, 0.5f});
  std::vector<PairProfile> p(9);
  buildPairProfiles(m.data(), p.data(), 10);
  for (int k = 0; k < 9; ++k) {
    EXPECT_EQ(p[k].smoothed, k < 4 ? 0.0f : 1.0f) << k;
    EXPECT_EQ(p[k].score, 0.0f);
  }
  for (int n = 1; n <= 3; ++n) {  // nothing to index for the shortest videos
    std::vector<PairMeasure> few(std::max(0, n - 1));
    std::vector<PairProfile> q(few.size());
    buildPairProfiles(few.data(), q.data(), n);
  }
}

// Candidate found in the profiles of a V-shaped dip around pair 100.
PairProfile dipCandidate(bool laterDecline, int* at) {
  const int n = 200;
  std::vector<PairMeasure> m(n - 1, PairMeasure{1, 1, 1, 1, 0.9f});
  for (int k = 90; k < 110; ++k) m[k].similarity = 0.1f + 0.04f * std::abs(k - 100);
  if (laterDecline) m[160].similarity = 0.5f;
  std::vector<PairProfile> p(n - 1);
  buildPairProfiles(m.data(), p.data(), n);
  EXPECT_FLOAT_EQ(p[50].smoothed, 0.9f);
  EXPECT_FLOAT_EQ(p[95].slope, p[95].smoothed - p[94].smoothed);
  PairProfile found;
  int candidates = 0;
  for (int k = 0; k < n - 1; ++k) {
    if (p[k].score == 0.0f) continue;
    ++candidates;
    found = p[k];
    *at = k;
  }
  EXPECT_EQ(candidates, 1);
  return found;
}

TEST(PairProfilesTest, DipBecomesOneCandidateAtItsMiddle) {
  int at = 0;
  const PairProfile c = dipCandidate(true, &at);
  EXPECT_NEAR(at, 100, 3);
  EXPECT_GT(c.score, 0.3f);
  EXPECT_LT(c.startFrame, at);
  EXPECT_GT(c.endFrame, at);
}

TEST(PairProfilesTest, LastValleyKeepsThePreviousRightEdge) {
  // The curve never descends after the dip, so its right edge is never found.
  int at = 0;
  const PairProfile c = dipCandidate(false, &at);
  EXPECT_EQ(c.endFrame, 1.0f);
  EXPECT_LT(c.endFrame, c.startFrame);
}

TEST(GradualTransitionsTest, ScoreThresholdIsTheWidenedFloat) {
  std::vector<PairProfile> p(399);
  p[100].score = 0.3f;  // widened it lies just above 0.3
  p[100].type = 1.0f;
  p[200].score = std::nextafter(0.3f, 0.0f);
  p[300].score = 0.31f;
  p[300].type = 2.0f;
  const auto shots = merge({400}, p, 400);
  EXPECT_EQ(ends(shots), (std::vector<int>{101, 301, 400}));
  EXPECT_EQ(shots[0].type, kDissolve);
  EXPECT_EQ(shots[1].type, kWipe);
  EXPECT_EQ(shots[2].type, kAbrupt);
}

TEST(GradualTransitionsTest, CandidatesCloserThanThirteenFramesAreSkipped) {
  std::vector<PairProfile> p(399);
  p[111].score = 1.0f;  // boundary 112, 12 after the cut at 100
  p[111].type = 1.0f;
  EXPECT_EQ(ends(merge({100, 400}, p, 400)), (std::vector<int>{100, 400}));
  p[112].score = 1.0f;  // boundary 113 is 13 after it
  p[112].type = 1.0f;
  EXPECT_EQ(ends(merge({100, 400}, p, 400)), (std::vector<int>{100, 113, 400}));
  // Candidates before a cut come first in the sorted list.
  p[50].score = 1.0f;
  p[50].type = 2.0f;
  const auto shots = merge({100, 400}, p, 400);
  EXPECT_EQ(ends(shots), (std::vector<int>{51, 100, 113, 400}));
  EXPECT_EQ(shots[0].type, kWipe);
  EXPECT_EQ(shots[1].type, kAbrupt);
}

TEST(GradualTransitionsTest, UntypedCandidateWarnsAndEndsAbrupt) {
  std::vector<PairProfile> p(399);
  p[200].score = 0.9f;
  ::testing::internal::CaptureStdout();
  const auto shots = merge({400}, p, 400);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Not identifiable gradual transition\n");
  EXPECT_EQ(ends(shots), (std::vector<int>{201, 400}));
  EXPECT_EQ(shots[0].type, kAbrupt);
  // Keyframes at the quarter points; a one-frame shot repeats its frame.
  EXPECT_EQ(shots[0].keyframe1, 51);
  EXPECT_EQ(shots[0].keyframe3, 151);
  const ShotRecord single = makeShotRecord(7, 7, kAbrupt);
  EXPECT_EQ(single.keyframe1 + single.keyframe2 + single.keyframe3, 21);
}

}  // namespace
}  // namespace shotscene

#include "shots/gradual_transitions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <tuple>

namespace shotscene {
namespace {

// 200 frames alike but for a V-shaped dip at pair 100, whose valley starts at
// the last flat pair, 84; it ends where the curve next descends, at pair 154
// when pair 160 is low, and otherwise at the edge left from before, pair 1.
TEST(PairProfilesTest, DipIsOneCandidateAndTheLastValleyKeepsAStaleRightEdge) {
  for (bool laterDescent : {true, false}) {
    std::vector<PairMeasure> m(199, PairMeasure{1, 1, 1, 1, 0.9f});
    for (int k = 90; k < 110; ++k) m[k].similarity = 0.1f + 0.04f * std::abs(k - 100);
    if (laterDescent) m[160].similarity = 0.5f;
    std::vector<PairProfile> p(199);
    buildPairProfiles(m.data(), p.data(), 200);
    const double bottom = 0.1 + 0.04 * 30 / 11;  // the mean of pairs 95..105
    const auto isCandidate = [](const PairProfile& q) { return q.score != 0.0f; };
    EXPECT_EQ(std::count_if(p.begin(), p.end(), isCandidate), 1) << laterDescent;
    // The valley's depth below each edge: 0.9 at both, or 0 at the stale one.
    EXPECT_NEAR(p[100].score, laterDescent ? 2 * (0.9 - bottom) : 0.9, 1e-5);
    EXPECT_EQ(std::make_pair(p[100].startFrame, p[100].endFrame),
              std::make_pair(84.0f, laterDescent ? 154.0f : 1.0f));
  }
}

// "end/type " of the shots that cuts and candidates {pair, score, type} give in 400 frames.
std::string merge(const std::vector<int>& cutEnds,
                  const std::vector<std::tuple<int, float, float>>& candidates) {
  std::vector<ShotRecord> cuts;
  for (int end : cutEnds) cuts.push_back(makeShotRecord(1, end, kAbrupt));  // only ends count
  std::vector<PairProfile> p(399);
  for (const auto& [pair, score, type] : candidates) p[pair].score = score, p[pair].type = type;
  std::string shots;
  for (const ShotRecord& s :
       detectGradualTransitions(cuts.data(), p.data(), static_cast<int>(cuts.size()), 400)) {
    shots += std::to_string(s.end) + "/" + std::to_string(s.type) + " ";
  }
  return shots;
}

// Shots start after the one before by construction; only a candidate taken
// without a type may warn.
TEST(GradualTransitionsTest, CandidatesMergeByScoreSpacingAndType) {
  const float below = std::nextafter(0.3f, 0.0f);  // 0.3f itself widens to above 0.3
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(merge({400}, {{100, 0.3f, 1}, {200, below, 0}, {300, 0.31f, 2}}), "101/1 301/2 400/0 ");
  // 12 frames from a cut is too close, 13 far enough; earlier candidates sort first.
  EXPECT_EQ(merge({100, 400}, {{111, 1, 1}}), "100/0 400/0 ");
  EXPECT_EQ(merge({100, 400}, {{50, 1, 2}, {111, 1, 1}, {112, 1, 1}}), "51/2 100/0 113/1 400/0 ");
  EXPECT_EQ(merge({400}, {{200, 0.9f, 0}}), "201/0 400/0 ");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Not identifiable gradual transition\n");
}

// Profiles built as measures arrive, in random steps: every entry the builder
// calls final must already hold what the whole curve gives. The curves repeat
// values exactly, so slopes of 0 keep right edges waiting.
TEST(PairProfilesTest, EntriesCalledFinalNeverChangeLater) {
  std::mt19937 random(7);
  for (int trial = 0; trial < 3000; ++trial) {
    const int n = 1 + static_cast<int>(random() % 300);
    std::vector<PairMeasure> m(std::max(0, n - 1));
    float v = 0.9f;
    for (PairMeasure& pair : m) {
      const int r = static_cast<int>(random() % 100);
      if (r < 8) v = static_cast<float>(random() % 100) / 100;
      if (r >= 40) v = std::clamp(v + static_cast<float>(random() % 21) / 100 - 0.1f, 0.0f, 1.0f);
      pair.similarity = v;
    }
    std::vector<PairProfile> whole(m.size()), growing(m.size());
    buildPairProfiles(m.data(), whole.data(), n);
    ProfileBuilder b;
    startPairProfiles(b, n);
    for (int measured = 0; measured < n - 1;) {
      measured = std::min(n - 1, measured + 1 + static_cast<int>(random() % 40));
      extendPairProfiles(b, m.data(), growing.data(), measured);
      for (int k = 0; k < b.final; ++k) {
        ASSERT_EQ(std::memcmp(&whole[k], &growing[k], sizeof(PairProfile)), 0)
            << "entry " << k << " of " << n << " frames, final " << b.final << " at " << measured;
      }
    }
    ASSERT_EQ(b.final, n - 1);
  }
}

}  // namespace
}  // namespace shotscene

#include "scenes/shot_linking.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <utility>

namespace shotscene {
namespace {

// n shots and, in random tables, a trailing record that takes no part.
struct Table {
  std::vector<StoredShot> shots;
  SignatureTable signatures;
};

// The grouping stated plainly: in a pass, a shot starts a scene when no pair
// of shots close enough in time and look spans the cut before it. (Linking
// the widest pairs first and closing the pairs inside a linked span only
// saves work: a closed pair spans no cut that its enclosing link does not.)
std::vector<int> referenceVotes(const Table& t, int n, SceneRandom& random, int passes) {
  std::vector<float> distance(n * n);
  for (int e = 0; e < n * n; ++e) distance[e] = computeShotDistance(t.signatures, e / n, e % n);
  std::vector<int> votes(n, 0);
  for (int pass = 0; pass < passes; ++pass) {
    const int window = drawWindow(nextRandom(random));
    const double threshold = drawThreshold(nextRandom(random));
    const auto linkable = [&](int k, int j) {
      const double gap = static_cast<double>(t.shots[j].first - t.shots[k].last) - 1.0;
      return gap < 4300.0 && gap <= window && distance[k * n + j] < threshold;
    };
    std::vector<char> spanned(n, 0);
    for (int k = 0; k < n; ++k) {
      for (int j = k + 1; j < n; ++j) {
        if (linkable(k, j)) std::fill(spanned.begin() + k + 1, spanned.begin() + j + 1, 1);
      }
    }
    for (int i = 1; i < n; ++i) votes[i] += !spanned[i];
  }
  return votes;
}

// Signatures on a coarse grid (multiples of 1/8 in a dozen bins), so distances
// tie and land on round values around the thresholds. Kinds 0 and 3 add noise
// to six looks, 1 uses three clean looks, 2 all-zero signatures; 3 puts two
// alike shots exactly 4299 or 4300 frames apart, two shots between them; 4
// starts past 2^24, where odd frame numbers round to even in single precision.
Table randomTable(int n, int kind, std::mt19937& rng) {
  const auto draw = [&rng](int below) { return static_cast<int>(rng() % below); };
  std::vector<int> lengths(n + 1), lookOf(n + 1);
  const int longest = draw(2) ? 1500 : 400;
  for (int s = 0; s <= n; ++s) lengths[s] = 1 + draw(longest), lookOf[s] = draw(kind == 1 ? 3 : 6);
  if (kind == 3 && n >= 4) {
    const int a = draw(n - 3);
    lengths[a + 1] = (draw(2) ? 4300 : 4299) - lengths[a + 2];
    lookOf[a + 3] = lookOf[a];
  }
  ShotSignature looks[6]{};
  for (int p = 0; p < 72; ++p)
    if (draw(2)) looks[p / 12][p % 12 * 12] = static_cast<float>(draw(5)) * 0.125f;
  Table t;
  int64_t frame = kind == 4 ? (int64_t{1} << 24) + 1 : 1;
  for (int s = 0; s <= n; frame += lengths[s++]) {
    t.shots.push_back({static_cast<float>(frame), static_cast<float>(frame + lengths[s] - 1), {}});
    for (int k = 0; k < kSamplesPerShot; ++k) {
      ShotSignature sample = kind == 2 ? ShotSignature{} : looks[lookOf[s]];
      for (int touched = kind % 3 ? 0 : draw(3); touched > 0; --touched)
        sample[draw(12) * 12] += 0.125f;
      t.signatures.push_back(sample);
    }
  }
  return t;
}

TEST(SceneVoteTest, BandedGroupingMatchesThePlainStatement) {
  constexpr int kPasses = 300;
  std::mt19937 rng(20240607);
  int undecidedTables = 0;  // tables with a shot that some passes start and others do not
  for (int index = 0; index < 200; ++index) {
    const int n = index % 41;
    const Table t = randomTable(n, index % 5, rng);
    SceneRandom fastRandom, referenceRandom;
    const std::vector<int> reference = referenceVotes(t, n, referenceRandom, kPasses);
    EXPECT_EQ(countSceneVotes(t.shots, n, t.signatures, fastRandom, kPasses), reference)
        << "table " << index;
    undecidedTables +=
        std::any_of(reference.begin(), reference.end(), [](int v) { return v > 0 && v < kPasses; });
  }
  // Without partial votes the comparison would only see all-or-nothing passes.
  EXPECT_GE(undecidedTables, 100);
}

TEST(SceneRandomTest, DrawsFollowTheClassicCGeneratorAndTruncateTowardZero) {
  SceneRandom r;
  EXPECT_EQ((std::vector<int>{nextRandom(r), nextRandom(r), nextRandom(r), nextRandom(r)}),
            (std::vector<int>{41, 18467, 6334, 26500}));
  // A draw of 1 is 0.13 frames past 700.
  EXPECT_EQ((std::vector<int>{drawWindow(0), drawWindow(1), drawWindow(8), drawWindow(16384),
                              drawWindow(32767)}),
            (std::vector<int>{700, 700, 701, 2850, 4999}));
  EXPECT_EQ(drawThreshold(32767), 0.75);
}

TEST(ShotLinkingTest, NearestOfNineSamplePairsMustLieStrictlyBelowTheThreshold) {
  SignatureTable signatures(6);
  for (int slot = 0; slot < 6; ++slot) signatures[slot][10 + slot] = 1.0f;
  EXPECT_FLOAT_EQ(computeShotDistance(signatures, 0, 1), std::sqrt(2.0f));
  // Only sample 2 of shot 0 and sample 0 of shot 1 are close.
  signatures[2] = signatures[3] = ShotSignature{};
  signatures[2][0] = signatures[3][0] = 0.5f;
  signatures[3][1] = 0.3f;
  EXPECT_FLOAT_EQ(computeShotDistance(signatures, 0, 1), 0.3f);
  // At distance 0 the shots link above a zero threshold only; stale links are replaced.
  signatures[3][1] = 0.0f;
  LinkingTables tables = makeLinkingTables({{1, 10, {}}, {11, 20, {}}}, 2);
  std::vector<ShotLink> links{{0, 1}};
  linkSimilarShots(tables, signatures, 700, 0.0, links);
  EXPECT_TRUE(links.empty());
  linkSimilarShots(tables, signatures, 700, 1e-6, links);
  EXPECT_EQ(links.size(), 1u);
}

// Votes of exactly 1900 do not start; after one, only more than 2900 starts;
// two strong votes in a row block the next shot; never at the second or the
// last shot.
TEST(SceneDecisionTest, VotesStartAboveTheirThresholdsAndNeverAtTheEnds) {
  // clang-format off
  const std::pair<std::vector<int>, std::vector<int>> cases[] = {
      {{0, 0, 1900, 0, 0}, {}},           {{0, 0, 1901, 0, 0}, {2}},
      {{0, 0, 1900, 2900, 0, 0}, {}},     {{0, 0, 1900, 2901, 0, 0}, {3}},
      {{0, 0, 1899, 1901, 0, 0}, {3}},
      {{0, 1901, 2901, 10000, 0, 0}, {2}}, {{0, 1900, 2901, 10000, 0, 0}, {2, 3}},
      {{0, 1901, 2900, 10000, 0, 0}, {3}},
      {{0, 5000, 0, 0, 5000}, {}},        {{0, 0, 5000, 5000}, {2}},
      {{0, 5000, 5000}, {}},              {{}, {}}};
  // clang-format on
  for (const auto& [votes, starts] : cases) {
    EXPECT_EQ(decideSceneStarts(votes, static_cast<int>(votes.size())), starts)
        << ::testing::PrintToString(votes);
  }
}

}  // namespace
}  // namespace shotscene

#include "scenes/shot_linking.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

namespace shotscene {
namespace {

// Shots of {first frame, last frame, look}: the three samples of a shot hold
// its look in one bin, so two shots lie as far apart as their looks.
struct Shot {
  float first, last, look;
};
using Shots = std::vector<Shot>;

std::vector<StoredShot> storedShots(const Shots& shots, SignatureTable& signatures) {
  std::vector<StoredShot> stored;
  for (const Shot& s : shots) {
    stored.push_back({s.first, s.last, {}});
    for (int k = 0; k < kSamplesPerShot; ++k) signatures.push_back({s.look});
  }
  return stored;
}

// Shots 4299 or 4300 frames apart, or one frame more than the window or not;
// a link spans every shot between its ends, also where links overlap; shots
// all unlike start a scene each.
TEST(ShotLinkingTest, ShotsCloseInTimeAndLookSpanTheCutsBetweenThem) {
  const struct {
    int window;
    Shots shots;
    std::vector<int> starts;
  } cases[] = {
      {4999, {{1, 10, 0}, {11, 4309, 1}, {4310, 4320, 0}}, {}},
      {4999, {{1, 10, 0}, {11, 4310, 1}, {4311, 4320, 0}}, {1, 2}},
      {700, {{1, 10, 0}, {11, 710, 1}, {711, 720, 0}}, {}},
      {700, {{1, 10, 0}, {11, 711, 1}, {712, 720, 0}}, {1, 2}},
      {700, {{1, 10, 0}, {11, 20, 1}, {21, 30, 2}, {31, 40, 0}, {41, 50, 3}}, {4}},
      {700, {{1, 10, 0}, {11, 20, 1}, {21, 30, 0}, {31, 40, 1}, {41, 50, 2}}, {4}},
      {700,
       {{1, 10, 0}, {11, 20, 1}, {21, 30, 2}, {31, 40, 3}, {41, 50, 4}, {51, 60, 5}},
       {1, 2, 3, 4, 5}},
  };
  for (const auto& c : cases) {
    SignatureTable signatures;
    const std::vector<StoredShot> shots = storedShots(c.shots, signatures);
    const int n = static_cast<int>(shots.size());
    LinkingTables tables = makeLinkingTables(shots, n);
    std::vector<ShotLink> links;
    std::vector<int> starts;
    linkSimilarShots(tables, signatures, c.window, 0.5, links);
    findSceneStarts(links, n, starts);
    EXPECT_EQ(starts, c.starts) << "case " << &c - cases;
  }
}

// The first two passes draw window 705, threshold 0.42 and window 1531,
// threshold 0.61: shots 0.5 apart in look link in the second pass only, and so
// do alike shots 1000 frames apart.
TEST(SceneVoteTest, EachPassDrawsItsWindowThenItsThresholdAndVotesForItsStarts) {
  SignatureTable signatures;
  const std::vector<StoredShot> shots =
      storedShots({{1, 100, 0}, {101, 200, 0.5f}, {201, 300, 5}, {1301, 1400, 5}}, signatures);
  SceneRandom random;
  EXPECT_EQ(countSceneVotes(shots, 4, signatures, random, 2), (std::vector<int>{0, 1, 2, 1}));
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
  // Then sample 0 of shot 0 and sample 2 of shot 1.
  std::swap(signatures[0], signatures[2]);
  std::swap(signatures[3], signatures[5]);
  EXPECT_FLOAT_EQ(computeShotDistance(signatures, 0, 1), 0.3f);
  // At distance 0 the shots link above a zero threshold only; stale links are replaced.
  signatures[5][1] = 0.0f;
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

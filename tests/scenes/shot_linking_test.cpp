#include "scenes/shot_linking.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <random>
#include <sstream>
#include <string>
#include <utility>

namespace shotscene {
namespace {

// The grouping written out directly on n x n tables: a pair matrix of
// exclusion marks and cached distances, a candidate mask rebuilt every pass,
// a link graph and the reach/low start rule. The banded implementation must
// produce exactly the same votes.
double gapMinusOne(const std::vector<StoredShot>& shots, int later, int earlier) {
  return static_cast<double>(shots[later].first - shots[earlier].last) - 1.0;
}

std::vector<int> referenceVotes(const std::vector<StoredShot>& shots, int n,
                                const SignatureTable& signatures, SceneRandom& random, int passes) {
  const auto at = [n](int r, int c) { return static_cast<size_t>(r) * n + c; };
  std::vector<float> pair(static_cast<size_t>(n) * n, 0.0f);
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < i; ++j) {
      if (gapMinusOne(shots, i, j) >= 4300.0) pair[at(i, j)] = pair[at(j, i)] = 1.0f;
    }
    pair[at(i, i)] = 1.0f;
  }
  std::vector<int> mask(pair.size()), graph(pair.size()), votes(n, 0), reach(n), low(n);
  std::vector<ShotLink> links;
  for (int pass = 0; pass < passes; ++pass) {
    const int r1 = nextRandom(random);
    const int r2 = nextRandom(random);
    const int window = drawWindow(r1);
    const double tau = drawThreshold(r2);

    for (size_t e = 0; e < pair.size(); ++e) mask[e] = pair[e] == 1.0f ? 1 : 0;
    for (int i = 0; i < n; ++i) {
      for (int j = 0; j < i; ++j) {
        if (mask[at(i, j)] == 0 && gapMinusOne(shots, i, j) > static_cast<double>(window))
          mask[at(i, j)] = 1;
        mask[at(j, i)] = mask[at(i, j)];
      }
    }

    links.clear();
    for (int d = n - 1; d >= 1; --d) {
      for (int k = 0; k + d < n; ++k) {
        const int j = k + d;
        if (mask[at(k, j)] != 0) continue;
        float f = pair[at(k, j)];
        if (f == 0.0f) f = pair[at(k, j)] = pair[at(j, k)] = computeShotDistance(signatures, k, j);
        if (static_cast<double>(f) < tau) {
          links.push_back({k, j});
          for (int r = k; r <= j; ++r) {
            for (int c = k; c <= j; ++c) mask[at(r, c)] = 1;
          }
        }
      }
    }

    std::fill(graph.begin(), graph.end(), 0);
    for (const ShotLink& l : links)
      graph[at(l.earlier, l.later)] = graph[at(l.later, l.earlier)] = 1;
    for (int i = 0; i < n; ++i) graph[at(i, i)] = 1;
    for (int i = 0; i < n; ++i) {
      int largest = -1, smallest = n;
      for (int c = 0; c < n; ++c) {
        if (graph[at(i, c)] != 1) continue;
        largest = c;
        smallest = std::min(smallest, c);
      }
      reach[i] = std::max(i == 0 ? 0 : reach[i - 1], largest);
      low[i] = smallest;
    }
    for (int i = 0; i + 1 < n; ++i) {
      if (reach[i] == i && low[i + 1] == i + 1) ++votes[i + 1];
    }
  }
  return votes;
}

// Random shot lists. Signatures sit on a coarse grid (a dozen bins of
// multiples of 1/8), so distances repeat, tie and land on round values
// around the thresholds.
enum class Kind { kNoisyLooks, kIdenticalLooks, kAllZero, kGapBoundary, kFarFrames, kCount };

struct Table {
  Kind kind = Kind::kNoisyLooks;
  int n = 0;
  std::vector<StoredShot> shots;  // n shots and the trailing record that takes no part
  SignatureTable signatures;
};

ShotSignature coarseLook(std::mt19937& rng) {
  ShotSignature s{};
  for (int p = 0; p < 12; ++p) {
    if (rng() % 2) s[static_cast<size_t>(p * 12)] = static_cast<float>(rng() % 5) * 0.125f;
  }
  return s;
}

Table randomTable(int n, Kind kind, std::mt19937& rng) {
  Table t;
  t.kind = kind;
  t.n = n;
  const int records = n + 1;
  std::vector<int> lengths(records);
  const int longest = rng() % 2 ? 1500 : 400;
  for (int& len : lengths) len = 1 + static_cast<int>(rng() % longest);

  std::vector<int> lookOf(records);
  for (int& look : lookOf) look = static_cast<int>(rng() % (kind == Kind::kIdenticalLooks ? 3 : 6));
  if (kind == Kind::kGapBoundary && n >= 4) {
    // Shots a and b look alike and have exactly 4300 or 4299 frames between them.
    const int middle = 2 + static_cast<int>(rng() % std::min(3, n - 3));
    const int a = static_cast<int>(rng() % (n - middle - 1)), b = a + middle + 1;
    const int between = rng() % 2 ? 4300 : 4299;
    for (int s = a + 1; s < b; ++s) lengths[s] = between / middle;
    lengths[a + 1] += between % middle;
    lookOf[b] = lookOf[a];
  }

  std::vector<ShotSignature> looks(6);
  for (ShotSignature& look : looks) look = coarseLook(rng);
  // Past 2^24 odd frame numbers round to even in single precision.
  int64_t frame = kind == Kind::kFarFrames ? (int64_t{1} << 24) + 1 : 1;
  for (int s = 0; s < records; ++s) {
    StoredShot shot;
    shot.first = static_cast<float>(frame);
    shot.last = static_cast<float>(frame + lengths[s] - 1);
    frame += lengths[s];
    t.shots.push_back(shot);
    for (int k = 0; k < kSamplesPerShot; ++k) {
      ShotSignature sample{};
      if (kind != Kind::kAllZero) sample = looks[static_cast<size_t>(lookOf[s])];
      if (kind == Kind::kNoisyLooks || kind == Kind::kGapBoundary) {
        for (int touched = static_cast<int>(rng() % 3); touched > 0; --touched)
          sample[rng() % 12 * 12] += 0.125f;
      }
      t.signatures.push_back(sample);
    }
  }
  return t;
}

std::string describe(const Table& t, int n) {
  std::ostringstream out;
  out << std::fixed << std::setprecision(0) << "kind " << static_cast<int>(t.kind) << ", n " << n
      << ", shots:";
  for (int s = 0; s < n; ++s) out << " " << t.shots[s].first << "-" << t.shots[s].last;
  return out.str();
}

bool votesAgree(const Table& t, int n, int passes) {
  SceneRandom fastRandom, referenceRandom;
  return countSceneVotes(t.shots, n, t.signatures, fastRandom, passes) ==
         referenceVotes(t.shots, n, t.signatures, referenceRandom, passes);
}

TEST(SceneVoteTest, BandedGroupingMatchesDirectMatrix) {
  constexpr int kPasses = 300;
  std::mt19937 rng(20240607);
  int undecidedTables = 0;  // tables with a shot that some passes start and others do not
  for (int index = 0; index < 200; ++index) {
    const Table t =
        randomTable(index % 41, static_cast<Kind>(index % static_cast<int>(Kind::kCount)), rng);
    SceneRandom fastRandom, referenceRandom;
    const std::vector<int> fast = countSceneVotes(t.shots, t.n, t.signatures, fastRandom, kPasses);
    const std::vector<int> reference =
        referenceVotes(t.shots, t.n, t.signatures, referenceRandom, kPasses);
    if (fast != reference) {
      int smallest = t.n;  // shortest prefix of the table that still disagrees
      while (smallest > 0 && !votesAgree(t, smallest - 1, kPasses)) --smallest;
      ADD_FAILURE() << "table " << index
                    << " disagrees; smallest failing prefix: " << describe(t, smallest);
    }
    undecidedTables +=
        std::any_of(reference.begin(), reference.end(), [](int v) { return v > 0 && v < kPasses; });
  }
  // Without partial votes the comparison would only see all-or-nothing passes.
  EXPECT_GE(undecidedTables, 60);
}

// Hand-made shot lists: shots of ten frames back to back, and signatures that
// put all weight of every sample of shot s into bin looks[s], so shots of one
// look are at distance 0 and shots of different looks at sqrt(2).
struct HandTable {
  std::vector<StoredShot> shots;
  SignatureTable signatures;
};

HandTable handTable(const std::vector<int>& looks, const std::vector<int>& lengths = {}) {
  HandTable t;
  float frame = 1.0f;
  for (size_t s = 0; s < looks.size(); ++s) {
    const float length = lengths.empty() ? 10.0f : static_cast<float>(lengths[s]);
    t.shots.push_back({frame, frame + length - 1.0f, {}});
    frame += length;
    ShotSignature sample{};
    sample[static_cast<size_t>(looks[s])] = 1.0f;
    for (int k = 0; k < kSamplesPerShot; ++k) t.signatures.push_back(sample);
  }
  return t;
}

using Pairs = std::vector<std::pair<int, int>>;

Pairs linkPairs(LinkingTables& tables, const HandTable& t, int window, double threshold) {
  std::vector<ShotLink> links{{0, 1}};  // stale content must be replaced
  const int count = linkSimilarShots(tables, t.signatures, window, threshold, links);
  EXPECT_EQ(count, static_cast<int>(links.size()));
  Pairs pairs;
  for (const ShotLink& l : links) pairs.emplace_back(l.earlier, l.later);
  std::sort(pairs.begin(), pairs.end());
  return pairs;
}

Pairs linkOnce(const HandTable& t, int window, double threshold) {
  LinkingTables tables = makeLinkingTables(t.shots, static_cast<int>(t.shots.size()));
  return linkPairs(tables, t, window, threshold);
}

std::vector<int> startsOf(const std::vector<ShotLink>& links, int n) {
  std::vector<int> starts{99};
  const int count = findSceneStarts(links, n, starts);
  EXPECT_EQ(count, static_cast<int>(starts.size()));
  return starts;
}

TEST(SceneRandomTest, GeneratorIsTheClassicCLibraryOne) {
  SceneRandom random;
  std::vector<int> draws;
  for (int k = 0; k < 5; ++k) draws.push_back(nextRandom(random));
  EXPECT_EQ(draws, (std::vector<int>{41, 18467, 6334, 26500, 19169}));
}

TEST(SceneRandomTest, DrawsCoverTheirRangeAndTruncateTowardZero) {
  EXPECT_EQ(drawWindow(0), 700);
  EXPECT_EQ(drawWindow(1), 700);  // 0.13 frames, cut toward zero
  EXPECT_EQ(drawWindow(8), 701);
  EXPECT_EQ(drawWindow(16384), 2850);
  EXPECT_EQ(drawWindow(32767), 4999);
  EXPECT_EQ(drawThreshold(0), 0.0);
  EXPECT_EQ(drawThreshold(32767), 0.75);
}

TEST(ShotLinkingTest, DistanceIsTheNearestOfNineSamplePairs) {
  SignatureTable signatures(6);
  for (int slot = 0; slot < 6; ++slot) signatures[slot][static_cast<size_t>(10 + slot)] = 1.0f;
  // Distant shots keep their whole distance.
  EXPECT_FLOAT_EQ(computeShotDistance(signatures, 0, 1), std::sqrt(2.0f));
  // Only sample 2 of shot 0 and sample 0 of shot 1 are close.
  signatures[2] = ShotSignature{};
  signatures[2][0] = 0.5f;
  signatures[3] = signatures[2];
  signatures[3][1] = 0.3f;
  EXPECT_FLOAT_EQ(computeShotDistance(signatures, 0, 1), 0.3f);
  // A zero signature against a full bin: exactly the value of the exclusion mark.
  signatures[2] = ShotSignature{};
  signatures[3] = ShotSignature{};
  signatures[3][1] = 1.0f;
  EXPECT_EQ(computeShotDistance(signatures, 0, 1), 1.0f);
}

TEST(ShotLinkingTest, LinkedSpanClosesNarrowerPairsInsideIt) {
  // Shots 2 and 7 alike, and 3 and 5 alike inside them.
  const HandTable t = handTable({0, 1, 2, 3, 4, 3, 6, 2, 8, 9});
  const Pairs links = linkOnce(t, 700, 0.5);
  EXPECT_EQ(links, (Pairs{{2, 7}}));
  EXPECT_EQ(startsOf({{2, 7}}, 10), (std::vector<int>{1, 2, 8, 9}));
  // Without the outer link the inner pair is linked.
  EXPECT_EQ(linkOnce(handTable({0, 1, 2, 3, 4, 3, 6, 7, 8, 9}), 700, 0.5), (Pairs{{3, 5}}));
}

TEST(ShotLinkingTest, LinksOfOneWidthDoNotCloseEachOther) {
  const HandTable t = handTable({0, 1, 2, 0, 1, 5});
  EXPECT_EQ(linkOnce(t, 700, 0.5), (Pairs{{0, 3}, {1, 4}}));
  EXPECT_EQ(startsOf({{0, 3}, {1, 4}}, 6), (std::vector<int>{5}));
}

TEST(ShotLinkingTest, PassWithoutLinksStartsEveryShot) {
  EXPECT_EQ(linkOnce(handTable({0, 1, 2, 3, 4}), 4999, 0.75), Pairs{});
  // Identical shots are not below a zero threshold.
  EXPECT_EQ(linkOnce(handTable({0, 0, 0, 0, 0}), 4999, 0.0), Pairs{});
  EXPECT_EQ(startsOf({}, 5), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(startsOf({}, 1), std::vector<int>{});
  EXPECT_EQ(startsOf({}, 0), std::vector<int>{});
}

TEST(ShotLinkingTest, ZeroDistanceStaysLinkableInLaterPasses) {
  // The pair at distance 0.0 and the cached distances of the others must serve
  // every pass alike, whatever the passes in between did.
  const HandTable t = handTable({0, 1, 0, 3});
  LinkingTables tables = makeLinkingTables(t.shots, 4);
  EXPECT_EQ(linkPairs(tables, t, 700, 0.5), (Pairs{{0, 2}}));
  EXPECT_EQ(linkPairs(tables, t, 700, 0.0), Pairs{});
  EXPECT_EQ(linkPairs(tables, t, 700, 0.5), (Pairs{{0, 2}}));
  EXPECT_EQ(linkPairs(tables, t, 700, 1.5), (Pairs{{0, 3}}));
}

TEST(ShotLinkingTest, GapOf4300IsNeverLinkedAndWindowIsInclusive) {
  // Shot 1 alone lies between the alike shots 0 and 2, so its length is the gap.
  EXPECT_EQ(linkOnce(handTable({0, 1, 0}, {10, 4300, 10}), 4999, 0.75), Pairs{});
  const HandTable closer = handTable({0, 1, 0}, {10, 4299, 10});
  EXPECT_EQ(linkOnce(closer, 4299, 0.75), (Pairs{{0, 2}}));
  EXPECT_EQ(linkOnce(closer, 4298, 0.75), Pairs{});
  // Beyond a too-distant pair, the later shots still link among themselves.
  EXPECT_EQ(linkOnce(handTable({0, 1, 0, 0}, {10, 4300, 10, 10}), 4999, 0.75), (Pairs{{2, 3}}));
}

TEST(SceneDecisionTest, VotesOfExactly1900DoNotStart) {
  EXPECT_EQ(decideSceneStarts({0, 0, 1900, 0, 0}, 5), std::vector<int>{});
  EXPECT_EQ(decideSceneStarts({0, 0, 1901, 0, 0}, 5), std::vector<int>{2});
  // After a vote of exactly 1900 only more than 2900 starts.
  EXPECT_EQ(decideSceneStarts({0, 0, 1900, 2900, 0, 0}, 6), std::vector<int>{});
  EXPECT_EQ(decideSceneStarts({0, 0, 1900, 2901, 0, 0}, 6), std::vector<int>{3});
  EXPECT_EQ(decideSceneStarts({0, 0, 1899, 1901, 0, 0}, 6), std::vector<int>{3});
}

TEST(SceneDecisionTest, StrongPairOfVotesBlocksTheNextShot) {
  EXPECT_EQ(decideSceneStarts({0, 1901, 2901, 10000, 0, 0}, 6), std::vector<int>{2});
  EXPECT_EQ(decideSceneStarts({0, 1900, 2901, 10000, 0, 0}, 6), (std::vector<int>{2, 3}));
  EXPECT_EQ(decideSceneStarts({0, 1901, 2900, 10000, 0, 0}, 6), std::vector<int>{3});
}

TEST(SceneDecisionTest, NoStartAtSecondOrLastShot) {
  EXPECT_EQ(decideSceneStarts({0, 5000, 0, 0, 5000}, 5), std::vector<int>{});
  EXPECT_EQ(decideSceneStarts({0, 0, 5000, 5000}, 4), std::vector<int>{2});
  EXPECT_EQ(decideSceneStarts({0, 5000, 5000}, 3), std::vector<int>{});
  EXPECT_EQ(decideSceneStarts({}, 0), std::vector<int>{});
}

}  // namespace
}  // namespace shotscene

#include "scenes/shot_linking.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "common/cleanup_registry.h"

namespace shotscene {

namespace {

// Gap between shot k and a later shot j, minus one frame: the subtraction in
// single precision, the rest in double.
double gapMinusOne(float laterFirst, float earlierLast) {
  return static_cast<double>(laterFirst - earlierLast) - 1.0;
}

// First shot after k such that every shot from it on lies more than `limit`
// frames away (or at `limit` frames or more when `inclusive`); n when none.
int bandLimit(const LinkingTables& t, int k, double limit, bool inclusive) {
  const auto beyond = [&](int j) {
    const double gap = gapMinusOne(t.minFirstFrom[j], t.last[k]);
    return inclusive ? gap >= limit : gap > limit;
  };
  // minFirstFrom only grows with j, so the shots beyond the limit are a suffix.
  int lo = k + 1, hi = t.shotCount;
  while (lo < hi) {
    const int mid = lo + (hi - lo) / 2;
    if (beyond(mid)) {
      hi = mid;
    } else {
      lo = mid + 1;
    }
  }
  return lo;
}

float sampleDistance(const ShotSignature& a, const ShotSignature& b) {
  float sum = 0.0f;
  for (int e = 0; e < kSignatureLength; ++e) {
    const float d = a[e] - b[e];
    sum += d * d;
  }
  return std::sqrt(sum);
}

}  // namespace

LinkingTables makeLinkingTables(const std::vector<StoredShot>& shots, int n) {
  LinkingTables t;
  t.shotCount = n;
  t.first.resize(n);
  t.last.resize(n);
  for (int k = 0; k < n; ++k) {
    t.first[k] = shots[k].first;
    t.last[k] = shots[k].last;
  }
  t.minFirstFrom.assign(n + 1, std::numeric_limits<float>::infinity());
  for (int k = n - 1; k >= 0; --k) t.minFirstFrom[k] = std::min(t.first[k], t.minFirstFrom[k + 1]);
  t.bandEnd.resize(n);
  t.bandOffset.resize(n + 1);
  int64_t offset = 0;
  for (int k = 0; k < n; ++k) {
    t.bandEnd[k] = bandLimit(t, k, kNeverLinkedGap, true);
    t.bandOffset[k] = offset;
    offset += t.bandEnd[k] - k - 1;
  }
  t.bandOffset[n] = offset;
  t.distances.assign(static_cast<size_t>(offset), std::numeric_limits<float>::quiet_NaN());
  t.passEnd.resize(n);
  t.coveredTo.resize(n);
  t.order.resize(n);
  t.active.resize(static_cast<size_t>(n) / 64 + 1);
  return t;
}

float computeShotDistance(const SignatureTable& signatures, int i, int j) {
  float best = 10000.0f;
  for (int a = 0; a < kSamplesPerShot; ++a) {
    for (int b = 0; b < kSamplesPerShot; ++b) {
      const float d = sampleDistance(signatures[static_cast<size_t>(3 * i + a)],
                                     signatures[static_cast<size_t>(3 * j + b)]);
      if (d < best) best = d;
    }
  }
  return best;
}

int linkSimilarShots(LinkingTables& t, const SignatureTable& signatures, int window,
                     double threshold, std::vector<ShotLink>& links) {
  links.clear();
  const int n = t.shotCount;
  if (n < 2) return 0;
  // Pairs the window may admit: shot k with shots k+1 .. passEnd[k]-1. Order
  // the shots by that span, so each width visits only the shots reaching it.
  int widest = 0;
  for (int k = 0; k < n; ++k) {
    t.passEnd[k] = std::min(t.bandEnd[k], bandLimit(t, k, window, false));
    widest = std::max(widest, t.passEnd[k] - k - 1);
    t.coveredTo[k] = -1;
  }
  t.bucketStart.assign(static_cast<size_t>(widest) + 2, 0);
  for (int k = 0; k < n; ++k) ++t.bucketStart[t.passEnd[k] - k - 1 + 1];
  for (int d = 1; d <= widest + 1; ++d) t.bucketStart[d] += t.bucketStart[d - 1];
  {
    std::vector<int>& fill = t.order;
    std::vector<int> next(t.bucketStart.begin(), t.bucketStart.end() - 1);
    for (int k = 0; k < n; ++k) fill[next[t.passEnd[k] - k - 1]++] = k;
  }
  std::fill(t.active.begin(), t.active.end(), 0);

  for (int d = widest; d >= 1; --d) {
    for (int at = t.bucketStart[d]; at < t.bucketStart[d + 1]; ++at) {
      const int k = t.order[at];
      t.active[k >> 6] |= uint64_t{1} << (k & 63);
    }
    for (size_t word = 0; word < t.active.size(); ++word) {
      for (uint64_t bits = t.active[word]; bits != 0; bits &= bits - 1) {
        const int k = static_cast<int>(word * 64) + __builtin_ctzll(bits);
        const int j = k + d;
        if (t.coveredTo[k] >= j) continue;  // inside a span linked earlier in this pass
        const double gap = gapMinusOne(t.first[j], t.last[k]);
        if (gap >= kNeverLinkedGap || gap > window) continue;
        float& cached = t.distances[static_cast<size_t>(t.bandOffset[k] + d - 1)];
        if (std::isnan(cached)) cached = computeShotDistance(signatures, k, j);
        if (static_cast<double>(cached) < threshold) {
          links.push_back({k, j});
          for (int r = k; r <= j; ++r) t.coveredTo[r] = std::max(t.coveredTo[r], j);
        }
      }
    }
  }
  return static_cast<int>(links.size());
}

int findSceneStarts(const std::vector<ShotLink>& links, int n, std::vector<int>& starts) {
  starts.clear();
  if (n < 1) return 0;
  // Row i of the link graph: the diagonal, the later shots linked from i and
  // the earlier shots linked to i.
  std::vector<int> largest(n), smallest(n);
  for (int i = 0; i < n; ++i) largest[i] = smallest[i] = i;
  for (const ShotLink& l : links) {
    largest[l.earlier] = std::max(largest[l.earlier], l.later);
    smallest[l.later] = std::min(smallest[l.later], l.earlier);
  }
  int reach = 0;
  for (int i = 0; i + 1 < n; ++i) {
    reach = std::max(reach, largest[i]);
    if (reach == i && smallest[i + 1] == i + 1) starts.push_back(i + 1);
  }
  return static_cast<int>(starts.size());
}

std::vector<int> countSceneVotes(const std::vector<StoredShot>& shots, int n,
                                 const SignatureTable& signatures, SceneRandom& random,
                                 int passes) {
  std::vector<int> votes(static_cast<size_t>(std::max(n, 0)), 0);
  LinkingTables tables = makeLinkingTables(shots, std::max(n, 0));
  std::vector<ShotLink> links;
  std::vector<int> starts;
  for (int pass = 0; pass < passes; ++pass) {
    throwIfStopped();
    const int window = drawWindow(nextRandom(random));
    const double threshold = drawThreshold(nextRandom(random));
    linkSimilarShots(tables, signatures, window, threshold, links);
    findSceneStarts(links, n, starts);
    for (int k : starts) ++votes[static_cast<size_t>(k)];
  }
  return votes;
}

std::vector<int> decideSceneStarts(const std::vector<int>& votes, int n) {
  std::vector<int> starts;
  for (int i = 2; i <= n - 2; ++i) {
    if (votes[i - 1] > 2900 && votes[i - 2] > 1900) continue;
    if (votes[i] <= 1900) continue;
    if (votes[i - 1] < 1900 || votes[i] > 2900) starts.push_back(i);
  }
  return starts;
}

}  // namespace shotscene

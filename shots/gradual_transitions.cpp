#include "shots/gradual_transitions.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <utility>

namespace shotscene {

namespace {

constexpr double kWindowValleyDepth = 0.15;   // a valley this deep starts a window
constexpr double kGroupedValleyDepth = 0.05;  // valleys this deep join the window
constexpr double kGradualScore = 0.3;
constexpr int kHalfWindow = 13;
constexpr int kBoundarySpacing = 13;

}  // namespace

void buildPairProfiles(const PairMeasure* measures, PairProfile* profiles, int frameCount) {
  const int n = frameCount;
  const int pairs = n - 1;
  if (pairs < 1) return;

  for (int p = 0; p < std::min(5, pairs); ++p) profiles[p].smoothed = 0.0f;
  for (int p = std::max(0, n - 6); p < pairs; ++p) profiles[p].smoothed = 1.0f;
  if (n - 6 > 5) {
    for (int p = 5; p <= n - 7; ++p) {
      float sum = 0.0f;
      for (int q = p - 5; q <= p + 5; ++q) sum += measures[q].similarity;
      profiles[p].smoothed = static_cast<float>(sum / 11.0);
    }
  }

  for (int p = 1; p < pairs; ++p) {
    profiles[p].slope = profiles[p].smoothed - profiles[p - 1].smoothed;
  }

  int leftEdge = 1;
  int rightEdge = 1;
  for (int p = 1; p <= pairs - 2; ++p) {
    if (!(profiles[p].slope < 0.0f && profiles[p + 1].slope > 0.0f)) continue;
    for (int q = p - 1; q >= 1; --q) {
      if (profiles[q].slope >= 0.0f) {
        leftEdge = q;
        break;
      }
    }
    // When the curve never descends again the previous right edge is kept,
    // so the last valley may end before it starts.
    for (int q = p + 1; q <= pairs - 1; ++q) {
      if (profiles[q].slope < 0.0f) {
        rightEdge = q - 1;
        break;
      }
    }
    const float bottom = profiles[p].smoothed;
    profiles[p].valleyDepth = std::fabs(bottom - profiles[leftEdge].smoothed) +
                              std::fabs(bottom - profiles[rightEdge].smoothed);
    profiles[p].valleyStart = static_cast<float>(leftEdge);
    profiles[p].valleyEnd = static_cast<float>(rightEdge);
  }

  int p = kHalfWindow;
  while (p < n - 14) {
    if (!(static_cast<double>(profiles[p].valleyDepth) > kWindowValleyDepth)) {
      ++p;
      continue;
    }
    int lo = p;
    int hi = p;
    float total = 0.0f;
    for (int q = p - kHalfWindow; q <= p + kHalfWindow; ++q) {
      if (static_cast<double>(profiles[q].valleyDepth) > kGroupedValleyDepth) {
        lo = std::min(lo, q);
        hi = std::max(hi, q);
        total += profiles[q].valleyDepth;
      }
    }
    const int mid = static_cast<int>(std::ceil((lo + hi) * 0.5));
    profiles[mid].score = total;
    profiles[mid].startFrame = profiles[lo].valleyStart;
    profiles[mid].endFrame = profiles[hi].valleyEnd;
    p = hi + 1;
  }
}

std::vector<ShotRecord> detectGradualTransitions(const ShotRecord* cutShots,
                                                 const PairProfile* profiles, int cutCount,
                                                 int frameCount) {
  // (frame number of the boundary, kind of transition that ends there)
  std::vector<std::pair<int, int>> boundaries;
  for (int k = 0; k < cutCount; ++k) boundaries.emplace_back(cutShots[k].end, kAbrupt);

  int p = 0;
  while (p < frameCount - 1) {
    if (!(static_cast<double>(profiles[p].score) > kGradualScore)) {
      ++p;
      continue;
    }
    const auto near = std::find_if(boundaries.begin(), boundaries.end(), [p](const auto& b) {
      return b.first - kBoundarySpacing < p + 1 && p + 1 < b.first + kBoundarySpacing;
    });
    if (near != boundaries.end()) {
      p = near->first + kBoundarySpacing - 1;
      continue;
    }
    int kind = kAbrupt;
    if (profiles[p].type == 1.0f) {
      kind = kDissolve;
    } else if (profiles[p].type == 2.0f) {
      kind = kWipe;
    } else {
      std::cout << "Not identifiable gradual transition" << std::endl;
    }
    boundaries.emplace_back(p + 1, kind);
    p += kBoundarySpacing;
  }

  // Boundaries are at least 13 frames apart, so none coincide.
  std::sort(boundaries.begin(), boundaries.end());
  std::vector<ShotRecord> shots;
  shots.reserve(boundaries.size());
  int start = 1;
  for (const auto& [end, kind] : boundaries) {
    shots.push_back(makeShotRecord(start, end, kind));
    start = end + 1;
  }
  return shots;
}

}  // namespace shotscene

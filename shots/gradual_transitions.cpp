#include "shots/gradual_transitions.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <utility>

namespace shotscene {

namespace {

constexpr double kWindowValleyDepth = 0.15;   // a valley this deep starts a window
constexpr double kGroupedValleyDepth = 0.05;  // valleys this deep join the window
constexpr int kHalfWindow = 13;

}  // namespace

void startPairProfiles(ProfileBuilder& b, int frameCount) {
  b = ProfileBuilder{};
  b.frameCount = frameCount;
}

void extendPairProfiles(ProfileBuilder& b, const PairMeasure* measures, PairProfile* profiles,
                        int measured) {
  const int n = b.frameCount;
  const int pairs = n - 1;
  if (pairs < 1) return;

  // Smoothing: 0 for the first five pairs, 1 for the last six (which wins
  // where they overlap), else the mean of the 11 pairs around.
  const int smoothable =
      measured >= pairs ? pairs : std::clamp(std::max(std::min(5, pairs), measured - 5), 0, pairs);
  for (int p = b.smoothed; p < smoothable; ++p) {
    if (p >= std::max(0, n - 6)) {
      profiles[p].smoothed = 1.0f;
    } else if (p < 5) {
      profiles[p].smoothed = 0.0f;
    } else {
      float sum = 0.0f;
      for (int q = p - 5; q <= p + 5; ++q) sum += measures[q].similarity;
      profiles[p].smoothed = static_cast<float>(sum / 11.0);
    }
    if (p >= 1) profiles[p].slope = profiles[p].smoothed - profiles[p - 1].smoothed;
  }
  b.smoothed = std::max(b.smoothed, smoothable);

  int p = b.valley;
  for (; p <= pairs - 2 && p + 1 < b.smoothed; ++p) {
    if (!(profiles[p].slope < 0.0f && profiles[p + 1].slope > 0.0f)) continue;
    for (int q = p - 1; q >= 1; --q) {
      if (profiles[q].slope >= 0.0f) {
        b.leftEdge = q;
        break;
      }
    }
    // When the curve never descends again the previous right edge is kept,
    // so the last valley may end before it starts.
    int q = std::max(p + 1, b.rightSearch);
    for (; q <= pairs - 1 && q < b.smoothed; ++q) {
      if (profiles[q].slope < 0.0f) break;
    }
    if (q <= pairs - 1 && q >= b.smoothed) {
      b.rightSearch = q;  // the curve has not descended yet; wait for more measures
      break;
    }
    b.rightSearch = 0;
    if (q <= pairs - 1) b.rightEdge = q - 1;
    const float bottom = profiles[p].smoothed;
    profiles[p].valleyDepth = std::fabs(bottom - profiles[b.leftEdge].smoothed) +
                              std::fabs(bottom - profiles[b.rightEdge].smoothed);
    profiles[p].valleyStart = static_cast<float>(b.leftEdge);
    profiles[p].valleyEnd = static_cast<float>(b.rightEdge);
  }
  b.valley = p;
  const int valleysFinal = p > pairs - 2 ? pairs : p;

  p = b.window;
  while (p < n - 14 && p < valleysFinal) {
    if (!(static_cast<double>(profiles[p].valleyDepth) > kWindowValleyDepth)) {
      ++p;
      continue;
    }
    if (p + kHalfWindow >= valleysFinal) break;
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
  b.window = p;
  // A later window starting at p or beyond centres at p - 6 or beyond.
  const int windowsFinal = p >= n - 14 ? pairs : std::max(0, p - 6);
  b.final = std::min({b.smoothed, valleysFinal, windowsFinal});
}

void buildPairProfiles(const PairMeasure* measures, PairProfile* profiles, int frameCount) {
  ProfileBuilder b;
  startPairProfiles(b, frameCount);
  extendPairProfiles(b, measures, profiles, frameCount - 1);
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

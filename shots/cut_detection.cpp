#include "shots/cut_detection.h"

#include <algorithm>

namespace shotscene {

namespace {

constexpr double kStretchSimilarity = 0.05;

}  // namespace

bool isolatedNear(const std::vector<int>& sortedIsolated, int pair) {
  for (int v = pair; v <= pair + 2; ++v) {
    if (std::binary_search(sortedIsolated.begin(), sortedIsolated.end(), v)) return true;
  }
  return false;
}

int detectCuts(const PairMeasure* measures, ShotRecord* cutShots, int frameCount, float frameRate,
               std::vector<int> isolatedFrames) {
  std::sort(isolatedFrames.begin(), isolatedFrames.end());
  const auto ratioSum = [measures](int i) {
    return measures[i].matchRatioA + measures[i].matchRatioB;
  };
  const auto low = [measures](int i, double threshold) {
    return static_cast<double>(measures[i].similarity) < threshold;
  };

  const int last = frameCount - 4;
  const int skip = static_cast<int>(frameRate) / 2;
  int count = 0;
  int start = 1;
  int i = 0;
  if (last >= 1) {
    do {
      ++i;
      // Inside a run of featureless pairs no cut is placed; its last pair is a candidate.
      bool candidate = ratioSum(i) == 0.0f ? ratioSum(i + 1) != 0.0f : low(i, kCutSimilarity);
      if (candidate && isolatedNear(isolatedFrames, i)) candidate = false;
      if (candidate && i > 6 && low(i - 1, kStretchSimilarity) && low(i - 2, kStretchSimilarity) &&
          low(i - 3, kStretchSimilarity) && low(i - 4, kStretchSimilarity)) {
        candidate = false;
      }
      if (candidate) {
        cutShots[count++] = makeShotRecord(start, i + 1, kAbrupt);
        start = i + 2;
        i = i + 1 + skip;
      }
    } while (i < last);
  }
  cutShots[count++] = makeShotRecord(start, frameCount, kAbrupt);
  return count;
}

}  // namespace shotscene

#include "shots/frame_ranges.h"

#include <algorithm>

namespace shotscene {

std::vector<FrameRange> planFrameRanges(int frameCount, int defaultThreads) {
  int threads = std::clamp(defaultThreads, 1, kMaxScanThreads);
  if (frameCount < 2 * threads) threads = std::max(1, frameCount / 2);
  const int length = frameCount / threads;
  std::vector<FrameRange> ranges;
  for (int t = 0; t < threads; ++t) ranges.push_back({t * length, (t + 1) * length});
  ranges.back().end = frameCount;
  return ranges;
}

void repairSeam(PairMeasure* measures, int s) {
  const PairMeasure& before = measures[s - 1];
  const PairMeasure& after = measures[s + 1];
  PairMeasure& seam = measures[s];
  seam.histCorrelation = 0.5f * (before.histCorrelation + after.histCorrelation);
  seam.histAffinity = 0.5f * (before.histAffinity + after.histAffinity);
  seam.matchRatioA = 0.5f * (before.matchRatioA + after.matchRatioA);
  seam.matchRatioB = 0.5f * (before.matchRatioB + after.matchRatioB);
  seam.similarity = 0.5f * (before.similarity + after.similarity);
}

void repairSeams(std::vector<PairMeasure>& measures, const std::vector<FrameRange>& ranges) {
  for (size_t k = 1; k < ranges.size(); ++k) repairSeam(measures.data(), ranges[k].first - 1);
}

}  // namespace shotscene

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

}  // namespace shotscene

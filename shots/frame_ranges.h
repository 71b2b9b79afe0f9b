// The split of a video's frames into scan ranges, and the pairs at their seams.
#ifndef SHOTSCENE_SHOTS_FRAME_RANGES_H_
#define SHOTSCENE_SHOTS_FRAME_RANGES_H_

#include <vector>

#include "shots/shot_types.h"

namespace shotscene {

inline constexpr int kMaxScanThreads = 4;

// One range per scan thread, at most four: [t*L, (t+1)*L) with L = N / T, the
// last range reaching frameCount. Fewer threads are used when there are under
// two frames per thread, so no range is empty or a single frame.
std::vector<FrameRange> planFrameRanges(int frameCount, int defaultThreads);

// No worker measures the pair that joins two ranges; it becomes the mean of
// its two neighbours. Needs every range to hold at least two frames.
void repairSeam(PairMeasure* measures, int seam);
void repairSeams(std::vector<PairMeasure>& measures, const std::vector<FrameRange>& ranges);

}  // namespace shotscene

#endif  // SHOTSCENE_SHOTS_FRAME_RANGES_H_

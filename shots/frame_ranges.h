// The split of a video's frames into scan ranges.
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

}  // namespace shotscene

#endif  // SHOTSCENE_SHOTS_FRAME_RANGES_H_

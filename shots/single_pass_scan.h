// The scan of all ranges with every frame decoded once: one thread decodes in
// order while the others compute features and pair measures.
#ifndef SHOTSCENE_SHOTS_SINGLE_PASS_SCAN_H_
#define SHOTSCENE_SHOTS_SINGLE_PASS_SCAN_H_

#include <string>
#include <vector>

#include "shots/shot_types.h"
#include "shots/video_source.h"

namespace shotscene {

// Writes exactly what scanSegment writes for each range, run side by side: a
// range's pairs and flashes never reach across its ends, and the pair joining
// two ranges is not measured. `threads` feature workers (at least 1). Every
// frame decoded is recorded in `index` when given.
void scanRangesOnce(const std::vector<FrameRange>& ranges, PairMeasure* measures,
                    std::vector<int>& isolatedFrames, const std::string& videoPath,
                    AnalysisScale scale, int threads, FrameIndex* index = nullptr);

}  // namespace shotscene

#endif  // SHOTSCENE_SHOTS_SINGLE_PASS_SCAN_H_

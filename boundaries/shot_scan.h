// The scan of a video for the shot boundaries: every pair measured in one
// decoding pass, with the work each batch of frames brings.
#ifndef SHOTSCENE_BOUNDARIES_SHOT_SCAN_H_
#define SHOTSCENE_BOUNDARIES_SHOT_SCAN_H_

#include <cstddef>
#include <functional>
#include <vector>

#include "boundaries/shot_boundaries.h"
#include "shots/single_pass_scan.h"
#include "video/video.h"

namespace shotscene {

// The thread count the runtime gives a parallel region by default.
int defaultThreadCount();

// What else the scan does with each batch, in frame order: the profile
// entries before `finalProfiles` are final by then. It returns more
// candidates to type from the frames the scan keeps.
using ScanStep =
    std::function<std::vector<TransitionCandidate>(const ScannedBatch& batch, int finalProfiles)>;

// Measures every pair in one decoding pass, filling the video's frame index;
// builds the profiles and types the candidates whose frames it still holds,
// keeping frames in `keptFrameBytes` at most (0: types none). `eachBatch`,
// when given, also gets every batch, with the frames' sketches when `sketch`
// is set. `scan` must be allocated for the video's frame count.
void scanShots(Video& video, ShotScan& scan, size_t keptFrameBytes,
               const ScanStep& eachBatch = nullptr, bool sketch = false);

}  // namespace shotscene

#endif  // SHOTSCENE_BOUNDARIES_SHOT_SCAN_H_

// The scan of all ranges with every frame decoded once: one thread decodes in
// order, feature workers analyse the decoded frames, and the calling thread
// measures pairs and flashes in frame order.
#ifndef SHOTSCENE_SHOTS_SINGLE_PASS_SCAN_H_
#define SHOTSCENE_SHOTS_SINGLE_PASS_SCAN_H_

#include <functional>
#include <memory>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "shots/frame_features.h"
#include "shots/shot_types.h"
#include "video/video.h"

namespace shotscene {

// One batch of analysed frames, first .. first + grey.size() - 1: grey at the
// analysis scale (RGB-to-grey), their sketches when asked for (makeSketch),
// and their features; empty and null where a frame did not decode. Handed on
// once the measures of pairs up to the batch's last frame are written.
struct ScannedBatch {
  int first = 0;
  std::vector<cv::Mat> grey;
  std::vector<cv::Mat> sketches;
  std::vector<std::shared_ptr<const FrameFeatures>> features;
};
using BatchSink = std::function<void(const ScannedBatch&)>;

// Measures the pairs of each range, run side by side, as one worker per range
// decoding its own stretch and the frame after it would: the pair joining two
// ranges is measured from the last analysed frame of the first, but flashes
// are looked for within each range alone. `threads`
// feature workers (at least 1). Every position read is recorded in the video's
// frame index. `sink`, when given, gets every batch in order on the calling
// thread, with the frames' sketches when `sketch` is set.
void scanRangesOnce(const std::vector<FrameRange>& ranges, PairMeasure* measures,
                    std::vector<int>& isolatedFrames, Video& video, int threads,
                    const BatchSink& sink = nullptr, bool sketch = false);

}  // namespace shotscene

#endif  // SHOTSCENE_SHOTS_SINGLE_PASS_SCAN_H_

// The shot stage: probe, parallel scan, boundary detection and the shot files.
#ifndef SHOTSCENE_SHOTS_SHOT_SEGMENTATION_H_
#define SHOTSCENE_SHOTS_SHOT_SEGMENTATION_H_

#include <string>
#include <vector>

#include "shots/shot_types.h"
#include "shots/video_source.h"

namespace shotscene {

inline constexpr int kShotStageOk = 0;
inline constexpr int kVideoUnusable = -3;        // "Can not load video file" was printed
inline constexpr int kShotFilesUnwritable = -4;  // the failed path was reported on stderr
// The shot files are written but some keyframe images are not (reported on
// stderr): the run goes on and ends with a failure status.
inline constexpr int kShotKeyframesIncomplete = 1;

inline constexpr int kMaxScanThreads = 4;

// One range per scan thread, at most four: [t*L, (t+1)*L) with L = N / T, the
// last range reaching frameCount. Fewer threads are used when there are under
// two frames per thread, so no range is empty or a single frame.
std::vector<FrameRange> planFrameRanges(int frameCount, int defaultThreads);

// No worker measures the pair that joins two ranges; it becomes the mean of
// its two neighbours. Needs every range to hold at least two frames.
void repairSeam(PairMeasure* measures, int seam);
void repairSeams(std::vector<PairMeasure>& measures, const std::vector<FrameRange>& ranges);

// Writes STEM_shots.txt and STEM_shots.srt for the video. Returns kShotStageOk,
// kVideoUnusable, kShotFilesUnwritable or kShotKeyframesIncomplete. The
// scan's frame index is left in `index` when given, for later readers.
int runShotSegmentation(std::string videoPath, bool kfShot, std::string kfPath, bool transType,
                        FrameIndex* index = nullptr);

}  // namespace shotscene

#endif  // SHOTSCENE_SHOTS_SHOT_SEGMENTATION_H_

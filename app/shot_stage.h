// The shot stage's driver: scan, boundary detection and typing, keyframes and the shot files.
#ifndef SHOTSCENE_APP_SHOT_STAGE_H_
#define SHOTSCENE_APP_SHOT_STAGE_H_

#include <cstddef>
#include <string>
#include <vector>

#include "shots/shot_refinement.h"
#include "shots/shot_types.h"
#include "transitions/transition_classifier.h"
#include "video/video.h"

namespace shotscene {

inline constexpr int kShotStageOk = 0;
inline constexpr int kVideoUnusable = -3;        // "Can not load video file" was printed
inline constexpr int kShotFilesUnwritable = -4;  // the failed path was reported on stderr
inline constexpr int kShotStageFailed = -5;      // a failure inside the stage, reported on stderr
// The shot files are written but some keyframe images are not (reported on
// stderr): the run goes on and ends with a failure status.
inline constexpr int kShotKeyframesIncomplete = 1;

// Frames kept during the scan for typing candidates without decoding again.
inline constexpr size_t kKeptFrameBytes = size_t{64} << 20;

// What the scan leaves for boundary detection: measures, profiles and cut
// slots hold one entry per adjacent frame pair.
struct ShotScan {
  std::vector<PairMeasure> measures;
  std::vector<int> isolatedFrames;
  std::vector<PairProfile> profiles;  // built from the measures
  std::vector<ShotRecord> cutShots;   // filled by findShots
  TypedCandidates typed;              // candidates typed from frames the scan kept
  ShotSketches sketches;              // for refineShots; empty unless asked for
};

// Prints "Can not load video file" and returns kVideoUnusable.
int reportUnusableVideo();

// The thread count the runtime gives a parallel region by default.
int defaultThreadCount();

// Sizes the scan's arrays for the video's frames; false when they do not fit in memory.
bool allocateShotScan(ShotScan& scan, int frameCount);

// Measures every pair in one decoding pass, filling the video's frame index;
// builds the profiles and types the candidates whose frames it still holds,
// keeping frames in `keptFrameBytes` at most (0: types none). With
// `sketchFrames` it also sketches every frame for refineShots. `scan` must be
// allocated for the video's frame count.
void scanShots(Video& video, ShotScan& scan, size_t keptFrameBytes, bool sketchFrames = false);

// Cuts, the typing of the candidates the scan left untyped (by decoding),
// and the merge into the shot list. Sets `typedByDecoding` when given. With
// `refine`, cuts within one continuing shot are dropped before the typing,
// and the merged list gets its second look (refineShots); the scan must then
// have sketched the frames.
std::vector<ShotRecord> findShots(const Video& video, ShotScan& scan,
                                  int* typedByDecoding = nullptr, bool refine = false);

// With kfShot the shot keyframes, then STEM_shots.txt and STEM_shots.srt;
// once all are written, the images of the keyframe folder this run did not
// write are removed. Returns kShotStageOk, kShotFilesUnwritable or
// kShotKeyframesIncomplete (also when a removal failed).
int writeShotResults(const Video& video, const std::vector<ShotRecord>& shots, bool kfShot,
                     const std::string& kfPath, bool transType);

// The whole stage on an opened video, whose frame index it fills for later
// readers; the progress lines go to standard output. Returns kShotStageOk,
// kVideoUnusable (no memory for the video's frame count), kShotFilesUnwritable,
// kShotKeyframesIncomplete or kShotStageFailed (a failure inside the stage,
// reported on standard error; files already written stay complete). With
// `refine`, the boundaries found get a second look (refineShots) before
// anything is written.
int runShotSegmentation(Video& video, bool kfShot, const std::string& kfPath, bool transType,
                        bool refine = false, size_t keptFrameBytes = kKeptFrameBytes);

}  // namespace shotscene

#endif  // SHOTSCENE_APP_SHOT_STAGE_H_

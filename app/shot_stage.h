// The shot stage's driver: the shot boundaries of the opened video, then the
// keyframes and the shot files.
#ifndef SHOTSCENE_APP_SHOT_STAGE_H_
#define SHOTSCENE_APP_SHOT_STAGE_H_

#include <string>
#include <vector>

#include "boundaries/shot_boundaries.h"
#include "shots/shot_types.h"
#include "video/video.h"

namespace shotscene {

inline constexpr int kShotStageOk = 0;
inline constexpr int kVideoUnusable = -3;        // "Can not load video file" was printed
inline constexpr int kShotFilesUnwritable = -4;  // the failed path was reported on stderr
inline constexpr int kShotStageFailed = -5;      // a failure inside the stage, reported on stderr
// The shot files are written but some keyframe images are not (reported on
// stderr): the run goes on and ends with a failure status.
inline constexpr int kShotKeyframesIncomplete = 1;

// Prints "Can not load video file" and returns kVideoUnusable.
int reportUnusableVideo();

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
// options.refine, the boundaries found get a second look before anything is
// written. A stop request passes out as RunStopped.
int runShotSegmentation(Video& video, bool kfShot, const std::string& kfPath, bool transType,
                        const BoundaryOptions& options = {});

}  // namespace shotscene

#endif  // SHOTSCENE_APP_SHOT_STAGE_H_

// The shot stage's driver: the shot boundaries of the opened video, then the
// keyframes and the shot files.
#ifndef SHOTSCENE_APP_SHOT_STAGE_H_
#define SHOTSCENE_APP_SHOT_STAGE_H_

#include <string>
#include <vector>

#include "boundaries/shot_boundaries.h"
#include "shots/pair_statistics.h"
#include "shots/shot_types.h"
#include "video/frame_index.h"
#include "video/video.h"

namespace shotscene {

inline constexpr int kShotStageOk = 0;
inline constexpr int kVideoUnusable = -3;        // "Can not load video file" was printed
inline constexpr int kShotFilesUnwritable = -4;  // the failed path was reported on stderr
inline constexpr int kShotStageFailed = -5;      // a failure inside the stage, reported on stderr
// The shot files are written but some keyframe images are not (reported on
// stderr): the run goes on and ends with a failure status.
inline constexpr int kShotKeyframesIncomplete = 1;

// What the command line asks of the shot stage.
struct ShotStageOptions {
  bool kfShot = false;
  std::string kfPath;
  bool transType = false;
  bool stats = false;  // write STEM_stats.csv
  BoundaryOptions boundaries;
};

// Prints "Can not load video file" and returns kVideoUnusable.
int reportUnusableVideo();

// Every pair's statistics from the scan the shots were found with: `listed`
// are the shots as the list holds them, `index` the video's frame index.
std::vector<PairStatistics> collectPairStatistics(const ShotScan& scan,
                                                  const std::vector<ShotRecord>& listed,
                                                  const FrameIndex& index);

// With kfShot the shot keyframes, then STEM_shots.txt, STEM_shots.srt and,
// with stats, STEM_stats.csv from `scan` (which must then be given); once all
// are written, the images of the keyframe folder this run did not write are
// removed. Returns kShotStageOk, kShotFilesUnwritable or
// kShotKeyframesIncomplete (also when a removal failed). `listed`, when
// given, gets the shots as the list holds them.
int writeShotResults(const Video& video, const std::vector<ShotRecord>& shots, const ShotScan* scan,
                     const ShotStageOptions& options, std::vector<ShotRecord>* listed = nullptr);

// The whole stage on an opened video, whose frame index it fills for later
// readers; the progress lines go to standard output. Returns kShotStageOk,
// kVideoUnusable (no memory for the video's frame count), kShotFilesUnwritable,
// kShotKeyframesIncomplete or kShotStageFailed (a failure inside the stage,
// reported on standard error; files already written stay complete). With
// options.boundaries.refine, the boundaries found get a second look before
// anything is written. A stop request passes out as RunStopped. `listed`,
// when given, gets the shots as the list holds them.
int runShotSegmentation(Video& video, const ShotStageOptions& options,
                        std::vector<ShotRecord>* listed = nullptr);

// The stage without its files: the shots, and the statistics of every pair.
// Prints and returns as runShotSegmentation, writing nothing.
int detectShots(Video& video, const BoundaryOptions& options, std::vector<ShotRecord>& shots,
                std::vector<PairStatistics>& pairs);

}  // namespace shotscene

#endif  // SHOTSCENE_APP_SHOT_STAGE_H_

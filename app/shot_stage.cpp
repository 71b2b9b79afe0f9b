#include "app/shot_stage.h"

#include <iostream>

#include "common/cleanup_registry.h"
#include "common/naming.h"
#include "common/stage_timing.h"
#include "common/stage_work.h"
#include "shots/shot_keyframes.h"
#include "shots/shot_list.h"
#include "shots/shot_subtitles.h"

namespace shotscene {

int reportUnusableVideo() {
  std::cout << "Can not load video file" << std::endl;
  return kVideoUnusable;
}

int writeShotResults(const Video& video, const std::vector<ShotRecord>& shots, bool kfShot,
                     const std::string& kfPath, bool transType) {
  KeyframeOutcome keyframes;
  if (kfShot) {
    const double since = monotonicSeconds();
    keyframes = extractShotKeyframes(video, shots, kfPath);
    reportStageTime("shot_keyframes", since);
  }
  const std::string stem = outputStem(video.path);
  const bool listWritten = writeShotList(stem, shots, transType, keyframes.lastShotUnreadable);
  const bool subtitlesWritten = writeShotSubtitles(stem, shots, video.probe.frameRate);
  if (!listWritten || !subtitlesWritten) return kShotFilesUnwritable;
  if (!keyframes.complete) return kShotKeyframesIncomplete;
  return !kfShot || removeStaleShotKeyframes(keyframes) ? kShotStageOk : kShotKeyframesIncomplete;
}

int runShotSegmentation(Video& video, bool kfShot, const std::string& kfPath, bool transType,
                        const BoundaryOptions& options) {
  const int n = video.probe.frameCount;
  ShotScan scan;
  try {
    // The scan's decoding thread must not run out of memory on its way.
    video.index = FrameIndex{};
    video.index.frames.reserve(n);
  } catch (...) {
    return reportUnusableVideo();
  }
  if (!allocateShotScan(scan, n)) return reportUnusableVideo();
  std::cout << "Shot segmentation analysis..." << std::endl;
  try {
    const std::vector<ShotRecord> shots = findShotBoundaries(video, scan, options);
    scan = ShotScan{};
    return writeShotResults(video, shots, kfShot, kfPath, transType);
  } catch (const RunStopped&) {
    throw;  // a stop is no failure of the stage
  } catch (...) {
    reportStageFailure(video.path, std::current_exception());
    return kShotStageFailed;
  }
}

}  // namespace shotscene

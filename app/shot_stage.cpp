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

namespace {

// Sizes the scan for the video and prints the stage's first line; false,
// after reporting the video as unusable, when it does not fit in memory.
bool startShotScan(Video& video, ShotScan& scan) {
  const int n = video.probe.frameCount;
  try {
    // The scan's decoding thread must not run out of memory on its way.
    video.index = FrameIndex{};
    video.index.frames.reserve(n);
  } catch (...) {
    reportUnusableVideo();
    return false;
  }
  if (!allocateShotScan(scan, n)) {
    reportUnusableVideo();
    return false;
  }
  std::cout << "Shot segmentation analysis..." << std::endl;
  return true;
}

}  // namespace

int reportUnusableVideo() {
  std::cout << "Can not load video file" << std::endl;
  return kVideoUnusable;
}

std::vector<PairStatistics> collectPairStatistics(const ShotScan& scan,
                                                  const std::vector<ShotRecord>& listed,
                                                  const FrameIndex& index) {
  const int pairs = static_cast<int>(scan.measures.size());
  std::vector<PairStatistics> rows(scan.measures.size());
  for (int i = 0; i < pairs; ++i) {
    PairStatistics& r = rows[i];
    r.measure = scan.measures[i];
    r.smoothed = scan.profiles[i].smoothed;
    r.candidateScore =
        i < static_cast<int>(scan.candidateScores.size()) ? scan.candidateScores[i] : 0.0f;
    r.undecoded = knownUndecodable(index, i) || knownUndecodable(index, i + 1);
    if (i < static_cast<int>(scan.sketchDifferences.size())) {
      r.sketchDifference = scan.sketchDifferences[i];
    }
  }
  for (const auto& [pair, similarity] : scan.sideSimilarities) {
    if (pair >= 0 && pair < pairs) rows[pair].sideSimilarity = similarity;
  }
  // A shot ending at frame e (from 1) ends with pair e - 1; the last ends the video.
  for (size_t k = 0; k + 1 < listed.size(); ++k) {
    const int pair = listed[k].end - 1;
    if (pair < 0 || pair >= pairs) continue;
    rows[pair].shotEnd = static_cast<int>(k + 1);
    rows[pair].transitionType = listed[k].type;
  }
  return rows;
}

int writeShotResults(const Video& video, const std::vector<ShotRecord>& shots, const ShotScan* scan,
                     const ShotStageOptions& options, std::vector<ShotRecord>* listed) {
  KeyframeOutcome keyframes;
  if (options.kfShot) {
    const double since = monotonicSeconds();
    keyframes = extractShotKeyframes(video, shots, options.kfPath);
    reportStageTime("shot_keyframes", since);
  }
  const std::string stem = outputStem(video.path);
  const bool listWritten =
      writeShotList(stem, shots, options.transType, keyframes.lastShotUnreadable);
  const bool subtitlesWritten = writeShotSubtitles(stem, shots, video.probe.frameRate);
  const std::vector<ShotRecord> inList = listedShots(shots, keyframes.lastShotUnreadable);
  const bool statsWritten =
      !options.stats || writePairStatistics(stem, collectPairStatistics(*scan, inList, video.index),
                                            options.boundaries.refine);
  if (listed != nullptr) *listed = inList;
  if (!listWritten || !subtitlesWritten || !statsWritten) return kShotFilesUnwritable;
  if (!keyframes.complete) return kShotKeyframesIncomplete;
  return !options.kfShot || removeStaleShotKeyframes(keyframes) ? kShotStageOk
                                                                : kShotKeyframesIncomplete;
}

int runShotSegmentation(Video& video, const ShotStageOptions& options,
                        std::vector<ShotRecord>* listed) {
  ShotScan scan;
  if (!startShotScan(video, scan)) return kVideoUnusable;
  try {
    const std::vector<ShotRecord> shots = findShotBoundaries(video, scan, options.boundaries);
    if (!options.stats) scan = ShotScan{};  // not needed for the files
    return writeShotResults(video, shots, options.stats ? &scan : nullptr, options, listed);
  } catch (const RunStopped&) {
    throw;  // a stop is no failure of the stage
  } catch (...) {
    reportStageFailure(video.path, std::current_exception());
    return kShotStageFailed;
  }
}

int detectShots(Video& video, const BoundaryOptions& options, std::vector<ShotRecord>& shots,
                std::vector<PairStatistics>& pairs) {
  ShotScan scan;
  if (!startShotScan(video, scan)) return kVideoUnusable;
  try {
    shots = findShotBoundaries(video, scan, options);
    pairs = collectPairStatistics(scan, shots, video.index);
    return kShotStageOk;
  } catch (const RunStopped&) {
    throw;
  } catch (...) {
    reportStageFailure(video.path, std::current_exception());
    return kShotStageFailed;
  }
}

}  // namespace shotscene

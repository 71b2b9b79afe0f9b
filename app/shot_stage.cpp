#include "app/shot_stage.h"

#include <omp.h>

#include <algorithm>
#include <iostream>
#include <new>
#include <stdexcept>

#include "common/naming.h"
#include "common/stage_timing.h"
#include "common/stage_work.h"
#include "shots/cut_detection.h"
#include "shots/frame_ranges.h"
#include "shots/gradual_transitions.h"
#include "shots/shot_keyframes.h"
#include "shots/shot_list.h"
#include "shots/shot_subtitles.h"
#include "shots/single_pass_scan.h"
#include "transitions/scan_typing.h"

namespace shotscene {

int reportUnusableVideo() {
  std::cout << "Can not load video file" << std::endl;
  return kVideoUnusable;
}

int defaultThreadCount() {
  int threads = 1;
#pragma omp parallel
  {
#pragma omp single
    threads = omp_get_num_threads();
  }
  return threads;
}

bool allocateShotScan(ShotScan& scan, int frameCount) {
  try {
    scan.measures.resize(frameCount - 1);
    scan.profiles.resize(frameCount - 1);
    scan.cutShots.resize(std::max(1, frameCount - 1));
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  return true;
}

std::vector<ShotRecord> findShots(const Video& video, ShotScan& scan, int* typedByDecoding,
                                  bool refine) {
  const int n = video.probe.frameCount;
  int cutCount = detectCuts(scan.measures.data(), scan.cutShots.data(), n, video.probe.frameRate,
                            scan.isolatedFrames);
  std::vector<Transition> proposals;
  if (refine) {
    const double refineSince = monotonicSeconds();
    cutCount = dropContinuingCuts(scan.cutShots.data(), cutCount, scan.sketches);
    proposals = proposeTransitions(scan.cutShots.data(), cutCount, scan.sketches);
    addProposedTransitions(proposals, scan.profiles, scan.profiles);
    reportStageTime("refine_cuts", refineSince);
  }
  const double since = monotonicSeconds();
  int decoded =
      classifyTransitions(scan.profiles, scan.cutShots.data(), cutCount, video, &scan.typed);
  // Where typing erased the scan's candidates, the proposals they covered are typed in turn.
  if (!proposals.empty()) {
    std::vector<PairProfile> late(scan.profiles.size());
    if (addProposedTransitions(proposals, scan.profiles, late) > 0) {
      decoded += classifyTransitions(late, scan.cutShots.data(), cutCount, video);
      for (size_t i = 0; i < late.size(); ++i) {
        if (!isTransitionCandidate(late[i])) continue;
        scan.profiles[i].score = late[i].score;
        scan.profiles[i].startFrame = late[i].startFrame;
        scan.profiles[i].endFrame = late[i].endFrame;
        scan.profiles[i].type = late[i].type;
      }
    }
  }
  if (typedByDecoding != nullptr) *typedByDecoding = decoded;
  reportStageTime("typing", since);
  std::vector<ShotRecord> shots =
      detectGradualTransitions(scan.cutShots.data(), scan.profiles.data(), cutCount, n);
  if (!refine) return shots;
  const double refineSince = monotonicSeconds();
  shots = refineShots(shots, scan.sketches, scan.profiles.data(), scan.isolatedFrames);
  reportStageTime("refine", refineSince);
  return shots;
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

void scanShots(Video& video, ShotScan& scan, size_t keptFrameBytes, bool sketchFrames) {
  const int n = video.probe.frameCount;
  const int threads = defaultThreadCount();
  const std::vector<FrameRange> ranges = planFrameRanges(n, threads);
  // Scan typing builds the profiles as the measures come.
  ScanTyping typing;
  startScanTyping(typing, scan.measures.data(), scan.profiles.data(), n, video.scale,
                  keptFrameBytes);
  scan.sketches = ShotSketches{};
  if (sketchFrames) {
    scan.sketches.frames.reserve(n);
    scan.sketches.differences.reserve(n);
  }
  scanRangesOnce(
      ranges, scan.measures.data(), scan.isolatedFrames, video, threads,
      [&](const ScannedBatch& batch) {
        takeScannedBatch(typing, batch);
        if (!sketchFrames) return;
        for (const cv::Mat& sketch : batch.sketches) addSketch(scan.sketches, sketch);
      },
      sketchFrames);
  finishScanTyping(typing);
  scan.typed = std::move(typing.typed);
}

namespace {

// One line for what the decoder library would have said frame by frame.
void reportUndecodedFrames(const Video& video) {
  const UndecodedPositions undecoded = undecodedPositions(video.index);
  if (undecoded.count == 0) return;
  std::cerr << "Can not decode " << undecoded.count << " of " << video.probe.frameCount
            << " frames of " << video.path << " (first " << undecoded.first + 1 << ", last "
            << undecoded.last + 1 << ")" << std::endl;
}

int scanFindAndWrite(Video& video, ShotScan& scan, bool kfShot, const std::string& kfPath,
                     bool transType, bool refine, size_t keptFrameBytes) {
  const double since = monotonicSeconds();
  scanShots(video, scan, keptFrameBytes, refine);
  reportStageTime("scan", since);
  reportUndecodedFrames(video);

  int decodedAgain = 0;
  const std::vector<ShotRecord> shots = findShots(video, scan, &decodedAgain, refine);
  reportStageNote("typing: " + std::to_string(decodedAgain) +
                  " candidates typed by decoding again");
  scan = ShotScan{};
  return writeShotResults(video, shots, kfShot, kfPath, transType);
}

}  // namespace

int runShotSegmentation(Video& video, bool kfShot, const std::string& kfPath, bool transType,
                        bool refine, size_t keptFrameBytes) {
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
    return scanFindAndWrite(video, scan, kfShot, kfPath, transType, refine, keptFrameBytes);
  } catch (...) {
    reportStageFailure(video.path, std::current_exception());
    return kShotStageFailed;
  }
}

}  // namespace shotscene

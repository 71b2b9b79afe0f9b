#include "boundaries/shot_boundaries.h"

#include <algorithm>
#include <iostream>
#include <new>
#include <stdexcept>
#include <string>

#include "boundaries/second_look.h"
#include "boundaries/shot_scan.h"
#include "common/stage_timing.h"
#include "shots/cut_detection.h"
#include "shots/gradual_transitions.h"

namespace shotscene {

namespace {

// One line for what the decoder library would have said frame by frame.
void reportUndecodedFrames(const Video& video) {
  const UndecodedPositions undecoded = undecodedPositions(video.index);
  if (undecoded.count == 0) return;
  std::cerr << "Can not decode " << undecoded.count << " of " << video.probe.frameCount
            << " frames of " << video.path << " (first " << undecoded.first + 1 << ", last "
            << undecoded.last + 1 << ")" << std::endl;
}

}  // namespace

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

std::vector<ShotRecord> findShotBoundaries(Video& video, ShotScan& scan,
                                           const BoundaryOptions& options) {
  const int n = video.probe.frameCount;
  SecondLook look;  // at its places below, with options.refine
  if (options.refine) startSecondLook(look, n, scan.measures.data(), scan.profiles.data());

  // The scan; the second look sees every batch.
  double since = monotonicSeconds();
  ScanStep step;
  if (options.refine) {
    step = [&look](const ScannedBatch& batch, int finalProfiles) {
      return lookAtBatch(look, batch, finalProfiles);
    };
  }
  scanShots(video, scan, options.keptFrameBytes, step, options.refine);
  if (options.refine) finishSecondLook(look);
  reportStageTime("scan", since);
  reportUndecodedFrames(video);
  scan.candidateScores.resize(scan.profiles.size());
  for (size_t i = 0; i < scan.profiles.size(); ++i)
    scan.candidateScores[i] = scan.profiles[i].score;

  // Cuts and gradual candidates; the second look checks the cuts and proposes candidates.
  scan.cutCount = detectCuts(scan.measures.data(), scan.cutShots.data(), n, video.probe.frameRate,
                             scan.isolatedFrames);
  std::vector<TransitionCandidate> candidates = profileCandidates(scan.profiles);
  if (options.refine) {
    since = monotonicSeconds();
    const std::vector<TransitionCandidate> proposed = lookAtCuts(look, scan);
    candidates.insert(candidates.end(), proposed.begin(), proposed.end());
    reportStageTime("refine_cuts", since);
  }

  // Typing.
  since = monotonicSeconds();
  scan.typedByDecoding = classifyTransitions(scan.profiles, candidates, scan.cutShots.data(),
                                             scan.cutCount, video, &scan.typed);
  reportStageTime("typing", since);
  reportStageNote("typing: " + std::to_string(scan.typedByDecoding) +
                  " candidates typed by decoding again");

  // The merge; the second look reviews every boundary of the merged list.
  std::vector<ShotRecord> shots =
      detectGradualTransitions(scan.cutShots.data(), scan.profiles.data(), scan.cutCount, n);
  if (options.refine) {
    since = monotonicSeconds();
    shots = lookAtShots(look, shots, scan, candidates);
    keepSecondLookStatistics(look, shots, scan);
    reportStageTime("refine", since);
  }
  return shots;
}

}  // namespace shotscene

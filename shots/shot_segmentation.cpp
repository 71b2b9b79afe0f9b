#include "shots/shot_segmentation.h"

#include <omp.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <new>
#include <opencv2/videoio.hpp>
#include <stdexcept>

#include "common/naming.h"
#include "common/stage_timing.h"
#include "shots/cut_detection.h"
#include "shots/gradual_transitions.h"
#include "shots/scan_typing.h"
#include "shots/segment_scanner.h"
#include "shots/shot_files.h"
#include "shots/shot_keyframes.h"
#include "shots/single_pass_scan.h"
#include "shots/video_source.h"
#include "transitions/transition_classifier.h"

namespace shotscene {

namespace {

int defaultThreadCount() {
  int threads = 1;
#pragma omp parallel
  {
#pragma omp single
    threads = omp_get_num_threads();
  }
  return threads;
}

// Frames kept during the scan for typing candidates without decoding again.
constexpr size_t kKeptFrameBytes = size_t{64} << 20;

int reportUnusable() {
  std::cout << "Can not load video file" << std::endl;
  return kVideoUnusable;
}

}  // namespace

std::vector<FrameRange> planFrameRanges(int frameCount, int defaultThreads) {
  int threads = std::clamp(defaultThreads, 1, kMaxScanThreads);
  if (frameCount < 2 * threads) threads = std::max(1, frameCount / 2);
  const int length = frameCount / threads;
  std::vector<FrameRange> ranges;
  for (int t = 0; t < threads; ++t) ranges.push_back({t * length, (t + 1) * length});
  ranges.back().end = frameCount;
  return ranges;
}

void repairSeam(PairMeasure* measures, int s) {
  const PairMeasure& before = measures[s - 1];
  const PairMeasure& after = measures[s + 1];
  PairMeasure& seam = measures[s];
  seam.histCorrelation = 0.5f * (before.histCorrelation + after.histCorrelation);
  seam.histAffinity = 0.5f * (before.histAffinity + after.histAffinity);
  seam.matchRatioA = 0.5f * (before.matchRatioA + after.matchRatioA);
  seam.matchRatioB = 0.5f * (before.matchRatioB + after.matchRatioB);
  seam.similarity = 0.5f * (before.similarity + after.similarity);
}

void repairSeams(std::vector<PairMeasure>& measures, const std::vector<FrameRange>& ranges) {
  for (size_t k = 1; k < ranges.size(); ++k) repairSeam(measures.data(), ranges[k].first - 1);
}

int runShotSegmentation(std::string videoPath, bool kfShot, std::string kfPath, bool transType,
                        FrameIndex* index) {
  VideoProbe probe;
  WorkingSize workingSize;
  {
    cv::VideoCapture capture;
    if (!openVideo(capture, videoPath) || !probeVideo(capture, probe)) return reportUnusable();
    workingSize = workingSizeOf(capture);
  }
  const int n = probe.frameCount;

  FrameIndex ownIndex;
  if (index == nullptr) index = &ownIndex;
  *index = FrameIndex{};
  std::vector<PairMeasure> measures;
  std::vector<ShotRecord> cutShots;
  std::vector<PairProfile> profiles;
  try {
    measures.resize(n - 1);
    cutShots.resize(std::max(1, n - 1));
    profiles.resize(n - 1);
    // The scan's decoding thread must not run out of memory on its way.
    index->milliseconds.reserve(n);
    index->digests.reserve(n);
  } catch (const std::bad_alloc&) {
    return reportUnusable();
  } catch (const std::length_error&) {
    return reportUnusable();
  }

  std::cout << "Shot segmentation analysis..." << std::endl;
  const std::string stem = outputStem(videoPath);

  const std::vector<FrameRange> ranges = planFrameRanges(n, defaultThreadCount());
  const int threads = static_cast<int>(ranges.size());
  std::vector<int> isolatedFrames;
  double since = monotonicSeconds();
  // The straightforward scan (one decoder per range, typing by decoding
  // again) is kept for the tests, which hold the single-pass scan to it.
  const bool straightforward = std::getenv("SHOTSCENE_STRAIGHTFORWARD_SCAN") != nullptr;
  ScanTyping typing;
  if (straightforward) {
#pragma omp parallel for num_threads(threads) schedule(static)
    for (int t = 0; t < threads; ++t) {
      scanSegment(ranges[t], measures.data(), isolatedFrames, videoPath, probe.scale);
    }
    repairSeams(measures, ranges);
  } else {
    // Scan typing repairs the seams as it goes.
    startScanTyping(typing, ranges, measures.data(), profiles.data(), n, workingSize, probe.scale,
                    kKeptFrameBytes);
    scanRangesOnce(ranges, measures.data(), isolatedFrames, videoPath, probe.scale,
                   defaultThreadCount(), index,
                   [&typing](const ScannedBatch& batch) { takeScannedBatch(typing, batch); });
    finishScanTyping(typing);
  }
  reportStageTime("scan", since);

  const int cutCount =
      detectCuts(measures.data(), cutShots.data(), n, probe.frameRate, isolatedFrames);
  if (straightforward) buildPairProfiles(measures.data(), profiles.data(), n);
  since = monotonicSeconds();
  const int decodedAgain = classifyTransitions(profiles, cutShots.data(), cutCount, videoPath,
                                               probe.scale, index, &typing.typed);
  typing = ScanTyping{};
  reportStageTime("typing", since);
  reportStageNote("typing: " + std::to_string(decodedAgain) +
                  " candidates typed by decoding again");
  const std::vector<ShotRecord> shots =
      detectGradualTransitions(cutShots.data(), profiles.data(), cutCount, n);
  measures = {};
  cutShots = {};
  profiles = {};

  KeyframeOutcome keyframes;
  if (kfShot) {
    since = monotonicSeconds();
    keyframes = extractShotKeyframes(videoPath, shots, kfPath, index);
    reportStageTime("shot_keyframes", since);
  }
  const bool listWritten = writeShotList(stem, shots, transType, keyframes.lastShotUnreadable);
  const bool subtitlesWritten = writeShotSubtitles(stem, shots, probe.frameRate);
  if (!listWritten || !subtitlesWritten) return kShotFilesUnwritable;
  return keyframes.complete ? kShotStageOk : kShotKeyframesIncomplete;
}

}  // namespace shotscene

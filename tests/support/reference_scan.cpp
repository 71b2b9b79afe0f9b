#include "tests/support/reference_scan.h"

#include <omp.h>

#include "shots/frame_ranges.h"
#include "shots/gradual_transitions.h"
#include "shots/segment_scanner.h"
#include "video/frame_reader.h"

namespace shotscene::testing {

namespace {

void copyFeatures(const FrameFeatures& from, FrameFeatures& to) {
  from.histogram.copyTo(to.histogram);
  to.keypoints = from.keypoints;
  from.descriptors.copyTo(to.descriptors);
}

}  // namespace

ScanContext makeScanContext() {
  ScanContext context;
  context.detector = makeFeatureDetector();
  return context;
}

void startScan(ScanContext& context, const cv::Mat& frame) {
  context.previous = 0;
  context.pending = false;
  computeFrameFeatures(frame, *context.detector, context.buffers[0]);
}

int scanNextFrame(ScanContext& context, const cv::Mat& frame, int j, PairMeasure* measures) {
  PairMeasure& record = measures[j - 1];
  if (frame.empty()) {
    // The next decodable frame is compared with the last decodable one.
    record = PairMeasure{};
    return -1;
  }
  const FrameFeatures& previous = context.buffers[context.previous];
  FrameFeatures& current = context.buffers[1 - context.previous];
  computeFrameFeatures(frame, *context.detector, current);
  record = measurePair(previous, current);

  int isolated = -1;
  if (!context.pending) {
    if (opensCandidate(record)) {
      copyFeatures(previous, context.reference);
      context.pending = true;
    }
  } else {
    // The current pair is not examined here: a low pair right after a low pair
    // never opens a candidate of its own.
    if (confirmsFlash(context.reference, current)) isolated = j - 1;
    context.pending = false;
  }
  context.previous = 1 - context.previous;
  return isolated;
}

void measureLastPair(ScanContext& context, const cv::Mat& frame, int j, PairMeasure* measures) {
  if (frame.empty()) {
    measures[j - 1] = PairMeasure{};
    return;
  }
  FrameFeatures& current = context.buffers[1 - context.previous];
  computeFrameFeatures(frame, *context.detector, current);
  measures[j - 1] = measurePair(context.buffers[context.previous], current);
}

void scanSegment(FrameRange range, PairMeasure* measures, std::vector<int>& isolatedFrames,
                 const Video& video) {
  FrameReader reader;
  openFrameReader(reader, video, false);
  cv::Mat decoded, scaled;
  readFrameAt(reader, range.first, decoded);
  const cv::Mat& first = prepareFrame(decoded, video.scale, scaled);
  if (first.empty()) return;

  ScanContext context = makeScanContext();
  startScan(context, first);
  for (int j = range.first + 1; j < range.end; ++j) {
    readFrameAt(reader, j, decoded);
    const int isolated =
        scanNextFrame(context, prepareFrame(decoded, video.scale, scaled), j, measures);
    if (isolated >= 0) {
#pragma omp critical(isolated_frames)
      isolatedFrames.push_back(isolated);
    }
  }
  // A candidate still pending here is dropped: confirmation never crosses a range.
  if (range.end < video.probe.frameCount) {
    // The pair joining the next range, measured like any other but for flashes.
    readFrameAt(reader, range.end, decoded);
    measureLastPair(context, prepareFrame(decoded, video.scale, scaled), range.end, measures);
  }
}

void referenceScan(Video& video, ShotScan& scan) {
  const int n = video.probe.frameCount;
  video.index = FrameIndex{};
  const std::vector<FrameRange> ranges = planFrameRanges(n, defaultThreadCount());
  const int threads = static_cast<int>(ranges.size());
#pragma omp parallel for num_threads(threads) schedule(static)
  for (int t = 0; t < threads; ++t) {
    scanSegment(ranges[t], scan.measures.data(), scan.isolatedFrames, video);
  }
  buildPairProfiles(scan.measures.data(), scan.profiles.data(), n);
}

}  // namespace shotscene::testing

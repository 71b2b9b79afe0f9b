#include "shots/segment_scanner.h"

#include <opencv2/videoio.hpp>

namespace shotscene {

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

void scanSegment(FrameRange range, PairMeasure* measures, std::vector<int>& isolatedFrames,
                 std::string videoPath, AnalysisScale scale) {
  cv::VideoCapture capture;
  openVideo(capture, videoPath);
  if (!capture.isOpened()) return;
  cv::Mat decoded, scaled;
  for (int skipped = 0; skipped < range.first; ++skipped) {
    if (!capture.grab()) return;
  }
  capture.read(decoded);
  const cv::Mat& first = prepareFrame(decoded, scale, scaled);
  if (first.empty()) return;

  ScanContext context = makeScanContext();
  startScan(context, first);
  for (int j = range.first + 1; j < range.end; ++j) {
    if (!capture.read(decoded)) decoded.release();
    const int isolated = scanNextFrame(context, prepareFrame(decoded, scale, scaled), j, measures);
    if (isolated >= 0) {
#pragma omp critical(isolated_frames)
      isolatedFrames.push_back(isolated);
    }
  }
  // A candidate still pending here is dropped: confirmation never crosses a range.
}

}  // namespace shotscene

#include "tests/support/reference_scan.h"

#include <omp.h>

#include "shots/frame_ranges.h"
#include "shots/gradual_transitions.h"
#include "shots/segment_scanner.h"
#include "video/frame_reader.h"

namespace shotscene::testing {

namespace {

void scanRange(FrameRange range, PairMeasure* measures, std::vector<int>& isolated,
               const Video& video) {
  FrameReader reader;
  openFrameReader(reader, video, false);
  const cv::Ptr<cv::ORB> detector = makeFeatureDetector();
  FrameFeatures features[2], reference;  // the previous analysed frame in features[previous]
  int previous = 0;
  bool pending = false;
  cv::Mat decoded, scaled;
  readFrameAt(reader, range.first, decoded);
  const cv::Mat& first = prepareFrame(decoded, video.scale, scaled);
  if (first.empty()) return;
  computeFrameFeatures(first, *detector, features[0]);
  const int last = std::min(range.end, video.probe.frameCount - 1);
  for (int j = range.first + 1; j <= last; ++j) {
    readFrameAt(reader, j, decoded);
    const cv::Mat& frame = prepareFrame(decoded, video.scale, scaled);
    measures[j - 1] = PairMeasure{};
    if (frame.empty()) continue;  // the next decodable frame is compared with the last one
    computeFrameFeatures(frame, *detector, features[1 - previous]);
    measures[j - 1] = measurePair(features[previous], features[1 - previous]);
    if (j == range.end) break;  // the joining pair looks for no flash
    if (pending) {
      pending = false;
      if (confirmsFlash(reference, features[1 - previous])) {
#pragma omp critical(isolated_frames)
        isolated.push_back(j - 1);
      }
    } else if (opensCandidate(measures[j - 1])) {
      features[previous].histogram.copyTo(reference.histogram);
      reference.keypoints = features[previous].keypoints;
      features[previous].descriptors.copyTo(reference.descriptors);
      pending = true;
    }
    previous = 1 - previous;
  }
}

}  // namespace

void referenceScan(Video& video, ShotScan& scan) {
  const int n = video.probe.frameCount;
  video.index = FrameIndex{};
  const std::vector<FrameRange> ranges = planFrameRanges(n, defaultThreadCount());
  const int threads = static_cast<int>(ranges.size());
#pragma omp parallel for num_threads(threads) schedule(static)
  for (int t = 0; t < threads; ++t) {
    scanRange(ranges[t], scan.measures.data(), scan.isolatedFrames, video);
  }
  buildPairProfiles(scan.measures.data(), scan.profiles.data(), n);
}

}  // namespace shotscene::testing

#include "shots/single_pass_scan.h"

#include <algorithm>
#include <future>
#include <memory>
#include <opencv2/videoio.hpp>

#ifdef _OPENMP
#include <omp.h>
#endif

#include "common/progress_line.h"
#include "shots/frame_features.h"
#include "shots/segment_scanner.h"

namespace shotscene {

namespace {

// Frames decoded ahead of the feature workers; two batches are in memory.
constexpr int kBatchFrames = 32;

using Features = std::shared_ptr<const FrameFeatures>;

// Frames first .. first + count - 1 at the analysis scale; empty where they do not decode.
std::vector<cv::Mat> decodeBatch(cv::VideoCapture& capture, int count, AnalysisScale scale,
                                 FrameIndex* index) {
  std::vector<cv::Mat> frames(static_cast<size_t>(count));
  cv::Mat decoded;
  for (cv::Mat& frame : frames) {
    if (!capture.read(decoded)) decoded.release();
    if (index != nullptr) recordFrame(*index, capture, decoded);
    // A resized frame is already a fresh image; the decoder writes the next
    // frame over `decoded`, so that one is copied.
    cv::Mat scaled;
    const cv::Mat& prepared = prepareFrame(decoded, scale, scaled);
    frame = &prepared == &decoded ? decoded.clone() : prepared;
  }
  return frames;
}

// Where one range's scan stands, as its own worker would hold it.
struct RangeState {
  bool live = false;  // its first frame decoded
  Features previous;  // the last analysed frame
  bool pending = false;
  Features reference;
};

int threadIndex() {
#ifdef _OPENMP
  return omp_get_thread_num();
#else
  return 0;
#endif
}

}  // namespace

void scanRangesOnce(const std::vector<FrameRange>& ranges, PairMeasure* measures,
                    std::vector<int>& isolatedFrames, const std::string& videoPath,
                    AnalysisScale scale, int threads, FrameIndex* index, const BatchSink& sink) {
  if (ranges.empty()) return;
  cv::VideoCapture capture;
  if (!openVideo(capture, videoPath)) return;
  const int n = ranges.back().end;
  threads = std::max(1, threads);
  std::vector<cv::Ptr<cv::ORB>> detectors;
  for (int t = 0; t < threads; ++t) {
    detectors.push_back(makeFeatureDetector());
  }
  std::vector<int> rangeOf(static_cast<size_t>(n));
  for (size_t t = 0; t < ranges.size(); ++t) {
    for (int j = ranges[t].first; j < ranges[t].end; ++j) rangeOf[j] = static_cast<int>(t);
  }
  std::vector<RangeState> states(ranges.size());
  ProgressLine progress = startProgressLine(n);

  Features before;  // the frame just before the batch
  std::future<std::vector<cv::Mat>> next = std::async(
      std::launch::async, decodeBatch, std::ref(capture), std::min(kBatchFrames, n), scale, index);
  for (int first = 0; first < n; first += kBatchFrames) {
    const std::vector<cv::Mat> frames = next.get();
    const int count = static_cast<int>(frames.size());
    if (first + count < n) {
      next = std::async(std::launch::async, decodeBatch, std::ref(capture),
                        std::min(kBatchFrames, n - first - count), scale, index);
    }
    // Features and the pairs of adjacent decodable frames, in parallel.
    ScannedBatch batch;
    batch.first = first;
    batch.grey.resize(static_cast<size_t>(count));
    std::vector<Features>& features = batch.features;
    features.resize(static_cast<size_t>(count));
#pragma omp parallel for num_threads(threads) schedule(dynamic, 1)
    for (int k = 0; k < count; ++k) {
      if (frames[k].empty()) continue;
      auto f = std::make_shared<FrameFeatures>();
      computeFrameFeatures(frames[k], *detectors[threadIndex()], *f,
                           sink ? &batch.grey[k] : nullptr);
      features[k] = f;
    }
    std::vector<PairMeasure> pairs(static_cast<size_t>(count));
    std::vector<char> measured(static_cast<size_t>(count), 0);
#pragma omp parallel for num_threads(threads) schedule(dynamic, 4)
    for (int k = 0; k < count; ++k) {
      const int j = first + k;
      const Features& previous = k > 0 ? features[k - 1] : before;
      if (!features[k] || !previous || j == ranges[rangeOf[j]].first) continue;
      pairs[k] = measurePair(*previous, *features[k]);
      measured[k] = 1;
    }
    // Each range's records and flashes, in frame order.
    for (int k = 0; k < count; ++k) {
      const int j = first + k;
      RangeState& s = states[rangeOf[j]];
      if (j == ranges[rangeOf[j]].first) {
        s.live = static_cast<bool>(features[k]);
        s.previous = features[k];
        continue;
      }
      if (!s.live) continue;  // its worker would have stopped at once
      if (!features[k]) {
        measures[j - 1] = PairMeasure{};
        continue;
      }
      // After undecodable frames the previous analysed frame lies further back.
      const PairMeasure record = measured[k] ? pairs[k] : measurePair(*s.previous, *features[k]);
      measures[j - 1] = record;
      if (!s.pending) {
        if (static_cast<double>(record.similarity) < kLowPairSimilarity) {
          s.reference = s.previous;
          s.pending = true;
        }
      } else {
        const float similarity = frameSimilarity(*s.reference, *features[k]);
        if (static_cast<double>(similarity) > kReferenceSimilarity) isolatedFrames.push_back(j - 1);
        s.pending = false;
      }
      s.previous = features[k];
    }
    before = features[count - 1];
    if (sink) sink(batch);
    updateProgressLine(progress, first + count);
  }
  clearProgressLine(progress);
}

}  // namespace shotscene

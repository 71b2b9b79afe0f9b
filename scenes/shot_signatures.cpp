#include "scenes/shot_signatures.h"

#include <opencv2/imgproc.hpp>

#include "common/cleanup_registry.h"
#include "common/formatting.h"
#include "common/naming.h"
#include "common/stage_timing.h"
#include "common/stage_work.h"
#include "shots/shot_list.h"
#include "video/frame_reader.h"

namespace shotscene {

ShotSignature frameSignature(const cv::Mat& frame) {
  ShotSignature signature{};
  cv::Mat hsv;
  cv::cvtColor(frame, hsv, cv::COLOR_BGR2HSV);
  const float upperEnds[3] = {180.0f, 255.0f, 255.0f};
  for (int plane = 0; plane < 3; ++plane) {
    const float range[2] = {0.0f, upperEnds[plane]};
    const float* ranges[1] = {range};
    const int bins = kSignatureBins;
    cv::Mat histogram;
    cv::calcHist(&hsv, 1, &plane, cv::Mat(), histogram, 1, &bins, ranges, true, false);
    const double sum = cv::sum(histogram)[0];
    if (sum > 0.0) histogram.convertTo(histogram, CV_32F, 1.0 / sum);
    for (int b = 0; b < kSignatureBins; ++b) {
      signature[static_cast<size_t>(plane * kSignatureBins + b)] = histogram.at<float>(b);
    }
  }
  return signature;
}

SignatureTable computeShotSignatures(const Video& video) {
  std::vector<StoredShot> shots;
  readShotRecords(makeOutputPath(outputStem(video.path), kShotListSuffix), shots);
  const double since = monotonicSeconds();
  SignatureTable table(shots.size() * kSamplesPerShot);
  // Two contiguous halves of the list, each read forward by its own decoder.
  runOnTwoHalves(static_cast<int>(shots.size()), [&](int first, int end) {
    FrameReader reader;
    if (first < end) openFrameReader(reader, video);
    cv::Mat frame;
    for (int s = first; s < end; ++s) {
      throwIfStopped();
      for (int j = 0; j < kSamplesPerShot; ++j) {
        // The number is the 0-based position read, so the frame signed is the
        // one after the numbered frame; one that does not decode signs as zeros.
        if (readFrameAt(reader, saturatingInt(shots[s].samples[j]), frame)) {
          table[static_cast<size_t>(s) * kSamplesPerShot + j] = frameSignature(frame);
        }
      }
    }
    return 0;
  });
  reportStageTime("signatures", since);
  return table;
}

}  // namespace shotscene

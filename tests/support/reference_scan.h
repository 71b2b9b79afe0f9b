// The straightforward shot scan, one decoder per range, that the tests hold the
// tool's single-pass scan to; and its per-range scanner, which tests also feed
// constructed frames.
#ifndef SHOTSCENE_TESTS_SUPPORT_REFERENCE_SCAN_H_
#define SHOTSCENE_TESTS_SUPPORT_REFERENCE_SCAN_H_

#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "shots/frame_features.h"
#include "app/shot_stage.h"
#include "shots/shot_types.h"
#include "video/video.h"

namespace shotscene::testing {

// One worker's detector and alternating feature buffers. A low pair
// opens a candidate whose reference is the frame before it; the next analysed
// frame decides whether the low frame was an isolated disturbance (a flash).
struct ScanContext {
  cv::Ptr<cv::ORB> detector;
  FrameFeatures buffers[2];
  int previous = 0;  // which buffer holds the previous analysed frame
  bool pending = false;
  FrameFeatures reference;  // deep copy, valid while pending
};

ScanContext makeScanContext();

// Analyses the first frame of a range. frame must be 8-bit BGR at the analysis scale.
void startScan(ScanContext& context, const cv::Mat& frame);

// Analyses frame j (empty when it did not decode) and writes measures[j - 1].
// Returns the index of an isolated disturbance it confirmed, or -1.
int scanNextFrame(ScanContext& context, const cv::Mat& frame, int j, PairMeasure* measures);

// Measures pair j - 1 from the previous analysed frame and `frame` (empty when
// it did not decode), without looking for a flash: the pair joining two ranges.
void measureLastPair(ScanContext& context, const cv::Mat& frame, int j, PairMeasure* measures);

// Decodes frames [range.first, range.end] of the video with a reader of its
// own, writing measures range.first .. range.end - 1 (the last one joining the
// next range, when there is one) and appending to isolatedFrames under a
// critical section. A first frame that does not decode leaves the range's
// measures untouched.
void scanSegment(FrameRange range, PairMeasure* measures, std::vector<int>& isolatedFrames,
                 const Video& video);

// The scan as first built, that the tool's single-pass scan must match: one
// decoder per range, each range scanned on its own thread, and the profiles
// built after. Types nothing and leaves the video without a
// frame index, so later readers never seek. `scan` must be allocated.
void referenceScan(Video& video, ShotScan& scan);

}  // namespace shotscene::testing

#endif  // SHOTSCENE_TESTS_SUPPORT_REFERENCE_SCAN_H_

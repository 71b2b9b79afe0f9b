// Scan worker: measures every adjacent frame pair of one range and spots flashes.
#ifndef SHOTSCENE_SHOTS_SEGMENT_SCANNER_H_
#define SHOTSCENE_SHOTS_SEGMENT_SCANNER_H_

#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "shots/frame_features.h"
#include "shots/shot_types.h"
#include "shots/video_source.h"

namespace shotscene {

inline constexpr double kLowPairSimilarity = 0.03;    // a pair below this opens a candidate
inline constexpr double kReferenceSimilarity = 0.05;  // above this the candidate is a flash

// Whether a pair this similar opens a flash candidate.
inline bool opensCandidate(const PairMeasure& pair) {
  return static_cast<double>(pair.similarity) < kLowPairSimilarity;
}

// Whether the frame after a candidate, still like the frame before it, makes
// the low frame a flash.
inline bool confirmsFlash(const FrameFeatures& reference, const FrameFeatures& current) {
  return static_cast<double>(frameSimilarity(reference, current)) > kReferenceSimilarity;
}

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

// Decodes frames [range.first, range.end) of the video, writing measures
// range.first .. range.end - 2 and appending to isolatedFrames under a critical
// section. Frames before the range are decoded and discarded, so indices are
// exact. A capture that does not open or a first frame that does not decode
// leaves the range's measures untouched.
void scanSegment(FrameRange range, PairMeasure* measures, std::vector<int>& isolatedFrames,
                 std::string videoPath, AnalysisScale scale);

}  // namespace shotscene

#endif  // SHOTSCENE_SHOTS_SEGMENT_SCANNER_H_

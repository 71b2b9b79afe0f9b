// The scan's test for flashes: a single frame unlike its neighbours, which are alike.
#ifndef SHOTSCENE_SHOTS_SEGMENT_SCANNER_H_
#define SHOTSCENE_SHOTS_SEGMENT_SCANNER_H_

#include "shots/frame_features.h"
#include "shots/shot_types.h"

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

}  // namespace shotscene

#endif  // SHOTSCENE_SHOTS_SEGMENT_SCANNER_H_

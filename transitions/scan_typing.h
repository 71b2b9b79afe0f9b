// Types transition candidates while the scan runs, from the frames it has just analysed.
#ifndef SHOTSCENE_TRANSITIONS_SCAN_TYPING_H_
#define SHOTSCENE_TRANSITIONS_SCAN_TYPING_H_

#include <cstddef>
#include <deque>
#include <vector>

#include "shots/gradual_transitions.h"
#include "shots/shot_types.h"
#include "shots/single_pass_scan.h"
#include "transitions/transition_classifier.h"
#include "video/video.h"

namespace shotscene {

// The profile as far as the scan's measures decide it, the latest frames, and
// the candidates typed from them. Cut ends are not known during the scan, so
// candidates near cuts are typed too; classifyTransitions passes over them.
struct ScanTyping {
  int frameCount = 0;
  const PairMeasure* measures = nullptr;  // the scan's, not owned
  AnalysisScale scale;
  bool usable = false;  // the frames have a size the tests can use
  size_t capacity = 0;  // frames kept at most
  ProfileBuilder builder;
  PairProfile* profiles = nullptr;  // the caller's, not owned
  RetainedFrames frames;
  int examined = 0;                          // profile entries looked at so far
  std::deque<int> waiting;                   // candidates whose last frames are not decoded yet
  std::deque<TransitionCandidate> proposed;  // candidates from elsewhere, waiting likewise
  TypedCandidates typed;
};

// `measures` (the scan's) and `profiles` hold frameCount - 1 entries and
// outlive the typing; the profiles are built there as the measures come.
// Frames are kept while they fit in `keptBytes`, and never fewer than 64; a
// budget of 0 keeps none, so every candidate is left to classifyTransitions.
void startScanTyping(ScanTyping& typing, const PairMeasure* measures, PairProfile* profiles,
                     int frameCount, const AnalysisScale& scale, size_t keptBytes);

// Takes the batch the scan hands on, builds the profile as far as its
// measures decide it, and types the candidates that have become final and whose frames are kept.
void takeScannedBatch(ScanTyping& typing, const ScannedBatch& batch);

// A candidate found elsewhere during the scan, typed like the profile's own
// once its frames are in, if its first frames are still kept. Its type goes to
// `typed` unless a candidate of the profile's own holds that entry.
void addScanCandidate(ScanTyping& typing, const TransitionCandidate& candidate);

// After the scan: completes the profiles, which are then what buildPairProfiles
// gives for the measures, and types what the kept frames allow.
void finishScanTyping(ScanTyping& typing);

}  // namespace shotscene

#endif  // SHOTSCENE_TRANSITIONS_SCAN_TYPING_H_

// The shot boundaries of an opened video, from its frames to the shot list:
// the scan, cuts and gradual candidates, their typing, the merge and, when
// asked for, the second look.
#ifndef SHOTSCENE_BOUNDARIES_SHOT_BOUNDARIES_H_
#define SHOTSCENE_BOUNDARIES_SHOT_BOUNDARIES_H_

#include <cstddef>
#include <map>
#include <vector>

#include "shots/shot_types.h"
#include "transitions/transition_classifier.h"
#include "video/video.h"

namespace shotscene {

// Frames kept during the scan for typing candidates without decoding again.
inline constexpr size_t kKeptFrameBytes = size_t{64} << 20;

struct BoundaryOptions {
  bool refine = false;                      // give every boundary a second look
  size_t keptFrameBytes = kKeptFrameBytes;  // 0: the scan types no candidate
};

// What the pipeline works on: measures, profiles and cut slots hold one entry
// per adjacent frame pair. Left as the pipeline ends, for its callers to read.
struct ShotScan {
  std::vector<PairMeasure> measures;
  std::vector<int> isolatedFrames;
  std::vector<PairProfile> profiles;   // built from the measures, then typed
  std::vector<float> candidateScores;  // the profiles' scores before the typing
  std::vector<ShotRecord> cutShots;    // the first cutCount are the cuts' shots
  int cutCount = 0;
  TypedCandidates typed;    // candidates typed from frames the scan kept
  int typedByDecoding = 0;  // candidates the typing had to decode again
  // The second look's: each pair's sketch difference (empty without it), and
  // by pair the similarity of the two sides of each boundary it checked.
  std::vector<float> sketchDifferences;
  std::map<int, float> sideSimilarities;
};

// Sizes the scan's arrays for the video's frames; false when they do not fit in memory.
bool allocateShotScan(ShotScan& scan, int frameCount);

// The shots of the video, each ended by its transition's type: the scan
// (which fills the video's frame index for later readers), cut detection,
// gradual candidates and their typing, the merge and, with options.refine,
// the second look. `scan` must be allocated for the video's frame count.
// Frames that do not decode are told in one line on standard error.
std::vector<ShotRecord> findShotBoundaries(Video& video, ShotScan& scan,
                                           const BoundaryOptions& options);

}  // namespace shotscene

#endif  // SHOTSCENE_BOUNDARIES_SHOT_BOUNDARIES_H_

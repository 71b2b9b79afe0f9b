// The second look at shot boundaries, at its places in the pipeline: as the
// scan streams it sketches every frame and reviews, while it still holds
// their frames, every pair that might be a cut and every span that might be a
// gradual transition; after cut detection it drops the cuts that do not break
// and proposes gradual candidates for the typing; after the merge it reviews
// every boundary and adds those the scan missed. It holds the sketches of the
// latest kHeldSketches frames only, so its memory grows by a few bytes a frame.
#ifndef SHOTSCENE_BOUNDARIES_SECOND_LOOK_H_
#define SHOTSCENE_BOUNDARIES_SECOND_LOOK_H_

#include <vector>

#include "boundaries/shot_boundaries.h"
#include "shots/boundary_review.h"
#include "shots/frame_sketch.h"
#include "shots/shot_types.h"
#include "shots/single_pass_scan.h"

namespace shotscene {

// Sketches held: enough for every review the scan's candidates wait for.
inline constexpr int kHeldSketches = 320;

// What the second look keeps while the scan runs, and what it found.
struct SecondLook {
  int frameCount = 0;
  const PairMeasure* measures = nullptr;  // the scan's, not owned
  const PairProfile* profiles = nullptr;  // the scan's, not owned
  SketchRun run;                          // the latest frames' sketches
  std::vector<float> gaps;                // see showsTransition
  SketchFindings findings;
  int pairsLookedAt = 0;                     // pairs looked at as cuts
  int profilesLookedAt = 0;                  // profile entries looked at as gradual candidates
  int gapsLookedAt = 0;                      // frames whose gap similarity the stretches took
  int stretchFirst = -1;                     // first frame of the stretch under way; -1 when none
  std::vector<Transition> spansWaiting;      // to review once their frames are in
  std::vector<Transition> stretchesWaiting;  // first and last frame of a stretch
};

// Before the scan. `measures` and `profiles` (frameCount - 1 entries each) are
// the scan's, filled as it runs.
void startSecondLook(SecondLook& look, int frameCount, const PairMeasure* measures,
                     const PairProfile* profiles);

// Every batch of the scan, in frame order, with its frames' sketches; the
// measures of its pairs are written and the profile entries before
// `finalProfiles` are final. Returns candidates lookAtCuts may propose, for
// the scan to type while it keeps their frames.
std::vector<TransitionCandidate> lookAtBatch(SecondLook& look, const ScannedBatch& batch,
                                             int finalProfiles);

// After the scan: reviews what still waits for frames that will not come.
void finishSecondLook(SecondLook& look);

// After cut detection, before the typing: removes from scan.cutShots the cuts
// that do not break, and returns the gradual candidates it proposes beside
// the profile's own.
std::vector<TransitionCandidate> lookAtCuts(const SecondLook& look, ShotScan& scan);

// After the merge: the shots with every boundary reviewed. `candidates` are
// those the typing was given.
std::vector<ShotRecord> lookAtShots(const SecondLook& look, const std::vector<ShotRecord>& shots,
                                    const ShotScan& scan,
                                    const std::vector<TransitionCandidate>& candidates);

// After lookAtShots: each pair's sketch difference, and at each boundary of
// `shots` the second look checked the aligned similarity of its two sides
// (of the cut's pair, or the best of a gradual transition's sides), into scan.
void keepSecondLookStatistics(const SecondLook& look, const std::vector<ShotRecord>& shots,
                              ShotScan& scan);

}  // namespace shotscene

#endif  // SHOTSCENE_BOUNDARIES_SECOND_LOOK_H_

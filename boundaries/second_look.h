// The second look at shot boundaries, at its places in the pipeline: it sees
// every batch the scan hands on; after cut detection it drops the cuts within
// one continuing shot and proposes gradual candidates for the typing; after
// the merge it reviews every boundary and adds the cuts the scan missed.
#ifndef SHOTSCENE_BOUNDARIES_SECOND_LOOK_H_
#define SHOTSCENE_BOUNDARIES_SECOND_LOOK_H_

#include <vector>

#include "boundaries/shot_boundaries.h"
#include "shots/frame_sketch.h"
#include "shots/shot_types.h"
#include "shots/single_pass_scan.h"

namespace shotscene {

// What the second look keeps between its places.
struct SecondLook {
  ShotSketches sketches;
};

// Every batch of the scan, in frame order, with its frames' sketches.
void lookAtBatch(SecondLook& look, const ScannedBatch& batch);

// After cut detection, before the typing: removes from scan.cutShots the cuts
// whose sides show one continuing shot, and returns the gradual candidates it
// proposes beside the profile's own.
std::vector<TransitionCandidate> lookAtCuts(const SecondLook& look, ShotScan& scan);

// After the merge: the shots with every boundary reviewed.
std::vector<ShotRecord> lookAtShots(const SecondLook& look, const std::vector<ShotRecord>& shots,
                                    const ShotScan& scan);

}  // namespace shotscene

#endif  // SHOTSCENE_BOUNDARIES_SECOND_LOOK_H_

#include "boundaries/second_look.h"

#include "shots/boundary_review.h"
#include "shots/transition_proposals.h"

namespace shotscene {

void lookAtBatch(SecondLook& look, const ScannedBatch& batch) {
  for (const cv::Mat& sketch : batch.sketches) addSketch(look.sketches, sketch);
}

std::vector<TransitionCandidate> lookAtCuts(const SecondLook& look, ShotScan& scan) {
  scan.cutCount = dropContinuingCuts(scan.cutShots.data(), scan.cutCount, look.sketches);
  return proposedCandidates(proposeTransitions(scan.cutShots.data(), scan.cutCount, look.sketches),
                            scan.profiles);
}

std::vector<ShotRecord> lookAtShots(const SecondLook& look, const std::vector<ShotRecord>& shots,
                                    const ShotScan& scan) {
  return refineShots(shots, look.sketches, scan.profiles.data(), scan.isolatedFrames);
}

}  // namespace shotscene

// Gradual transitions the scan missed, proposed by the second look from frames
// half a second apart, as candidates for the typing.
#ifndef SHOTSCENE_SHOTS_TRANSITION_PROPOSALS_H_
#define SHOTSCENE_SHOTS_TRANSITION_PROPOSALS_H_

#include <vector>

#include "shots/boundary_review.h"
#include "shots/frame_sketch.h"
#include "shots/shot_types.h"

namespace shotscene {

// The gradual transitions the sketches show away from the cutCount cut
// shots' boundaries: stretches where frames half a second apart do not show
// one shot, between steadier stretches where they do, whose two sides differ.
std::vector<Transition> proposeTransitions(const ShotRecord* cutShots, int cutCount,
                                           const ShotSketches& sketches);

// A candidate for each proposal, centred on it and carrying the curve fields
// of its entry of `profiles` (frameCount - 1 entries, the scan's). A proposal
// that a candidate of `profiles` covers waits for the entries covering it.
std::vector<TransitionCandidate> proposedCandidates(const std::vector<Transition>& proposals,
                                                    const std::vector<PairProfile>& profiles);

}  // namespace shotscene

#endif  // SHOTSCENE_SHOTS_TRANSITION_PROPOSALS_H_

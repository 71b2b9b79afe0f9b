// Gradual transitions the scan missed, proposed by the second look from frames
// half a second apart, as candidates for the typing.
#ifndef SHOTSCENE_SHOTS_TRANSITION_PROPOSALS_H_
#define SHOTSCENE_SHOTS_TRANSITION_PROPOSALS_H_

#include <vector>

#include "shots/boundary_review.h"
#include "shots/frame_sketch.h"
#include "shots/shot_types.h"

namespace shotscene {

// Frames compared across a stretch: about half a second on either side.
inline constexpr int kGap = 12;

// Whether the stretch of frames k .. end, where frames kGap before and after
// each do not show one shot (`gaps`: alignedSimilarity of frames f - kGap and
// f + kGap for each frame f, below -1.5 where either is missing), between
// steadier frames where they do, shows a gradual transition: the picture
// changed, as in a dissolve or a wipe, and did not cut. Gives its frames in
// `transition`. `gaps` must hold frame end + kGap where the video has it, and
// `run` the frames about the stretch's pair that changes most.
bool showsTransition(const std::vector<float>& gaps, const std::vector<float>& differences,
                     const SketchRun& run, int k, int end, Transition* transition);

// The gradual transitions the findings show away from the cutCount cut
// shots' boundaries whose two sides differ, for the typing.
std::vector<Transition> proposeTransitions(const ShotRecord* cutShots, int cutCount,
                                           const SketchFindings& findings);

// Whether a gradual transition the findings show, away from cuts, is proposed:
// long enough, inside the video, its sides not alike.
bool worthProposing(Transition t, const SketchFindings& findings);

// The candidate for proposal t without what it waits for: centred on it and
// carrying the curve fields of its entry of `profiles`, which must be final.
TransitionCandidate proposedCandidate(Transition t, const PairProfile* profiles);

// A candidate for each proposal, centred on it and carrying the curve fields
// of its entry of `profiles` (frameCount - 1 entries, the scan's). A proposal
// that a candidate of `profiles` covers waits for the entries covering it.
std::vector<TransitionCandidate> proposedCandidates(const std::vector<Transition>& proposals,
                                                    const std::vector<PairProfile>& profiles);

}  // namespace shotscene

#endif  // SHOTSCENE_SHOTS_TRANSITION_PROPOSALS_H_

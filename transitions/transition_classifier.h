// Types every gradual-transition candidate as a dissolve or a wipe, or erases it.
#ifndef SHOTSCENE_TRANSITIONS_TRANSITION_CLASSIFIER_H_
#define SHOTSCENE_TRANSITIONS_TRANSITION_CLASSIFIER_H_

#include <string>
#include <utility>
#include <vector>

#include "shots/shot_types.h"
#include "shots/video_source.h"

namespace shotscene {

// Dissolve test windows [first, last) of a candidate from s to t: the whole
// span up to 12 frames, else 10-frame windows every 2 frames.
std::vector<std::pair<int, int>> dissolveWindows(int s, int t);
// Wipe test windows: 20 frames every 10, starting at s while the start is before t.
std::vector<std::pair<int, int>> wipeWindows(int s, int t);

// Types candidates (score >= 0.3, 12 or more frames from every cut end) on two
// threads, each with its own decoder. A typed candidate whose end frames look
// alike (boundary similarity >= 0.05) or that passes neither test is erased:
// score 0, frames -1. The frames are compared at the analysis scale. With the
// scan's frame index the decoders may seek.
void classifyTransitions(std::vector<PairProfile>& profiles, const ShotRecord* cutShots,
                         int cutCount, const std::string& videoPath, AnalysisScale scale,
                         const FrameIndex* index = nullptr);

}  // namespace shotscene

#endif  // SHOTSCENE_TRANSITIONS_TRANSITION_CLASSIFIER_H_

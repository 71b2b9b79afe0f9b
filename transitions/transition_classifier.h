// Types every gradual-transition candidate as a dissolve or a wipe, or erases it.
#ifndef SHOTSCENE_TRANSITIONS_TRANSITION_CLASSIFIER_H_
#define SHOTSCENE_TRANSITIONS_TRANSITION_CLASSIFIER_H_

#include <deque>
#include <map>
#include <memory>
#include <opencv2/core.hpp>
#include <string>
#include <utility>
#include <vector>

#include "shots/frame_features.h"
#include "shots/shot_types.h"
#include "video/video.h"

namespace shotscene {

// Consecutive frames the scan has analysed, kept so that candidates can be
// typed without decoding again: grey at the working scale and the features
// of each (empty and null where a frame did not decode).
struct RetainedFrames {
  int first = 0;  // frame of grey.front()
  std::deque<cv::Mat> grey;
  std::deque<std::shared_ptr<const FrameFeatures>> features;
};

// A candidate as the profile held it, and as it was typed.
struct TypedCandidate {
  PairProfile candidate;
  PairProfile typed;
};
using TypedCandidates = std::map<int, TypedCandidate>;  // by profile entry

// Dissolve test windows [first, last) of a candidate from s to t: the whole
// span up to 12 frames, else 10-frame windows every 2 frames.
std::vector<std::pair<int, int>> dissolveWindows(int s, int t);
// Wipe test windows: 20 frames every 10, starting at s while the start is before t.
std::vector<std::pair<int, int>> wipeWindows(int s, int t);

// Types the candidates (score >= 0.3, 12 or more frames from every cut end)
// on two threads, each with its own reader of the video, and writes each
// outcome to its profile entry; candidates that wait are typed after the
// others, once those they wait for are erased. A typed candidate whose end
// frames look alike (boundary similarity >= 0.05) or that passes neither test
// is erased: score 0, frames -1. The frames are compared at the analysis
// scale. A candidate found unchanged in `typed` takes the type given there,
// without decoding. Returns how many candidates were typed by decoding.
int classifyTransitions(std::vector<PairProfile>& profiles,
                        const std::vector<TransitionCandidate>& candidates,
                        const ShotRecord* cutShots, int cutCount, const Video& video,
                        const TypedCandidates* typed = nullptr);

// The candidates among the profile's own entries, in entry order.
std::vector<TransitionCandidate> profileCandidates(const std::vector<PairProfile>& profiles);

// Score 0.3 or more and an end not before the start.
bool isTransitionCandidate(const PairProfile& p);

// One past the last frame typing a candidate may read: its last wipe window
// ends 19 frames past its end frame, and that window's last frame is compared.
int typingReach(const PairProfile& candidate);

// Types `candidate` from kept frames as classifyTransitions would were no cut
// near it. False, leaving `typed` alone, when it is no candidate or a frame
// before its typingReach is not kept or lies past the frameCount frames.
// frames must have been read at `scale`.
bool typeFromRetained(const PairProfile& candidate, const RetainedFrames& frames,
                      const AnalysisScale& scale, int frameCount, PairProfile& typed);

}  // namespace shotscene

#endif  // SHOTSCENE_TRANSITIONS_TRANSITION_CLASSIFIER_H_

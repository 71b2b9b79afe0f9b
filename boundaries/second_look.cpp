#include "boundaries/second_look.h"

#include <algorithm>
#include <utility>

#include "shots/cut_detection.h"
#include "shots/transition_proposals.h"
#include "transitions/transition_classifier.h"

namespace shotscene {

namespace {

// Marks a frame whose gap similarity is not known.
constexpr float kNoGap = -2.0f;

// A pair the cut detector may take, or one whose sketches stand out: whether it breaks.
void lookAtPair(SecondLook& look, int k) {
  SketchFindings& f = look.findings;
  const bool scanned = static_cast<double>(look.measures[k].similarity) < kCutSimilarity;
  const bool standing = standsOutAsCut(look.run, f.differences, k);
  if (standing) f.standingOut.push_back(k);
  if (scanned || standing) {
    f.breaks[static_cast<size_t>(k)] = breaksAt(look.run, k) ? 1 : 0;
    f.pairSimilarities[k] = alignedSimilarity(sketchAt(look.run, k), sketchAt(look.run, k + 1));
  }
}

// The frames from the first after the latest break within reach before t to
// the last before the earliest after it. A break at t's own edge is left to
// the review, which needs a frame on either side.
Transition shotsAround(const SketchFindings& f, Transition t) {
  const int reach = spanReach(t);
  const int pairs = static_cast<int>(f.breaks.size());
  Transition shots{0, pairs};
  for (int k = t.first - 2; k >= std::max(0, t.first - reach); --k) {
    if (f.breaks[static_cast<size_t>(k)] == 1) {
      shots.first = k + 1;
      break;
    }
  }
  for (int k = t.last + 1; k <= std::min(pairs - 1, t.last + reach); ++k) {
    if (f.breaks[static_cast<size_t>(k)] == 1) {
      shots.last = k;
      break;
    }
  }
  return shots;
}

// Frames whose gap similarity is low, from those known up to `known`.
void followStretches(SecondLook& look, int known) {
  for (; look.gapsLookedAt < known; ++look.gapsLookedAt) {
    const int f = look.gapsLookedAt;
    const bool changed = look.gaps[f] > kNoGap / 2 && look.gaps[f] < kSameShot;
    if (changed && look.stretchFirst < 0) look.stretchFirst = f;
    if (!changed && look.stretchFirst >= 0) {
      look.stretchesWaiting.push_back({look.stretchFirst, f - 1});
      look.stretchFirst = -1;
    }
  }
}

// Everything the frames before `arrived` allow; with `all`, no more come.
// Returns the candidates lookAtCuts may propose from the stretches shown now.
std::vector<TransitionCandidate> advance(SecondLook& look, int arrived, int finalProfiles,
                                         bool all) {
  const int n = look.frameCount;
  SketchFindings& f = look.findings;
  // A pair is looked at once the differences it is weighed against are in.
  while (look.pairsLookedAt < n - 1 &&
         (all || look.pairsLookedAt + std::max(kProposalReach, 2 * kBreakReach) + 1 < arrived)) {
    lookAtPair(look, look.pairsLookedAt++);
  }
  for (; look.profilesLookedAt < finalProfiles; ++look.profilesLookedAt) {
    const PairProfile& p = look.profiles[look.profilesLookedAt];
    if (!isTransitionCandidate(p)) continue;
    const Transition t = candidateSpan(p, look.profilesLookedAt, n);
    if (t.last - t.first <= kLongestTransition) look.spansWaiting.push_back(t);
  }
  followStretches(look, all ? n : arrived - kGap);
  if (all && look.stretchFirst >= 0) {
    look.stretchesWaiting.push_back({look.stretchFirst, n - 1});
    look.stretchFirst = -1;
  }
  // A span is reviewed once the pairs its sides may be read from are looked at.
  const auto inHand = [&](Transition t) {
    return all || t.last + spanReach(t) < look.pairsLookedAt;
  };
  std::vector<Transition> waiting, fresh;
  for (const Transition& s : look.stretchesWaiting) {
    const Transition t{s.first + kGap / 2, s.last - kGap / 2};
    if (!all && (look.gapsLookedAt <= s.last + kGap || !inHand(t))) {
      waiting.push_back(s);
      continue;
    }
    Transition shown;
    if (showsTransition(look.gaps, f.differences, look.run, s.first, s.last, &shown)) {
      f.stretches.push_back(shown);
      look.spansWaiting.push_back(shown);
      fresh.push_back(shown);
    }
  }
  look.stretchesWaiting = std::move(waiting);
  waiting.clear();
  for (const Transition& t : look.spansWaiting) {
    if (!inHand(t)) {
      waiting.push_back(t);
    } else if (f.spans.count({t.first, t.last}) == 0) {
      f.spans[{t.first, t.last}] = reviewSpan(look.run, t, shotsAround(f, t));
    }
  }
  look.spansWaiting = std::move(waiting);
  // Their frames are still at hand for the typing; sides alike are not proposed.
  std::vector<TransitionCandidate> candidates;
  for (const Transition& t : fresh) {
    if ((t.first + t.last) / 2 < finalProfiles && worthProposing(t, f)) {
      candidates.push_back(proposedCandidate(t, look.profiles));
    }
  }
  return candidates;
}

}  // namespace

void startSecondLook(SecondLook& look, int frameCount, const PairMeasure* measures,
                     const PairProfile* profiles) {
  look = SecondLook{};
  look.frameCount = frameCount;
  look.measures = measures;
  look.profiles = profiles;
  const size_t frames = static_cast<size_t>(frameCount);
  look.gaps.assign(frames, kNoGap);
  look.findings.spreads.assign(frames, -1.0f);
  look.findings.differences.assign(frames > 0 ? frames - 1 : 0, -1.0f);
  look.findings.breaks.assign(frames > 0 ? frames - 1 : 0, -1);
}

std::vector<TransitionCandidate> lookAtBatch(SecondLook& look, const ScannedBatch& batch,
                                             int finalProfiles) {
  SketchFindings& f = look.findings;
  for (size_t i = 0; i < batch.sketches.size(); ++i) {
    const int j = batch.first + static_cast<int>(i);
    const cv::Mat& sketch = batch.sketches[i];
    look.run.frames.push_back(sketch);
    if (static_cast<int>(look.run.frames.size()) > kHeldSketches) {
      look.run.frames.pop_front();
      ++look.run.first;
    }
    f.spreads[static_cast<size_t>(j)] = sketchSpread(sketch);
    if (j > 0)
      f.differences[static_cast<size_t>(j - 1)] =
          sketchDifference(sketchAt(look.run, j - 1), sketch);
    if (j >= 2 * kGap) {
      const cv::Mat& before = sketchAt(look.run, j - 2 * kGap);
      if (!before.empty() && !sketch.empty()) {
        look.gaps[static_cast<size_t>(j - kGap)] = alignedSimilarity(before, sketch);
      }
    }
  }
  return advance(look, batch.first + static_cast<int>(batch.sketches.size()), finalProfiles, false);
}

void finishSecondLook(SecondLook& look) {
  advance(look, look.frameCount, std::max(0, look.frameCount - 1), true);
}

std::vector<TransitionCandidate> lookAtCuts(const SecondLook& look, ShotScan& scan) {
  scan.cutCount = dropContinuingCuts(scan.cutShots.data(), scan.cutCount, look.findings);
  return proposedCandidates(proposeTransitions(scan.cutShots.data(), scan.cutCount, look.findings),
                            scan.profiles);
}

std::vector<ShotRecord> lookAtShots(const SecondLook& look, const std::vector<ShotRecord>& shots,
                                    const ShotScan& scan,
                                    const std::vector<TransitionCandidate>& candidates) {
  return refineShots(shots, look.findings, scan.profiles.data(), candidates);
}

void keepSecondLookStatistics(const SecondLook& look, const std::vector<ShotRecord>& shots,
                              ShotScan& scan) {
  const SketchFindings& f = look.findings;
  scan.sketchDifferences = f.differences;
  scan.sideSimilarities.clear();
  for (size_t i = 0; i + 1 < shots.size(); ++i) {
    const int pair = shots[i].end - 1;
    if (const auto cut = f.pairSimilarities.find(pair); cut != f.pairSimilarities.end()) {
      scan.sideSimilarities[pair] = cut->second;
      continue;
    }
    for (const auto& [span, review] : f.spans) {
      if (span.first <= pair && pair < span.second) {
        scan.sideSimilarities[pair] = review.sides;
        break;
      }
    }
  }
}

}  // namespace shotscene

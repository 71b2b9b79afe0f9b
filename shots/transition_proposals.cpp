#include "shots/transition_proposals.h"

#include <algorithm>
#include <map>
#include <utility>

#include "shots/gradual_transitions.h"

namespace shotscene {

namespace {

// Within kGap frames on each side of a stretch, a frame must compare at least
// kSteady alike, or kDepth more alike than the least alike frame of the
// stretch: slow drift keeps some steady shots below kSteady.
constexpr double kSteady = 0.9;
constexpr double kDepth = 0.6;
// The score a proposed transition gets.
constexpr float kProposedScore = 1.0f;

}  // namespace

bool showsTransition(const std::vector<float>& gaps, const std::vector<float>& differences,
                     const SketchRun& run, int k, int end, Transition* transition) {
  const int n = static_cast<int>(gaps.size());
  const int length = end - k + 1;
  if (length < kGap || length > 2 * kGap + kLongestTransition) return false;
  const float lowest = *std::min_element(gaps.begin() + k, gaps.begin() + end + 1);
  const double level = std::min(kSteady, lowest + kDepth);
  // Some frame within kGap of the stretch compares at least `level` alike.
  const auto steady = [&](int from, int step) {
    for (int j = 0; j < kGap; ++j) {
      const int f = from + j * step;
      if (f >= 0 && f < n && gaps[f] >= level) return true;
    }
    return false;
  };
  if (!steady(k - 1, -1) || !steady(end + 1, 1)) return false;
  // A stretch whose most changing pair breaks is that cut, which the cut
  // proposals look after.
  int most = -1;
  for (int f = k; f < end; ++f) {
    if (most < 0 || differences[f] > differences[most]) most = f;
  }
  if (most >= 0 && differences[most] >= 0.0f && breaksAt(run, most)) return false;
  *transition = Transition{k + kGap / 2, end - kGap / 2};
  return true;
}

std::vector<Transition> proposeTransitions(const ShotRecord* cutShots, int cutCount,
                                           const SketchFindings& findings) {
  std::vector<Transition> proposals;
  for (const Transition& t : findings.stretches) {
    bool nearCut = false;
    for (int k = 0; k + 1 < cutCount && !nearCut; ++k) {
      nearCut = t.last + kGap > cutShots[k].end - 1 && t.first < cutShots[k].end + kGap;
    }
    if (!nearCut && worthProposing(t, findings)) proposals.push_back(t);
  }
  return proposals;
}

bool worthProposing(Transition t, const SketchFindings& findings) {
  const int n = static_cast<int>(findings.spreads.size());
  const int centre = (t.first + t.last) / 2;
  if (t.last - t.first < kGap || centre < 1 || centre >= n - 1) return false;
  // What the check after the typing would drop is not worth typing.
  const auto review = findings.spans.find({t.first, t.last});
  return review == findings.spans.end() || !review->second.sidesAlike;
}

TransitionCandidate proposedCandidate(Transition t, const PairProfile* profiles) {
  TransitionCandidate c;
  c.entry = (t.first + t.last) / 2;
  c.profile = profiles[c.entry];
  c.profile.score = kProposedScore;
  c.profile.startFrame = static_cast<float>(t.first);
  c.profile.endFrame = static_cast<float>(t.last);
  c.profile.type = 0.0f;
  return c;
}

std::vector<TransitionCandidate> proposedCandidates(const std::vector<Transition>& proposals,
                                                    const std::vector<PairProfile>& profiles) {
  const int pairs = static_cast<int>(profiles.size());
  std::vector<TransitionCandidate> candidates;
  // Proposals taken so far, by entry: they cover the later ones as the
  // scan's candidates do.
  std::map<int, PairProfile> taken;
  for (const Transition& t : proposals) {
    TransitionCandidate c = proposedCandidate(t, profiles.data());
    for (int p = std::max(0, t.first - kLongestTransition);
         p < std::min(pairs, t.last + kLongestTransition); ++p) {
      const auto proposed = taken.find(p);
      const PairProfile& e = proposed != taken.end() ? proposed->second : profiles[p];
      if (static_cast<double>(e.score) > kGradualScore &&
          t.last + kGap > static_cast<int>(e.startFrame) &&
          t.first < static_cast<int>(e.endFrame) + kGap) {
        c.waitsFor.push_back(p);
      }
    }
    if (c.waitsFor.empty()) taken[c.entry] = c.profile;
    candidates.push_back(std::move(c));
  }
  return candidates;
}

}  // namespace shotscene

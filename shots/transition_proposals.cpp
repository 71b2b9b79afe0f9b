#include "shots/transition_proposals.h"

#include <algorithm>
#include <map>
#include <utility>

#include "shots/gradual_transitions.h"

namespace shotscene {

namespace {

// Frames compared across a stretch when looking for gradual transitions the
// scan missed: about half a second. Within kGap frames on each side of such
// a stretch, a frame must compare at least kSteady alike, or kDepth more alike
// than the least alike frame of the stretch: slow drift keeps some steady
// shots below kSteady.
constexpr int kGap = 12;
constexpr double kSteady = 0.9;
constexpr double kDepth = 0.6;
// The score a proposed transition gets.
constexpr float kProposedScore = 1.0f;

// How alike frames k - kGap and k + kGap are, for every k; -2 where either
// is missing or k is too near an end.
std::vector<float> gapSimilarities(const ShotSketches& s) {
  const int n = static_cast<int>(s.frames.size());
  std::vector<float> alike(static_cast<size_t>(n), -2.0f);
  // Each entry is computed alone, so the thread count changes nothing.
#pragma omp parallel for schedule(static)
  for (int k = kGap; k < n - kGap; ++k) {
    if (!s.frames[k - kGap].empty() && !s.frames[k + kGap].empty()) {
      alike[k] = alignedSimilarity(s.frames[k - kGap], s.frames[k + kGap]);
    }
  }
  return alike;
}

// Whether the pair that changes most among frames first .. last breaks like a
// cut: such a stretch is that cut, which the cut proposals look after.
bool holdsCut(const ShotSketches& s, int first, int last) {
  int most = -1;
  for (int f = first; f < last; ++f) {
    if (most < 0 || s.differences[f] > s.differences[most]) most = f;
  }
  return most >= 0 && s.differences[most] >= 0.0f && breaksAt(s, most);
}

// Stretches where frames kGap before and after each frame do not show one
// shot, between frames where they do: the picture changed, as in
// a dissolve or a wipe. Each gives the frames of the transition it implies.
std::vector<Transition> changedStretches(const ShotSketches& s) {
  const std::vector<float> alike = gapSimilarities(s);
  const int n = static_cast<int>(alike.size());
  // Some frame within kGap of the stretch compares at least `level` alike.
  const auto steady = [&](int from, int step, double level) {
    for (int j = 0; j < kGap; ++j) {
      const int k = from + j * step;
      if (k >= 0 && k < n && alike[k] >= level) return true;
    }
    return false;
  };
  std::vector<Transition> found;
  for (int k = 0; k < n; ++k) {
    if (alike[k] < -1.5f || alike[k] >= kSameShot) continue;
    int end = k;
    while (end + 1 < n && alike[end + 1] > -1.5f && alike[end + 1] < kSameShot) ++end;
    const int length = end - k + 1;
    const float lowest = *std::min_element(alike.begin() + k, alike.begin() + end + 1);
    const double level = std::min(kSteady, lowest + kDepth);
    if (length >= kGap && length <= 2 * kGap + kLongestTransition && steady(k - 1, -1, level) &&
        steady(end + 1, 1, level) && !holdsCut(s, k, end)) {
      found.push_back(Transition{k + kGap / 2, end - kGap / 2});
    }
    k = end;
  }
  return found;
}

}  // namespace

std::vector<Transition> proposeTransitions(const ShotRecord* cutShots, int cutCount,
                                           const ShotSketches& sketches) {
  const int n = static_cast<int>(sketches.frames.size());
  std::vector<Transition> proposals;
  for (const Transition& t : changedStretches(sketches)) {
    const int centre = (t.first + t.last) / 2;
    bool nearCut = false;
    for (int k = 0; k + 1 < cutCount && !nearCut; ++k) {
      nearCut = t.last + kGap > cutShots[k].end - 1 && t.first < cutShots[k].end + kGap;
    }
    if (nearCut || t.last - t.first < kGap || centre < 1 || centre >= n - 1) continue;
    // What the check after the typing would drop is not worth typing.
    int lo = 0, hi = n - 1;
    for (int k = 0; k + 1 < cutCount; ++k) {
      if (cutShots[k].end <= t.first) lo = cutShots[k].end;
      if (cutShots[k].end - 1 >= t.last) hi = std::min(hi, cutShots[k].end - 1);
    }
    if (!continuesAcross(sketches, t, lo, hi)) proposals.push_back({t.first, t.last});
  }
  return proposals;
}

std::vector<TransitionCandidate> proposedCandidates(const std::vector<Transition>& proposals,
                                                    const std::vector<PairProfile>& profiles) {
  const int pairs = static_cast<int>(profiles.size());
  std::vector<TransitionCandidate> candidates;
  // Proposals taken so far, by entry: they cover the later ones as the
  // scan's candidates do.
  std::map<int, PairProfile> taken;
  for (const Transition& t : proposals) {
    TransitionCandidate c;
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
    c.entry = (t.first + t.last) / 2;
    c.profile = profiles[c.entry];
    c.profile.score = kProposedScore;
    c.profile.startFrame = static_cast<float>(t.first);
    c.profile.endFrame = static_cast<float>(t.last);
    c.profile.type = 0.0f;
    if (c.waitsFor.empty()) taken[c.entry] = c.profile;
    candidates.push_back(std::move(c));
  }
  return candidates;
}

}  // namespace shotscene

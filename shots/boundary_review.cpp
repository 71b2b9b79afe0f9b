#include "shots/boundary_review.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "shots/cut_detection.h"
#include "shots/gradual_transitions.h"

namespace shotscene {

namespace {

// Frames compared on each side of a boundary, and how far from the
// transition's own frames the comparison starts.
constexpr int kWindowFrames = 4;
constexpr int kWindowOffset = 1;
// A cut's pair is at least this much less alike than the pairs around it.
constexpr double kBreak = 0.3;
// A gradual transition's frames explain at least this share of the change
// between its ends; a pan across a scene explains far less.
constexpr double kUnexplained = 0.5;
// A proposed cut: a difference this many times the median of the pairs
// around, and at least kProposalFloor, at least kProposalSpacing frames from
// every other boundary.
constexpr double kProposalRatio = 3.0;
constexpr double kProposalFloor = 0.02;
constexpr int kProposalReach = 10;
constexpr int kProposalPeak = 2;
constexpr int kProposalSpacing = 8;
// A cut changes in one pair: the pairs just before and after it change less
// than this share of it. Motion blur spreads a whip pan over several pairs.
constexpr float kLonePair = 0.5f;

// A boundary of the refined list.
struct Boundary {
  int lastFrame = 0;  // 0-based, of the shot it ends
  int type = kAbrupt;
  Transition span;
};

// Up to kWindowFrames decoded frames of [lo, hi] from `from` away from the
// boundary (step -1 before it, +1 after), then, for a short side, the frames
// between `from` and the transition.
std::vector<int> windowFrames(const ShotSketches& s, int lo, int hi, int from, int step) {
  std::vector<int> frames;
  const auto take = [&](int f) {
    if (f >= lo && f <= hi && static_cast<int>(frames.size()) < kWindowFrames &&
        !s.frames[f].empty()) {
      frames.push_back(f);
    }
  };
  for (int f = from; f >= lo && f <= hi; f += step) take(f);
  for (int f = from - step; f >= lo && f <= hi; f -= step) take(f);
  return frames;
}

// The similarity of frames f and f + 1; -1 where either is missing.
float pairSimilarityAt(const ShotSketches& s, int f) {
  if (f < 0 || f + 1 >= static_cast<int>(s.frames.size())) return -1.0f;
  return alignedSimilarity(s.frames[f], s.frames[f + 1]);
}

// How much of the change from frame `from` to frame `to` the frames between
// them leave unexplained, as a share of it, at the worst of the quarter
// points: a dissolve's frames are a mix of the two ends, a wipe's show each
// point as one end or the other. 0 where an end is missing.
double unexplainedChange(const ShotSketches& s, int from, int to) {
  if (s.frames[from].empty() || s.frames[to].empty()) return 0.0;
  cv::Mat before, after, mid;
  s.frames[from].convertTo(before, CV_32F);
  s.frames[to].convertTo(after, CV_32F);
  const cv::Mat change = after - before;
  const double total = cv::norm(change, cv::NORM_L1);
  if (total <= 0.0) return 0.0;
  double worst = 0.0;
  for (int q = 1; q <= 3; ++q) {
    const cv::Mat& frame = s.frames[from + (to - from) * q / 4];
    if (frame.empty()) continue;
    frame.convertTo(mid, CV_32F);
    const cv::Mat moved = mid - before;
    const double mix = std::clamp(moved.dot(change) / change.dot(change), 0.0, 1.0);
    const double unmixed = cv::norm(moved - mix * change, cv::NORM_L1);
    const cv::Mat offBefore = cv::abs(moved), offAfter = cv::abs(mid - after);
    cv::Mat neither;
    cv::min(offBefore, offAfter, neither);
    worst = std::max(worst, std::min(unmixed, cv::sum(neither)[0]) / total);
  }
  return worst;
}

// The frames of the transition that ends at lastFrame: a gradual one's, as
// its profile gives them (the wipe test may have moved them off the boundary),
// else the two frames of a cut.
Transition transitionAt(int lastFrame, const PairProfile* profiles, int frameCount) {
  Transition t{lastFrame, lastFrame + 1};
  const PairProfile& p = profiles[lastFrame];
  if (static_cast<double>(p.score) > kGradualScore && p.startFrame >= 0.0f &&
      p.endFrame - p.startFrame <= kLongestTransition) {
    t.first = std::clamp(static_cast<int>(p.startFrame), 0, lastFrame);
    t.last = std::clamp(static_cast<int>(p.endFrame), lastFrame + 1, frameCount - 1);
  }
  return t;
}

// Pairs whose difference stands out from the pairs around: the last frames
// of proposed cuts, in frame order.
std::vector<int> proposedCuts(const std::vector<float>& d, const std::vector<int>& isolated) {
  std::vector<int> cuts;
  const int pairs = static_cast<int>(d.size());
  std::vector<float> around;
  for (int k = 1; k + 1 < pairs; ++k) {
    if (d[k] < kProposalFloor || isolatedNear(isolated, k)) continue;
    bool peak = true;
    for (int j = std::max(0, k - kProposalPeak); j <= std::min(pairs - 1, k + kProposalPeak); ++j) {
      if (d[j] > d[k] || (d[j] == d[k] && j < k)) peak = false;
    }
    if (!peak || std::max(d[k - 1], d[k + 1]) > kLonePair * d[k]) continue;
    around.clear();
    for (int j = std::max(0, k - kProposalReach); j <= std::min(pairs - 1, k + kProposalReach);
         ++j) {
      if (std::abs(j - k) > kProposalPeak && d[j] >= 0.0f) around.push_back(d[j]);
    }
    if (around.size() < 4) continue;
    std::nth_element(around.begin(), around.begin() + around.size() / 2, around.end());
    if (d[k] >= kProposalRatio * around[around.size() / 2]) cuts.push_back(k);
  }
  return cuts;
}

}  // namespace

bool breaksAt(const ShotSketches& s, int f) {
  const float around = std::min(pairSimilarityAt(s, f - 1), pairSimilarityAt(s, f + 1));
  const float across = pairSimilarityAt(s, f);
  if (around < -0.5f || across < -0.5f) return true;
  return around - across >= kBreak;
}

bool continuesAcross(const ShotSketches& s, Transition t, int lo, int hi) {
  const int offset = std::max(kWindowOffset, (t.last - t.first) / 2);
  const std::vector<int> before = windowFrames(s, lo, t.first - 1, t.first - offset, -1);
  const std::vector<int> after = windowFrames(s, t.last + 1, hi, t.last + offset, 1);
  if (before.empty() || after.empty()) return false;
  float best = -1.0f;
  for (int i : before) {
    for (int j : after) best = std::max(best, alignedSimilarity(s.frames[i], s.frames[j]));
  }
  if (best >= kSameShot) return true;
  return t.isCut() && !breaksAt(s, t.first);
}

int dropContinuingCuts(ShotRecord* cutShots, int cutCount, const ShotSketches& sketches) {
  const int n = static_cast<int>(sketches.frames.size());
  if (cutCount < 2 || n < 2) return cutCount;
  int kept = 0;
  int start = 1;
  for (int k = 0; k < cutCount; ++k) {
    const ShotRecord& shot = cutShots[k];
    const bool last = k + 1 == cutCount;
    if (!last) {
      const int lastFrame = shot.end - 1;
      const int lo = start - 1, hi = cutShots[k + 1].end - 1;
      if (continuesAcross(sketches, Transition{lastFrame, lastFrame + 1}, lo, hi)) continue;
    }
    cutShots[kept++] = makeShotRecord(start, shot.end, kAbrupt);
    start = shot.end + 1;
  }
  return kept;
}

std::vector<ShotRecord> refineShots(const std::vector<ShotRecord>& shots,
                                    const ShotSketches& sketches, const PairProfile* profiles,
                                    const std::vector<int>& isolatedFrames) {
  const int n = static_cast<int>(sketches.frames.size());
  if (shots.empty() || n < 2) return shots;

  std::vector<Boundary> kept;
  int lo = 0;  // first frame of the shot before the boundary under review
  for (size_t i = 0; i + 1 < shots.size(); ++i) {
    const int last = shots[i].end - 1;
    const Transition t = transitionAt(last, profiles, n);
    if (continuesAcross(sketches, t, lo, shots[i + 1].end - 1)) continue;
    // The camera moved from one view to another: no edit.
    if (!t.isCut() && unexplainedChange(sketches, t.first, t.last) > kUnexplained) continue;
    kept.push_back(Boundary{last, shots[i].type, t});
    lo = last + 1;
  }

  // A gradual transition whose frames hold a cut is that cut.
  std::vector<int> cuts;
  for (const Boundary& b : kept) {
    if (b.span.isCut()) cuts.push_back(b.span.first);
  }
  const auto holdsKeptCut = [&cuts](const Boundary& b) {
    return !b.span.isCut() && std::any_of(cuts.begin(), cuts.end(), [&b](int c) {
      return c >= b.span.first && c + 1 <= b.span.last;
    });
  };
  kept.erase(std::remove_if(kept.begin(), kept.end(), holdsKeptCut), kept.end());

  std::vector<int> isolated = isolatedFrames;
  std::sort(isolated.begin(), isolated.end());
  for (int k : proposedCuts(sketches.differences, isolated)) {
    // Near a cut already kept, or inside a gradual transition: the proposal
    // is that boundary.
    const bool near = std::any_of(kept.begin(), kept.end(), [k](const Boundary& b) {
      const int reach = b.span.isCut() ? kProposalSpacing : 0;
      return k + reach > b.span.first && k < b.span.last + reach;
    });
    if (near) continue;
    // The shot around the proposal, as far as the cuts kept so far go.
    int first = 0, end = n - 1;
    for (const Boundary& b : kept) {
      if (!b.span.isCut()) continue;
      if (b.span.last <= k) first = std::max(first, b.span.last);
      if (b.span.first > k) end = std::min(end, b.span.first);
    }
    if (continuesAcross(sketches, Transition{k, k + 1}, first, end)) continue;
    // A cut outweighs the gradual transitions within half a second of it, as
    // in the scan's list.
    kept.erase(std::remove_if(kept.begin(), kept.end(),
                              [k](const Boundary& b) {
                                return !b.span.isCut() &&
                                       std::abs(b.lastFrame - k) < kBoundarySpacing;
                              }),
               kept.end());
    kept.push_back(Boundary{k, kAbrupt, Transition{k, k + 1}});
  }

  std::sort(kept.begin(), kept.end(),
            [](const Boundary& a, const Boundary& b) { return a.lastFrame < b.lastFrame; });
  std::vector<ShotRecord> refined;
  int start = 1;
  for (const Boundary& b : kept) {
    refined.push_back(makeShotRecord(start, b.lastFrame + 1, b.type));
    start = b.lastFrame + 2;
  }
  refined.push_back(makeShotRecord(start, shots.back().end, shots.back().type));
  return refined;
}

}  // namespace shotscene

#include "shots/shot_refinement.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <utility>

#include "shots/cut_detection.h"
#include "shots/gradual_transitions.h"

namespace shotscene {

namespace {

// Frames compared on each side of a boundary, and how far from the
// transition's own frames the comparison starts.
constexpr int kWindowFrames = 4;
constexpr int kWindowOffset = 1;
// Sides at least this alike, after the shift between them is undone, are one shot.
constexpr double kSameShot = 0.7;
// A cut's pair is at least this much less alike than the pairs around it.
constexpr double kBreak = 0.3;
// A gradual transition's frames explain at least this share of the change
// between its ends; a pan across a scene explains far less.
constexpr double kUnexplained = 0.5;
// Detail is what a blur of this sigma (in sketch pixels) takes away.
constexpr double kDetailBlur = 3.0;
// A block whose grey levels spread less than this is flat.
constexpr double kFlatSpread = 2.0;
constexpr double kFlatBrightness = 10.0;
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
// A gradual candidate's frames, as far as they are taken on trust.
constexpr int kLongestTransition = 60;

// A sketch as compared: its grey levels, and its detail (the grey levels
// less their blur), both float.
struct Compared {
  cv::Mat grey, detail;
};

Compared compared(const cv::Mat& sketch) {
  Compared c;
  sketch.convertTo(c.grey, CV_32F);
  cv::GaussianBlur(c.grey, c.detail, cv::Size(), kDetailBlur);
  c.detail = c.grey - c.detail;
  return c;
}

// Correlation of the detail of two blocks of one size; blocks flat in both
// are alike when their brightness is close.
float blockCorrelation(const Compared& a, const Compared& b, const cv::Rect& inA,
                       const cv::Rect& inB) {
  cv::Scalar meanA, spreadA, meanB, spreadB;
  cv::meanStdDev(a.grey(inA), meanA, spreadA);
  cv::meanStdDev(b.grey(inB), meanB, spreadB);
  const bool flatA = spreadA[0] < kFlatSpread;
  const bool flatB = spreadB[0] < kFlatSpread;
  if (flatA || flatB) {
    return flatA && flatB && std::fabs(meanA[0] - meanB[0]) < kFlatBrightness ? 1.0f : 0.0f;
  }
  cv::meanStdDev(a.detail(inA), meanA, spreadA);
  cv::meanStdDev(b.detail(inB), meanB, spreadB);
  if (spreadA[0] <= 0.0 || spreadB[0] <= 0.0) return 0.0f;
  const double covariance = cv::mean((a.detail(inA) - meanA[0]).mul(b.detail(inB) - meanB[0]))[0];
  return static_cast<float>(covariance / (spreadA[0] * spreadB[0]));
}

// Median block correlation of a and b where b is a moved by (dx, dy).
float shiftedSimilarity(const Compared& a, const Compared& b, int dx, int dy) {
  const int w = a.grey.cols, h = a.grey.rows;
  const cv::Rect inA(std::max(0, -dx), std::max(0, -dy), w - std::abs(dx), h - std::abs(dy));
  if (inA.width * inA.height * 3 < w * h || inA.width < 6 || inA.height < 6) return -1.0f;
  std::vector<float> blocks;
  for (int by = 0; by < 3; ++by) {
    for (int bx = 0; bx < 3; ++bx) {
      const int x0 = inA.width * bx / 3, x1 = inA.width * (bx + 1) / 3;
      const int y0 = inA.height * by / 3, y1 = inA.height * (by + 1) / 3;
      const cv::Rect block(inA.x + x0, inA.y + y0, x1 - x0, y1 - y0);
      blocks.push_back(blockCorrelation(a, b, block, block + cv::Point(dx, dy)));
    }
  }
  std::nth_element(blocks.begin(), blocks.begin() + 4, blocks.end());
  return blocks[4];
}

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

// Whether the pair of frames f and f + 1 is far less alike than the pairs just
// before and after it, as across a cut; not where a frame is missing.
bool breaksAt(const ShotSketches& s, int f) {
  const float around = std::min(pairSimilarityAt(s, f - 1), pairSimilarityAt(s, f + 1));
  const float across = pairSimilarityAt(s, f);
  if (around < -0.5f || across < -0.5f) return true;
  return around - across >= kBreak;
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

// Whether the frames either side of the transition, within [lo, hi], show one
// continuing shot. A side without decoded frames shows nothing: the boundary
// stays. A cut must also break the run of alike neighbours: its own pair is
// far less alike than the pairs just before and after it, which a flash or a
// smear of motion blur is not.
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

cv::Mat makeSketch(const cv::Mat& grey) {
  if (grey.empty()) return cv::Mat();
  const int height = std::max(
      8, static_cast<int>(std::lround(static_cast<double>(kSketchWidth) * grey.rows / grey.cols)));
  cv::Mat sketch;
  cv::resize(grey, sketch, cv::Size(kSketchWidth, height), 0, 0, cv::INTER_AREA);
  return sketch;
}

void addSketch(ShotSketches& sketches, cv::Mat sketch) {
  if (!sketches.frames.empty()) {
    const cv::Mat& previous = sketches.frames.back();
    float difference = -1.0f;
    if (!previous.empty() && !sketch.empty()) {
      difference = static_cast<float>(cv::norm(previous, sketch, cv::NORM_L1) /
                                      (255.0 * static_cast<double>(sketch.total())));
    }
    sketches.differences.push_back(difference);
  }
  sketches.frames.push_back(std::move(sketch));
}

float alignedSimilarity(const cv::Mat& a, const cv::Mat& b) {
  if (a.empty() || b.empty() || a.size() != b.size()) return -1.0f;
  const Compared ca = compared(a), cb = compared(b);
  // Sketches of one video share a size: the window is made once per thread.
  thread_local cv::Mat window;
  if (window.size() != a.size()) cv::createHanningWindow(window, a.size(), CV_32F);
  const cv::Point2d shift = cv::phaseCorrelate(ca.grey, cb.grey, window);
  const int dx = static_cast<int>(std::lround(shift.x));
  const int dy = static_cast<int>(std::lround(shift.y));
  return std::max(shiftedSimilarity(ca, cb, 0, 0), shiftedSimilarity(ca, cb, dx, dy));
}

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

int addProposedTransitions(std::vector<Transition>& proposals,
                           const std::vector<PairProfile>& existing,
                           std::vector<PairProfile>& into) {
  const int pairs = static_cast<int>(existing.size());
  int added = 0;
  std::vector<Transition> waiting;
  for (const Transition& t : proposals) {
    bool taken = false;
    for (int p = std::max(0, t.first - kLongestTransition);
         p < std::min(pairs, t.last + kLongestTransition) && !taken; ++p) {
      taken = static_cast<double>(existing[p].score) > kGradualScore &&
              t.last + kGap > static_cast<int>(existing[p].startFrame) &&
              t.first < static_cast<int>(existing[p].endFrame) + kGap;
    }
    if (taken) {
      waiting.push_back(t);
      continue;
    }
    PairProfile& p = into[(t.first + t.last) / 2];
    p.score = kProposedScore;
    p.startFrame = static_cast<float>(t.first);
    p.endFrame = static_cast<float>(t.last);
    p.type = 0.0f;
    ++added;
  }
  proposals = std::move(waiting);
  return added;
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

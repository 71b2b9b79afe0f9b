#include "shots/boundary_review.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "shots/gradual_transitions.h"

namespace shotscene {

namespace {

// Sides whose layouts are at least this alike are one shot, however blurred
// or zoomed.
constexpr double kSameLayout = 0.8;
// Frames compared on each side of a gradual transition, how far from its own
// frames the comparison starts (half its length, at least kWindowOffset), and
// how much further it looks for decoded frames.
constexpr int kWindowFrames = 4;
constexpr int kWindowOffset = 1;
constexpr int kWindowSlack = 8;
// A cut's pair changes this many times more than the picture does within one
// frame on either side, and kFarBreak times more than within kHeldFrames;
// and at least by the floors (grey levels in [0, 1], or in spreads).
constexpr double kNearBreak = 2.0;
constexpr double kHeldLayoutBreak = 4.0;
constexpr double kFarBreak = 1.5;
constexpr double kGreyBreakFloor = 0.04;
constexpr double kContrastBreakFloor = 0.07;
// A change of the most changed block this many times the median block's is
// in part of the picture; a median block's change of kLargeChange (in
// spreads) or kLargeGreyChange (in grey levels) is large.
constexpr double kLocalised = 2.5;
constexpr double kSameLayoutAcross = 0.9;
constexpr double kLargeChange = 0.5;
constexpr double kLargeGreyChange = 0.08;
// A smaller change all over is a cut too where the two layouts have nothing
// in common.
constexpr double kClearChange = 0.3;
constexpr double kNoLayoutLeft = 0.2;
// So is a change all over that reshapes the layout (a cut-in, or a jump cut
// of a picture whose detail is even all over), or keeps it but changes the
// grey levels by kGreyBreakFloor, where it stands out this many times from
// the picture's change within one frame and within kHeldFrames: an encoder's
// key frame renews the detail all over, but keeps the layout and the levels.
constexpr double kReshapedNearBreak = 4.0;
constexpr double kReshapedFarBreak = 3.0;
// A gradual transition's frames explain at least this share of the change
// between its ends; a pan across a scene explains far less.
constexpr double kUnexplained = 0.5;
// Sides one of which, moved, leaves less than this share of their difference
// are one scene the camera moved over, as in a whip pan.
constexpr float kMovedView = 0.5f;
// The same for a move up to kFarMove with the exposure evened out; a search
// that wide finds some likeness between any two pictures.
constexpr float kFarMovedView = 0.3f;
// A pair of frames whose phase correlation peaks at kSureMove at least, at a
// shift of kSwing of the width or more, is the camera swinging the view away
// (a whip pan): a transition's frames do not jump so.
constexpr double kSureMove = 0.5;
constexpr float kSwing = 0.125f;
// A proposed cut: a difference this many times the median of the pairs
// around, and at least kProposalFloor, at least kProposalSpacing frames from
// every other boundary.
constexpr double kProposalRatio = 3.0;
constexpr double kProposalFloor = 0.005;
constexpr int kProposalPeak = 2;
constexpr int kProposalSpacing = 8;
// A cut changes in one pair: the frames just before and after it change less
// than this share of it over kHeldFrames. Motion blur spreads a whip pan over
// several pairs, and cartoons hold each drawing for up to three frames.
constexpr float kLonePair = 0.5f;
constexpr int kHeldFrames = 3;

// A dip: its plain frames have a spread of grey levels under kPlainSpread; the
// fades either side rise by kFadeRise a frame at least away from them, within
// kLongestFade frames, to pictures of kPictureSpread at least. Of the frames
// between, kFadingFrames at least have under kFadedShare of the picture's
// spread, and next to the plain frames on one side the spread is under
// kDeepFade of the picture's. The dip, from picture to picture, lasts
// kShortestDip frames at least; boundaries within kDipReach of it are the dip's.
constexpr float kPlainSpread = 3.0f;
constexpr float kPictureSpread = 8.0f;
constexpr float kFadeRise = 0.25f;
constexpr int kLongestFade = 40;
constexpr float kFadedShare = 0.8f;
constexpr int kShortestDip = 8;
constexpr int kFadingFrames = 3;
constexpr float kDeepFade = 0.5f;
constexpr int kDipReach = 3;

// A wipe the typing missed: see sweepsAsWipe; what the sweep leaves
// unexplained is at most kWipeUnexplained of the change.
constexpr float kWipeChange = 12.0f;
constexpr double kWipeArea = 0.5;
constexpr double kWipeNested = 0.85;
constexpr double kWipeStep = 0.15;
constexpr double kWipeMiddle[2] = {0.3, 0.72};
constexpr double kWipeUnexplained = 0.4;

// A boundary of the refined list.
struct Boundary {
  int lastFrame = 0;  // 0-based, of the shot it ends
  int type = kAbrupt;
  Transition span;
};

// Up to kWindowFrames decoded frames of [lo, hi] from `from` away from the
// transition (step -1 before it, +1 after) within kWindowSlack frames, then,
// for a short side, the frames between `from` and the transition.
std::vector<int> windowFrames(const SketchRun& run, int lo, int hi, int from, int step) {
  std::vector<int> frames;
  const auto take = [&](int f) {
    if (f >= lo && f <= hi && static_cast<int>(frames.size()) < kWindowFrames &&
        !sketchAt(run, f).empty()) {
      frames.push_back(f);
    }
  };
  for (int k = 0; k < kWindowFrames + kWindowSlack; ++k) take(from + k * step);
  for (int f = std::clamp(from - step, lo, hi); f >= lo && f <= hi; f -= step) take(f);
  return frames;
}

// How the frames between frames `from` and `to` explain the change between
// them, at the quarter points: a dissolve's frames are a mix of the two ends,
// a wipe's show each point as one end or the other. `unexplained` is the share
// of the change left at the worst quarter point (0 where an end is missing);
// `wipe` whether showing one end or the other explains more than mixing.
struct ChangeFit {
  double unexplained = 0.0;
  bool wipe = false;
};
ChangeFit fitChange(const SketchRun& run, int from, int to) {
  ChangeFit fit;
  if (sketchAt(run, from).empty() || sketchAt(run, to).empty()) return fit;
  cv::Mat before, after, mid;
  sketchAt(run, from).convertTo(before, CV_32F);
  sketchAt(run, to).convertTo(after, CV_32F);
  const cv::Mat change = after - before;
  const double total = cv::norm(change, cv::NORM_L1);
  if (total <= 0.0) return fit;
  double mixed = 0.0, split = 0.0;
  for (int q = 1; q <= 3; ++q) {
    const cv::Mat& frame = sketchAt(run, from + (to - from) * q / 4);
    if (frame.empty()) continue;
    frame.convertTo(mid, CV_32F);
    const cv::Mat moved = mid - before;
    const double mix = std::clamp(moved.dot(change) / change.dot(change), 0.0, 1.0);
    const double unmixed = cv::norm(moved - mix * change, cv::NORM_L1);
    const cv::Mat offBefore = cv::abs(moved), offAfter = cv::abs(mid - after);
    cv::Mat neither;
    cv::min(offBefore, offAfter, neither);
    const double unsplit = cv::sum(neither)[0];
    fit.unexplained = std::max(fit.unexplained, std::min(unmixed, unsplit) / total);
    mixed += unmixed;
    split += unsplit;
  }
  fit.wipe = split < mixed;
  return fit;
}

// Whether the frames between `from` and `to` sweep from one to the other as a
// wipe does: of the points the transition changes (by kWipeChange grey levels
// at least, kWipeArea of the picture at least), those nearer the end frame
// than the start at the quarter points are a growing set, each quarter's
// kWipeNested within the next, the middle's a share of them within
// kWipeMiddle, growing by kWipeStep at least from quarter to quarter.
bool sweepsAsWipe(const SketchRun& run, int from, int to) {
  if (sketchAt(run, from).empty() || sketchAt(run, to).empty()) return false;
  cv::Mat before, after;
  sketchAt(run, from).convertTo(before, CV_32F);
  sketchAt(run, to).convertTo(after, CV_32F);
  const cv::Mat changed = cv::abs(after - before) > kWipeChange;
  const double changedPoints = cv::countNonZero(changed);
  if (changedPoints < kWipeArea * static_cast<double>(changed.total())) return false;
  cv::Mat nearer[3];
  double share[3];
  for (int q = 1; q <= 3; ++q) {
    const cv::Mat& frame = sketchAt(run, from + (to - from) * q / 4);
    if (frame.empty()) return false;
    cv::Mat mid;
    frame.convertTo(mid, CV_32F);
    nearer[q - 1] = (cv::abs(mid - after) < cv::abs(mid - before)) & changed;
    share[q - 1] = cv::countNonZero(nearer[q - 1]) / changedPoints;
  }
  for (int q = 0; q < 2; ++q) {
    const double held = cv::countNonZero(nearer[q] & nearer[q + 1]);
    if (held < kWipeNested * cv::countNonZero(nearer[q]) || share[q + 1] - share[q] < kWipeStep) {
      return false;
    }
  }
  return share[1] >= kWipeMiddle[0] && share[1] <= kWipeMiddle[1];
}

// The frames of every dip through a plain picture, from the spread of each
// frame: a run of plain frames (spread under kPlainSpread), reached by a fade
// from a picture of some contrast and left by a fade to one, kShortestDip
// frames at least. A flash has no fades; a dark shot keeps its low spread.
std::vector<Transition> dipsThroughPlain(const std::vector<float>& spread) {
  const int n = static_cast<int>(spread.size());
  const auto plain = [&](int f) { return spread[f] >= 0.0f && spread[f] < kPlainSpread; };
  // From the plain frame `from` outward by `step` while the spread keeps
  // rising by kFadeRise a frame, kLongestFade frames at most: the fade, and
  // the picture's spread where it ends.
  struct Fade {
    int end = 0;           // where the picture has its contrast again
    float picture = 0.0f;  // the spread there
    int faded = 0;         // frames with less than kFadedShare of it
  };
  const auto fadeFrom = [&](int from, int step) {
    Fade fade{from, spread[from], 0};
    while (fade.end + step >= 0 && fade.end + step < n && spread[fade.end + step] >= 0.0f &&
           spread[fade.end + step] >= spread[fade.end] + kFadeRise &&
           std::abs(fade.end + step - from) <= kLongestFade) {
      fade.end += step;
      fade.picture = spread[fade.end];
    }
    for (int f = from + step; f != fade.end + step; f += step) {
      fade.faded += spread[f] < kFadedShare * fade.picture;
    }
    return fade;
  };
  std::vector<Transition> dips;
  for (int f = 0; f < n; ++f) {
    if (!plain(f)) continue;
    int last = f;
    while (last + 1 < n && plain(last + 1)) ++last;
    const Fade out = fadeFrom(f, -1), in = fadeFrom(last, 1);
    const bool contrastBefore = f == 0 || out.picture >= kPictureSpread;
    const bool contrastAfter = last == n - 1 || in.picture >= kPictureSpread;
    // A fade passes through pictures of little contrast; a flash does not.
    const bool deep = (out.end < f && spread[f - 1] < kDeepFade * out.picture) ||
                      (in.end > last && spread[last + 1] < kDeepFade * in.picture);
    if (contrastBefore && contrastAfter && deep && out.faded + in.faded >= kFadingFrames &&
        in.end - out.end + 1 >= kShortestDip) {
      dips.push_back({out.end, in.end});
    }
    f = last;
  }
  return dips;
}

// The spans of the candidates the typing was given, by entry; of two for one
// entry the later counts, as in the typing.
std::map<int, const TransitionCandidate*> candidatesByEntry(
    const std::vector<TransitionCandidate>& candidates) {
  std::map<int, const TransitionCandidate*> byEntry;
  for (const TransitionCandidate& c : candidates) byEntry[c.entry] = &c;
  return byEntry;
}

}  // namespace

Transition candidateSpan(const PairProfile& candidate, int entry, int frameCount) {
  return {std::clamp(static_cast<int>(candidate.startFrame), 0, entry),
          std::clamp(static_cast<int>(candidate.endFrame), entry + 1, frameCount - 1)};
}

bool breaksAt(const SketchRun& run, int f) {
  const auto change = [&run](int i, int j) {
    return sketchChange(sketchAt(run, i), sketchAt(run, j));
  };
  // Across frames that did not decode, the nearest that did are compared.
  const auto decodedFrom = [&run](int from, int step) {
    for (int k = 0; k < kBreakReach; ++k) {
      if (!sketchAt(run, from + k * step).empty()) return from + k * step;
    }
    return -1;
  };
  const int before = decodedFrom(f, -1), after = decodedFrom(f + 1, 1);
  if (before < 0 || after < 0) return true;
  const SketchChange across = change(before, after);
  // The most the picture changes within one frame, and within kHeldFrames, on either side.
  SketchChange near, far;
  for (int reach = 1; reach <= kHeldFrames; ++reach) {
    SketchChange& most = reach == 1 ? near : far;
    for (const SketchChange& c : {change(before - reach, before), change(after, after + reach)}) {
      most.mean = std::max(most.mean, c.mean);
      most.grey = std::max(most.grey, c.grey);
    }
  }
  const auto standsOut = [](float across, float near, float far, double floor, double nearBreak,
                            double farBreak = kFarBreak) {
    return across >= floor && across >= nearBreak * near && across >= farBreak * far;
  };
  // A change in part of the picture (things that jumped), or one over all of
  // it that is large, leaves no layout behind, or at once reshapes it or
  // shifts its grey levels: noise and the encoder's blocks change a picture
  // of little contrast all over, but keep its layout.
  const float layout = layoutSimilarity(sketchAt(run, f), sketchAt(run, f + 1));
  const bool reshaped =
      standsOut(across.mean, near.mean, far.mean, 0.0, kReshapedNearBreak, kReshapedFarBreak) &&
      (layout < kSameLayoutAcross || standsOut(across.grey, near.grey, far.grey, kGreyBreakFloor,
                                               kReshapedNearBreak, kReshapedFarBreak));
  const bool shaped = across.most >= kLocalised * across.median ||
                      (across.median >= kLargeChange && layout < kSameLayoutAcross) ||
                      (across.median >= kClearChange && layout < kNoLayoutLeft) || reshaped;
  // Where the layout holds, as behind a jump cut, the pair must stand out
  // more: a jolt of the camera keeps it too, but moves the frames next to it.
  const double nearBreak = layout >= kSameLayoutAcross ? kHeldLayoutBreak : kNearBreak;
  return (standsOut(across.mean, near.mean, far.mean, kContrastBreakFloor, nearBreak) && shaped) ||
         (standsOut(across.grey, near.grey, far.grey, kGreyBreakFloor, kNearBreak) &&
          across.greyMedian >= kLargeGreyChange);
}

bool standsOutAsCut(const SketchRun& run, const std::vector<float>& d, int k) {
  const int pairs = static_cast<int>(d.size());
  if (k < 1 || k + 1 >= pairs || d[k] < kProposalFloor) return false;
  for (int j = std::max(0, k - kProposalPeak); j <= std::min(pairs - 1, k + kProposalPeak); ++j) {
    if (d[j] > d[k] || (d[j] == d[k] && j < k)) return false;
  }
  // Within kHeldFrames on either side the picture changes far less, so a
  // drawing held for two or three frames does not make its change stand out.
  const float before = sketchDifference(sketchAt(run, k - kHeldFrames), sketchAt(run, k));
  const float after = sketchDifference(sketchAt(run, k + 1), sketchAt(run, k + 1 + kHeldFrames));
  if (std::max(before, after) > kLonePair * d[k]) return false;
  std::vector<float> around;
  for (int j = std::max(0, k - kProposalReach); j <= std::min(pairs - 1, k + kProposalReach); ++j) {
    if (std::abs(j - k) > kProposalPeak && d[j] >= 0.0f) around.push_back(d[j]);
  }
  if (around.size() < 4) return false;
  std::nth_element(around.begin(), around.begin() + around.size() / 2, around.end());
  return d[k] >= kProposalRatio * around[around.size() / 2];
}

bool bearsOutTransition(const SpanReview& review) {
  return !review.sidesAlike && review.unexplained <= kUnexplained && review.moved >= kMovedView &&
         review.farMoved >= kFarMovedView && review.swing < kSwing;
}

int spanReach(Transition t) {
  return std::max(kWindowOffset, (t.last - t.first) / 2) + kWindowFrames + kWindowSlack;
}

SpanReview reviewSpan(const SketchRun& run, Transition t, Transition shots) {
  SpanReview review;
  const int offset = std::max(kWindowOffset, (t.last - t.first) / 2);
  const std::vector<int> before = windowFrames(run, shots.first, t.first - 1, t.first - offset, -1);
  const std::vector<int> after = windowFrames(run, t.last + 1, shots.last, t.last + offset, 1);
  for (int i : before) {
    for (int j : after) {
      const cv::Mat &a = sketchAt(run, i), &b = sketchAt(run, j);
      const float aligned = alignedSimilarity(a, b);
      review.sides = std::max(review.sides, aligned);
      review.sidesAlike =
          review.sidesAlike || aligned >= kSameShot || layoutSimilarity(a, b) >= kSameLayout;
    }
  }
  const ChangeFit fit = fitChange(run, t.first, t.last);
  review.unexplained = fit.unexplained;
  // Only sides that differ, around frames that could be a transition's, are
  // worth the search for a camera's move.
  if (!review.sidesAlike && fit.unexplained <= std::max(kUnexplained, kWipeUnexplained)) {
    for (int i : before) {
      for (int j : after) {
        const cv::Mat &a = sketchAt(run, i), &b = sketchAt(run, j);
        const float plain = sketchDifference(a, b);
        if (plain > 0.0f) review.moved = std::min(review.moved, leastMovedDifference(a, b) / plain);
      }
    }
    // The wider search is the slower: only for sides a near move left apart,
    // and only until a pair shows the move.
    const auto searching = [&review] {
      return review.moved >= kMovedView && review.farMoved >= kFarMovedView &&
             review.swing < kSwing;
    };
    // The camera may have swung the view away between the sides, as in a whip pan.
    for (int k = before.front(); k < after.front() && searching(); ++k) {
      const SketchMove m = sketchMove(sketchAt(run, k), sketchAt(run, k + 1));
      if (m.peak >= kSureMove) {
        review.swing = std::max(
            review.swing, static_cast<float>(std::hypot(m.shift.x, m.shift.y) / kSketchWidth));
      }
    }
    for (size_t i = 0; i < before.size() && searching(); ++i) {
      for (size_t j = 0; j < after.size() && searching(); ++j) {
        const float share =
            farMovedShare(sketchAt(run, before[i]), sketchAt(run, after[j]), kFarMovedView);
        review.farMoved = std::min(review.farMoved, share);
      }
    }
  }
  review.wipe = fit.wipe;
  review.sweeps = sweepsAsWipe(run, t.first, t.last);
  return review;
}

int dropContinuingCuts(ShotRecord* cutShots, int cutCount, const SketchFindings& findings) {
  if (cutCount < 2) return cutCount;
  int kept = 0;
  int start = 1;
  for (int k = 0; k < cutCount; ++k) {
    const ShotRecord& shot = cutShots[k];
    if (k + 1 < cutCount && findings.breaks[shot.end - 1] == 0) continue;
    cutShots[kept++] = makeShotRecord(start, shot.end, kAbrupt);
    start = shot.end + 1;
  }
  return kept;
}

std::vector<ShotRecord> refineShots(const std::vector<ShotRecord>& shots,
                                    const SketchFindings& findings, const PairProfile* profiles,
                                    const std::vector<TransitionCandidate>& candidates) {
  const int n = static_cast<int>(findings.spreads.size());
  if (shots.empty() || n < 2) return shots;
  const std::map<int, const TransitionCandidate*> byEntry = candidatesByEntry(candidates);
  const auto reviewOf = [&findings](Transition t) -> const SpanReview* {
    const auto it = findings.spans.find({t.first, t.last});
    return it == findings.spans.end() ? nullptr : &it->second;
  };

  // A boundary whose findings were not made (frames the second look did not
  // hold) stays as it is.
  std::vector<Boundary> kept;
  for (size_t i = 0; i + 1 < shots.size(); ++i) {
    const int last = shots[i].end - 1;
    const PairProfile& typed = profiles[last];
    const auto candidate = byEntry.find(last);
    Transition t{last, last + 1};
    if (static_cast<double>(typed.score) > kGradualScore && typed.startFrame >= 0.0f &&
        candidate != byEntry.end()) {
      const Transition span = candidateSpan(candidate->second->profile, last, n);
      if (span.last - span.first <= kLongestTransition) t = span;
    }
    int type = shots[i].type;
    if (t.isCut()) {
      if (findings.breaks[last] == 0) continue;
    } else if (const SpanReview* review = reviewOf(t)) {
      // Sides of one shot, or a camera that moved from one view to another: no edit.
      if (!bearsOutTransition(*review)) continue;
      // Motion on both sides reads as a sweep to the typing; frames that mix
      // the two ends, and sweep nowhere, are a dissolve.
      if (type == kWipe && !review->wipe && !review->sweeps) type = kDissolve;
    }
    kept.push_back(Boundary{last, type, t});
  }

  // A candidate the typing erased, whose sides differ and whose frames sweep
  // from one to the other, is a transition the typing could not see: a wipe
  // where showing one end or the other explains its frames, else a dissolve
  // between moving shots.
  for (const auto& [entry, c] : byEntry) {
    const Transition t = candidateSpan(c->profile, entry, n);
    if (profiles[entry].score != 0.0f || t.last - t.first > kLongestTransition) continue;
    const SpanReview* review = reviewOf(t);
    const bool near = std::any_of(kept.begin(), kept.end(), [&](const Boundary& b) {
      return std::abs(b.lastFrame - entry) < kBoundarySpacing ||
             (t.last >= b.span.first && t.first <= b.span.last);
    });
    if (near || review == nullptr || !bearsOutTransition(*review) ||
        review->unexplained > kWipeUnexplained) {
      continue;
    }
    if (review->sweeps) kept.push_back(Boundary{entry, review->wipe ? kWipe : kDissolve, t});
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

  for (int k : findings.standingOut) {
    // Near a cut already kept: the proposal is that cut.
    const bool near = std::any_of(kept.begin(), kept.end(), [k](const Boundary& b) {
      return b.span.isCut() && k + kProposalSpacing > b.span.first &&
             k < b.span.last + kProposalSpacing;
    });
    if (near || findings.breaks[k] == 0) continue;
    // A cut outweighs the gradual transitions within half a second of it, as
    // in the scan's list, and one whose frames hold it is that cut.
    kept.erase(std::remove_if(kept.begin(), kept.end(),
                              [k](const Boundary& b) {
                                return !b.span.isCut() &&
                                       (std::abs(b.lastFrame - k) < kBoundarySpacing ||
                                        (k >= b.span.first && k < b.span.last));
                              }),
               kept.end());
    kept.push_back(Boundary{k, kAbrupt, Transition{k, k + 1}});
  }

  // A dip through a plain picture is one dissolve, wherever the scan put
  // boundaries in it; one at either end of the video is no boundary.
  for (const Transition& dip : dipsThroughPlain(findings.spreads)) {
    kept.erase(std::remove_if(kept.begin(), kept.end(),
                              [&dip](const Boundary& b) {
                                return b.lastFrame + kDipReach >= dip.first &&
                                       b.lastFrame <= dip.last + kDipReach;
                              }),
               kept.end());
    if (dip.first > 0 && dip.last < n - 1) {
      kept.push_back(Boundary{(dip.first + dip.last) / 2, kDissolve, dip});
    }
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

#include "transitions/transition_classifier.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <opencv2/imgproc.hpp>

#include "common/cleanup_registry.h"
#include "common/stage_work.h"
#include "shots/frame_features.h"
#include "shots/gradual_transitions.h"
#include "transitions/dissolve_detection.h"
#include "transitions/wipe_detection.h"
#include "video/frame_reader.h"

namespace shotscene {

namespace {

constexpr double kSelectionScore = 0.3;
constexpr float kWipeScore = 0.5f;
constexpr double kDissolveRatio = 0.15;
constexpr double kAlikeEnds = 0.05;
constexpr int kCutDistance = 12;

// One thread's frames and features. Frames come from the scan's kept frames
// or from a decoder opened when first needed. Each candidate's frames are
// decoded once, reading forward, and kept while it is typed: grey at the
// working scale for the tests, and in colour at the analysis scale where a
// confirmation may compare them (the candidate's ends and every tenth frame
// from its start).
struct ClassifierContext {
  const RetainedFrames* retained = nullptr;
  const Video* video = nullptr;
  bool readerOpen = false;
  FrameReader reader;
  AnalysisScale scale;
  cv::Ptr<cv::ORB> detector;
  int spanStart = 0, spanEnd = 0;
  std::map<int, cv::Mat> grey, colour;
};

void openReader(ClassifierContext& c) {
  if (c.readerOpen) return;
  openFrameReader(c.reader, *c.video);
  c.readerOpen = true;
}

void startSpan(ClassifierContext& c, int s, int t) {
  c.spanStart = s;
  c.spanEnd = t;
  c.grey.erase(c.grey.begin(), c.grey.lower_bound(s));
  c.colour.erase(c.colour.begin(), c.colour.lower_bound(s));
}

// Decodes frame `index` into the caches; an undecodable frame leaves an empty image.
void decodeFrame(ClassifierContext& c, int index) {
  if (c.retained != nullptr) {
    c.grey[index] = c.retained->grey[static_cast<size_t>(index - c.retained->first)];
    return;
  }
  cv::Mat decoded, scaled;
  cv::Mat colour, grey;
  if (readFrameAt(c.reader, index, decoded)) {
    // The reader hands out a fresh image per frame, so nothing writes over it.
    colour = prepareFrame(decoded, c.scale, scaled);
    if (!colour.empty()) cv::cvtColor(colour, grey, cv::COLOR_RGB2GRAY);
  }
  c.grey[index] = grey;
  const int offset = index - c.spanStart;
  if (index == c.spanEnd || (offset >= 0 && offset % 10 == 0)) c.colour[index] = colour;
}

std::vector<cv::Mat> greyWindow(ClassifierContext& c, int first, int last) {
  std::vector<cv::Mat> frames;
  for (int index = first; index < last; ++index) {
    if (c.grey.count(index) == 0) decodeFrame(c, index);
    frames.push_back(c.grey[index]);
  }
  return frames;
}

cv::Mat colourFrame(ClassifierContext& c, int index) {
  auto it = c.colour.find(index);
  if (it != c.colour.end()) return it->second;
  cv::Mat decoded, scaled;
  if (!readFrameAt(c.reader, index, decoded)) return cv::Mat();
  return prepareFrame(decoded, c.scale, scaled);
}

void erase(PairProfile& p) {
  p.score = 0.0f;
  p.startFrame = -1.0f;
  p.endFrame = -1.0f;
  p.type = kAbrupt;
}

// Features of frame `index` at the analysis scale; null when it cannot be read.
std::shared_ptr<const FrameFeatures> endFeatures(ClassifierContext& c, int index) {
  if (c.retained != nullptr) {
    return c.retained->features[static_cast<size_t>(index - c.retained->first)];
  }
  const cv::Mat frame = colourFrame(c, index);
  if (frame.empty()) return nullptr;
  if (!c.detector) c.detector = makeFeatureDetector();
  auto features = std::make_shared<FrameFeatures>();
  computeFrameFeatures(frame, *c.detector, *features);
  return features;
}

// Similarity of the transition's two end frames; negative when one cannot be read.
double boundarySimilarity(ClassifierContext& c, int first, int last) {
  const auto a = endFeatures(c, first);
  const auto b = a ? endFeatures(c, last) : nullptr;
  if (!b) return -1.0;
  const auto [correlation, affinity] = histogramTerms(a->histogram, b->histogram);
  const double h = std::fabs(0.5 * (affinity + correlation));
  const auto [ratioA, ratioB] = matchRatios(*a, *b);
  const float f = 0.5f * (ratioA + ratioB);
  return static_cast<double>(static_cast<float>(h * f));
}

bool sizeUsable(const AnalysisScale& size) { return size.width > 0 && size.height > 0; }

bool nearCut(int index, const ShotRecord* cutShots, int cutCount) {
  for (int k = 0; k < cutCount; ++k) {
    if (std::abs(cutShots[k].end - index) < kCutDistance) return true;
  }
  return false;
}

// The type the scan gave the candidate, if it typed this very one.
const PairProfile* typedBefore(const TypedCandidates* typed, const TransitionCandidate& c) {
  if (typed == nullptr) return nullptr;
  const auto it = typed->find(c.entry);
  if (it == typed->end()) return nullptr;
  return std::memcmp(&it->second.candidate, &c.profile, sizeof(PairProfile)) == 0
             ? &it->second.typed
             : nullptr;
}

// Types a candidate from frames s .. t + 19 at most.
void typeCandidate(PairProfile& p, ClassifierContext& c) {
  const int s = static_cast<int>(p.startFrame);
  const int t = static_cast<int>(p.endFrame);
  startSpan(c, s, t);
  for (const auto& [first, last] : dissolveWindows(s, t)) {
    const float ratio = sizeUsable(c.scale) && last - first > 1
                            ? dissolveRatio(greyWindow(c, first, last), c.scale)
                            : 0.0f;
    if (static_cast<double>(ratio) > kDissolveRatio) {
      p.type = kDissolve;
      break;
    }
  }
  if (p.type != kDissolve) {
    if (p.score > kWipeScore) {
      for (const auto& [first, last] : wipeWindows(s, t)) {
        int lineStart = 0, lineEnd = 0;
        if (sizeUsable(c.scale) && sliceColumnCount(c.scale) >= 1 &&
            findWipeLine(buildDiagonalSlice(greyWindow(c, first, last), c.scale), c.scale,
                         &lineStart, &lineEnd)) {
          p.startFrame = static_cast<float>(first);
          p.endFrame = static_cast<float>(last);
          p.type = kWipe;
          break;
        }
      }
    }
    if (p.type != kWipe) {
      erase(p);
      return;
    }
  }
  // Ends that cannot be read leave the type standing, unconfirmed.
  const double similarity =
      boundarySimilarity(c, static_cast<int>(p.startFrame), static_cast<int>(p.endFrame));
  if (similarity >= kAlikeEnds) erase(p);
}

}  // namespace

std::vector<std::pair<int, int>> dissolveWindows(int s, int t) {
  const int length = t - s;
  if (length <= 12) return {{s, t}};
  std::vector<std::pair<int, int>> windows;
  for (int k = 0; k < (length - 10) / 2; ++k) windows.emplace_back(s + 2 * k, s + 2 * k + 10);
  return windows;
}

std::vector<std::pair<int, int>> wipeWindows(int s, int t) {
  std::vector<std::pair<int, int>> windows;
  for (int a = s; a < t; a += 10) windows.emplace_back(a, a + 20);
  return windows;
}

bool isTransitionCandidate(const PairProfile& p) {
  return static_cast<double>(p.score) >= kSelectionScore &&
         static_cast<int>(p.endFrame) - static_cast<int>(p.startFrame) >= 0;
}

int typingReach(const PairProfile& candidate) { return static_cast<int>(candidate.endFrame) + 20; }

bool typeFromRetained(const PairProfile& candidate, const RetainedFrames& frames,
                      const AnalysisScale& scale, int frameCount, PairProfile& typed) {
  if (!isTransitionCandidate(candidate)) return false;
  const int kept = frames.first + static_cast<int>(frames.grey.size());
  if (static_cast<int>(candidate.startFrame) < frames.first ||
      typingReach(candidate) > std::min(kept, frameCount)) {
    return false;
  }
  ClassifierContext c;
  c.retained = &frames;
  c.scale = scale;
  typed = candidate;
  typeCandidate(typed, c);
  return true;
}

std::vector<TransitionCandidate> profileCandidates(const std::vector<PairProfile>& profiles) {
  std::vector<TransitionCandidate> candidates;
  for (size_t i = 0; i < profiles.size(); ++i) {
    if (isTransitionCandidate(profiles[i])) {
      candidates.push_back(TransitionCandidate{static_cast<int>(i), profiles[i], {}});
    }
  }
  return candidates;
}

int classifyTransitions(std::vector<PairProfile>& profiles,
                        const std::vector<TransitionCandidate>& candidates,
                        const ShotRecord* cutShots, int cutCount, const Video& video,
                        const TypedCandidates* typed) {
  // Of candidates for one entry the last counts, so each entry is written by
  // one thread alone.
  const auto typeAll = [&](std::vector<const TransitionCandidate*> list) {
    std::map<int, const TransitionCandidate*> byEntry;
    for (const TransitionCandidate* c : list) byEntry[c->entry] = c;
    list.clear();
    for (const auto& entry : byEntry) list.push_back(entry.second);
    const int count = static_cast<int>(list.size());
    if (count < 1) return 0;
    return runOnTwoHalves(count, [&](int first, int end) {
      int decoded = 0;
      ClassifierContext context;
      context.video = &video;
      context.scale = video.scale;
      for (int k = first; k < end; ++k) {
        throwIfStopped();
        const TransitionCandidate& c = *list[k];
        if (!isTransitionCandidate(c.profile) || nearCut(c.entry, cutShots, cutCount)) continue;
        PairProfile p = c.profile;
        if (const PairProfile* known = typedBefore(typed, c)) {
          p = *known;
        } else {
          openReader(context);
          typeCandidate(p, context);
          ++decoded;
        }
        profiles[c.entry] = p;
      }
      return decoded;
    });
  };
  std::vector<const TransitionCandidate*> first, waiting;
  for (const TransitionCandidate& c : candidates)
    (c.waitsFor.empty() ? first : waiting).push_back(&c);
  int decoded = typeAll(first);
  // Those whose covering candidates the typing erased are typed in turn.
  const auto erased = [&profiles](int entry) {
    return !(static_cast<double>(profiles[entry].score) > kGradualScore);
  };
  std::vector<const TransitionCandidate*> uncovered;
  for (const TransitionCandidate* c : waiting) {
    if (std::all_of(c->waitsFor.begin(), c->waitsFor.end(), erased)) uncovered.push_back(c);
  }
  return decoded + typeAll(uncovered);
}

}  // namespace shotscene

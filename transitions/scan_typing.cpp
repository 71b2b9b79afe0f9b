#include "transitions/scan_typing.h"

#include <algorithm>

namespace shotscene {

namespace {

constexpr size_t kFewestKeptFrames = 64;

// Whether the frames `candidate` reads are decoded, or will never be.
bool framesIn(const ScanTyping& t, const PairProfile& candidate, bool all) {
  const int decoded = t.frames.first + static_cast<int>(t.frames.grey.size());
  return all || typingReach(candidate) <= decoded || typingReach(candidate) > t.frameCount;
}

// Types the waiting candidates in order, as far as the decoded frames reach;
// with `all`, no more frames come. A proposed candidate leaves a profile's own
// type for its entry standing.
void typeWaiting(ScanTyping& t, bool all) {
  PairProfile typed;
  while (!t.waiting.empty()) {
    const int entry = t.waiting.front();
    const PairProfile& candidate = t.profiles[entry];
    if (!framesIn(t, candidate, all)) return;
    if (typeFromRetained(candidate, t.frames, t.scale, t.frameCount, typed)) {
      t.typed[entry] = TypedCandidate{candidate, typed};
    }
    t.waiting.pop_front();
  }
  while (!t.proposed.empty()) {
    const TransitionCandidate& c = t.proposed.front();
    if (!framesIn(t, c.profile, all)) return;
    if (typeFromRetained(c.profile, t.frames, t.scale, t.frameCount, typed)) {
      t.typed.emplace(c.entry, TypedCandidate{c.profile, typed});
    }
    t.proposed.pop_front();
  }
}

void examineFinalEntries(ScanTyping& t) {
  for (; t.examined < t.builder.final; ++t.examined) {
    if (isTransitionCandidate(t.profiles[t.examined])) t.waiting.push_back(t.examined);
  }
}

}  // namespace

void startScanTyping(ScanTyping& t, const PairMeasure* measures, PairProfile* profiles,
                     int frameCount, const AnalysisScale& scale, size_t keptBytes) {
  t = ScanTyping{};
  t.frameCount = frameCount;
  t.measures = measures;
  t.scale = scale;
  t.usable = scale.width > 0 && scale.height > 0 && keptBytes > 0;
  // A kept frame holds its grey image and features of about 40 KB.
  const size_t frameBytes = static_cast<size_t>(scale.width) * scale.height + 40000;
  t.capacity = std::max(kFewestKeptFrames, keptBytes / frameBytes);
  t.profiles = profiles;
  startPairProfiles(t.builder, frameCount);
}

void takeScannedBatch(ScanTyping& t, const ScannedBatch& batch) {
  if (t.frames.grey.empty()) t.frames.first = batch.first;
  if (t.usable) {
    t.frames.grey.insert(t.frames.grey.end(), batch.grey.begin(), batch.grey.end());
    t.frames.features.insert(t.frames.features.end(), batch.features.begin(), batch.features.end());
  }
  while (t.frames.grey.size() > t.capacity) {
    t.frames.grey.pop_front();
    t.frames.features.pop_front();
    ++t.frames.first;
  }
  // Measures of pairs up to the batch's last frame are written.
  const int measured = batch.first + static_cast<int>(batch.grey.size()) - 1;
  extendPairProfiles(t.builder, t.measures, t.profiles, measured);
  if (t.usable) {
    examineFinalEntries(t);
    typeWaiting(t, false);
  }
}

void addScanCandidate(ScanTyping& t, const TransitionCandidate& candidate) {
  if (!t.usable) return;
  t.proposed.push_back(candidate);
  typeWaiting(t, false);
}

void finishScanTyping(ScanTyping& t) {
  extendPairProfiles(t.builder, t.measures, t.profiles, t.frameCount - 1);
  if (t.usable) {
    examineFinalEntries(t);
    typeWaiting(t, true);
  }
  t.frames = RetainedFrames{};
}

}  // namespace shotscene

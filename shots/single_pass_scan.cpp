#include "shots/single_pass_scan.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "common/cleanup_registry.h"
#include "common/progress_line.h"
#include "shots/frame_features.h"
#include "shots/frame_sketch.h"
#include "shots/segment_scanner.h"
#include "video/frame_reader.h"

namespace shotscene {

namespace {

// Frames the sink gets at a time.
constexpr int kBatchFrames = 32;
// Frames decoded or analysed but not yet taken in order; bounds memory.
constexpr int kRingFrames = 64;

using Features = std::shared_ptr<const FrameFeatures>;

struct Slot {
  cv::Mat frame;  // at the analysis scale; empty where the frame did not decode
  cv::Mat grey;
  cv::Mat sketch;
  Features features;
  bool analysed = false;
};

// The frames between the decoder, the feature workers and the calling thread.
// Frame j lives in slot j % kRingFrames from its decoding until the calling
// thread takes it; each count only grows, and all are guarded by `mutex`.
struct Ring {
  std::mutex mutex;
  std::condition_variable decodedMore;   // feature workers wait here
  std::condition_variable analysedMore;  // the calling thread waits here
  std::condition_variable takenMore;     // the decoder waits here
  std::vector<Slot> slots = std::vector<Slot>(kRingFrames);
  int frames = 0;
  int decoded = 0;
  int claimed = 0;
  int taken = 0;
  bool stop = false;
  std::exception_ptr failure;

  Slot& slot(int j) { return slots[static_cast<size_t>(j % kRingFrames)]; }

  void fail(std::exception_ptr error) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!failure) failure = error;
    stop = true;
    decodedMore.notify_all();
    analysedMore.notify_all();
    takenMore.notify_all();
  }
};

void decodeFrames(Ring& ring, FrameReader& reader, FrameIndex& index) {
  try {
    const AnalysisScale& scale = reader.video->scale;
    cv::Mat decoded;
    for (int j = 0; j < ring.frames; ++j) {
      {
        std::unique_lock<std::mutex> lock(ring.mutex);
        ring.takenMore.wait(lock, [&] { return ring.stop || j < ring.taken + kRingFrames; });
        if (ring.stop) return;
      }
      // Every read gives a fresh image, so the slot may keep it.
      readNextFrame(reader, decoded, index);
      cv::Mat scaled;
      ring.slot(j).frame = prepareFrame(decoded, scale, scaled);
      std::lock_guard<std::mutex> lock(ring.mutex);
      ring.decoded = j + 1;
      // Workers waiting with nothing left to claim must all see the end.
      if (ring.decoded == ring.frames) {
        ring.decodedMore.notify_all();
      } else {
        ring.decodedMore.notify_one();
      }
    }
  } catch (...) {
    ring.fail(std::current_exception());
  }
}

void analyseFrames(Ring& ring, bool keepGrey, bool sketch) {
  try {
    const cv::Ptr<cv::ORB> detector = makeFeatureDetector();
    for (;;) {
      int j = 0;
      {
        std::unique_lock<std::mutex> lock(ring.mutex);
        ring.decodedMore.wait(lock, [&] {
          return ring.stop || ring.claimed < ring.decoded || ring.claimed == ring.frames;
        });
        if (ring.stop || ring.claimed == ring.frames) return;
        j = ring.claimed++;
      }
      Slot& slot = ring.slot(j);
      if (!slot.frame.empty()) {
        auto f = std::make_shared<FrameFeatures>();
        computeFrameFeatures(slot.frame, *detector, *f, keepGrey ? &slot.grey : nullptr);
        if (sketch) slot.sketch = makeSketch(slot.grey);
        slot.features = f;
      }
      slot.frame.release();
      std::lock_guard<std::mutex> lock(ring.mutex);
      slot.analysed = true;
      ring.analysedMore.notify_one();
    }
  } catch (...) {
    ring.fail(std::current_exception());
  }
}

// Stops and joins the threads however the calling thread leaves.
struct Crew {
  Ring& ring;
  std::vector<std::thread> threads;
  ~Crew() {
    {
      std::lock_guard<std::mutex> lock(ring.mutex);
      ring.stop = true;
      ring.decodedMore.notify_all();
      ring.takenMore.notify_all();
    }
    for (std::thread& t : threads) t.join();
  }
};

// Where one range's scan stands, as its own worker would hold it.
struct RangeState {
  bool live = false;  // its first frame decoded
  Features previous;  // the last analysed frame
  bool pending = false;
  Features reference;
};

// Frame j of a live range after its first: the record of pair j - 1 and the
// flash it may confirm, as the range's own worker would write them.
void takeFrame(RangeState& s, const Features& current, int j, PairMeasure* measures,
               std::vector<int>& isolatedFrames) {
  if (!current) {
    measures[j - 1] = PairMeasure{};
    return;
  }
  // After undecodable frames the previous analysed frame lies further back.
  const PairMeasure record = measurePair(*s.previous, *current);
  measures[j - 1] = record;
  if (!s.pending) {
    if (opensCandidate(record)) {
      s.reference = s.previous;
      s.pending = true;
    }
  } else {
    if (confirmsFlash(*s.reference, *current)) isolatedFrames.push_back(j - 1);
    s.pending = false;
  }
  s.previous = current;
}

// The pair joining the range before to frame j, the first of the next: measured
// like any other pair of the range before, but no flash is looked for across it.
void measureSeam(const RangeState& before, const Features& current, int j, PairMeasure* measures) {
  measures[j - 1] =
      before.live && current ? measurePair(*before.previous, *current) : PairMeasure{};
}

}  // namespace

void scanRangesOnce(const std::vector<FrameRange>& ranges, PairMeasure* measures,
                    std::vector<int>& isolatedFrames, Video& video, int threads,
                    const BatchSink& sink, bool sketch) {
  if (ranges.empty()) return;
  video.index = FrameIndex{};
  FrameReader reader;
  openFrameReader(reader, video, false);
  const int n = ranges.back().end;
  std::vector<int> rangeOf(static_cast<size_t>(n));
  for (size_t t = 0; t < ranges.size(); ++t) {
    for (int j = ranges[t].first; j < ranges[t].end; ++j) rangeOf[j] = static_cast<int>(t);
  }
  std::vector<RangeState> states(ranges.size());
  ProgressLine progress = startProgressLine(n);

  Ring ring;
  ring.frames = n;
  {
    Crew crew{ring, {}};
    crew.threads.emplace_back(decodeFrames, std::ref(ring), std::ref(reader),
                              std::ref(video.index));
    for (int t = 0; t < std::max(1, threads); ++t) {
      crew.threads.emplace_back(analyseFrames, std::ref(ring), static_cast<bool>(sink),
                                static_cast<bool>(sink) && sketch);
    }
    ScannedBatch batch;
    for (int j = 0; j < n; ++j) {
      throwIfStopped();  // leaving stops the crew
      if (batch.grey.empty()) batch.first = j;
      Slot& slot = ring.slot(j);
      {
        std::unique_lock<std::mutex> lock(ring.mutex);
        ring.analysedMore.wait(lock, [&] { return ring.stop || slot.analysed; });
        if (ring.failure) std::rethrow_exception(ring.failure);
      }
      const Features current = std::move(slot.features);
      batch.grey.push_back(std::move(slot.grey));
      if (sketch) batch.sketches.push_back(std::move(slot.sketch));
      batch.features.push_back(current);
      slot = Slot{};
      {
        std::lock_guard<std::mutex> lock(ring.mutex);
        ring.taken = j + 1;
        ring.takenMore.notify_one();
      }
      RangeState& s = states[rangeOf[j]];
      if (j == ranges[rangeOf[j]].first) {
        if (j > 0) measureSeam(states[rangeOf[j] - 1], current, j, measures);
        s.live = static_cast<bool>(current);
        s.previous = current;
      } else if (s.live) {
        takeFrame(s, current, j, measures, isolatedFrames);
      }
      if (static_cast<int>(batch.grey.size()) == kBatchFrames || j == n - 1) {
        if (sink) sink(batch);
        batch = ScannedBatch{};
        updateProgressLine(progress, j + 1);
      }
    }
  }
  clearProgressLine(progress);
}

}  // namespace shotscene

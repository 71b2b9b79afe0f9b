// What the scan's decoding gave at each position, for later readers to check against.
#ifndef SHOTSCENE_VIDEO_FRAME_INDEX_H_
#define SHOTSCENE_VIDEO_FRAME_INDEX_H_

#include <cstdint>
#include <opencv2/core.hpp>
#include <vector>

namespace shotscene {

// One position of sequential decoding: whether a frame came out, its
// presentation time and a digest of its pixels.
struct IndexedFrame {
  bool decoded = false;
  double milliseconds = 0.0;
  uint64_t digest = 0;
};

// Position k is the k-th read of sequential decoding from the start; a read
// that fails still takes its position, so positions after damaged frames keep
// the numbers the scan gave them.
struct FrameIndex {
  std::vector<IndexedFrame> frames;
  int leadingDecoded = 0;  // leading positions that all decoded
};

// Appends the next position: `decoded` (empty when it did not decode) and its time.
void recordFrame(FrameIndex& index, const cv::Mat& decoded, double milliseconds);

// Whether the index holds `position` and says it did not decode.
bool knownUndecodable(const FrameIndex& index, int position);

// The positions that did not decode: how many, and the first and last (from 0).
struct UndecodedPositions {
  int count = 0;
  int first = -1;
  int last = -1;
};
UndecodedPositions undecodedPositions(const FrameIndex& index);

}  // namespace shotscene

#endif  // SHOTSCENE_VIDEO_FRAME_INDEX_H_

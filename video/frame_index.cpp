#include "video/frame_index.h"

#include "video/frame_digest.h"

namespace shotscene {

void recordFrame(FrameIndex& index, const cv::Mat& decoded, double milliseconds) {
  IndexedFrame frame;
  if (!decoded.empty()) {
    if (index.leadingDecoded == static_cast<int>(index.frames.size())) ++index.leadingDecoded;
    frame = IndexedFrame{true, milliseconds, frameDigest(decoded)};
  }
  index.frames.push_back(frame);
}

bool knownUndecodable(const FrameIndex& index, int position) {
  return position >= 0 && position < static_cast<int>(index.frames.size()) &&
         !index.frames[static_cast<size_t>(position)].decoded;
}

UndecodedPositions undecodedPositions(const FrameIndex& index) {
  UndecodedPositions undecoded;
  for (size_t k = 0; k < index.frames.size(); ++k) {
    if (index.frames[k].decoded) continue;
    if (undecoded.count++ == 0) undecoded.first = static_cast<int>(k);
    undecoded.last = static_cast<int>(k);
  }
  return undecoded;
}

}  // namespace shotscene

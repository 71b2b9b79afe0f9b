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

}  // namespace shotscene

// Frames of the video by position, always the pixels sequential decoding gives.
#ifndef SHOTSCENE_VIDEO_FRAME_READER_H_
#define SHOTSCENE_VIDEO_FRAME_READER_H_

#include <memory>
#include <opencv2/core.hpp>

#include "video/video.h"

namespace cv {
class VideoCapture;
}

namespace shotscene {

// One decoder over the video. Position k is the k-th read of sequential
// decoding from the start, failed reads included, as the scan numbered them.
// A seek by frame position lands a few frames off on some files (B-frames,
// odd time bases) and may decode differently after it, so without the scan's
// index the reader never seeks: it decodes forward, skipping frames without
// converting them, on past frames that fail, and reopens the video to go
// back. With the index it seeks over long gaps before the first position
// that failed, checks the time and digest of every frame it returns after a
// seek, and on any mismatch goes back to decoding forward for good. It seeks
// only where seeks have been cheaper than skipping.
struct FrameReader {
  const Video* video = nullptr;       // not owned
  const FrameIndex* index = nullptr;  // not owned; null: never seek
  std::shared_ptr<cv::VideoCapture> capture;
  int next = 0;        // position the next read gives
  bool ended = false;  // nothing decodes from `next` on
  int lastIndex = -1;  // the position returned last, kept for a repeated request
  cv::Mat last;
  bool seekable = true;           // false once a seek was found wrong
  bool checking = false;          // frames since the last seek are checked
  bool checkedSinceSeek = false;  // one of them proved right
  double skipSeconds = 0.0;       // time spent skipping frames forward ...
  int skipped = 0;                // ... and how many
  double seekSeconds = 0.0;       // time spent seeking ...
  int seeks = 0;                  // ... and how many seeks
};

// A reader of `video`, which must outlive it. With `useIndex` it takes the
// video's frame index (when the scan filled one) to seek and to answer for
// positions that did not decode without decoding them.
void openFrameReader(FrameReader& reader, const Video& video, bool useIndex = true);

// The frame at `position` (a fresh image, or the one returned last when asked
// again); false and an empty frame where it does not decode, past the end or
// for a negative position.
bool readFrameAt(FrameReader& reader, int position, cv::Mat& frame);

// The scan's read: the frame at the reader's next position, recorded in
// `index` (its time and digest, or that it did not decode).
bool readNextFrame(FrameReader& reader, cv::Mat& frame, FrameIndex& index);

}  // namespace shotscene

#endif  // SHOTSCENE_VIDEO_FRAME_READER_H_

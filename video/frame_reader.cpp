#include "video/frame_reader.h"

#include <chrono>
#include <opencv2/videoio.hpp>

#include "video/frame_digest.h"

namespace shotscene {

namespace {

// Skipping fewer frames than this is cheaper than a seek to the keyframe before.
constexpr int kSeekGap = 32;

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void reopen(FrameReader& reader) {
  reader.capture = std::make_shared<cv::VideoCapture>();
  reader.capture->open(reader.video->path, cv::CAP_FFMPEG);
  reader.next = 0;
  reader.ended = !reader.capture->isOpened();
  reader.checking = false;
}

// Seeking is given up for this reader; frames come from decoding forward.
void stopSeeking(FrameReader& reader) {
  reader.seekable = false;
  reopen(reader);
}

bool shouldSeek(const FrameReader& reader, int position) {
  if (reader.index == nullptr || !reader.seekable) return false;
  // Past a position that failed, a seek by frame position would count frames
  // differently from sequential decoding.
  if (position >= reader.index->leadingDecoded) return false;
  const int gap = position < reader.next ? position : position - reader.next;
  if (gap <= kSeekGap) return false;
  // A seek decodes from the keyframe before its target, so its cost varies;
  // after the first, seek only where the mean seek beats skipping at the pace
  // seen so far.
  if (reader.seeks > 0 && reader.skipped > 0) {
    return reader.seekSeconds / reader.seeks < gap * (reader.skipSeconds / reader.skipped);
  }
  return true;
}

// Whether what the read at the reader's position gave (`frame`, empty when it
// failed) is what sequential decoding gave there.
bool matchesIndex(const FrameReader& reader, const cv::Mat& frame) {
  const FrameIndex& index = *reader.index;
  if (reader.next >= static_cast<int>(index.frames.size())) {
    // Past the positions the scan read, the stream's end is the demuxer's,
    // whatever a seek did to the decoder, once a frame after the seek has
    // proved right; a frame there was never checked.
    return frame.empty() && reader.checkedSinceSeek;
  }
  const IndexedFrame& expected = index.frames[static_cast<size_t>(reader.next)];
  if (frame.empty()) return !expected.decoded;
  return expected.decoded && reader.capture->get(cv::CAP_PROP_POS_MSEC) == expected.milliseconds &&
         frameDigest(frame) == expected.digest;
}

// One read at the reader's position, which it then leaves. A failed read
// before the claimed frame count takes its position, as in the scan; past it,
// the end has come.
cv::Mat readOne(FrameReader& reader) {
  cv::Mat fresh;
  if (!reader.ended && (!reader.capture->read(fresh) || fresh.empty())) {
    fresh.release();
    if (reader.next >= reader.video->probe.frameCount) reader.ended = true;
  }
  if (reader.video->unreadable && reader.video->unreadable(reader.next)) fresh.release();
  return fresh;
}

}  // namespace

void openFrameReader(FrameReader& reader, const Video& video, bool useIndex) {
  reader = FrameReader{};
  reader.video = &video;
  if (useIndex && !video.index.frames.empty()) reader.index = &video.index;
  reopen(reader);
}

bool readFrameAt(FrameReader& reader, int position, cv::Mat& frame) {
  frame.release();
  if (position < 0) return false;
  if (position == reader.lastIndex) {
    frame = reader.last;
    return !frame.empty();
  }
  if (reader.index != nullptr && knownUndecodable(*reader.index, position)) return false;
  if (shouldSeek(reader, position)) {
    const auto start = std::chrono::steady_clock::now();
    if (!reader.capture->isOpened() || !reader.capture->set(cv::CAP_PROP_POS_FRAMES, position)) {
      stopSeeking(reader);
    } else {
      reader.seekSeconds += secondsSince(start);
      ++reader.seeks;
      reader.next = position;
      reader.ended = false;
      reader.checking = true;
      reader.checkedSinceSeek = false;
    }
  } else if (position < reader.next) {
    reopen(reader);
  }
  const auto start = std::chrono::steady_clock::now();
  const int from = reader.next;
  while (!reader.ended && reader.next < position) {
    if (reader.capture->grab()) {
      ++reader.next;
    } else if (reader.next < reader.video->probe.frameCount) {
      ++reader.next;  // a frame that does not decode still takes its position
    } else {
      reader.ended = true;
    }
  }
  reader.skipSeconds += secondsSince(start);
  reader.skipped += reader.next - from;
  cv::Mat fresh = readOne(reader);
  if (reader.checking) {
    if (!matchesIndex(reader, fresh)) {
      stopSeeking(reader);
      return readFrameAt(reader, position, frame);
    }
    reader.checkedSinceSeek = true;
  }
  if (reader.ended) return false;
  reader.lastIndex = reader.next++;
  reader.last = fresh;
  frame = fresh;
  return !frame.empty();
}

bool readNextFrame(FrameReader& reader, cv::Mat& frame, FrameIndex& index) {
  const int position = reader.next;
  const bool decoded = readFrameAt(reader, position, frame);
  recordFrame(index, frame, decoded ? reader.capture->get(cv::CAP_PROP_POS_MSEC) : 0.0);
  return decoded;
}

}  // namespace shotscene

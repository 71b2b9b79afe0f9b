#include "shots/video_source.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <opencv2/imgproc.hpp>

#include "shots/frame_digest.h"

namespace shotscene {

AnalysisScale analysisScaleFor(double width) {
  AnalysisScale scale;
  if (width > 600.0) {
    scale.resize = true;
    scale.factor = 512.0 / width;
  }
  return scale;
}

bool openVideo(cv::VideoCapture& capture, const std::string& path) {
  return capture.open(path, cv::CAP_FFMPEG);
}

bool probeVideo(cv::VideoCapture& capture, VideoProbe& probe) {
  const double count = capture.get(cv::CAP_PROP_FRAME_COUNT);
  probe.frameRate = static_cast<float>(capture.get(cv::CAP_PROP_FPS));
  probe.width = capture.get(cv::CAP_PROP_FRAME_WIDTH);
  probe.height = capture.get(cv::CAP_PROP_FRAME_HEIGHT);
  if (!(probe.frameRate > 0.0f && probe.frameRate < 100.0f)) return false;
  if (!std::isfinite(count) || count < 1.0 ||
      count >= static_cast<double>(std::numeric_limits<int>::max()) + 1.0) {
    return false;
  }
  if (!std::isfinite(probe.width) || !std::isfinite(probe.height)) return false;
  probe.frameCount = static_cast<int>(count);
  probe.scale = analysisScaleFor(probe.width);
  // cv::resize rounds the scaled sides; a side of 0 cannot be analysed.
  if (std::lround(probe.width * probe.scale.factor) < 1 ||
      std::lround(probe.height * probe.scale.factor) < 1) {
    return false;
  }
  return true;
}

const cv::Mat& prepareFrame(const cv::Mat& decoded, const AnalysisScale& scale, cv::Mat& scratch) {
  if (!scale.resize || decoded.empty()) return decoded;
  // A frame smaller than the probe claimed may scale to nothing; cv::resize
  // would throw, so it is treated as undecodable.
  if (cvRound(decoded.cols * scale.factor) < 1 || cvRound(decoded.rows * scale.factor) < 1) {
    scratch.release();
    return scratch;
  }
  cv::resize(decoded, scratch, cv::Size(0, 0), scale.factor, scale.factor, cv::INTER_LINEAR);
  return scratch;
}

WorkingSize workingSizeOf(cv::VideoCapture& capture) {
  WorkingSize size;
  size.decodedWidth = static_cast<int>(capture.get(cv::CAP_PROP_FRAME_WIDTH));
  size.decodedHeight = static_cast<int>(capture.get(cv::CAP_PROP_FRAME_HEIGHT));
  if (size.decodedWidth > 600) size.scale = 512.0 / size.decodedWidth;
  size.width = static_cast<int>(std::floor(size.decodedWidth * size.scale));
  size.height = static_cast<int>(std::floor(size.decodedHeight * size.scale));
  return size;
}

namespace {

// Skipping fewer frames than this is cheaper than a seek to the keyframe before.
constexpr int kSeekGap = 32;

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void reopen(FrameReader& reader) {
  reader.capture.release();
  openVideo(reader.capture, reader.path);
  reader.next = 0;
  reader.ended = !reader.capture.isOpened();
  reader.checking = false;
}

// Seeking is given up for this reader; frames come from decoding forward.
void stopSeeking(FrameReader& reader) {
  reader.seekable = false;
  reopen(reader);
}

bool shouldSeek(const FrameReader& reader, int index) {
  if (reader.index == nullptr || !reader.seekable) return false;
  // The forward reader stops at the first frame that does not decode.
  if (index >= reader.index->decoded) return false;
  const int gap = index < reader.next ? index : index - reader.next;
  if (gap <= kSeekGap) return false;
  // A seek decodes from the keyframe before its target, so its cost varies;
  // after the first, seek only where the mean seek beats skipping at the pace
  // seen so far.
  if (reader.seeks > 0 && reader.skipped > 0) {
    return reader.seekSeconds / reader.seeks < gap * (reader.skipSeconds / reader.skipped);
  }
  return true;
}

// Whether `frame`, just decoded as frame `index`, is what sequential decoding gave.
bool matchesIndex(FrameReader& reader, int index, const cv::Mat& frame) {
  if (index >= reader.index->decoded) return false;
  return reader.capture.get(cv::CAP_PROP_POS_MSEC) == reader.index->milliseconds[index] &&
         frameDigest(frame) == reader.index->digests[index];
}

// Whether sequential decoding also had no frame at `reader.next`.
bool endMatchesIndex(const FrameReader& reader) {
  const FrameIndex& index = *reader.index;
  if (reader.next < index.decoded) return false;
  if (index.decoded < static_cast<int>(index.digests.size())) return true;
  // Past the frames the scan read, the stream's end is the demuxer's, whatever
  // a seek did to the decoder, once a frame after the seek has proved right.
  return reader.checkedSinceSeek;
}

}  // namespace

void recordFrame(FrameIndex& index, cv::VideoCapture& capture, const cv::Mat& decoded) {
  if (decoded.empty()) {
    index.milliseconds.push_back(std::numeric_limits<double>::quiet_NaN());
    index.digests.push_back(0);
  } else {
    if (index.decoded == static_cast<int>(index.digests.size())) ++index.decoded;
    index.milliseconds.push_back(capture.get(cv::CAP_PROP_POS_MSEC));
    index.digests.push_back(frameDigest(decoded));
  }
}

std::pair<int, int> readerShare(int count, int thread, int threads) {
  const int half = (count + 1) / 2;
  if (threads == 1) return {0, count};
  return thread == 0 ? std::make_pair(0, half) : std::make_pair(half, count);
}

void openFrameReader(FrameReader& reader, const std::string& path, const FrameIndex* index) {
  reader.path = path;
  reader.index = index;
  reader.seekable = true;
  reader.skipSeconds = 0.0;
  reader.skipped = 0;
  reader.seekSeconds = 0.0;
  reader.seeks = 0;
  reader.lastIndex = -1;
  reader.last.release();
  reopen(reader);
}

bool readFrameAt(FrameReader& reader, int index, cv::Mat& frame) {
  frame.release();
  if (index < 0) return false;
  if (index == reader.lastIndex) {
    frame = reader.last;
    return !frame.empty();
  }
  if (shouldSeek(reader, index)) {
    const auto start = std::chrono::steady_clock::now();
    if (!reader.capture.isOpened() || !reader.capture.set(cv::CAP_PROP_POS_FRAMES, index)) {
      stopSeeking(reader);
    } else {
      reader.seekSeconds += secondsSince(start);
      ++reader.seeks;
      reader.next = index;
      reader.ended = false;
      reader.checking = true;
      reader.checkedSinceSeek = false;
    }
  } else if (index < reader.next) {
    reopen(reader);
  }
  const auto start = std::chrono::steady_clock::now();
  const int from = reader.next;
  while (!reader.ended && reader.next < index) {
    if (reader.capture.grab()) {
      ++reader.next;
    } else {
      reader.ended = true;
    }
  }
  reader.skipSeconds += secondsSince(start);
  reader.skipped += reader.next - from;
  cv::Mat fresh;
  if (!reader.ended && (!reader.capture.read(fresh) || fresh.empty())) reader.ended = true;
  if (reader.checking) {
    const bool proved =
        reader.ended ? endMatchesIndex(reader) : matchesIndex(reader, reader.next, fresh);
    if (!proved) {
      stopSeeking(reader);
      return readFrameAt(reader, index, frame);
    }
    reader.checkedSinceSeek = true;
  }
  if (reader.ended) return false;
  reader.lastIndex = reader.next++;
  reader.last = fresh;
  frame = fresh;
  return true;
}

cv::Mat greyAtWorkingScale(const cv::Mat& decoded, const WorkingSize& size) {
  const AnalysisScale scale{size.decodedWidth > 600, size.scale};
  cv::Mat scaled, grey;
  const cv::Mat& frame = prepareFrame(decoded, scale, scaled);
  if (!frame.empty()) cv::cvtColor(frame, grey, cv::COLOR_RGB2GRAY);
  return grey;
}

std::vector<cv::Mat> readGreyWindow(FrameReader& reader, int first, int last,
                                    const WorkingSize& size) {
  std::vector<cv::Mat> grey(static_cast<size_t>(std::max(0, last - first)));
  cv::Mat decoded;
  for (size_t k = 0; k < grey.size(); ++k) {
    if (readFrameAt(reader, first + static_cast<int>(k), decoded)) {
      grey[k] = greyAtWorkingScale(decoded, size);
    }
  }
  return grey;
}

}  // namespace shotscene

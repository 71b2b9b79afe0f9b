#include "shots/video_source.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <opencv2/imgproc.hpp>

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

void openFrameReader(FrameReader& reader, const std::string& path) {
  reader.path = path;
  openVideo(reader.capture, path);
  reader.next = 0;
  reader.ended = !reader.capture.isOpened();
  reader.lastIndex = -1;
  reader.last.release();
}

bool readFrameAt(FrameReader& reader, int index, cv::Mat& frame) {
  frame.release();
  if (index < 0) return false;
  if (index == reader.lastIndex) {
    frame = reader.last;
    return !frame.empty();
  }
  if (index < reader.next) openFrameReader(reader, reader.path);
  while (!reader.ended && reader.next < index) {
    if (reader.capture.grab()) {
      ++reader.next;
    } else {
      reader.ended = true;
    }
  }
  if (reader.ended) return false;
  cv::Mat fresh;
  if (!reader.capture.read(fresh) || fresh.empty()) {
    reader.ended = true;
    return false;
  }
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

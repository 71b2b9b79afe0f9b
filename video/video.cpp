#include "video/video.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

namespace shotscene {

AnalysisScale analysisScaleFor(double width, double height) {
  AnalysisScale scale;
  if (width > 600.0) {
    scale.resize = true;
    scale.factor = 512.0 / width;
  }
  scale.decodedWidth = static_cast<int>(width);
  scale.decodedHeight = static_cast<int>(height);
  scale.width = static_cast<int>(std::floor(scale.decodedWidth * scale.factor));
  scale.height = static_cast<int>(std::floor(scale.decodedHeight * scale.factor));
  return scale;
}

namespace {

// The decoder library prints a line of its own for every damaged packet,
// which would bury the tool's messages; the scan reports the frames it could
// not decode in one line instead. A level the user set is kept.
void quietDecoderLog() {
  static std::once_flag once;
  std::call_once(once, [] { ::setenv("OPENCV_FFMPEG_LOGLEVEL", "-8", 0); });
}

// Every pass reads the video anew, which a pipe, a device or a socket cannot
// give, and opening one may block for ever.
bool isRegularFile(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

// A container that states no frame count (a still image, some raw streams)
// has its frames counted by decoding them, up to the first that fails.
double countFramesByDecoding(cv::VideoCapture& capture) {
  double frames = 0.0;
  while (frames < std::numeric_limits<int>::max() && capture.grab()) frames += 1.0;
  return frames;
}

}  // namespace

bool openVideo(Video& video, const std::string& path) {
  video = Video{};
  video.path = path;
  if (!isRegularFile(path)) return false;
  quietDecoderLog();
  cv::VideoCapture capture;
  if (!capture.open(path, cv::CAP_FFMPEG)) return false;
  VideoProbe& probe = video.probe;
  double count = capture.get(cv::CAP_PROP_FRAME_COUNT);
  if (!std::isfinite(count) || count < 1.0) count = countFramesByDecoding(capture);
  probe.exactFrameRate = capture.get(cv::CAP_PROP_FPS);
  probe.frameRate = static_cast<float>(probe.exactFrameRate);
  probe.width = capture.get(cv::CAP_PROP_FRAME_WIDTH);
  probe.height = capture.get(cv::CAP_PROP_FRAME_HEIGHT);
  if (!(probe.frameRate > 0.0f && probe.frameRate < 100.0f)) return false;
  if (!std::isfinite(count) || count < 1.0 ||
      count >= static_cast<double>(std::numeric_limits<int>::max()) + 1.0) {
    return false;
  }
  if (!(std::fabs(probe.width) < 1e9) || !(std::fabs(probe.height) < 1e9)) return false;
  probe.frameCount = static_cast<int>(count);
  video.scale = analysisScaleFor(probe.width, probe.height);
  // cv::resize rounds the scaled sides; a side of 0 cannot be analysed.
  return std::lround(probe.width * video.scale.factor) >= 1 &&
         std::lround(probe.height * video.scale.factor) >= 1;
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

}  // namespace shotscene

// The video under analysis: opened and probed once, with what the scan decoded.
// Every access to the video file goes through this folder.
#ifndef SHOTSCENE_VIDEO_VIDEO_H_
#define SHOTSCENE_VIDEO_VIDEO_H_

#include <functional>
#include <opencv2/core.hpp>
#include <string>

#include "video/frame_index.h"

namespace shotscene {

// The scale frames are analysed at: frames wider than 600 px are resized by
// 512 / width in both directions, others are used as decoded.
struct AnalysisScale {
  bool resize = false;
  double factor = 1.0;
  int decodedWidth = 0;  // the decoder's frame size, truncated
  int decodedHeight = 0;
  int width = 0;  // floor(decodedWidth * factor): the size the transition tests assume
  int height = 0;
};

AnalysisScale analysisScaleFor(double width, double height);

// The container's claims.
struct VideoProbe {
  int frameCount = 0;
  float frameRate = 0.0f;       // as the analysis and the subtitles use it
  double exactFrameRate = 0.0;  // before narrowing, for the exports' timecodes
  double width = 0.0;
  double height = 0.0;
};

struct Video {
  std::string path;
  VideoProbe probe;
  AnalysisScale scale;
  FrameIndex index;  // filled by the scan, read by every later reader
  // Positions that read as undecodable whatever the file holds there. Unset in
  // the tool; tests set it to stand for damaged frames at chosen positions.
  std::function<bool(int position)> unreadable;
};

// Opens and probes the video. False when it is not a regular file (a pipe,
// device or socket cannot be read more than once), or cannot be opened or
// analysed: frame rate not strictly between 0 and 100, frame count below 1 or
// above 2^31 - 1, or a side of the analysis size that rounds to 0. A count
// the container does not state is found by decoding. The FFmpeg backend
// alone opens it: other backends would take a file name they cannot open for
// a pipeline description to run.
bool openVideo(Video& video, const std::string& path);

// The decoded frame at the analysis scale; shares `decoded` when not resizing,
// otherwise fills and returns `scratch`. Empty when the frame is too small to scale.
const cv::Mat& prepareFrame(const cv::Mat& decoded, const AnalysisScale& scale, cv::Mat& scratch);

}  // namespace shotscene

#endif  // SHOTSCENE_VIDEO_VIDEO_H_

// Video access for the analysis: open, probe, and frames at the analysis scale.
#ifndef SHOTSCENE_SHOTS_VIDEO_SOURCE_H_
#define SHOTSCENE_SHOTS_VIDEO_SOURCE_H_

#include <cstdint>
#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>
#include <string>
#include <utility>
#include <vector>

namespace shotscene {

// Frames wider than 600 px are analysed at 512 px width, both axes scaled alike.
struct AnalysisScale {
  bool resize = false;
  double factor = 1.0;
};

struct VideoProbe {
  int frameCount = 0;
  float frameRate = 0.0f;
  double width = 0.0;
  double height = 0.0;
  AnalysisScale scale;
};

AnalysisScale analysisScaleFor(double width);

// Opens the video with FFmpeg only: other backends would take a file name
// they cannot open for a pipeline description to run.
bool openVideo(cv::VideoCapture& capture, const std::string& path);

// Reads the container's claims. False when the video cannot be analysed: frame
// rate not strictly between 0 and 100, frame count below 1, not finite or above
// 2^31 - 1, or a side of the analysis size that rounds to 0.
bool probeVideo(cv::VideoCapture& capture, VideoProbe& probe);

// The decoded frame at the analysis scale; shares `decoded` when not resizing,
// otherwise fills and returns `scratch`.
const cv::Mat& prepareFrame(const cv::Mat& decoded, const AnalysisScale& scale, cv::Mat& scratch);

// Frame size used by the transition tests: the decoder's width and height
// truncated, scaled by 512 / width when wider than 600 px.
struct WorkingSize {
  int decodedWidth = 0;
  int decodedHeight = 0;
  double scale = 1.0;
  int width = 0;   // floor(decodedWidth * scale)
  int height = 0;  // floor(decodedHeight * scale)
};

WorkingSize workingSizeOf(cv::VideoCapture& capture);

// What sequential decoding gave for each frame: its presentation time and a
// digest of its pixels; NaN and 0 where a frame did not decode. Filled by the
// scan so that later readers can seek and check where they landed.
struct FrameIndex {
  std::vector<double> milliseconds;
  std::vector<uint64_t> digests;
  int decoded = 0;  // leading frames that all decoded
};

// Appends the frame the capture decoded last (empty when it did not decode).
void recordFrame(FrameIndex& index, cv::VideoCapture& capture, const cv::Mat& decoded);

// Frames by 0-based decoding index, always the pixels sequential decoding
// gives. A seek by frame position lands a few frames off on some files
// (B-frames, odd time bases) and may decode differently after it, so without
// an index the reader never seeks: it decodes forward from the start, skipping
// frames without converting them, and reopens the video to go back. With an
// index it seeks over long gaps, checks the time and digest of every frame it
// returns after a seek, and on any mismatch goes back to decoding forward for
// good. It seeks only where seeks have been cheaper than skipping.
struct FrameReader {
  std::string path;
  cv::VideoCapture capture;
  int next = 0;        // index of the frame the next decode gives
  bool ended = false;  // nothing decodes from `next` on
  int lastIndex = -1;  // the frame returned last, kept for a repeated request
  cv::Mat last;
  const FrameIndex* index = nullptr;  // not owned; null: never seek
  bool seekable = true;               // false once a seek was found wrong
  bool checking = false;              // frames since the last seek are checked
  bool checkedSinceSeek = false;      // one of them proved right
  double skipSeconds = 0.0;           // time spent skipping frames forward ...
  int skipped = 0;                    // ... and how many
  double seekSeconds = 0.0;           // time spent seeking ...
  int seeks = 0;                      // ... and how many seeks
};

// The requests [first, end) of `count` in order that reader `thread` of
// `threads` (1 or 2) serves: two contiguous halves, the first one larger, so
// that each reader only goes forward.
std::pair<int, int> readerShare(int count, int thread, int threads);

void openFrameReader(FrameReader& reader, const std::string& path,
                     const FrameIndex* index = nullptr);

// Frame `index` (a fresh image, or the one returned last when asked again);
// false and an empty frame past the end or for a negative index.
bool readFrameAt(FrameReader& reader, int index, cv::Mat& frame);

// Frames first .. last - 1 as grey images (RGB-to-grey on the BGR data) at the
// working scale; a frame that does not decode gives an empty image.
std::vector<cv::Mat> readGreyWindow(FrameReader& reader, int first, int last,
                                    const WorkingSize& size);

// The grey image of a decoded frame at the working scale.
cv::Mat greyAtWorkingScale(const cv::Mat& decoded, const WorkingSize& size);

}  // namespace shotscene

#endif  // SHOTSCENE_SHOTS_VIDEO_SOURCE_H_

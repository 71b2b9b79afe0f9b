// Videos with known shot boundaries, made at test time: shots of panning
// textured pictures joined by cuts, cross-dissolves, wipes and dips, with
// optional one-frame white flashes.
#ifndef SHOTSCENE_TOOLS_TEST_VIDEO_H_
#define SHOTSCENE_TOOLS_TEST_VIDEO_H_

#include <cstdint>
#include <map>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

namespace shotscene::testing {

// A dip fades the picture out to a plain grey level and the next one in from it.
enum class SegmentKind { kShot, kDissolve, kWipeLeftToRight, kWipeTopToBottom, kDip };

// A shot shows picture `seed`, mirrored left to right when `mirrored`: the
// same colours, another picture. A transition goes from picture `seed` to
// `toSeed`, easing in and out; a dip passes through grey level `dipLevel`
// (0 black, 255 white) in its middle third.
struct Segment {
  SegmentKind kind = SegmentKind::kShot;
  int length = 0;
  int seed = 0;
  int toSeed = 0;
  bool mirrored = false;
  int dipLevel = 0;
};

// How a seed other than a plain picture's is seen: picture `picture` through
// a camera `zoom` times closer to its centre, panning `pan` pixels a frame
// (along with the plan's pan), with three textured discs in front drifting a
// pixel a frame from places drawn from `objects` (0: none). A `flat` view is
// a cartoon instead: flat-coloured fish swimming across the frame, each
// crossing it in 12 to 30 frames, drawn anew every third frame.
struct View {
  int picture = 0;
  double zoom = 1.0;
  cv::Point pan{0, 0};
  int objects = 0;
  bool flat = false;
};

struct VideoPlan {
  cv::Size size{320, 240};
  double fps = 25.0;
  std::vector<Segment> segments;
  std::vector<int> flashes;  // 0-based frames replaced by plain white
  bool still = false;        // no camera pan
  // Standard deviation of per-frame grain, in grey levels. Without grain the
  // frames of a still shot are identical and any change, however small, looks
  // as unlike as a dissolve step.
  double grain = 0.0;
  // A handheld camera: every frame moved up to about `shake` pixels along a
  // smooth wandering path and blurred along its motion; 0 holds it steady.
  double shake = 0.0;
  // First frames of a dark blurred disc that crosses the picture close to the
  // lens in 16 frames.
  std::vector<int> occluders;
  std::map<int, View> views;  // by segment seed
};

// Appends a shot; directly after another shot this makes a cut.
void addShot(VideoPlan& plan, int seed, int length);

// `count` shots of pictures 1, 2, ... of `length` frames each, joined by cuts.
VideoPlan cutsPlan(cv::Size size, int count, int length);

// An opening shot, then until at least `frames` frames a scene of one colour
// family: cut, shot, cut, shot, dissolve, shot, wipe back to the scene's
// first picture with a flash in its middle.
VideoPlan demoPlan(cv::Size size, double fps, int frames);

// A picture with many corners and a hue palette of its own. Seeds 1xx, 2xx
// and 3xx are three families whose saturation and brightness lie far apart.
cv::Mat texturedPicture(int seed, cv::Size size);

int frameCount(const VideoPlan& plan);
// 1-based first and last frame of every transition.
std::vector<std::pair<int, int>> transitionSpans(const VideoPlan& plan);

// codec: "FFV1" (lossless, .avi or .mkv), "avc1" (H.264, .mp4) or "MJPG".
bool writeVideo(const VideoPlan& plan, const std::string& path, const std::string& codec = "FFV1");

// Rewrites the frame count that an AVI file's main and video stream headers
// claim, leaving the frames as they are. False when the headers are not found.
bool setAviFrameCount(const std::string& path, uint32_t frames);
// Rewrites the frame rate an AVI file claims as rate / scale frames a second.
bool setAviFrameRate(const std::string& path, uint32_t rate, uint32_t scale);

}  // namespace shotscene::testing

#endif  // SHOTSCENE_TOOLS_TEST_VIDEO_H_

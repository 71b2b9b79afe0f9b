#include "tools/test_video.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

namespace shotscene::testing {

namespace {

constexpr int kPanMargin = 32;  // pixels the camera travels back and forth

int panOffset(int frame) {
  const int phase = frame % (2 * kPanMargin);
  return phase < kPanMargin ? phase : 2 * kPanMargin - phase;
}

// Saturation and value ranges of a picture's palette, by the hundreds of its
// seed: seeds 1xx (dim, nearly grey), 2xx (vivid and bright) and 3xx (muted
// middle) make families of pictures whose colours lie far apart.
struct Look {
  int satLow, satHigh, valLow, valHigh;
};

Look lookOf(int seed) {
  static const Look kLooks[] = {
      {60, 175, 40, 256}, {15, 60, 45, 115}, {200, 256, 190, 250}, {90, 140, 110, 170}};
  const int family = seed / 100;
  return kLooks[family >= 1 && family <= 3 ? family : 0];
}

// Draws are made one statement at a time, last channel first: as arguments of
// one call their order would be the compiler's choice, and the pictures with it.
cv::Vec3b paletteColour(cv::RNG& rng, int baseHue, const Look& look) {
  const int value = rng.uniform(look.valLow, look.valHigh);
  const int saturation = rng.uniform(look.satLow, look.satHigh);
  const int hue = (baseHue + rng.uniform(-45, 46) + 180) % 180;
  cv::Mat hsv(1, 1, CV_8UC3, cv::Scalar(hue, saturation, value));
  cv::Mat bgr;
  cv::cvtColor(hsv, bgr, cv::COLOR_HSV2BGR);
  return bgr.at<cv::Vec3b>(0, 0);
}

}  // namespace

cv::Mat texturedPicture(int seed, cv::Size size) {
  cv::RNG rng(0x9E3779B9u ^ static_cast<unsigned>(seed * 7919 + 17));
  // Pictures of one family differ in hue, not in saturation or brightness.
  const int baseHue =
      seed >= 100 ? ((seed / 100) * 60 + (seed % 100) * 47) % 180 : (seed * 47) % 180;
  const Look look = lookOf(seed);
  // A smooth blotchy background: a flat one would be one huge histogram bin
  // that jumps as soon as a dissolve starts.
  cv::Mat_<cv::Vec3b> coarse(std::max(2, size.height / 24), std::max(2, size.width / 24));
  for (cv::Vec3b& c : coarse) c = paletteColour(rng, baseHue, look);  // row by row
  cv::Mat picture;
  cv::resize(coarse, picture, size, 0, 0, cv::INTER_LINEAR);
  const int shapes = std::max(40, size.area() / 900);
  const int maxSide = std::max(4, std::min(size.width, size.height) / 6);
  for (int k = 0; k < shapes; ++k) {
    const int y = rng.uniform(0, std::max(1, size.height));  // before x, see paletteColour
    const cv::Point at(rng.uniform(0, std::max(1, size.width)), y);
    const int side = rng.uniform(2, maxSide + 1);
    const cv::Scalar colour(paletteColour(rng, baseHue, look));
    switch (k % 3) {
      case 0:
        cv::rectangle(picture, at, at + cv::Point(side, side * 2 / 3 + 1), colour, cv::FILLED);
        break;
      case 1:
        cv::circle(picture, at, side / 2 + 1, colour, cv::FILLED);
        break;
      default:
        cv::line(picture, at, at + cv::Point(side, -side / 2), colour, 2);
    }
  }
  return picture;
}

namespace {

// A flat-coloured drawing at frame `frame` of view `seed`: fish of flat
// colours swimming across water, each crossing in 12 to 30 frames, drawn anew
// every third frame as cartoons are.
cv::Mat animationFrame(int seed, cv::Size size, int frame) {
  frame -= frame % 3;
  cv::Mat out(size, CV_8UC3, cv::Scalar(160, 90, 20));
  cv::rectangle(out, cv::Rect(0, size.height * 6 / 7, size.width, size.height),
                cv::Scalar(60, 140, 180), cv::FILLED);
  cv::RNG rng(static_cast<unsigned>(seed * 131 + 7));
  for (int k = 0; k < 12; ++k) {
    const double radius = rng.uniform(0.04, 0.08) * size.height;
    const double speed = rng.uniform(size.width / 30.0, size.width / 12.0) * (k % 2 ? 1 : -1);
    const double span = size.width + 4 * radius;
    const double x =
        std::fmod(rng.uniform(0.0, span) + speed * frame + 100 * span, span) - 2 * radius;
    const cv::Point centre(cvRound(x), cvRound(rng.uniform(0.15, 0.85) * size.height));
    cv::Scalar colour;  // one draw a statement, see paletteColour
    for (int c = 0; c < 3; ++c) colour[c] = rng.uniform(0, 256);
    cv::ellipse(out, centre, cv::Size(cvRound(radius), cvRound(radius / 2)), 0, 0, 360, colour,
                cv::FILLED, cv::LINE_AA);
    const int back = speed > 0 ? -1 : 1;
    const std::vector<cv::Point> tail = {
        centre + cv::Point(cvRound(back * radius * 0.8), 0),
        centre + cv::Point(cvRound(back * radius * 1.6), cvRound(-radius / 2)),
        centre + cv::Point(cvRound(back * radius * 1.6), cvRound(radius / 2))};
    cv::fillPoly(out, std::vector<std::vector<cv::Point>>{tail}, colour, cv::LINE_AA);
  }
  return out;
}

// The picture as the camera sees it at the given frame; pictures are made once.
cv::Mat viewOf(std::map<int, cv::Mat>& pictures, const VideoPlan& plan, int seed, int frame) {
  const auto view = plan.views.find(seed);
  const View* v = view == plan.views.end() ? nullptr : &view->second;
  if (v != nullptr && v->flat) return animationFrame(seed, plan.size, frame);
  const int picture = v == nullptr ? seed : v->picture;
  // Pictures seen through views move further: a larger picture, centred.
  const int extra = v == nullptr ? 0 : 4 * (plan.size.width + plan.size.height);
  const int key = v == nullptr ? seed : -1 - picture;
  auto it = pictures.find(key);
  if (it == pictures.end()) {
    const cv::Size margin(kPanMargin + extra, kPanMargin + extra);
    it = pictures.emplace(key, texturedPicture(picture, plan.size + margin)).first;
  }
  const int offset = plan.still ? 0 : panOffset(frame);
  if (v == nullptr)
    return it->second(cv::Rect(offset, offset / 2, plan.size.width, plan.size.height));
  const cv::Size seen(cvRound(plan.size.width / v->zoom), cvRound(plan.size.height / v->zoom));
  const cv::Point at(
      extra / 2 + offset + v->pan.x * frame + (plan.size.width - seen.width) / 2,
      extra / 2 + offset / 2 + v->pan.y * frame + (plan.size.height - seen.height) / 2);
  cv::Mat out;
  cv::resize(it->second(cv::Rect(at, seen)), out, plan.size, 0, 0, cv::INTER_AREA);
  cv::RNG rng(static_cast<unsigned>(v->objects * 977 + 3));
  for (int k = 0; v->objects != 0 && k < 2; ++k) {
    const int radius = plan.size.height / 10;
    const int x = rng.uniform(radius, plan.size.width - radius) + panOffset(frame);
    const cv::Point centre(x, rng.uniform(radius, plan.size.height - radius));
    cv::Mat disc = texturedPicture(900 + k, cv::Size(2 * radius, 2 * radius));
    cv::Mat mask(disc.size(), CV_8U, cv::Scalar(0));
    cv::circle(mask, {radius, radius}, radius, cv::Scalar(255), cv::FILLED);
    const cv::Rect place = cv::Rect(centre - cv::Point(radius, radius), disc.size()) &
                           cv::Rect(cv::Point(0, 0), plan.size);
    disc(place - (centre - cv::Point(radius, radius)))
        .copyTo(out(place), mask(place - (centre - cv::Point(radius, radius))));
  }
  return out;
}

// Film grain that differs from frame to frame but not from run to run.
void addGrain(cv::Mat& frame, double sigma, int index) {
  if (sigma <= 0.0) return;
  cv::Mat noise(frame.size(), CV_16SC3);
  cv::RNG rng(0x5DEECE66Du + static_cast<uint64_t>(index));
  rng.fill(noise, cv::RNG::NORMAL, 0.0, sigma);
  cv::Mat wide;
  frame.convertTo(wide, CV_16SC3);
  wide += noise;
  wide.convertTo(frame, CV_8UC3);  // saturates
}

// Where the handheld camera points at a frame: a few incommensurate swings.
cv::Point2d shakeAt(double shake, int frame) {
  const double f = frame;
  return {shake * (std::sin(0.73 * f) + 0.6 * std::sin(2.3 * f + 1.0)),
          shake * (std::cos(0.91 * f) + 0.6 * std::sin(1.9 * f + 2.0)) * 0.6};
}

// Moves the frame as the handheld camera did, smeared along the move since
// the frame before.
void applyShake(cv::Mat& frame, double shake, int index) {
  if (shake <= 0.0) return;
  const cv::Point2d at = shakeAt(shake, index);
  const cv::Point2d move = at - shakeAt(shake, index - 1);
  const cv::Mat shift = (cv::Mat_<double>(2, 3) << 1, 0, at.x, 0, 1, at.y);
  cv::Mat moved;
  cv::warpAffine(frame, moved, shift, frame.size(), cv::INTER_LINEAR, cv::BORDER_REFLECT_101);
  const int reach = std::max(1, cvRound(std::hypot(move.x, move.y)));
  cv::Mat kernel = cv::Mat::zeros(2 * reach + 1, 2 * reach + 1, CV_32F);
  const cv::Point centre(reach, reach);
  const cv::Point half(cvRound(move.x / 2), cvRound(move.y / 2));
  cv::line(kernel, centre - half, centre + half, cv::Scalar(1.0));
  kernel /= cv::sum(kernel)[0];
  cv::filter2D(moved, frame, -1, kernel);
}

// The dark disc of an occluder `k` frames after it appears at the left edge.
void addOccluder(cv::Mat& frame, int k) {
  const int radius = frame.rows * 2 / 5;
  const cv::Point centre(-radius + (frame.cols + 2 * radius) * k / 15, frame.rows / 2);
  cv::Mat shade(frame.size(), CV_32F, cv::Scalar(0.0));
  cv::circle(shade, centre, radius, cv::Scalar(0.85), cv::FILLED);
  cv::GaussianBlur(shade, shade, cv::Size(), radius / 3.0);
  cv::Mat keep;
  cv::merge(std::vector<cv::Mat>(3, 1.0 - shade), keep);
  cv::Mat wide;
  frame.convertTo(wide, CV_32FC3);
  wide = wide.mul(keep);
  wide.convertTo(frame, CV_8UC3);
}

// Overwrites 32-bit little-endian fields, at the given offsets in the data of
// the AVI file's main header and of its video stream header.
bool patchAviHeaders(const std::string& path,
                     std::initializer_list<std::pair<size_t, uint32_t>> avih,
                     std::initializer_list<std::pair<size_t, uint32_t>> strh) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  // The video stream header's data starts with its type.
  const size_t main = bytes.find("avih"), stream = bytes.find("vids");
  if (main == std::string::npos || main + 28 > bytes.size() || stream == std::string::npos ||
      stream < 8 || stream + 40 > bytes.size() || bytes.compare(stream - 8, 4, "strh") != 0) {
    return false;
  }
  for (const auto& [data, fields] : {std::pair{main + 8, avih}, std::pair{stream, strh}}) {
    for (const auto& [at, value] : fields) {
      for (int k = 0; k < 4; ++k) bytes[data + at + k] = static_cast<char>(value >> (8 * k));
    }
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  return static_cast<bool>(out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())));
}

}  // namespace

void addShot(VideoPlan& plan, int seed, int length) {
  plan.segments.push_back({SegmentKind::kShot, length, seed, seed});
}

VideoPlan cutsPlan(cv::Size size, int count, int length) {
  VideoPlan plan;
  plan.size = size;
  for (int seed = 1; seed <= count; ++seed) addShot(plan, seed, length);
  return plan;
}

VideoPlan demoPlan(cv::Size size, double fps, int frames) {
  VideoPlan plan;
  plan.size = size;
  plan.fps = fps;
  plan.still = true;
  plan.grain = 2.0;
  // An opening shot of its own length keeps the cuts of the repeated pattern
  // off the frame that joins two scan ranges.
  addShot(plan, 0, 40);
  // Each repetition is one scene: pictures of one colour family, the first
  // one seen again at its end.
  for (int scene = 0; frameCount(plan) < frames; ++scene) {
    const int seed = (scene % 3 + 1) * 100 + 10 * (scene / 3);
    addShot(plan, seed, 60);
    addShot(plan, seed + 1, 45);
    plan.segments.push_back({SegmentKind::kDissolve, 24, seed + 1, seed + 2});
    addShot(plan, seed + 2, 55);
    plan.segments.push_back({SegmentKind::kWipeLeftToRight, 12, seed + 2, seed});
    addShot(plan, seed, 50);
    plan.flashes.push_back(frameCount(plan) - 25);
  }
  return plan;
}

int frameCount(const VideoPlan& plan) {
  int count = 0;
  for (const Segment& s : plan.segments) count += s.length;
  return count;
}

std::vector<std::pair<int, int>> transitionSpans(const VideoPlan& plan) {
  std::vector<std::pair<int, int>> spans;
  int first = 1;
  for (const Segment& s : plan.segments) {
    if (s.kind != SegmentKind::kShot) spans.emplace_back(first, first + s.length - 1);
    first += s.length;
  }
  return spans;
}

bool writeVideo(const VideoPlan& plan, const std::string& path, const std::string& codec) {
  const int fourcc = cv::VideoWriter::fourcc(codec[0], codec[1], codec[2], codec[3]);
  cv::VideoWriter writer(path, cv::CAP_FFMPEG, fourcc, plan.fps, plan.size, true);
  if (!writer.isOpened()) return false;
  std::map<int, cv::Mat> pictures;
  const auto view = [&](int seed, int frame) { return viewOf(pictures, plan, seed, frame); };
  cv::Mat frame(plan.size, CV_8UC3);
  const cv::Mat white(plan.size, CV_8UC3, cv::Scalar::all(255));
  int index = 0;
  for (const Segment& s : plan.segments) {
    for (int k = 0; k < s.length; ++k, ++index) {
      // Progress of a transition, strictly between 0 and 1, easing in and out
      // as editors' transitions do: the picture changes fastest in the middle.
      const double u = (k + 1.0) / (s.length + 1.0);
      const double t = u * u * (3.0 - 2.0 * u);
      switch (s.kind) {
        case SegmentKind::kShot:
          view(s.seed, index).copyTo(frame);
          if (s.mirrored) cv::flip(frame, frame, 1);
          break;
        case SegmentKind::kDissolve:
          cv::addWeighted(view(s.seed, index), 1.0 - t, view(s.toSeed, index), t, 0.0, frame);
          break;
        case SegmentKind::kDip: {
          // Out over the first third, the plain level over the second, in over the last.
          const double out = std::clamp(3.0 * u, 0.0, 1.0),
                       in = std::clamp(3.0 * u - 2.0, 0.0, 1.0);
          const cv::Mat plain(plan.size, CV_8UC3, cv::Scalar::all(s.dipLevel));
          if (in <= 0.0) {
            cv::addWeighted(view(s.seed, index), 1.0 - out, plain, out, 0.0, frame);
          } else {
            cv::addWeighted(plain, 1.0 - in, view(s.toSeed, index), in, 0.0, frame);
          }
          break;
        }
        case SegmentKind::kWipeLeftToRight:
        case SegmentKind::kWipeTopToBottom: {
          view(s.seed, index).copyTo(frame);
          const bool across = s.kind == SegmentKind::kWipeLeftToRight;
          const cv::Rect covered =
              across ? cv::Rect(0, 0, cvRound(t * plan.size.width), plan.size.height)
                     : cv::Rect(0, 0, plan.size.width, cvRound(t * plan.size.height));
          view(s.toSeed, index)(covered).copyTo(frame(covered));
          break;
        }
      }
      if (std::count(plan.flashes.begin(), plan.flashes.end(), index) > 0) {
        writer.write(white);
      } else {
        applyShake(frame, plan.shake, index);
        for (int first : plan.occluders) {
          if (index >= first && index < first + 16) addOccluder(frame, index - first);
        }
        addGrain(frame, plan.grain, index);
        writer.write(frame);
      }
    }
  }
  writer.release();
  return true;
}

bool setAviFrameCount(const std::string& path, uint32_t frames) {
  // avih: dwTotalFrames after four other fields. strh: type, handler, flags,
  // priority and language, initial frames, scale, rate, start, then dwLength.
  return patchAviHeaders(path, {{16, frames}}, {{32, frames}});
}

bool setAviFrameRate(const std::string& path, uint32_t rate, uint32_t scale) {
  const auto microseconds = rate == 0 ? 0 : static_cast<uint32_t>(1e6 * scale / rate);
  return patchAviHeaders(path, {{0, microseconds}}, {{20, scale}, {24, rate}});
}

}  // namespace shotscene::testing

#include "exports/contact_sheet.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <sstream>

#include "common/keyframe_images.h"
#include "common/naming.h"
#include "common/output_file.h"
#include "exports/export_formats.h"
#include "video/frame_reader.h"

namespace shotscene {

namespace {

namespace fs = std::filesystem;

constexpr int kThumbnailWidth = 160;
const char* const kSceneColours[] = {"#4e79a7", "#f28e2b", "#59a14f", "#e15759",
                                     "#76b7b2", "#edc948", "#b07aa1", "#9c755f"};

// The timeline, in frames across and these units (pixels) down: the curve's
// band (a narrow one for the boundaries alone without a curve), a gap, the strip.
constexpr int kCurveHeight = 100;
constexpr int kBareBandHeight = 16;
constexpr int kStripGap = 4;
constexpr int kStripHeight = 24;
// More points than this are drawn as the least similar pair of each stretch,
// so that a dip stays visible however long the video.
constexpr int kMostCurvePoints = 4000;

// Boundary marks by transition type (0 cut, 1 dissolve, 2 wipe, then unknown):
// a colour and a dash pattern, so that they differ in grey too.
struct BoundaryMark {
  const char* name;
  const char* colour;
  const char* dashes;
  const char* legendLine;  // the CSS border style that looks alike
};
constexpr BoundaryMark kBoundaryMarks[] = {{"cut", "#c00000", "none", "solid"},
                                           {"dissolve", "#0060c0", "6 3", "dashed"},
                                           {"wipe", "#008000", "2 2", "dotted"},
                                           {"untyped", "#808080", "none", "solid"}};

const BoundaryMark& boundaryMark(int type) {
  return kBoundaryMarks[type >= 0 && type <= 2 ? type : 3];
}

// A polyline through one value per pair: pair i joins frames i + 1 and i + 2,
// so it sits at x = i + 1, with 1.0 at the top of the curve's band.
std::string curvePoints(const std::vector<PairStatistics>& pairs,
                        float (*value)(const PairStatistics&)) {
  const size_t step = (pairs.size() + kMostCurvePoints - 1) / kMostCurvePoints;
  std::ostringstream points;
  points.precision(4);
  for (size_t i = 0; i < pairs.size(); i += std::max<size_t>(step, 1)) {
    size_t lowest = i;
    for (size_t j = i; j < std::min(pairs.size(), i + step); ++j) {
      if (value(pairs[j]) < value(pairs[lowest])) lowest = j;
    }
    const float v = std::clamp(value(pairs[lowest]), 0.0f, 1.0f);
    points << (i ? " " : "") << lowest + 1 << "," << kCurveHeight * (1.0f - v);
  }
  return points.str();
}

// The similarity curve over the whole video when the statistics are there,
// the shot boundaries marked by type, and the shots as a strip coloured by
// scene; shot k's piece of the strip (id tK) links to its figure (shotK).
std::string timeline(const ExportResults& r) {
  const int band = r.pairs.empty() ? kBareBandHeight : kCurveHeight;
  const int stripTop = band + kStripGap, height = stripTop + kStripHeight;
  std::ostringstream svg;
  svg << "<svg class=\"timeline\" width=\"100%\" height=\"" << height << "\" viewBox=\"0 0 "
      << std::max(r.frameCount, 1) << " " << height
      << "\" preserveAspectRatio=\"none\"><rect width=\"100%\" height=\"" << band
      << "\" fill=\"#f4f4f4\"/>";
  if (!r.pairs.empty()) {
    svg << "<polyline class=\"smoothed\" fill=\"none\" stroke=\"#aaa\" stroke-width=\"1\" "
           "vector-effect=\"non-scaling-stroke\" points=\""
        << curvePoints(r.pairs, [](const PairStatistics& p) { return p.smoothed; })
        << "\"/><polyline class=\"similarity\" fill=\"none\" stroke=\"#222\" "
           "stroke-width=\"1\" vector-effect=\"non-scaling-stroke\" points=\""
        << curvePoints(r.pairs, [](const PairStatistics& p) { return p.measure.similarity; })
        << "\"/>";
  }
  bool untyped = false;
  for (size_t k = 0; k < r.shots.size(); ++k) {
    const ExportShot& s = r.shots[k];
    const size_t pair = static_cast<size_t>(s.last - 1);
    if (k + 1 < r.shots.size()) {
      const int type =
          s.type >= 0 || pair >= r.pairs.size() ? s.type : r.pairs[pair].transitionType;
      const BoundaryMark& mark = boundaryMark(type);
      untyped = untyped || &mark == &kBoundaryMarks[3];
      svg << "<line class=\"" << mark.name << "\" x1=\"" << s.last << "\" x2=\"" << s.last
          << "\" y1=\"0\" y2=\"" << stripTop << "\" stroke=\"" << mark.colour
          << "\" stroke-width=\"2\" stroke-dasharray=\"" << mark.dashes
          << "\" vector-effect=\"non-scaling-stroke\"/>";
    }
    const int scene = s.scene > 0 ? s.scene - 1 : 0;
    svg << "<a href=\"#shot" << k + 1 << "\" id=\"t" << k + 1 << "\"><rect x=\"" << s.first - 1
        << "\" y=\"" << stripTop << "\" width=\"" << s.last - s.first + 1 << "\" height=\""
        << kStripHeight << "\" fill=\"" << kSceneColours[scene % 8] << "\"><title>Shot " << k + 1
        << ": frames " << s.first << "&ndash;" << s.last << "</title></rect></a>";
  }
  svg << "</svg>\n<p class=\"legend\">";
  if (r.pairs.empty()) {
    svg << "Shot boundaries (shotscene --stats adds the similarity curve): ";
  } else {
    svg << "Similarity of each frame to the next (black, 1 at the top; grey: smoothed). "
           "Shot boundaries: ";
  }
  for (const BoundaryMark& mark : kBoundaryMarks) {
    if (&mark == &kBoundaryMarks[3] && !untyped) continue;
    svg << "<span style=\"border-bottom:3px " << mark.legendLine << " " << mark.colour << "\">"
        << mark.name << "</span> ";
  }
  svg << "</p>\n";
  return svg.str();
}

}  // namespace

std::string urlEncoded(const std::string& name) {
  std::string out;
  for (unsigned char c : name) {
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
      out += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  return out;
}

bool writeContactSheet(const ExportResults& r, const Video& video, const std::string& stem,
                       std::string& pagePath) {
  pagePath = makeOutputPath(stem, kReportSuffix);
  const std::string folder = makeOutputPath(stem, kReportFilesSuffix);
  const std::string folderName = fs::path(folder).filename().string();
  if (!createKeyframeFolder(folder)) return false;

  // Thumbnails, in shot order, so the video is read forward once.
  const std::string keyframes = keyframeFolder(outputStem(r.videoPath), kShotKeyframeSuffix, "");
  FrameReader reader;
  openFrameReader(reader, video);
  ImageWrites thumbnails;
  std::vector<bool> hasThumbnail(r.shots.size(), false);
  for (size_t k = 0; k < r.shots.size(); ++k) {
    const std::string saved = shotKeyframeImage(keyframes, static_cast<int>(k + 1), 2);
    cv::Mat frame = fs::exists(saved) ? cv::imread(saved) : cv::Mat();
    if (frame.empty()) readFrameAt(reader, r.shots[k].keyframes[1] - 1, frame);
    if (frame.empty()) continue;
    cv::Mat small;
    const double scale = static_cast<double>(kThumbnailWidth) / frame.cols;
    cv::resize(frame, small, cv::Size(kThumbnailWidth, std::max(1, cvRound(frame.rows * scale))), 0,
               0, cv::INTER_AREA);
    writeKeyframeImage(folder + "/" + thumbnailName(static_cast<int>(k + 1)), small, thumbnails);
    hasThumbnail[k] = true;
  }
  if (!reportImageFailures(thumbnails)) return false;

  const std::string title = markupEscaped(fs::path(r.namedPath).filename().string());
  std::ostringstream page;
  page << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n<title>" << title
       << "</title>\n<style>body{font-family:sans-serif;margin:1em}"
          ".scene{display:flex;flex-wrap:wrap;gap:8px;margin:0 0 1em;padding:6px;"
          "border-left:6px solid}.shot{width:160px;font-size:12px}"
          ".shot img{width:160px;display:block}</style></head>\n<body>\n<h1>"
       << title << "</h1>\n<p>" << r.shots.size() << " shots, " << r.scenes.size() << " scenes, "
       << r.frameCount << " frames at " << r.fps << " fps</p>\n";

  page << timeline(r);

  const size_t rows = r.scenes.empty() ? 1 : r.scenes.size();
  for (size_t row = 0; row < rows; ++row) {
    page << "<section class=\"scene\" style=\"border-color:" << kSceneColours[row % 8]
         << "\">\n<h2 style=\"width:100%;margin:0;font-size:14px\">"
         << (r.scenes.empty() ? std::string("All shots") : "Scene " + std::to_string(row + 1))
         << "</h2>\n";
    for (size_t k = 0; k < r.shots.size(); ++k) {
      const ExportShot& s = r.shots[k];
      if (!r.scenes.empty() && s.scene != static_cast<int>(row + 1)) continue;
      page << "<figure class=\"shot\" id=\"shot" << k + 1 << "\" style=\"margin:0\">";
      if (hasThumbnail[k]) {
        page << "<img src=\"" << markupEscaped(urlEncoded(folderName)) << "/"
             << thumbnailName(static_cast<int>(k + 1)) << "\" alt=\"Shot " << k + 1 << "\">";
      }
      page << "<figcaption>Shot " << k + 1 << "<br>" << clockTime((s.first - 1) / r.fps, '.')
           << " &ndash; " << clockTime(s.last / r.fps, '.');
      if (s.type >= 0 && k + 1 < r.shots.size()) page << "<br>then " << transitionName(s.type);
      page << "<br><a href=\"#t" << k + 1 << "\">on the timeline</a></figcaption></figure>\n";
    }
    page << "</section>\n";
  }
  page << "</body></html>\n";

  return writeWholeFile(pagePath, page.str());
}

}  // namespace shotscene

#include "exports/contact_sheet.h"

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

  const std::string title = markupEscaped(fs::path(r.videoPath).filename().string());
  std::ostringstream page;
  page << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n<title>" << title
       << "</title>\n<style>body{font-family:sans-serif;margin:1em}"
          ".scene{display:flex;flex-wrap:wrap;gap:8px;margin:0 0 1em;padding:6px;"
          "border-left:6px solid}.shot{width:160px;font-size:12px}"
          ".shot img{width:160px;display:block}</style></head>\n<body>\n<h1>"
       << title << "</h1>\n<p>" << r.shots.size() << " shots, " << r.scenes.size() << " scenes, "
       << r.frameCount << " frames at " << r.fps << " fps</p>\n";

  // Timeline: one rectangle per shot, as wide as the shot, coloured by scene.
  page << "<svg class=\"timeline\" width=\"100%\" height=\"24\" viewBox=\"0 0 " << r.frameCount
       << " 24\" preserveAspectRatio=\"none\">";
  for (size_t k = 0; k < r.shots.size(); ++k) {
    const ExportShot& s = r.shots[k];
    const int scene = s.scene > 0 ? s.scene - 1 : 0;
    page << "<rect x=\"" << s.first - 1 << "\" y=\"0\" width=\"" << s.last - s.first + 1
         << "\" height=\"24\" fill=\"" << kSceneColours[scene % 8] << "\" stroke=\"#fff\""
         << " stroke-width=\"0\"><title>Shot " << k + 1 << "</title></rect>";
  }
  page << "</svg>\n";

  const size_t rows = r.scenes.empty() ? 1 : r.scenes.size();
  for (size_t row = 0; row < rows; ++row) {
    page << "<section class=\"scene\" style=\"border-color:" << kSceneColours[row % 8]
         << "\">\n<h2 style=\"width:100%;margin:0;font-size:14px\">"
         << (r.scenes.empty() ? std::string("All shots") : "Scene " + std::to_string(row + 1))
         << "</h2>\n";
    for (size_t k = 0; k < r.shots.size(); ++k) {
      const ExportShot& s = r.shots[k];
      if (!r.scenes.empty() && s.scene != static_cast<int>(row + 1)) continue;
      page << "<figure class=\"shot\" style=\"margin:0\">";
      if (hasThumbnail[k]) {
        page << "<img src=\"" << markupEscaped(urlEncoded(folderName)) << "/"
             << thumbnailName(static_cast<int>(k + 1)) << "\" alt=\"Shot " << k + 1 << "\">";
      }
      page << "<figcaption>Shot " << k + 1 << "<br>" << clockTime((s.first - 1) / r.fps, '.')
           << " &ndash; " << clockTime(s.last / r.fps, '.');
      if (s.type >= 0 && k + 1 < r.shots.size()) page << "<br>then " << transitionName(s.type);
      page << "</figcaption></figure>\n";
    }
    page << "</section>\n";
  }
  page << "</body></html>\n";

  return writeWholeFile(pagePath, page.str());
}

}  // namespace shotscene

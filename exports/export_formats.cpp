#include "exports/export_formats.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "common/naming.h"

namespace shotscene {

namespace {

using Json = nlohmann::ordered_json;

// Shot k starts at (first - 1) / fps and ends where the next one starts.
double startSeconds(int first, double fps) { return (first - 1) / fps; }
double endSeconds(int last, double fps) { return last / fps; }

std::string fileName(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

// The keyframe images of shot or scene `number` that exist on disk, by their names beside
// the named path.
Json existingImages(const ExportResults& r, const char* suffix,
                    std::string (*imageName)(const std::string&, int, int), size_t number,
                    int count) {
  const std::string folder = keyframeFolder(outputStem(r.videoPath), suffix, "");
  const std::string named = keyframeFolder(outputStem(r.namedPath), suffix, "");
  Json images = Json::array();
  for (int j = 1; j <= count; ++j) {
    if (std::filesystem::exists(imageName(folder, static_cast<int>(number), j))) {
      images.push_back(imageName(named, static_cast<int>(number), j));
    }
  }
  return images;
}

Json rationalTime(double value, double rate) {
  return Json{{"OTIO_SCHEMA", "RationalTime.1"}, {"rate", rate}, {"value", value}};
}

Json timeRange(double start, double duration, double rate) {
  return Json{{"OTIO_SCHEMA", "TimeRange.1"},
              {"duration", rationalTime(duration, rate)},
              {"start_time", rationalTime(start, rate)}};
}

}  // namespace

const char* transitionName(int type) {
  switch (type) {
    case 0:
      return "cut";
    case 1:
      return "dissolve";
    case 2:
      return "wipe";
    default:
      return "";
  }
}

std::string markupEscaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string clockTime(double seconds, char separator) {
  const long long millis = std::llround(std::max(0.0, seconds) * 1000.0);
  char text[64];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld%c%03lld", millis / 3600000,
                millis / 60000 % 60, millis / 1000 % 60, separator, millis % 1000);
  return text;
}

std::string frameTimecode(long long frame, int rate) {
  rate = std::max(1, rate);
  const long long seconds = frame / rate;
  char text[64];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                seconds % 60, frame % rate);
  return text;
}

int nominalRate(double fps) { return std::max(1, static_cast<int>(std::lround(fps))); }

std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

std::string exportCsv(const ExportResults& r) {
  std::ostringstream out;
  out << "shot,scene,first_frame,last_frame,start_timecode,end_timecode,start_seconds,"
         "duration_seconds,transition\r\n";
  for (size_t k = 0; k < r.shots.size(); ++k) {
    const ExportShot& s = r.shots[k];
    const double start = startSeconds(s.first, r.fps), end = endSeconds(s.last, r.fps);
    char seconds[64];
    std::snprintf(seconds, sizeof seconds, "%.3f,%.3f", start, end - start);
    out << k + 1 << "," << (s.scene > 0 ? std::to_string(s.scene) : "") << "," << s.first << ","
        << s.last << "," << clockTime(start, '.') << "," << clockTime(end, '.') << "," << seconds
        << "," << csvField(k + 1 == r.shots.size() ? "" : transitionName(s.type)) << "\r\n";
  }
  return out.str();
}

std::string exportJson(const ExportResults& r) {
  Json shots = Json::array(), scenes = Json::array();
  for (size_t k = 0; k < r.shots.size(); ++k) {
    const ExportShot& s = r.shots[k];
    Json shot{{"number", k + 1},
              {"first_frame", s.first},
              {"last_frame", s.last},
              {"start_seconds", startSeconds(s.first, r.fps)},
              {"end_seconds", endSeconds(s.last, r.fps)},
              {"keyframes", s.keyframes}};
    shot["keyframe_images"] = existingImages(r, kShotKeyframeSuffix, shotKeyframeImage, k + 1, 3);
    shot["scene"] = s.scene > 0 ? Json(s.scene) : Json();
    // The type of the transition that ends the shot; the last one ends the video.
    shot["transition"] =
        s.type >= 0 && k + 1 < r.shots.size() ? Json(transitionName(s.type)) : Json();
    shots.push_back(shot);
  }
  for (size_t k = 0; k < r.scenes.size(); ++k) {
    const ExportScene& s = r.scenes[k];
    scenes.push_back(
        Json{{"number", k + 1},
             {"first_frame", s.first},
             {"last_frame", s.last},
             {"start_seconds", startSeconds(s.first, r.fps)},
             {"end_seconds", endSeconds(s.last, r.fps)},
             {"keyframes", s.keyframes},
             {"keyframe_images", existingImages(r, kSceneKeyframeSuffix, sceneKeyframeImage, k + 1,
                                                static_cast<int>(s.keyframes.size()))}});
  }
  const Json document{{"video", r.namedPath},
                      {"frame_rate", r.fps},
                      {"frame_count", r.frameCount},
                      {"shots", shots},
                      {"scenes", scenes}};
  return document.dump(2) + "\n";
}

std::string exportEdl(const ExportResults& r) {
  const int rate = nominalRate(r.fps);
  // An EDL line cannot hold a line end: the name keeps everything else.
  std::string name = fileName(r.namedPath);
  for (char& c : name) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  std::ostringstream out;
  out << "TITLE: " << name << "\nFCM: NON-DROP FRAME\n\n";
  for (size_t k = 0; k < r.shots.size(); ++k) {
    const ExportShot& s = r.shots[k];
    char event[32];
    std::snprintf(event, sizeof event, "%03zu", k + 1);
    const std::string in = frameTimecode(s.first - 1, rate), out_ = frameTimecode(s.last, rate);
    out << event << "  AX       V     C        " << in << " " << out_ << " " << in << " " << out_
        << "\n* FROM CLIP NAME: " << name << "\n\n";
  }
  return out.str();
}

std::string exportOtio(const ExportResults& r) {
  Json clips = Json::array(), markers = Json::array();
  for (size_t k = 0; k < r.shots.size(); ++k) {
    const ExportShot& s = r.shots[k];
    clips.push_back(
        Json{{"OTIO_SCHEMA", "Clip.2"},
             {"name", "Shot " + std::to_string(k + 1)},
             {"source_range", timeRange(s.first - 1, s.last - s.first + 1, r.fps)},
             {"media_references",
              {{"DEFAULT_MEDIA",
                {{"OTIO_SCHEMA", "ExternalReference.1"}, {"target_url", r.namedPath}}}}},
             {"active_media_reference_key", "DEFAULT_MEDIA"}});
  }
  for (size_t k = 0; k < r.scenes.size(); ++k) {
    markers.push_back(Json{{"OTIO_SCHEMA", "Marker.2"},
                           {"name", "Scene " + std::to_string(k + 1)},
                           {"marked_range", timeRange(r.scenes[k].first - 1, 0, r.fps)},
                           {"color", "RED"}});
  }
  const Json track{{"OTIO_SCHEMA", "Track.1"},
                   {"name", "Shots"},
                   {"kind", "Video"},
                   {"children", clips},
                   {"markers", markers}};
  const Json stack{{"OTIO_SCHEMA", "Stack.1"}, {"name", "tracks"}, {"children", {track}}};
  const Json timeline{
      {"OTIO_SCHEMA", "Timeline.1"}, {"name", fileName(r.namedPath)}, {"tracks", stack}};
  return timeline.dump(2) + "\n";
}

std::string exportFcpXml(const ExportResults& r) {
  const int rate = nominalRate(r.fps);
  const bool ntsc = std::fabs(r.fps - rate) > 1e-3;
  const std::string rateXml = "<rate><timebase>" + std::to_string(rate) + "</timebase><ntsc>" +
                              (ntsc ? "TRUE" : "FALSE") + "</ntsc></rate>";
  const std::string name = markupEscaped(fileName(r.namedPath));
  std::ostringstream out;
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE xmeml>\n<xmeml version=\"4\">\n"
      << "<sequence><name>" << name << "</name><duration>" << r.frameCount << "</duration>"
      << rateXml << "\n<media><video><track>\n";
  for (size_t k = 0; k < r.shots.size(); ++k) {
    const ExportShot& s = r.shots[k];
    out << "<clipitem id=\"shot" << k + 1 << "\"><name>Shot " << k + 1 << "</name>" << rateXml
        << "<start>" << s.first - 1 << "</start><end>" << s.last << "</end><in>" << s.first - 1
        << "</in><out>" << s.last << "</out><file id=\"file1\">";
    if (k == 0) {
      out << "<name>" << name << "</name><pathurl>" << markupEscaped(r.namedPath) << "</pathurl>"
          << rateXml << "<duration>" << r.frameCount << "</duration>";
    }
    out << "</file></clipitem>\n";
  }
  out << "</track></video></media></sequence>\n</xmeml>\n";
  return out.str();
}

std::string exportCuts(const ExportResults& r) {
  std::string out;
  for (size_t k = 1; k < r.shots.size(); ++k) out += std::to_string(r.shots[k].first) + "\n";
  return out;
}

std::string exportVtt(const ExportResults& r, bool scenes) {
  std::ostringstream out;
  out << "WEBVTT\n\n";
  const size_t count = scenes ? r.scenes.size() : r.shots.size();
  for (size_t k = 0; k < count; ++k) {
    const int first = scenes ? r.scenes[k].first : r.shots[k].first;
    const int last = scenes ? r.scenes[k].last : r.shots[k].last;
    out << k + 1 << "\n"
        << clockTime(startSeconds(first, r.fps), '.') << " --> "
        << clockTime(endSeconds(last, r.fps), '.') << "\n"
        << (scenes ? "Scene " : "Shot ") << k + 1 << "\n\n";
  }
  return out.str();
}

}  // namespace shotscene

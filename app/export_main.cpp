// shotscene-export: writes a video's shot and scene lists in editors' and players' formats.
#include <tclap/CmdLine.h>

#include <algorithm>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "common/cleanup_registry.h"
#include "common/naming.h"
#include "common/output_file.h"
#include "common/stage_work.h"
#include "exports/contact_sheet.h"
#include "exports/export_formats.h"
#include "exports/result_files.h"

namespace {

struct Format {
  const char* name;
  const char* suffix;
  std::string (*write)(const shotscene::ExportResults&);
};

std::string shotVtt(const shotscene::ExportResults& r) { return shotscene::exportVtt(r, false); }
std::string sceneVtt(const shotscene::ExportResults& r) { return shotscene::exportVtt(r, true); }

const Format kFormats[] = {
    {"csv", shotscene::kCsvSuffix, shotscene::exportCsv},
    {"json", shotscene::kJsonSuffix, shotscene::exportJson},
    {"edl", shotscene::kEdlSuffix, shotscene::exportEdl},
    {"otio", shotscene::kOtioSuffix, shotscene::exportOtio},
    {"xml", shotscene::kXmlSuffix, shotscene::exportFcpXml},
    {"cuts", shotscene::kCutsSuffix, shotscene::exportCuts},
    {"vtt", shotscene::kShotVttSuffix, shotVtt},
    {"vtt", shotscene::kSceneVttSuffix, sceneVtt},
};

// Writes the wanted formats; 0 when all were written, 1 otherwise (reported).
int exportResults(const std::string& videoPath, const std::string& namedAs,
                  const std::vector<std::string>& wanted, const std::string& outDir) {
  shotscene::Video opened;
  if (!shotscene::openVideo(opened, videoPath)) {
    std::cerr << "Can not load video file " << videoPath << std::endl;
    return 1;
  }
  shotscene::ExportResults results;
  std::string error;
  if (!shotscene::loadResults(opened, results, error)) {
    std::cerr << error << std::endl;
    return 1;
  }
  if (!namedAs.empty()) results.namedPath = namedAs;
  const std::string stem = shotscene::exportStem(videoPath, outDir);
  bool ok = true;
  for (const Format& f : kFormats) {
    if (std::find(wanted.begin(), wanted.end(), f.name) == wanted.end()) continue;
    const std::string path = shotscene::makeOutputPath(stem, f.suffix);
    if (shotscene::writeWholeFile(path, f.write(results))) {
      std::cout << path << std::endl;
    } else {
      ok = false;
    }
  }
  if (std::find(wanted.begin(), wanted.end(), "html") != wanted.end()) {
    std::string page;
    if (shotscene::writeContactSheet(results, opened, stem, page)) {
      std::cout << page << std::endl;
    } else {
      ok = false;
    }
  }
  return ok ? 0 : 1;
}

// Prints "KIND<TAB>PATH" and `end` for every output of a run on the video; a
// folder's path ends with "/".
int printPaths(const std::string& videoPath, const std::string& kfPath, const std::string& outDir,
               char end) {
  for (const shotscene::OutputPath& p : shotscene::outputPaths(videoPath, kfPath, outDir)) {
    std::cout << p.kind << '\t' << p.path << (p.folder ? "/" : "") << end;
  }
  std::cout.flush();
  return std::cout ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  shotscene::installInterruptCleanup();
  TCLAP::CmdLine cmd("Exports of shotscene results", ' ', SHOTSCENE_VERSION, true);
  TCLAP::ValueArg<std::string> formats("f", "format",
                                       "Formats: csv,json,edl,otio,xml,cuts,vtt,html", false,
                                       "csv,json,edl,otio,xml,cuts,vtt,html", "list", cmd);
  TCLAP::ValueArg<std::string> outDir("o", "out", "Folder to write to (default: next to the video)",
                                      false, "", "folder", cmd);
  TCLAP::SwitchArg paths("", "paths",
                         "Write nothing: print every file and folder that the shotscene tools "
                         "write for the video, one a line as KIND<TAB>PATH (a folder's PATH "
                         "ends with /; the kinds are in the manual page); the video is not opened",
                         cmd, false);
  TCLAP::ValueArg<std::string> kfPath(
      "p", "kf_path", "With --paths: the --kf_path shotscene is given", false, "", "folder", cmd);
  TCLAP::SwitchArg null("0", "null", "With --paths: end each entry with NUL, not a line end", cmd,
                        false);
  TCLAP::ValueArg<std::string> namedAs(
      "", "named_as",
      "Give the video as this path in the exports, for a copy of a video kept there (its "
      "keyframe images too); the files are still written beside the copy",
      false, "", "path", cmd);
  TCLAP::UnlabeledValueArg<std::string> video("video_file", "The video shotscene processed", true,
                                              "", "string", cmd);
  cmd.parse(argc, argv);

  if (!paths.getValue() && (kfPath.isSet() || null.getValue())) {
    std::cerr << "--kf_path and -0 go only with --paths" << std::endl;
    return 1;
  }
  if (paths.getValue() && namedAs.isSet()) {
    std::cerr << "--named_as does not go with --paths" << std::endl;
    return 1;
  }
  std::vector<std::string> wanted;
  std::istringstream list(formats.getValue());
  for (std::string name; std::getline(list, name, ',');) {
    bool known = name == "html";
    for (const Format& f : kFormats) known = known || name == f.name;
    if (!known) {
      std::cerr << "Unknown format " << name << " (csv, json, edl, otio, xml, cuts, vtt, html)"
                << std::endl;
      return 1;
    }
    wanted.push_back(name);
  }
  if (paths.getValue()) {
    return printPaths(video.getValue(), kfPath.getValue(), outDir.getValue(),
                      null.getValue() ? '\0' : '\n');
  }

  try {
    return exportResults(video.getValue(), namedAs.getValue(), wanted, outDir.getValue());
  } catch (...) {
    shotscene::reportStageFailure(video.getValue(), std::current_exception());
    return 1;
  }
}

#include "tests/support/tool_runner.h"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "scenes/scene_list.h"
#include "shots/shot_list.h"
#include "tests/support/scratch_folder.h"

namespace shotscene::testing {

namespace {

// Problems beyond what the list's own strict reader checks: the file's last
// line end (the shot list ends its last line, the scene list does not), the
// last frame, and one complete subtitle per line.
std::string coverageProblems(const std::string& stem, const std::string& kind, int last,
                             size_t lines, int frameCount) {
  const std::string list = readWholeFile(stem + "_" + kind + ".txt");
  const std::string srt = readWholeFile(stem + "_" + kind + ".srt");
  if ((list.back() == '\n') != (kind == "shots")) return kind + " list: last line cut short";
  if (last != frameCount) return kind + " list: does not span the video";
  if (occurrences(srt, " --> ") != static_cast<int>(lines) ||
      (!srt.empty() && srt.substr(srt.size() - 2) != "\n\n")) {
    return kind + " subtitles do not match the " + kind + " list";
  }
  return "";
}

Outcome runProgram(const std::string& program, const std::string& folder, const std::string& args,
                   const std::string& environment) {
  const std::string out = std::filesystem::temp_directory_path() /
                          ("shotscene_out_" + std::to_string(::getpid())),
                    err = out + ".err";
  const std::string command = "cd " + quoted(folder) + " && " + environment + " " +
                              quoted(program) + " " + args + " >" + quoted(out) + " 2>" +
                              quoted(err) + " </dev/null";
  const int raw = std::system(command.c_str());
  const Outcome r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readWholeFile(out), readWholeFile(err)};
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return r;
}

}  // namespace

std::string quoted(const std::string& text) {
  std::string q = "'";
  for (char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

Outcome runTool(const std::string& folder, const std::string& args,
                const std::string& environment) {
  return runProgram(SHOTSCENE_BINARY, folder, args, environment);
}

Outcome runExportTool(const std::string& folder, const std::string& args) {
  return runProgram(SHOTSCENE_EXPORT_BINARY, folder, args, "");
}

bool runFfmpeg(const std::string& args) {
  return std::system(("ffmpeg -nostdin -v error -y " + args + " </dev/null").c_str()) == 0;
}

std::string resultFiles(const std::string& stem) {
  std::string files;
  for (const char* suffix : {"_shots.txt", "_shots.srt", "_scenes.txt", "_scenes.srt"}) {
    files += readWholeFile(stem + suffix) + "|";
  }
  return files;
}

std::string outputProblems(const std::string& stem, int frameCount, bool scenes) {
  std::string error;
  std::vector<ListedShot> shots;
  if (!readShotList(stem + "_shots.txt", frameCount, shots, error)) return error;
  error = coverageProblems(stem, "shots", shots.back().last, shots.size(), frameCount);
  if (!error.empty() || !scenes) return error;
  std::vector<SceneEntry> list;
  if (!readSceneList(stem + "_scenes.txt", frameCount, list, error)) return error;
  if (list.empty() || list.front().start != 1) return "scenes list: does not start at frame 1";
  return coverageProblems(stem, "scenes", list.back().end, list.size(), frameCount);
}

std::vector<std::string> temporaryFiles(const std::string& folder) {
  std::vector<std::string> found;
  std::error_code error;
  for (std::filesystem::recursive_directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.find(".tmp") != std::string::npos) found.push_back(name);
  }
  return found;
}

}  // namespace shotscene::testing

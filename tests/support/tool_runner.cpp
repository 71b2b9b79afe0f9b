#include "tests/support/tool_runner.h"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "tests/support/scratch_folder.h"

namespace shotscene::testing {

namespace {

// Lines of whole numbers; false when a line holds anything else or the wrong count.
bool parseRows(const std::string& text, size_t fields, std::vector<std::vector<long>>& rows) {
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::vector<long> row;
    for (std::string word; words >> word;) {
      if (word.find_first_not_of("0123456789") != std::string::npos) return false;
      row.push_back(std::stol(word));
    }
    if (row.size() != fields) return false;
    rows.push_back(row);
  }
  return true;
}

// Number of complete "N\nA --> B\nLABEL\n\n" entries, or -1 when the file is not that.
int subtitleEntries(const std::string& text) {
  std::istringstream in(text);
  int entries = 0;
  for (std::string number; std::getline(in, number);) {
    std::string times, label, blank;
    if (number != std::to_string(entries + 1) || !std::getline(in, times) ||
        times.find(" --> ") == std::string::npos || !std::getline(in, label) ||
        !std::getline(in, blank) || !blank.empty()) {
      return -1;
    }
    ++entries;
  }
  const bool complete =
      text.empty() || (text.size() >= 2 && text.substr(text.size() - 2) == "\n\n");
  return complete ? entries : -1;
}

std::string checkSpans(const std::vector<std::vector<long>>& rows, int frameCount,
                       const std::string& name) {
  for (size_t k = 0; k < rows.size(); ++k) {
    const long expectedStart = k == 0 ? 1 : rows[k - 1][1] + 1;
    if (rows[k][0] != expectedStart || rows[k][1] < rows[k][0]) {
      return name + ": line " + std::to_string(k + 1) + " does not follow on";
    }
  }
  if (!rows.empty() && rows.back()[1] != frameCount) return name + ": does not end at the count";
  return "";
}

}  // namespace

std::string quoted(const std::string& text) {
  std::string q = "'";
  for (char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

Outcome runTool(const std::string& folder, const std::string& args,
                const std::string& environment) {
  const std::filesystem::path out =
      std::filesystem::temp_directory_path() / ("shotscene_out_" + std::to_string(::getpid()));
  const std::filesystem::path err = out.string() + ".err";
  const std::string command = "cd " + quoted(folder) + " && " + environment + " " +
                              quoted(SHOTSCENE_BINARY) + " " + args + " >" + quoted(out) + " 2>" +
                              quoted(err) + " </dev/null";
  Outcome r;
  const int raw = std::system(command.c_str());
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = readWholeFile(out);
  r.err = readWholeFile(err);
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return r;
}

std::string outputProblems(const std::string& stem, int frameCount, bool scenes) {
  std::vector<std::vector<long>> shots;
  const std::string shotList = readWholeFile(stem + "_shots.txt");
  if (shotList.empty() || shotList.back() != '\n' || !parseRows(shotList, 5, shots)) {
    return "shot list malformed: " + shotList.substr(0, 200);
  }
  std::string problem = checkSpans(shots, frameCount, "shot list");
  if (!problem.empty()) return problem;
  if (subtitleEntries(readWholeFile(stem + "_shots.srt")) != static_cast<int>(shots.size())) {
    return "shot subtitles do not match the shot list";
  }
  if (!scenes) return "";
  std::vector<std::vector<long>> sceneRows;
  const std::string sceneList = readWholeFile(stem + "_scenes.txt");
  if (sceneList.empty() || sceneList.back() == '\n' || !parseRows(sceneList, 7, sceneRows)) {
    return "scene list malformed: " + sceneList.substr(0, 200);
  }
  problem = checkSpans(sceneRows, frameCount, "scene list");
  if (!problem.empty()) return problem;
  if (subtitleEntries(readWholeFile(stem + "_scenes.srt")) != static_cast<int>(sceneRows.size())) {
    return "scene subtitles do not match the scene list";
  }
  return "";
}

}  // namespace shotscene::testing

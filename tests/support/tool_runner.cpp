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

// Problems with one list and its subtitle file: whole numbers, `fields` to a
// line, lines that follow on from frame 1 to the count, one subtitle each.
std::string listProblems(const std::string& stem, const std::string& kind, size_t fields,
                         bool finalLineEnd, int frameCount) {
  std::vector<std::vector<long>> rows;
  const std::string list = readWholeFile(stem + "_" + kind + ".txt");
  if (list.empty() || (list.back() == '\n') != finalLineEnd || !parseRows(list, fields, rows)) {
    return kind + " list malformed: " + list.substr(0, 200);
  }
  for (size_t k = 0; k < rows.size(); ++k) {
    const long expectedStart = k == 0 ? 1 : rows[k - 1][1] + 1;
    if (rows[k][0] != expectedStart || rows[k][1] < rows[k][0]) {
      return kind + " list: line " + std::to_string(k + 1) + " does not follow on";
    }
  }
  if (rows.back()[1] != frameCount) return kind + " list: does not end at the count";
  if (subtitleEntries(readWholeFile(stem + "_" + kind + ".srt")) != static_cast<int>(rows.size())) {
    return kind + " subtitles do not match the " + kind + " list";
  }
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
  const std::string problem = listProblems(stem, "shots", 5, true, frameCount);
  if (!problem.empty() || !scenes) return problem;
  return listProblems(stem, "scenes", 7, false, frameCount);
}

}  // namespace shotscene::testing

#include "shots/pair_statistics.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "common/naming.h"
#include "common/output_file.h"

namespace shotscene {

namespace {

constexpr char kColumns[] =
    "frame,next_frame,hist_correlation,hist_affinity,match_ratio_a,match_ratio_b,similarity,"
    "smoothed,candidate_score,shot_end,transition_type,undecoded";
constexpr char kSecondLookColumns[] = ",sketch_difference,side_similarity";
constexpr int kColumnCount = 12;

void addFloat(std::string& line, float value) {
  line += ',';
  if (std::isnan(value)) return;
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
  line += text;
}

// Splits a line at its commas.
std::vector<std::string> cells(const std::string& line) {
  std::vector<std::string> out(1);
  for (const char c : line) {
    if (c == ',') {
      out.emplace_back();
    } else if (c != '\r') {
      out.back() += c;
    }
  }
  return out;
}

// A float cell; an empty one is NaN when `optional`, else false.
bool parseFloat(const std::string& cell, bool optional, float& value) {
  if (cell.empty()) {
    value = std::numeric_limits<float>::quiet_NaN();
    return optional;
  }
  char* end = nullptr;
  value = std::strtof(cell.c_str(), &end);
  return end == cell.c_str() + cell.size();
}

// A whole-number cell; an empty one gives `none` when `optional`, else false.
bool parseInt(const std::string& cell, bool optional, int none, int& value) {
  if (cell.empty()) {
    value = none;
    return optional;
  }
  if (cell.size() > 9 || cell.find_first_not_of("0123456789") != std::string::npos) return false;
  value = std::atoi(cell.c_str());
  return true;
}

const char* parseRow(const std::vector<std::string>& c, int frame, PairStatistics& row) {
  int first = 0, next = 0, undecoded = 0;
  if (!parseInt(c[0], false, 0, first) || !parseInt(c[1], false, 0, next) || first != frame ||
      next != frame + 1) {
    return "frames out of order";
  }
  PairMeasure& m = row.measure;
  float* floats[] = {&m.histCorrelation, &m.histAffinity, &m.matchRatioA,     &m.matchRatioB,
                     &m.similarity,      &row.smoothed,   &row.candidateScore};
  for (int k = 0; k < 7; ++k) {
    if (!parseFloat(c[2 + k], false, *floats[k])) return "expected a number";
  }
  if (!parseInt(c[9], true, 0, row.shotEnd) || !parseInt(c[10], true, -1, row.transitionType) ||
      !parseInt(c[11], false, 0, undecoded) || undecoded > 1 ||
      (c.size() > kColumnCount && (!parseFloat(c[12], true, row.sketchDifference) ||
                                   !parseFloat(c[13], true, row.sideSimilarity)))) {
    return "expected a number";
  }
  row.undecoded = undecoded == 1;
  return nullptr;
}

}  // namespace

std::string pairStatisticsHeader(bool secondLook) {
  return std::string(kColumns) + (secondLook ? kSecondLookColumns : "");
}

std::string pairStatisticsText(const std::vector<PairStatistics>& rows, bool secondLook) {
  std::string text = pairStatisticsHeader(secondLook) + "\n";
  for (size_t k = 0; k < rows.size(); ++k) {
    const PairStatistics& r = rows[k];
    std::string line = std::to_string(k + 1) + "," + std::to_string(k + 2);
    for (const float v :
         {r.measure.histCorrelation, r.measure.histAffinity, r.measure.matchRatioA,
          r.measure.matchRatioB, r.measure.similarity, r.smoothed, r.candidateScore}) {
      addFloat(line, v);
    }
    line += ',' + (r.shotEnd > 0 ? std::to_string(r.shotEnd) : "");
    line += ',' + (r.shotEnd > 0 ? std::to_string(r.transitionType) : "");
    line += r.undecoded ? ",1" : ",0";
    if (secondLook) {
      addFloat(line, r.sketchDifference);
      addFloat(line, r.sideSimilarity);
    }
    text += line + "\n";
  }
  return text;
}

bool writePairStatistics(const std::string& stem, const std::vector<PairStatistics>& rows,
                         bool secondLook) {
  return writeWholeFile(makeOutputPath(stem, kStatsSuffix), pairStatisticsText(rows, secondLook));
}

bool readPairStatistics(const std::string& path, int pairs, std::vector<PairStatistics>& rows,
                        std::string& error) {
  rows.clear();
  std::ifstream in(path);
  if (!in) {
    error = "Can not read file " + path;
    return false;
  }
  const auto fail = [&](int line, const char* problem) {
    error = path + ":" + std::to_string(line) + ": " + problem;
    return false;
  };
  std::string line;
  std::getline(in, line);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line != pairStatisticsHeader(false) && line != pairStatisticsHeader(true)) {
    return fail(1, "not a statistics header");
  }
  const size_t columns = cells(line).size();
  while (std::getline(in, line)) {
    const int number = static_cast<int>(rows.size()) + 2;
    const std::vector<std::string> c = cells(line);
    if (c.size() != columns) return fail(number, "wrong number of cells");
    PairStatistics row;
    if (const char* problem = parseRow(c, number - 1, row)) return fail(number, problem);
    rows.push_back(row);
  }
  if (static_cast<int>(rows.size()) != pairs) {
    return fail(static_cast<int>(rows.size()) + 2, "not one row per frame pair of the video");
  }
  return true;
}

}  // namespace shotscene

// The per-pair statistics file, STEM_stats.csv: its row, its writer and its reader.
//
// A header line, then one row per adjacent frame pair, comma-separated, lines
// ending with a line feed: frame,next_frame (1-based), the five measures
// hist_correlation,hist_affinity,match_ratio_a,match_ratio_b,similarity, then
// smoothed,candidate_score,shot_end,transition_type,undecoded and, after a
// second look, sketch_difference,side_similarity. Floats are printed with
// %.9g, so that they read back as the same single-precision values; a cell
// without a value (NaN) is empty.
#ifndef SHOTSCENE_SHOTS_PAIR_STATISTICS_H_
#define SHOTSCENE_SHOTS_PAIR_STATISTICS_H_

#include <limits>
#include <string>
#include <vector>

#include "shots/shot_types.h"

namespace shotscene {

// One adjacent frame pair as the shot stage saw it.
struct PairStatistics {
  PairMeasure measure;          // the scan's five measures
  float smoothed = 0.0f;        // the smoothed similarity curve
  float candidateScore = 0.0f;  // the gradual-transition score as the scan left it
  int shotEnd = 0;              // the shot (from 1) that ends with the pair's first frame; 0: none
  int transitionType = -1;      // the type of that shot's transition; -1 where no shot ends
  bool undecoded = false;       // a frame of the pair did not decode
  // The second look's: the pair's sketch difference, and at a boundary it
  // checked the similarity of its two sides; NaN where it has none.
  float sketchDifference = std::numeric_limits<float>::quiet_NaN();
  float sideSimilarity = std::numeric_limits<float>::quiet_NaN();
};

// The header, with the second look's columns when `secondLook`.
std::string pairStatisticsHeader(bool secondLook);

// The whole file's text; row k describes frames k + 1 and k + 2.
std::string pairStatisticsText(const std::vector<PairStatistics>& rows, bool secondLook);

// Writes STEM_stats.csv; false after reporting the path on standard error.
bool writePairStatistics(const std::string& stem, const std::vector<PairStatistics>& rows,
                         bool secondLook);

// Reads a statistics file back, with or without the second look's columns.
// It must hold `pairs` rows numbered from 1 with a value in every cell but
// the optional ones; otherwise false with "PATH:LINE: MESSAGE" in `error`.
bool readPairStatistics(const std::string& path, int pairs, std::vector<PairStatistics>& rows,
                        std::string& error);

}  // namespace shotscene

#endif  // SHOTSCENE_SHOTS_PAIR_STATISTICS_H_

// Wall time of the run's stages, printed on standard error for the benches
// when SHOTSCENE_TIMINGS is set in the environment; silent otherwise.
#ifndef SHOTSCENE_COMMON_STAGE_TIMING_H_
#define SHOTSCENE_COMMON_STAGE_TIMING_H_

#include <string>

namespace shotscene {

// Seconds on a monotonic clock, for differences only.
double monotonicSeconds();

// Prints "timing: STAGE SECONDS" (seconds since `since`) when timings are on.
void reportStageTime(const char* stage, double since);

// Prints the line when timings are on.
void reportStageNote(const std::string& line);

}  // namespace shotscene

#endif  // SHOTSCENE_COMMON_STAGE_TIMING_H_

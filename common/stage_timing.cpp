#include "common/stage_timing.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace shotscene {

double monotonicSeconds() {
  using Clock = std::chrono::steady_clock;
  return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

void reportStageTime(const char* stage, double since) {
  static const bool enabled = std::getenv("SHOTSCENE_TIMINGS") != nullptr;
  if (enabled) std::fprintf(stderr, "timing: %s %.3f\n", stage, monotonicSeconds() - since);
}

}  // namespace shotscene

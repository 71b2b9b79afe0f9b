#include "common/stage_timing.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace shotscene {

double monotonicSeconds() {
  using Clock = std::chrono::steady_clock;
  return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

namespace {

bool timingsOn() {
  static const bool enabled = std::getenv("SHOTSCENE_TIMINGS") != nullptr;
  return enabled;
}

}  // namespace

void reportStageTime(const char* stage, double since) {
  if (timingsOn()) std::fprintf(stderr, "timing: %s %.3f\n", stage, monotonicSeconds() - since);
}

void reportStageNote(const std::string& line) {
  if (timingsOn()) std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace shotscene

// A progress line on standard error while a long pass runs, only on a terminal.
#ifndef SHOTSCENE_COMMON_PROGRESS_LINE_H_
#define SHOTSCENE_COMMON_PROGRESS_LINE_H_

#include <atomic>

namespace shotscene {

// The progress of the lines started while it is set, for a caller that reads
// it from another thread (a library's caller) instead of a line on the terminal.
struct ProgressWatch {
  std::atomic<int> done{0};
  std::atomic<int> total{0};
};

// Sets the process's watch, or none (null). While one is set no line is drawn.
void setProgressWatch(ProgressWatch* watch);

struct ProgressLine {
  bool enabled = false;  // standard error is a terminal
  int total = 0;
  double start = 0.0;
  double shown = -1.0;  // when the line was last drawn
  ProgressWatch* watch = nullptr;
};

ProgressLine startProgressLine(int total);

// Redraws "frames D/T, F fps, S s left" at most ten times a second; tells the watch every time.
void updateProgressLine(ProgressLine& line, int done);

// Erases the line, leaving the terminal as it was.
void clearProgressLine(ProgressLine& line);

}  // namespace shotscene

#endif  // SHOTSCENE_COMMON_PROGRESS_LINE_H_

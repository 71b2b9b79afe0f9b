// A progress line on standard error while a long pass runs, only on a terminal.
#ifndef SHOTSCENE_COMMON_PROGRESS_LINE_H_
#define SHOTSCENE_COMMON_PROGRESS_LINE_H_

namespace shotscene {

struct ProgressLine {
  bool enabled = false;  // standard error is a terminal
  int total = 0;
  double start = 0.0;
  double shown = -1.0;  // when the line was last drawn
};

ProgressLine startProgressLine(int total);

// Redraws "frames D/T, F fps, S s left" at most ten times a second.
void updateProgressLine(ProgressLine& line, int done);

// Erases the line, leaving the terminal as it was.
void clearProgressLine(ProgressLine& line);

}  // namespace shotscene

#endif  // SHOTSCENE_COMMON_PROGRESS_LINE_H_

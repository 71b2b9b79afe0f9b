#include "common/progress_line.h"

#include <unistd.h>

#include <cstdio>

#include "common/stage_timing.h"

namespace shotscene {

namespace {

std::atomic<ProgressWatch*> processWatch{nullptr};

}  // namespace

void setProgressWatch(ProgressWatch* watch) { processWatch.store(watch); }

ProgressLine startProgressLine(int total) {
  ProgressLine line;
  line.watch = processWatch.load();
  line.enabled = line.watch == nullptr && ::isatty(STDERR_FILENO) == 1;
  line.total = total;
  line.start = monotonicSeconds();
  if (line.watch != nullptr) {
    line.watch->done.store(0);
    line.watch->total.store(total);
  }
  return line;
}

void updateProgressLine(ProgressLine& line, int done) {
  if (line.watch != nullptr) line.watch->done.store(done);
  if (!line.enabled) return;
  const double now = monotonicSeconds();
  if (line.shown >= 0.0 && now - line.shown < 0.1) return;
  line.shown = now;
  const double elapsed = now - line.start;
  const double fps = elapsed > 0.0 ? done / elapsed : 0.0;
  const double left = fps > 0.0 ? (line.total - done) / fps : 0.0;
  std::fprintf(stderr, "\r\033[Kframes %d/%d, %.0f fps, %.0f s left", done, line.total, fps, left);
  std::fflush(stderr);
}

void clearProgressLine(ProgressLine& line) {
  if (!line.enabled || line.shown < 0.0) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
}

}  // namespace shotscene

#include "boundaries/shot_scan.h"

#include <omp.h>

#include <utility>
#include <vector>

#include "shots/frame_ranges.h"
#include "transitions/scan_typing.h"

namespace shotscene {

int defaultThreadCount() {
  int threads = 1;
#pragma omp parallel
  {
#pragma omp single
    threads = omp_get_num_threads();
  }
  return threads;
}

void scanShots(Video& video, ShotScan& scan, size_t keptFrameBytes, const ScanStep& eachBatch,
               bool sketch) {
  const int n = video.probe.frameCount;
  const int threads = defaultThreadCount();
  const std::vector<FrameRange> ranges = planFrameRanges(n, threads);
  // Scan typing builds the profiles as the measures come.
  ScanTyping typing;
  startScanTyping(typing, scan.measures.data(), scan.profiles.data(), n, video.scale,
                  keptFrameBytes);
  scanRangesOnce(
      ranges, scan.measures.data(), scan.isolatedFrames, video, threads,
      [&](const ScannedBatch& batch) {
        takeScannedBatch(typing, batch);
        if (!eachBatch) return;
        for (const TransitionCandidate& c : eachBatch(batch, typing.builder.final)) {
          addScanCandidate(typing, c);
        }
      },
      sketch);
  finishScanTyping(typing);
  scan.typed = std::move(typing.typed);
}

}  // namespace shotscene

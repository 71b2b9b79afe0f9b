// The straightforward shot scan that the tests hold the tool's single-pass scan to.
#ifndef SHOTSCENE_TESTS_SUPPORT_REFERENCE_SCAN_H_
#define SHOTSCENE_TESTS_SUPPORT_REFERENCE_SCAN_H_

#include "app/shot_stage.h"
#include "video/video.h"

namespace shotscene::testing {

// The scan as first built: one decoder per range, each range scanned on its
// own thread, and the profiles built after. Each range measures its pairs and
// the one joining the next range; a low pair opens a flash candidate that the
// next analysed frame confirms, never across ranges. Types nothing and leaves
// the video without a frame index, so later readers never seek. `scan` must
// be allocated.
void referenceScan(Video& video, ShotScan& scan);

}  // namespace shotscene::testing

#endif  // SHOTSCENE_TESTS_SUPPORT_REFERENCE_SCAN_H_

// How much a run of frames looks like a dissolve: grid points that keep brightening or darkening.
#ifndef SHOTSCENE_TRANSITIONS_DISSOLVE_DETECTION_H_
#define SHOTSCENE_TRANSITIONS_DISSOLVE_DETECTION_H_

#include <opencv2/core.hpp>
#include <vector>

#include "video/video.h"

namespace shotscene {

// Number of grid points, one per 10 x 10 block: (floor(h/10) + 1) x (floor(w/10) + 1).
int dissolveGridCount(const AnalysisScale& size);

// Fraction of the grid's series that rise (or fall) in more than 0.7 x n of
// the steps of the n frames. grey holds 8-bit grey frames at the working size;
// an empty frame leaves its slot without values, and a step is counted only
// between two slots that both hold values. 0 for n <= 1 or an empty size.
float dissolveRatio(const std::vector<cv::Mat>& grey, const AnalysisScale& size);

}  // namespace shotscene

#endif  // SHOTSCENE_TRANSITIONS_DISSOLVE_DETECTION_H_

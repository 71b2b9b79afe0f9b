// Whether a run of frames holds a wipe: an edge sweeping along the picture's diagonal.
#ifndef SHOTSCENE_TRANSITIONS_WIPE_DETECTION_H_
#define SHOTSCENE_TRANSITIONS_WIPE_DETECTION_H_

#include <opencv2/core.hpp>
#include <vector>

#include "video/video.h"

namespace shotscene {

// Columns of the diagonal slice: h / 3 rounded, halves upward.
int sliceColumnCount(const AnalysisScale& size);

// Stacks the grey values on the main diagonal of every third row of each
// frame, one frame per row; samples run on across rows when a frame gives
// more or fewer than a row's worth, and stop when the slice is full. Empty
// frames give no samples. 8-bit, n rows by sliceColumnCount columns.
cv::Mat buildDiagonalSlice(const std::vector<cv::Mat>& grey, const AnalysisScale& size);

// |row k+1 - row k| of the slice; *mean = their sum / (rows x cols of the slice).
cv::Mat diffSliceRows(cv::Mat slice, float* mean);

// Looks for a slanted line in the strong changes of the slice; on success
// sets the first and last difference row that the line covers.
bool findWipeLine(const cv::Mat& slice, const AnalysisScale& size, int* lineStart, int* lineEnd);

}  // namespace shotscene

#endif  // SHOTSCENE_TRANSITIONS_WIPE_DETECTION_H_

// Keyframe folders and JPEG images, with every failure reported once on stderr.
#ifndef SHOTSCENE_COMMON_KEYFRAME_IMAGES_H_
#define SHOTSCENE_COMMON_KEYFRAME_IMAGES_H_

#include <opencv2/core.hpp>
#include <string>

namespace shotscene {

// Creates the folder and any missing parents, without a shell. Reports
// "Can not create folder F" and returns false when it is not a folder after.
bool createKeyframeFolder(const std::string& folder);

// Images that could not be written: how many, and the first of them.
struct ImageFailures {
  int count = 0;
  std::string firstPath;
};

// Writes the image as JPEG with the library's default settings.
void writeKeyframeImage(const std::string& path, const cv::Mat& image, ImageFailures& failures);

// Reports the failures, if any, in one line; true when there were none.
bool reportImageFailures(const ImageFailures& failures);

}  // namespace shotscene

#endif  // SHOTSCENE_COMMON_KEYFRAME_IMAGES_H_

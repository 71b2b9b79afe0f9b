// Keyframe folders and JPEG images, with every failure reported once on stderr.
#ifndef SHOTSCENE_COMMON_KEYFRAME_IMAGES_H_
#define SHOTSCENE_COMMON_KEYFRAME_IMAGES_H_

#include <opencv2/core.hpp>
#include <set>
#include <string>

namespace shotscene {

// Creates the folder and any missing parents, without a shell. Reports
// "Can not create folder F" and returns false when it is not a folder after.
bool createKeyframeFolder(const std::string& folder);

// The images a stage wrote, and those it could not: how many, and the first.
struct ImageWrites {
  std::set<std::string> written;  // paths
  int failed = 0;
  std::string firstFailed;
};

// Writes the image as JPEG with the library's default settings. Throws
// RunStopped, leaving no file, when a stop is requested.
void writeKeyframeImage(const std::string& path, const cv::Mat& image, ImageWrites& writes);

// Reports the failures, if any, in one line; true when there were none.
bool reportImageFailures(const ImageWrites& writes);

// Removes the files in `folder` named as keyframe images with `word`
// (isKeyframeImageName) that `writes` did not write: the images of an earlier
// run's longer list. Other names and subfolders stay. Reports the first
// removal that fails with its path, in one line; true when none failed.
bool removeUnwrittenImages(const std::string& folder, const std::string& word,
                           const ImageWrites& writes);

}  // namespace shotscene

#endif  // SHOTSCENE_COMMON_KEYFRAME_IMAGES_H_

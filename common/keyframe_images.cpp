#include "common/keyframe_images.h"

#include <filesystem>
#include <iostream>
#include <opencv2/imgcodecs.hpp>
#include <system_error>

namespace shotscene {

bool createKeyframeFolder(const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (!error && std::filesystem::is_directory(folder)) return true;
  std::cerr << "Can not create folder " << folder
            << (error ? ": " + error.message() : std::string()) << std::endl;
  return false;
}

void writeKeyframeImage(const std::string& path, const cv::Mat& image, ImageFailures& failures) {
  bool written = false;
  try {
    written = cv::imwrite(path, image);
  } catch (const cv::Exception&) {
  }
  if (!written && failures.count++ == 0) failures.firstPath = path;
}

bool reportImageFailures(const ImageFailures& failures) {
  if (failures.count == 0) return true;
  std::cerr << "Can not write image " << failures.firstPath << " (" << failures.count
            << " images not written)" << std::endl;
  return false;
}

}  // namespace shotscene

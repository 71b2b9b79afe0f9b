#include "common/keyframe_images.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <opencv2/imgcodecs.hpp>
#include <system_error>

#include "common/output_file.h"

namespace shotscene {

bool createKeyframeFolder(const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (!error && std::filesystem::is_directory(folder)) {
    // Once per folder rather than per image: images are many.
    removeStaleTemporaryImages(folder);
    return true;
  }
  std::cerr << "Can not create folder " << folder
            << (error ? ": " + error.message() : std::string()) << std::endl;
  return false;
}

void writeKeyframeImage(const std::string& path, const cv::Mat& image, ImageFailures& failures) {
  // Written under a temporary name that keeps the extension, which picks the encoder.
  const std::string temporary = temporaryPathFor(path, ".jpg");
  bool written = false;
  const int slot = createTemporary(temporary, [&] {
    try {
      written = cv::imwrite(temporary, image);
    } catch (const cv::Exception&) {
    }
  });
  if (written) {
    written = std::rename(temporary.c_str(), path.c_str()) == 0;
  }
  if (!written) std::remove(temporary.c_str());
  releaseTemporary(slot);
  if (!written && failures.count++ == 0) failures.firstPath = path;
}

bool reportImageFailures(const ImageFailures& failures) {
  if (failures.count == 0) return true;
  std::cerr << "Can not write image " << failures.firstPath << " (" << failures.count
            << " images not written)" << std::endl;
  return false;
}

}  // namespace shotscene

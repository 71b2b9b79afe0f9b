#include "common/keyframe_images.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <opencv2/imgcodecs.hpp>
#include <system_error>
#include <vector>

#include "common/cleanup_registry.h"
#include "common/naming.h"

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

void writeKeyframeImage(const std::string& path, const cv::Mat& image, ImageWrites& writes) {
  // Written under a temporary name that keeps the extension, which picks the encoder.
  const std::string temporary = temporaryPathFor(path, ".jpg");
  bool written = false;
  const int slot = createTemporary(temporary, [&] {
    try {
      written = cv::imwrite(temporary, image);
    } catch (const cv::Exception&) {
    }
  });
  // An image finished after a stop request is discarded like one in progress.
  const bool stopped = stopRequested();
  written = written && !stopped && std::rename(temporary.c_str(), path.c_str()) == 0;
  if (!written) std::remove(temporary.c_str());
  releaseTemporary(slot);
  if (stopped) throwIfStopped();
  if (written) {
    writes.written.insert(path);
  } else if (writes.failed++ == 0) {
    writes.firstFailed = path;
  }
}

bool reportImageFailures(const ImageWrites& writes) {
  if (writes.failed == 0) return true;
  std::cerr << "Can not write image " << writes.firstFailed << " (" << writes.failed
            << " images not written)" << std::endl;
  return false;
}

bool removeUnwrittenImages(const std::string& folder, const std::string& word,
                           const ImageWrites& writes) {
  std::vector<std::string> unwritten;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    const std::string path = folder + "/" + it->path().filename().string();
    if (isKeyframeImageName(it->path().filename().string(), word) && !it->is_directory(error) &&
        writes.written.count(path) == 0) {
      unwritten.push_back(path);
    }
  }
  if (error) {
    std::cerr << "Can not read folder " << folder << ": " << error.message() << std::endl;
    return false;
  }
  int failed = 0;
  std::string firstFailed;
  for (const std::string& path : unwritten) {
    if (std::remove(path.c_str()) != 0 && failed++ == 0) firstFailed = path;
  }
  if (failed == 0) return true;
  std::cerr << "Can not remove image " << firstFailed << " (" << failed << " images not removed)"
            << std::endl;
  return false;
}

}  // namespace shotscene

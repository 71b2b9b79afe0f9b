#include "common/naming.h"

namespace shotscene {

std::string outputStem(const std::string& videoPath) {
  std::string::size_type last = 0;
  std::string::size_type hit = videoPath.find('.', 1);
  while (hit != std::string::npos) {
    last = hit;
    hit = videoPath.find('.', hit + 1);
  }
  return videoPath.substr(0, last);
}

std::string makeOutputPath(const std::string& stem, const std::string& suffix) {
  return stem + suffix;
}

}  // namespace shotscene

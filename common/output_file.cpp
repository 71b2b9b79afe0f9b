#include "common/output_file.h"

#include <cerrno>
#include <cstring>
#include <iostream>

namespace shotscene {

namespace {

void reportWriteFailure(const std::string& path, int error) {
  std::cerr << "Can not write file " << path << ": " << std::strerror(error) << std::endl;
}

}  // namespace

std::FILE* openOutputFile(const std::string& path, const char* mode) {
  std::FILE* file = std::fopen(path.c_str(), mode);
  if (file == nullptr) reportWriteFailure(path, errno);
  return file;
}

bool closeOutputFile(std::FILE* file, const std::string& path) {
  errno = 0;
  const bool writeFailed = std::fflush(file) != 0 || std::ferror(file) != 0;
  const int writeError = errno;
  const bool closeFailed = std::fclose(file) != 0;
  if (writeFailed || closeFailed) {
    reportWriteFailure(path, writeFailed && writeError != 0 ? writeError : errno);
    return false;
  }
  return true;
}

void reportUnreadable(const std::string& path) {
  std::cerr << "Can not read file " << path << std::endl;
}

}  // namespace shotscene

#include "common/output_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

namespace shotscene {

namespace {

void reportWriteFailure(const std::string& path, int error) {
  std::cerr << "Can not write file " << path << ": " << std::strerror(error) << std::endl;
}

}  // namespace

std::string temporaryPathFor(const std::string& path) {
  return path + "." + std::to_string(::getpid()) + ".tmp";
}

OutputFile openOutputFile(const std::string& path, const char* mode) {
  OutputFile output;
  output.path = path;
  output.temporary = temporaryPathFor(path);
  output.file = std::fopen(output.temporary.c_str(), mode);
  if (output.file == nullptr) reportWriteFailure(path, errno);
  return output;
}

bool closeOutputFile(OutputFile& output) {
  if (output.file == nullptr) return false;
  errno = 0;
  const bool writeFailed = std::fflush(output.file) != 0 || std::ferror(output.file) != 0;
  const int writeError = errno;
  const bool closeFailed = std::fclose(output.file) != 0;
  const int closeError = errno;
  output.file = nullptr;
  if (writeFailed || closeFailed) {
    reportWriteFailure(output.path, writeFailed && writeError != 0 ? writeError : closeError);
    std::remove(output.temporary.c_str());
    return false;
  }
  return replaceWithTemporary(output.temporary, output.path);
}

bool replaceWithTemporary(const std::string& temporary, const std::string& path) {
  if (std::rename(temporary.c_str(), path.c_str()) == 0) return true;
  reportWriteFailure(path, errno);
  std::remove(temporary.c_str());
  return false;
}

void reportUnreadable(const std::string& path) {
  std::cerr << "Can not read file " << path << std::endl;
}

}  // namespace shotscene

#include "common/output_file.h"

#include <cerrno>
#include <cstring>
#include <iostream>

#include "common/cleanup_registry.h"

namespace shotscene {

namespace {

void reportWriteFailure(const std::string& path, int error) {
  std::cerr << "Can not write file " << path << ": " << std::strerror(error) << std::endl;
}

}  // namespace

OutputFile::OutputFile(const std::string& path, const char* mode)
    : path_(path), temporary_(temporaryPathFor(path)) {
  removeStaleTemporaries(path);
  slot_ = createTemporary(temporary_, [&] { file_ = std::fopen(temporary_.c_str(), mode); });
  if (file_ == nullptr) {
    const int error = errno;
    releaseTemporary(slot_);
    slot_ = -1;
    reportWriteFailure(path, error);
  }
}

OutputFile::~OutputFile() { discard(); }

void OutputFile::discard() {
  if (file_ == nullptr) return;
  std::fclose(file_);
  file_ = nullptr;
  std::remove(temporary_.c_str());
  releaseTemporary(slot_);
  slot_ = -1;
}

bool OutputFile::close() {
  if (file_ == nullptr) return false;
  if (stopRequested()) {
    discard();
    throwIfStopped();
    return false;
  }
  errno = 0;
  const bool writeFailed = std::fflush(file_) != 0 || std::ferror(file_) != 0;
  const int writeError = errno;
  const bool closeFailed = std::fclose(file_) != 0;
  const int closeError = errno;
  file_ = nullptr;
  bool replaced = false;
  if (writeFailed || closeFailed) {
    reportWriteFailure(path_, writeFailed && writeError != 0 ? writeError : closeError);
    std::remove(temporary_.c_str());
  } else if (std::rename(temporary_.c_str(), path_.c_str()) == 0) {
    replaced = true;
  } else {
    reportWriteFailure(path_, errno);
    std::remove(temporary_.c_str());
  }
  // Only once the temporary name is gone, so an interrupt still finds it until then.
  releaseTemporary(slot_);
  slot_ = -1;
  return replaced;
}

bool writeWholeFile(const std::string& path, const std::string& text) {
  OutputFile out(path, "wb");
  if (out.file() == nullptr) return false;
  std::fwrite(text.data(), 1, text.size(), out.file());
  return out.close();
}

void reportUnreadable(const std::string& path) {
  std::cerr << "Can not read file " << path << std::endl;
}

}  // namespace shotscene

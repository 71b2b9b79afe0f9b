// Output files replaced atomically, with every failure reported with its path.
#ifndef SHOTSCENE_COMMON_OUTPUT_FILE_H_
#define SHOTSCENE_COMMON_OUTPUT_FILE_H_

#include <cstdio>
#include <string>

namespace shotscene {

// An output being written under a temporary name in its own folder, unique to
// this process (common/cleanup_registry.h); the file appears under `path` only
// when it is complete. One left unclosed, by an error or an exception, is
// discarded: `path` stays as it was and no temporary file remains.
class OutputFile {
 public:
  // Removes the temporaries dead runs left for `path`, then opens this one's
  // with the given fopen mode; on failure reports path on standard error and
  // file() is null. Throws RunStopped, creating nothing, when a stop is requested.
  OutputFile(const std::string& path, const char* mode);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  std::FILE* file() const { return file_; }
  const std::string& path() const { return path_; }

  // Closes the file and renames it over `path`, so that a reader (or a run
  // killed at any moment) sees the old complete file or the new one. Returns
  // false, after reporting the path on standard error and removing the
  // temporary file, when the file was not open or a write, the close or the
  // rename failed. When a stop is requested, discards it and throws RunStopped.
  bool close();

 private:
  void discard();

  std::FILE* file_ = nullptr;
  std::string path_;
  std::string temporary_;
  int slot_ = -1;  // in the table of temporary files an interrupt removes
};

// Writes `text` to `path` as an OutputFile opened in binary mode; false after reporting a failure.
bool writeWholeFile(const std::string& path, const std::string& text);

// Reports on standard error that a file the tool wrote can not be read back.
void reportUnreadable(const std::string& path);

}  // namespace shotscene

#endif  // SHOTSCENE_COMMON_OUTPUT_FILE_H_

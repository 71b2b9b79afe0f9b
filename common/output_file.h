// Output files replaced atomically, with every failure reported with its path.
#ifndef SHOTSCENE_COMMON_OUTPUT_FILE_H_
#define SHOTSCENE_COMMON_OUTPUT_FILE_H_

#include <cstdio>
#include <string>

namespace shotscene {

// An output being written under a temporary name in its own folder, unique to
// this process; the file appears under `path` only when it is complete.
struct OutputFile {
  std::FILE* file = nullptr;
  std::string path;
  std::string temporary;
};

// The temporary name of `path` for this process.
std::string temporaryPathFor(const std::string& path);

// Opens the temporary file with the given fopen mode; on failure reports path
// on standard error and leaves `file` null.
OutputFile openOutputFile(const std::string& path, const char* mode);

// Closes the file and renames it over `path`, so that a reader (or a run
// killed at any moment) sees the old complete file or the new one. Returns
// false, after reporting the path on standard error and removing the
// temporary file, when a write, the close or the rename failed.
bool closeOutputFile(OutputFile& output);

// Renames a finished temporary file over `path`; reports and cleans up on failure.
bool replaceWithTemporary(const std::string& temporary, const std::string& path);

// Reports on standard error that a file the tool wrote can not be read back.
void reportUnreadable(const std::string& path);

}  // namespace shotscene

#endif  // SHOTSCENE_COMMON_OUTPUT_FILE_H_

// Opening and closing output files so that every failure is reported with its path.
#ifndef SHOTSCENE_COMMON_OUTPUT_FILE_H_
#define SHOTSCENE_COMMON_OUTPUT_FILE_H_

#include <cstdio>
#include <string>

namespace shotscene {

// fopen with the given mode; on failure reports path on standard error and
// returns nullptr.
std::FILE* openOutputFile(const std::string& path, const char* mode);

// Closes file; returns false, after reporting path on standard error, when
// any write to it or the close failed (a full disk shows up here).
bool closeOutputFile(std::FILE* file, const std::string& path);

// Reports on standard error that a file the tool wrote can not be read back.
void reportUnreadable(const std::string& path);

}  // namespace shotscene

#endif  // SHOTSCENE_COMMON_OUTPUT_FILE_H_

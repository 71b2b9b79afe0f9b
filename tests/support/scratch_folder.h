// A fresh folder per test, removed afterwards, and reading whole files.
#ifndef SHOTSCENE_TESTS_SUPPORT_SCRATCH_FOLDER_H_
#define SHOTSCENE_TESTS_SUPPORT_SCRATCH_FOLDER_H_

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace shotscene::testing {

inline std::string readWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// How many times `what` occurs in `text`, overlaps included.
inline int occurrences(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class ScratchFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ =
        std::filesystem::temp_directory_path() / ("shotscene_" + std::to_string(::getpid()) + "_" +
                                                  info->test_suite_name() + "_" + info->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  std::filesystem::path dir_;
};

}  // namespace shotscene::testing

#endif  // SHOTSCENE_TESTS_SUPPORT_SCRATCH_FOLDER_H_

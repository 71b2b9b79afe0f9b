// A fresh folder per test, removed afterwards, and whole-file reads.
#ifndef SHOTSCENE_TESTS_SUPPORT_SCRATCH_FOLDER_H_
#define SHOTSCENE_TESTS_SUPPORT_SCRATCH_FOLDER_H_

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace shotscene::testing {

inline std::string readWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
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

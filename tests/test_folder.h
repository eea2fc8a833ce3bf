// A folder of the test's own under the system's temporary folder: made empty as the fixture is
// made, removed with it. Named after the process and the test, so tests running side by side (ctest
// -j) never share one.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>

class TestFolder : public std::filesystem::path {
 public:
  // Without `create` the folder is only named: the code under test is to make it.
  explicit TestFolder(bool create = true) : path(Name()) {
    std::filesystem::remove_all(*this);
    if (create) std::filesystem::create_directories(*this);
  }
  ~TestFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(*this, ignored);
  }
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;

 private:
  static std::filesystem::path Name() {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = "gl-" + std::to_string(::getpid()) + "-" + test->test_suite_name() + "-" + test->name();
    std::replace(name.begin(), name.end(), '/', '_');  // parameterised tests
    return std::filesystem::temp_directory_path() / name;
  }
};

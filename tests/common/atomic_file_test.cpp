#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/atomic_file.h"

namespace fs = std::filesystem;

class AtomicFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("gl-atomic-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override {
    gFailWritesAfterBytes = -1;
    fs::remove_all(dir);
  }
  std::string Read(const fs::path& p) {
    std::string bytes, error;
    EXPECT_TRUE(ReadWholeFile(p.string(), bytes, error)) << error;
    return bytes;
  }
  std::size_t FilesIn() { return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {})); }
  fs::path dir;
};

TEST_F(AtomicFile, WritesAndReplaces) {
  std::string error;
  auto target = (dir / "song.gvlm").string();
  ASSERT_TRUE(WriteFileAtomically(target, "first", error)) << error;
  ASSERT_TRUE(WriteFileAtomically(target, std::string("sec\0nd", 6), error)) << error;
  EXPECT_EQ(Read(target), std::string("sec\0nd", 6));
  EXPECT_EQ(FilesIn(), 1u);
}

TEST_F(AtomicFile, FailurePartWayKeepsOldFileAndLeavesNoTemporary) {
  std::string error;
  auto target = (dir / "song.gvlm").string();
  ASSERT_TRUE(WriteFileAtomically(target, "old content", error));
  gFailWritesAfterBytes = 3;
  EXPECT_FALSE(WriteFileAtomically(target, "new content that fails", error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(Read(target), "old content");
  EXPECT_EQ(FilesIn(), 1u);
}

TEST_F(AtomicFile, RefusedTargetsReportTheSystemReason) {
  std::string error;
  EXPECT_FALSE(WriteFileAtomically((dir / "missing" / "x.gvlm").string(), "x", error));
  EXPECT_EQ(error, "No such file or directory");
  auto plain = (dir / "plain").string();
  ASSERT_TRUE(WriteFileAtomically(plain, "x", error));
  EXPECT_FALSE(WriteFileAtomically(plain + "/below.gvlm", "x", error));
  EXPECT_EQ(error, "Not a directory");
  std::string bytes;
  EXPECT_FALSE(ReadWholeFile((dir / "nothing").string(), bytes, error));
}

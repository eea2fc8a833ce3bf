#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "common/atomic_file.h"
#include "files/convert.h"
#include "files/tab_file.h"
#include "tests/test_folder.h"

namespace fs = std::filesystem;

class Convert : public ::testing::Test {
 protected:
  void SetUp() override {
    Osnova doc(3, 5, 8);
    doc.Song = "Converted";
    doc.EditBar(2).Rows[RowSnare].Set(3, 1, 1);
    song = WriteTabBytes(doc);
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(In(), song, error)) << error;
  }
  void TearDown() override {
    TestWriteFaults().FailAfterBytes = -1;
  }
  std::string In() const { return (dir / "in.gvlm").string(); }
  std::string Read(const std::string& path) {
    std::string bytes, error;
    EXPECT_TRUE(ReadWholeFile(path, bytes, error)) << error;
    return bytes;
  }
  TestFolder dir;
  std::string song;
};

TEST_F(Convert, WritesTheTabFileWhateverTheExtensionsCase) {
  for (const char* name : {"out.gvlm", "OUT.GVLM", "dotted.name.GvLm"}) {
    std::string message = "stale";
    const std::string out = (dir / name).string();
    EXPECT_EQ(ConvertTabFile(In(), out, message), 0) << name << ": " << message;
    EXPECT_EQ(message, "");
    EXPECT_EQ(Read(out), song) << name;
  }
}

TEST_F(Convert, UnknownExtensionListsTheKnownOnesAndWritesNothing) {
  for (const char* name : {"out.doc", "out", "folder.gvlm/out", "out.gvlm.bak"}) {
    std::string message;
    EXPECT_EQ(ConvertTabFile(In(), (dir / name).string(), message), 2) << name;
    for (const auto& ext : ConversionExtensions())
      EXPECT_NE(message.find(ext), std::string::npos) << message;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 1);
}

TEST_F(Convert, RefusedInputGivesTheDamagedMessage) {
  std::string error, message;
  const std::string bad = (dir / "bad.gvlm").string();
  ASSERT_TRUE(WriteFileAtomically(bad, song.substr(0, song.size() - 1), error));
  const std::string out = (dir / "out.gvlm").string();
  EXPECT_EQ(ConvertTabFile(bad, out, message), 1);
  EXPECT_EQ(message, kDamagedTabFileMessage);
  EXPECT_EQ(ConvertTabFile((dir / "missing.gvlm").string(), out, message), 1);
  EXPECT_EQ(message, kDamagedTabFileMessage);
  EXPECT_FALSE(fs::exists(out));
}

TEST_F(Convert, FailedWriteNamesTheFileAndKeepsTheOldOne) {
  std::string message;
  const std::string out = (dir / "out.gvlm").string();
  ASSERT_EQ(ConvertTabFile(In(), out, message), 0);
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(out, "old", error));

  TestWriteFaults().FailAfterBytes = 10;
  EXPECT_EQ(ConvertTabFile(In(), out, message), 1);
  EXPECT_NE(message.find(out), std::string::npos) << message;
  EXPECT_EQ(Read(out), "old");

  TestWriteFaults().FailAfterBytes = -1;
  const std::string nowhere = (dir / "no" / "out.gvlm").string();
  EXPECT_EQ(ConvertTabFile(In(), nowhere, message), 1);
  EXPECT_NE(message.find(nowhere), std::string::npos) << message;
  EXPECT_NE(message.find("No such file or directory"), std::string::npos) << message;
}

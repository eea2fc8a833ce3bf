#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "common/atomic_file.h"
#include "common/xdg_folders.h"
#include "files/recent_files.h"
#include "tests/test_folder.h"

namespace fs = std::filesystem;

class RecentFilesTest : public ::testing::Test {
 protected:
  TestFolder dir;
};

TEST_F(RecentFilesTest, MostRecentFirstEightAtMostNoRepeats) {
  RecentFiles recent;
  for (int i = 1; i <= 10; ++i) recent.Add("/songs/" + std::to_string(i) + ".gvlm");
  recent.Add("/songs/5.gvlm");  // moves up, is not listed twice
  recent.Add("relative.gvlm");  // not an absolute path
  recent.Add("/with\nbreak.gvlm");
  const std::vector<std::string> expected{"/songs/5.gvlm", "/songs/10.gvlm", "/songs/9.gvlm",
                                          "/songs/8.gvlm", "/songs/7.gvlm",  "/songs/6.gvlm",
                                          "/songs/4.gvlm", "/songs/3.gvlm"};
  EXPECT_EQ(recent.Paths(), expected);
  EXPECT_TRUE(recent.Remove("/songs/9.gvlm"));
  EXPECT_FALSE(recent.Remove("/songs/9.gvlm"));
  EXPECT_EQ(recent.Paths().size(), 7u);
}

TEST_F(RecentFilesTest, PersistsAndReadsDamagedFilesSafely) {
  const std::string file = (dir / "config" / "grooveloom" / "recent-files").string();
  std::string error;
  RecentFiles none;
  ASSERT_TRUE(none.Load(file, error)) << error;  // nothing remembered yet
  EXPECT_TRUE(none.Paths().empty());

  RecentFiles first;
  first.Add("/a b/one.gvlm");
  first.Add("/two.gvlm");
  ASSERT_TRUE(first.Save(file, error)) << error;  // creates the folders
  RecentFiles again;
  ASSERT_TRUE(again.Load(file, error)) << error;
  EXPECT_EQ(again.Paths(), first.Paths());

  std::string text = "/x.gvlm\r\nnot absolute\n\n/x.gvlm\n";
  for (int i = 0; i < 12; ++i) text += "/n" + std::to_string(i) + "\n";
  ASSERT_TRUE(WriteFileAtomically(file, text, error));
  ASSERT_TRUE(again.Load(file, error));
  ASSERT_EQ(again.Paths().size(), kRecentFilesMax);
  EXPECT_EQ(again.Paths()[0], "/x.gvlm");  // a CR from another editor is not part of the name
  EXPECT_EQ(again.Paths()[1], "/n0");

  EXPECT_FALSE(again.Load(dir.string(), error));  // a folder is no list
  EXPECT_FALSE(error.empty());
}

TEST_F(RecentFilesTest, FoldersFollowTheEnvironment) {
  const char* home = std::getenv("HOME");
  const std::string savedHome = home ? home : "";
  ::setenv("XDG_CONFIG_HOME", "/conf", 1);
  ::setenv("XDG_STATE_HOME", "relative/ignored", 1);
  ::setenv("HOME", "/home/drummer", 1);
  EXPECT_EQ(ConfigFolder(), "/conf/grooveloom");
  EXPECT_EQ(StateFolder(), "/home/drummer/.local/state/grooveloom");
  EXPECT_EQ(RecentFilesPath(), "/conf/grooveloom/recent-files");
  ::unsetenv("XDG_CONFIG_HOME");
  ::unsetenv("XDG_STATE_HOME");
  EXPECT_EQ(ConfigFolder(), "/home/drummer/.config/grooveloom");
  ::setenv("HOME", savedHome.c_str(), 1);

  // The help page: beside the program first, then in an install's share folder.
  fs::create_directories(dir / "bin");
  fs::create_directories(dir / "share" / "grooveloom");
  std::string error;
  EXPECT_EQ(FindProgramFile((dir / "bin").string(), "help.html"), "");
  ASSERT_TRUE(WriteFileAtomically((dir / "share/grooveloom/help.html").string(), "<html>", error));
  EXPECT_EQ(FindProgramFile((dir / "bin").string(), "help.html"),
            (dir / "share/grooveloom/help.html").string());
  ASSERT_TRUE(WriteFileAtomically((dir / "bin/help.html").string(), "<html>", error));
  EXPECT_EQ(FindProgramFile((dir / "bin").string(), "help.html"), (dir / "bin/help.html").string());
}

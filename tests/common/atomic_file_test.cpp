#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "common/atomic_file.h"
#include "tests/test_folder.h"

namespace fs = std::filesystem;

class AtomicFile : public ::testing::Test {
 protected:
  void TearDown() override {
    TestWriteFaults().FailAfterBytes = -1;
    TestWriteFaults().ExitAtFailure = false;
    TestWriteFaults().UseUnnamedTemporary = true;
    fs::permissions(dir, fs::perms::owner_all);
  }
  std::string Read(const fs::path& p) {
    std::string bytes, error;
    EXPECT_TRUE(ReadWholeFile(p.string(), bytes, error)) << error;
    return bytes;
  }
  void Put(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }
  std::size_t FilesIn() { return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {})); }
  mode_t Mode(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0);
    return st.st_mode & 07777;
  }
  // Runs `body` in a child process as a user whom permissions bind: root may write anywhere, so
  // a root test run drops to nobody there. Returns the child's exit status.
  int InChild(const std::function<int()>& body, bool dropRoot = true) {
    pid_t pid = ::fork();
    if (pid == 0) {
      if (dropRoot && ::geteuid() == 0 &&
          (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
        ::_exit(99);
      ::_exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  TestFolder dir;
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
  for (bool unnamed : {true, false}) {
    TestWriteFaults().UseUnnamedTemporary = unnamed;
    TestWriteFaults().FailAfterBytes = 3;
    EXPECT_FALSE(WriteFileAtomically(target, "new content that fails", error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(Read(target), "old content");
    EXPECT_EQ(FilesIn(), 1u);
  }
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

TEST_F(AtomicFile, SymbolicLinksStayLinksAndTheirTargetIsWritten) {
  fs::create_directories(dir / "real");
  Put(dir / "real" / "song.gvlm", "old");
  fs::permissions(dir / "real" / "song.gvlm", fs::perms(0640));
  fs::create_symlink("real/song.gvlm", dir / "link.gvlm");       // relative
  fs::create_symlink(dir / "link.gvlm", dir / "chain.gvlm");      // a link to a link
  fs::create_symlink("real/new.gvlm", dir / "dangling.gvlm");     // its target does not exist yet
  std::string error;
  ASSERT_TRUE(WriteFileAtomically((dir / "chain.gvlm").string(), "new", error)) << error;
  ASSERT_TRUE(WriteFileAtomically((dir / "dangling.gvlm").string(), "created", error)) << error;
  EXPECT_TRUE(fs::is_symlink(dir / "link.gvlm"));
  EXPECT_TRUE(fs::is_symlink(dir / "chain.gvlm"));
  EXPECT_TRUE(fs::is_symlink(dir / "dangling.gvlm"));
  EXPECT_EQ(Read(dir / "real" / "song.gvlm"), "new");
  EXPECT_EQ(Mode(dir / "real" / "song.gvlm"), 0640u);
  EXPECT_EQ(Read(dir / "real" / "new.gvlm"), "created");

  // A failed save through the link harms neither the link nor its target.
  TestWriteFaults().FailAfterBytes = 1;
  EXPECT_FALSE(WriteFileAtomically((dir / "link.gvlm").string(), "broken", error));
  EXPECT_TRUE(fs::is_symlink(dir / "link.gvlm"));
  EXPECT_EQ(Read(dir / "real" / "song.gvlm"), "new");

  fs::create_symlink("loop.gvlm", dir / "loop.gvlm");
  TestWriteFaults().FailAfterBytes = -1;
  EXPECT_FALSE(WriteFileAtomically((dir / "loop.gvlm").string(), "x", error));
  EXPECT_EQ(error, "Too many levels of symbolic links");
}

TEST_F(AtomicFile, KeepsPermissionBitsOfTheReplacedFile) {
  Put(dir / "song.gvlm", "old");
  fs::permissions(dir / "song.gvlm", fs::perms(0604));
  std::string error;
  for (bool unnamed : {true, false}) {
    TestWriteFaults().UseUnnamedTemporary = unnamed;
    ASSERT_TRUE(WriteFileAtomically((dir / "song.gvlm").string(), "new", error)) << error;
    EXPECT_EQ(Mode(dir / "song.gvlm"), 0604u);
  }
}

TEST_F(AtomicFile, NewFileFollowsTheUmaskWithoutChangingIt) {
  const mode_t before = ::umask(027);
  std::string error;
  ASSERT_TRUE(WriteFileAtomically((dir / "new.gvlm").string(), "x", error)) << error;
  EXPECT_EQ(Mode(dir / "new.gvlm"), 0640u);
  EXPECT_EQ(::umask(before), 027u);
}

TEST_F(AtomicFile, HardLinkedFileIsRewrittenForEveryName) {
  Put(dir / "song.gvlm", "old content");
  fs::create_hard_link(dir / "song.gvlm", dir / "other.gvlm");
  std::string error;
  ASSERT_TRUE(WriteFileAtomically((dir / "song.gvlm").string(), "new", error)) << error;
  EXPECT_EQ(Read(dir / "other.gvlm"), "new");
  EXPECT_EQ(fs::hard_link_count(dir / "song.gvlm"), 2u);
  EXPECT_EQ(FilesIn(), 2u);
}

TEST_F(AtomicFile, WriteProtectedFileIsRefusedAndUntouched) {
  Put(dir / "song.gvlm", "old");
  fs::permissions(dir / "song.gvlm", fs::perms(0444));
  fs::permissions(dir, fs::perms::all);  // the folder itself is writable
  const int status = InChild([&] {
    std::string error;
    if (WriteFileAtomically((dir / "song.gvlm").string(), "new", error)) return 1;
    return error == "Permission denied" ? 0 : 2;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Read(dir / "song.gvlm"), "old");
  EXPECT_EQ(Mode(dir / "song.gvlm"), 0444u);
  EXPECT_EQ(FilesIn(), 1u);
}

TEST_F(AtomicFile, WritableFileInReadOnlyFolderIsWrittenInPlace) {
  Put(dir / "song.gvlm", "a longer old content");
  fs::permissions(dir / "song.gvlm", fs::perms(0666));
  fs::permissions(dir, fs::perms(0555));
  const int status = InChild([&] {
    std::string error;
    if (!WriteFileAtomically((dir / "song.gvlm").string(), "shorter", error)) return 1;
    // A new file cannot be made there: the reason is the system's.
    if (WriteFileAtomically((dir / "new.gvlm").string(), "x", error)) return 2;
    return error == "Permission denied" ? 0 : 3;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Read(dir / "song.gvlm"), "shorter");
  EXPECT_EQ(FilesIn(), 1u);
}

TEST_F(AtomicFile, KilledSaveLeavesNothingBehind) {
  const auto target = (dir / "song.gvlm").string();
  Put(target, "old");
  for (bool unnamed : {true, false}) {
    const int status = InChild(
        [&] {
          TestWriteFaults().UseUnnamedTemporary = unnamed;
          TestWriteFaults().FailAfterBytes = 2;
          TestWriteFaults().ExitAtFailure = true;
          std::string error;
          WriteFileAtomically(target, "new content", error);
          return 0;
        },
        false);
    EXPECT_EQ(status, 70);  // ended inside the write
    EXPECT_EQ(Read(target), "old");
    // A named temporary can only be left where the unnamed kind is not available.
    EXPECT_EQ(FilesIn(), unnamed ? 1u : 2u) << "unnamed " << unnamed;
  }
  // Another save in progress (its temporary locked) and files of other names are left alone.
  Put(dir / ".grooveloom-Busy01", "in use");
  Put(dir / ".grooveloom-notours", "x");
  int busy = ::open((dir / ".grooveloom-Busy01").c_str(), O_RDONLY);
  ASSERT_GE(busy, 0);
  ASSERT_EQ(::flock(busy, LOCK_EX), 0);
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(target, "next", error)) << error;
  ::close(busy);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{".grooveloom-Busy01", ".grooveloom-notours", "song.gvlm"}));
}

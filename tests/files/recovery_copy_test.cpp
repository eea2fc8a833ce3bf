#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <mutex>

#include "common/atomic_file.h"
#include "files/recovery_copy.h"
#include "files/tab_file.h"
#include "model/tab_document.h"
#include "tests/test_folder.h"

namespace fs = std::filesystem;

class RecoveryCopyTest : public ::testing::Test {
 protected:

  // The pid of a process that has ended (and been reaped).
  static int64_t EndedProcess() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
  }
  std::string Read(const std::string& path) {
    std::string bytes, error;
    EXPECT_TRUE(ReadWholeFile(path, bytes, error)) << path << ": " << error;
    return bytes;
  }
  TestFolder dir{false};
};

TEST_F(RecoveryCopyTest, CompanionRoundTripsAndRefusesGarbage) {
  RecoveryInfo info{"/songs/odd\\name\nwith break.gvlm", 4242, 123456, "boot-id"};
  const std::optional<RecoveryInfo> back = ParseRecoveryInfo(FormatRecoveryInfo(info));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->Original, info.Original);
  EXPECT_EQ(back->Pid, 4242);
  EXPECT_EQ(back->StartTime, 123456u);
  EXPECT_EQ(back->BootId, "boot-id");
  EXPECT_FALSE(ParseRecoveryInfo(""));
  EXPECT_FALSE(ParseRecoveryInfo("something else\npid=1\n"));
  EXPECT_FALSE(ParseRecoveryInfo("grooveloom-recovery 1\noriginal=/x\n"));  // no process
  EXPECT_FALSE(ParseRecoveryInfo("grooveloom-recovery 1\npid=12x\n"));
}

TEST_F(RecoveryCopyTest, RunningMeansTheSameProcessOfThisBoot) {
  const RecoveryInfo self = ThisProcess();
  EXPECT_TRUE(ProcessRunning(self));
  RecoveryInfo reused = self;  // same pid, started at another time: another process
  reused.StartTime += 1;
  EXPECT_FALSE(ProcessRunning(reused));
  RecoveryInfo earlierBoot = self;
  earlierBoot.BootId = "not-this-boot";
  EXPECT_FALSE(ProcessRunning(earlierBoot));
  RecoveryInfo ended = self;
  ended.Pid = EndedProcess();
  EXPECT_FALSE(ProcessRunning(ended));
}

TEST_F(RecoveryCopyTest, WriterKeepsNewestRequestAndRemovesOnRequest) {
  std::vector<std::string> failures;
  {
    RecoveryWriter writer(dir.string(), [&](const std::string& m) { failures.push_back(m); });
    for (int i = 0; i < 20; ++i) writer.Write("bytes " + std::to_string(i), "/songs/a.gvlm");
    writer.WaitIdle();
    EXPECT_EQ(Read(writer.TabPath()), "bytes 19");
    const std::optional<RecoveryInfo> info = ParseRecoveryInfo(Read(writer.InfoPath()));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->Original, "/songs/a.gvlm");
    EXPECT_EQ(info->Pid, ::getpid());
    // Its own process runs: nothing here is abandoned.
    EXPECT_TRUE(FindAbandonedCopies(dir.string()).empty());

    writer.Write("later", "");
    writer.Remove();  // after a write still waiting, the removal wins
    writer.WaitIdle();
    EXPECT_FALSE(fs::exists(writer.TabPath()));
    EXPECT_FALSE(fs::exists(writer.InfoPath()));

    writer.Write("on quit", "");
    writer.Remove();
  }  // destruction finishes the removal
  EXPECT_TRUE(failures.empty());
  EXPECT_TRUE(fs::is_empty(dir));
}

TEST_F(RecoveryCopyTest, FindsCopiesOfEndedProcessesNewestFirst) {
  fs::create_directories(dir);
  std::string error;
  auto leave = [&](const std::string& name, const RecoveryInfo& info, bool withCopy, int age) {
    ASSERT_TRUE(WriteFileAtomically((dir / (name + ".info")).string(), FormatRecoveryInfo(info), error));
    if (!withCopy) return;
    const std::string tab = (dir / (name + ".gvlm")).string();
    ASSERT_TRUE(WriteFileAtomically(tab, name, error));
    fs::last_write_time(tab, fs::file_time_type::clock::now() - std::chrono::hours(age));
  };
  RecoveryInfo ended{"/songs/old.gvlm", EndedProcess(), 1, ""};
  leave("old", ended, true, 5);
  ended.Original = "";
  leave("new", ended, true, 1);
  leave("no-copy", ended, false, 0);
  RecoveryInfo running = ThisProcess();
  leave("running", running, true, 0);
  ASSERT_TRUE(WriteFileAtomically((dir / "garbage.info").string(), "not a companion", error));

  const std::vector<AbandonedCopy> found = FindAbandonedCopies(dir.string());
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(Read(found[0].TabPath), "new");
  EXPECT_EQ(found[0].Info.Original, "");
  EXPECT_EQ(Read(found[1].TabPath), "old");
  EXPECT_EQ(found[1].Info.Original, "/songs/old.gvlm");
  EXPECT_GT(found[0].WrittenAt, found[1].WrittenAt);
  EXPECT_FALSE(fs::exists(dir / "no-copy.info"));  // tidied up
  EXPECT_TRUE(fs::exists(dir / "running.gvlm"));

  DeleteCopy(found[1]);
  EXPECT_FALSE(fs::exists(found[1].TabPath));
  EXPECT_FALSE(fs::exists(found[1].InfoPath));
  EXPECT_EQ(FindAbandonedCopies(dir.string()).size(), 1u);
}

TEST_F(RecoveryCopyTest, UnwritableFolderIsReported) {
  fs::create_directories(dir);
  std::string error;
  ASSERT_TRUE(WriteFileAtomically((dir / "plain").string(), "a file, not a folder", error));
  std::mutex m;
  std::vector<std::string> failures;
  RecoveryWriter writer((dir / "plain" / "recovery").string(), [&](const std::string& message) {
    std::lock_guard lock(m);
    failures.push_back(message);
  });
  writer.Write("x", "");
  writer.WaitIdle();
  std::lock_guard lock(m);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0].find("Not a directory"), std::string::npos) << failures[0];
}

TEST_F(RecoveryCopyTest, FolderAndCopiesArePrivateToTheUser) {
  const mode_t oldMask = ::umask(022);
  {
    RecoveryWriter writer((dir / "state" / "recovery").string(), nullptr);
    writer.Write("unsaved work", "/songs/a.gvlm");
    writer.WaitIdle();
    for (const fs::path& folder : {fs::path(dir), dir / "state", dir / "state" / "recovery"})
      EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all) << folder;
    for (const std::string& file : {writer.TabPath(), writer.InfoPath()})
      EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
                fs::perms::owner_read | fs::perms::owner_write)
          << file;
  }
  // A folder an earlier run made readable by others is made private again.
  fs::permissions(dir / "state" / "recovery", fs::perms::owner_all | fs::perms::group_read |
                                                  fs::perms::others_read | fs::perms::others_exec);
  RecoveryWriter writer((dir / "state" / "recovery").string(), nullptr);
  writer.Write("more", "");
  writer.WaitIdle();
  EXPECT_EQ(fs::status(dir / "state" / "recovery").permissions() & fs::perms::all, fs::perms::owner_all);
  ::umask(oldMask);
}

TEST_F(RecoveryCopyTest, DamagedCopyIsSetAsideAndAGoodOneReadsWithoutTouchingTheKit) {
  fs::create_directories(dir);
  std::string error;
  const RecoveryInfo ended{"/songs/a.gvlm", EndedProcess(), 1, ""};
  auto leave = [&](const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(WriteFileAtomically((dir / (name + ".info")).string(), FormatRecoveryInfo(ended), error));
    ASSERT_TRUE(WriteFileAtomically((dir / (name + ".gvlm")).string(), bytes, error));
  };
  Osnova song(4, 2, 4);
  song.Kit[RowRide] = 0;
  leave("good", WriteTabBytes(song));
  leave("bad", WriteTabBytes(song).substr(0, 40));

  const std::optional<AbandonedCopy> good = FindAbandonedCopy(dir.string(), (dir / "good.gvlm").string());
  const std::optional<AbandonedCopy> bad = FindAbandonedCopy(dir.string(), (dir / "bad.gvlm").string());
  ASSERT_TRUE(good && bad);
  EXPECT_FALSE(FindAbandonedCopy(dir.string(), (dir / "good.info").string()));
  EXPECT_TRUE(CopyIsReadable(*good, error)) << error;
  EXPECT_FALSE(CopyIsReadable(*bad, error));
  EXPECT_EQ(error, kDamagedTabFileMessage);

  const std::string kept = SetDamagedCopyAside(*bad, error);
  EXPECT_EQ(kept, (dir / "damaged" / "bad.gvlm").string()) << error;
  EXPECT_EQ(Read(kept), WriteTabBytes(song).substr(0, 40));
  EXPECT_TRUE(fs::exists(dir / "damaged" / "bad.info"));
  EXPECT_EQ(fs::status(dir / "damaged").permissions() & fs::perms::all, fs::perms::owner_all);
  const std::vector<AbandonedCopy> left = FindAbandonedCopies(dir.string());
  ASSERT_EQ(left.size(), 1u) << "set aside: never offered again";
  EXPECT_EQ(left[0].TabPath, good->TabPath);
}

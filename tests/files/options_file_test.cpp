#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "common/atomic_file.h"
#include "files/options_file.h"
#include "midi/midi_output.h"
#include "layout/key_map.h"
#include "tests/test_folder.h"

namespace fs = std::filesystem;

namespace {

const std::string kDefaultFile =
    "@Custom KeyMap\r\n49\r\n50\r\n51\r\n81\r\n87\r\n82\r\n83\r\n65\r\n90\r\n84\r\n89\r\n70\r\n"
    "190\r\n188\r\n@Custom DrumKit\r\nTRUE\r\nTRUE\r\nTRUE\r\nTRUE\r\nTRUE\r\nTRUE\r\nTRUE\r\n"
    "TRUE\r\nTRUE\r\n@Midi Device = 0\r\n";

StoredOptions Defaults() {
  StoredOptions o;
  o.Keys = kDefaultKeyMap;
  o.Kit.fill(1);
  o.DeviceIndex = 0;
  return o;
}

// The default file with line `n` (1-based) replaced.
std::string WithLine(int n, const std::string& text) {
  std::string out;
  int line = 1;
  std::size_t pos = 0;
  while (pos < kDefaultFile.size()) {
    std::size_t end = kDefaultFile.find("\r\n", pos);
    out += (line == n ? text : kDefaultFile.substr(pos, end - pos)) + "\r\n";
    pos = end + 2;
    ++line;
  }
  return out;
}

}  // namespace

class OptionsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) saved = old;
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    current = Defaults();
    ForgetStoredOptions();
  }
  void TearDown() override {
    if (saved)
      ::setenv("XDG_CONFIG_HOME", saved->c_str(), 1);
    else
      ::unsetenv("XDG_CONFIG_HOME");
    TestWriteFaults().FailAfterBytes = -1;
    current = Defaults();
    fs::permissions(dir, fs::perms::owner_all);
  }
  static std::string Read(const std::string& path) {
    std::string bytes, error;
    EXPECT_TRUE(ReadWholeFile(path, bytes, error)) << error;
    return bytes;
  }
  void Store(const std::string& bytes) {
    fs::create_directories(dir / "config" / "grooveloom");
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(OptionsFilePath(), bytes, error)) << error;
  }
  TestFolder dir;
  std::optional<std::string> saved;
  StoredOptions current = Defaults();  // the settings in use
};

TEST_F(OptionsFile, FirstStartWritesTheDefaultFileInTheConfigFolder) {
  EXPECT_EQ(OptionsFilePath(), (dir / "config" / "grooveloom" / "options.xgl").string());
  EXPECT_EQ(OptionsBytes(Defaults()), kDefaultFile);

  const OptionsLoad load = LoadOptions(current);  // the folder does not exist yet
  EXPECT_TRUE(load.CreatedDefault);
  EXPECT_TRUE(load.Warnings.empty());
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(Read(OptionsFilePath()), kDefaultFile);
  EXPECT_EQ(current, Defaults());
}

TEST_F(OptionsFile, FolderFollowsTheXdgRules) {
  const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  ::setenv("XDG_CONFIG_HOME", "relative/config", 1);  // not absolute: ignored
  ::setenv("HOME", (dir / "home").c_str(), 1);
  EXPECT_EQ(OptionsFilePath(), (dir / "home" / ".config" / "grooveloom" / "options.xgl").string());
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(OptionsFolder(), (dir / "home" / ".config" / "grooveloom").string());
  ::setenv("HOME", home.c_str(), 1);
}

TEST_F(OptionsFile, SavedSettingsComeBack) {
  StoredOptions edited;
  edited.Keys = {80, 50, 51, 81, 87, 82, 83, 65, 90, 84, 89, 70, 219, 222};
  edited.Kit = {1, 1, 0, 1, 0, 1, 1, 1, 0};
  edited.DeviceIndex = -1;  // the mapper
  current = edited;
  std::string error;
  ASSERT_TRUE(SaveOptions(current, error)) << error;
  const std::string bytes = Read(OptionsFilePath());
  EXPECT_NE(bytes.find("\r\nFALSE\r\nTRUE\r\n"), std::string::npos);
  EXPECT_EQ(bytes.substr(bytes.size() - 27), "@Midi Device = 4294967295\r\n");

  current = Defaults();
  const OptionsLoad load = LoadOptions(current);
  EXPECT_FALSE(load.CreatedDefault);
  EXPECT_TRUE(load.Warnings.empty());
  EXPECT_EQ(current, edited);
  EXPECT_EQ(current.DeviceIndex, -1);
}

TEST_F(OptionsFile, KitLinesAndKeyCodesAsTheReaderTakesThem) {
  // Kit lines in any letter case; any other word (or nothing) shows the row.
  StoredOptions o = Defaults();
  o.Kit.fill(0);
  ReadOptionsBytes(WithLine(17, "true"), o);
  EXPECT_EQ(o.Kit[0], 1);
  ReadOptionsBytes(WithLine(18, "False"), o);
  EXPECT_EQ(o.Kit[1], 0);
  o.Kit.fill(0);
  ReadOptionsBytes(WithLine(19, "yes"), o);
  EXPECT_EQ(o.Kit[2], 1);
  o.Kit.fill(0);
  ReadOptionsBytes(WithLine(19, ""), o);
  EXPECT_EQ(o.Kit[2], 1);
  o.Kit.fill(1);
  ReadOptionsBytes(WithLine(20, "fAlSe"), o);
  EXPECT_EQ(o.Kit[3], 0);
  o.Kit.fill(1);
  ReadOptionsBytes(WithLine(20, " FALSE"), o);  // no trimming
  EXPECT_EQ(o.Kit[3], 1);

  // Key codes: Enter and F1 refused, the punctuation keys taken, blanks and a tail skipped.
  o = Defaults();
  ReadOptionsBytes(WithLine(2, "13"), o);
  EXPECT_EQ(o.Keys[0], 49);
  ReadOptionsBytes(WithLine(2, "112"), o);
  EXPECT_EQ(o.Keys[0], 49);
  ReadOptionsBytes(WithLine(2, "192"), o);  // the ` key is not among the accepted ones
  EXPECT_EQ(o.Keys[0], 49);
  ReadOptionsBytes(WithLine(3, "  222 comment"), o);
  EXPECT_EQ(o.Keys[1], 222);
  ReadOptionsBytes(WithLine(4, "186"), o);
  EXPECT_EQ(o.Keys[2], 186);
}

TEST_F(OptionsFile, WrongHeadingsWarnOnceEachAndReadingGoesOn) {
  StoredOptions o = Defaults();
  std::string bytes = WithLine(1, "@Custom Keymap");  // wrong letter case
  bytes.replace(bytes.find("\r\n49\r\n"), 6, "\r\n80\r\n");
  auto warnings = ReadOptionsBytes(bytes, o);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0], kOptionsCorruptedWarning);
  EXPECT_EQ(o.Keys[0], 80);  // lines 2-15 read all the same

  o = Defaults();
  bytes = WithLine(1, "junk");
  bytes.replace(bytes.find("@Custom DrumKit"), 15, "@Custom DrumKit ");
  bytes.replace(bytes.find("TRUE"), 4, "FALSE");
  warnings = ReadOptionsBytes(bytes, o);
  EXPECT_EQ(warnings.size(), 2u);
  EXPECT_EQ(o.Kit[0], 0);
}

TEST_F(OptionsFile, DamagedLinesKeepThePreviousValues) {
  StoredOptions previous = Defaults();
  previous.Keys[5] = 80;
  previous.DeviceIndex = 2;

  for (const char* keyLine : {"", "abc", "82abc", "-82", "99999999999999"}) {
    StoredOptions o = previous;
    EXPECT_TRUE(ReadOptionsBytes(WithLine(7, keyLine), o).empty()) << keyLine;
    EXPECT_EQ(o.Keys[5], 80) << keyLine;
  }
  for (const char* deviceLine : {"@Midi Device = ", "@Midi Device = abc", "@Midi Device = -1",
                                 "@Midi Device = 4294967296", "@Midi Device", "@Midi Device =3",
                                 "@Midi Device = 3x"}) {
    StoredOptions o = previous;
    EXPECT_TRUE(ReadOptionsBytes(WithLine(26, deviceLine), o).empty()) << deviceLine;
    EXPECT_EQ(o.DeviceIndex, 2) << deviceLine;
  }
  // The text before the "=" is not compared.
  StoredOptions o = previous;
  ReadOptionsBytes(WithLine(26, "Device=:7"), o);
  EXPECT_EQ(o.DeviceIndex, 7);

  // Cut after every line: what is there is read, the rest keeps its value, only missing headings
  // warn.
  for (int lines = 0; lines < 26; ++lines) {
    std::string cut = kDefaultFile;
    std::size_t pos = 0;
    for (int i = 0; i < lines; ++i) pos = cut.find("\r\n", pos) + 2;
    cut.resize(pos);
    StoredOptions expected = previous;
    if (lines >= 7) expected.Keys[5] = 82;
    StoredOptions got = previous;
    got.Kit.fill(0);
    expected.Kit.fill(0);
    for (int k = 0; k < 9; ++k)
      if (lines >= 17 + k) expected.Kit[static_cast<std::size_t>(k)] = 1;
    const auto warnings = ReadOptionsBytes(cut, got);
    EXPECT_EQ(got, expected) << lines << " lines";
    EXPECT_EQ(warnings.size(), static_cast<std::size_t>((lines < 1) + (lines < 16))) << lines;
  }

  // Lines after the 26th, and LF-only line ends.
  o = previous;
  EXPECT_TRUE(ReadOptionsBytes(kDefaultFile + "@Custom KeyMap\r\n13\r\n", o).empty());
  EXPECT_EQ(o, Defaults());
  std::string lf = kDefaultFile;
  for (std::size_t p; (p = lf.find("\r\n")) != std::string::npos;) lf.erase(p, 1);
  o = previous;
  EXPECT_TRUE(ReadOptionsBytes(lf, o).empty());
  EXPECT_EQ(o, Defaults());
}

TEST_F(OptionsFile, FailedWritesKeepTheOldFileAndSayWhy) {
  Store(kDefaultFile);
  current.Keys[0] = 80;
  TestWriteFaults().FailAfterBytes = 10;
  std::string error;
  EXPECT_FALSE(SaveOptions(current, error));
  EXPECT_NE(error.find(OptionsFilePath()), std::string::npos) << error;
  EXPECT_NE(error.find("Input/output error"), std::string::npos) << error;
  EXPECT_EQ(Read(OptionsFilePath()), kDefaultFile);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "config" / "grooveloom"), {}), 1);
  TestWriteFaults().FailAfterBytes = -1;

  // A configuration folder that cannot exist (a file is in the way): the load reports it and
  // the settings in memory stay as they are.
  fs::remove_all(dir / "config");
  { std::ofstream(dir / "config") << "not a folder"; }
  const OptionsLoad load = LoadOptions(current);
  EXPECT_FALSE(load.CreatedDefault);
  EXPECT_NE(load.Error.find((dir / "config" / "grooveloom").string()), std::string::npos) << load.Error;
  EXPECT_EQ(current.Keys[0], 80);
  EXPECT_FALSE(SaveOptions(current, error));
}

TEST_F(OptionsFile, OnlyAsMuchAsAValidFileHoldsIsReadAndAFifoIsRefused) {
  // A FIFO under the name: the warning at once (no wait for a writer), the settings stay, and
  // nothing is written over it.
  fs::create_directories(dir / "config" / "grooveloom");
  ASSERT_EQ(::mkfifo(OptionsFilePath().c_str(), 0600), 0);
  current.Keys[0] = 80;
  OptionsLoad load = LoadOptions(current);
  EXPECT_EQ(load.Warnings, std::vector<std::string>{kOptionsCorruptedWarning});
  EXPECT_EQ(load.Error, "");
  EXPECT_EQ(current.Keys[0], 80);
  std::string error;
  EXPECT_FALSE(SaveOptions(current, error));
  EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
  EXPECT_TRUE(fs::is_fifo(OptionsFilePath()));
  fs::remove(OptionsFilePath());

  // 1 GiB: a valid file followed by zero bytes, and zero bytes alone. Read in a child process
  // whose address space could never hold the file: only the first few KB may be read.
  StoredOptions edited = Defaults();
  edited.Keys[0] = 80;
  edited.DeviceIndex = 3;
  for (const std::string& start : {OptionsBytes(edited), std::string()}) {
    Store(start);
    ASSERT_EQ(::truncate(OptionsFilePath().c_str(), off_t{1} << 30), 0);
    current = Defaults();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
      const rlimit limit{rlim_t{768} << 20, rlim_t{768} << 20};
      ::setrlimit(RLIMIT_AS, &limit);
#endif
      const OptionsLoad got = LoadOptions(current);
      const bool expected = start.empty() ? got.Warnings.size() == 2 && current == Defaults()
                                          : got.Warnings.empty() && current == edited;
      ::_exit(expected ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << (start.empty() ? "zeros" : "valid start") << ": status " << status;
  }
}

TEST_F(OptionsFile, SavingKeepsWhatAnotherRunningCopyStoredMeanwhile) {
  Store(kDefaultFile);
  LoadOptions(current);
  // Another window confirms a key map of its own.
  StoredOptions other = Defaults();
  other.Keys[6] = 'P';
  Store(OptionsBytes(other));

  // This one changed only the device: the other's key map stays in the file.
  current.DeviceIndex = 1;
  std::string error;
  ASSERT_TRUE(SaveOptions(current, error)) << error;
  StoredOptions expected = other;
  expected.DeviceIndex = 1;
  EXPECT_EQ(Read(OptionsFilePath()), OptionsBytes(expected));
  EXPECT_EQ(current.Keys[6], 'S') << "this window's own map is not changed under the user";

  // Quitting with nothing changed since: the file as it is, a kit the other window hid included.
  other.Kit[RowRide] = 0;
  other.DeviceIndex = 1;
  Store(OptionsBytes(other));
  ASSERT_TRUE(SaveOptions(current, error)) << error;
  EXPECT_EQ(Read(OptionsFilePath()), OptionsBytes(other));

  // A key map changed here is written, over the other's.
  current.Keys[0] = 'J';
  ASSERT_TRUE(SaveOptions(current, error)) << error;
  StoredOptions mine = other;
  mine.Keys = current.Keys;
  EXPECT_EQ(Read(OptionsFilePath()), OptionsBytes(mine));
}

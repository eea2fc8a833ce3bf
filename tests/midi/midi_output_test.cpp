#include "midi/midi_output.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <string>
#include <utility>
#include <vector>

namespace {

// Records every call; names and open results are scripted per test.
class RecordingLayer : public MidiDeviceLayer {
 public:
  std::vector<std::string> Devices;
  std::vector<int> Unreadable;   // ids whose Name fails
  bool OpenSucceeds = true;
  std::vector<uint32_t> Sent;
  std::vector<std::string> Calls;  // "open 2", "close"

  int Count() override { return static_cast<int>(Devices.size()); }
  bool Name(int id, std::string& name) override {
    for (int u : Unreadable)
      if (u == id) return false;
    if (id < 0 || id >= Count()) return false;
    name = Devices[static_cast<std::size_t>(id)];
    return true;
  }
  bool Open(int id) override {
    Calls.push_back("open " + std::to_string(id));
    return OpenSucceeds;
  }
  void Send(uint32_t msg) override { Sent.push_back(msg); }
  void Close() override { Calls.push_back("close"); }
};

class ManualScheduler : public NoteOffScheduler {
 public:
  std::vector<std::pair<int, std::function<void()>>> Pending;
  void After(int ms, std::function<void()> action) override { Pending.emplace_back(ms, std::move(action)); }
  void FireAll() {
    auto due = std::move(Pending);
    Pending.clear();
    for (auto& p : due) p.second();
  }
};

class MidiOutputTest : public ::testing::Test {
 protected:
  RecordingLayer layer;
  void SetUp() override {
    SetMidiDeviceLayer(&layer);
    MidiOut = TMidiOut{};
    StopMidiLog();
  }
  void TearDown() override {
    StopMidiLog();
    SetMidiDeviceLayer(nullptr);
    MidiOut = TMidiOut{};
  }
  TMidiOut OpenHandle() {
    TMidiOut h;
    EXPECT_TRUE(OpenMidiDevice(h, 0));
    layer.Calls.clear();
    return h;
  }
};

std::filesystem::path TempPath(const std::string& name) {
  return std::filesystem::temp_directory_path() / ("grooveloom_midi_" + std::to_string(::getpid()) + "_" + name);
}

std::vector<std::string> ReadLines(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST_F(MidiOutputTest, AuditionSendsProgramAndNoteOnNowAndNoteOffWhenTheTimerFires) {
  TMidiOut h = OpenHandle();
  ManualScheduler timer;
  PlayDrumNote(h, RowSnare, 0, 127, 0, timer);  // accented snare from note entry

  EXPECT_EQ(layer.Sent, (std::vector<uint32_t>{0x000000C0, 0x007F2699}));
  ASSERT_EQ(timer.Pending.size(), 1u);
  EXPECT_EQ(timer.Pending[0].first, 100);

  timer.FireAll();
  EXPECT_EQ(layer.Sent, (std::vector<uint32_t>{0x000000C0, 0x007F2699, 0x007F2689}));
}

TEST_F(MidiOutputTest, AuditionKeepsDataBytesInRangeAndUsesTheLowSevenBitsOfTheRow) {
  TMidiOut h = OpenHandle();
  ManualScheduler timer;
  // Row 7 | 0x80 is still the snare; variant 1 is the rim click. A velocity or program with the
  // high bit set would otherwise turn a data byte into a status byte.
  PlayDrumNote(h, 0x87, 1, 200, 0x85, timer);
  timer.FireAll();
  EXPECT_EQ(layer.Sent, (std::vector<uint32_t>{0x00007FC0, 0x007F2599, 0x007F2589}));
}

TEST_F(MidiOutputTest, AuditionNoteOffIsLostWhenTheDeviceClosedMeanwhile) {
  ManualScheduler timer;
  ASSERT_TRUE(OpenMidiDevice(MidiOut, 0));
  PlayDrumNote(MidiOut, RowHiHat, 1, 94, 0, timer);
  CloseMidiDevice(MidiOut);
  timer.FireAll();
  EXPECT_EQ(layer.Sent, (std::vector<uint32_t>{0x000000C0, 0x005E2E99}));

  // Nor does it reach a device opened into the same handle before the timer fired.
  layer.Sent.clear();
  PlayDrumNote(MidiOut, RowBass, 0, 94, 0, timer);  // handle closed: nothing sent at all
  EXPECT_TRUE(layer.Sent.empty());
  ASSERT_TRUE(OpenMidiDevice(MidiOut, 0));
  PlayDrumNote(MidiOut, RowBass, 0, 94, 0, timer);
  CloseMidiDevice(MidiOut);
  ASSERT_TRUE(OpenMidiDevice(MidiOut, 1));
  timer.FireAll();
  EXPECT_EQ(layer.Sent, (std::vector<uint32_t>{0x000000C0, 0x005E2499}));
  SendShortMsg(MidiOut, 0x005E2489);  // the current handle still works
  EXPECT_EQ(layer.Sent.back(), 0x005E2489u);
}

TEST_F(MidiOutputTest, ColumnSendsProgramThenEightNoteOnsThenEightNoteOffs) {
  TMidiOut h = OpenHandle();
  DrumColumn column;
  column.Cells[RowHiHat] = TNoteCell{0, 0};
  column.Cells[RowBass] = TNoteCell{0, 1};
  PlayDrumColumn(h, column, 0);

  std::vector<uint32_t> expected{0x000000C0};
  const uint8_t keys[8] = {0, 0, 42, 0, 0, 0, 0, 36};
  for (uint8_t status : {uint8_t{0x99}, uint8_t{0x89}})
    for (int i = 0; i < 8; ++i)
      expected.push_back(PackShortMessage(status, keys[i], i == 7 ? 127 : 94));
  EXPECT_EQ(layer.Sent, expected);
  EXPECT_EQ(layer.Sent[1], 0x005E0099u);
  EXPECT_EQ(layer.Sent[8], 0x007F2499u);
}

TEST_F(MidiOutputTest, ColumnIgnoresRowZeroAndCapsADamagedAccent) {
  TMidiOut h = OpenHandle();
  DrumColumn column;
  column.Cells[RowCount] = TNoteCell{0, 1};  // the counting line never sounds
  column.Cells[RowSnare] = TNoteCell{1, 7};  // accent outside 0/1
  PlayDrumColumn(h, column, 0);
  ASSERT_EQ(layer.Sent.size(), 17u);
  EXPECT_EQ(layer.Sent[1], 0x005E0099u);   // row 1, not row 0
  EXPECT_EQ(layer.Sent[7], 0x007F2599u);   // snare rim click at 127
  EXPECT_EQ(layer.Sent[15], 0x007F2589u);
}

TEST_F(MidiOutputTest, DeviceListEndsWithTheMapperAndItsIndexOpensMinusOne) {
  layer.Devices = {"Built-in synthesizer", "Midi Through:Midi Through Port-0 14:0", "Synth:Port 128:0"};
  std::vector<std::string> names{"stale"};
  ListMidiDevices(names);
  EXPECT_EQ(names, (std::vector<std::string>{"Built-in synthesizer", "Midi Through:Midi Through Port-0 14:0",
                                             "Synth:Port 128:0", "Midi Mapper"}));

  int32_t device = 0;
  EXPECT_TRUE(SelectMidiDevice(names, 3, device));
  EXPECT_EQ(device, -1);
  EXPECT_EQ(layer.Calls, (std::vector<std::string>{"close", "open -1"}));
  EXPECT_TRUE(MidiOut.IsOpen);

  layer.Calls.clear();
  EXPECT_TRUE(SelectMidiDevice(names, 2, device));
  EXPECT_EQ(device, 2);
  EXPECT_EQ(layer.Calls, (std::vector<std::string>{"close", "open 2"}));

  EXPECT_EQ(ListIndexOfDeviceId(-1, names.size()), std::optional<std::size_t>(3));
  EXPECT_EQ(ListIndexOfDeviceId(1, names.size()), std::optional<std::size_t>(1));
  EXPECT_EQ(ListIndexOfDeviceId(3, names.size()), std::nullopt);  // index 3 is the mapper, not id 3
  EXPECT_EQ(ListIndexOfDeviceId(-2, names.size()), std::nullopt);
}

TEST_F(MidiOutputTest, UnreadableDeviceKeepsItsSlotSoIndexStillMatchesId) {
  layer.Devices = {"a", "b", "c"};
  layer.Unreadable = {1};
  std::vector<std::string> names;
  ListMidiDevices(names);
  ASSERT_EQ(names.size(), 4u);
  int32_t device = 0;
  EXPECT_EQ(names[0], "a");
  EXPECT_FALSE(names[1].empty());
  EXPECT_EQ(names[2], "c");
  EXPECT_EQ(names[3], "Midi Mapper");
  EXPECT_TRUE(SelectMidiDevice(names, 2, device));
  EXPECT_EQ(layer.Calls.back(), "open 2");  // choosing "c" opens c
}

TEST_F(MidiOutputTest, WithoutDevicesOnlyTheMapperIsListedAndOpeningFails) {
  SetMidiDeviceLayer(nullptr);
  std::vector<std::string> names;
  ListMidiDevices(names);
  EXPECT_EQ(names, std::vector<std::string>{"Midi Mapper"});
  EXPECT_EQ(DeviceIdOfListIndex(0, names.size()), -1);
  int32_t device = 0;
  EXPECT_FALSE(SelectMidiDevice(names, 0, device));
  SendShortMsg(MidiOut, 0x000000C0);  // nowhere to go, and no crash
}

TEST_F(MidiOutputTest, StartupSelectsTheStoredDeviceAndReportsAFailedOpen) {
  layer.Devices = {"Built-in synthesizer", "x", "y"};
  std::vector<std::string> names;

  MidiStartup started = StartMidiOutput(names, -1);
  EXPECT_TRUE(started.Opened);
  EXPECT_EQ(started.ShownIndex, std::optional<std::size_t>(3));
  EXPECT_EQ(layer.Calls, std::vector<std::string>{"open -1"});

  // A machine without sound: the open fails, the caller shows the message once, notes go nowhere.
  CloseMidiDevice(MidiOut);
  layer.Calls.clear();
  layer.OpenSucceeds = false;
  started = StartMidiOutput(names, 0);
  EXPECT_FALSE(started.Opened);
  EXPECT_EQ(started.ShownIndex, std::optional<std::size_t>(0));
  EXPECT_STREQ(kMidiOpenErrorMessage, "Error on opening Midi Device");
  SendShortMsg(MidiOut, 0x007F2699);
  EXPECT_TRUE(layer.Sent.empty());

  // A port stored in the options that is gone now: nothing to select, and the open fails.
  started = StartMidiOutput(names, 7);
  EXPECT_EQ(started.ShownIndex, std::nullopt);
  EXPECT_EQ(layer.Calls.back(), "open 7");
}

TEST(DrumNoteOfTest, WholeTable) {
  struct Entry { uint8_t row, variant, key; };
  const Entry table[] = {
      {1, 0, 49}, {1, 1, 55}, {1, 2, 52}, {1, 3, 0}, {1, 254, 0},
      {2, 0, 59}, {2, 9, 59},
      {3, 0, 42}, {3, 1, 46}, {3, 2, 46},
      {4, 0, 48}, {4, 3, 48}, {5, 0, 47}, {5, 1, 47}, {6, 0, 43}, {6, 2, 43},
      {7, 0, 38}, {7, 1, 37}, {7, 2, 37},
      {8, 0, 36}, {8, 1, 36},
      {0, 0, 0}, {0, 1, 0}, {9, 0, 0}, {12, 1, 0}, {127, 0, 0},
  };
  for (const Entry& e : table) {
    EXPECT_EQ(DrumNoteOf(e.row, e.variant), e.key) << "row " << int(e.row) << " variant " << int(e.variant);
    // Only the low seven bits of the row count.
    EXPECT_EQ(DrumNoteOf(static_cast<uint8_t>(e.row | 0x80), e.variant), e.key) << "row " << int(e.row) << "|0x80";
  }
  for (int row = 0; row < 256; ++row) EXPECT_EQ(DrumNoteOf(static_cast<uint8_t>(row), 255), 0) << row;
}

TEST(ShortMessageTest, PackingAndWireLength) {
  EXPECT_EQ(PackShortMessage(0x99, 0x26, 0x5E), 0x005E2699u);
  EXPECT_EQ(ShortMessageLength(0xC0), 2);  // program change: no stray third byte
  EXPECT_EQ(ShortMessageLength(0xD9), 2);
  EXPECT_EQ(ShortMessageLength(0x99), 3);
  EXPECT_EQ(ShortMessageLength(0x89), 3);
  EXPECT_EQ(ShortMessageLength(0xB0), 3);
  EXPECT_EQ(ShortMessageLength(0xEF), 3);
  EXPECT_EQ(ShortMessageLength(0xF3), 2);
  EXPECT_EQ(ShortMessageLength(0xF8), 1);
}

TEST_F(MidiOutputTest, LogAppendsOneStampedLinePerMessageWhetherOrNotADeviceIsOpen) {
  const auto path = TempPath("log.txt");
  { std::ofstream(path) << "earlier run\n"; }
  std::string error;
  ASSERT_TRUE(StartMidiLog(path.string(), error)) << error;

  TMidiOut closed;
  ManualScheduler timer;
  PlayDrumNote(closed, RowSnare, 0, 94, 0, timer);
  timer.FireAll();
  TMidiOut open = OpenHandle();
  SendShortMsg(open, 0x005E2699);
  StopMidiLog();
  SendShortMsg(open, 0x00000000);  // after the log stopped: not recorded

  const auto lines = ReadLines(path);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "earlier run");
  const std::regex shape("([0-9]+) ([0-9A-F]{8})");
  const char* values[] = {"000000C0", "005E2699", "005E2689", "005E2699"};
  long long previous = -1;
  for (int i = 0; i < 4; ++i) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[static_cast<std::size_t>(i) + 1], m, shape)) << lines[i + 1];
    EXPECT_EQ(m[2].str(), values[i]);
    const long long micros = std::stoll(m[1].str());
    EXPECT_GE(micros, previous);
    previous = micros;
  }
  std::filesystem::remove(path);
}

TEST_F(MidiOutputTest, LogFollowsTheEnvironmentAndReportsAnUnwritablePath) {
  const auto path = TempPath("env_log.txt");
  std::filesystem::remove(path);
  ::setenv("GROOVELOOM_MIDI_LOG", path.c_str(), 1);
  std::string error;
  EXPECT_TRUE(StartMidiLogFromEnvironment(error)) << error;
  SendShortMsg(MidiOut, 0x000000C0);
  StopMidiLog();
  EXPECT_EQ(ReadLines(path).size(), 1u);

  ::setenv("GROOVELOOM_MIDI_LOG", (TempPath("no_such_dir") / "log.txt").c_str(), 1);
  error.clear();
  EXPECT_FALSE(StartMidiLogFromEnvironment(error));
  EXPECT_NE(error.find("no_such_dir"), std::string::npos);
  SendShortMsg(MidiOut, 0x000000C0);  // no file, no crash

  ::unsetenv("GROOVELOOM_MIDI_LOG");
  EXPECT_TRUE(StartMidiLogFromEnvironment(error));
  std::filesystem::remove(path);
}

TEST_F(MidiOutputTest, LogNamingAFifoWithoutReaderIsRefusedWithoutWaiting) {
  const auto fifo = TempPath("log_fifo");
  std::filesystem::remove(fifo);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // In a child the kernel ends after a while: an open that waits for a reader fails the test.
  pid_t pid = ::fork();
  if (pid == 0) {
    ::alarm(20);
    std::string error;
    const bool refused = !StartMidiLog(fifo.string(), error) && error.find(fifo.string()) != std::string::npos;
    ::_exit(refused ? 0 : 1);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  std::filesystem::remove(fifo);
}

}  // namespace

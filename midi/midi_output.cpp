#include "midi/midi_output.h"

#include "model/expressive_notes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

TMidiOut MidiOut;

const char* const kMidiOpenErrorMessage = "Error on opening Midi Device";
const char* const kMidiMapperName = "Midi Mapper";

namespace {

// Taken during static initialisation, which is as close to the program's start as the core can see.
const std::chrono::steady_clock::time_point kProgramStart = std::chrono::steady_clock::now();

MidiDeviceLayer* gLayer = nullptr;
std::atomic<uint32_t> gLastGeneration{0};
std::atomic<uint32_t> gOpenGeneration{0};  // 0 = nothing open

struct MessageLog {
  std::mutex Lock;
  std::FILE* File = nullptr;
  bool Configured = false;  // false until set explicitly or from the environment

  void CloseLocked() {
    if (File) std::fclose(File);
    File = nullptr;
  }
  bool OpenLocked(const std::string& path, std::string& error) {
    CloseLocked();
    Configured = true;
    // Never waits: a FIFO without a reader would otherwise hold up the program's start.
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) {
      const int err = errno;
      error = "Cannot open the MIDI log file \"" + path + "\": " +
              (err == ENXIO ? std::string("it is a FIFO that nothing reads from") : std::strerror(err));
      return false;
    }
    // A regular file is written as usual; a pipe or device stays non-blocking, so a reader that
    // stops reading costs log lines, never the sound.
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    File = ::fdopen(fd, "a");
    if (!File) {
      error = "Cannot open the MIDI log file \"" + path + "\": " + std::strerror(errno);
      ::close(fd);
      return false;
    }
    return true;
  }
  bool OpenFromEnvironmentLocked(std::string& error) {
    const char* path = std::getenv("GROOVELOOM_MIDI_LOG");
    if (!path || !*path) {
      CloseLocked();
      Configured = true;
      return true;
    }
    return OpenLocked(path, error);
  }
  // `micros` < 0: now, stamped under the lock so lines from two threads stay in time order.
  void Append(uint32_t msg, int64_t micros = -1) {
    std::lock_guard<std::mutex> guard(Lock);
    if (!Configured) {
      std::string ignored;  // a start-up call to StartMidiLogFromEnvironment reports it
      OpenFromEnvironmentLocked(ignored);
    }
    if (!File) return;
    if (micros < 0) micros = MidiLogMicros(std::chrono::steady_clock::now());
    std::fprintf(File, "%lld %08" PRIX32 "\n", static_cast<long long>(micros), msg);
    // Flushed per line: the log is for troubleshooting, so it must survive a crash.
    std::fflush(File);
  }
};

MessageLog& Log() {
  static MessageLog log;
  return log;
}

uint8_t DataByte(uint8_t value) { return value > 0x7F ? 0x7F : value; }

}  // namespace

void SetMidiDeviceLayer(MidiDeviceLayer* layer) { gLayer = layer; }
MidiDeviceLayer* CurrentMidiDeviceLayer() { return gLayer; }

void ListMidiDevices(std::vector<std::string>& names) {
  const int count = gLayer ? std::max(gLayer->Count(), 0) : 0;
  names.assign(static_cast<std::size_t>(count) + 1, std::string());
  for (int id = 0; id < count; ++id) {
    std::string name;
    if (!gLayer->Name(id, name)) name = "(device " + std::to_string(id) + " unavailable)";
    names[static_cast<std::size_t>(id)] = name;
  }
  names.back() = kMidiMapperName;
}

int32_t DeviceIdOfListIndex(std::size_t index, std::size_t listSize) {
  if (listSize == 0 || index + 1 >= listSize) return -1;
  return static_cast<int32_t>(index);
}

std::optional<std::size_t> ListIndexOfDeviceId(int32_t id, std::size_t listSize) {
  if (listSize == 0) return std::nullopt;
  if (id == -1) return listSize - 1;
  if (id < 0 || static_cast<std::size_t>(id) + 1 >= listSize) return std::nullopt;
  return static_cast<std::size_t>(id);
}

bool OpenMidiDevice(TMidiOut& handle, int32_t id) {
  handle.DeviceId = id;
  handle.IsOpen = gLayer && gLayer->Open(id);
  handle.Generation = handle.IsOpen ? ++gLastGeneration : 0;
  gOpenGeneration = handle.Generation;
  return handle.IsOpen;
}

void CloseMidiDevice(TMidiOut& handle) {
  if (gLayer) gLayer->Close();
  handle.IsOpen = false;
  handle.Generation = 0;
  gOpenGeneration = 0;
}

void SendShortMsg(const TMidiOut& handle, uint32_t msg) {
  Log().Append(msg);
  if (handle.IsOpen && handle.Generation == gOpenGeneration.load() && gLayer) gLayer->Send(msg);
}

MidiStartup StartMidiOutput(std::vector<std::string>& names, int32_t deviceIndex) {
  ListMidiDevices(names);
  MidiStartup result;
  result.ShownIndex = ListIndexOfDeviceId(deviceIndex, names.size());
  result.Opened = OpenMidiDevice(MidiOut, deviceIndex);
  return result;
}

bool SelectMidiDevice(const std::vector<std::string>& names, std::size_t index, int32_t& deviceIndex) {
  deviceIndex = DeviceIdOfListIndex(index, names.size());
  CloseMidiDevice(MidiOut);
  return OpenMidiDevice(MidiOut, deviceIndex);
}

int ShortMessageLength(uint8_t status) {
  if (status < 0x80) return 1;  // not a status byte; sent alone rather than misread
  if (status < 0xC0) return 3;
  if (status < 0xE0) return 2;  // program change, channel pressure
  if (status < 0xF0) return 3;  // pitch bend
  switch (status) {
    case 0xF1: case 0xF3: return 2;
    case 0xF2: return 3;
    default: return 1;
  }
}

void PlayDrumNote(const TMidiOut& handle, uint8_t row, uint8_t variant, uint8_t velocity, uint8_t program,
                  NoteOffScheduler& scheduler) {
  const uint8_t key = DrumNoteOf(row, variant);
  const uint8_t vel = DataByte(velocity);
  SendShortMsg(handle, PackShortMessage(0xC0, DataByte(program), 0));
  SendShortMsg(handle, PackShortMessage(0x99, key, vel));
  scheduler.After(kAuditionMilliseconds,
                  [handle, key, vel] { SendShortMsg(handle, PackShortMessage(0x89, key, vel)); });
}

void PlayDrumColumn(const TMidiOut& handle, const DrumColumn& column, uint8_t program) {
  std::array<uint32_t, kRowCount> offs{};
  SendShortMsg(handle, PackShortMessage(0xC0, DataByte(program), 0));
  for (int row = 1; row < kRowCount; ++row) {
    const TNoteCell& cell = column.Cells[static_cast<std::size_t>(row)];
    const uint8_t key = DrumNoteOf(static_cast<uint8_t>(row), cell.Variant);
    const uint8_t vel = CellVelocity(cell);
    SendShortMsg(handle, PackShortMessage(0x99, key, vel));
    offs[static_cast<std::size_t>(row)] = PackShortMessage(0x89, key, vel);
  }
  for (int row = 1; row < kRowCount; ++row) SendShortMsg(handle, offs[static_cast<std::size_t>(row)]);
}

bool StartMidiLog(const std::string& path, std::string& error) {
  std::lock_guard<std::mutex> guard(Log().Lock);
  return Log().OpenLocked(path, error);
}

bool StartMidiLogFromEnvironment(std::string& error) {
  std::lock_guard<std::mutex> guard(Log().Lock);
  return Log().OpenFromEnvironmentLocked(error);
}

int64_t MidiLogMicros(std::chrono::steady_clock::time_point at) {
  return std::max<int64_t>(0, std::chrono::duration_cast<std::chrono::microseconds>(at - kProgramStart).count());
}

void LogShortMsgAt(uint32_t msg, int64_t micros) { Log().Append(msg, std::max<int64_t>(micros, 0)); }

void StopMidiLog() {
  std::lock_guard<std::mutex> guard(Log().Lock);
  Log().CloseLocked();
  Log().Configured = true;
}

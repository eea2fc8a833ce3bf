// The program's one path to sound: the output device in use, the audition of a single note and the
// sounding of a tab column, plus an optional log of every message sent. Qt-free; the device layer
// behind it is installed by the program (the system one) or by tests (a recorder).
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "midi/drum_map.h"
#include "model/tab_document.h"

class TimedOutput;

// The five platform operations behind one interface. Ids: 0 the built-in synthesizer, 1.. the ALSA
// ports, -1 the mapper. One device is open at a time; Open closes the previous one first.
class MidiDeviceLayer {
 public:
  virtual ~MidiDeviceLayer() = default;
  virtual int Count() = 0;                              // number of devices
  virtual bool Name(int id, std::string& name) = 0;     // false when the id has no readable name
  virtual bool Open(int id) = 0;                        // -1 = the mapper
  virtual void Send(uint32_t packedShortMessage) = 0;   // to the open device, if any
  virtual void Close() = 0;
  // Why the last Open failed, for diagnostics; the user sees kMidiOpenErrorMessage.
  virtual std::string LastError() const { return {}; }
  // A device that finishes opening in the background (the built-in synthesizer loading its
  // soundfont) reports a failure there through this, from another thread, with a message for the
  // user. Empty turns it off.
  virtual void SetLoadFailureHandler(std::function<void(const std::string& message)>) {}
  // Where playback puts the open device's steps ahead of time to sound exactly on their frames;
  // null when the device can only play what it gets at once.
  virtual TimedOutput* PlaybackOutput() { return nullptr; }
};

// Not owned. Null (the default) means no devices at all: the list holds only the mapper and opening
// fails.
void SetMidiDeviceLayer(MidiDeviceLayer* layer);
MidiDeviceLayer* CurrentMidiDeviceLayer();

// The handle of the open device. A plain value so a delayed note-off can carry a copy; a copy taken
// before the device was closed (or replaced) no longer reaches anything, its messages are lost.
struct TMidiOut {
  bool IsOpen = false;
  int32_t DeviceId = 0;
  uint32_t Generation = 0;  // which opening this handle belongs to
};

extern TMidiOut MidiOut;

extern const char* const kMidiOpenErrorMessage;  // "Error on opening Midi Device"
extern const char* const kMidiMapperName;        // "Midi Mapper"

// Device count + 1 names: device 0 .. count-1, then "Midi Mapper" last. List index i is device id i,
// so a device whose name cannot be read keeps its slot under a placeholder name.
void ListMidiDevices(std::vector<std::string>& names);
// The last list entry stands for the mapper (-1).
int32_t DeviceIdOfListIndex(std::size_t index, std::size_t listSize);
// The entry to show for a device id; nothing when the id is not in the list (e.g. a port that has
// gone since the options were saved).
std::optional<std::size_t> ListIndexOfDeviceId(int32_t id, std::size_t listSize);

bool OpenMidiDevice(TMidiOut& handle, int32_t id);
void CloseMidiDevice(TMidiOut& handle);  // safe on a handle that never opened
// Safe from any thread. Also appended to the message log, whether or not the device is open.
void SendShortMsg(const TMidiOut& handle, uint32_t msg);

// Start-up: list the devices into names, open the device `deviceIndex` (-1 = the mapper) into MidiOut. ShownIndex is the list
// entry to select (nothing when the stored id is not listed). Opened false: show
// kMidiOpenErrorMessage once and run on without sound.
struct MidiStartup {
  std::optional<std::size_t> ShownIndex;
  bool Opened = false;
};
MidiStartup StartMidiOutput(std::vector<std::string>& names, int32_t deviceIndex);
// A device chosen by its list index: stores the id in `deviceIndex`, closes MidiOut and opens the
// new device into it. False: show kMidiOpenErrorMessage (`deviceIndex` keeps the failed id).
bool SelectMidiDevice(const std::vector<std::string>& names, std::size_t index, int32_t& deviceIndex);

// Packing: status in bits 0..7, first data byte in 8..15, second in 16..23.
constexpr uint32_t PackShortMessage(uint8_t status, uint8_t data1, uint8_t data2) {
  return uint32_t{status} | (uint32_t{data1} << 8) | (uint32_t{data2} << 16);
}
// Bytes on the wire for a status byte (1..3), so devices that take a byte stream get no stray
// running-status bytes (a program change is two bytes, not three).
int ShortMessageLength(uint8_t status);

// Velocity of a tab note: 94, or 127 when accented; any non-zero Accent counts as accented so a
// damaged cell cannot push the velocity out of range.
constexpr uint8_t NoteVelocity(uint8_t accent) { return accent ? 127 : 94; }

// One position of a bar, by instrument row 0..8; row 0 is never sounded.
struct DrumColumn {
  std::array<TNoteCell, kRowCount> Cells{};
  bool Foot = false;  // the hi-hat foot sounds too
};

// Runs an action later on the caller's thread without blocking it (a Qt timer in the program).
class NoteOffScheduler {
 public:
  virtual ~NoteOffScheduler() = default;
  virtual void After(int milliseconds, std::function<void()> action) = 0;
};

constexpr int kAuditionMilliseconds = 100;

// The audition: program change, note-on now, note-off kAuditionMilliseconds later via the scheduler.
void PlayDrumNote(const TMidiOut& handle, uint8_t row, uint8_t variant, uint8_t velocity, uint8_t program,
                  NoteOffScheduler& scheduler);
// One playback step: program change, note-ons for rows 1..8, then their note-offs at once. Rows
// without a note send key 0 like the others.
void PlayDrumColumn(const TMidiOut& handle, const DrumColumn& column, uint8_t program);

// The message log: one line "<microseconds since program start> <8 upper-case hex digits>" per
// message. By default it follows GROOVELOOM_MIDI_LOG, read at the first message; these set it
// explicitly. False with a message when the file cannot be opened for appending.
bool StartMidiLog(const std::string& path, std::string& error);
bool StartMidiLogFromEnvironment(std::string& error);  // true and no log when the variable is unset
void StopMidiLog();
// The log's clock: microseconds since the program started, for a point of the monotonic clock.
int64_t MidiLogMicros(std::chrono::steady_clock::time_point at);
// A message that sounds at `micros` (the log's clock), logged when it is scheduled: lines stamp the
// time a message is heard, so the log is the program's timing record.
void LogShortMsgAt(uint32_t msg, int64_t micros);

#include "midi/output/alsa_ports.h"

#include <rtmidi/RtMidi.h>

#include <iostream>
#include <sstream>

#include "midi/midi_output.h"
#include "midi/output/library_messages.h"

namespace {

// RtMidi writes the constructor's error to std::cerr before it throws; this keeps it off the
// terminal and hands it to the diagnostics instead.
class CerrCapture {
 public:
  CerrCapture() : old_(std::cerr.rdbuf(sink_.rdbuf())) {}
  ~CerrCapture() {
    std::cerr.rdbuf(old_);
    if (!sink_.str().empty()) NoteLibraryMessage("RtMidi: " + sink_.str());
  }
  CerrCapture(const CerrCapture&) = delete;
  CerrCapture& operator=(const CerrCapture&) = delete;

 private:
  std::ostringstream sink_;
  std::streambuf* old_;
};

}  // namespace

AlsaPorts::AlsaPorts() = default;
AlsaPorts::~AlsaPorts() { Close(); }

void AlsaPorts::OnError(int, const std::string& text, void* self) {
  static_cast<AlsaPorts*>(self)->lastError_ = text;
  NoteLibraryMessage("RtMidi: " + text);
}

bool AlsaPorts::EnsureClient(std::string& error) {
  if (out_) return true;
  CaptureLibraryMessages();
  CerrCapture quiet;
  try {
    auto out = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, "Grooveloom");
    // From here on errors come to OnError instead of being thrown.
    out->setErrorCallback(
        [](RtMidiError::Type type, const std::string& text, void* self) { OnError(type, text, self); }, this);
    out_ = std::move(out);
    return true;
  } catch (const RtMidiError& e) {
    error = "No ALSA sequencer: " + e.getMessage();
  } catch (const std::exception& e) {
    error = std::string("No ALSA sequencer: ") + e.what();
  }
  return false;
}

std::vector<std::string> AlsaPorts::List() {
  std::vector<std::string> names;
  std::string error;
  if (!EnsureClient(error)) return names;
  CerrCapture quiet;
  const unsigned count = out_->getPortCount();
  for (unsigned i = 0; i < count; ++i) {
    std::string name = out_->getPortName(i);
    if (!name.empty()) names.push_back(std::move(name));  // empty: the port went while listing
  }
  return names;
}

bool AlsaPorts::Open(const std::string& name, std::string& error) {
  Close();
  if (!EnsureClient(error)) return false;
  CerrCapture quiet;
  const unsigned count = out_->getPortCount();
  for (unsigned i = 0; i < count; ++i) {
    if (out_->getPortName(i) != name) continue;
    lastError_.clear();
    out_->openPort(i, "Grooveloom");
    if (out_->isPortOpen()) return true;
    error = "Cannot open the MIDI port \"" + name + "\": " + lastError_;
    return false;
  }
  error = "The MIDI port \"" + name + "\" is no longer there";
  return false;
}

void AlsaPorts::Send(uint32_t msg) {
  if (!out_ || !out_->isPortOpen()) return;
  const unsigned char bytes[3] = {static_cast<unsigned char>(msg & 0xFF),
                                  static_cast<unsigned char>((msg >> 8) & 0x7F),
                                  static_cast<unsigned char>((msg >> 16) & 0x7F)};
  out_->sendMessage(bytes, static_cast<size_t>(ShortMessageLength(bytes[0])));
}

void AlsaPorts::Close() {
  if (out_ && out_->isPortOpen()) out_->closePort();
}

bool AlsaPorts::IsOpen() const { return out_ && out_->isPortOpen(); }

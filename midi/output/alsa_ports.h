// The ALSA sequencer's output ports, through RtMidi (ALSA only: a JACK client with no JACK server
// crashes on open). One RtMidi client serves listing and sending, since ALSA runs out of clients
// after a few dozen.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class RtMidiOut;

class AlsaPorts {
 public:
  AlsaPorts();
  AlsaPorts(const AlsaPorts&) = delete;
  AlsaPorts& operator=(const AlsaPorts&) = delete;
  ~AlsaPorts();

  // The ports as RtMidi names them ("Client:Port 14:0"); empty without an ALSA sequencer.
  std::vector<std::string> List();
  // By name, since the numbers can change between listing and opening.
  bool Open(const std::string& name, std::string& error);
  void Send(uint32_t packedShortMessage);  // not thread-safe: the caller locks
  void Close();
  bool IsOpen() const;

 private:
  bool EnsureClient(std::string& error);
  static void OnError(int type, const std::string& text, void* self);

  std::unique_ptr<RtMidiOut> out_;
  std::string lastError_;
};

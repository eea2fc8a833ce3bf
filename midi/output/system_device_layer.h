// The program's real devices: id 0 (and the mapper, -1) the built-in synthesizer, ids 1.. the ALSA
// sequencer's output ports. One lock around everything, so a playback thread may send as well.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "midi/midi_output.h"
#include "midi/output/alsa_ports.h"
#include "midi/output/alsa_seq_queue.h"
#include "midi/output/fluid_synth_device.h"

extern const char* const kBuiltInSynthesizerName;  // "Built-in synthesizer"

class SystemDeviceLayer : public MidiDeviceLayer {
 public:
  int Count() override;  // lists the ALSA ports afresh
  bool Name(int id, std::string& name) override;
  bool Open(int id) override;
  void Send(uint32_t packedShortMessage) override;
  void Close() override;
  std::string LastError() const override;
  void SetLoadFailureHandler(std::function<void(const std::string& message)> handler) override {
    synth_.SetLoadFailureHandler(std::move(handler));
  }

  TimedOutput* PlaybackOutput() override;
  // The live mixer of the built-in synthesizer (it outlives this layer's devices); null: playback
  // sends the synthesizer its notes at once.
  void SetSynthPlayback(AudioRenderHook* hook, TimedOutput* output);

  // The built-in synthesizer, for its driver name and load state.
  FluidSynthDevice& Synth() { return synth_; }

 private:
  enum class Device { None, Synth, Port };
  void CloseLocked();

  mutable std::mutex lock_;
  FluidSynthDevice synth_;
  AlsaPorts ports_;
  std::vector<std::string> portNames_;  // as of the last Count
  bool listed_ = false;
  Device open_ = Device::None;
  std::string lastError_;
  TimedOutput* synthPlayback_ = nullptr;
  SteadyPlayClock seqClock_;
  std::unique_ptr<SeqQueueOutput> seqPlayback_;
  std::string portName_;  // the open port's
};

std::unique_ptr<MidiDeviceLayer> MakeSystemDeviceLayer();

#include "midi/output/system_device_layer.h"

#include <unistd.h>

const char* const kBuiltInSynthesizerName = "Built-in synthesizer";

int SystemDeviceLayer::Count() {
  std::lock_guard<std::mutex> guard(lock_);
  portNames_ = ports_.List();
  listed_ = true;
  return 1 + static_cast<int>(portNames_.size());
}

bool SystemDeviceLayer::Name(int id, std::string& name) {
  std::lock_guard<std::mutex> guard(lock_);
  if (id == 0) {
    name = kBuiltInSynthesizerName;
    return true;
  }
  if (id < 1 || static_cast<std::size_t>(id) > portNames_.size()) return false;
  name = portNames_[static_cast<std::size_t>(id) - 1];
  return true;
}

bool SystemDeviceLayer::Open(int id) {
  std::lock_guard<std::mutex> guard(lock_);
  CloseLocked();
  lastError_.clear();
  if (id == -1 || id == 0) {
    if (!synth_.Open(lastError_)) return false;
    open_ = Device::Synth;
    return true;
  }
  if (!listed_) {  // opened from the options file before any listing
    portNames_ = ports_.List();
    listed_ = true;
  }
  if (id < 1 || static_cast<std::size_t>(id) > portNames_.size()) {
    lastError_ = "No MIDI device with id " + std::to_string(id);
    return false;
  }
  if (!ports_.Open(portNames_[static_cast<std::size_t>(id) - 1], lastError_)) return false;
  open_ = Device::Port;
  portName_ = portNames_[static_cast<std::size_t>(id) - 1];
  return true;
}

void SystemDeviceLayer::Send(uint32_t msg) {
  std::lock_guard<std::mutex> guard(lock_);
  switch (open_) {
    case Device::Synth: synth_.Send(msg); break;
    case Device::Port: ports_.Send(msg); break;
    case Device::None: break;
  }
}

void SystemDeviceLayer::CloseLocked() {
  switch (open_) {
    case Device::Synth: synth_.Close(); break;
    case Device::Port: ports_.Close(); break;
    case Device::None: break;
  }
  open_ = Device::None;
}

void SystemDeviceLayer::Close() {
  std::lock_guard<std::mutex> guard(lock_);
  CloseLocked();
}

std::string SystemDeviceLayer::LastError() const {
  std::lock_guard<std::mutex> guard(lock_);
  return lastError_;
}

void SystemDeviceLayer::SetSynthPlayback(AudioRenderHook* hook, TimedOutput* output) {
  std::lock_guard<std::mutex> guard(lock_);
  synth_.SetRenderHook(hook);
  synthPlayback_ = output;
}

TimedOutput* SystemDeviceLayer::PlaybackOutput() {
  std::lock_guard<std::mutex> guard(lock_);
  if (open_ == Device::Synth && synthPlayback_ && synth_.Playing()) return synthPlayback_;
  // Without the kernel's sequencer (RtMidi would not have opened a port either) there is no queue.
  if (open_ == Device::Port && ::access("/dev/snd/seq", W_OK) == 0) {
    if (!seqPlayback_) seqPlayback_ = std::make_unique<SeqQueueOutput>(MakeAlsaSeqQueueLayer(), seqClock_);
    seqPlayback_->SetDestination(portName_);
    return seqPlayback_.get();
  }
  return nullptr;
}

std::unique_ptr<MidiDeviceLayer> MakeSystemDeviceLayer() { return std::make_unique<SystemDeviceLayer>(); }

// The built-in synthesizer: FluidSynth with a General MIDI soundfont, playing to the desktop's audio
// output. Opening is quick and fails cleanly without sound; the soundfont loads on its own thread so
// the window is not held up, and messages sent before it is ready are dropped.
#pragma once

#include <fluidsynth.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "midi/output/pulse_stream.h"

// Sound added to the synthesizer's own in its audio callback (live playback's notes, each at its
// frame). Runs on the audio thread: it must not block for long.
class AudioRenderHook {
 public:
  virtual ~AudioRenderHook() = default;
  // Adds `frames` frames into the two channels; called once per period, in order.
  virtual void Render(float* left, float* right, int frames) = 0;
  // The output (re)started or stopped: the frame count starts again.
  virtual void OutputRestarted() {}
  // Frames from the end of the last period rendered to the moment it is heard, as the output
  // measures it (after each period; only outputs that can tell call it).
  virtual void OutputLatency(int64_t frames) { (void)frames; }
  // The buffer the output should keep now, in frames (0: its own). Asked before each period by the
  // outputs that can change it (our PulseAudio stream).
  virtual int64_t BufferFramesWanted() { return 0; }
  // Polled by the same outputs: true once to drop what they hold and have not played (a Stop).
  virtual bool FlushWanted() { return false; }
  // They dropped about `frames` frames: the frames from the one heard next on are rendered again.
  virtual void OutputFlushed(int64_t frames) { (void)frames; }
};

class FluidSynthDevice {
 public:
  static constexpr int kSampleRate = 44100;
  static constexpr int kPeriodSize = 256;  // frames; smaller periods crackle under PipeWire
  static constexpr int kPeriods = 2;  // FluidSynth's own drivers (ALSA, JACK)
  // Our PulseAudio stream keeps this many periods in the server (see pulse_stream.h).
  // While nothing plays it keeps few, so a note entered is heard soon; a playing run asks for more
  // (LiveMixer::kPlayingBufferFrames).
  static constexpr int kStreamPeriods = 4;
  // The periods buffered by the driver in use, or GROOVELOOM_AUDIO_PERIODS (2..32).
  static int Periods(bool ownStream = true);

  FluidSynthDevice() = default;
  FluidSynthDevice(const FluidSynthDevice&) = delete;
  FluidSynthDevice& operator=(const FluidSynthDevice&) = delete;
  ~FluidSynthDevice();

  // Real time: finds the soundfont, starts the first audio driver that works (PulseAudio, ALSA,
  // JACK), then loads the soundfont in the background.
  bool Open(std::string& error);
  // No audio driver: for rendering into memory. The soundfont is loaded before returning, or, with
  // inBackground, the way Open loads it.
  bool OpenOffline(const std::string& soundFontPath, std::string& error, bool inBackground = false);
  void Close();  // waits for a soundfont load still running
  bool IsOpen() const { return synth_ != nullptr; }

  // Thread-safe. Note-offs on the drum channel (10) are not passed on: playback sends each note-off
  // right after its note-on, and the synthesizer would cut the drum sounds (cymbals most) short.
  // Drum samples end by themselves. Only this synthesizer does so; ALSA ports get every message.
  void Send(uint32_t packedShortMessage);
  // Passes drum note-offs on after all, for comparing the two in tests.
  void SetDrumNoteOffs(bool passedOn);

  // Called on the loading thread when a soundfont fails to load, with its path and the reason; a
  // failure already reported for the same soundfont is not reported again. The handler must not
  // wait for the UI thread (post, don't block). Thread-safe; an empty handler turns it off.
  using LoadFailureHandler = std::function<void(const std::string& message)>;
  void SetLoadFailureHandler(LoadFailureHandler handler);

  // True once the soundfont is in; false at the timeout or when loading failed (see LoadError).
  bool WaitUntilLoaded(std::chrono::milliseconds timeout);
  std::string LoadError() const;

  // The sound mixed in with the synthesizer's (null: none). Set it while closed; it outlives the device.
  void SetRenderHook(AudioRenderHook* hook) { hook_ = hook; }
  // True while an audio driver plays (not offline).
  bool Playing() const;

  // Offline only: renders the next frames into two channels.
  bool Render(int frames, std::vector<float>& left, std::vector<float>& right);

  // Audio buffered ahead of the output: periods x period size / sample rate. A note sent now also
  // waits for the period being rendered, so the worst case is one period more.
  static double ConfiguredLatencyMilliseconds() { return 1000.0 * Periods() * kPeriodSize / kSampleRate; }
  // The frames buffered after the one rendered last, as configured (the stream measures it too).
  static int64_t ConfiguredLatencyFrames() { return int64_t{Periods()} * kPeriodSize; }
  const std::string& DriverName() const { return driverName_; }
  // Times our PulseAudio stream ran dry since it opened (a gap heard); 0 with FluidSynth's drivers.
  int64_t Underruns() const { return stream_.Underruns(); }

  // GROOVELOOM_SOUNDFONT when set (and then it must be readable), else the first readable candidate.
  static bool FindSoundFont(const char* fromEnvironment, const std::vector<std::string>& candidates,
                            std::string& path, std::string& error);
  static const std::vector<std::string>& DefaultSoundFonts();
  // The soundfont the program plays with: FindSoundFont on the environment and the defaults.
  static bool FindConfiguredSoundFont(std::string& path, std::string& error);

 private:
  static int AudioCallback(void* data, int len, int nfx, float* fx[], int nout, float* out[]);
  // Our own stream's period: the synthesizer, then the hook.
  void RenderPeriod(float* left, float* right, int frames);
  bool CreateSynth(std::string& error);
  void DestroyLocked();
  void StartLoading(const std::string& path);
  void Load(std::string path);

  mutable std::mutex lock_;
  std::condition_variable loadDone_;
  fluid_settings_t* settings_ = nullptr;
  fluid_synth_t* synth_ = nullptr;
  fluid_audio_driver_t* driver_ = nullptr;
  PulseStream stream_;  // used instead of FluidSynth's PulseAudio driver
  std::atomic<AudioRenderHook*> hook_{nullptr};
  std::string driverName_;
  std::thread loader_;
  std::atomic<bool> loaded_{false};
  bool loadFinished_ = false;  // under lock_
  bool drumNoteOffs_ = false;  // under lock_
  std::string loadError_;      // under lock_
  LoadFailureHandler loadFailureHandler_;  // under lock_
  std::string reportedFailure_;            // under lock_: the last message handed to it
};

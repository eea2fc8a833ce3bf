#include "midi/output/fluid_synth_device.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "midi/output/fluid_settings.h"
#include "midi/output/library_messages.h"

namespace {

constexpr int kDrumChannel = 9;  // MIDI channel 10

bool Readable(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec) && ::access(path.c_str(), R_OK) == 0;
}

// FluidSynth's first error while loading says what is wrong with the file ("SoundFont file size
// mismatch"); its later ones are about the fallback loaders it tried next.
std::string LoadFailureReason(std::size_t messagesBefore) {
  constexpr std::string_view kError = "fluidsynth error: ";
  for (const std::string& message : LibraryMessagesSince(messagesBefore))
    if (message.starts_with(kError)) return message.substr(kError.size());
  return "the file is damaged";
}

// PulseAudio first (PipeWire serves it too), then ALSA, then JACK. Never "file": it "succeeds" and
// writes a WAV in real time.
const char* const kDrivers[] = {"pulseaudio", "alsa", "jack"};

}  // namespace

FluidSynthDevice::~FluidSynthDevice() { Close(); }

const std::vector<std::string>& FluidSynthDevice::DefaultSoundFonts() {
  static const std::vector<std::string> fonts{"/usr/share/sounds/sf2/FluidR3_GM.sf2",
                                              "/usr/share/sounds/sf2/TimGM6mb.sf2"};
  return fonts;
}

bool FluidSynthDevice::FindSoundFont(const char* fromEnvironment, const std::vector<std::string>& candidates,
                                     std::string& path, std::string& error) {
  // A font named explicitly is never swapped for another behind the user's back.
  if (fromEnvironment && *fromEnvironment) {
    if (Readable(fromEnvironment)) {
      path = fromEnvironment;
      return true;
    }
    error = std::string("The soundfont named by GROOVELOOM_SOUNDFONT cannot be read: ") + fromEnvironment;
    return false;
  }
  for (const std::string& candidate : candidates) {
    if (Readable(candidate)) {
      path = candidate;
      return true;
    }
  }
  error = "No General MIDI soundfont found (install timgm6mb-soundfont or set GROOVELOOM_SOUNDFONT)";
  return false;
}

bool FluidSynthDevice::FindConfiguredSoundFont(std::string& path, std::string& error) {
  return FindSoundFont(std::getenv("GROOVELOOM_SOUNDFONT"), DefaultSoundFonts(), path, error);
}

int FluidSynthDevice::Periods(bool ownStream) {
  const char* text = std::getenv("GROOVELOOM_AUDIO_PERIODS");
  const int periods = text ? std::atoi(text) : 0;
  return periods >= 2 && periods <= 32 ? periods : ownStream ? kStreamPeriods : kPeriods;
}

bool FluidSynthDevice::CreateSynth(std::string& error) {
  settings_ = NewFluidSettings(kSampleRate, error);
  if (!settings_) return false;
  fluid_settings_setint(settings_, "audio.period-size", kPeriodSize);
  fluid_settings_setint(settings_, "audio.periods", Periods(false));
  // While this is on, the PulseAudio driver ignores the periods and asks for ~100 ms.
  fluid_settings_setint(settings_, "audio.pulseaudio.adjust-latency", 0);
  fluid_settings_setstr(settings_, "audio.pulseaudio.media-role", "music");
  fluid_settings_setint(settings_, "audio.jack.autoconnect", 1);
  fluid_settings_setstr(settings_, "audio.jack.id", "Grooveloom");
  // Loads only the samples of the presets in use: a fraction of the time and memory for a large font.
  fluid_settings_setint(settings_, "synth.dynamic-sample-loading", 1);
  synth_ = new_fluid_synth(settings_);
  if (!synth_) {
    error = "Cannot create the synthesizer";
    delete_fluid_settings(settings_);
    settings_ = nullptr;
    return false;
  }
  return true;
}

int FluidSynthDevice::AudioCallback(void* data, int len, int nfx, float* fx[], int nout, float* out[]) {
  auto* self = static_cast<FluidSynthDevice*>(data);
  int result;
  if (nfx == 0) {
    // No separate effect buffers (all drivers but JACK's): reverb and chorus go into the dry ones.
    float* effects[4] = {out[0], out[1], out[0], out[1]};
    result = fluid_synth_process(self->synth_, len, 4, effects, nout, out);
  } else {
    result = fluid_synth_process(self->synth_, len, nfx, fx, nout, out);
  }
  if (AudioRenderHook* hook = self->hook_.load(); hook && nout >= 2) hook->Render(out[0], out[1], len);
  return result;
}

void FluidSynthDevice::RenderPeriod(float* left, float* right, int frames) {
  float* out[2] = {left, right};
  float* effects[4] = {left, right, left, right};
  fluid_synth_process(synth_, frames, 4, effects, 2, out);
  if (AudioRenderHook* hook = hook_.load()) {
    hook->Render(left, right, frames);
    if (const int64_t latency = stream_.LatencyFrames(); latency >= 0) hook->OutputLatency(latency);
  }
}

bool FluidSynthDevice::Playing() const {
  std::lock_guard<std::mutex> guard(lock_);
  return driver_ != nullptr || stream_.IsOpen();
}

void FluidSynthDevice::DestroyLocked() {
  loaded_ = false;
  // The driver renders from the synth on its own thread: it goes first.
  stream_.Close();
  if (driver_) delete_fluid_audio_driver(driver_);
  if (synth_) delete_fluid_synth(synth_);
  if (settings_) delete_fluid_settings(settings_);
  driver_ = nullptr;
  synth_ = nullptr;
  settings_ = nullptr;
  driverName_.clear();
}

bool FluidSynthDevice::Open(std::string& error) {
  Close();
  std::string path;
  if (!FindConfiguredSoundFont(path, error)) return false;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (!CreateSynth(error)) return false;
    // Our own PulseAudio stream first; GROOVELOOM_AUDIO_DRIVER=fluidsynth keeps FluidSynth's (to
    // compare the two).
    const char* choice = std::getenv("GROOVELOOM_AUDIO_DRIVER");
    if (!choice || std::string_view(choice) != "fluidsynth") {
      if (AudioRenderHook* hook = hook_.load()) hook->OutputRestarted();
      std::string streamError;
      if (stream_.Open("Grooveloom", kSampleRate, Periods() * kPeriodSize, kPeriodSize,
                       [this](float* left, float* right, int frames) { RenderPeriod(left, right, frames); },
                       streamError, [this]() -> int64_t {
                         AudioRenderHook* hook = hook_.load();
                         return hook ? hook->BufferFramesWanted() : 0;
                       },
                       [this] {
                         AudioRenderHook* hook = hook_.load();
                         return hook && hook->FlushWanted();
                       },
                       [this](int64_t frames) {
                         if (AudioRenderHook* hook = hook_.load()) hook->OutputFlushed(frames);
                       }))
        driverName_ = "pulseaudio";
    }
    for (const char* name : kDrivers) {
      if (stream_.IsOpen()) break;
      fluid_settings_setstr(settings_, "audio.driver", name);
      // The callback form: the program's own notes are mixed into each period at their frames.
      if (AudioRenderHook* hook = hook_.load()) hook->OutputRestarted();
      driver_ = new_fluid_audio_driver2(settings_, &FluidSynthDevice::AudioCallback, this);
      if (driver_) {
        driverName_ = name;
        // These drivers cannot tell their latency: their periods, as configured.
        if (AudioRenderHook* hook = hook_.load()) hook->OutputLatency(int64_t{Periods(false)} * kPeriodSize);
        break;
      }
    }
    if (!driver_ && !stream_.IsOpen()) {
      error = "No audio output: neither PulseAudio, ALSA nor JACK could be opened";
      DestroyLocked();
      return false;
    }
  }
  StartLoading(path);
  return true;
}

bool FluidSynthDevice::OpenOffline(const std::string& soundFontPath, std::string& error, bool inBackground) {
  Close();
  std::string path;
  if (!FindSoundFont(soundFontPath.c_str(), {}, path, error)) return false;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (!CreateSynth(error)) return false;
  }
  if (inBackground) {
    StartLoading(path);
    return true;
  }
  {
    std::lock_guard<std::mutex> guard(lock_);
    loadFinished_ = false;
    loadError_.clear();
  }
  Load(path);
  std::lock_guard<std::mutex> guard(lock_);
  if (!loaded_) {
    error = loadError_;
    DestroyLocked();
    return false;
  }
  return true;
}

void FluidSynthDevice::StartLoading(const std::string& path) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    loadFinished_ = false;
    loadError_.clear();
  }
  try {
    loader_ = std::thread(&FluidSynthDevice::Load, this, path);
  } catch (const std::system_error&) {
    Load(path);  // no thread to spare: load here and accept the wait
  }
}

void FluidSynthDevice::Load(std::string path) {
  // Runs without lock_: Send must not wait for a load that can take half a second. Until loaded_ is
  // set nothing but this thread touches the synth's fonts.
  // Checked first so a file of another kind gets a clear reason, not a loader's console noise.
  const bool isSoundFont = fluid_is_soundfont(path.c_str());
  const std::size_t messagesBefore = LibraryMessageCount();
  const int id = isSoundFont ? fluid_synth_sfload(synth_, path.c_str(), 1) : FLUID_FAILED;
  std::lock_guard<std::mutex> guard(lock_);
  if (id == FLUID_FAILED) {
    loadError_ = isSoundFont ? "Cannot load the soundfont " + path + ": " + LoadFailureReason(messagesBefore)
                             : "Not a SoundFont 2 file: " + path;
    NoteLibraryMessage(loadError_);
    if (loadFailureHandler_ && loadError_ != reportedFailure_) {
      reportedFailure_ = loadError_;
      loadFailureHandler_(loadError_);
    }
  } else {
    loaded_ = true;
  }
  loadFinished_ = true;
  loadDone_.notify_all();
}

void FluidSynthDevice::SetLoadFailureHandler(LoadFailureHandler handler) {
  std::lock_guard<std::mutex> guard(lock_);
  loadFailureHandler_ = std::move(handler);
}

bool FluidSynthDevice::WaitUntilLoaded(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> guard(lock_);
  if (!synth_) return false;
  loadDone_.wait_for(guard, timeout, [this] { return loadFinished_; });
  return loaded_;
}

std::string FluidSynthDevice::LoadError() const {
  std::lock_guard<std::mutex> guard(lock_);
  return loadError_;
}

void FluidSynthDevice::Close() {
  // The loader takes lock_ when it finishes, so it is joined outside the lock.
  std::thread loader;
  {
    std::lock_guard<std::mutex> guard(lock_);
    loader = std::move(loader_);
  }
  if (loader.joinable()) loader.join();
  std::lock_guard<std::mutex> guard(lock_);
  DestroyLocked();
}

void FluidSynthDevice::Send(uint32_t msg) {
  const int status = static_cast<int>(msg & 0xFF);
  const int data1 = static_cast<int>((msg >> 8) & 0x7F);
  const int data2 = static_cast<int>((msg >> 16) & 0x7F);
  const int channel = status & 0x0F;
  std::lock_guard<std::mutex> guard(lock_);
  if (!synth_ || !loaded_) return;
  const bool noteOff = (status & 0xF0) == 0x80 || ((status & 0xF0) == 0x90 && data2 == 0);
  if (noteOff && channel == kDrumChannel && !drumNoteOffs_) return;  // drums ring out
  switch (status & 0xF0) {
    case 0x80: fluid_synth_noteoff(synth_, channel, data1); break;
    case 0x90:
      if (data2 == 0) fluid_synth_noteoff(synth_, channel, data1);
      else fluid_synth_noteon(synth_, channel, data1, data2);
      break;
    case 0xA0: fluid_synth_key_pressure(synth_, channel, data1, data2); break;
    case 0xB0: fluid_synth_cc(synth_, channel, data1, data2); break;
    case 0xC0: fluid_synth_program_change(synth_, channel, data1); break;
    case 0xD0: fluid_synth_channel_pressure(synth_, channel, data1); break;
    case 0xE0: fluid_synth_pitch_bend(synth_, channel, data1 | (data2 << 7)); break;
    default: break;  // data bytes alone and system messages mean nothing to the synthesizer
  }
}

void FluidSynthDevice::SetDrumNoteOffs(bool passedOn) {
  std::lock_guard<std::mutex> guard(lock_);
  drumNoteOffs_ = passedOn;
}

bool FluidSynthDevice::Render(int frames, std::vector<float>& left, std::vector<float>& right) {
  std::lock_guard<std::mutex> guard(lock_);
  if (!synth_ || driver_ || stream_.IsOpen() || frames <= 0) return false;
  left.assign(static_cast<std::size_t>(frames), 0.0f);
  right.assign(static_cast<std::size_t>(frames), 0.0f);
  return fluid_synth_write_float(synth_, frames, left.data(), 0, 1, right.data(), 0, 1) == FLUID_OK;
}

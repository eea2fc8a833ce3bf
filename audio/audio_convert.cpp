#include "audio/audio_convert.h"

#include <unistd.h>

#include <array>
#include <atomic>
#include <csignal>
#include <cstdio>

#include "audio/audio_export.h"
#include "audio/drum_sound_bank.h"
#include "files/convert.h"

namespace {

std::atomic<bool> gInterrupted{false};

extern "C" void OnInterrupt(int) { gInterrupted = true; }

// Restores the previous handlers when the export is over.
class InterruptCatcher {
 public:
  InterruptCatcher() {
    gInterrupted = false;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // A closed terminal (SIGHUP) ends the export as cleanly as Ctrl+C.
    for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &action, &old_[i]);
  }
  ~InterruptCatcher() {
    for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &old_[i], nullptr);
  }

 private:
  static constexpr std::array<int, 3> kSignals{SIGINT, SIGTERM, SIGHUP};
  std::array<struct sigaction, 3> old_{};
};

std::string MinutesSeconds(int64_t seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                static_cast<long long>(seconds % 60));
  return text;
}

bool WriteAudio(Osnova& doc, const std::string& path, bool normalize, std::string& error) {
  AudioExportSettings settings;
  settings.Normalize = normalize;
  settings.Tempo = doc.Tempo;
  settings.Kit = doc.Kit;
  const bool terminal = ::isatty(STDERR_FILENO) == 1;
  std::string shown;
  InterruptCatcher interrupts;
  auto progress = [&](int64_t done, int64_t total) {
    if (terminal) {
      const std::string line = AudioProgressLine(path, done, total, DrumSoundBank::kSampleRate);
      if (line != shown) {
        std::fprintf(stderr, "\r%s", line.c_str());
        std::fflush(stderr);
        shown = line;
      }
    }
    return !gInterrupted;
  };
  const AudioExportResult result = ExportAudio(doc, path, settings, progress, error);
  if (terminal && !shown.empty()) std::fprintf(stderr, "\n");
  if (result == AudioExportResult::Cancelled) error = "Cancelled";
  return result == AudioExportResult::Done;
}

}  // namespace

std::string AudioProgressLine(const std::string& path, int64_t done, int64_t total, int sampleRate) {
  const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 0;
  char text[16];
  std::snprintf(text, sizeof text, "%3d%%", percent);
  return "Rendering " + path + ": " + text + " (" + MinutesSeconds(done / sampleRate) + " of " +
         MinutesSeconds(total / sampleRate) + ")";
}

void AddAudioConversions(const ProgramSettings& settings) {
  for (const char* extension : {".wav", ".flac", ".ogg"})
    AddConversionFormat(extension, [&settings](Osnova& doc, const std::string& path, std::string& error) {
      return WriteAudio(doc, path, settings.NormalizeAudio, error);
    });
}

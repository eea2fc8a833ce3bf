// Audio export: the song rendered offline with the built-in synthesizer and its soundfont into a
// WAV (16-bit PCM), FLAC or Ogg Vorbis file, 44.1 kHz stereo, chosen by the file's extension.
//
// Every note sounds at the exact frame of its time at the tempo (a sixteenth is 15000 / tempo ms;
// its bar's grid and the song's swing place it, model/time_feel.h), notes of rows the kit hides
// are silent, every drum sound rings to its natural end. The file runs to
// the end of the last bar holding a note (its musical length, so exported loops line up), then on
// until the sound has died away: 60 dB below the level of the last notes, at most 4 s more. DC is
// removed, the loudest sample is brought to -1 dBFS (unless asked not to), and the song's title,
// artist and album go into the file's tags. The audio is streamed to the file in blocks; memory
// does not grow with the song.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "midi/practice.h"
#include "model/tab_document.h"

struct AudioExportSettings {
  int Tempo = 120;                                // quarter notes per minute
  std::array<uint8_t, kRowCount> Kit{1, 1, 1, 1, 1, 1, 1, 1, 1};  // rows shown; the others are silent
  std::string SoundFont;                          // empty: the one the program plays with
  ClickMode Click = ClickMode::Off;               // the metronome mixed in, as playback plays it
  int ClickVolume = 80;                           // percent
  bool Normalize = true;                          // false keeps the synthesizer's own level
};

// Called now and then with the frames written and the frames expected in all; returning false
// cancels the export.
using AudioProgress = std::function<bool(int64_t done, int64_t total)>;

enum class AudioExportResult { Done, Cancelled, Failed };

inline constexpr const char* kSilentSongMessage = "The song has no notes to play in the rows the kit shows.";
inline constexpr int kAudioTailSeconds = 4;  // the longest a file rings on after its last bar
inline constexpr float kNormalizedPeak = 0.89125094f;  // -1 dBFS

// Renders `doc` into `path`. Failed comes with the reason in `error`; neither a failure nor a
// cancel leaves a file behind or changes an existing one.
AudioExportResult ExportAudio(const Osnova& doc, const std::string& path, const AudioExportSettings& settings,
                              const AudioProgress& progress, std::string& error);

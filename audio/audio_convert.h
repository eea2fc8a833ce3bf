// `grooveloom -o song.wav|.flac|.ogg IN`: the audio export on the command line.
#pragma once

#include <cstdint>
#include <string>

#include "model/program_settings.h"

// Adds .wav, .flac and .ogg to the command-line conversion. The song plays at its own tempo with its
// own kit. While rendering, a progress line goes to standard error when that is a terminal; Ctrl+C,
// a closed terminal (SIGHUP) or a termination signal cancels the export cleanly (no file is left
// behind).
// `settings` (NormalizeAudio) is read at each conversion and must outlive them.
void AddAudioConversions(const ProgramSettings& settings);

// The progress line: "Rendering song.wav:  42% (1:23 of 3:20)", times of the song's audio.
std::string AudioProgressLine(const std::string& path, int64_t done, int64_t total, int sampleRate);

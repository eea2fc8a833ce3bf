// Reads a plain-text drum tab, as drummers write them in forums, lesson pages and their own notes,
// and as this program's text export writes them, into a new document.
//
// A system is a run of consecutive lines that each carry a row label and bar lines
// ("HH|x-x-x-x-|", " Hi-Hat: |x-x-...|", "hh  x-x-x-x-|x-x-...|"); any other line ends it. Bars
// are read left to right within a system and systems top to bottom. Song information lines
// ("Artist :", ..., "Tempo :", "Timing :") are taken over when present, and the part and comment
// lines the export writes right above a system come back as song parts and bar comments.
#pragma once

#include <string_view>

#include "model/import_result.h"
#include "model/program_settings.h"

extern const char* const kNoDrumTabMessage;  // "No drum tab found in the text."

// Texts are taken byte for byte (the model's Windows-1252); line ends may be LF, CR LF or CR.
// Without a single bar on a known row the result has no document and kNoDrumTabMessage. The song
// keeps at most `maxBars` bars (1..65535), the rest is left out with a warning.
ImportResult ImportTextTab(std::string_view text, int maxBars = kMaxBarCount,
                           const ProgramSettings& settings = ProgramSettings{});

// Imports by file name: text tabs (.txt, .tab) and Standard MIDI Files (.mid, .midi) become new
// songs. Used by the command line and by the window, so both read the same way.
#pragma once

#include <string>

#include "model/import_result.h"
#include "model/program_settings.h"

enum class ImportKind { None, TextTab, Midi };

// By the extension, without regard to case; None for everything else (a .gvlm tab file).
ImportKind ImportKindOf(const std::string& path);

// Reads the file and imports it; a file that cannot be read gives an error naming it.
// A new song's author and e-mail come from `settings` unless the file names its own.
ImportResult ImportFile(const std::string& path, int midiChannel,
                        const ProgramSettings& settings = ProgramSettings{});

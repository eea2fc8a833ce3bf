// The options file as the window uses it: LoadOptions and SaveOptions with their warnings shown
// in message boxes. Neither ever stops the program.
#pragma once

#include <mutex>

#include "files/options_file.h"
#include "model/program_settings.h"

class DialogService;

// The settings the options file stores: the key map, kit and MIDI device of `settings`.
StoredOptions CurrentOptions(const ProgramSettings& settings);
void ApplyOptions(const StoredOptions& options, ProgramSettings& settings);
class QWidget;

// The corruption warning once per wrong heading, or why the file could not be read or created.
// `settingsLock`, when given, is held while the settings change (playback reads the kit under it).
void LoadOptionsShowingMessages(ProgramSettings& settings, DialogService& dialogs, QWidget* parent,
                                std::mutex* settingsLock = nullptr);
// A failed write is shown with the file and the reason; the old file is left as it was.
bool SaveOptionsShowingErrors(const ProgramSettings& settings, DialogService& dialogs, QWidget* parent);

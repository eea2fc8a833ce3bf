// The program's own settings outside the options file: one object, made where the program starts
// (the main window, the command line) and handed to what reads it.
#pragma once

#include <cstdint>
#include <string>

#include "model/import_result.h"
#include "model/key_map_table.h"
#include "model/tab_document.h"

struct ProgramSettings {
  // The author and e-mail a new song starts with: the last ones given on the Song Information page.
  std::string DefaultTabAuthor;
  std::string DefaultEmail;
  // False (`--no-normalize`) keeps the synthesizer's level instead of a -1 dBFS peak.
  bool NormalizeAudio = true;
  // The key map for note entry, from the options file.
  KeyMapTable KeyMap = kDefaultKeyMap;
  // The chosen MIDI device, from the options file: 0 at start; -1 = the mapper.
  int32_t MidiDeviceIndex = 0;
  // The kit in use (`GlobalKit`): the options file's, then the opened song's. The editing session
  // changes it under its lock, which playback reads it under.
  KitRows GlobalKit = kFullKit;

  // A new or imported song's author and e-mail, cut to their field length, and the kit in use
  // (with the rows an import has notes in).
  void StartSong(Osnova& doc) const {
    doc.TabAuthor = InfoText(DefaultTabAuthor);
    doc.Email = InfoText(DefaultEmail);
    doc.Kit = GlobalKit;
    ShowRowsWithNotes(doc);
  }
};

// The program's own settings outside the options file: one object, made where the program starts
// (the main window, the command line) and handed to what reads it.
#pragma once

#include <string>

#include "model/tab_document.h"

struct ProgramSettings {
  // The author and e-mail a new song starts with: the last ones given on the Song Information page.
  std::string DefaultTabAuthor;
  std::string DefaultEmail;
  // False (`--no-normalize`) keeps the synthesizer's level instead of a -1 dBFS peak.
  bool NormalizeAudio = true;

  // A new or imported song's author and e-mail, cut to their field length.
  void StartSong(Osnova& doc) const {
    doc.TabAuthor = InfoText(DefaultTabAuthor);
    doc.Email = InfoText(DefaultEmail);
  }
};

// What an import from outside data (a text tab, a MIDI file) hands back: a new document and the
// warnings about what it could not take over, or, when nothing usable was found, no document and
// the reason.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "model/tab_document.h"

struct ImportResult {
  std::unique_ptr<Osnova> Document;   // null when nothing usable was found
  std::vector<std::string> Warnings;  // in the order met, each a whole sentence
  std::string Error;                  // why Document is null; empty otherwise
};

// The timing a bar of `length` positions (1..64) gets when the source names none: 4/4 for 16, n/4
// when the length is a multiple of 4, n/8 when it is even, n/16 otherwise.
inline uint8_t DenominatorForLength(int length) {
  return length % 4 == 0 ? 4 : length % 2 == 0 ? 8 : 16;
}

// A new document for an import made of `bars` (at least one, at most 65535, each with its Length
// and Denominator set): everything else as in a new document, with every row shown until
// ProgramSettings::StartSong gives it the kit in use. Modified is set: an imported song has not been saved anywhere.
std::unique_ptr<Osnova> NewImportedDocument(BarArray bars);
// Shows every row that holds a note, so no imported note is hidden by the kit.
void ShowRowsWithNotes(Osnova& doc);

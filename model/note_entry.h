// Setting, replacing and removing one note: the document change of note entry and what the view
// has to draw for it. The window draws and sounds; this only decides.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "model/tab_document.h"

enum class NoteChange {
  None,      // refused (see Error); the document is unchanged and no snapshot was taken
  Set,       // a note where there was none
  Replaced,  // another variant or accent of the same instrument
  Removed,   // the same note entered again
};

struct NoteEntry {
  NoteChange Change = NoteChange::None;
  std::string Error;
  int Position = 0;  // in the bar; the view column is StartCol + Position
  int Row = 0;
  // Drawing, in this order: erase the old letter (and restore its piece of staff line), erase or
  // draw the count label, draw the new letter.
  bool EraseOldLetter = false;
  bool EraseCount = false;
  bool DrawCount = false;
  bool DrawLetter = false;
  char Letter = 0;           // NoteLetter of the new note
  // Sound a set or replaced note with this velocity (94, or 127 accented); removals are silent.
  bool Sound = false;
  uint8_t Variant = 0;
  uint8_t Velocity = 0;
};

// True when the variant exists for the row (cymbals 0..2, hi-hat and snare 0..1, others 0).
bool IsValidVariant(int row, int variant);

// Why `position` of bar `bar` cannot be edited (no such bar, outside the bar), or empty when it can.
std::string PositionError(const Osnova& doc, int bar, int position);

// The count label above a position is shown when a shown row holds a note there.
bool ColumnHasShownNote(const Osnova& doc, const TBar& bar, int position);
// Bars of the finer and triplet grids also show every beat's number, notes or not, so that a bar
// wider or narrower than a sixteenth one still reads by its beats. Sixteenth bars count only notes.
bool CountShownWithoutNote(const TBar& bar, int position);

// Note entry at `position` of bar `bar` for (row, variant, accent): the same note again removes it,
// another variant or accent replaces it, otherwise the note is set. Refuses a bar or position
// outside the document or bar, a row that is hidden or not an instrument, and an unknown variant or
// accent. `push` (may be empty) runs once the entry is accepted and before anything changes, so the
// undo snapshot holds the state before the note. Sets Modified.
NoteEntry SetNoteAt(Osnova& doc, int bar, int position, int row, int variant, int accent,
                    const std::function<void()>& push);

// Row and variant of an instrument button's tag (row * 10 + variant); false for an unknown tag.
bool InstrumentOfTag(int tag, int& row, int& variant);

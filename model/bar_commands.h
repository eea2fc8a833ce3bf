// The commands that change the document bar by bar, and the one-bar clipboard. Model changes only:
// each command returns what happened, and the window repaints, refreshes its controls and places
// the cursor (layout/cursor_moves.h).
//
// Every command that changes the document takes a `push` callback (may be empty) that it calls once
// the command is accepted and before anything changes, so the undo snapshot holds the state before
// the edit. A refused command neither changes anything nor calls `push`.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "model/tab_document.h"

extern const char* const kCannotDeleteAllBarsMessage;  // "You cannot delete all bars! ..."
extern const char* const kCannotCutAllBarsMessage;     // "You cannot cut out all bars! ..."
extern const char* const kTooManyBarsMessage;          // "A tab cannot have more than 65535 bars."

// The bar clipboard: lives for the whole run, across New and Open.
class TClipBord {
 public:
  // Starts as an empty 16/4 bar (64 positions), so a paste before any copy inserts that.
  TBar Bar{4, 16};

  // Bar takes the contents of bar b (timing, rows, comment).
  bool CopyBar(const Osnova& doc, uint16_t b, std::string& error);
  // Copies bar b, removes it and drops the song part that began there; later parts move one bar
  // earlier. Refuses the only bar (kCannotCutAllBarsMessage).
  bool CutBar(Osnova& doc, uint16_t b, std::string& error);
  // Inserts the clipboard's bar before bar b; song parts at or after b move one
  // bar later. Refuses at 65535 bars (kTooManyBarsMessage). The clipboard keeps its bar.
  bool PasteBar(Osnova& doc, uint16_t b, std::string& error) const;
};

// --- Primitives (no snapshot, no Modified, no song parts).

// A new empty bar of the given length and denominator at index `at` (-1 = at the end); the bars from
// `at` on move one later. Refuses at 65535 bars, a bad index, length outside 1..64 and a
// denominator other than 4, 8 or 16.
bool InsertBar(Osnova& doc, uint8_t length, int32_t at, uint8_t denominator, std::string& error);
// Removes bar `at` (0xFFFFFFFF = the last bar); later bars move one earlier. When the last bar goes,
// CurrentBar and the visible range step back with it. Refuses the only bar
// (kCannotDeleteAllBarsMessage) and a bad index.
bool RemoveBar(Osnova& doc, uint32_t at, std::string& error);

// Song parts stay on their bars: after a bar is inserted at `at`, every part starting at or after it
// moves one bar later.
void ShiftSongParts(Osnova& doc, uint16_t at);
// After bar `removed` is gone: the part that began there is deleted and every later part moves one
// bar earlier. Returns true when a part was deleted (the part names changed).
bool DropSongPart(Osnova& doc, uint16_t removed);

// --- The commands of the tool buttons, menus and keys, on CurrentBar.

struct BarEdit {
  bool Done = false;
  std::string Message;            // why it was refused (a warning for the user)
  bool PartNamesChanged = false;  // a song part was deleted: rebuild the song-part box's items
};

// An empty bar with the current bar's timing before it; the new bar becomes current.
BarEdit InsertBarCommand(Osnova& doc, const std::function<void()>& push);
// Removes the current bar; when it was the last bar the one before becomes current.
BarEdit RemoveBarCommand(Osnova& doc, const std::function<void()>& push);
// Empties the current bar's rows and comment, keeping its timing.
BarEdit ClearBarCommand(Osnova& doc, const std::function<void()>& push);
// Sets the current bar's timing (numerator 1..16, denominator 4, 8 or 16) in the bar's grid;
// refused when the grid has no whole number of cells for it. Notes beyond the new
// length stay in memory and show again when the bar is lengthened (saving drops them).
BarEdit ChangeTimingCommand(Osnova& doc, int numerator, int denominator,
                            const std::function<void()>& push);
// Writes the current bar in another grid, its timing kept: every note (and hi-hat foot and sticking
// mark) that has a cell at its time in the new grid moves there; the rest are removed and Message
// says how many notes were ("2 notes have no place in 16ths and were removed."). Refused when the
// bar's length is no whole number of the new grid's cells or more than 64 of them.
BarEdit ChangeGridCommand(Osnova& doc, BarGrid grid, const std::function<void()>& push);
// Copy takes no snapshot; from the tool button or the menus it marks the document modified, from
// the keyboard it does not.
BarEdit CopyBarCommand(TClipBord& clip, Osnova& doc, bool fromKeyboard);
BarEdit CutBarCommand(TClipBord& clip, Osnova& doc, const std::function<void()>& push);
// The pasted bar lands before the current bar and becomes current.
BarEdit PasteBarCommand(const TClipBord& clip, Osnova& doc, const std::function<void()>& push);

// Dynamics, articulations, the hi-hat foot and the sticking line: the values they sound with and the
// edits that set them at the cursor. The window draws, sounds and names the undo step; this decides.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "model/tab_document.h"

constexpr uint8_t kGhostNoteVelocity = 45;
constexpr uint8_t kNormalNoteVelocity = 94;
constexpr uint8_t kAccentNoteVelocity = 127;
// General MIDI keys the articulations add.
constexpr uint8_t kRideBellKey = 53;
constexpr uint8_t kPedalHiHatKey = 44;

uint8_t CellVelocity(const TNoteCell& cell);

// The letter that shows a note in the view, on paper and in the text export: the articulation's
// (f flam, d drag, z buzz roll, # choke, b bell; upper case when accented, but #) in place of
// NoteLetter. A ghost note is shown by its look (grey, or in parentheses), not its letter.
char ShownLetter(int row, const TNoteCell& cell);

// Where the view and the printed page put the hi-hat foot and the sticking: the letter slot under
// the last shown row, then the count font's line under that.
constexpr int kFootSlotBelowRows = 0;  // slots after the last shown row
constexpr int kStickingBelowFoot = 13;  // pixels from the foot letters' top

// Whether a row's notes can take a style: flams, drags and rolls are for the drums (toms and snare),
// chokes and bells for the cymbal and ride rows.
bool StyleFitsRow(int row, NoteStyle style);

enum class ExpressionKind : int {
  Ghost, Flam, Drag, Roll, Choke, Bell, Foot, StickRight, StickLeft, StickBoth, Count
};
constexpr int kExpressionKindCount = static_cast<int>(ExpressionKind::Count);

// "ghost note", "flam", ...: the undo step's name and the button's hint.
const char* ExpressionName(ExpressionKind kind);
NoteStyle StyleOf(ExpressionKind kind);  // None for ghost, foot and sticking
char StickingLetter(ExpressionKind kind);  // 'R', 'L', 'B' or 0

struct ExpressionEdit {
  bool Changed = false;
  std::string Error;  // why nothing changed
};

// Toggles `kind` at one position of one bar. Ghost and the styles change every note there on a
// shown row that can take them: when all of them have it already it is taken off, otherwise put on
// (a ghost note loses its accent; a style replaces another style). The foot toggles the hi-hat foot
// at the position; a sticking letter is set, or cleared when it is already there. Refuses (Error
// set, nothing changed, `push` not run) a bar or position outside the document, or no note to
// change. `push` runs once, before the change. Sets Modified.
ExpressionEdit ToggleExpression(Osnova& doc, int bar, int position, ExpressionKind kind,
                                const std::function<void()>& push);

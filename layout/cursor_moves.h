// Moving the cursor by pace and by bar, scrolling the view when the cursor leaves it, and keeping
// the cursor inside the current bar after commands that change the bars. Qt-free: the repaint is a
// call into the view (TabViewSink), which lays the bars out again.
//
// Each operation assumes the document's layout fields are those of the last repaint and the cursor
// lies in the current bar. The caller hides the cursor box before and refreshes the bar controls
// (which draw the box again) after.
#pragma once

#include <cstdint>

#include "model/tab_document.h"
#include "layout/view_layout.h"

struct CursorMove {
  bool BarChanged = false;  // CurrentBar changed: refresh the bar controls and the song part box
  bool Repainted = false;   // the view was repainted (the cursor box was wiped)
};

// One bar later, keeping the offset from the bar's start; on the last bar the cursor goes to its end.
CursorMove NextBar(Osnova& doc, TCursor& cursor, TabViewSink& view);
// One bar earlier, keeping the distance from the bar's end; on bar 0 the cursor goes to its start.
CursorMove PreviousBar(Osnova& doc, TCursor& cursor, TabViewSink& view);
// The pair as one operation (true = towards later bars), for the scroll bar and the ">>"/"<<" buttons.
CursorMove MoveBar(Osnova& doc, TCursor& cursor, TabViewSink& view, bool forward);

// `count` bars later (count > 0) or earlier, ending exactly as that many NextBar or PreviousBar
// calls would, layout fields of every bar included; but the steps only lay the view out, and the
// view is repainted once at the end when any step scrolled it (the scroll bar's jumps).
CursorMove MoveBars(Osnova& doc, TCursor& cursor, TabViewSink& view, int count);

// By cursor.Pace, in the current bar's own grid (PaceCells); a step past the bar's end carries on
// into the next bar by the musical time left over, in that bar's grid. Nothing moves at the ends
// of the song.
CursorMove StepRight(Osnova& doc, TCursor& cursor, TabViewSink& view);
CursorMove StepLeft(Osnova& doc, TCursor& cursor, TabViewSink& view);
// By `cells` cells of the current bar (> 0 right, < 0 left), carrying on as StepRight does
// (playback moves the cursor one cell at a time).
CursorMove StepCells(Osnova& doc, TCursor& cursor, TabViewSink& view, int cells);

// The cells one step of `pace` sixteenths moves from cell `position` of a bar in `grid`, towards
// later cells when `forward`. Where the grid has that note value, the same musical step (1/8 is
// two cells of 32nds, three of sixteenth triplets). Where it has not, the triplet a drummer counts
// instead: 1/16 is one sixteenth triplet, and in eighth triplets 1/16 and 1/8 are one eighth
// triplet. In the mixed grid 1/16 goes to the next sixteenth or sixteenth triplet, whichever comes
// first.
int PaceCells(BarGrid grid, int pace, int position, bool forward);
// Cell `cells` of `from` as a cell of `to`: the one at or just before the same time.
int CellsIn(BarGrid from, BarGrid to, int cells);

// Home and End: the first or the last position of the current bar.
CursorMove BarStart(Osnova& doc, TCursor& cursor, TabViewSink& view);
CursorMove BarEnd(Osnova& doc, TCursor& cursor, TabViewSink& view);
// Ctrl+Home and Ctrl+End: the first position of the song, the last position of its last bar.
CursorMove SongStart(Osnova& doc, TCursor& cursor, TabViewSink& view);
CursorMove SongEnd(Osnova& doc, TCursor& cursor, TabViewSink& view);
// Page Down and Page Up: as many bars as the current bar's view line holds, like that many
// NextBar or PreviousBar calls but never past the song's ends (at an end, one such call).
CursorMove NextLineOfBars(Osnova& doc, TCursor& cursor, TabViewSink& view);
CursorMove PreviousLineOfBars(Osnova& doc, TCursor& cursor, TabViewSink& view);

// The bar that becomes FirstVisibleBar when the view scrolls one step (down = towards later bars).
// Down makes room for bar CurrentBar + 1 by dropping whole bars off the first view line.
// `grid` is the one the view was last laid out on.
uint16_t ScrollTarget(const Osnova& doc, bool down, const view::Grid& grid = {});

// The view as bar commands leave it: repaint from FirstVisibleBar (clamped to the bars there are),
// scroll until the current bar is visible, and keep the cursor inside the current bar.
void RepaintKeepingCursor(Osnova& doc, TCursor& cursor, TabViewSink& view);

// After a timing change: repaint from FirstVisibleBar and put the cursor on the current bar's start;
// if the bar no longer fits the view, the last visible bar becomes current with the cursor at its
// end. Returns true when the current bar changed.
bool RepaintAfterTimingChange(Osnova& doc, TCursor& cursor, TabViewSink& view);

// Jump to a bar (choosing a song part): it becomes current and the first bar of the view, and the
// cursor goes to column 0 of line 0. Returns false, changing nothing, for a bar that does not exist.
bool JumpToBar(Osnova& doc, TCursor& cursor, TabViewSink& view, int bar);

// A mouse press on the view at (x, y): the first visible bar under the hit column and line becomes
// current and the cursor goes there. False, changing nothing, for a press outside the bars.
bool PlaceCursorAt(Osnova& doc, TCursor& cursor, int x, int y, const view::Grid& grid = {});

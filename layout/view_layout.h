// Where the tab view puts things: the bar layout of a full repaint and the pixel geometry of the
// view (798 x 369 pixels and two lines of 64 columns at the window's first size; a larger window
// gets more columns and lines, see Grid). Qt-free, so the layout and the cursor moves are tested without a display.
#pragma once

#include <cstdint>

#include "model/tab_cursor.h"
#include "model/tab_document.h"

// Positions of the bar that get a count, on screen and on paper: those that hold a note on a shown
// instrument row, and in bars of other grids than sixteenths every beat (CountShownWithoutNote).
uint64_t CountedPositions(const Osnova& doc, const TBar& bar);

namespace view {

constexpr int kWidth = 798;
constexpr int kHeight = 369;
constexpr int kColumns = 64;
constexpr int kLines = 2;
// The bars' column and line fields are bytes; a huge window stops adding columns and lines here.
constexpr int kMaxColumns = 240;
constexpr int kMaxLines = 60;
constexpr int kColumnWidth = 11;

// Columns per view line and view lines. A line never has fewer than 64 columns, so every bar fits.
struct Grid {
  int Columns = kColumns;
  int Lines = kLines;
  bool operator==(const Grid&) const = default;
};

// The grid of a view `width` x `height` pixels (before zoom) showing n instrument rows: the first
// window size gives 64 columns and two lines whatever the kit; each further 11 pixels of width add
// a column and each further line height a line. A view lower than the first size shows the lines
// whose bar lines fit, at least one.
Grid GridOf(int width, int height, int n);

// Height of one view line: H = 10 n + 100 with n the shown instrument rows.
inline int LineHeight(int n) { return 10 * n + 100; }
inline int LineTop(int H, int line) { return H * line; }
inline int StaffY(int H, int line, int slot) { return H * line + 50 + 15 * slot; }
inline int BarLineTop(int H, int line) { return H * line + 40; }
inline int BarLineBottom(int H, int line, int n) { return H * line + 60 + 15 * (n - 1); }
inline int BarLineX(int column) { return 80 + 11 * column; }
inline int LetterX(int column) { return 82 + 11 * column; }
inline int LetterY(int H, int line, int slot) { return H * line + 44 + 15 * slot; }
inline int CountY(int H, int line) { return H * line + 29; }
inline int CommentY(int H, int line) { return H * line + 11; }
inline int LabelY(int H, int line, int k) { return H * line + 45 + 15 * (k - 1); }
inline int CursorLeft(int column) { return 81 + 11 * column; }
inline int CursorRight(int column) { return 91 + 11 * column; }
// A bar of `length` positions fits after a bar ending at column `endCol` on the same line.
inline bool FitsAfter(int endCol, int length, int columns = kColumns) {
  return endCol + length <= columns - 1;
}

}  // namespace view

// Lays out bar `index` in its slot and view line: StartCol follows the EndCol of the bar before it
// in the song, unless the bar opens its line. The layout fields are a cache of the view (mutable),
// so laying out never changes the song or un-shares a bar.
void LayOutBar(const Osnova& doc, int index, int slot, int line);
// The layout step of DrawBar, for a bar already laid out by the last full repaint: it keeps its
// StartCol and takes the slot, line and the EndCol of its length.
void PlaceBar(const TBar& bar, int slot, int line);

// The layout of a full repaint from bar `first`: fills the layout fields of every bar that fits
// on the grid's view lines and sets FirstVisibleBar/LastVisibleBar. Returns the view lines used.
int LayOutView(Osnova& doc, uint16_t first, const view::Grid& grid = {});

struct ViewHit {
  int Column;  // 0..Columns - 1, or Columns for none
  int Line;    // 0..Lines - 1, or Lines for none
};

// Mouse hit-test in view coordinates.
ViewHit FindXY(const Osnova& doc, int x, int y, const view::Grid& grid = {});

// The repaint the cursor moves and bar commands ask for. The window implements it by laying out
// and painting; tests implement it with LayOutView alone.
class TabViewSink {
 public:
  virtual ~TabViewSink() = default;
  virtual void RepaintView(Osnova& doc, uint16_t first) = 0;
  // The grid RepaintView lays the bars out on.
  virtual view::Grid ViewGrid() const { return {}; }
};

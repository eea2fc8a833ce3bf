// Where the tab view puts things: the bar layout of a full repaint and the pixel geometry of the
// 798 x 369 view bitmap. Qt-free, so the layout and the cursor moves are tested without a display.
#pragma once

#include <cstdint>

#include "model/tab_document.h"

struct TCursor {
  uint8_t Column = 0;  // character column 0..63 in the cursor's view line
  uint8_t Line = 0;    // view line 0 or 1
  uint8_t Pace = 4;    // step of StepRight/StepLeft in sixteenths, 1..16
};

namespace view {

constexpr int kWidth = 798;
constexpr int kHeight = 369;
constexpr int kColumns = 64;

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
inline bool FitsAfter(int endCol, int length) { return endCol + length <= kColumns - 1; }

}  // namespace view

// Lays out bar `index` in its slot and view line: StartCol follows the EndCol of the bar before it
// in the song, unless the bar opens its line. The layout fields are a cache of the view (mutable),
// so laying out never changes the song or un-shares a bar.
void LayOutBar(const Osnova& doc, int index, int slot, int line);
// The layout step of DrawBar, for a bar already laid out by the last full repaint: it keeps its
// StartCol and takes the slot, line and the EndCol of its length.
void PlaceBar(const TBar& bar, int slot, int line);

// The layout of a full repaint from bar `first`: fills the layout fields of every bar that fits
// on the two view lines and sets FirstVisibleBar/LastVisibleBar. Returns the view lines used (1 or 2).
int LayOutView(Osnova& doc, uint16_t first);

struct ViewHit {
  int Column;  // 0..63, or 64 for none
  int Line;    // 0 or 1, or 2 for none
};

// Mouse hit-test in view coordinates.
ViewHit FindXY(const Osnova& doc, int x, int y);

// The repaint the cursor moves and bar commands ask for. The window implements it by laying out
// and painting; tests implement it with LayOutView alone.
class TabViewSink {
 public:
  virtual ~TabViewSink() = default;
  virtual void RepaintView(Osnova& doc, uint16_t first) = 0;
};

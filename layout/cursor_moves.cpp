#include "layout/cursor_moves.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>

namespace {

int LastBar(const Osnova& doc) { return static_cast<int>(doc.BarCount) - 1; }

// Scrolls by whole bars until `bar` is visible. The scroll step may leave the bar just outside the
// view for unusual mixes of bar lengths; this guarantees the layout fields of the bar the cursor
// moves to are fresh.
bool BringIntoView(Osnova& doc, TabViewSink& view, int bar) {
  bool repainted = false;
  if (bar < doc.FirstVisibleBar) {
    view.RepaintView(doc, static_cast<uint16_t>(bar));
    repainted = true;
  }
  while (bar > doc.LastVisibleBar && doc.FirstVisibleBar < bar) {
    view.RepaintView(doc, static_cast<uint16_t>(doc.FirstVisibleBar + 1));
    repainted = true;
  }
  return repainted;
}

// Puts CurrentBar, the view and the cursor into a state the moves can rely on.
bool Settle(Osnova& doc, TCursor& cursor, TabViewSink& view) {
  bool repainted = false;
  if (doc.CurrentBar > LastBar(doc)) doc.CurrentBar = static_cast<uint16_t>(LastBar(doc));
  if (doc.CurrentBar < doc.FirstVisibleBar || doc.CurrentBar > doc.LastVisibleBar ||
      doc.LastVisibleBar > LastBar(doc)) {
    view.RepaintView(doc, doc.CurrentBar);
    repainted = true;
  }
  const TBar& bar = doc.Current();
  if (cursor.Line != bar.ViewLine || cursor.Column < bar.StartCol || cursor.Column > bar.EndCol) {
    cursor.Column = std::clamp(cursor.Column, bar.StartCol, bar.EndCol);
    cursor.Line = bar.ViewLine;
  }
  return repainted;
}

void ClampInto(TCursor& cursor, const TBar& bar, int column) {
  cursor.Column = static_cast<uint8_t>(std::clamp(column, int{bar.StartCol}, int{bar.EndCol}));
  cursor.Line = bar.ViewLine;
}

// Moves the current bar one later; the view scrolls first when it is the last visible bar.
bool AdvanceBar(Osnova& doc, TabViewSink& view) {
  bool repainted = false;
  if (doc.CurrentBar >= doc.LastVisibleBar) {
    view.RepaintView(doc, ScrollTarget(doc, true, view.ViewGrid()));
    repainted = true;
  }
  ++doc.CurrentBar;
  return BringIntoView(doc, view, doc.CurrentBar) || repainted;
}

bool RetreatBar(Osnova& doc, TabViewSink& view) {
  bool repainted = false;
  if (doc.CurrentBar <= doc.FirstVisibleBar) {
    view.RepaintView(doc, ScrollTarget(doc, false));
    repainted = true;
  }
  --doc.CurrentBar;
  return BringIntoView(doc, view, doc.CurrentBar) || repainted;
}

}  // namespace

CursorMove NextBar(Osnova& doc, TCursor& cursor, TabViewSink& view) {
  CursorMove m;
  m.Repainted = Settle(doc, cursor, view);
  const int offset = cursor.Column - doc.Current().StartCol;
  if (doc.CurrentBar == LastBar(doc)) {
    ClampInto(cursor, doc.Current(), doc.Current().EndCol);
    return m;
  }
  const BarGrid from = doc.Current().Grid;
  m.Repainted = AdvanceBar(doc, view) || m.Repainted;
  m.BarChanged = true;
  ClampInto(cursor, doc.Current(), doc.Current().StartCol + CellsIn(from, doc.Current().Grid, offset));
  return m;
}

CursorMove PreviousBar(Osnova& doc, TCursor& cursor, TabViewSink& view) {
  CursorMove m;
  m.Repainted = Settle(doc, cursor, view);
  const int fromEnd = doc.Current().EndCol - cursor.Column;
  if (doc.CurrentBar == 0) {
    ClampInto(cursor, doc.Current(), doc.Current().StartCol);
    return m;
  }
  const BarGrid from = doc.Current().Grid;
  m.Repainted = RetreatBar(doc, view) || m.Repainted;
  m.BarChanged = true;
  // The same time before the bar's end: the cell that starts at or just before it.
  const int64_t before = (fromEnd + 1) * CellUnits(from);
  const int64_t to = CellUnits(doc.Current().Grid);
  ClampInto(cursor, doc.Current(), doc.Current().EndCol + 1 - static_cast<int>((before + to - 1) / to));
  return m;
}

CursorMove MoveBar(Osnova& doc, TCursor& cursor, TabViewSink& view, bool forward) {
  return forward ? NextBar(doc, cursor, view) : PreviousBar(doc, cursor, view);
}

CursorMove MoveBars(Osnova& doc, TCursor& cursor, TabViewSink& view, int count) {
  struct LayOutOnly : TabViewSink {
    view::Grid grid;
    void RepaintView(Osnova& d, uint16_t first) override { LayOutView(d, first, grid); }
    view::Grid ViewGrid() const override { return grid; }
  } layout;
  layout.grid = view.ViewGrid();
  CursorMove m;
  const bool forward = count > 0;
  for (int i = 0; i < std::abs(count); ++i) {
    const CursorMove step = MoveBar(doc, cursor, layout, forward);
    m.BarChanged = m.BarChanged || step.BarChanged;
    m.Repainted = m.Repainted || step.Repainted;
  }
  // The last layout was from FirstVisibleBar; painting from there gives the same fields again.
  if (m.Repainted) view.RepaintView(doc, doc.FirstVisibleBar);
  return m;
}

int PaceCells(BarGrid grid, int pace, int position, bool forward) {
  const int perQuarter = CellsPerQuarter(grid);
  if (grid == BarGrid::Mixed && pace == 1) {
    // Cells of a beat that are a sixteenth or a sixteenth triplet; the next beat's start closes it.
    static constexpr int kStops[] = {0, 3, 4, 6, 8, 9, 12};
    const int inBeat = position % perQuarter;
    if (forward) {
      for (int stop : kStops)
        if (stop > inBeat) return stop - inBeat;
    }
    for (int k = static_cast<int>(std::size(kStops)) - 1; k >= 0; --k)
      if (kStops[k] < inBeat) return inBeat - kStops[k];
    return perQuarter - kStops[std::size(kStops) - 2];  // from a beat back to its last stop
  }
  if (pace * perQuarter % 4 == 0) return pace * perQuarter / 4;
  // A triplet is two thirds of the straight note: pace * 2/3 sixteenths.
  return std::max(1, pace * perQuarter / 6);
}

int CellsIn(BarGrid from, BarGrid to, int cells) {
  return static_cast<int>(cells * CellUnits(from) / CellUnits(to));
}

CursorMove StepCells(Osnova& doc, TCursor& cursor, TabViewSink& view, int cells) {
  CursorMove m;
  m.Repainted = Settle(doc, cursor, view);
  if (cells == 0) return m;
  const TBar& bar = doc.Current();
  const BarGrid from = bar.Grid;
  if (cells > 0) {
    if (cursor.Column + cells <= bar.EndCol) {
      cursor.Column = static_cast<uint8_t>(cursor.Column + cells);
      return m;
    }
    if (doc.CurrentBar == LastBar(doc)) return m;
    // The time the step reaches past the bar's end, in cells of the next bar.
    const int64_t over = (cells - (bar.EndCol - cursor.Column) - 1) * CellUnits(from);
    m.Repainted = AdvanceBar(doc, view) || m.Repainted;
    m.BarChanged = true;
    const int carry = static_cast<int>(over / CellUnits(doc.Current().Grid));
    ClampInto(cursor, doc.Current(), doc.Current().StartCol + carry);
    return m;
  }
  const int back = -cells;
  if (cursor.Column - back >= bar.StartCol) {
    cursor.Column = static_cast<uint8_t>(cursor.Column - back);
    return m;
  }
  if (doc.CurrentBar == 0) return m;
  // The time the step reaches back before the bar's start; the cell at or just before it.
  const int64_t over = (back - (cursor.Column - bar.StartCol)) * CellUnits(from);
  m.Repainted = RetreatBar(doc, view) || m.Repainted;
  m.BarChanged = true;
  const int64_t to = CellUnits(doc.Current().Grid);
  const int carry = static_cast<int>((over + to - 1) / to);
  ClampInto(cursor, doc.Current(), doc.Current().EndCol + 1 - carry);
  return m;
}

namespace {

// The pace's step from where the cursor is; Settle first, so the bar and column are the current ones.
int PaceStep(Osnova& doc, TCursor& cursor, TabViewSink& view, bool forward, bool& repainted) {
  repainted = Settle(doc, cursor, view);
  const TBar& bar = doc.Current();
  return PaceCells(bar.Grid, cursor.Pace, cursor.Column - bar.StartCol, forward);
}

}  // namespace

CursorMove StepRight(Osnova& doc, TCursor& cursor, TabViewSink& view) {
  bool repainted = false;
  const int cells = PaceStep(doc, cursor, view, true, repainted);
  CursorMove m = StepCells(doc, cursor, view, cells);
  m.Repainted = m.Repainted || repainted;
  return m;
}

CursorMove StepLeft(Osnova& doc, TCursor& cursor, TabViewSink& view) {
  bool repainted = false;
  const int cells = PaceStep(doc, cursor, view, false, repainted);
  CursorMove m = StepCells(doc, cursor, view, -cells);
  m.Repainted = m.Repainted || repainted;
  return m;
}

CursorMove BarStart(Osnova& doc, TCursor& cursor, TabViewSink& view) {
  CursorMove m;
  m.Repainted = Settle(doc, cursor, view);
  ClampInto(cursor, doc.Current(), doc.Current().StartCol);
  return m;
}

CursorMove BarEnd(Osnova& doc, TCursor& cursor, TabViewSink& view) {
  CursorMove m;
  m.Repainted = Settle(doc, cursor, view);
  ClampInto(cursor, doc.Current(), doc.Current().EndCol);
  return m;
}

namespace {

CursorMove Then(CursorMove first, CursorMove second) {
  return CursorMove{first.BarChanged || second.BarChanged, first.Repainted || second.Repainted};
}

// Bars in the current bar's view line, as the last repaint laid them out.
int BarsInCurrentLine(Osnova& doc, TCursor& cursor, TabViewSink& view, bool& repainted) {
  repainted = Settle(doc, cursor, view);
  const int line = doc.Current().ViewLine;
  const int last = std::min<int>(doc.LastVisibleBar, LastBar(doc));
  int count = 0;
  for (int b = doc.FirstVisibleBar; b <= last; ++b)
    if (doc.Bar(b).ViewLine == line) ++count;
  return std::max(count, 1);
}

}  // namespace

CursorMove SongStart(Osnova& doc, TCursor& cursor, TabViewSink& view) {
  const CursorMove bars = MoveBars(doc, cursor, view, -static_cast<int>(doc.CurrentBar));
  return Then(bars, BarStart(doc, cursor, view));
}

CursorMove SongEnd(Osnova& doc, TCursor& cursor, TabViewSink& view) {
  const int toLast = LastBar(doc) - std::min<int>(doc.CurrentBar, LastBar(doc));
  const CursorMove bars = MoveBars(doc, cursor, view, toLast);
  return Then(bars, BarEnd(doc, cursor, view));
}

CursorMove NextLineOfBars(Osnova& doc, TCursor& cursor, TabViewSink& view) {
  bool repainted = false;
  const int line = BarsInCurrentLine(doc, cursor, view, repainted);
  const int count = std::max(1, std::min(line, LastBar(doc) - doc.CurrentBar));
  return Then(CursorMove{false, repainted}, MoveBars(doc, cursor, view, count));
}

CursorMove PreviousLineOfBars(Osnova& doc, TCursor& cursor, TabViewSink& view) {
  bool repainted = false;
  const int line = BarsInCurrentLine(doc, cursor, view, repainted);
  const int count = std::max(1, std::min<int>(line, doc.CurrentBar));
  return Then(CursorMove{false, repainted}, MoveBars(doc, cursor, view, -count));
}

uint16_t ScrollTarget(const Osnova& doc, bool down, const view::Grid& grid) {
  const int first = doc.FirstVisibleBar;
  if (!down) return static_cast<uint16_t>(first > 0 ? first - 1 : 0);

  const int lastBar = LastBar(doc);
  const int next = doc.CurrentBar + 1;
  if (next > lastBar) return static_cast<uint16_t>(first);
  const int last = std::min<int>(doc.LastVisibleBar, lastBar);

  // The first bar of the last view line, or the first bar when there is none.
  int s = first;
  for (int b = first; b <= last; ++b) {
    const TBar& bar = doc.Bar(b);
    if (bar.SlotInLine == 0 && bar.ViewLine == grid.Lines - 1 && bar.ViewLine > 0) {
      s = b;
      break;
    }
  }
  // Room the second line must give up so that the next bar fits behind the last visible one.
  const int need = doc.Bar(next).Length;
  const int lastColumn = grid.Columns - 1;
  const int freeOnSecond = lastColumn - doc.Bar(last).EndCol;
  int a = 0;
  for (int b = s;; ++b) {
    a += doc.Bar(b).Length;
    if (need <= freeOnSecond + a || b == lastBar) break;
  }
  // Bars dropped off the first line until the second line's bars fit there.
  const int freeOnFirst = s > first ? lastColumn - doc.Bar(s - 1).EndCol : 0;
  int k = first;
  for (int sum = 0;; ++k) {
    sum += doc.Bar(k).Length;
    if (a <= sum + freeOnFirst || k == lastBar) break;
  }
  return static_cast<uint16_t>(std::min(k + 1, lastBar));
}

void RepaintKeepingCursor(Osnova& doc, TCursor& cursor, TabViewSink& view) {
  if (doc.CurrentBar > LastBar(doc)) doc.CurrentBar = static_cast<uint16_t>(LastBar(doc));
  int first = std::min<int>(doc.FirstVisibleBar, LastBar(doc));
  first = std::min<int>(first, doc.CurrentBar);
  view.RepaintView(doc, static_cast<uint16_t>(first));
  BringIntoView(doc, view, doc.CurrentBar);
  const TBar& bar = doc.Current();
  if (bar.EndCol < cursor.Column || bar.ViewLine < cursor.Line) cursor.Column = bar.EndCol;
  if (cursor.Column < bar.StartCol) cursor.Column = bar.StartCol;
  cursor.Line = bar.ViewLine;
}

bool RepaintAfterTimingChange(Osnova& doc, TCursor& cursor, TabViewSink& view) {
  if (doc.CurrentBar > LastBar(doc)) doc.CurrentBar = static_cast<uint16_t>(LastBar(doc));
  int first = std::min<int>(doc.FirstVisibleBar, doc.CurrentBar);
  view.RepaintView(doc, static_cast<uint16_t>(first));
  if (doc.LastVisibleBar < doc.CurrentBar) {
    doc.CurrentBar = doc.LastVisibleBar;
    ClampInto(cursor, doc.Current(), doc.Current().EndCol);
    return true;
  }
  ClampInto(cursor, doc.Current(), doc.Current().StartCol);
  return false;
}

bool JumpToBar(Osnova& doc, TCursor& cursor, TabViewSink& view, int bar) {
  if (bar < 0 || bar > LastBar(doc)) return false;
  doc.CurrentBar = static_cast<uint16_t>(bar);
  view.RepaintView(doc, doc.CurrentBar);
  cursor.Column = 0;
  cursor.Line = 0;
  return true;
}

bool PlaceCursorAt(Osnova& doc, TCursor& cursor, int x, int y, const view::Grid& grid) {
  const ViewHit hit = FindXY(doc, x, y, grid);
  if (hit.Column >= grid.Columns || hit.Line >= grid.Lines) return false;
  const int last = std::min<int>(doc.LastVisibleBar, LastBar(doc));
  for (int b = doc.FirstVisibleBar; b <= last; ++b) {
    const TBar& bar = doc.Bar(b);
    if (bar.StartCol <= hit.Column && hit.Column <= bar.EndCol && bar.ViewLine == hit.Line) {
      cursor.Column = static_cast<uint8_t>(hit.Column);
      cursor.Line = static_cast<uint8_t>(hit.Line);
      doc.CurrentBar = static_cast<uint16_t>(b);
      return true;
    }
  }
  return false;
}

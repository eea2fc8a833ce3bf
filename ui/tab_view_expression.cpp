// The tab view's drawing of what a plain tab does not have. A column is 11 pixels: a ghost note
// keeps its letter, drawn grey (parentheses would not fit); an articulation shows its letter
// (f, d, z, #, b) in place of the note's. The hi-hat foot's x stands in the letter slot under the
// last shown row and the sticking in the count font under it, above the next line's comments.
#include <QPainter>

#include "model/expressive_notes.h"
#include "ui/tab_view.h"

namespace {
const QColor kGhostGrey(128, 128, 128);
}  // namespace

int TabView::ExtrasBottom(int H, int line, int n) {
  return view::LetterY(H, line, n + kFootSlotBelowRows) + kStickingBelowFoot + 10;
}

void TabView::PaintExpressiveNote(QPainter& painter, int row, const TNoteCell& cell, int x, int y) {
  PaintText(painter, letterFont_, x, y, QString(QChar::fromLatin1(ShownLetter(row, cell))),
            cell.Ghost ? kGhostGrey : QColor(Qt::black));
}

void TabView::PaintFootAndSticking(QPainter& painter, const Osnova& doc, const TBar& bar, int H, int line) {
  const int n = ShownInstrumentRows(doc);
  const int y = view::LetterY(H, line, n + kFootSlotBelowRows);
  for (int p = 0; p < bar.Length; ++p) {
    const int x = view::LetterX(bar.StartCol + p);
    if (doc.Kit[RowHiHat] && ((bar.FootNotes >> p) & 1u)) PaintText(painter, letterFont_, x, y, QStringLiteral("x"));
    if (const char s = bar.Sticking[static_cast<std::size_t>(p)])
      PaintText(painter, countFont_, x, y + kStickingBelowFoot, QString(QChar::fromLatin1(s)));
  }
}

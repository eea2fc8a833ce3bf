#include "ui/tab_view.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

#include "ui/cp1252.h"

namespace {

// The bitmap is 96 dpi, so a point size gives the same pixel size on every screen and the view
// geometry (in pixels) fits the fonts.
constexpr int kDotsPerMeter96Dpi = 3780;

// The counting strip of a view line (rows relative to its top): the count text starts at row 29
// and its ink stays in rows 30..39. Row 40 is the top of the bar lines and of the cursor box, so
// an erase must stop above it or it would cut the box's top edge.
constexpr int kCountStripTop = 30;
constexpr int kCountStripBottom = 39;
// Height of the comment strip: rows 11..26 below the line top, just above the counting strip.
constexpr int kCommentStripHeight = 16;
// A letter's box spans x .. x + 8 from its text origin: 82..90 in column 0, clear of the
// bar lines and of the cursor box edges at 80/81 and 91.
constexpr int kCellRight = 8;
// A count label has at most two characters ("1".."16").
constexpr int kMaxCountChars = 2;

QFont ViewFont(int pointSize, bool bold) {
  // DejaVu Sans Mono (fonts-dejavu-core) is a monospaced face every Debian desktop has, so the
  // letters sit in their columns whatever else is installed. No antialiasing: the picture stays pure black on
  // white, so erase boxes cover every inked pixel and the cursor box inverts cleanly.
  QFont font(QStringLiteral("DejaVu Sans Mono"));
  font.setStyleHint(QFont::Monospace);
  font.setFixedPitch(true);
  font.setPointSize(pointSize);
  font.setBold(bold);
  font.setStyleStrategy(QFont::NoAntialias);
  return font;
}

// Rectangles here are inclusive of both corners, so the numbers match the geometry table.
QRect Box(int x0, int y0, int x1, int y1) { return QRect(QPoint(x0, y0), QPoint(x1, y1)); }

// Lines are filled pixel runs rather than pen strokes: exact pixels, no end-point rules.
void Fill(QPainter& painter, const QRect& rect, Qt::GlobalColor color) {
  painter.fillRect(rect, color);
}
void VLine(QPainter& painter, int x, int y0, int y1) { Fill(painter, Box(x, y0, x, y1), Qt::black); }
void HLine(QPainter& painter, int y, int x0, int x1) { Fill(painter, Box(x0, y, x1, y), Qt::black); }

// Positions of the bar that hold a note on a shown instrument row; only those get a count.
uint64_t CountedPositions(const Osnova& doc, const TBar& bar) {
  uint64_t mask = 0;
  for (int r = RowCymbals; r <= RowBass; ++r)
    if (doc.Kit[r]) mask |= bar.Rows[r].Notes;
  if (bar.Length < kMaxPositions) mask &= (uint64_t{1} << bar.Length) - 1;
  return mask;
}

int LineHeightOf(const Osnova& doc) { return view::LineHeight(ShownInstrumentRows(doc)); }

}  // namespace

TabView::TabView(QWidget* parent)
    : QWidget(parent),
      image_(view::kWidth, view::kHeight, QImage::Format_RGB32),
      labelFont_(ViewFont(10, false)),
      letterFont_(ViewFont(10, true)),
      countFont_(ViewFont(9, false)) {
  setObjectName(QStringLiteral("i1"));
  setFixedSize(view::kWidth, view::kHeight);
  image_.setDotsPerMeterX(kDotsPerMeter96Dpi);
  image_.setDotsPerMeterY(kDotsPerMeter96Dpi);
  image_.fill(Qt::white);
  countAdvance_ = QFontMetrics(countFont_, &image_).horizontalAdvance(QLatin1Char('0'));
  setEnabled(false);
}

void TabView::RepaintView(Osnova& doc, uint16_t first) {
  image_.fill(Qt::white);
  const int linesUsed = LayOutView(doc, first);
  {
    QPainter painter(&image_);
    for (int b = doc.FirstVisibleBar; b <= doc.LastVisibleBar && b < doc.BarCount; ++b) {
      const TBar& bar = doc.Bar(b);
      PaintBar(painter, doc, bar, bar.SlotInLine, bar.ViewLine);
    }
    const int H = LineHeightOf(doc);
    for (int line = 0; line < linesUsed; ++line) {
      int k = 0;
      for (int r = 0; r < kRowCount; ++r) {
        if (!doc.Kit[r]) continue;
        PaintText(painter, labelFont_, 10, view::LabelY(H, line, k), QString::fromLatin1(kRowLabels[r]));
        ++k;
      }
    }
  }
  hasPicture_ = true;
  update();
}

void TabView::DrawBar(Osnova& doc, const TBar& bar, int slot, int line) {
  {
    QPainter painter(&image_);
    PaintBar(painter, doc, bar, slot, line);
  }
  const int H = LineHeightOf(doc);
  // The comment is not clipped and may run on to the right edge.
  const int x0 = view::BarLineX(bar.StartCol);
  update(Box(x0, view::CommentY(H, line), view::kWidth - 1,
              view::BarLineBottom(H, line, ShownInstrumentRows(doc))));
}

void TabView::RedrawBar(Osnova& doc, const TBar& bar) {
  const int n = ShownInstrumentRows(doc);
  const int H = view::LineHeight(n);
  const int line = bar.ViewLine;
  QRect changed;
  {
    QPainter painter(&image_);
    // The right bar line column is left alone: it is the neighbour's left bar line too.
    Fill(painter,
         Box(view::BarLineX(bar.StartCol), view::BarLineTop(H, line),
             view::BarLineX(bar.EndCol + 1) - 1, view::BarLineBottom(H, line, n)),
         Qt::white);
    // Counts sit above the bar lines; without this a cleared bar would keep its old counts.
    changed = RefreshCounts(painter, doc, line, view::BarLineX(bar.StartCol),
                            view::LetterX(bar.EndCol) + kMaxCountChars * countAdvance_);
  }
  DrawBar(doc, bar, bar.SlotInLine, bar.ViewLine);
  update(changed);
}

void TabView::DrawComment(Osnova& doc, const TBar& bar) {
  const int H = LineHeightOf(doc);
  const int y = view::CommentY(H, bar.ViewLine);
  const int x = view::LetterX(bar.StartCol);
  {
    QPainter painter(&image_);
    Fill(painter, Box(x, y, view::BarLineX(bar.EndCol + 1) - 1, y + kCommentStripHeight - 1),
         Qt::white);
    if (!bar.Comment.empty()) PaintText(painter, labelFont_, x, y, FromCp1252(bar.Comment));
  }
  update(Box(x, y, view::kWidth - 1, y + kCommentStripHeight - 1));
}

void TabView::ToggleCursorBox(const Osnova& doc, const TCursor& cursor) {
  // Direct pixel inversion rather than a QPainter raster op: every pixel of the outline is
  // inverted exactly once, corners included, whatever the rasteriser does at line ends, so a
  // second call restores the picture bit for bit.
  const int n = ShownInstrumentRows(doc);
  const int H = view::LineHeight(n);
  const QRect box = Box(view::CursorLeft(cursor.Column), view::BarLineTop(H, cursor.Line),
                        view::CursorRight(cursor.Column), view::BarLineBottom(H, cursor.Line, n));
  auto invert = [this](int x, int y) {
    if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) return;
    auto* row = reinterpret_cast<QRgb*>(image_.scanLine(y));
    row[x] ^= 0x00FFFFFFu;
  };
  for (int x = box.left(); x <= box.right(); ++x) {
    invert(x, box.top());
    if (box.bottom() != box.top()) invert(x, box.bottom());
  }
  for (int y = box.top() + 1; y < box.bottom(); ++y) {
    invert(box.left(), y);
    if (box.right() != box.left()) invert(box.right(), y);
  }
  update(box);
}

void TabView::EraseNoteLetter(const Osnova& doc, int column, int line, int row) {
  const int H = LineHeightOf(doc);
  const int y = view::StaffY(H, line, doc.LineOfRow[row] - 1);
  const int x = view::LetterX(column);
  // The box reaches down to y + 5, the letter's baseline row in this font.
  const QRect cell = Box(x, y - 5, x + kCellRight, y + 5);
  {
    QPainter painter(&image_);
    Fill(painter, cell, Qt::white);
    HLine(painter, y, x, x + kCellRight);
  }
  update(cell);
}

void TabView::EraseCountLabel(const Osnova& doc, int column, int line) {
  const int x = view::LetterX(column);
  QRect changed;
  {
    QPainter painter(&image_);
    changed = RefreshCounts(painter, doc, line, x, x + kMaxCountChars * countAdvance_, column);
  }
  update(changed);
}

void TabView::DrawCountLabel(const Osnova& doc, int column, int line, int position) {
  const int H = LineHeightOf(doc);
  {
    QPainter painter(&image_);
    PaintCount(painter, column, H, line, position);
  }
  const int x = view::LetterX(column);
  update(Box(x, H * line + kCountStripTop, x + kMaxCountChars * countAdvance_,
              H * line + kCountStripBottom));
}

void TabView::DrawNoteLetter(const Osnova& doc, int column, int line, int row, char letter) {
  const int H = LineHeightOf(doc);
  const int y = view::LetterY(H, line, doc.LineOfRow[row] - 1);
  const int x = view::LetterX(column);
  {
    QPainter painter(&image_);
    PaintText(painter, letterFont_, x, y, QString(QChar::fromLatin1(letter)));
  }
  update(Box(x, y, x + kCellRight, y + 12));
}

void TabView::paintEvent(QPaintEvent* event) {
  if (!hasPicture_) return;  // nothing to show before the first document
  QPainter painter(this);
  painter.drawImage(event->rect(), image_, event->rect());
}

void TabView::mousePressEvent(QMouseEvent* event) {
  event->accept();
  lastModifiers_ = event->modifiers();
  emit MouseDown(event->button(), event->position().toPoint());
}

void TabView::PaintBar(QPainter& painter, Osnova& doc, const TBar& bar, int slot, int line) {
  PlaceBar(bar, slot, line);
  const int n = ShownInstrumentRows(doc);
  const int H = view::LineHeight(n);
  const int top = view::BarLineTop(H, line);
  const int bottom = view::BarLineBottom(H, line, n);
  const int left = view::BarLineX(bar.StartCol);
  const int right = view::BarLineX(bar.EndCol + 1);

  VLine(painter, left, top, bottom);
  for (int s = 0; s < n; ++s) HLine(painter, view::StaffY(H, line, s), left, right);
  VLine(painter, right, top, bottom);

  if (!bar.Comment.empty())
    PaintText(painter, labelFont_, view::LetterX(bar.StartCol), view::CommentY(H, line),
              FromCp1252(bar.Comment));

  for (int r = RowCymbals; r <= RowBass; ++r) {
    if (!doc.Kit[r]) continue;
    const TNoteRow& notes = bar.Rows[r];
    const int y = view::LetterY(H, line, doc.LineOfRow[r] - 1);
    for (int p = 0; p < bar.Length; ++p) {
      if (!notes.Has(p)) continue;
      const TNoteCell& cell = notes.Cells[p];
      PaintText(painter, letterFont_, view::LetterX(bar.StartCol + p), y,
                QString(QChar::fromLatin1(NoteLetter(r, cell.Variant, cell.Accent))));
    }
  }
  // One count per position: drawing the same text again would change no pixel.
  const uint64_t counted = CountedPositions(doc, bar);
  for (int p = 0; p < bar.Length; ++p)
    if ((counted >> p) & 1u) PaintCount(painter, bar.StartCol + p, H, line, p);
}

void TabView::PaintText(QPainter& painter, const QFont& font, int x, int y, const QString& text) {
  // (x, y) is the top left of the text cell, as in the view geometry; Qt wants the baseline.
  painter.setFont(font);
  painter.setPen(Qt::black);
  painter.setBackgroundMode(Qt::TransparentMode);
  painter.drawText(x, y + painter.fontMetrics().ascent(), text);
}

void TabView::PaintCount(QPainter& painter, int column, int H, int line, int position) {
  PaintText(painter, countFont_, view::LetterX(column), view::CountY(H, line),
            QString::fromStdString(CountLabel(position)));
}

QRect TabView::RefreshCounts(QPainter& painter, const Osnova& doc, int line, int x0, int x1,
                             int skipColumn) {
  const int H = LineHeightOf(doc);
  const int top = H * line + kCountStripTop;
  const int bottom = H * line + kCountStripBottom;
  QRect changed = Box(x0, top, x1, bottom);
  Fill(painter, changed, Qt::white);
  // A two-digit count runs into the next column, so the erased range may have cut counts on
  // either side; draw back every count that reaches into it.
  for (int b = doc.FirstVisibleBar; b <= doc.LastVisibleBar && b < doc.BarCount; ++b) {
    const TBar& bar = doc.Bar(b);
    if (bar.ViewLine != line) continue;
    const uint64_t counted = CountedPositions(doc, bar);
    for (int p = 0; p < bar.Length; ++p) {
      if (!((counted >> p) & 1u)) continue;
      const int column = bar.StartCol + p;
      if (column == skipColumn) continue;
      const int left = view::LetterX(column);
      const int right = left + static_cast<int>(CountLabel(p).size()) * countAdvance_;
      if (right < x0 || left > x1) continue;
      PaintCount(painter, column, H, line, p);
      changed |= Box(left, top, right, bottom);
    }
  }
  return changed;
}

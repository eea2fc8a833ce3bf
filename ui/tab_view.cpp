#include "ui/tab_view.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <iterator>
#include <vector>

#include "ui/cp1252.h"
#include "ui/tab_font.h"

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

QFont ViewFont(int pointSize, bool bold, bool smooth = false) {
  // No antialiasing: the picture stays pure black on white, so erase boxes cover every inked pixel
  // and the cursor box inverts cleanly.
  QFont font = TabFont(bold);
  font.setPointSize(pointSize);
  font.setStyleStrategy(smooth ? QFont::PreferAntialias : QFont::NoAntialias);
  if (smooth) font.setHintingPreference(QFont::PreferNoHinting);  // outlines as designed, scaled
  return font;
}

// The strip above a view line's comment where song-part names stand: rows 0..10 of the line.
constexpr int kPartStripHeight = 11;
constexpr int kPartFontPoints = 7;
// Zoom steps of Ctrl+wheel and Ctrl+plus/minus.
constexpr int kZoomSteps[] = {50, 67, 75, 90, 100, 110, 125, 150, 175, 200, 250, 300};

// Rectangles here are inclusive of both corners, so the numbers match the geometry table.
QRect Box(int x0, int y0, int x1, int y1) { return QRect(QPoint(x0, y0), QPoint(x1, y1)); }

int LineHeightOf(const Osnova& doc) { return view::LineHeight(ShownInstrumentRows(doc)); }

}  // namespace

TabView::TabView(QWidget* parent)
    : QWidget(parent),
      labelFont_(ViewFont(10, false)),
      letterFont_(ViewFont(10, true)),
      countFont_(ViewFont(9, false)),
      partFont_(ViewFont(kPartFontPoints, true)),
      smoothLabelFont_(ViewFont(10, false, true)),
      smoothLetterFont_(ViewFont(10, true, true)),
      smoothCountFont_(ViewFont(9, false, true)),
      smoothPartFont_(ViewFont(kPartFontPoints, true, true)) {
  setObjectName(QStringLiteral("i1"));
  resize(view::kWidth, view::kHeight);
  pixelRatio_ = devicePixelRatioF();
  ResetBitmap();
  grid_ = GridFor(shownRows_);
  countAdvance_ = QFontMetrics(countFont_, &image_).horizontalAdvance(QLatin1Char('0'));
  setEnabled(false);
}

int TabView::Device(int v) const {
  return Exact() ? v : static_cast<int>(std::lround(v * Scale()));
}

QRect TabView::DeviceRect(const QRect& r) const {
  return QRect(QPoint(Device(r.left()), Device(r.top())),
               QPoint(Device(r.right() + 1) - 1, Device(r.bottom() + 1) - 1));
}

// Lines are filled pixel runs rather than pen strokes: exact pixels, no end-point rules; scaled,
// every line gets the same whole number of pixels.
void TabView::Fill(QPainter& painter, const QRect& rect, Qt::GlobalColor color) const {
  painter.fillRect(DeviceRect(rect), color);
}

void TabView::VLine(QPainter& painter, int x, int y0, int y1) const {
  const int t = Exact() ? 1 : std::max(1, static_cast<int>(std::lround(Scale())));
  const int top = Device(y0);
  const int bottom = std::max(Device(y1 + 1), Device(y1) + t) - 1;
  painter.fillRect(QRect(Device(x), top, t, bottom - top + 1), Qt::black);
}

void TabView::HLine(QPainter& painter, int y, int x0, int x1) const {
  const int t = Exact() ? 1 : std::max(1, static_cast<int>(std::lround(Scale())));
  const int left = Device(x0);
  const int right = std::max(Device(x1 + 1), Device(x1) + t) - 1;
  painter.fillRect(QRect(left, Device(y), right - left + 1, t), Qt::black);
}

void TabView::UpdateArea(const QRect& r) {
  if (Exact() && offset_.isNull()) {
    update(r);
    return;
  }
  // Bitmap pixels less the part scrolled off, in the widget's coordinates.
  const double s = Scale();
  const double k = pixelRatio_;
  update(QRectF((r.x() * s - offset_.x()) / k, (r.y() * s - offset_.y()) / k, r.width() * s / k,
                r.height() * s / k)
             .toAlignedRect()
             .adjusted(-1, -1, 1, 1));
}

const QFont& TabView::FontFor(const QFont& exact) {
  if (Exact()) return exact;
  if (&exact == &letterFont_) return smoothLetterFont_;
  if (&exact == &countFont_) return smoothCountFont_;
  if (&exact == &partFont_) return smoothPartFont_;
  return smoothLabelFont_;
}

QSize TabView::ContentSize() const {
  // Never less than the first size: zoomed in, the view shows the part around the cursor.
  const double z = zoomPercent_ / 100.0;
  return QSize(std::max(static_cast<int>(width() / z), view::kWidth),
               std::max(static_cast<int>(height() / z), view::kHeight));
}

QSize TabView::BitmapSize() const {
  const QSize content = ContentSize();
  return QSize(static_cast<int>(std::ceil(content.width() * Scale())),
               static_cast<int>(std::ceil(content.height() * Scale())));
}

view::Grid TabView::GridFor(int shownRows) const {
  const QSize content = ContentSize();
  return view::GridOf(content.width(), content.height(), shownRows);
}

QRect TabView::VisibleArea() const {
  const double s = Scale();
  return QRect(static_cast<int>(offset_.x() / s), static_cast<int>(offset_.y() / s),
               static_cast<int>(width() * pixelRatio_ / s), static_cast<int>(height() * pixelRatio_ / s));
}

void TabView::ClampOffset() {
  const int maxX = std::max(image_.width() - static_cast<int>(std::ceil(width() * pixelRatio_)), 0);
  const int maxY = std::max(image_.height() - static_cast<int>(std::ceil(height() * pixelRatio_)), 0);
  offset_ = QPoint(std::clamp(offset_.x(), 0, maxX), std::clamp(offset_.y(), 0, maxY));
}

void TabView::ResetBitmap() {
  QImage image(BitmapSize().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
  // At 96 dpi a point size gives the same pixel size on every screen, matching the geometry.
  image.setDotsPerMeterX(kDotsPerMeter96Dpi);
  image.setDotsPerMeterY(kDotsPerMeter96Dpi);
  image.fill(Qt::white);
  image_ = std::move(image);
  ClampOffset();
}

void TabView::SetZoomPercent(int percent) {
  percent = std::clamp(percent, kMinZoom, kMaxZoom);
  if (percent == zoomPercent_) return;
  zoomPercent_ = percent;
  ResetBitmap();
  grid_ = GridFor(shownRows_);
  update();
  emit GridChanged();
}

void TabView::ZoomBy(int steps) {
  if (steps == 0) {
    SetZoomPercent(100);
    return;
  }
  // The next step of the ladder beyond the current zoom, in the direction asked.
  const int count = static_cast<int>(std::size(kZoomSteps));
  int index = 0;
  while (index < count - 1 && kZoomSteps[index] < zoomPercent_) ++index;
  if (steps > 0) {
    if (kZoomSteps[index] <= zoomPercent_) ++index;
    index = std::min(index + steps - 1, count - 1);
  } else {
    index = std::max(index + steps, 0);
  }
  SetZoomPercent(kZoomSteps[index]);
}

void TabView::resizeEvent(QResizeEvent*) {
  const QImage old = image_;
  ResetBitmap();
  const view::Grid grid = GridFor(shownRows_);
  if (grid == grid_ && hasPicture_) {
    // Same columns and lines: the picture stays as it is, the new room is white.
    QPainter painter(&image_);
    painter.drawImage(0, 0, old);
    return;
  }
  grid_ = grid;
  if (hasPicture_) emit GridChanged();
}

bool TabView::event(QEvent* event) {
  if (event->type() == QEvent::ScreenChangeInternal || event->type() == QEvent::Show) {
    const double ratio = devicePixelRatioF();
    if (ratio != pixelRatio_) {
      pixelRatio_ = ratio;
      ResetBitmap();
      if (hasPicture_) emit GridChanged();
    }
  }
  return QWidget::event(event);
}

void TabView::RepaintView(Osnova& doc, uint16_t first) {
  // A widget resized while hidden gets its resize event only when shown.
  if (image_.size() != BitmapSize()) ResetBitmap();
  image_.fill(Qt::white);
  shownRows_ = ShownInstrumentRows(doc);
  grid_ = GridFor(shownRows_);
  const int linesUsed = LayOutView(doc, first, grid_);
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
    PaintPartNames(painter, doc, linesUsed);
  }
  hasPicture_ = true;
  update();
}

void TabView::DrawPartNames(const Osnova& doc) {
  if (!hasPicture_ || doc.FirstVisibleBar >= doc.BarCount) return;
  const int H = LineHeightOf(doc);
  const int last = std::min<int>(doc.LastVisibleBar, doc.BarCount - 1);
  const int linesUsed = doc.Bar(last).ViewLine + 1;
  const int right = static_cast<int>(image_.width() / Scale());
  {
    QPainter painter(&image_);
    for (int line = 0; line < linesUsed; ++line)
      Fill(painter, Box(0, H * line, right, H * line + kPartStripHeight - 1), Qt::white);
    PaintPartNames(painter, doc, linesUsed);
  }
  update();
}

void TabView::PaintPartNames(QPainter& painter, const Osnova& doc, int linesUsed) {
  // A part starts where its first entry (in list order) puts it, as in the exports.
  struct Mark {
    int Line;
    int X;
    QString Text;
  };
  std::vector<Mark> marks;
  const int last = std::min<int>(doc.LastVisibleBar, doc.BarCount - 1);
  for (int b = doc.FirstVisibleBar; b <= last; ++b) {
    for (const TSongPart& part : doc.SongParts) {
      if (part.StartBar != b) continue;
      const TBar& bar = doc.Bar(b);
      if (bar.ViewLine >= linesUsed) break;
      // The bar's number as the user counts, from 1.
      marks.push_back({bar.ViewLine, view::LetterX(bar.StartCol),
                       FromCp1252(part.Name) + QStringLiteral(" (bar %1)").arg(b + 1)});
      break;
    }
  }
  if (marks.empty()) return;
  const int H = LineHeightOf(doc);
  const int viewRight = static_cast<int>(image_.width() / Scale());
  for (std::size_t i = 0; i < marks.size(); ++i) {
    const Mark& m = marks[i];
    // A name stops short of the next part's name on its line, so none prints over another.
    int right = viewRight;
    if (i + 1 < marks.size() && marks[i + 1].Line == m.Line) right = marks[i + 1].X - 4;
    painter.save();
    painter.setClipRect(DeviceRect(Box(m.X, H * m.Line, right, H * m.Line + kPartStripHeight - 1)));
    PaintText(painter, partFont_, m.X, H * m.Line - 1, m.Text);
    painter.restore();
  }
}

void TabView::DrawBar(Osnova& doc, const TBar& bar, int slot, int line) {
  {
    QPainter painter(&image_);
    PaintBar(painter, doc, bar, slot, line);
  }
  const int H = LineHeightOf(doc);
  // The comment is not clipped and may run on to the right edge.
  const int x0 = view::BarLineX(bar.StartCol);
  UpdateArea(Box(x0, view::CommentY(H, line), ViewRight(), ExtrasBottom(H, line, ShownInstrumentRows(doc))));
}

void TabView::RedrawBar(Osnova& doc, const TBar& bar) {
  const int n = ShownInstrumentRows(doc);
  const int H = view::LineHeight(n);
  const int line = bar.ViewLine;
  QRect changed;
  {
    QPainter painter(&image_);
    // The right bar line column is left alone: it is the neighbour's left bar line too.
    // Down to the hi-hat foot and sticking under the rows, which a redraw may take away.
    Fill(painter,
         Box(view::BarLineX(bar.StartCol), view::BarLineTop(H, line),
             view::BarLineX(bar.EndCol + 1) - 1, ExtrasBottom(H, line, n)),
         Qt::white);
    // Counts sit above the bar lines; without this a cleared bar would keep its old counts.
    changed = RefreshCounts(painter, doc, line, view::BarLineX(bar.StartCol),
                            view::LetterX(bar.EndCol) + kMaxCountChars * countAdvance_);
  }
  DrawBar(doc, bar, bar.SlotInLine, bar.ViewLine);
  UpdateArea(changed);
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
  UpdateArea(Box(x, y, ViewRight(), y + kCommentStripHeight - 1));
}

void TabView::ToggleCursorBox(const Osnova& doc, const TCursor& cursor) {
  // Direct pixel inversion rather than a QPainter raster op: every pixel of the outline is
  // inverted exactly once, corners included, whatever the rasteriser does at line ends, so a
  // second call restores the picture bit for bit.
  const int n = ShownInstrumentRows(doc);
  const int H = view::LineHeight(n);
  const QRect box = Box(view::CursorLeft(cursor.Column), view::BarLineTop(H, cursor.Line),
                        view::CursorRight(cursor.Column), view::BarLineBottom(H, cursor.Line, n));
  // Scaled, each edge is as thick as the lines: the edges start where the view pixel starts.
  const int t = Exact() ? 1 : std::max(1, static_cast<int>(std::lround(Scale())));
  const int left = Device(box.left());
  const int top = Device(box.top());
  const int right = std::max(Device(box.right()), left + t);   // first column of the right edge
  const int bottom = std::max(Device(box.bottom()), top + t);  // first row of the bottom edge
  auto invert = [this](int x, int y) {
    if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) return;
    auto* row = reinterpret_cast<QRgb*>(image_.scanLine(y));
    row[x] ^= 0x00FFFFFFu;
  };
  for (int y = top; y < bottom + t; ++y) {
    const bool edgeRow = y < top + t || y >= bottom;
    for (int x = left; x < right + t; ++x)
      if (edgeRow || x < left + t || x >= right) invert(x, y);
  }
  // Zoomed in, the part shown follows the cursor.
  const QRect shown(offset_, QSize(static_cast<int>(width() * pixelRatio_),
                                   static_cast<int>(height() * pixelRatio_)));
  const QRect boxPixels(QPoint(left, top), QPoint(right + t - 1, bottom + t - 1));
  if (!shown.contains(boxPixels)) {
    const int margin = Device(view::kColumnWidth * 4);
    QPoint next = offset_;
    if (boxPixels.left() < shown.left()) next.setX(boxPixels.left() - margin);
    if (boxPixels.right() > shown.right()) next.setX(boxPixels.right() + margin - shown.width() + 1);
    if (boxPixels.bottom() > shown.bottom()) next.setY(boxPixels.bottom() + margin - shown.height() + 1);
    // A box taller than the view shows its top, with the line's counts and comment above it.
    if (boxPixels.top() < next.y()) next.setY(Device(H * cursor.Line));
    offset_ = next;
    ClampOffset();
    update();
    return;
  }
  UpdateArea(box);
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
  UpdateArea(cell);
}

void TabView::EraseCountLabel(const Osnova& doc, int column, int line) {
  const int x = view::LetterX(column);
  QRect changed;
  {
    QPainter painter(&image_);
    changed = RefreshCounts(painter, doc, line, x, x + kMaxCountChars * countAdvance_, column);
  }
  UpdateArea(changed);
}

void TabView::DrawCountLabel(const Osnova& doc, int column, int line, int position, BarGrid grid) {
  const int H = LineHeightOf(doc);
  {
    QPainter painter(&image_);
    PaintCount(painter, column, H, line, GridCountLabel(grid, position));
  }
  const int x = view::LetterX(column);
  UpdateArea(Box(x, H * line + kCountStripTop, x + kMaxCountChars * countAdvance_,
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
  UpdateArea(Box(x, y, x + kCellRight, y + 12));
}

void TabView::paintEvent(QPaintEvent* event) {
  if (!hasPicture_) return;  // nothing to show before the first document
  QPainter painter(this);
  const QRect r = event->rect();
  if (pixelRatio_ == 1.0) {
    painter.drawImage(r, image_, r.translated(offset_));
    return;
  }
  // The bitmap has the screen's pixels: one to one, never resampled.
  const double k = pixelRatio_;
  painter.drawImage(QRectF(r), image_,
                    QRectF(r.x() * k + offset_.x(), r.y() * k + offset_.y(), r.width() * k, r.height() * k));
}

void TabView::mousePressEvent(QMouseEvent* event) {
  event->accept();
  lastModifiers_ = event->modifiers();
  const double s = Scale();
  const QPointF pos = event->position() * pixelRatio_ + QPointF(offset_);
  emit MouseDown(event->button(), QPoint(static_cast<int>(std::floor(pos.x() / s)),
                                         static_cast<int>(std::floor(pos.y() / s))));
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
      if (!cell.Plain()) {
        PaintExpressiveNote(painter, r, cell, view::LetterX(bar.StartCol + p), y);
        continue;
      }
      PaintText(painter, letterFont_, view::LetterX(bar.StartCol + p), y,
                QString(QChar::fromLatin1(NoteLetter(r, cell.Variant, cell.Accent))));
    }
  }
  PaintFootAndSticking(painter, doc, bar, H, line);
  // One count per position: drawing the same text again would change no pixel.
  const uint64_t counted = CountedPositions(doc, bar);
  for (int p = 0; p < bar.Length; ++p)
    if ((counted >> p) & 1u) PaintCount(painter, bar.StartCol + p, H, line, GridCountLabel(bar.Grid, p));
}

void TabView::PaintText(QPainter& painter, const QFont& font, int x, int y, const QString& text,
                        const QColor& color) {
  // (x, y) is the top left of the text cell, as in the view geometry; Qt wants the baseline.
  painter.setFont(FontFor(font));
  painter.setPen(color);
  painter.setBackgroundMode(Qt::TransparentMode);
  if (Exact()) {
    painter.drawText(x, y + painter.fontMetrics().ascent(), text);
    return;
  }
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  painter.setWorldTransform(QTransform::fromScale(Scale(), Scale()));
  painter.drawText(QPointF(x, y + painter.fontMetrics().ascent()), text);
  painter.resetTransform();
}

void TabView::PaintCount(QPainter& painter, int column, int H, int line, const std::string& label) {
  if (label.empty()) return;  // a cell not counted aloud (every other 32nd)
  PaintText(painter, countFont_, view::LetterX(column), view::CountY(H, line), QString::fromStdString(label));
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
      const std::string label = GridCountLabel(bar.Grid, p);
      const int right = left + static_cast<int>(label.size()) * countAdvance_;
      if (right < x0 || left > x1) continue;
      PaintCount(painter, column, H, line, label);
      changed |= Box(left, top, right, bottom);
    }
  }
  return changed;
}

// The tab view `i1`: paints the tab into a 798 x 369 bitmap at the view geometry of
// layout/view_layout.h and shows that bitmap. It redraws only when asked: a full repaint,
// one bar, one comment strip, or the small note-entry and cursor changes.
#pragma once

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QWidget>
#include <cstdint>

#include "model/tab_document.h"
#include "layout/view_layout.h"

class QPainter;

class TabView : public QWidget, public TabViewSink {
  Q_OBJECT

 public:
  // Disabled and blank until the first RepaintView; the main window enables it.
  explicit TabView(QWidget* parent = nullptr);

  // Full repaint with `first` as the first visible bar: lays out the view, draws every visible
  // bar and the row labels. Wipes the cursor box; the caller draws it anew.
  void RepaintView(Osnova& doc, uint16_t first) override;
  // Lays out one bar in its slot and view line and draws it over what is there.
  void DrawBar(Osnova& doc, const TBar& bar, int slot, int line);
  // Erases the bar's area (its counting strip included) and draws it again in place, using the
  // layout of its last drawing. Wipes a cursor box on the bar; the caller draws it anew.
  void RedrawBar(Osnova& doc, const TBar& bar);
  // Erases the bar's comment strip and draws its comment again.
  void DrawComment(Osnova& doc, const TBar& bar);
  // Shows or hides the cursor box by inverting the pixels of its outline.
  void ToggleCursorBox(const Osnova& doc, const TCursor& cursor);

  // Note entry primitives at a view column and line, for instrument row `row`.
  // White letter box, then the staff-line piece through it again.
  void EraseNoteLetter(const Osnova& doc, int column, int line, int row);
  // Erases the count above a column; counts of neighbouring columns that a two-digit count
  // shares pixels with are drawn again from the document.
  void EraseCountLabel(const Osnova& doc, int column, int line);
  void DrawCountLabel(const Osnova& doc, int column, int line, int position);
  void DrawNoteLetter(const Osnova& doc, int column, int line, int row, char letter);

  const QImage& Image() const { return image_; }

 signals:
  // Any mouse button pressed on the view; pos in bitmap coordinates.
  void MouseDown(Qt::MouseButton button, QPoint pos);

 public:
  // The keyboard modifiers of the last mouse press (Shift+click selects bars).
  Qt::KeyboardModifiers LastMouseModifiers() const { return lastModifiers_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  Qt::KeyboardModifiers lastModifiers_;
  void PaintBar(QPainter& painter, Osnova& doc, const TBar& bar, int slot, int line);
  void PaintText(QPainter& painter, const QFont& font, int x, int y, const QString& text);
  void PaintCount(QPainter& painter, int column, int H, int line, int position);
  // Whites the counting strip of `line` from x0 to x1 and draws again every count of the
  // visible bars whose text reaches into that range.
  // `skipColumn` is a column whose count is being erased and must not come back.
  QRect RefreshCounts(QPainter& painter, const Osnova& doc, int line, int x0, int x1,
                      int skipColumn = -1);

  QImage image_;
  QFont labelFont_;   // row labels and comments
  QFont letterFont_;  // note letters
  QFont countFont_;   // count labels
  int countAdvance_ = 0;  // width of one count character in pixels
  bool hasPicture_ = false;
};

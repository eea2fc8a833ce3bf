// The tab view `i1`: paints the tab into a bitmap at the view geometry of layout/view_layout.h
// and shows that bitmap. It redraws only when asked: a full repaint, one bar, one comment strip,
// the part names, or the small note-entry and cursor changes.
//
// The bitmap has the screen's pixels. At 100 % zoom on a 1x screen one view pixel is one bitmap
// pixel and the picture is pure black on white, drawn exactly as the geometry says. At any other
// scale (zoom, or a desktop scale factor) the text is drawn antialiased at the scaled size and
// lines are snapped to whole pixels of one thickness, so every staff line looks the same.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QWidget>
#include <cstdint>
#include <string>

#include "model/tab_document.h"
#include "layout/view_layout.h"

class QPainter;

class TabView : public QWidget, public TabViewSink {
  Q_OBJECT

 public:
  // Disabled and blank until the first RepaintView; the main window enables it.
  explicit TabView(QWidget* parent = nullptr);

  static constexpr int kMinZoom = 50;
  static constexpr int kMaxZoom = 300;
  int ZoomPercent() const { return zoomPercent_; }
  // Clamped to kMinZoom..kMaxZoom. Emits GridChanged when the zoom changes.
  void SetZoomPercent(int percent);
  // One step of the zoom ladder up (steps > 0) or down; 0 back to 100 %.
  void ZoomBy(int steps);

  // The part of the view on screen, in view coordinates: all of it unless zoomed in so far that
  // the first size's two lines of 64 columns do not fit; then the part around the cursor.
  QRect VisibleArea() const;

  // The columns and lines of the last full repaint's layout.
  view::Grid ViewGrid() const override { return grid_; }

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
  // Erases the part-name strips above the visible lines and draws the names again (after a part
  // was added, renamed or deleted).
  void DrawPartNames(const Osnova& doc);

  // Note entry primitives at a view column and line, for instrument row `row`.
  // White letter box, then the staff-line piece through it again.
  void EraseNoteLetter(const Osnova& doc, int column, int line, int row);
  // Erases the count above a column; counts of neighbouring columns that a two-digit count
  // shares pixels with are drawn again from the document.
  void EraseCountLabel(const Osnova& doc, int column, int line);
  // The count of cell `position` of a bar in `grid`.
  void DrawCountLabel(const Osnova& doc, int column, int line, int position,
                      BarGrid grid = BarGrid::Sixteenths);
  void DrawNoteLetter(const Osnova& doc, int column, int line, int row, char letter);

  // The bitmap in the screen's pixels (view pixels at 100 % on a 1x screen).
  const QImage& Image() const { return image_; }

 signals:
  // Any mouse button pressed on the view; pos in view coordinates (unzoomed).
  void MouseDown(Qt::MouseButton button, QPoint pos);
  // The size, zoom or screen scale changed what the view can show: the owner repaints it (the
  // bitmap is blank until then) and puts the cursor back.
  void GridChanged();

 public:
  // The keyboard modifiers of the last mouse press (Shift+click selects bars).
  Qt::KeyboardModifiers LastMouseModifiers() const { return lastModifiers_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool event(QEvent* event) override;

 private:
  Qt::KeyboardModifiers lastModifiers_;
  // View pixels to bitmap pixels, and whether that is one to one.
  double Scale() const { return zoomPercent_ / 100.0 * pixelRatio_; }
  bool Exact() const { return zoomPercent_ == 100 && pixelRatio_ == 1.0; }
  int Device(int v) const;
  QRect DeviceRect(const QRect& viewRect) const;
  // Lines and boxes are whole bitmap pixels; rectangles are inclusive view rectangles.
  void Fill(QPainter& painter, const QRect& rect, Qt::GlobalColor color) const;
  void VLine(QPainter& painter, int x, int y0, int y1) const;
  void HLine(QPainter& painter, int y, int x0, int x1) const;
  void UpdateArea(const QRect& viewRect);
  int ViewRight() const { return static_cast<int>(image_.width() / Scale()) - 1; }
  // A new bitmap for the widget's size and screen; the grid for the last kit shown.
  void ResetBitmap();
  view::Grid GridFor(int shownRows) const;
  QSize ContentSize() const;  // view pixels laid out
  QSize BitmapSize() const;
  void ClampOffset();
  void PaintPartNames(QPainter& painter, const Osnova& doc, int linesUsed);
  const QFont& FontFor(const QFont& exact);
  void PaintBar(QPainter& painter, Osnova& doc, const TBar& bar, int slot, int line);
  void PaintText(QPainter& painter, const QFont& font, int x, int y, const QString& text,
                 const QColor& color = Qt::black);
  // ui/tab_view_expression.cpp: ghost notes and articulations, the hi-hat foot and the sticking.
  void PaintExpressiveNote(QPainter& painter, int row, const TNoteCell& cell, int x, int y);
  void PaintFootAndSticking(QPainter& painter, const Osnova& doc, const TBar& bar, int H, int line);
  static int ExtrasBottom(int H, int line, int n);
  void PaintCount(QPainter& painter, int column, int H, int line, const std::string& label);
  // Whites the counting strip of `line` from x0 to x1 and draws again every count of the
  // visible bars whose text reaches into that range.
  // `skipColumn` is a column whose count is being erased and must not come back.
  QRect RefreshCounts(QPainter& painter, const Osnova& doc, int line, int x0, int x1,
                      int skipColumn = -1);

  QImage image_;
  QFont labelFont_;   // row labels and comments
  QFont letterFont_;  // note letters
  QFont countFont_;   // count labels
  QFont partFont_;    // song-part names
  // The same fonts antialiased, for a scaled bitmap.
  QFont smoothLabelFont_, smoothLetterFont_, smoothCountFont_, smoothPartFont_;
  int countAdvance_ = 0;  // width of one count character in pixels
  bool hasPicture_ = false;
  int zoomPercent_ = 100;
  double pixelRatio_ = 1.0;
  int shownRows_ = 8;  // the kit of the last repaint: the line height the grid depends on
  view::Grid grid_;
  QPoint offset_;  // bitmap pixels scrolled off to the left and top
};

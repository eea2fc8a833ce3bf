#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QTest>
#include <array>
#include <cctype>
#include <vector>

#include "layout/cursor_moves.h"
#include "ui/tab_view.h"

namespace {

constexpr QRgb kWhite = 0xFFFFFFFFu;
constexpr QRgb kBlack = 0xFF000000u;
constexpr std::array<uint8_t, kRowCount> kAllRows = {1, 1, 1, 1, 1, 1, 1, 1, 1};
constexpr std::array<uint8_t, kRowCount> kSnareAndBass = {1, 0, 0, 0, 0, 0, 0, 1, 1};

Osnova Doc(int bars, const std::array<uint8_t, kRowCount>& kit = kAllRows, int numerator = 4) {
  Osnova doc(static_cast<uint8_t>(numerator), static_cast<uint16_t>(bars), 4);
  doc.Kit = kit;
  RecomputeLineOfRow(doc);
  return doc;
}

QImage Render(Osnova& doc, uint16_t first = 0) {
  TabView view;
  view.RepaintView(doc, first);
  return view.Image().copy();
}

std::vector<QPoint> Differences(const QImage& a, const QImage& b) {
  std::vector<QPoint> out;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      if (a.pixel(x, y) != b.pixel(x, y)) out.emplace_back(x, y);
  return out;
}

// Inked pixels inside an inclusive rectangle.
int InkIn(const QImage& img, const QRect& r) {
  int ink = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x)
      if (img.pixel(x, y) != kWhite) ++ink;
  return ink;
}

QRect Box(int x0, int y0, int x1, int y1) { return QRect(QPoint(x0, y0), QPoint(x1, y1)); }
QRect LetterCell(int column, int staffY) { return Box(82 + 11 * column, staffY - 5, 90 + 11 * column, staffY + 5); }
QRect CountCell(int column, int H, int line) { return Box(82 + 11 * column, H * line + 28, 96 + 11 * column, H * line + 39); }

}  // namespace

TEST(TabViewWidget, StartsDisabledAndBlankAndShowsThePictureOnceDrawn) {
  // The view font comes from fonts-dejavu-core; without it every text would be misplaced.
  ASSERT_TRUE(QFontDatabase::families().contains("DejaVu Sans Mono"));
  TabView view;
  EXPECT_FALSE(view.isEnabled());
  QPalette palette = view.palette();
  palette.setColor(QPalette::Window, Qt::red);
  view.setPalette(palette);
  view.setAutoFillBackground(true);
  EXPECT_EQ(view.grab().toImage().pixel(400, 200), QColor(Qt::red).rgb());

  Osnova doc = Doc(12);
  view.RepaintView(doc, 0);
  const QImage shown = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_TRUE(Differences(shown, view.Image()).empty());
}

TEST(TabViewWidget, MousePressEmitsButtonAndBitmapPositionWhenEnabled) {
  TabView view;
  std::vector<std::pair<Qt::MouseButton, QPoint>> presses;
  QObject::connect(&view, &TabView::MouseDown,
                   [&](Qt::MouseButton b, QPoint p) { presses.emplace_back(b, p); });
  QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  EXPECT_TRUE(presses.empty());  // disabled until a document exists

  view.setEnabled(true);
  QTest::mousePress(&view, Qt::RightButton, Qt::NoModifier, QPoint(123, 77));
  QTest::mousePress(&view, Qt::MiddleButton, Qt::NoModifier, QPoint(797, 368));
  ASSERT_EQ(presses.size(), 2u);
  EXPECT_EQ(presses[0].first, Qt::RightButton);
  EXPECT_EQ(presses[0].second, QPoint(123, 77));
  EXPECT_EQ(presses[1].first, Qt::MiddleButton);
  EXPECT_EQ(presses[1].second, QPoint(797, 368));
}

TEST(TabViewPaint, BarLinesAndStaffLinesOfBothViewLines) {
  Osnova doc = Doc(12);  // eight 4/4 bars visible, n = 8, H = 180
  const QImage img = Render(doc);
  const int H = 180;
  for (int L = 0; L < 2; ++L) {
    const int top = H * L + 40, bottom = H * L + 60 + 15 * 7;
    for (int j : {0, 16, 32, 48, 64}) {
      const int x = 80 + 11 * j;
      for (int y = top; y <= bottom; ++y) ASSERT_EQ(img.pixel(x, y), kBlack) << x << "," << y;
      EXPECT_EQ(img.pixel(x, top - 1), kWhite) << x;
      EXPECT_EQ(img.pixel(x, bottom + 1), kWhite) << x;
      EXPECT_EQ(img.pixel(x + 1, H * L + 57), kWhite) << x;  // between staff lines
    }
    for (int s = 0; s < 8; ++s) {
      const int y = H * L + 50 + 15 * s;
      for (int x = 80; x <= 784; ++x) ASSERT_EQ(img.pixel(x, y), kBlack) << x << "," << y;
      EXPECT_EQ(img.pixel(79, y), kWhite);
      EXPECT_EQ(img.pixel(785, y), kWhite);
      EXPECT_EQ(img.pixel(100, y - 1), kWhite);
      EXPECT_EQ(img.pixel(100, y + 1), kWhite);
    }
    // No notes, no comments: counting line and comment strip stay empty.
    EXPECT_EQ(InkIn(img, Box(80, H * L, 797, H * L + 39)), 0) << L;
  }
}

TEST(TabViewPaint, TwoShownRowsPutTheSecondViewLineAtH) {
  Osnova doc = Doc(12, kSnareAndBass);  // n = 2, H = 120
  const QImage img = Render(doc);
  for (int y : {50, 65, 170, 185}) EXPECT_EQ(img.pixel(100, y), kBlack) << y;
  for (int y : {80, 95, 155, 200}) EXPECT_EQ(img.pixel(100, y), kWhite) << y;
  for (int y = 160; y <= 195; ++y) ASSERT_EQ(img.pixel(80, y), kBlack) << y;
  EXPECT_EQ(img.pixel(80, 159), kWhite);
  EXPECT_EQ(img.pixel(80, 196), kWhite);

  // Labels "  Count:", "  Snare:", "   Bass:" at y = H L + 45 + 15 (k - 1), left of the bars.
  for (int L = 0; L < 2; ++L) {
    for (int k = 0; k < 3; ++k) {
      const int y = 120 * L + 45 + 15 * (k - 1);
      EXPECT_GT(InkIn(img, Box(10, y, 79, y + 14)), 0) << L << "," << k;
    }
    EXPECT_EQ(InkIn(img, Box(0, 120 * L + 75, 79, 120 * L + 119)), 0) << L;
    EXPECT_EQ(InkIn(img, Box(0, 120 * L, 9, 120 * L + 119)), 0) << L;
  }

  // Bars 9..11 fill one line only: no bar lines and no labels on the second line.
  const QImage tail = Render(doc, 9);
  EXPECT_EQ(InkIn(tail, Box(0, 120, 797, 368)), 0);
  EXPECT_GT(InkIn(tail, Box(10, 30, 79, 74)), 0);
}

TEST(TabViewPaint, LetterInkStaysInItsCellWithTheCountAboveIt) {
  Osnova doc = Doc(12);
  const QImage empty = Render(doc);
  doc.EditBar(1).Rows[RowSnare].Set(5, 0, 0);  // column 16 + 5, staff slot 6
  const QImage withNote = Render(doc);

  const int staffY = 50 + 15 * 6;
  const QRect letter = LetterCell(21, staffY);
  const QRect count = CountCell(21, 180, 0);
  const auto diff = Differences(empty, withNote);
  ASSERT_FALSE(diff.empty());
  for (const QPoint& p : diff)
    ASSERT_TRUE(letter.contains(p) || count.contains(p)) << p.x() << "," << p.y();
  EXPECT_GT(InkIn(withNote, Box(letter.left(), staffY - 5, letter.right(), staffY - 1)), 0);
  EXPECT_GT(InkIn(withNote, count), 0);
  // Transparent text background: the staff line runs on through the letter.
  for (int x = 80 + 11 * 21; x <= 80 + 11 * 22; ++x) EXPECT_EQ(withNote.pixel(x, staffY), kBlack) << x;
}

TEST(TabViewPaint, CountsOnlyOverPositionsWithShownNotesInsideTheBar) {
  std::array<uint8_t, kRowCount> noRide = kAllRows;
  noRide[RowRide] = 0;  // n = 7, H = 170
  Osnova doc = Doc(12, noRide);
  doc.EditBar(0).Rows[RowBass].Set(0, 0, 0);
  doc.EditBar(0).Rows[RowHiHat].Set(6, 1, 1);
  doc.EditBar(0).Rows[RowSnare].Set(6, 0, 0);  // two notes, one count
  const QImage shown = Render(doc);

  const int H = 170;
  int ink = 0;
  for (int y = 28; y <= 39; ++y)
    for (int x = 80; x < 798; ++x)
      if (shown.pixel(x, y) != kWhite) {
        ++ink;
        ASSERT_TRUE(CountCell(0, H, 0).contains(x, y) || CountCell(6, H, 0).contains(x, y))
            << x << "," << y;
      }
  EXPECT_GT(InkIn(shown, CountCell(0, H, 0)), 0);
  EXPECT_GT(InkIn(shown, CountCell(6, H, 0)), 0);
  EXPECT_GT(ink, 0);

  // Notes of a hidden row and notes at or beyond the bar's length change no pixel.
  doc.EditBar(0).Rows[RowRide].Set(3, 0, 0);
  doc.EditBar(1).Rows[RowSnare].Set(16, 0, 0);
  doc.EditBar(1).Rows[RowBass].Set(63, 0, 1);
  doc.EditBar(4).Length = 8;  // shortened bar keeps notes it no longer shows
  doc.EditBar(4).Rows[RowSnare].Set(8, 0, 0);
  const QImage stored = Render(doc);
  doc.EditBar(0).Rows[RowRide].Remove(3);
  doc.EditBar(1).Rows[RowSnare].Remove(16);
  doc.EditBar(1).Rows[RowBass].Remove(63);
  doc.EditBar(4).Rows[RowSnare].Remove(8);
  EXPECT_TRUE(Differences(stored, Render(doc)).empty());
}

TEST(TabViewPaint, NoteEntryDrawingMatchesAFullRepaintAroundTheCursorBox) {
  // Bar 0 is 16/4 (64 positions, counts up to "16"); bars 1.. are 4/4 on the second line.
  Osnova doc = Doc(6);
  doc.EditBar(0).Reset(16, 4);
  doc.EditBar(0).Rows[RowSnare].Set(35, 0, 0);
  doc.EditBar(0).Rows[RowSnare].Set(37, 0, 0);
  doc.EditBar(0).Rows[RowBass].Set(40, 0, 0);
  doc.EditBar(1).Rows[RowBass].Set(6, 0, 0);
  struct Case { int bar, position, row; char letter; };
  const Case cases[] = {
      {0, 36, RowSnare, 'o'},   // two-digit count between two neighbours' counts
      {0, 40, RowHiHat, 'X'},   // a second note on a position that already has a count
      {0, 0, RowCymbals, 'x'},  // top staff slot, first column
      {0, 63, RowBass, 'O'},    // bottom staff slot, last column of the line
      {1, 5, RowBass, 'o'},     // second view line
  };
  TabView view;
  view.RepaintView(doc, 0);
  for (const Case& c : cases) {
    TBar& bar = doc.EditBar(c.bar);
    const int column = bar.StartCol + c.position, line = bar.ViewLine;
    const TCursor cursor{static_cast<uint8_t>(column), static_cast<uint8_t>(line), 4};
    SCOPED_TRACE(testing::Message() << "bar " << c.bar << " position " << c.position);

    view.ToggleCursorBox(doc, cursor);
    if (!ColumnHasNote(bar, c.position)) view.DrawCountLabel(doc, column, line, c.position);
    bar.Rows[c.row].Set(c.position, 0, std::isupper(c.letter) ? 1 : 0);
    ASSERT_EQ(NoteLetter(c.row, 0, bar.Rows[c.row].Cells[c.position].Accent), c.letter);
    view.DrawNoteLetter(doc, column, line, c.row, c.letter);
    view.ToggleCursorBox(doc, cursor);
    ASSERT_TRUE(Differences(view.Image(), Render(doc)).empty()) << "after setting";

    view.ToggleCursorBox(doc, cursor);
    view.EraseNoteLetter(doc, column, line, c.row);
    bar.Rows[c.row].Remove(c.position);
    if (!ColumnHasNote(bar, c.position)) view.EraseCountLabel(doc, column, line);
    view.ToggleCursorBox(doc, cursor);
    ASSERT_TRUE(Differences(view.Image(), Render(doc)).empty()) << "after removing";
  }
}

TEST(TabViewPaint, RedrawBarRepaintsItsBarAndKeepsTheNeighbours) {
  Osnova doc = Doc(12);
  for (int p = 0; p < 16; p += 3) doc.EditBar(1).Rows[RowSnare].Set(p, 0, 0);
  doc.EditBar(1).Rows[RowHiHat].Set(15, 0, 0);
  doc.EditBar(2).Rows[RowCymbals].Set(0, 0, 0);  // right against the shared bar line
  doc.EditBar(0).Rows[RowBass].Set(15, 0, 0);
  TabView view;
  view.RepaintView(doc, 0);
  view.ToggleCursorBox(doc, TCursor{31, 0, 4});  // last column: its right edge is the shared line

  doc.EditBar(1).Reset(4, 4);  // what Clear bar does
  view.RedrawBar(doc, doc.Bar(1));
  const QImage fresh = Render(doc);
  EXPECT_TRUE(Differences(view.Image(), fresh).empty());
  for (int y = 40; y <= 165; ++y) ASSERT_EQ(view.Image().pixel(80 + 11 * 32, y), kBlack) << y;

  // Layout fields of the last drawing place the bar: a bar on the second line works the same.
  doc.EditBar(5).Rows[RowTom1].Set(2, 0, 0);
  view.RedrawBar(doc, doc.Bar(5));
  EXPECT_TRUE(Differences(view.Image(), Render(doc)).empty());
}

TEST(TabViewPaint, DrawCommentErasesOnlyItsOwnStrip) {
  Osnova doc = Doc(12);
  doc.EditBar(0).Comment = std::string(30, 'W');  // 240 pixels: runs over bar 1's strip
  doc.EditBar(1).Comment = "Fill";
  TabView view;
  view.RepaintView(doc, 0);
  const QImage before = view.Image().copy();
  const QRect strip1 = Box(82 + 11 * 16, 11, 80 + 11 * 32 - 1, 26);
  EXPECT_GT(InkIn(before, Box(82, 11, 80 + 11 * 16, 26)), 0);
  EXPECT_GT(InkIn(before, Box(82 + 11 * 16 + 20, 11, 82 + 11 * 16 + 60, 26)), 0);  // overlap

  doc.EditBar(1).Comment.clear();
  view.DrawComment(doc, doc.Bar(1));
  const auto diff = Differences(before, view.Image());
  ASSERT_FALSE(diff.empty());
  for (const QPoint& p : diff) ASSERT_TRUE(strip1.contains(p)) << p.x() << "," << p.y();
  EXPECT_EQ(InkIn(view.Image(), strip1), 0);

  // Comment bytes are Windows-1252: 0xE9 is drawn as a letter, not dropped.
  doc.EditBar(1).Comment = "\xE9";
  view.DrawComment(doc, doc.Bar(1));
  EXPECT_GT(InkIn(view.Image(), strip1), 0);
  for (const QPoint& p : Differences(before, view.Image())) ASSERT_TRUE(strip1.contains(p));
}

TEST(TabViewCursorBox, InvertsEachOutlinePixelOnceAndTogglesBack) {
  struct Case { std::array<uint8_t, kRowCount> kit; int column, line; };
  const Case cases[] = {{kAllRows, 0, 0}, {kAllRows, 31, 1}, {kSnareAndBass, 63, 1}, {kSnareAndBass, 7, 0}};
  for (const Case& c : cases) {
    Osnova doc = Doc(12, c.kit);
    doc.EditBar(0).Rows[RowSnare].Set(7, 0, 1);
    doc.EditBar(4).Rows[RowBass].Set(15, 0, 0);
    TabView view;
    view.RepaintView(doc, 0);
    const QImage before = view.Image().copy();
    const TCursor cursor{static_cast<uint8_t>(c.column), static_cast<uint8_t>(c.line), 4};
    view.ToggleCursorBox(doc, cursor);

    const int n = ShownInstrumentRows(doc), H = 10 * n + 100;
    const int x0 = 81 + 11 * c.column, x1 = 91 + 11 * c.column;
    const int y0 = H * c.line + 40, y1 = H * c.line + 60 + 15 * (n - 1);
    int inverted = 0;
    for (int y = 0; y < 369; ++y)
      for (int x = 0; x < 798; ++x) {
        const bool onOutline = ((x == x0 || x == x1) && y >= y0 && y <= y1) ||
                               ((y == y0 || y == y1) && x >= x0 && x <= x1);
        const QRgb expected = onOutline ? (before.pixel(x, y) ^ 0x00FFFFFFu) : before.pixel(x, y);
        ASSERT_EQ(view.Image().pixel(x, y), expected) << c.column << ": " << x << "," << y;
        inverted += onOutline;
      }
    EXPECT_EQ(inverted, 2 * (x1 - x0 + 1) + 2 * (y1 - y0 - 1));
    view.ToggleCursorBox(doc, cursor);
    EXPECT_TRUE(Differences(before, view.Image()).empty()) << c.column;
  }
}

namespace {

// Rows of a scaled picture near `centre` whose pixel at x is dark, as (first row, count).
std::pair<int, int> DarkRowsAround(const QImage& img, int x, int centre) {
  int first = -1, count = 0;
  for (int y = std::max(centre - 4, 0); y <= std::min(centre + 4, img.height() - 1); ++y)
    if (qGray(img.pixel(x, y)) < 128) {
      if (first < 0) first = y;
      ++count;
    }
  return {first, count};
}

}  // namespace

TEST(TabViewScaled, StaffLinesAreUniformAndTextIsSmoothAtOneAndAHalf) {
  // At a desktop scale of 1.5 (the QT_SCALE_FACTOR run of this test) or zoomed to 150 %.
  TabView view;
  const double ratio = view.devicePixelRatioF();
  if (ratio == 1.0) view.SetZoomPercent(150);
  ASSERT_DOUBLE_EQ(ratio * view.ZoomPercent() / 100.0, 1.5);
  view.resize(1200, 560);  // room for two lines at 150 %
  Osnova doc = Doc(12);
  doc.EditBar(0).Rows[RowSnare].Set(4, 0, 1);
  view.RepaintView(doc, 0);
  const QImage shown = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(shown.width(), static_cast<int>(std::lround(1200 * ratio)));

  const int x = static_cast<int>(1.5 * (80 + 11 * 20 + 5));  // inside a bar, between letters
  for (int L = 0; L < 2; ++L)
    for (int s = 0; s < 8; ++s) {
      const int y = 180 * L + 50 + 15 * s;
      const auto [first, count] = DarkRowsAround(shown, x, static_cast<int>(1.5 * y));
      EXPECT_EQ(count, 2) << "line " << L << " slot " << s;
      for (int row = first; row < first + count; ++row)
        EXPECT_EQ(shown.pixel(x, row), kBlack) << "line " << L << " slot " << s;
    }
  // Bar lines likewise: two whole pixels each.
  for (int j : {0, 16, 32}) {
    int dark = 0;
    const int cx = static_cast<int>(1.5 * (80 + 11 * j));
    for (int xx = cx - 3; xx <= cx + 3; ++xx) dark += shown.pixel(xx, static_cast<int>(1.5 * 57)) == kBlack;
    EXPECT_EQ(dark, 2) << j;
  }
  // The letter is drawn antialiased at its scaled size, not as a resampled bitmap.
  int grey = 0, black = 0;
  const QRect cell(QPoint(static_cast<int>(1.5 * (82 + 44)), static_cast<int>(1.5 * (50 + 15 * 6 - 6))),
                   QPoint(static_cast<int>(1.5 * (91 + 44)), static_cast<int>(1.5 * (50 + 15 * 6 - 1))));
  for (int yy = cell.top(); yy <= cell.bottom(); ++yy)
    for (int xx = cell.left(); xx <= cell.right(); ++xx) {
      const int g = qGray(shown.pixel(xx, yy));
      grey += g > 0 && g < 255;
      black += g == 0;
    }
  EXPECT_GT(grey, 0);
  EXPECT_GT(black, 0);

  // The cursor box still toggles back bit for bit.
  const QImage before = view.Image().copy();
  view.ToggleCursorBox(doc, TCursor{20, 1, 4});
  EXPECT_FALSE(Differences(before, view.Image()).empty());
  view.ToggleCursorBox(doc, TCursor{20, 1, 4});
  EXPECT_TRUE(Differences(before, view.Image()).empty());
}

TEST(TabViewGrid, ALargerViewLaysOutMoreColumnsAndLinesAndTheFirstSizeTwoBy64) {
  for (int n = 1; n <= 8; ++n) EXPECT_EQ(view::GridOf(view::kWidth, view::kHeight, n), view::Grid{}) << n;
  EXPECT_EQ(view::GridOf(view::kWidth + 10, view::kHeight + 179, 8), view::Grid{});
  EXPECT_EQ(view::GridOf(view::kWidth + 11, view::kHeight + 180, 8), (view::Grid{65, 3}));
  EXPECT_EQ(view::GridOf(view::kWidth / 2, 200, 8), (view::Grid{64, 1})) << "never under 64 columns";
  EXPECT_EQ(view::GridOf(100000, 100000, 1), (view::Grid{view::kMaxColumns, view::kMaxLines}));

  TabView view;
  view.resize(1598, 931);
  Osnova doc = Doc(100);
  view.RepaintView(doc, 0);
  const view::Grid grid = view.ViewGrid();
  EXPECT_EQ(grid.Columns, 64 + 800 / 11);
  EXPECT_EQ(grid.Lines, 2 + 562 / 180);
  EXPECT_EQ(doc.LastVisibleBar, 8 * grid.Lines - 1) << "eight 4/4 bars a line";
  EXPECT_EQ(doc.Bar(doc.LastVisibleBar).ViewLine, grid.Lines - 1);
  const int lastRight = 80 + 11 * 128;
  for (int y = 180 * 4 + 40; y <= 180 * 4 + 165; ++y) ASSERT_EQ(view.Image().pixel(lastRight, y), kBlack);
  // A click on the last line's last bar lands there.
  TCursor cursor;
  EXPECT_TRUE(PlaceCursorAt(doc, cursor, 81 + 11 * 120, 180 * 4 + 60, grid));
  EXPECT_EQ(doc.CurrentBar, doc.LastVisibleBar);
}

TEST(TabViewPartNames, StandAboveTheBarWherePartsStartAndNoneOverprintAnother) {
  Osnova doc = Doc(12);
  const QImage plain = Render(doc);
  doc.SongParts.push_back({5, "Chorus"});
  doc.SongParts.push_back({0, "Intro with a very long name!!!"});
  doc.SongParts.push_back({1, "Verse"});
  const QImage named = Render(doc);
  // Only the part strips change: rows 0..10 of each line.
  for (const QPoint& p : Differences(plain, named))
    ASSERT_TRUE(p.y() <= 10 || (p.y() >= 180 && p.y() <= 190)) << p.x() << "," << p.y();
  EXPECT_GT(InkIn(named, Box(82, 0, 82 + 11 * 16 - 5, 10)), 0);
  EXPECT_GT(InkIn(named, Box(82 + 11 * 16, 0, 82 + 11 * 32, 10)), 0);
  EXPECT_EQ(InkIn(named, Box(82 + 11 * 16 - 3, 0, 82 + 11 * 16 - 1, 10)), 0) << "the long name stops short";
  EXPECT_GT(InkIn(named, Box(82 + 11 * 16, 180, 82 + 11 * 32, 190)), 0) << "bar 5: line 1, column 16";
  EXPECT_EQ(InkIn(named, Box(0, 180, 82 + 11 * 16 - 1, 190)), 0);

  // Drawing the names again after a change gives what a full repaint gives.
  TabView view;
  view.RepaintView(doc, 0);
  doc.SongParts.erase(doc.SongParts.begin());
  doc.SongParts[1].Name = "V2";
  view.DrawPartNames(doc);
  EXPECT_TRUE(Differences(view.Image(), Render(doc)).empty());
}

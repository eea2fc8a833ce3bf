// Bars of different grids and the song's swing through the real window: the Grid box, note entry
// and Pace on triplet and 32nd cells, the bar clipboard across grids, the swing boxes, undo and
// redo by keys, and the pixels the view draws for them.
#include <tuple>

#include "tests/ui/main_window_fixture.h"

namespace {

void Choose(QComboBox* box, const QString& item) {
  const int index = box->findText(item);
  ASSERT_GE(index, 0) << item.toStdString();
  box->setCurrentIndex(index);
  emit box->activated(index);
}

uint64_t Snares(const Osnova& doc, int bar) { return doc.Bar(bar).Rows[RowSnare].Notes; }

}  // namespace

// The strip above the client area: the grid over the timing, the swing over the song's tempo,
// all shown at the window's first size and off until there is a song.
TEST_F(MainWindowTest, GridAndSwingBoxesStandAboveTheBoxesTheyBelongWith) {
  TFmain& w = Window();
  auto at = [&](const char* name) { return Find(name)->mapTo(&w, QPoint(0, 0)); };
  for (const char* name : {"GridBox", "SwingBox", "SwingUnitBox"}) {
    EXPECT_TRUE(Find(name)->isVisible()) << name;
    EXPECT_FALSE(Find(name)->isEnabled()) << name;
    EXPECT_LT(at(name).y(), at("ETakt1").y()) << name;
  }
  EXPECT_GE(at("GridBox").x(), at("ETakt1").x() - 40);
  EXPECT_LE(Find("GridBox")->mapTo(&w, QPoint(Find("GridBox")->width(), 0)).x(),
            Find("Etakt2")->mapTo(&w, QPoint(Find("Etakt2")->width(), 0)).x() + 5);
  EXPECT_GE(at("SwingBox").x(), at("ETempo").x() - 40);
  w.NewDocument();
  EXPECT_TRUE(Find("GridBox")->isEnabled());
  EXPECT_TRUE(Find("SwingBox")->isEnabled());
}

TEST_F(MainWindowTest, GridBoxRewritesTheBarSaysWhatWasLostAndUndoesByKeys) {
  TFmain& w = Window();
  w.NewDocument();
  Press(Qt::Key_Comma);
  Press(Qt::Key_Comma);  // pace 1/16
  Press(Qt::Key_S);
  Press(Qt::Key_Right);
  Press(Qt::Key_S);  // the "e" of beat 1: no eighth triplet falls there
  auto* grid = Find<QComboBox>("GridBox");
  EXPECT_EQ(grid->currentText(), "16ths");

  Choose(grid, "8th triplets");
  const Osnova* doc = w.Document();
  EXPECT_EQ(doc->Bar(0).Grid, BarGrid::EighthTriplets);
  EXPECT_EQ(doc->Bar(0).Length, 12);
  EXPECT_EQ(Snares(*doc, 0), 1u);
  EXPECT_EQ(dialogs.Messages(),
            std::vector<QString>{"1 note has no place in 8th triplets and was removed."});
  EXPECT_EQ(Find<QComboBox>("ETakt1")->currentText(), "4");
  EXPECT_EQ(doc->Bar(1).StartCol, 12);  // the bar is as wide as its cells
  EXPECT_EQ(w.Cursor()->Column, 0);     // the sixteenth's time falls inside the first triplet
  EXPECT_EQ(w.History().UndoName(), "grid change");
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());

  Press(Qt::Key_Z, Qt::ControlModifier);
  doc = w.Document();
  EXPECT_EQ(doc->Bar(0).Grid, BarGrid::Sixteenths);
  EXPECT_EQ(Snares(*doc, 0), 3u);
  EXPECT_EQ(grid->currentText(), "16ths");
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());
  Press(Qt::Key_Y, Qt::ControlModifier);
  doc = w.Document();
  EXPECT_EQ(doc->Bar(0).Grid, BarGrid::EighthTriplets);
  EXPECT_EQ(grid->currentText(), "8th triplets");

  // A 5/16 bar has no whole number of eighth triplets: refused, said, and nothing changes.
  Press(Qt::Key_Right, Qt::ControlModifier);
  Choose(Find<QComboBox>("ETakt1"), "5");
  Choose(Find<QComboBox>("Etakt2"), "16");
  ASSERT_EQ(w.Document()->Bar(1).Length, 5);
  const int steps = w.History().Current();
  Choose(grid, "8th triplets");
  EXPECT_EQ(dialogs.Messages().back(), "This bar's timing cannot be written in 8th triplets.");
  EXPECT_EQ(w.Document()->Bar(1).Grid, BarGrid::Sixteenths);
  EXPECT_EQ(grid->currentText(), "16ths");
  EXPECT_EQ(w.History().Current(), steps);
}

TEST_F(MainWindowTest, KeysEnterNotesOnTripletAnd32ndCellsAndPaceStepsTheSameMusicalTime) {
  TFmain& w = Window();
  w.NewDocument();
  auto* grid = Find<QComboBox>("GridBox");
  Choose(grid, "16th triplets");  // bar 0: 24 cells
  Press(Qt::Key_Right, Qt::ControlModifier);
  Choose(grid, "32nds");  // bar 1: 32 cells
  Press(Qt::Key_Left, Qt::ControlModifier);
  ASSERT_EQ(w.Document()->CurrentBar, 0);
  ASSERT_EQ(w.Cursor()->Column, 0);

  Press(Qt::Key_Comma);
  Press(Qt::Key_Comma);  // 1/16: one sixteenth triplet in a triplet bar
  Press(Qt::Key_Right);
  Press(Qt::Key_S);  // the "t"
  Press(Qt::Key_Right);
  Press(Qt::Key_Z);  // the "l"
  EXPECT_EQ(Snares(*w.Document(), 0), uint64_t{1} << 1);
  EXPECT_EQ(w.Document()->Bar(0).Rows[RowBass].Notes, uint64_t{1} << 2);
  Press(Qt::Key_Period);  // 1/8: a straight eighth, three sixteenth triplets
  Press(Qt::Key_Right);
  EXPECT_EQ(w.Cursor()->Column, 5);

  // The next bar keeps the time into the bar: 5 sixteenth triplets reach just past the third 32nd.
  Press(Qt::Key_Right, Qt::ControlModifier);
  const int start = w.Document()->Bar(1).StartCol;
  ASSERT_EQ(start, 24);
  EXPECT_EQ(w.Cursor()->Column, start + 6);
  Press(Qt::Key_Right);  // 1/8 in 32nds: four cells
  EXPECT_EQ(w.Cursor()->Column, start + 10);
  Press(Qt::Key_S);
  Press(Qt::Key_Comma);  // 1/16: two 32nds
  Press(Qt::Key_Right);
  EXPECT_EQ(w.Cursor()->Column, start + 12);
  EXPECT_EQ(Snares(*w.Document(), 1), uint64_t{1} << 10);
  // On a beat of a 32nd bar the number stays when the note goes: the beats are always counted.
  Press(Qt::Key_Home);
  Press(Qt::Key_S);
  Press(Qt::Key_S);
  EXPECT_EQ(Snares(*w.Document(), 1), uint64_t{1} << 10);
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());

  // Past the bar's end the step carries on in the next bar's grid: from the last 32nd a sixteenth
  // step lands half a sixteenth into the sixteenth bar, on its first cell.
  Press(Qt::Key_End);
  Press(Qt::Key_Right);
  EXPECT_EQ(w.Document()->CurrentBar, 2);
  EXPECT_EQ(w.Cursor()->Column, w.Document()->Bar(2).StartCol);
  Press(Qt::Key_Left);  // back a sixteenth from the bar's start: two 32nds before the end
  EXPECT_EQ(w.Document()->CurrentBar, 1);
  EXPECT_EQ(w.Cursor()->Column, start + 30);
}

TEST_F(MainWindowTest, ATripletBarPastesIntoASixteenthSongWithItsGrid) {
  TFmain& w = Window();
  w.NewDocument();
  Choose(Find<QComboBox>("GridBox"), "16th triplets");
  Press(Qt::Key_Comma);
  Press(Qt::Key_Comma);
  Press(Qt::Key_Right);
  Press(Qt::Key_S);
  Press(Qt::Key_C, Qt::ControlModifier);

  dialogs.Answers.push_back(true);  // leave the unsaved song
  w.NewDocument();
  EXPECT_EQ(dialogs.Questions().size(), 1u);
  Press(Qt::Key_Right, Qt::ControlModifier);  // bar 1 of the new, all sixteenth song
  Press(Qt::Key_V, Qt::ControlModifier);
  const Osnova* doc = w.Document();
  ASSERT_EQ(doc->BarCount, 13);
  EXPECT_EQ(doc->CurrentBar, 1);
  EXPECT_EQ(doc->Bar(1).Grid, BarGrid::SixteenthTriplets);
  EXPECT_EQ(doc->Bar(1).Length, 24);
  EXPECT_EQ(Snares(*doc, 1), uint64_t{1} << 1);
  EXPECT_EQ(doc->Bar(0).Grid, BarGrid::Sixteenths);
  EXPECT_EQ(doc->Bar(2).Grid, BarGrid::Sixteenths);
  EXPECT_EQ(Find<QComboBox>("GridBox")->currentText(), "16th triplets");
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());

  Press(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(w.Document()->BarCount, 12);
  EXPECT_EQ(w.Document()->Bar(1).Grid, BarGrid::Sixteenths);
}

TEST_F(MainWindowTest, SwingBoxesAreOneUndoableEditEach) {
  TFmain& w = Window();
  w.NewDocument();
  auto* percent = Find<QSpinBox>("SwingBox");
  auto* unit = Find<QComboBox>("SwingUnitBox");
  EXPECT_EQ(percent->value(), 0);
  const int steps = w.History().Current();

  TypeAndLeave(percent, "33");  // digits are the cymbal keys: typed into the box they set no note
  const Osnova* doc = w.Document();
  EXPECT_EQ(doc->Swing, (SongSwing{33, SwingUnit::Eighths}));
  EXPECT_EQ(doc->Bar(0).Rows[RowCymbals].Notes, 0u);
  EXPECT_TRUE(doc->Modified);
  EXPECT_EQ(w.History().Current(), steps + 1);
  EXPECT_EQ(w.History().UndoName(), "swing change");
  EXPECT_TRUE(w.windowTitle().startsWith("*"));

  Choose(unit, "16ths");
  EXPECT_EQ(w.Document()->Swing, (SongSwing{33, SwingUnit::Sixteenths}));
  EXPECT_EQ(w.History().Current(), steps + 2);

  Press(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(w.Document()->Swing, (SongSwing{33, SwingUnit::Eighths}));
  EXPECT_EQ(unit->currentText(), "8ths");
  Press(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_FALSE(w.Document()->Swing.On());
  EXPECT_EQ(percent->value(), 0);
  EXPECT_FALSE(w.Document()->Modified);
  Press(Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(percent->value(), 33);
}

// The view: a sixteenth bar is drawn to the pixel as before beside bars of other grids, and the
// counts are the grid's ("t" over a sixteenth triplet, none over an odd 32nd, every beat numbered).
TEST(TabViewGrids, SixteenthBarsKeepTheirPixelsAndFinerGridsCountTheirOwnWay) {
  auto withNotes = [](Osnova& doc, int bar) {
    TBar& b = doc.EditBar(bar);
    for (int p = 0; p < 4; ++p) b.Rows[RowSnare].Set(p, 0, 0);
  };
  Osnova plain(4, 3, 4);
  withNotes(plain, 0);
  Osnova mixed(4, 3, 4);
  withNotes(mixed, 0);
  for (auto [bar, grid, length] : {std::tuple{1, BarGrid::SixteenthTriplets, 24}, std::tuple{2, BarGrid::ThirtySeconds, 32}}) {
    TBar& b = mixed.EditBar(bar);
    b.Grid = grid;
    b.Length = static_cast<uint8_t>(length);
    for (int p = 0; p < 4; ++p) b.Rows[RowSnare].Set(p, 0, 0);
  }
  TabView a, b;
  a.RepaintView(plain, 0);
  b.RepaintView(mixed, 0);
  // The first line's height: below it the 32nd bar stands where the plain song has nothing.
  const QRect firstBar(0, 0, view::BarLineX(16) + 1, view::LineHeight(ShownInstrumentRows(plain)));
  EXPECT_EQ(a.Image().copy(firstBar), b.Image().copy(firstBar));

  // The counting strip over one cell: anything drawn there?
  auto counted = [&](int column, int line) {
    const int H = view::LineHeight(ShownInstrumentRows(mixed));
    const QImage strip = b.Image().copy(view::LetterX(column), view::CountY(H, line) + 2, 8, 10);
    for (int y = 0; y < strip.height(); ++y)
      for (int x = 0; x < strip.width(); ++x)
        if (strip.pixelColor(x, y) != Qt::white) return true;
    return false;
  };
  const TBar& triplets = mixed.Bar(1);
  const TBar& thirtySeconds = mixed.Bar(2);
  ASSERT_EQ(triplets.StartCol, 16);
  ASSERT_EQ(thirtySeconds.ViewLine, 1);  // 16 + 24 + 32 columns do not fit one line
  EXPECT_TRUE(counted(triplets.StartCol + 1, 0));       // "t"
  EXPECT_TRUE(counted(thirtySeconds.StartCol + 2, 1));   // "e"
  EXPECT_FALSE(counted(thirtySeconds.StartCol + 1, 1));  // a 32nd between: not counted aloud
  EXPECT_FALSE(counted(thirtySeconds.StartCol + 3, 1));
  // Beats are numbered in bars of other grids without a note; sixteenth bars count notes only.
  EXPECT_TRUE(counted(thirtySeconds.StartCol + 8, 1));
  EXPECT_TRUE(counted(triplets.StartCol + 18, 0));
  EXPECT_FALSE(counted(4, 0));
}

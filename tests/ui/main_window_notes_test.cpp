// Note entry, the key handler and the cursor through the real window: keys, clicks on the view and
// the buttons, checked on the document, the cursor, the controls, the sound and the picture.
#include <QCheckBox>
#include <QMenu>
#include <QScrollBar>
#include <cstdlib>

#include "midi/drum_map.h"
#include "model/note_entry.h"
#include "tests/ui/main_window_fixture.h"
#include "layout/key_map.h"

namespace {

uint32_t NoteOn(int row, int variant, int velocity) {
  return PackShortMessage(0x99, DrumNoteOf(static_cast<uint8_t>(row), static_cast<uint8_t>(variant)),
                          static_cast<uint8_t>(velocity));
}


// Inked pixels of a note's letter cell, leaving out the staff line through it.
int LetterInk(const QImage& img, const Osnova& doc, int column, int line, int row) {
  const int y = view::StaffY(LineHeightOf(doc), line, doc.LineOfRow[row] - 1);
  int ink = 0;
  for (int yy = y - 5; yy <= y + 5; ++yy)
    for (int x = 82 + 11 * column; x <= 90 + 11 * column; ++x)
      if (yy != y && img.pixel(x, yy) != 0xFFFFFFFFu) ++ink;
  return ink;
}

// Inked pixels of the count above a column.
int CountInk(const QImage& img, const Osnova& doc, int column, int line) {
  const int H = LineHeightOf(doc);
  int ink = 0;
  for (int y = H * line + 30; y <= H * line + 39; ++y)
    for (int x = 82 + 11 * column; x <= 90 + 11 * column; ++x)
      if (img.pixel(x, y) != 0xFFFFFFFFu) ++ink;
  return ink;
}

// The box's left edge at a column, half-way between the bar line top and the first staff line.
QRgb CursorEdgePixel(const QImage& img, const Osnova& doc, int column, int line) {
  return img.pixel(81 + 11 * column, LineHeightOf(doc) * line + 45);
}


}  // namespace

TEST_F(MainWindowTest, SnareTwiceSetsThenRemovesAndTheCountStaysForAnotherNote) {
  TFmain& w = Window();
  w.NewDocument();
  Osnova& doc = *w.Document();
  // Read afresh each time: an edit un-shares the bar from the undo snapshot, so it moves.
  const auto snare = [&] { return doc.Bar(0).Rows[RowSnare]; };

  Press(Qt::Key_S);
  EXPECT_TRUE(snare().Has(0));
  EXPECT_EQ(snare().Cells[0], (TNoteCell{0, 0}));
  EXPECT_TRUE(doc.Modified);
  EXPECT_EQ(NoteOns(), std::vector<uint32_t>{NoteOn(RowSnare, 0, 94)});
  EXPECT_GT(LetterInk(w.View()->Image(), doc, 0, 0, RowSnare), 0);
  EXPECT_GT(CountInk(w.View()->Image(), doc, 0, 0), 0);
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());

  Press(Qt::Key_S);
  EXPECT_FALSE(snare().Has(0));
  EXPECT_EQ(snare().Cells[0], TNoteCell{});
  EXPECT_EQ(NoteOns().size(), 1u) << "a removal is silent";
  EXPECT_EQ(LetterInk(w.View()->Image(), doc, 0, 0, RowSnare), 0);
  EXPECT_EQ(CountInk(w.View()->Image(), doc, 0, 0), 0) << "the only note went, so did the count";
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());

  // With a bass drum on the same position the count stays.
  Press(Qt::Key_Z);
  Press(Qt::Key_S);
  Press(Qt::Key_S);
  EXPECT_TRUE(doc.Bar(0).Rows[RowBass].Has(0));
  EXPECT_GT(CountInk(w.View()->Image(), doc, 0, 0), 0);
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());
  EXPECT_EQ(w.Cursor()->Column, 0) << "the cursor does not move after a note";
}

TEST_F(MainWindowTest, AnotherVariantOrAccentReplacesTheNoteAndEachSounds) {
  TFmain& w = Window();
  w.NewDocument();
  Osnova& doc = *w.Document();
  const auto snare = [&] { return doc.Bar(0).Rows[RowSnare]; };

  Press(Qt::Key_S);
  Press(Qt::Key_A);  // rim click replaces the snare: 'o' becomes 'x'
  EXPECT_EQ(snare().Cells[0], (TNoteCell{1, 0}));
  EXPECT_EQ(w.View()->Image(), ExpectedPicture()) << "letter replaced, count drawn once";

  Press(Qt::Key_S, Qt::ShiftModifier);  // accented snare
  EXPECT_EQ(snare().Cells[0], (TNoteCell{0, 1}));
  Press(Qt::Key_S);  // the accent differs: replaced by a plain snare
  EXPECT_EQ(snare().Cells[0], (TNoteCell{0, 0}));
  EXPECT_EQ(NoteOns(), (std::vector<uint32_t>{NoteOn(RowSnare, 0, 94), NoteOn(RowSnare, 1, 94),
                                              NoteOn(RowSnare, 0, 127), NoteOn(RowSnare, 0, 94)}));
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());

}

// The audition ends each note 100 ms later on the window's clock, without blocking: nothing is
// sent off until the clock runs, then exactly the note-offs.
TEST_F(MainWindowTest, EachAuditionIsEndedByItsNoteOff100MsLater) {
  struct ManualClock : NoteOffScheduler {
    std::vector<std::pair<int, std::function<void()>>>* pending;
    void After(int milliseconds, std::function<void()> action) override {
      pending->emplace_back(milliseconds, std::move(action));
    }
  };
  std::vector<std::pair<int, std::function<void()>>> pending;
  auto clock = std::make_unique<ManualClock>();
  clock->pending = &pending;
  TFmain& w = Window();
  w.SetNoteOffScheduler(std::move(clock));
  w.NewDocument();
  Press(Qt::Key_S);
  Press(Qt::Key_A);
  ASSERT_EQ(pending.size(), 2u);
  const std::size_t sentBefore = midi.Sent.size();
  for (auto& [milliseconds, action] : pending) {
    EXPECT_EQ(milliseconds, 100);
    action();
  }
  EXPECT_EQ(std::vector<uint32_t>(midi.Sent.begin() + static_cast<std::ptrdiff_t>(sentBefore),
                                  midi.Sent.end()),
            (std::vector<uint32_t>{PackShortMessage(0x89, DrumNoteOf(RowSnare, 0), 94),
                                   PackShortMessage(0x89, DrumNoteOf(RowSnare, 1), 94)}));
}

TEST_F(MainWindowTest, AccentedBoxAccentsButtonsAndKeysAndButtonsSetTheirInstrument) {
  TFmain& w = Window();
  w.NewDocument();
  Osnova& doc = *w.Document();
  w.findChild<QToolButton*>("SpeedButton5")->click();  // China
  EXPECT_EQ(doc.Bar(0).Rows[RowCymbals].Cells[0], (TNoteCell{2, 0}));
  Find<QCheckBox>("chAccent")->setChecked(true);
  w.findChild<QToolButton*>("SpeedButton15")->click();  // snare "Normal"
  Press(Qt::Key_Q);  // hi-hat closed
  EXPECT_EQ(doc.Bar(0).Rows[RowSnare].Cells[0], (TNoteCell{0, 1}));
  EXPECT_EQ(doc.Bar(0).Rows[RowHiHat].Cells[0], (TNoteCell{0, 1}));
  EXPECT_EQ(NoteOns(), (std::vector<uint32_t>{NoteOn(RowCymbals, 2, 94), NoteOn(RowSnare, 0, 127),
                                              NoteOn(RowHiHat, 0, 127)}));
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());
}

TEST_F(MainWindowTest, HiddenRowsTakeNoNotesFromKeysOrButtons) {
  Window().Settings().GlobalKit[RowHiHat] = 0;
  TFmain& w = Window();
  w.NewDocument();
  Osnova& doc = *w.Document();
  const int steps = w.History().Current();
  Press(Qt::Key_Q);
  Press(Qt::Key_W);
  w.findChild<QToolButton*>("SpeedButton13")->click();
  w.findChild<QToolButton*>("SpeedButton14")->click();
  EXPECT_EQ(doc.Bar(0).Rows[RowHiHat].Notes, 0u);
  EXPECT_FALSE(doc.Modified);
  EXPECT_EQ(w.History().Current(), steps) << "nothing recorded for undo";
  EXPECT_TRUE(NoteOns().empty());

  Press(Qt::Key_S);
  EXPECT_TRUE(doc.Bar(0).Rows[RowSnare].Has(0));
  EXPECT_EQ(w.View()->Image(), ExpectedPicture()) << "the letter sits on the snare's own staff line";
}

TEST_F(MainWindowTest, DuplicateKeyGoesToTheFirstEntryOfTheLookUpOrder) {
  Window().Settings().KeyMap[KeyFloor] = 'S';  // an options file can hold this; the snare comes first
  TFmain& w = Window();
  w.NewDocument();
  Press(Qt::Key_S);
  EXPECT_TRUE(w.Document()->Bar(0).Rows[RowSnare].Has(0));
  EXPECT_FALSE(w.Document()->Bar(0).Rows[RowFloor].Has(0));

  // With the snare hidden the same key reaches the floor tom.
  Window().Settings().GlobalKit[RowSnare] = 0;
  dialogs.Answers = {true};
  w.NewDocument();
  Press(Qt::Key_S);
  EXPECT_TRUE(w.Document()->Bar(0).Rows[RowFloor].Has(0));
}

TEST_F(MainWindowTest, PaceKeysStopAtTheEndsOfThePaceBox) {
  TFmain& w = Window();
  w.NewDocument();
  Press(Qt::Key_Period);
  EXPECT_EQ(Find<QComboBox>("RPace")->currentText(), "1/2");
  EXPECT_EQ(w.Cursor()->Pace, 8);
  Press(Qt::Key_Period);
  EXPECT_EQ(Find<QComboBox>("RPace")->currentText(), "1/2");
  for (int i = 0; i < 4; ++i) Press(Qt::Key_Comma);
  EXPECT_EQ(Find<QComboBox>("RPace")->currentText(), "1/16");
  EXPECT_EQ(w.Cursor()->Pace, 1);
  Press(Qt::Key_Right);
  EXPECT_EQ(w.Cursor()->Column, 1);

  // Choosing in the box sets the pace and hands the keys back to the window.
  Find<QComboBox>("RPace")->setFocus();
  Find<QComboBox>("RPace")->setCurrentIndex(1);
  emit Find<QComboBox>("RPace")->activated(1);
  EXPECT_EQ(w.Cursor()->Pace, 2);
  EXPECT_EQ(QApplication::focusWidget(), &w);
}

TEST_F(MainWindowTest, ClicksOnTheViewPlaceTheCursorInsideTheBandsOnly) {
  TFmain& w = Window();
  w.NewDocument();
  Osnova& doc = *w.Document();
  const int H = LineHeightOf(doc);
  const QImage before = w.View()->Image();

  QTest::mouseClick(w.View(), Qt::LeftButton, Qt::NoModifier, QPoint(81 + 11 * 5 + 4, 45));
  EXPECT_EQ(w.Cursor()->Column, 0) << "above the first line's band";
  EXPECT_EQ(w.View()->Image(), before);

  QTest::mouseClick(w.View(), Qt::LeftButton, Qt::NoModifier, QPoint(81 + 11 * 5 + 4, H + 45));
  EXPECT_EQ(w.Cursor()->Line, 1);
  EXPECT_EQ(w.Cursor()->Column, 5);
  EXPECT_EQ(doc.CurrentBar, 4) << "the first bar of the second line";
  EXPECT_EQ(Find<QSpinBox>("EAbar")->value(), 4);
  EXPECT_EQ(Find<QScrollBar>("ScrollBar1")->value(), 5);
  const QImage& shown = w.View()->Image();
  EXPECT_EQ(CursorEdgePixel(shown, doc, 0, 0), 0xFFFFFFFFu) << "the old box was restored";
  EXPECT_EQ(CursorEdgePixel(shown, doc, 5, 1), 0xFF000000u) << "the new box is inverted";
  EXPECT_EQ(shown, ExpectedPicture());

  // Right of the song's last column: nothing.
  QTest::mouseClick(w.View(), Qt::LeftButton, Qt::NoModifier, QPoint(81 + 11 * 64 + 2, 60));
  EXPECT_EQ(doc.CurrentBar, 4);

  // The right button places the cursor too, then opens the context menu: clicked on the window as
  // a user does, so the platform's context-menu request reaches the view.
  const QPoint inWindow = w.View()->mapTo(&w, QPoint(81 + 11 * 20 + 4, 60));
  QTest::mouseClick(w.windowHandle(), Qt::RightButton, Qt::NoModifier, inWindow);
  EXPECT_EQ(doc.CurrentBar, 1);
  EXPECT_EQ(w.Cursor()->Column, 20);
  ASSERT_TRUE(WaitUntil([&] { return Find<QMenu>("PopupMenu1")->isVisible(); }));
  Find<QMenu>("PopupMenu1")->close();
}

TEST_F(MainWindowTest, StepsCarryIntoTheNextBarAndBarMovesStopAtTheEnds) {
  TFmain& w = Window();
  w.NewDocument();
  Osnova& doc = *w.Document();
  QTest::mouseClick(w.View(), Qt::LeftButton, Qt::NoModifier, QPoint(81 + 11 * 14 + 4, 60));
  ASSERT_EQ(w.Cursor()->Column, 14);
  Press(Qt::Key_Right);  // pace 4 from EndCol - 1: carry 2
  EXPECT_EQ(doc.CurrentBar, 1);
  EXPECT_EQ(w.Cursor()->Column, doc.Bar(1).StartCol + 2);
  EXPECT_EQ(Find<QSpinBox>("EAbar")->value(), 1);
  Press(Qt::Key_Left);
  EXPECT_EQ(doc.CurrentBar, 0);
  EXPECT_EQ(w.Cursor()->Column, 14);
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());

  Press(Qt::Key_Left, Qt::ControlModifier);  // previous bar on bar 0: to its start
  EXPECT_EQ(doc.CurrentBar, 0);
  EXPECT_EQ(w.Cursor()->Column, 0);
  for (int i = 0; i < 11; ++i) Find<QToolButton>("SpeedButton29")->click();
  ASSERT_EQ(doc.CurrentBar, 11);
  Find<QToolButton>("SpeedButton29")->click();  // next bar on the last bar: to its end
  EXPECT_EQ(doc.CurrentBar, 11);
  EXPECT_EQ(w.Cursor()->Column, doc.Bar(11).EndCol);
  Press(Qt::Key_Right);
  EXPECT_EQ(w.Cursor()->Column, doc.Bar(11).EndCol) << "nothing moves at the song's end";
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());

  Find<QToolButton>("SpeedButton30")->click();
  EXPECT_EQ(doc.CurrentBar, 10);
  EXPECT_EQ(w.Cursor()->Column, doc.Bar(10).EndCol) << "the distance from the bar's end is kept";
}

TEST_F(MainWindowTest, CursorLeavingTheViewScrollsItAndTheControlsFollow) {
  TFmain& w = Window();
  w.NewDocument();
  Osnova& doc = *w.Document();
  ASSERT_EQ(doc.LastVisibleBar, 7);
  for (int i = 0; i < 8; ++i) Press(Qt::Key_Right, Qt::ControlModifier);
  EXPECT_EQ(doc.CurrentBar, 8);
  EXPECT_GT(doc.FirstVisibleBar, 0);
  EXPECT_GE(doc.LastVisibleBar, 8);
  EXPECT_EQ(Find<QScrollBar>("ScrollBar1")->value(), 9);
  EXPECT_EQ(Find<QSpinBox>("EAbar")->value(), 8);
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());

  // Back with single steps past the view's first bar.
  const int first = doc.FirstVisibleBar;
  Press(Qt::Key_Comma);
  Press(Qt::Key_Comma);  // pace 1
  while (doc.CurrentBar >= first) Press(Qt::Key_Left);
  EXPECT_EQ(doc.FirstVisibleBar, first - 1);
  EXPECT_EQ(w.Cursor()->Column, doc.Current().EndCol);
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());
}

TEST_F(MainWindowTest, EveryNoteChangeIsUndoneAndRedoneWithItsPicture) {
  TFmain& w = Window();
  w.NewDocument();
  Press(Qt::Key_S);
  Press(Qt::Key_Right);
  Press(Qt::Key_Z, Qt::ShiftModifier);
  Press(Qt::Key_Z, Qt::ShiftModifier);  // removed again
  EXPECT_FALSE(w.Document()->Bar(0).Rows[RowBass].Has(4));
  Find<QToolButton>("BUndo")->click();
  EXPECT_EQ(w.Document()->Bar(0).Rows[RowBass].Cells[4], (TNoteCell{0, 1}));
  Find<QToolButton>("BUndo")->click();
  Find<QToolButton>("BUndo")->click();
  EXPECT_EQ(w.Document()->Bar(0).Rows[RowSnare].Notes, 0u);
  EXPECT_EQ(w.Cursor()->Column, 0) << "the cursor of the snapshot";
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());
  Find<QToolButton>("BRedo")->click();
  EXPECT_TRUE(w.Document()->Bar(0).Rows[RowSnare].Has(0));
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());
}

TEST_F(MainWindowTest, KeysReachTheWindowOnlyOutsideTheTypingBoxes) {
  TFmain& w = Window();
  Press(Qt::Key_S);  // no document yet: ignored
  EXPECT_EQ(w.Document(), nullptr);
  w.NewDocument();
  Osnova& doc = *w.Document();

  Enter(Find<CommentBox>("Ecom"));
  QTest::keyClicks(Find<CommentBox>("Ecom"), "sz");
  EXPECT_EQ(doc.Bar(0).Comment, "sz");
  QTest::keyClick(Find<CommentBox>("Ecom"), Qt::Key_Return);
  Enter(Find<TempoBox>("ETempo"));
  QTest::keyClick(Find<TempoBox>("ETempo"), Qt::Key_S);
  EXPECT_EQ(QApplication::focusWidget(), Find<TempoBox>("ETempo"));
  QTest::keyClick(Find<TempoBox>("ETempo"), Qt::Key_Escape);
  Find<TempoBox>("ETempo")->ShowValue(120);
  w.i1Click();
  EXPECT_EQ(doc.Bar(0).Rows[RowSnare].Notes | doc.Bar(0).Rows[RowBass].Notes, 0u);

  // A list box with the focus hands the key over and loses the focus.
  Find<QComboBox>("ETakt1")->setFocus();
  Press(Qt::Key_S, Qt::AltModifier);  // Alt combinations do nothing
  EXPECT_EQ(doc.Bar(0).Rows[RowSnare].Notes, 0u);
  EXPECT_EQ(QApplication::focusWidget(), &w);
  Find<QComboBox>("ETakt1")->setFocus();
  Press(Qt::Key_S);
  EXPECT_TRUE(doc.Bar(0).Rows[RowSnare].Has(0));

  // Tab puts the focus into the comment box, which records a step and takes the keys.
  const int steps = w.History().Current();
  Press(Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), Find<CommentBox>("Ecom"));
  EXPECT_EQ(w.TextEditBar, 0);
  EXPECT_EQ(w.History().Current(), steps + 1);
}

TEST_F(MainWindowTest, CommentBeingTypedIsLeftWhenTheCurrentBarChanges) {
  TFmain& w = Window();
  w.NewDocument();
  Enter(Find<CommentBox>("Ecom"));
  QTest::keyClicks(Find<CommentBox>("Ecom"), "fill");
  Find<QToolButton>("SpeedButton29")->click();  // a button that takes no focus
  EXPECT_EQ(w.Document()->CurrentBar, 1);
  EXPECT_EQ(w.TextEditBar, -1);
  EXPECT_NE(QApplication::focusWidget(), Find<CommentBox>("Ecom")) << "letters typed now are notes, visibly";
  EXPECT_EQ(w.Document()->Bar(0).Comment, "fill");
  EXPECT_EQ(w.Document()->Bar(1).Comment, "");
  EXPECT_EQ(Find<CommentBox>("Ecom")->text(), "");
  EXPECT_EQ(w.View()->Image(), ExpectedPicture()) << "the comment is drawn on its bar";
}

TEST_F(MainWindowTest, NotesEnteredAppearInTheMidiLog) {
  const QString log = PathIn("midi.log");
  qputenv("GROOVELOOM_MIDI_LOG", log.toLocal8Bit());
  std::string error;
  ASSERT_TRUE(StartMidiLogFromEnvironment(error)) << error;
  TFmain& w = Window();
  w.NewDocument();
  Press(Qt::Key_S, Qt::ShiftModifier);
  StopMidiLog();
  qunsetenv("GROOVELOOM_MIDI_LOG");

  const QString text = QString::fromLatin1(Contents(log));
  const QString noteOn = QString("%1").arg(NoteOn(RowSnare, 0, 127), 8, 16, QChar('0')).toUpper();
  EXPECT_TRUE(text.contains(" " + noteOn)) << text.toStdString();
}

// Keys as a German keyboard under X11 delivers them (keycode, keysym, state): the key labelled Z
// enters the bass drum, the one labelled Y the second tom, and AltGr+Q ('@') nothing.
TEST_F(MainWindowTest, NoteKeysFollowTheLabelsOfTheKeyboardLayout) {
  TFmain& w = Window();
  w.NewDocument();
  auto press = [&](int qtKey, quint32 keycode, quint32 keysym, quint32 state, const QString& text) {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &w;
    QKeyEvent down(QEvent::KeyPress, qtKey, Qt::NoModifier, keycode, keysym, state, text);
    QApplication::sendEvent(target, &down);
    QKeyEvent up(QEvent::KeyRelease, qtKey, Qt::NoModifier, keycode, keysym, state, text);
    QApplication::sendEvent(target, &up);
  };
  const auto bar = [&]() -> const TBar& { return w.Document()->Bar(0); };
  press(Qt::Key_Z, 29, 'z', 0, "z");  // where the US Y is
  EXPECT_EQ(bar().Rows[RowBass].Cells[0], (TNoteCell{0, 0}));
  press(Qt::Key_Y, 52, 'y', 0, "y");  // where the US Z is
  EXPECT_EQ(bar().Rows[RowTom2].Cells[0], (TNoteCell{0, 0}));
  const std::vector<uint32_t> sounded = NoteOns();
  press(Qt::Key_At, 24, '@', 0x80, "@");  // AltGr+Q
  EXPECT_EQ(bar().Rows[RowHiHat].Cells[0], (TNoteCell{}));
  EXPECT_EQ(NoteOns(), sounded);
}

// The keys people try first, pressed as keys: undo and redo, the bar's ends, the song's ends and a
// line of bars at a time.
TEST_F(MainWindowTest, UndoRedoHomeEndAndPageKeysDoTheirJob) {
  TFmain& w = Window();
  w.NewDocument();
  Press(Qt::Key_Z);  // bass at 0
  Press(Qt::Key_Right);
  Press(Qt::Key_S);  // snare at 4
  Press(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_FALSE(w.Document()->Bar(0).Rows[RowSnare].Has(4));
  EXPECT_TRUE(w.Document()->Bar(0).Rows[RowBass].Has(0));
  Press(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_FALSE(w.Document()->Bar(0).Rows[RowBass].Has(0));
  Press(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_TRUE(w.Document()->Bar(0).Rows[RowBass].Has(0));
  Press(Qt::Key_Y, Qt::ControlModifier);
  EXPECT_TRUE(w.Document()->Bar(0).Rows[RowSnare].Has(4));
  EXPECT_FALSE(w.Document()->Bar(0).Rows[RowTom2].Has(4)) << "Ctrl+Y is no tom note";
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());
  // The button, the menu item and the context menu's item run the command once each.
  Find<QToolButton>("BUndo")->click();
  EXPECT_FALSE(w.Document()->Bar(0).Rows[RowSnare].Has(4));
  EXPECT_TRUE(w.Document()->Bar(0).Rows[RowBass].Has(0));
  Item("ERedo1")->trigger();
  EXPECT_TRUE(w.Document()->Bar(0).Rows[RowSnare].Has(4));
  EXPECT_FALSE(Find<QToolButton>("BRedo")->isEnabled());
  EXPECT_FALSE(Item("ERedo1")->isEnabled());

  Osnova& doc = *w.Document();
  Press(Qt::Key_Right, Qt::ControlModifier);
  Press(Qt::Key_Right);
  ASSERT_EQ(doc.CurrentBar, 1);
  ASSERT_GT(w.Cursor()->Column, doc.Bar(1).StartCol);
  Press(Qt::Key_Home);
  EXPECT_EQ(doc.CurrentBar, 1);
  EXPECT_EQ(w.Cursor()->Column, doc.Bar(1).StartCol);
  Press(Qt::Key_End);
  EXPECT_EQ(doc.CurrentBar, 1);
  EXPECT_EQ(w.Cursor()->Column, doc.Bar(1).EndCol);

  Press(Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(doc.CurrentBar, doc.BarCount - 1);
  EXPECT_EQ(w.Cursor()->Column, doc.Current().EndCol);
  EXPECT_EQ(w.Cursor()->Line, doc.Current().ViewLine);
  EXPECT_EQ(Find<QSpinBox>("EAbar")->value(), doc.BarCount - 1);
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());
  Press(Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(doc.CurrentBar, 0);
  EXPECT_EQ(doc.FirstVisibleBar, 0);
  EXPECT_EQ(w.Cursor()->Column, 0);
  EXPECT_EQ(w.Cursor()->Line, 0);

  int firstLine = 0;
  for (int b = doc.FirstVisibleBar; b <= doc.LastVisibleBar; ++b) firstLine += doc.Bar(b).ViewLine == 0;
  ASSERT_GT(firstLine, 1);
  Press(Qt::Key_PageDown);
  EXPECT_EQ(doc.CurrentBar, firstLine);
  EXPECT_EQ(w.Cursor()->Line, 1);
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());
  Press(Qt::Key_PageUp);
  EXPECT_EQ(doc.CurrentBar, 0);
  EXPECT_EQ(w.Cursor()->Column, 0);
  Press(Qt::Key_PageUp);
  EXPECT_EQ(doc.CurrentBar, 0) << "nothing before the song";
}

TEST_F(MainWindowTest, KeyMapEntriesOnTheMoveKeysStillEnterTheirNotes) {
  Window().Settings().KeyMap[KeyBass] = 36;    // Home
  Window().Settings().KeyMap[KeySnare] = 112;  // F1, the Help item's shortcut, which must not take the key
  TFmain& w = Window();
  w.NewDocument();
  Press(Qt::Key_Right);
  Press(Qt::Key_Home);
  EXPECT_TRUE(w.Document()->Bar(0).Rows[RowBass].Has(4));
  EXPECT_EQ(w.Cursor()->Column, 4) << "the cursor stays";
  Press(Qt::Key_F1);
  EXPECT_TRUE(w.Document()->Bar(0).Rows[RowSnare].Has(4));
  EXPECT_EQ(w.findChild<QWidget*>("HelpWindow"), nullptr);
}

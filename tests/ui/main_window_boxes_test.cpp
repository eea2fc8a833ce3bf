// The window's own boxes: the two tempo boxes, the comment box and the scroll bar.
#include <QScrollBar>

#include "tests/ui/main_window_fixture.h"
#include "ui/cp1252.h"
#include "ui/tab_view.h"

TEST_F(MainWindowTest, SongTempoRefusesTextAndOutOfRangeValuesAndKeepsTheDocument) {
  TFmain& w = Window();
  w.NewDocument();
  TypeAndLeave(Find<TempoBox>("ESped"), "90");
  for (const char* typed : {"abc", "0", "1025", "70000", ""}) {
    dialogs.Clear();
    TypeAndLeave(Find<TempoBox>("ETempo"), typed);
    EXPECT_EQ(dialogs.Messages(), std::vector<QString>{"Please input a number!"}) << typed;
    EXPECT_EQ(Find<TempoBox>("ETempo")->RawText(), "90") << "takes the playback tempo, after " << typed;
    EXPECT_EQ(QApplication::focusWidget(), Find<TempoBox>("ETempo")) << "focus back, after " << typed;
    EXPECT_EQ(w.Document()->Tempo, 120);
    EXPECT_FALSE(w.Document()->Modified);
    EXPECT_FALSE(w.History().CanUndo());
  }
}

TEST_F(MainWindowTest, SongTempoAcceptedIsRecordedForUndoAndMarksTheDocument) {
  TFmain& w = Window();
  w.NewDocument();
  TypeAndLeave(Find<TempoBox>("ETempo"), "1024");
  EXPECT_TRUE(dialogs.Log().empty());
  EXPECT_NE(QApplication::focusWidget(), Find<TempoBox>("ETempo")) << "Enter leaves the box";
  EXPECT_EQ(w.Document()->Tempo, 1024);
  EXPECT_TRUE(w.Document()->Modified);
  EXPECT_EQ(w.History().Current(), 0);

  // Leaving it unchanged still records a step, but the document is no more modified than before.
  w.Document()->Modified = false;
  TypeAndLeave(Find<TempoBox>("ETempo"), "1024");
  EXPECT_EQ(w.History().Current(), 1);
  EXPECT_FALSE(w.Document()->Modified);
}

TEST_F(MainWindowTest, SongTempoBeforeAnyDocumentOnlyKeepsItsValue) {
  TFmain& w = Window();
  TypeAndLeave(Find<TempoBox>("ETempo"), "77");
  EXPECT_EQ(Find<TempoBox>("ETempo")->value(), 77);
  EXPECT_EQ(w.Document(), nullptr);
  EXPECT_FALSE(w.History().CanUndo());
  EXPECT_TRUE(dialogs.Log().empty());
}

TEST_F(MainWindowTest, PlaybackTempoSetsTheStepDelayWithinTheBoxRange) {
  TFmain& w = Window();
  w.NewDocument();  // the play panel is off until then
  const std::pair<const char*, int> cases[] = {{"120", 125}, {"7", 2143}, {"16", 937}, {"48", 312},
                                               {"1024", 15}, {"5000", 15}, {"-3", 15000}};
  for (auto [typed, delay] : cases) {
    TypeAndLeave(Find<TempoBox>("ESped"), typed);
    EXPECT_EQ(w.StepDelay, delay) << typed;
  }
  EXPECT_EQ(Find<TempoBox>("ESped")->value(), 1);
  EXPECT_TRUE(dialogs.Log().empty());

  TypeAndLeave(Find<TempoBox>("ETempo"), "150");
  EXPECT_EQ(w.StepDelay, 100) << "the song's tempo is also the playback tempo";
  TypeAndLeave(Find<TempoBox>("ESped"), "x1");
  EXPECT_EQ(dialogs.Messages(), std::vector<QString>{"Please input a number!"});
  EXPECT_EQ(Find<TempoBox>("ESped")->RawText(), "150");
  EXPECT_EQ(w.StepDelay, 100) << "a refused text leaves the delay alone";
  EXPECT_EQ(QApplication::focusWidget(), Find<TempoBox>("ESped"));
}

TEST_F(MainWindowTest, CommentTypingStopsAtTheBarLength) {
  TFmain& w = Window();
  w.NewDocument();  // 4/4: 16 positions
  Enter(Find<CommentBox>("Ecom"));
  EXPECT_EQ(w.TextEditBar, 0);
  EXPECT_TRUE(w.History().CanUndo()) << "entering the box records a step";
  QTest::keyClicks(Find<CommentBox>("Ecom"), "abcdefghijklmnopqrstuvwxyz");
  EXPECT_EQ(w.Document()->Bar(0).Comment, "abcdefghijklmnop");
  EXPECT_TRUE(w.Document()->Modified);
  QTest::keyClick(Find<CommentBox>("Ecom"), Qt::Key_Return);
  EXPECT_EQ(w.TextEditBar, -1);
  EXPECT_NE(QApplication::focusWidget(), Find<CommentBox>("Ecom"));

  // 2/4 from the timing boxes: 8 positions.
  Find<QComboBox>("ETakt1")->setCurrentIndex(1);
  dialogs.Answers = {true};
  w.NewDocument();
  ASSERT_EQ(w.Document()->Bar(0).Length, 8);
  Enter(Find<CommentBox>("Ecom"));
  QTest::keyClicks(Find<CommentBox>("Ecom"), "abcdefghijkl");
  QTest::keyClick(Find<CommentBox>("Ecom"), Qt::Key_Return);
  EXPECT_EQ(w.Document()->Bar(0).Comment, "abcdefgh");
}

TEST_F(MainWindowTest, CommentLongerThanItsBarIsShownWholeAndMayOnlyShrink) {
  Osnova doc(4, 2, 4);
  doc.EditBar(0).Comment = "twenty characters ok";  // a file may hold more than the bar's length
  const QString path = WriteTabFile("long.gvlm", doc);
  TFmain& w = Window();
  dialogs.OpenAnswers = {path};
  w.OpenDocument();
  EXPECT_EQ(Find<CommentBox>("Ecom")->text(), "twenty characters ok");
  Enter(Find<CommentBox>("Ecom"));
  EXPECT_EQ(w.Document()->Bar(0).Comment, "twenty characters ok") << "entering must not cut it";
  QTest::keyClick(Find<CommentBox>("Ecom"), Qt::Key_End);
  QTest::keyClick(Find<CommentBox>("Ecom"), Qt::Key_X);
  EXPECT_EQ(Find<CommentBox>("Ecom")->text(), "twenty characters ok");
  QTest::keyClick(Find<CommentBox>("Ecom"), Qt::Key_Backspace);
  QTest::keyClick(Find<CommentBox>("Ecom"), Qt::Key_Y);
  EXPECT_EQ(w.Document()->Bar(0).Comment, "twenty characters o") << "still over the limit: no growth";
  QTest::keyClick(Find<CommentBox>("Ecom"), Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(Find<CommentBox>("Ecom"), "short");
  EXPECT_EQ(w.Document()->Bar(0).Comment, "short");
}

TEST_F(MainWindowTest, ClearButtonEmptiesTheCommentAsAnUndoableStep) {
  TFmain& w = Window();
  w.NewDocument();
  TypeAndLeave(Find<CommentBox>("Ecom"), "intro");
  const int steps = w.History().Current();
  Find<QToolButton>("SpeedButton12")->click();
  EXPECT_EQ(w.Document()->Bar(0).Comment, "");
  EXPECT_EQ(Find<CommentBox>("Ecom")->text(), "");
  EXPECT_EQ(w.History().Current(), steps + 1);
  Find<QToolButton>("BUndo")->click();
  EXPECT_EQ(w.Document()->Bar(0).Comment, "intro");
  EXPECT_EQ(Find<CommentBox>("Ecom")->text(), "intro");
}

TEST_F(MainWindowTest, DraggingTheScrollBarMovesTheCursorBarsKeepingItsOffset) {
  TFmain& w = Window();
  w.NewDocument();
  TCursor& cursor = *w.Cursor();
  w.View()->ToggleCursorBox(*w.Document(), cursor);  // hide, move two positions in, show
  cursor.Column = 2;
  w.View()->ToggleCursorBox(*w.Document(), cursor);
  const QImage before = w.View()->Image();

  Find<QScrollBar>("ScrollBar1")->setValue(5);
  EXPECT_EQ(w.Document()->CurrentBar, 4);
  EXPECT_EQ(cursor.Column, w.Document()->Bar(4).StartCol + 2);
  EXPECT_EQ(cursor.Line, 1);
  EXPECT_EQ(Find<QSpinBox>("EAbar")->value(), 4);

  Find<QScrollBar>("ScrollBar1")->setValue(1);
  EXPECT_EQ(w.Document()->CurrentBar, 0);
  EXPECT_EQ(cursor.Column, 2);
  EXPECT_EQ(w.View()->Image(), before) << "the cursor box was hidden before each move";
}

// The wheel over the tab view moves the bars as the same wheel over the scroll bar does.
TEST_F(MainWindowTest, WheelOverTheTabScrollsLikeTheScrollBar) {
  TFmain& w = Window();
  w.NewDocument();
  auto wheel = [&](QWidget* target, int delta) {
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    QWheelEvent event(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
  };
  wheel(Find<QScrollBar>("ScrollBar1"), -120);  // one notch down
  const int barByScrollBar = w.Document()->CurrentBar;
  const QImage pictureByScrollBar = w.View()->Image();
  ASSERT_GT(barByScrollBar, 0);
  wheel(Find<QScrollBar>("ScrollBar1"), 120);
  ASSERT_EQ(w.Document()->CurrentBar, 0);

  wheel(w.View(), -120);
  EXPECT_EQ(w.Document()->CurrentBar, barByScrollBar);
  EXPECT_EQ(Find<QScrollBar>("ScrollBar1")->value(), barByScrollBar + 1);
  EXPECT_EQ(w.View()->Image(), pictureByScrollBar);
  wheel(w.View(), 120);
  EXPECT_EQ(w.Document()->CurrentBar, 0);
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());
}

// Dragging the scroll bar to the end of a long song and back ends as the ">>" and "<<" buttons
// pressed that many times would, picture included.
TEST_F(MainWindowTest, ScrollBarJumpEndsAsRepeatedBarMoves) {
  TFmain& w = Window();
  Osnova song(4, 300, 4);
  for (int b = 0; b < 300; b += 7) song.EditBar(b).Length = static_cast<uint8_t>(1 + b % 16);
  const QString path = WriteTabFile("long.gvlm", song);
  auto* next = w.findChild<QToolButton*>("SpeedButton29");
  auto* previous = w.findChild<QToolButton*>("SpeedButton30");
  struct End {
    int Bar, First, Column, Line;
    QImage Picture;
    bool operator==(const End&) const = default;
  };
  auto end = [&] {
    const Osnova& doc = *w.Document();
    return End{doc.CurrentBar, doc.FirstVisibleBar, w.Cursor()->Column, w.Cursor()->Line,
               w.View()->Image()};
  };
  auto start = [&] {  // the song opened, the cursor an offset into bar 1 by a button
    dialogs.OpenAnswers = {path};
    w.OpenDocument();
    next->click();
    w.View()->ToggleCursorBox(*w.Document(), *w.Cursor());
    ++w.Cursor()->Column;
    w.View()->ToggleCursorBox(*w.Document(), *w.Cursor());
  };

  start();
  Find<QScrollBar>("ScrollBar1")->setValue(300);
  const End jumpedToEnd = end();
  EXPECT_EQ(jumpedToEnd.Bar, 299);
  EXPECT_EQ(jumpedToEnd.Picture, ExpectedPicture());
  Find<QScrollBar>("ScrollBar1")->setValue(2);
  const End jumpedBack = end();

  start();
  for (int i = 0; i < 298; ++i) next->click();
  EXPECT_TRUE(end() == jumpedToEnd);
  for (int i = 0; i < 298; ++i) previous->click();
  EXPECT_TRUE(end() == jumpedBack);
}

// Typed characters, any Unicode (Qt Test's key clicks take Latin-1 only).
void TypeText(QWidget* box, const QString& text) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    const bool pair = text[i].isHighSurrogate() && i + 1 < text.size();
    const QString ch = text.mid(i, pair ? 2 : 1);
    if (pair) ++i;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, ch);
    QApplication::sendEvent(box, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, ch);
    QApplication::sendEvent(box, &release);
  }
}

// The comment and song-part boxes take only what the files can store: what they show is what is
// saved and drawn, typed or pasted.
TEST_F(MainWindowTest, TextBoxesTakeOnlyCharactersTheFilesCanStore) {
  TFmain& w = Window();
  w.NewDocument();
  Enter(Find<CommentBox>("Ecom"));
  TypeText(Find<CommentBox>("Ecom"), QString::fromUtf8("Grüße € Ω"));
  EXPECT_EQ(Find<CommentBox>("Ecom")->text(), QString::fromUtf8("Grüße € "));
  EXPECT_EQ(w.Document()->Bar(0).Comment, "Gr\xFC\xDF" "e \x80 ");
  Find<CommentBox>("Ecom")->insert(QString::fromUtf8("\xCE\xB1x"));  // a paste: α dropped, x kept
  EXPECT_EQ(Find<CommentBox>("Ecom")->text(), QString::fromUtf8("Grüße € x"));
  QTest::keyClick(Find<CommentBox>("Ecom"), Qt::Key_Return);

  Enter(Find<QComboBox>("cbSong"));
  TypeText(Find<QComboBox>("cbSong"), QString::fromUtf8("Café ☕ Ω"));
  EXPECT_EQ(Find<QComboBox>("cbSong")->currentText(), QString::fromUtf8("Café  "));
  QTest::keyClick(Find<QComboBox>("cbSong"), Qt::Key_Return);
  ASSERT_EQ(w.Document()->SongParts.size(), 1u);
  EXPECT_EQ(FromCp1252(w.Document()->SongParts[0].Name).trimmed(), QString::fromUtf8("Café"));
}

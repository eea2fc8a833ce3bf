// The bar commands through the real window: tool buttons, menus, context menu and keys, with the
// refusals, the bar clipboard across documents, song parts following their bars and the picture.
#include <QMenu>
#include <QShortcutEvent>
#include <QScrollBar>

#include "model/bar_commands.h"
#include "tests/ui/main_window_fixture.h"

namespace {

Osnova SongWithParts() {
  Osnova doc(4, 12, 4);
  doc.SongParts = {{0, "Intro"}, {4, "Verse"}, {8, "Chorus"}};
  return doc;
}

std::vector<int32_t> PartBars(const Osnova& doc) {
  std::vector<int32_t> bars;
  for (const TSongPart& part : doc.SongParts) bars.push_back(part.StartBar);
  return bars;
}

QStringList BoxItems(const QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
  return items;
}

}  // namespace

TEST_F(MainWindowTest, InsertAtBarZeroAddsAnEmptyBarWithItsTimingBeforeIt) {
  TFmain& w = Window();
  w.NewDocument();
  Press(Qt::Key_S);
  Press(Qt::Key_Right);  // the cursor stays inside the bar it is on
  const int steps = w.History().Current();
  w.SpeedButton10->click();
  Osnova& doc = *w.Document();
  EXPECT_EQ(doc.BarCount, 13);
  EXPECT_EQ(doc.Bar(0).Rows[RowSnare].Notes, 0u);
  EXPECT_EQ(doc.Bar(0).Length, 16);
  EXPECT_TRUE(doc.Bar(1).Rows[RowSnare].Has(0));
  EXPECT_EQ(doc.CurrentBar, 0);
  EXPECT_EQ(w.Cursor()->Column, 4);
  EXPECT_EQ(w.ScrollBar1->maximum(), 13);
  EXPECT_EQ(w.History().Current(), steps + 1);
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());

  w.BUndo->click();
  EXPECT_EQ(w.Document()->BarCount, 12);
  EXPECT_TRUE(w.Document()->Bar(0).Rows[RowSnare].Has(0));
}

TEST_F(MainWindowTest, EveryWayToABarCommandRunsIt) {
  TFmain& w = Window();
  w.NewDocument();
  Osnova* doc = w.Document();
  int bars = 12;
  for (QAction* insert : {w.Insert1, w.Addbar1}) {
    insert->trigger();
    EXPECT_EQ(w.Document()->BarCount, ++bars) << insert->objectName().toStdString();
  }
  for (QAction* remove : {w.Remove1, w.Removebar1}) {
    remove->trigger();
    EXPECT_EQ(w.Document()->BarCount, --bars) << remove->objectName().toStdString();
  }
  w.SpeedButton9->click();
  EXPECT_EQ(w.Document()->BarCount, --bars);
  for (QObject* clear : std::initializer_list<QObject*>{w.Clear1, w.Clearbar1, w.SpeedButton11}) {
    doc->EditBar(0).Rows[RowBass].Set(3, 0, 0);
    doc->EditBar(0).Comment = "x";
    if (auto* a = qobject_cast<QAction*>(clear)) {
      a->trigger();
    } else {
      static_cast<QToolButton*>(clear)->click();
    }
    EXPECT_EQ(doc->Bar(0).Rows[RowBass].Notes, 0u) << clear->objectName().toStdString();
    EXPECT_EQ(doc->Bar(0).Comment, "");
    EXPECT_EQ(w.View()->Image(), ExpectedPicture());
  }
  for (QAction* cut : {w.ECut, w.Cutbar1}) {
    cut->trigger();
    EXPECT_EQ(w.Document()->BarCount, --bars) << cut->objectName().toStdString();
  }
  for (QAction* paste : {w.EPaste, w.Pastebar1}) {
    paste->trigger();
    EXPECT_EQ(w.Document()->BarCount, ++bars) << paste->objectName().toStdString();
  }
  Press(Qt::Key_X, Qt::ControlModifier);
  Press(Qt::Key_Delete, Qt::ShiftModifier);
  EXPECT_EQ(w.Document()->BarCount, bars -= 2);
  Press(Qt::Key_V, Qt::ControlModifier);
  Press(Qt::Key_Insert, Qt::ShiftModifier);
  EXPECT_EQ(w.Document()->BarCount, bars += 2);
  EXPECT_TRUE(dialogs.Log().empty());
}

TEST_F(MainWindowTest, TheOnlyBarCannotBeRemovedOrCut) {
  TFmain& w = Window();
  dialogs.OpenAnswers = {WriteTabFile("one.gvlm", Osnova(4, 1, 4))};
  w.OpenDocument();
  ASSERT_EQ(w.Document()->BarCount, 1);
  w.SpeedButton9->click();
  w.BCut->click();
  Press(Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(dialogs.Messages(),
            (std::vector<QString>{kCannotDeleteAllBarsMessage, kCannotCutAllBarsMessage,
                                  kCannotCutAllBarsMessage}));
  for (const auto& shown : dialogs.Log()) {
    if (shown.What == ScriptedDialogService::Shown::Kind::Message) {
      EXPECT_EQ(shown.BoxIcon, DialogService::Icon::Warning);
    }
  }
  EXPECT_EQ(w.Document()->BarCount, 1);
  EXPECT_FALSE(w.Document()->Modified);
  EXPECT_FALSE(w.Bpaste->isEnabled()) << "a refused cut copied nothing";
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());
}

TEST_F(MainWindowTest, RemovingTheLastBarWhileCurrentMovesToTheNewLastBar) {
  TFmain& w = Window();
  Osnova song(4, 8, 4);  // all eight bars in view
  song.EditBar(6).Length = 8;  // 2/4
  dialogs.OpenAnswers = {WriteTabFile("song.gvlm", song)};
  w.OpenDocument();
  w.ScrollBar1->setValue(8);
  Osnova& doc = *w.Document();
  ASSERT_EQ(doc.CurrentBar, 7);
  Press(Qt::Key_Right);
  Press(Qt::Key_Right);
  Press(Qt::Key_Right);  // offset 12 in the 4/4 bar, right of the 2/4 bar's end
  w.Removebar1->trigger();
  EXPECT_EQ(doc.BarCount, 7);
  EXPECT_EQ(doc.CurrentBar, 6);
  EXPECT_EQ(w.Cursor()->Column, doc.Bar(6).EndCol);
  EXPECT_EQ(w.EAbar->value(), 6);
  EXPECT_EQ(w.ScrollBar1->maximum(), 7);
  EXPECT_EQ(w.ScrollBar1->value(), 7);
  EXPECT_EQ(w.ETakt1->currentText(), "2");
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());
}

TEST_F(MainWindowTest, CutThenPasteRestoresTheBarAndPartsFollowTheirBars) {
  TFmain& w = Window();
  Osnova song = SongWithParts();
  song.EditBar(4).Length = 12;
  song.EditBar(4).Rows[RowSnare].Set(2, 1, 1);
  song.EditBar(4).Comment = "break";
  dialogs.OpenAnswers = {WriteTabFile("parts.gvlm", song)};
  w.OpenDocument();
  w.ScrollBar1->setValue(5);
  Osnova* doc = w.Document();
  ASSERT_EQ(w.cbSong->currentText(), "Verse");

  EXPECT_FALSE(w.Bpaste->isEnabled());
  w.BCut->click();
  EXPECT_TRUE(w.Bpaste->isEnabled() && w.EPaste->isEnabled());
  EXPECT_EQ(doc->BarCount, 11);
  EXPECT_EQ(PartBars(*doc), (std::vector<int32_t>{0, 7}));
  EXPECT_EQ(BoxItems(w.cbSong), QStringList({"Intro", "Chorus"}));
  EXPECT_EQ(w.cbSong->currentText(), "");
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());

  w.Bpaste->click();
  EXPECT_EQ(doc->BarCount, 12);
  EXPECT_EQ(doc->Bar(4).Length, 12);
  EXPECT_EQ(doc->Bar(4).Rows[RowSnare].Cells[2], (TNoteCell{1, 1}));
  EXPECT_EQ(doc->Bar(4).Comment, "break");
  EXPECT_EQ(w.Ecom->text(), "break");
  EXPECT_EQ(w.ETakt1->currentText(), "3");
  EXPECT_EQ(PartBars(*doc), (std::vector<int32_t>{0, 8})) << "the cut part is gone";
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());

  // Parts after the current bar follow insert and remove too, not only one starting there.
  w.ScrollBar1->setValue(3);
  w.SpeedButton10->click();
  EXPECT_EQ(PartBars(*doc), (std::vector<int32_t>{0, 9}));
  w.SpeedButton9->click();
  EXPECT_EQ(PartBars(*doc), (std::vector<int32_t>{0, 8}));
  w.ScrollBar1->setValue(1);
  w.Pastebar1->trigger();
  EXPECT_EQ(PartBars(*doc), (std::vector<int32_t>{1, 9}));
  EXPECT_EQ(w.cbSong->currentText(), "") << "the pasted bar has no part";
  EXPECT_TRUE(doc->Modified);
}

TEST_F(MainWindowTest, BarCopiedInOneDocumentPastesIntoTheNext) {
  TFmain& w = Window();
  w.NewDocument();
  EXPECT_FALSE(w.Bpaste->isEnabled());
  EXPECT_FALSE(w.EPaste->isEnabled());
  EXPECT_TRUE(w.Pastebar1->isEnabled());
  Press(Qt::Key_Z);
  w.Document()->Modified = false;

  Press(Qt::Key_C, Qt::ControlModifier);
  EXPECT_FALSE(w.Document()->Modified) << "a copy from the keyboard";
  EXPECT_TRUE(w.Bpaste->isEnabled());
  EXPECT_TRUE(w.Clipboard()->Bar.Rows[RowBass].Has(0));
  Press(Qt::Key_Insert, Qt::ControlModifier);
  EXPECT_FALSE(w.Document()->Modified);
  w.BCopy->click();
  EXPECT_TRUE(w.Document()->Modified) << "a copy from the button";

  dialogs.Answers = {true};
  w.NewDocument();
  EXPECT_TRUE(w.Bpaste->isEnabled()) << "the clipboard outlives the document";
  Press(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(w.Document()->BarCount, 13);
  EXPECT_TRUE(w.Document()->Bar(0).Rows[RowBass].Has(0));
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());
  w.BUndo->click();
  EXPECT_EQ(w.Document()->BarCount, 12);
}

TEST_F(MainWindowTest, PasteBeforeAnyCopyInsertsAnEmptyWholeLineBarAndKeepsItInView) {
  TFmain& w = Window();
  w.NewDocument();
  w.ScrollBar1->setValue(8);  // the last visible bar
  Osnova& doc = *w.Document();
  ASSERT_EQ(doc.CurrentBar, doc.LastVisibleBar);
  w.Pastebar1->trigger();
  EXPECT_EQ(doc.CurrentBar, 7);
  EXPECT_EQ(doc.Current().Length, 64);
  EXPECT_GE(doc.CurrentBar, doc.FirstVisibleBar);
  EXPECT_LE(doc.CurrentBar, doc.LastVisibleBar);
  EXPECT_EQ(w.ETakt1->currentText(), "16");
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());
}

TEST_F(MainWindowTest, ShortenedBarShowsItsNotesAgainUntilSavedAndReopened) {
  TFmain& w = Window();
  w.NewDocument();
  Osnova* doc = w.Document();
  for (int p = 8; p < 16; ++p) doc->EditBar(0).Rows[RowBass].Set(p, 0, 0);
  w.i1->RepaintView(*doc, 0);
  w.i1->ToggleCursorBox(*doc, *w.Cursor());
  const QImage full = w.View()->Image();
  doc->Modified = false;

  w.ETakt1->setCurrentIndex(1);
  emit w.ETakt1->activated(1);  // 2/4
  EXPECT_EQ(doc->Bar(0).Length, 8);
  EXPECT_TRUE(doc->Modified);
  EXPECT_EQ(QApplication::focusWidget(), &w);
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());
  EXPECT_NE(w.View()->Image(), full);

  w.ETakt1->setCurrentIndex(3);
  emit w.ETakt1->activated(3);  // 4/4 again: the notes are back
  EXPECT_EQ(w.View()->Image(), full);

  w.Etakt2->setCurrentIndex(1);
  emit w.Etakt2->activated(1);  // 4/8
  EXPECT_EQ(doc->Bar(0).Length, 8);
  dialogs.SaveAnswers = {PathIn("short.gvlm")};
  ASSERT_TRUE(w.SaveDocument());
  dialogs.OpenAnswers = {PathIn("short.gvlm")};
  w.OpenDocument();
  w.Etakt2->setCurrentIndex(0);
  emit w.Etakt2->activated(0);  // 4/4
  EXPECT_EQ(w.Document()->Bar(0).Length, 16);
  EXPECT_EQ(w.Document()->Bar(0).Rows[RowBass].Notes, 0u) << "saving kept only the bar's positions";

  w.BUndo->click();
  EXPECT_EQ(w.Document()->Bar(0).Length, 8);
  EXPECT_EQ(w.Etakt2->currentText(), "8");
}

TEST_F(MainWindowTest, TimingChangeThatPushesTheBarOutOfViewMakesTheLastVisibleBarCurrent) {
  TFmain& w = Window();
  w.NewDocument();
  w.ScrollBar1->setValue(8);
  Osnova& doc = *w.Document();
  w.ETakt1->setCurrentIndex(15);
  emit w.ETakt1->activated(15);  // 16/4: a whole line, no longer beside bar 4
  EXPECT_EQ(doc.Bar(7).Length, 64);
  EXPECT_EQ(doc.CurrentBar, doc.LastVisibleBar);
  EXPECT_EQ(w.Cursor()->Column, doc.Current().EndCol);
  EXPECT_EQ(w.EAbar->value(), doc.CurrentBar);
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());
}

// Qt under X11 never matches a keypad shortcut; offscreen it does. This filter makes the test
// platform behave like X11, so the keys must work without the menu's shortcuts.
class NoKeypadShortcuts : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::Shortcut) return false;
    const QKeySequence key = static_cast<QShortcutEvent*>(event)->key();
    return !key.isEmpty() && key[0].keyboardModifiers().testFlag(Qt::KeypadModifier);
  }
};

// The Bar menu's Ctrl+keypad plus and minus, pressed as keys: from the tab, and from a box being
// typed into, where a menu shortcut works too.
TEST_F(MainWindowTest, CtrlKeypadPlusAndMinusInsertAndRemoveABar) {
  NoKeypadShortcuts likeX11;
  qApp->installEventFilter(&likeX11);
  TFmain& w = Window();
  w.NewDocument();
  const Qt::KeyboardModifiers ctrlKeypad = Qt::ControlModifier | Qt::KeypadModifier;
  Press(Qt::Key_Plus, ctrlKeypad);
  EXPECT_EQ(w.Document()->BarCount, 13);
  Press(Qt::Key_Minus, ctrlKeypad);
  Press(Qt::Key_Minus, ctrlKeypad);
  EXPECT_EQ(w.Document()->BarCount, 11);
  Enter(w.Ecom);
  Press(Qt::Key_Plus, ctrlKeypad);
  EXPECT_EQ(w.Document()->BarCount, 12);
  EXPECT_EQ(w.Ecom->text(), "") << "the key typed nothing";
  // The main block's plus and minus with Ctrl are not the bar commands.
  Press(Qt::Key_Plus, Qt::ControlModifier);
  Press(Qt::Key_Minus, Qt::ControlModifier);
  EXPECT_EQ(w.Document()->BarCount, 12);
  EXPECT_EQ(w.Insert1->shortcut().toString(QKeySequence::NativeText), "Ctrl+Num++");
}

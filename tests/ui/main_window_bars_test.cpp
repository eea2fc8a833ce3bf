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
  Find<QToolButton>("SpeedButton10")->click();
  Osnova& doc = *w.Document();
  EXPECT_EQ(doc.BarCount, 13);
  EXPECT_EQ(doc.Bar(0).Rows[RowSnare].Notes, 0u);
  EXPECT_EQ(doc.Bar(0).Length, 16);
  EXPECT_TRUE(doc.Bar(1).Rows[RowSnare].Has(0));
  EXPECT_EQ(doc.CurrentBar, 0);
  EXPECT_EQ(w.Cursor()->Column, 4);
  EXPECT_EQ(Find<QScrollBar>("ScrollBar1")->maximum(), 13);
  EXPECT_EQ(w.History().Current(), steps + 1);
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());

  Find<QToolButton>("BUndo")->click();
  EXPECT_EQ(w.Document()->BarCount, 12);
  EXPECT_TRUE(w.Document()->Bar(0).Rows[RowSnare].Has(0));
}

TEST_F(MainWindowTest, EveryWayToABarCommandRunsIt) {
  TFmain& w = Window();
  w.NewDocument();
  Osnova* doc = w.Document();
  int bars = 12;
  for (QAction* insert : {Find<QAction>("Insert1"), Find<QAction>("Addbar1")}) {
    insert->trigger();
    EXPECT_EQ(w.Document()->BarCount, ++bars) << insert->objectName().toStdString();
  }
  for (QAction* remove : {Find<QAction>("Remove1"), Find<QAction>("Removebar1")}) {
    remove->trigger();
    EXPECT_EQ(w.Document()->BarCount, --bars) << remove->objectName().toStdString();
  }
  Find<QToolButton>("SpeedButton9")->click();
  EXPECT_EQ(w.Document()->BarCount, --bars);
  for (QObject* clear : std::initializer_list<QObject*>{Find<QAction>("Clear1"), Find<QAction>("Clearbar1"), Find<QToolButton>("SpeedButton11")}) {
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
  for (QAction* cut : {Find<QAction>("ECut"), Find<QAction>("Cutbar1")}) {
    cut->trigger();
    EXPECT_EQ(w.Document()->BarCount, --bars) << cut->objectName().toStdString();
  }
  for (QAction* paste : {Find<QAction>("EPaste"), Find<QAction>("Pastebar1")}) {
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
  Find<QToolButton>("SpeedButton9")->click();
  Find<QToolButton>("BCut")->click();
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
  EXPECT_FALSE(Find<QToolButton>("Bpaste")->isEnabled()) << "a refused cut copied nothing";
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());
}

TEST_F(MainWindowTest, RemovingTheLastBarWhileCurrentMovesToTheNewLastBar) {
  TFmain& w = Window();
  Osnova song(4, 8, 4);  // all eight bars in view
  song.EditBar(6).Length = 8;  // 2/4
  dialogs.OpenAnswers = {WriteTabFile("song.gvlm", song)};
  w.OpenDocument();
  Find<QScrollBar>("ScrollBar1")->setValue(8);
  Osnova& doc = *w.Document();
  ASSERT_EQ(doc.CurrentBar, 7);
  Press(Qt::Key_Right);
  Press(Qt::Key_Right);
  Press(Qt::Key_Right);  // offset 12 in the 4/4 bar, right of the 2/4 bar's end
  Find<QAction>("Removebar1")->trigger();
  EXPECT_EQ(doc.BarCount, 7);
  EXPECT_EQ(doc.CurrentBar, 6);
  EXPECT_EQ(w.Cursor()->Column, doc.Bar(6).EndCol);
  EXPECT_EQ(Find<QSpinBox>("EAbar")->value(), 6);
  EXPECT_EQ(Find<QScrollBar>("ScrollBar1")->maximum(), 7);
  EXPECT_EQ(Find<QScrollBar>("ScrollBar1")->value(), 7);
  EXPECT_EQ(Find<QComboBox>("ETakt1")->currentText(), "2");
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
  Find<QScrollBar>("ScrollBar1")->setValue(5);
  Osnova* doc = w.Document();
  ASSERT_EQ(Find<QComboBox>("cbSong")->currentText(), "Verse");

  EXPECT_FALSE(Find<QToolButton>("Bpaste")->isEnabled());
  Find<QToolButton>("BCut")->click();
  EXPECT_TRUE(Find<QToolButton>("Bpaste")->isEnabled() && Find<QAction>("EPaste")->isEnabled());
  EXPECT_EQ(doc->BarCount, 11);
  EXPECT_EQ(PartBars(*doc), (std::vector<int32_t>{0, 7}));
  EXPECT_EQ(BoxItems(Find<QComboBox>("cbSong")), QStringList({"Intro", "Chorus"}));
  EXPECT_EQ(Find<QComboBox>("cbSong")->currentText(), "");
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());

  Find<QToolButton>("Bpaste")->click();
  EXPECT_EQ(doc->BarCount, 12);
  EXPECT_EQ(doc->Bar(4).Length, 12);
  EXPECT_EQ(doc->Bar(4).Rows[RowSnare].Cells[2], (TNoteCell{1, 1}));
  EXPECT_EQ(doc->Bar(4).Comment, "break");
  EXPECT_EQ(Find<CommentBox>("Ecom")->text(), "break");
  EXPECT_EQ(Find<QComboBox>("ETakt1")->currentText(), "3");
  EXPECT_EQ(PartBars(*doc), (std::vector<int32_t>{0, 8})) << "the cut part is gone";
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());

  // Parts after the current bar follow insert and remove too, not only one starting there.
  Find<QScrollBar>("ScrollBar1")->setValue(3);
  Find<QToolButton>("SpeedButton10")->click();
  EXPECT_EQ(PartBars(*doc), (std::vector<int32_t>{0, 9}));
  Find<QToolButton>("SpeedButton9")->click();
  EXPECT_EQ(PartBars(*doc), (std::vector<int32_t>{0, 8}));
  Find<QScrollBar>("ScrollBar1")->setValue(1);
  Find<QAction>("Pastebar1")->trigger();
  EXPECT_EQ(PartBars(*doc), (std::vector<int32_t>{1, 9}));
  EXPECT_EQ(Find<QComboBox>("cbSong")->currentText(), "") << "the pasted bar has no part";
  EXPECT_TRUE(doc->Modified);
}

TEST_F(MainWindowTest, BarCopiedInOneDocumentPastesIntoTheNext) {
  TFmain& w = Window();
  w.NewDocument();
  EXPECT_FALSE(Find<QToolButton>("Bpaste")->isEnabled());
  EXPECT_FALSE(Find<QAction>("EPaste")->isEnabled());
  EXPECT_TRUE(Find<QAction>("Pastebar1")->isEnabled());
  Press(Qt::Key_Z);
  w.Document()->Modified = false;

  Press(Qt::Key_C, Qt::ControlModifier);
  EXPECT_FALSE(w.Document()->Modified) << "a copy from the keyboard";
  EXPECT_TRUE(Find<QToolButton>("Bpaste")->isEnabled());
  EXPECT_TRUE(w.Clipboard()->Bar.Rows[RowBass].Has(0));
  Press(Qt::Key_Insert, Qt::ControlModifier);
  EXPECT_FALSE(w.Document()->Modified);
  Find<QToolButton>("BCopy")->click();
  EXPECT_TRUE(w.Document()->Modified) << "a copy from the button";

  dialogs.Answers = {true};
  w.NewDocument();
  EXPECT_TRUE(Find<QToolButton>("Bpaste")->isEnabled()) << "the clipboard outlives the document";
  Press(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(w.Document()->BarCount, 13);
  EXPECT_TRUE(w.Document()->Bar(0).Rows[RowBass].Has(0));
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());
  Find<QToolButton>("BUndo")->click();
  EXPECT_EQ(w.Document()->BarCount, 12);
}

TEST_F(MainWindowTest, PasteBeforeAnyCopyInsertsAnEmptyWholeLineBarAndKeepsItInView) {
  TFmain& w = Window();
  w.NewDocument();
  Find<QScrollBar>("ScrollBar1")->setValue(8);  // the last visible bar
  Osnova& doc = *w.Document();
  ASSERT_EQ(doc.CurrentBar, doc.LastVisibleBar);
  Find<QAction>("Pastebar1")->trigger();
  EXPECT_EQ(doc.CurrentBar, 7);
  EXPECT_EQ(doc.Current().Length, 64);
  EXPECT_GE(doc.CurrentBar, doc.FirstVisibleBar);
  EXPECT_LE(doc.CurrentBar, doc.LastVisibleBar);
  EXPECT_EQ(Find<QComboBox>("ETakt1")->currentText(), "16");
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());
}

TEST_F(MainWindowTest, ShortenedBarShowsItsNotesAgainUntilSavedAndReopened) {
  TFmain& w = Window();
  w.NewDocument();
  Osnova* doc = w.Document();
  for (int p = 8; p < 16; ++p) doc->EditBar(0).Rows[RowBass].Set(p, 0, 0);
  Find<TabView>("i1")->RepaintView(*doc, 0);
  Find<TabView>("i1")->ToggleCursorBox(*doc, *w.Cursor());
  const QImage full = w.View()->Image();
  doc->Modified = false;

  Find<QComboBox>("ETakt1")->setCurrentIndex(1);
  emit Find<QComboBox>("ETakt1")->activated(1);  // 2/4
  EXPECT_EQ(doc->Bar(0).Length, 8);
  EXPECT_TRUE(doc->Modified);
  EXPECT_EQ(QApplication::focusWidget(), &w);
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());
  EXPECT_NE(w.View()->Image(), full);

  Find<QComboBox>("ETakt1")->setCurrentIndex(3);
  emit Find<QComboBox>("ETakt1")->activated(3);  // 4/4 again: the notes are back
  EXPECT_EQ(w.View()->Image(), full);

  Find<QComboBox>("Etakt2")->setCurrentIndex(1);
  emit Find<QComboBox>("Etakt2")->activated(1);  // 4/8
  EXPECT_EQ(doc->Bar(0).Length, 8);
  dialogs.SaveAnswers = {PathIn("short.gvlm")};
  ASSERT_TRUE(w.SaveDocument());
  dialogs.OpenAnswers = {PathIn("short.gvlm")};
  w.OpenDocument();
  Find<QComboBox>("Etakt2")->setCurrentIndex(0);
  emit Find<QComboBox>("Etakt2")->activated(0);  // 4/4
  EXPECT_EQ(w.Document()->Bar(0).Length, 16);
  EXPECT_EQ(w.Document()->Bar(0).Rows[RowBass].Notes, 0u) << "saving kept only the bar's positions";

  Find<QToolButton>("BUndo")->click();
  EXPECT_EQ(w.Document()->Bar(0).Length, 8);
  EXPECT_EQ(Find<QComboBox>("Etakt2")->currentText(), "8");
}

TEST_F(MainWindowTest, TimingChangeThatPushesTheBarOutOfViewMakesTheLastVisibleBarCurrent) {
  TFmain& w = Window();
  w.NewDocument();
  Find<QScrollBar>("ScrollBar1")->setValue(8);
  Osnova& doc = *w.Document();
  Find<QComboBox>("ETakt1")->setCurrentIndex(15);
  emit Find<QComboBox>("ETakt1")->activated(15);  // 16/4: a whole line, no longer beside bar 4
  EXPECT_EQ(doc.Bar(7).Length, 64);
  EXPECT_EQ(doc.CurrentBar, doc.LastVisibleBar);
  EXPECT_EQ(w.Cursor()->Column, doc.Current().EndCol);
  EXPECT_EQ(Find<QSpinBox>("EAbar")->value(), doc.CurrentBar);
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
  Enter(Find<CommentBox>("Ecom"));
  Press(Qt::Key_Plus, ctrlKeypad);
  EXPECT_EQ(w.Document()->BarCount, 12);
  EXPECT_EQ(Find<CommentBox>("Ecom")->text(), "") << "the key typed nothing";
  // The main block's plus and minus with Ctrl are not the bar commands.
  Press(Qt::Key_Plus, Qt::ControlModifier);
  Press(Qt::Key_Minus, Qt::ControlModifier);
  EXPECT_EQ(w.Document()->BarCount, 12);
  EXPECT_EQ(Find<QAction>("Insert1")->shortcut().toString(QKeySequence::NativeText), "Ctrl+Num++");
}

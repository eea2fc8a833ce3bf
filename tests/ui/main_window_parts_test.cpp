// The song-part box through the real window: naming, renaming and deleting parts by typing,
// sorted insertion, choosing and double-clicking to jump, and damaged part information.
#include <QLineEdit>
#include <QScrollBar>

#include "model/song_parts.h"
#include "tests/ui/main_window_fixture.h"

namespace {

std::vector<TSongPart> Parts(std::initializer_list<TSongPart> parts) { return parts; }

QStringList BoxItems(const QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
  return items;
}

}  // namespace

class SongPartBoxTest : public MainWindowTest {
 protected:
  // Types a name into the song-part box on the current bar and leaves it with Enter.
  void Name(const QString& text) { TypeAndLeave(Window().cbSong, text); }
  void GoToBar(int bar) { Window().ScrollBar1->setValue(bar + 1); }

  // A 12-bar song with parts on bars 0, 4 and 8, opened from a file.
  void OpenSongWithParts() {
    Osnova song(4, 12, 4);
    song.SongParts = Parts({{0, "Intro"}, {4, "Verse"}, {8, "Chorus"}});
    dialogs.OpenAnswers = {WriteTabFile("parts.gvlm", song)};
    Window().OpenDocument();
  }
};

TEST_F(SongPartBoxTest, NamingABarShowsTheNameOnThatBarOnly) {
  TFmain& w = Window();
  w.NewDocument();
  const int steps = w.History().Current();
  Name("Intro");
  EXPECT_EQ(w.Document()->SongParts, Parts({{0, "Intro"}}));
  EXPECT_EQ(BoxItems(w.cbSong), QStringList{"Intro"});
  EXPECT_TRUE(w.Document()->Modified);
  EXPECT_EQ(w.History().Current(), steps + 1);
  EXPECT_EQ(w.TextEditBar, -1);
  EXPECT_NE(QApplication::focusWidget(), w.cbSong) << "Enter leaves the box";

  Press(Qt::Key_Right, Qt::ControlModifier);
  EXPECT_EQ(w.cbSong->currentText(), "");
  Press(Qt::Key_Left, Qt::ControlModifier);
  EXPECT_EQ(w.cbSong->currentText(), "Intro");

  w.BUndo->click();
  EXPECT_TRUE(w.Document()->SongParts.empty());
  EXPECT_EQ(w.cbSong->count(), 0);
}

TEST_F(SongPartBoxTest, PartsStaySortedThroughNamingRenamingAndDeleting) {
  TFmain& w = Window();
  w.NewDocument();
  GoToBar(8);
  Name("Chorus");
  GoToBar(0);
  Name("Intro");
  GoToBar(4);
  Name("Verse");
  EXPECT_EQ(w.Document()->SongParts, Parts({{0, "Intro"}, {4, "Verse"}, {8, "Chorus"}}));
  EXPECT_EQ(BoxItems(w.cbSong), QStringList({"Intro", "Verse", "Chorus"}));

  Name("A name longer than thirty characters");
  EXPECT_EQ(w.Document()->SongParts[1].Name, "A name longer than thirty char");
  EXPECT_EQ(BoxItems(w.cbSong), QStringList({"Intro", "A name longer than thirty char", "Chorus"}));

  GoToBar(8);
  Name("");
  EXPECT_EQ(w.Document()->SongParts, Parts({{0, "Intro"}, {4, "A name longer than thirty char"}}));
  EXPECT_EQ(BoxItems(w.cbSong), QStringList({"Intro", "A name longer than thirty char"}));
  EXPECT_EQ(w.cbSong->currentText(), "");
  w.BUndo->click();
  EXPECT_EQ(w.Document()->SongParts.size(), 3u);
}

TEST_F(SongPartBoxTest, LeavingWithoutTypingChangesNothing) {
  TFmain& w = Window();
  OpenSongWithParts();
  const int steps = w.History().Current();
  Enter(w.cbSong);
  EXPECT_EQ(w.TextEditBar, 0);
  w.cbSong->setEditText("Other");  // shown, never typed
  w.i1Click();
  EXPECT_EQ(w.TextEditBar, -1);
  EXPECT_EQ(w.Document()->SongParts[0].Name, "Intro");
  EXPECT_FALSE(w.Document()->Modified);
  EXPECT_EQ(w.History().Current(), steps);
}

TEST_F(SongPartBoxTest, ChoosingAndDoubleClickingJumpToPartsUntilTheLast) {
  TFmain& w = Window();
  OpenSongWithParts();
  Osnova& doc = *w.Document();
  Press(Qt::Key_Right);

  QTest::mouseDClick(w.cbSong->lineEdit(), Qt::LeftButton);
  EXPECT_EQ(doc.CurrentBar, 4);
  EXPECT_EQ(doc.FirstVisibleBar, 4) << "the part's bar opens the view";
  EXPECT_EQ(w.Cursor()->Column, 0);
  EXPECT_EQ(w.Cursor()->Line, 0);
  EXPECT_EQ(w.EAbar->value(), 4);
  EXPECT_EQ(w.ScrollBar1->value(), 5);
  EXPECT_EQ(w.cbSong->currentText(), "Verse");
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());

  QTest::mouseDClick(w.cbSong->lineEdit(), Qt::LeftButton);
  EXPECT_EQ(doc.CurrentBar, 8);
  QTest::mouseDClick(w.cbSong->lineEdit(), Qt::LeftButton);
  EXPECT_EQ(doc.CurrentBar, 8) << "on the last part nothing happens";
  EXPECT_EQ(w.cbSong->currentText(), "Chorus");

  w.cbSong->setCurrentIndex(0);
  emit w.cbSong->activated(0);
  EXPECT_EQ(doc.CurrentBar, 0);
  EXPECT_EQ(doc.FirstVisibleBar, 0);
  EXPECT_FALSE(doc.Modified) << "jumping changes nothing";
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());
}

TEST_F(SongPartBoxTest, ChoosingAPartDropsANameBeingTypedInsteadOfCopyingTheChosenOne) {
  TFmain& w = Window();
  OpenSongWithParts();
  GoToBar(2);
  Enter(w.cbSong);
  QTest::keyClicks(w.cbSong, "Fill");
  w.cbSong->setCurrentIndex(1);  // the list puts the chosen name into the box
  emit w.cbSong->activated(1);
  EXPECT_EQ(w.Document()->CurrentBar, 4);
  EXPECT_EQ(w.Document()->SongParts, Parts({{0, "Intro"}, {4, "Verse"}, {8, "Chorus"}}));
  EXPECT_EQ(w.TextEditBar, -1);
}

TEST_F(SongPartBoxTest, APartOutsideTheSongIsReportedAndAllPartsAreDropped) {
  TFmain& w = Window();
  OpenSongWithParts();
  w.Document()->SongParts.push_back({70000, "Lost"});
  w.cbSong->addItem("Lost");
  w.cbSong->setCurrentIndex(3);
  emit w.cbSong->activated(3);
  EXPECT_EQ(dialogs.Messages(), (std::vector<QString>{kDamagedPartsWarning, kPartsLostInformation}));
  ASSERT_EQ(dialogs.Log().size(), 3u);  // the open dialog, then the two boxes
  EXPECT_EQ(dialogs.Log()[1].BoxIcon, DialogService::Icon::Warning);
  EXPECT_EQ(dialogs.Log()[2].BoxIcon, DialogService::Icon::Information);
  EXPECT_TRUE(w.Document()->SongParts.empty());
  EXPECT_EQ(w.cbSong->count(), 0);
  EXPECT_EQ(w.cbSong->currentText(), "");
  EXPECT_EQ(w.Document()->CurrentBar, 0);
  EXPECT_TRUE(w.Document()->Modified) << "Save would write the parts that are gone";
}

TEST_F(SongPartBoxTest, UndoWhileANameIsBeingTypedStepsBackOverThatName) {
  TFmain& w = Window();
  w.NewDocument();
  w.SetNote(RowSnare, 0, 0);
  Enter(w.cbSong);
  QTest::keyClicks(w.cbSong, "Fill");
  w.BUndo->click();  // a tool button leaves the focus in the box
  EXPECT_TRUE(w.Document()->SongParts.empty());
  EXPECT_TRUE(w.Document()->Bar(0).Rows[RowSnare].Has(0)) << "only the naming was undone";
  EXPECT_EQ(w.TextEditBar, -1);
  EXPECT_EQ(w.cbSong->currentText(), "");
  ASSERT_TRUE(w.BRedo->isEnabled());
  w.BRedo->click();
  EXPECT_EQ(w.Document()->SongParts, Parts({{0, "Fill"}}));
  EXPECT_EQ(w.cbSong->currentText(), "Fill");
}

TEST_F(SongPartBoxTest, ANameBeingTypedStaysWithItsDocumentWhenNewOrOpenReplacesIt) {
  TFmain& w = Window();
  w.NewDocument();
  Enter(w.cbSong);
  QTest::keyClicks(w.cbSong, "Fill");
  dialogs.Answers = {false};
  w.SpeedButton2->click();  // a tool button leaves the focus in the box
  EXPECT_EQ(dialogs.Questions(), std::vector<QString>{kOpenUnsavedQuestion})
      << "the typed name is an unsaved change of this document";
  EXPECT_EQ(w.Document()->SongParts, Parts({{0, "Fill"}}));
  EXPECT_EQ(w.TextEditBar, -1);

  Enter(w.cbSong);
  QTest::keyClick(w.cbSong, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(w.cbSong, "Solo");
  dialogs.Answers = {true};
  w.SpeedButton2->click();
  EXPECT_TRUE(w.Document()->SongParts.empty());
  EXPECT_FALSE(w.Document()->Modified);
  EXPECT_EQ(w.cbSong->count(), 0);
  EXPECT_EQ(w.cbSong->currentText(), "");

  Osnova song(4, 12, 4);
  song.SongParts = Parts({{0, "Verse"}});
  const QString path = WriteTabFile("verse.gvlm", song);
  Enter(w.cbSong);
  QTest::keyClicks(w.cbSong, "Fill");
  dialogs.Answers = {true};
  dialogs.OpenAnswers = {path};
  w.SpeedButton1->click();
  EXPECT_TRUE(dialogs.Drained());
  EXPECT_EQ(w.Document()->SongParts, Parts({{0, "Verse"}}));
  EXPECT_FALSE(w.Document()->Modified) << "an opened file is unchanged";
  EXPECT_EQ(BoxItems(w.cbSong), QStringList{"Verse"});
  EXPECT_EQ(w.cbSong->currentText(), "Verse");
  EXPECT_EQ(w.TextEditBar, -1);
}

// A name typed without Enter belongs to the bar it was typed on, whatever bar command runs next
// (the tool buttons leave the focus in the box).
TEST_F(SongPartBoxTest, ANameBeingTypedGoesToItsOwnBarBeforeABarCommand) {
  TFmain& w = Window();
  w.NewDocument();
  GoToBar(3);
  Enter(w.cbSong);
  QTest::keyClicks(w.cbSong, "Bridge");
  w.SpeedButton10->click();  // Insert bar: the named bar becomes bar 4
  EXPECT_EQ(w.Document()->SongParts, Parts({{4, "Bridge"}}));
  EXPECT_EQ(w.TextEditBar, -1);
  w.BUndo->click();
  EXPECT_EQ(w.Document()->SongParts, Parts({{3, "Bridge"}})) << "the insert is its own step";

  GoToBar(w.Document()->BarCount - 1);
  Enter(w.cbSong);
  QTest::keyClicks(w.cbSong, "Outro");
  w.SpeedButton9->click();  // Remove the last bar: its part goes with it, as a step of its own
  EXPECT_EQ(w.Document()->SongParts, Parts({{3, "Bridge"}}));
  w.BUndo->click();
  EXPECT_EQ(w.Document()->SongParts, Parts({{3, "Bridge"}, {11, "Outro"}}));

  GoToBar(5);
  Enter(w.cbSong);
  QTest::keyClicks(w.cbSong, "Solo");
  w.BCut->click();
  EXPECT_EQ(w.Document()->SongParts, Parts({{3, "Bridge"}, {10, "Outro"}})) << "cut with its bar";
  w.BUndo->click();
  EXPECT_EQ(w.Document()->SongParts, Parts({{3, "Bridge"}, {5, "Solo"}, {11, "Outro"}}));
}

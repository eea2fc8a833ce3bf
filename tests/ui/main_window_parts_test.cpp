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
  void Name(const QString& text) { TypeAndLeave(Find<QComboBox>("cbSong"), text); }
  void GoToBar(int bar) { Find<QScrollBar>("ScrollBar1")->setValue(bar + 1); }

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
  EXPECT_EQ(BoxItems(Find<QComboBox>("cbSong")), QStringList{"Intro"});
  EXPECT_TRUE(w.Document()->Modified);
  EXPECT_EQ(w.History().Current(), steps + 1);
  EXPECT_EQ(w.TextEditBar, -1);
  EXPECT_NE(QApplication::focusWidget(), Find<QComboBox>("cbSong")) << "Enter leaves the box";

  Press(Qt::Key_Right, Qt::ControlModifier);
  EXPECT_EQ(Find<QComboBox>("cbSong")->currentText(), "");
  Press(Qt::Key_Left, Qt::ControlModifier);
  EXPECT_EQ(Find<QComboBox>("cbSong")->currentText(), "Intro");

  Find<QToolButton>("BUndo")->click();
  EXPECT_TRUE(w.Document()->SongParts.empty());
  EXPECT_EQ(Find<QComboBox>("cbSong")->count(), 0);
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
  EXPECT_EQ(BoxItems(Find<QComboBox>("cbSong")), QStringList({"Intro", "Verse", "Chorus"}));

  Name("A name longer than thirty characters");
  EXPECT_EQ(w.Document()->SongParts[1].Name, "A name longer than thirty char");
  EXPECT_EQ(BoxItems(Find<QComboBox>("cbSong")), QStringList({"Intro", "A name longer than thirty char", "Chorus"}));

  GoToBar(8);
  Name("");
  EXPECT_EQ(w.Document()->SongParts, Parts({{0, "Intro"}, {4, "A name longer than thirty char"}}));
  EXPECT_EQ(BoxItems(Find<QComboBox>("cbSong")), QStringList({"Intro", "A name longer than thirty char"}));
  EXPECT_EQ(Find<QComboBox>("cbSong")->currentText(), "");
  Find<QToolButton>("BUndo")->click();
  EXPECT_EQ(w.Document()->SongParts.size(), 3u);
}

TEST_F(SongPartBoxTest, LeavingWithoutTypingChangesNothing) {
  TFmain& w = Window();
  OpenSongWithParts();
  const int steps = w.History().Current();
  Enter(Find<QComboBox>("cbSong"));
  EXPECT_EQ(w.TextEditBar, 0);
  Find<QComboBox>("cbSong")->setEditText("Other");  // shown, never typed
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

  QTest::mouseDClick(Find<QComboBox>("cbSong")->lineEdit(), Qt::LeftButton);
  EXPECT_EQ(doc.CurrentBar, 4);
  EXPECT_EQ(doc.FirstVisibleBar, 4) << "the part's bar opens the view";
  EXPECT_EQ(w.Cursor()->Column, 0);
  EXPECT_EQ(w.Cursor()->Line, 0);
  EXPECT_EQ(Find<QSpinBox>("EAbar")->value(), 4);
  EXPECT_EQ(Find<QScrollBar>("ScrollBar1")->value(), 5);
  EXPECT_EQ(Find<QComboBox>("cbSong")->currentText(), "Verse");
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());

  QTest::mouseDClick(Find<QComboBox>("cbSong")->lineEdit(), Qt::LeftButton);
  EXPECT_EQ(doc.CurrentBar, 8);
  QTest::mouseDClick(Find<QComboBox>("cbSong")->lineEdit(), Qt::LeftButton);
  EXPECT_EQ(doc.CurrentBar, 8) << "on the last part nothing happens";
  EXPECT_EQ(Find<QComboBox>("cbSong")->currentText(), "Chorus");

  Find<QComboBox>("cbSong")->setCurrentIndex(0);
  emit Find<QComboBox>("cbSong")->activated(0);
  EXPECT_EQ(doc.CurrentBar, 0);
  EXPECT_EQ(doc.FirstVisibleBar, 0);
  EXPECT_FALSE(doc.Modified) << "jumping changes nothing";
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());
}

TEST_F(SongPartBoxTest, ChoosingAPartDropsANameBeingTypedInsteadOfCopyingTheChosenOne) {
  TFmain& w = Window();
  OpenSongWithParts();
  GoToBar(2);
  Enter(Find<QComboBox>("cbSong"));
  QTest::keyClicks(Find<QComboBox>("cbSong"), "Fill");
  Find<QComboBox>("cbSong")->setCurrentIndex(1);  // the list puts the chosen name into the box
  emit Find<QComboBox>("cbSong")->activated(1);
  EXPECT_EQ(w.Document()->CurrentBar, 4);
  EXPECT_EQ(w.Document()->SongParts, Parts({{0, "Intro"}, {4, "Verse"}, {8, "Chorus"}}));
  EXPECT_EQ(w.TextEditBar, -1);
}

TEST_F(SongPartBoxTest, APartOutsideTheSongIsReportedAndAllPartsAreDropped) {
  TFmain& w = Window();
  OpenSongWithParts();
  w.Document()->SongParts.push_back({70000, "Lost"});
  Find<QComboBox>("cbSong")->addItem("Lost");
  Find<QComboBox>("cbSong")->setCurrentIndex(3);
  emit Find<QComboBox>("cbSong")->activated(3);
  EXPECT_EQ(dialogs.Messages(), (std::vector<QString>{kDamagedPartsWarning, kPartsLostInformation}));
  ASSERT_EQ(dialogs.Log().size(), 3u);  // the open dialog, then the two boxes
  EXPECT_EQ(dialogs.Log()[1].BoxIcon, DialogService::Icon::Warning);
  EXPECT_EQ(dialogs.Log()[2].BoxIcon, DialogService::Icon::Information);
  EXPECT_TRUE(w.Document()->SongParts.empty());
  EXPECT_EQ(Find<QComboBox>("cbSong")->count(), 0);
  EXPECT_EQ(Find<QComboBox>("cbSong")->currentText(), "");
  EXPECT_EQ(w.Document()->CurrentBar, 0);
  EXPECT_TRUE(w.Document()->Modified) << "Save would write the parts that are gone";
}

TEST_F(SongPartBoxTest, UndoWhileANameIsBeingTypedStepsBackOverThatName) {
  TFmain& w = Window();
  w.NewDocument();
  w.SetNote(RowSnare, 0, 0);
  Enter(Find<QComboBox>("cbSong"));
  QTest::keyClicks(Find<QComboBox>("cbSong"), "Fill");
  Find<QToolButton>("BUndo")->click();  // a tool button leaves the focus in the box
  EXPECT_TRUE(w.Document()->SongParts.empty());
  EXPECT_TRUE(w.Document()->Bar(0).Rows[RowSnare].Has(0)) << "only the naming was undone";
  EXPECT_EQ(w.TextEditBar, -1);
  EXPECT_EQ(Find<QComboBox>("cbSong")->currentText(), "");
  ASSERT_TRUE(Find<QToolButton>("BRedo")->isEnabled());
  Find<QToolButton>("BRedo")->click();
  EXPECT_EQ(w.Document()->SongParts, Parts({{0, "Fill"}}));
  EXPECT_EQ(Find<QComboBox>("cbSong")->currentText(), "Fill");
}

TEST_F(SongPartBoxTest, ANameBeingTypedStaysWithItsDocumentWhenNewOrOpenReplacesIt) {
  TFmain& w = Window();
  w.NewDocument();
  Enter(Find<QComboBox>("cbSong"));
  QTest::keyClicks(Find<QComboBox>("cbSong"), "Fill");
  dialogs.Answers = {false};
  Find<QToolButton>("SpeedButton2")->click();  // a tool button leaves the focus in the box
  EXPECT_EQ(dialogs.Questions(), std::vector<QString>{kOpenUnsavedQuestion})
      << "the typed name is an unsaved change of this document";
  EXPECT_EQ(w.Document()->SongParts, Parts({{0, "Fill"}}));
  EXPECT_EQ(w.TextEditBar, -1);

  Enter(Find<QComboBox>("cbSong"));
  QTest::keyClick(Find<QComboBox>("cbSong"), Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(Find<QComboBox>("cbSong"), "Solo");
  dialogs.Answers = {true};
  Find<QToolButton>("SpeedButton2")->click();
  EXPECT_TRUE(w.Document()->SongParts.empty());
  EXPECT_FALSE(w.Document()->Modified);
  EXPECT_EQ(Find<QComboBox>("cbSong")->count(), 0);
  EXPECT_EQ(Find<QComboBox>("cbSong")->currentText(), "");

  Osnova song(4, 12, 4);
  song.SongParts = Parts({{0, "Verse"}});
  const QString path = WriteTabFile("verse.gvlm", song);
  Enter(Find<QComboBox>("cbSong"));
  QTest::keyClicks(Find<QComboBox>("cbSong"), "Fill");
  dialogs.Answers = {true};
  dialogs.OpenAnswers = {path};
  Find<QToolButton>("SpeedButton1")->click();
  EXPECT_TRUE(dialogs.Drained());
  EXPECT_EQ(w.Document()->SongParts, Parts({{0, "Verse"}}));
  EXPECT_FALSE(w.Document()->Modified) << "an opened file is unchanged";
  EXPECT_EQ(BoxItems(Find<QComboBox>("cbSong")), QStringList{"Verse"});
  EXPECT_EQ(Find<QComboBox>("cbSong")->currentText(), "Verse");
  EXPECT_EQ(w.TextEditBar, -1);
}

// A name typed without Enter belongs to the bar it was typed on, whatever bar command runs next
// (the tool buttons leave the focus in the box).
TEST_F(SongPartBoxTest, ANameBeingTypedGoesToItsOwnBarBeforeABarCommand) {
  TFmain& w = Window();
  w.NewDocument();
  GoToBar(3);
  Enter(Find<QComboBox>("cbSong"));
  QTest::keyClicks(Find<QComboBox>("cbSong"), "Bridge");
  Find<QToolButton>("SpeedButton10")->click();  // Insert bar: the named bar becomes bar 4
  EXPECT_EQ(w.Document()->SongParts, Parts({{4, "Bridge"}}));
  EXPECT_EQ(w.TextEditBar, -1);
  Find<QToolButton>("BUndo")->click();
  EXPECT_EQ(w.Document()->SongParts, Parts({{3, "Bridge"}})) << "the insert is its own step";

  GoToBar(w.Document()->BarCount - 1);
  Enter(Find<QComboBox>("cbSong"));
  QTest::keyClicks(Find<QComboBox>("cbSong"), "Outro");
  Find<QToolButton>("SpeedButton9")->click();  // Remove the last bar: its part goes with it, as a step of its own
  EXPECT_EQ(w.Document()->SongParts, Parts({{3, "Bridge"}}));
  Find<QToolButton>("BUndo")->click();
  EXPECT_EQ(w.Document()->SongParts, Parts({{3, "Bridge"}, {11, "Outro"}}));

  GoToBar(5);
  Enter(Find<QComboBox>("cbSong"));
  QTest::keyClicks(Find<QComboBox>("cbSong"), "Solo");
  Find<QToolButton>("BCut")->click();
  EXPECT_EQ(w.Document()->SongParts, Parts({{3, "Bridge"}, {10, "Outro"}})) << "cut with its bar";
  Find<QToolButton>("BUndo")->click();
  EXPECT_EQ(w.Document()->SongParts, Parts({{3, "Bridge"}, {5, "Solo"}, {11, "Outro"}}));
}

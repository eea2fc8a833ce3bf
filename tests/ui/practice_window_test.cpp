// The practice features through the real window on a fake play clock: Space, the tempo boxes, the
// loops of a song part and of bars selected with Shift+click, and the settings kept in settings.ini.
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QSettings>

#include "files/options_file.h"
#include "layout/key_map.h"
#include "layout/view_layout.h"
#include "midi/playback.h"
#include "tests/ui/playing_window_fixture.h"
#include "tests/ui/wait.h"
#include "ui/practice_panel.h"

namespace {

class PracticeWindowTest : public PlayingWindowTest {
 protected:
  int Bar() { return Window().Document()->CurrentBar; }
  // A click into bar `bar` (all on the first view line), with Shift for a selection.
  void ClickBar(int bar, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    Osnova& doc = *Window().Document();
    const TBar& b = doc.Bar(static_cast<uint16_t>(bar));
    const int H = view::LineHeight(ShownInstrumentRows(doc));
    QTest::mouseClick(Window().View(), Qt::LeftButton, modifiers,
                      QPoint(81 + 11 * (b.StartCol + 1) + 4, H * b.ViewLine + 55));
  }
};

TEST_F(PracticeWindowTest, SpacePlaysFromTheCursorAndStopsUnlessTheKeyMapHasIt) {
  TFmain& w = Ready();
  Press(Qt::Key_Right);
  Press(Qt::Key_Space);
  ASSERT_TRUE(w.Metronom().Running());
  EXPECT_EQ(w.Metronom().Mode(), PlayFromCursor);
  Play(2);
  EXPECT_EQ(w.Cursor()->Column, 4 + 2) << "from the cursor, one position per column";
  Press(Qt::Key_Space);
  EXPECT_FALSE(w.Metronom().Running());
  Press(Qt::Key_Space, Qt::ShiftModifier);
  EXPECT_EQ(w.Metronom().Mode(), PlayBar);
  Press(Qt::Key_Escape);
  EXPECT_FALSE(w.Metronom().Running());
  Press(Qt::Key_Space, Qt::ControlModifier);
  EXPECT_EQ(w.Metronom().Mode(), PlaySong);
  Press(Qt::Key_Space);
  EXPECT_FALSE(w.Metronom().Running());
  EXPECT_TRUE(Item("Play1")->text().endsWith("\tSpace")) << "the key is shown in the menu";

  // A key-map entry the user set to Space enters its note instead.
  Window().Settings().KeyMap[0] = 0x20;  // VK_SPACE
  const std::size_t before = NoteOns().size();
  Press(Qt::Key_Space);
  EXPECT_FALSE(w.Metronom().Running());
  EXPECT_GT(NoteOns().size(), before);
}

TEST_F(PracticeWindowTest, TheSongTempoSetsThePlaybackTempoWhichAloneChangesOnlyWhatIsHeard) {
  TFmain& w = Ready();
  auto* speed = Find<QLabel>("LSpeed");
  EXPECT_EQ(speed->text(), "Heard: 120 bpm, 100 %");
  TypeAndLeave(Find<TempoBox>("ETempo"), "90");
  EXPECT_EQ(Find<TempoBox>("ESped")->value(), 90);
  EXPECT_EQ(w.Document()->Tempo, 90);
  Find<QToolButton>("BPLay")->click();
  TypeAndLeave(Find<TempoBox>("ESped"), "45");
  EXPECT_EQ(w.Metronom().Tempo(), 45);
  EXPECT_EQ(w.Document()->Tempo, 90) << "the song keeps its tempo";
  EXPECT_EQ(speed->text(), "Heard: 45 bpm, 50 %");
  dialogs.Answers.push_back(true);  // the changed song tempo is not kept
  Item("New1")->trigger();
  TypeAndLeave(Find<TempoBox>("ETempo"), "97");
  EXPECT_EQ(speed->text(), "Heard: 97 bpm, 100 %") << "both boxes follow the song";
  Find<QToolButton>("BStop")->click();
}

TEST_F(PracticeWindowTest, ShiftClickSelectsBarsToLoopAndLoopPartLoopsThePartAtTheCursor) {
  TFmain& w = Ready();
  ClickBar(1);
  ASSERT_EQ(Bar(), 1);
  ClickBar(2, Qt::ShiftModifier);
  ASSERT_EQ(Bar(), 2);
  PracticePanel& practice = w.Practice();
  ASSERT_TRUE(practice.SelectedBars());
  EXPECT_EQ(practice.SelectedBars()->First, 1);
  EXPECT_EQ(practice.SelectedBars()->Last, 2);
  EXPECT_TRUE(practice.LoopBars1->isChecked());
  EXPECT_EQ(practice.LoopBars1->text(), "Loop selected ba&rs 2-3");
  ClickBar(0);
  Item("Play1")->trigger();
  EXPECT_EQ(Bar(), 1) << "a loop starts at its first bar when the cursor is outside it";
  Play(32);
  EXPECT_EQ(Bar(), 1) << "after bars 2 and 3, round to bar 2";
  EXPECT_EQ(w.Cursor()->Column - w.Document()->Current().StartCol, 0);
  Find<QToolButton>("BStop")->click();

  // A part: bars 3..4 (index 2 and 3) named "Chorus"; the cursor in it loops those two bars.
  w.Document()->SongParts = {TSongPart{2, "Chorus"}, TSongPart{4, "Outro"}};
  practice.LoopPart1->trigger();
  EXPECT_FALSE(practice.LoopBars1->isChecked());
  ClickBar(3);
  Item("Play1")->trigger();
  Play(14);  // the clicked column is position 1: to the bar's end
  EXPECT_EQ(Bar(), 3);
  Play(1);
  EXPECT_EQ(Bar(), 2) << "round to the part's first bar";
  Play(31);
  EXPECT_EQ(Bar(), 3);
  EXPECT_EQ(w.Cursor()->Column - w.Document()->Current().StartCol, 15);
  Find<QToolButton>("BStop")->click();
}

TEST_F(PracticeWindowTest, PracticeSettingsAreKeptInSettingsIniNotInTheOptionsFile) {
  TFmain& w = Ready();
  Item("Click2")->trigger();        // eighths
  Item("CountIn1Bars")->trigger();  // one bar
  Item("ClickVolume50")->trigger();
  QSettings settings(QString::fromStdString(OptionsFolder() + "/settings.ini"), QSettings::IniFormat);
  EXPECT_EQ(settings.value("Practice/Click").toInt(), 2);
  EXPECT_EQ(settings.value("Practice/CountInBars").toInt(), 1);
  EXPECT_EQ(settings.value("Practice/ClickVolume").toInt(), 50);
  const PracticeOptions options = w.Practice().OptionsFor(*w.Document(), 0);
  EXPECT_EQ(options.Click, ClickMode::Eighth);
  EXPECT_EQ(options.CountInBars, 1);
  EXPECT_FALSE(options.Trainer.On);

  // The count-in plays before the cursor moves: the cursor waits on its column through it.
  Item("Play1")->trigger();
  Play(8);
  EXPECT_EQ(w.Cursor()->Column, 0);
  Play(9);
  EXPECT_EQ(w.Cursor()->Column, 1);
  Find<QToolButton>("BStop")->click();
}

}  // namespace

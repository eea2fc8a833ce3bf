// Playback through the real window on a fake play clock: the commands start and stop it, the cursor
// box and the bar boxes follow the music, the clock label counts, and edits made while it plays are
// heard and never trip it up.
#include <QCheckBox>
#include <QLabel>
#include <QScrollBar>
#include <QTimer>

#include "midi/drum_map.h"
#include "midi/playback.h"
#include "tests/ui/playing_window_fixture.h"
#include "tests/ui/wait.h"

namespace {

class PlaybackWindowTest : public PlayingWindowTest {
 protected:
  struct Where {
    int Bar;
    int Position;
    bool operator==(const Where&) const = default;
  };
  Where Cursor() {
    const Osnova& doc = *Window().Document();
    return {doc.CurrentBar, Window().Cursor()->Column - doc.Current().StartCol};
  }
  // The note-ons of the last column sent (program change, eight note-ons, eight note-offs).
  std::vector<uint32_t> LastColumnNoteOns() {
    std::vector<uint32_t> on;
    const auto& sent = midi.Sent;
    if (sent.size() < 17) return on;
    for (std::size_t i = sent.size() - 16; i < sent.size() - 8; ++i) on.push_back(sent[i]);
    return on;
  }

};

TEST_F(PlaybackWindowTest, ButtonsAndMenuItemsPlayAndStopWithTheCursorAndBarBoxesFollowing) {
  TFmain& w = Ready();
  w.Document()->EditBar(1).Comment = "Fill";
  w.Document()->SongParts.push_back(TSongPart{1, "Verse"});
  Find<QToolButton>("SpeedButton29")->click();  // bar 1 in 3/4
  Find<QComboBox>("ETakt1")->setCurrentIndex(2);
  Find<QComboBox>("ETakt1")->activated(2);
  Find<QToolButton>("SpeedButton30")->click();
  Press(Qt::Key_Left);
  ASSERT_EQ(Cursor(), (Where{0, 0}));
  QTest::mouseClick(Find<QToolButton>("BPLay"), Qt::LeftButton);
  EXPECT_TRUE(w.Metronom().Running());
  EXPECT_EQ(w.Cursor()->Pace, 1);
  Play(17);
  EXPECT_EQ(Cursor(), (Where{1, 1}));
  EXPECT_EQ(Find<QSpinBox>("EAbar")->value(), 1);
  EXPECT_EQ(Find<QScrollBar>("ScrollBar1")->value(), 2);
  EXPECT_EQ(Find<CommentBox>("Ecom")->text(), "Fill");
  EXPECT_EQ(Find<QComboBox>("cbSong")->currentText(), "Verse");
  EXPECT_EQ(Find<QComboBox>("ETakt1")->currentText(), "3");
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());
  QTest::mouseClick(Find<QToolButton>("BStop"), Qt::LeftButton);
  EXPECT_FALSE(w.Metronom().Running());
  EXPECT_EQ(w.Cursor()->Pace, 4) << "the pace of the Pace box again";

  // Play song starts at the first bar; the Stop item stops it.
  Item("Playsong1")->trigger();
  EXPECT_EQ(Cursor(), (Where{0, 0}));
  EXPECT_EQ(Find<QSpinBox>("EAbar")->value(), 0);
  Play(3);
  EXPECT_EQ(Cursor(), (Where{0, 3}));
  Item("Stop1")->trigger();
  EXPECT_FALSE(w.Metronom().Running());

  // Play bar from the middle of bar 2 starts at the bar's start and, without Loop, stops on its
  // last column by itself.
  Find<QToolButton>("SpeedButton29")->click();
  Find<QToolButton>("SpeedButton29")->click();
  ASSERT_EQ(Cursor(), (Where{2, 3}));
  QTest::mouseClick(Find<QToolButton>("BPLayBar"), Qt::LeftButton);
  EXPECT_EQ(Cursor(), (Where{2, 0}));
  clock->Grant(15);
  ASSERT_TRUE(WaitUntil([&] { return !w.Metronom().Running(); }));
  EXPECT_EQ(Cursor(), (Where{2, 15}));
  EXPECT_EQ(w.Cursor()->Pace, 4);
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());

  // The Play item with Loop on the last bar: round to the first bar.
  Find<QCheckBox>("chLoop")->setChecked(true);
  for (int i = 0; i < 9; ++i) Find<QToolButton>("SpeedButton29")->click();
  Item("Play1")->trigger();
  Play(1);
  EXPECT_EQ(Cursor(), (Where{0, 0}));
  EXPECT_EQ(Find<QSpinBox>("EAbar")->value(), 0);
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());
}

TEST_F(PlaybackWindowTest, TheClockLabelCountsFromEachStartAndStopsWithPlayback) {
  TFmain& w = Ready(5);
  auto* time = w.findChild<QTimer*>("Time");
  ASSERT_NE(time, nullptr);
  EXPECT_EQ(Find<QLabel>("LTime")->text(), "15:15");
  Find<QToolButton>("BPLay")->click();
  EXPECT_EQ(Find<QLabel>("LTime")->text(), "00:00");
  ASSERT_TRUE(WaitUntil([&] { return Find<QLabel>("LTime")->text() >= "00:03"; }));  // "mm:ss" sorts as text
  EXPECT_EQ(Find<QLabel>("LTime")->text().toStdString(), w.Clock().AsText());
  Find<QToolButton>("BStop")->click();
  EXPECT_FALSE(time->isActive());
  const QString stopped = Find<QLabel>("LTime")->text();
  QCoreApplication::processEvents();
  EXPECT_EQ(Find<QLabel>("LTime")->text(), stopped);
  Find<QToolButton>("BPLay")->click();
  EXPECT_EQ(Find<QLabel>("LTime")->text(), "00:00") << "every start counts from zero";
  EXPECT_TRUE(time->isActive());
}

TEST_F(PlaybackWindowTest, APlayCommandWhilePlayingIsIgnoredAndNewStopsPlayback) {
  TFmain& w = Ready();
  Find<QToolButton>("SpeedButton29")->click();
  Find<QToolButton>("SpeedButton29")->click();
  Find<QToolButton>("BPLay")->click();
  Play(2);
  EXPECT_EQ(Cursor(), (Where{2, 2}));
  Find<QToolButton>("BPLaySong")->click();  // would go to the first bar
  Find<QToolButton>("BPLayBar")->click();   // would go to the bar's start
  EXPECT_EQ(Cursor(), (Where{2, 2}));
  EXPECT_EQ(w.Metronom().Mode(), PlayFromCursor);

  // The playback tempo box changes the delay of the running playback.
  TypeAndLeave(Find<TempoBox>("ESped"), "60");
  EXPECT_EQ(w.Metronom().Tempo(), 60);
  EXPECT_TRUE(w.Metronom().Running());

  Item("New1")->trigger();
  EXPECT_FALSE(w.Metronom().Running());
  EXPECT_EQ(Cursor(), (Where{0, 0}));
  EXPECT_EQ(w.Cursor()->Pace, 4);

  // Closing stops it before asking, even when the answer keeps the window open.
  Find<QToolButton>("BPLay")->click();
  ASSERT_TRUE(w.Metronom().Running());
  dialogs.Answers.push_back(false);
  w.close();
  EXPECT_FALSE(w.Metronom().Running());
  EXPECT_TRUE(w.isVisible());
}

TEST_F(PlaybackWindowTest, ANoteEnteredWhilePlayingIsHeardInTheNextColumn) {
  TFmain& w = Ready();
  Find<QComboBox>("RPace")->setCurrentIndex(0);
  Find<QToolButton>("BPLay")->click();
  Play(2);
  ASSERT_EQ(Cursor(), (Where{0, 2}));
  Press(Qt::Key_Right);  // pace 1 while playing: onto the column heard next
  Press(Qt::Key_S);
  ASSERT_TRUE(w.Document()->Bar(0).Rows[RowSnare].Has(3));
  Play(1);
  const uint32_t snare = PackShortMessage(0x99, DrumNoteOf(RowSnare, 0), 94);
  const auto on = LastColumnNoteOns();
  EXPECT_NE(std::find(on.begin(), on.end(), snare), on.end());
  EXPECT_EQ(Cursor(), (Where{0, 3}));

  // The cursor put elsewhere by the next-bar button: that column sounds next, and on from there.
  w.Document()->EditBar(1).Rows[RowBass].Set(3, 0, 0);
  Find<QToolButton>("SpeedButton29")->click();
  Play(1);
  EXPECT_EQ(Cursor(), (Where{1, 3}));
  const uint32_t bass = PackShortMessage(0x99, DrumNoteOf(RowBass, 0), 94);
  const auto next = LastColumnNoteOns();
  EXPECT_NE(std::find(next.begin(), next.end(), bass), next.end());
  Play(1);
  EXPECT_EQ(Cursor(), (Where{1, 4}));

  // Another device chosen while playing gets the next column.
  ASSERT_TRUE(w.ComboBox2Change(1));
  const std::size_t sent = midi.Sent.size();
  Play(1);
  EXPECT_EQ(midi.Sent.size(), sent + 17);
}

TEST_F(PlaybackWindowTest, BarCommandsUndoAndRedoWhilePlayingKeepPlaybackOnTheCursor) {
  TFmain& w = Ready();
  for (int i = 0; i < 11; ++i) Find<QToolButton>("SpeedButton29")->click();
  Find<QCheckBox>("chLoop")->setChecked(true);
  Find<QToolButton>("BPLay")->click();
  Play(3);
  Find<QToolButton>("SpeedButton9")->click();  // remove the last bar under the cursor
  EXPECT_EQ(w.Document()->BarCount, 11);
  Play(2);
  Find<QToolButton>("SpeedButton10")->click();  // insert
  Play(2);
  Find<QToolButton>("SpeedButton11")->click();  // clear
  Find<QToolButton>("BUndo")->click();
  Play(2);
  Find<QToolButton>("BUndo")->click();
  Find<QToolButton>("BRedo")->click();
  Play(20);
  Find<QComboBox>("ETakt1")->setCurrentIndex(2);  // 3/4
  Find<QComboBox>("ETakt1")->activated(2);
  Play(20);
  EXPECT_TRUE(w.Metronom().Running());
  const Osnova& doc = *w.Document();
  ASSERT_LT(doc.CurrentBar, doc.BarCount);
  EXPECT_LT(Cursor().Position, doc.Current().Length);
  EXPECT_EQ(Find<QSpinBox>("EAbar")->value(), doc.CurrentBar);
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());
  Find<QToolButton>("BStop")->click();
}

}  // namespace

// Playback through the real window on a fake play clock: the commands start and stop it, the cursor
// box and the bar boxes follow the music, the clock label counts, and edits made while it plays are
// heard and never trip it up.
#include <QCheckBox>
#include <QLabel>
#include <QScrollBar>
#include <QTimer>

#include "midi/drum_map.h"
#include "midi/playback.h"
#include "tests/midi/fake_play_clock.h"
#include "tests/ui/main_window_fixture.h"
#include "tests/ui/wait.h"

namespace {

class PlaybackWindowTest : public MainWindowTest {
 protected:
  // A window with a new song, playing on a clock the test advances.
  TFmain& Ready(int tickMilliseconds = 1000) {
    TFmain& w = Window();
    auto fake = std::make_unique<FakePlayClock>();
    clock = fake.get();
    w.SetPlayClock(std::move(fake), tickMilliseconds);
    w.NewDocument();
    return w;
  }
  // Lets `columns` more columns sound and the window catch up with them.
  void Play(int columns) {
    clock->Grant(columns);
    ASSERT_TRUE(clock->WaitParked());
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
  }
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

  FakePlayClock* clock = nullptr;
};

TEST_F(PlaybackWindowTest, ButtonsAndMenuItemsPlayAndStopWithTheCursorAndBarBoxesFollowing) {
  TFmain& w = Ready();
  w.Document()->EditBar(1).Comment = "Fill";
  w.Document()->SongParts.push_back(TSongPart{1, "Verse"});
  w.SpeedButton29->click();  // bar 1 in 3/4
  w.ETakt1->setCurrentIndex(2);
  w.ETakt1->activated(2);
  w.SpeedButton30->click();
  Press(Qt::Key_Left);
  ASSERT_EQ(Cursor(), (Where{0, 0}));
  QTest::mouseClick(w.BPLay, Qt::LeftButton);
  EXPECT_TRUE(w.Metronom().Running());
  EXPECT_EQ(w.Cursor()->Pace, 1);
  Play(17);
  EXPECT_EQ(Cursor(), (Where{1, 1}));
  EXPECT_EQ(w.EAbar->value(), 1);
  EXPECT_EQ(w.ScrollBar1->value(), 2);
  EXPECT_EQ(w.Ecom->text(), "Fill");
  EXPECT_EQ(w.cbSong->currentText(), "Verse");
  EXPECT_EQ(w.ETakt1->currentText(), "3");
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());
  QTest::mouseClick(w.BStop, Qt::LeftButton);
  EXPECT_FALSE(w.Metronom().Running());
  EXPECT_EQ(w.Cursor()->Pace, 4) << "the pace of the Pace box again";

  // Play song starts at the first bar; the Stop item stops it.
  Item("Playsong1")->trigger();
  EXPECT_EQ(Cursor(), (Where{0, 0}));
  EXPECT_EQ(w.EAbar->value(), 0);
  Play(3);
  EXPECT_EQ(Cursor(), (Where{0, 3}));
  Item("Stop1")->trigger();
  EXPECT_FALSE(w.Metronom().Running());

  // Play bar from the middle of bar 2 starts at the bar's start and, without Loop, stops on its
  // last column by itself.
  w.SpeedButton29->click();
  w.SpeedButton29->click();
  ASSERT_EQ(Cursor(), (Where{2, 3}));
  QTest::mouseClick(w.BPLayBar, Qt::LeftButton);
  EXPECT_EQ(Cursor(), (Where{2, 0}));
  clock->Grant(15);
  ASSERT_TRUE(WaitUntil([&] { return !w.Metronom().Running(); }));
  EXPECT_EQ(Cursor(), (Where{2, 15}));
  EXPECT_EQ(w.Cursor()->Pace, 4);
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());

  // The Play item with Loop on the last bar: round to the first bar.
  w.chLoop->setChecked(true);
  for (int i = 0; i < 9; ++i) w.SpeedButton29->click();
  Item("Play1")->trigger();
  Play(1);
  EXPECT_EQ(Cursor(), (Where{0, 0}));
  EXPECT_EQ(w.EAbar->value(), 0);
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());
}

TEST_F(PlaybackWindowTest, TheClockLabelCountsFromEachStartAndStopsWithPlayback) {
  TFmain& w = Ready(5);
  auto* time = w.findChild<QTimer*>("Time");
  ASSERT_NE(time, nullptr);
  EXPECT_EQ(w.LTime->text(), "15:15");
  w.BPLay->click();
  EXPECT_EQ(w.LTime->text(), "00:00");
  ASSERT_TRUE(WaitUntil([&] { return w.LTime->text() >= "00:03"; }));  // "mm:ss" sorts as text
  EXPECT_EQ(w.LTime->text().toStdString(), w.Clock().AsText());
  w.BStop->click();
  EXPECT_FALSE(time->isActive());
  const QString stopped = w.LTime->text();
  QCoreApplication::processEvents();
  EXPECT_EQ(w.LTime->text(), stopped);
  w.BPLay->click();
  EXPECT_EQ(w.LTime->text(), "00:00") << "every start counts from zero";
  EXPECT_TRUE(time->isActive());
}

TEST_F(PlaybackWindowTest, APlayCommandWhilePlayingIsIgnoredAndNewStopsPlayback) {
  TFmain& w = Ready();
  w.SpeedButton29->click();
  w.SpeedButton29->click();
  w.BPLay->click();
  Play(2);
  EXPECT_EQ(Cursor(), (Where{2, 2}));
  w.BPLaySong->click();  // would go to the first bar
  w.BPLayBar->click();   // would go to the bar's start
  EXPECT_EQ(Cursor(), (Where{2, 2}));
  EXPECT_EQ(w.Metronom().Mode(), PlayFromCursor);

  // The playback tempo box changes the delay of the running playback.
  TypeAndLeave(w.ESped, "60");
  EXPECT_EQ(w.Metronom().Tempo(), 60);
  EXPECT_TRUE(w.Metronom().Running());

  Item("New1")->trigger();
  EXPECT_FALSE(w.Metronom().Running());
  EXPECT_EQ(Cursor(), (Where{0, 0}));
  EXPECT_EQ(w.Cursor()->Pace, 4);

  // Closing stops it before asking, even when the answer keeps the window open.
  w.BPLay->click();
  ASSERT_TRUE(w.Metronom().Running());
  dialogs.Answers.push_back(false);
  w.close();
  EXPECT_FALSE(w.Metronom().Running());
  EXPECT_TRUE(w.isVisible());
}

TEST_F(PlaybackWindowTest, ANoteEnteredWhilePlayingIsHeardInTheNextColumn) {
  TFmain& w = Ready();
  w.RPace->setCurrentIndex(0);
  w.BPLay->click();
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
  w.SpeedButton29->click();
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
  for (int i = 0; i < 11; ++i) w.SpeedButton29->click();
  w.chLoop->setChecked(true);
  w.BPLay->click();
  Play(3);
  w.SpeedButton9->click();  // remove the last bar under the cursor
  EXPECT_EQ(w.Document()->BarCount, 11);
  Play(2);
  w.SpeedButton10->click();  // insert
  Play(2);
  w.SpeedButton11->click();  // clear
  w.BUndo->click();
  Play(2);
  w.BUndo->click();
  w.BRedo->click();
  Play(20);
  w.ETakt1->setCurrentIndex(2);  // 3/4
  w.ETakt1->activated(2);
  Play(20);
  EXPECT_TRUE(w.Metronom().Running());
  const Osnova& doc = *w.Document();
  ASSERT_LT(doc.CurrentBar, doc.BarCount);
  EXPECT_LT(Cursor().Position, doc.Current().Length);
  EXPECT_EQ(w.EAbar->value(), doc.CurrentBar);
  EXPECT_EQ(w.View()->Image(), ExpectedPicture());
  w.BStop->click();
}

}  // namespace

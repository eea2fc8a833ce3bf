// File > Export > "Audio File": the save dialog, the render off the UI thread with its progress
// dialog, Cancel, and the boxes shown for refusals and failures.
#include <sndfile.h>

#include <QDialog>
#include <QProgressBar>
#include <QPushButton>

#include "audio/audio_export.h"
// GCC 12 at -O2 sees an uninitialised QString inside std::optional in the scripted dialogs' queue
// (a false positive of its inliner).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "tests/ui/main_window_fixture.h"
#pragma GCC diagnostic pop
#include "tests/ui/wait.h"

namespace {

int64_t FramesOf(const QString& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
  if (!file) return -1;
  sf_close(file);
  return info.frames;
}

}  // namespace

class MainWindowAudioTest : public MainWindowTest {
 protected:
  QDialog* Progress() { return Window().findChild<QDialog*>("AudioExportProgress"); }
  bool Idle() { return Progress() == nullptr; }
  // Files in the test folder other than the song itself.
  QStringList Outputs() {
    QStringList names = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
    names.removeAll("song.gvlm");
    return names;
  }
  void OpenSong(int bars) {
    Osnova song(4, static_cast<uint16_t>(bars), 4);
    for (auto& bar : song.Bars) {
      bar->Rows[RowBass].Set(0, 0, 0);
      bar->Rows[RowSnare].Set(8, 0, 1);
    }
    dialogs.OpenAnswers = {WriteTabFile("song.gvlm", song)};
    Window().OpenDocument();
  }
};

TEST_F(MainWindowAudioTest, ExportsAtTheTempoBoxesTempoWithAProgressDialog) {
  TFmain& w = Window();
  OpenSong(1);
  TypeAndLeave(w.ETempo, "60");  // the snare at position 8 sounds at 2 s, not 1 s
  const QString path = PathIn("song.wav");
  dialogs.SaveAnswers = {path};
  w.AudioFile1->trigger();
  ASSERT_NE(Progress(), nullptr);
  EXPECT_TRUE(Progress()->isVisible());
  EXPECT_TRUE(Progress()->isModal());
  EXPECT_EQ(dialogs.Log().back().Title, "Export the song to an audio file");
  EXPECT_EQ(dialogs.Log().back().Request.DefaultSuffix, "wav");
  ASSERT_TRUE(WaitUntil([&] { return Idle(); }));
  EXPECT_GT(FramesOf(path), 2 * 44100);
  EXPECT_LT(FramesOf(path), 3 * 44100);
  EXPECT_TRUE(dialogs.Messages().empty());
  EXPECT_EQ(Outputs(), QStringList{"song.wav"});
}

TEST_F(MainWindowAudioTest, CancelAndClosingTheWindowLeaveNoFile) {
  TFmain& w = Window();
  OpenSong(3000);  // 6000 s of audio: seconds of work, far longer than a click takes
  dialogs.SaveAnswers = {PathIn("long.flac")};
  w.AudioFile1->trigger();
  ASSERT_NE(Progress(), nullptr);
  auto* cancel = Progress()->findChild<QPushButton*>("AudioExportCancel");
  ASSERT_NE(cancel, nullptr);
  QTest::mouseClick(cancel, Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return Idle(); }));
  EXPECT_TRUE(Outputs().isEmpty()) << Outputs().join(' ').toStdString();
  EXPECT_TRUE(dialogs.Messages().empty());

  // The window going away in the middle of a render stops it and cleans up.
  dialogs.SaveAnswers = {PathIn("long.ogg")};
  w.AudioFile1->trigger();
  ASSERT_NE(Progress(), nullptr);
  ASSERT_TRUE(WaitUntil([&] { return Progress()->findChild<QProgressBar*>()->value() > 0; }));
  window.reset();
  EXPECT_TRUE(Outputs().isEmpty()) << Outputs().join(' ').toStdString();
}

TEST_F(MainWindowAudioTest, RefusalsAndFailuresAreShownAndLeaveOldFiles) {
  TFmain& w = Window();
  w.NewDocument();
  dialogs.SaveAnswers = {PathIn("silent.wav")};
  w.AudioFile1->trigger();
  ASSERT_TRUE(WaitUntil([&] { return Idle() && !dialogs.Messages().empty(); }));
  EXPECT_EQ(dialogs.Messages().back(), kSilentSongMessage);
  EXPECT_EQ(dialogs.Log().back().BoxIcon, DialogService::Icon::Warning);

  Press(Qt::Key_S);  // a snare at the cursor
  dialogs.SaveAnswers = {PathIn("song.mp3")};
  w.AudioFile1->trigger();
  EXPECT_TRUE(Idle());
  EXPECT_TRUE(dialogs.Messages().back().endsWith("the name must end in .wav, .flac or .ogg"));

  QFile old(PathIn("old.wav"));
  ASSERT_TRUE(old.open(QIODevice::WriteOnly));
  old.write("old contents");
  old.close();
  gFailWritesAfterBytes = 100;
  dialogs.SaveAnswers = {PathIn("old.wav")};
  w.AudioFile1->trigger();
  ASSERT_TRUE(WaitUntil([&] { return Idle(); }));
  EXPECT_EQ(dialogs.Messages().back(), QString("Cannot write \"%1\": Input/output error").arg(PathIn("old.wav")));
  EXPECT_EQ(dialogs.Log().back().BoxIcon, DialogService::Icon::Error);
  EXPECT_EQ(Contents(PathIn("old.wav")), "old contents");
  EXPECT_EQ(Outputs(), QStringList{"old.wav"});
  EXPECT_TRUE(dialogs.Drained());
}

// File > Export > "Audio File": the save dialog, the render off the UI thread with its progress
// dialog, Cancel, and the boxes shown for refusals and failures.
#include <sndfile.h>

#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <cmath>

#include "audio/audio_export.h"
#include "ui/audio_export_dialog.h"
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

float PeakOf(const QString& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
  if (!file) return -1;
  std::vector<float> samples(static_cast<std::size_t>(info.frames * info.channels));
  sf_readf_float(file, samples.data(), info.frames);
  sf_close(file);
  float peak = 0;
  for (float s : samples) peak = std::max(peak, std::fabs(s));
  return peak;
}

// The real save dialog for the audio export: picks the file type `downs` entries below the first
// in its type box, types `name` and presses Enter.
std::optional<QString> SaveAudioAs(const QString& folder, int downs, const QString& name) {
  FileDialogSpec request = AudioExportJob::SaveAudioSpec();
  request.InitialFolder = folder;
  bool typed = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (typed || !dialog || !dialog->isVisible()) return;
    typed = true;
    auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
    auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
    if (!types || !edit) {
      ADD_FAILURE() << "no file type box or name field";
      dialog->reject();
      return;
    }
    types->setFocus();
    for (int i = 0; i < downs; ++i) QTest::keyClick(types, Qt::Key_Down);
    edit->setFocus();
    QTest::keyClicks(edit, name);
    QTest::keyClick(edit, Qt::Key_Return);
  });
  poll.start(10);
  QtDialogService service;
  return service.SaveFile(nullptr, request);
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
    for (int b = 0; b < bars; ++b) {
      TBar* bar = &song.EditBar(b);
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
  TypeAndLeave(Find<TempoBox>("ETempo"), "60");  // the snare at position 8 sounds at 2 s, not 1 s
  const QString path = PathIn("song.wav");
  dialogs.SaveAnswers = {path};
  Find<QAction>("AudioFile1")->trigger();
  ASSERT_NE(Progress(), nullptr);
  EXPECT_TRUE(Progress()->isVisible());
  EXPECT_TRUE(Progress()->isModal());
  EXPECT_EQ(dialogs.Log().back().Title, "Export the song to an audio file");
  EXPECT_EQ(dialogs.Log().back().Request.DefaultSuffix, "wav");
  ASSERT_TRUE(WaitUntil([&] { return Idle(); }));
  // The whole bar: four seconds at tempo 60.
  EXPECT_GE(FramesOf(path), 4 * 44100);
  EXPECT_LT(FramesOf(path), 5 * 44100);
  EXPECT_NEAR(PeakOf(path), kNormalizedPeak, 1e-4);
  EXPECT_TRUE(dialogs.Messages().empty());
  EXPECT_EQ(Outputs(), QStringList{"song.wav"});

  // Unticked, the export keeps the synthesizer's level.
  auto* normalize = w.findChild<QAction*>("NormalizeAudio1");
  ASSERT_NE(normalize, nullptr);
  ASSERT_TRUE(normalize->isChecked());
  normalize->trigger();
  dialogs.SaveAnswers = {PathIn("quiet.wav")};
  Find<QAction>("AudioFile1")->trigger();
  ASSERT_TRUE(WaitUntil([&] { return Idle(); }));
  EXPECT_GT(PeakOf(PathIn("quiet.wav")), 0.01f);
  EXPECT_LT(PeakOf(PathIn("quiet.wav")), 0.7f);
}

// A name typed without an extension gets the one of the file type chosen in the dialog.
TEST(AudioSaveDialogTest, ChosenFileTypeGivesTheExtension) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  auto chosen = [&](int downs, const QString& name) {
    return SaveAudioAs(folder.path(), downs, name).value_or("(cancelled)").toStdString();
  };
  EXPECT_EQ(chosen(0, "plain"), folder.filePath("plain.wav").toStdString());
  EXPECT_EQ(chosen(1, "song"), folder.filePath("song.flac").toStdString());
  EXPECT_EQ(chosen(2, "song"), folder.filePath("song.ogg").toStdString());
  EXPECT_EQ(chosen(1, "typed.wav"), folder.filePath("typed.wav").toStdString());
}

TEST_F(MainWindowAudioTest, CancelAndClosingTheWindowLeaveNoFile) {
  Window();
  OpenSong(3000);  // 6000 s of audio: seconds of work, far longer than a click takes
  dialogs.SaveAnswers = {PathIn("long.flac")};
  Find<QAction>("AudioFile1")->trigger();
  ASSERT_NE(Progress(), nullptr);
  auto* cancel = Progress()->findChild<QPushButton*>("AudioExportCancel");
  ASSERT_NE(cancel, nullptr);
  QTest::mouseClick(cancel, Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return Idle(); }));
  EXPECT_TRUE(Outputs().isEmpty()) << Outputs().join(' ').toStdString();
  EXPECT_TRUE(dialogs.Messages().empty());

  // The window going away in the middle of a render stops it and cleans up.
  dialogs.SaveAnswers = {PathIn("long.ogg")};
  Find<QAction>("AudioFile1")->trigger();
  ASSERT_NE(Progress(), nullptr);
  ASSERT_TRUE(WaitUntil([&] { return Progress()->findChild<QProgressBar*>()->value() > 0; }));
  window.reset();
  EXPECT_TRUE(Outputs().isEmpty()) << Outputs().join(' ').toStdString();
}

TEST_F(MainWindowAudioTest, RefusalsAndFailuresAreShownAndLeaveOldFiles) {
  TFmain& w = Window();
  w.NewDocument();
  dialogs.SaveAnswers = {PathIn("silent.wav")};
  Find<QAction>("AudioFile1")->trigger();
  ASSERT_TRUE(WaitUntil([&] { return Idle() && !dialogs.Messages().empty(); }));
  EXPECT_EQ(dialogs.Messages().back(), kSilentSongMessage);
  EXPECT_EQ(dialogs.Log().back().BoxIcon, DialogService::Icon::Warning);

  Press(Qt::Key_S);  // a snare at the cursor
  dialogs.SaveAnswers = {PathIn("song.mp3")};
  Find<QAction>("AudioFile1")->trigger();
  EXPECT_TRUE(Idle());
  EXPECT_TRUE(dialogs.Messages().back().endsWith("the name must end in .wav, .flac or .ogg"));

  QFile old(PathIn("old.wav"));
  ASSERT_TRUE(old.open(QIODevice::WriteOnly));
  old.write("old contents");
  old.close();
  TestWriteFaults().FailAfterBytes = 100;
  dialogs.SaveAnswers = {PathIn("old.wav")};
  Find<QAction>("AudioFile1")->trigger();
  ASSERT_TRUE(WaitUntil([&] { return Idle(); }));
  EXPECT_EQ(dialogs.Messages().back(), QString("Cannot write \"%1\": Input/output error").arg(PathIn("old.wav")));
  EXPECT_EQ(dialogs.Log().back().BoxIcon, DialogService::Icon::Error);
  EXPECT_EQ(Contents(PathIn("old.wav")), "old contents");
  EXPECT_EQ(Outputs(), QStringList{"old.wav"});
  EXPECT_TRUE(dialogs.Drained());
}

#include "ui/audio_export_dialog.h"

#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "audio/audio_export.h"
#include "audio/sound_file_writer.h"
#include "files/tab_file.h"
#include "ui/export_commands.h"
#include "ui/local_path.h"

namespace {

constexpr int kSteps = 1000;

// A plain dialog rather than QProgressDialog: that one runs the event loop inside setValue when it
// is modal, which would let any handler run in the middle of a progress update.
class AudioProgressDialog : public QDialog {
 public:
  AudioProgressDialog(QWidget* parent, const QString& fileName) : QDialog(parent) {
    setObjectName("AudioExportProgress");
    setWindowTitle(QStringLiteral("Audio file"));
    setWindowModality(Qt::WindowModal);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QStringLiteral("Rendering \"%1\"...").arg(fileName), this);
    Bar = new QProgressBar(this);
    Bar->setObjectName("AudioExportBar");
    Bar->setRange(0, kSteps);
    Bar->setValue(0);
    Bar->setMinimumWidth(320);
    Cancel = new QPushButton(QStringLiteral("Cancel"), this);
    Cancel->setObjectName("AudioExportCancel");
    layout->addWidget(label);
    layout->addWidget(Bar);
    layout->addWidget(Cancel, 0, Qt::AlignRight);
    connect(Cancel, &QPushButton::clicked, this, &QDialog::reject);
  }
  QProgressBar* Bar = nullptr;
  QPushButton* Cancel = nullptr;
};

const QString kTitle = QStringLiteral("Grooveloom demo");

}  // namespace

AudioExportJob::AudioExportJob(QWidget* window, DialogService& dialogs) : window_(window), dialogs_(dialogs) {}

AudioExportJob::~AudioExportJob() {
  cancel_ = true;
  if (worker_.joinable()) worker_.join();
  delete progress_.data();
}

FileDialogSpec AudioExportJob::SaveAudioSpec() {
  return SaveDialogRequest(QStringLiteral("Export the song to an audio file"),
                           QStringLiteral("WAV files (*.wav);;FLAC files (*.flac);;Ogg Vorbis files (*.ogg);;"
                                          "All Files (*)"),
                           QStringLiteral("wav"));
}

bool AudioExportJob::Start(const Osnova& doc, int tempo, const std::array<uint8_t, kRowCount>& kit, bool normalize,
                           ClickMode click, int clickVolume) {
  if (Running()) return false;
  const std::optional<QString> chosen = dialogs_.SaveFile(window_, OfferingSongName(SaveAudioSpec(), doc));
  if (!chosen) return false;
  path_ = *chosen;
  // File names go to the system in its own encoding, not the document's code page.
  const std::string path = LocalPathString(path_);
  if (!AudioFormatOf(path)) {
    dialogs_.Message(window_, DialogService::Icon::Error, kTitle,
                     QStringLiteral("Cannot write \"%1\": the name must end in .wav, .flac or .ogg").arg(path_));
    return false;
  }

  auto* dialog = new AudioProgressDialog(window_, QFileInfo(path_).fileName());
  progress_ = dialog;
  connect(dialog, &QDialog::rejected, this, [this] { cancel_ = true; });
  dialog->open();

  AudioExportSettings settings;
  settings.Tempo = tempo;
  settings.Kit = kit;
  settings.Normalize = normalize;
  settings.Click = click;
  settings.ClickVolume = clickVolume;
  cancel_ = false;
  // The render reads its own copy of the song, made here in a few milliseconds even for a long one.
  worker_ = std::thread([this, snapshot = WriteTabBytes(doc), settings, path] {
    std::string error;
    AudioExportResult result = AudioExportResult::Failed;
    if (auto copy = ReadTabBytes(snapshot)) {
      int shown = -1;
      auto progress = [this, &shown](int64_t done, int64_t total) {
        const int step = total > 0 ? static_cast<int>(std::min<int64_t>(done * kSteps / total, kSteps)) : 0;
        if (step != shown) {
          shown = step;
          QMetaObject::invokeMethod(
              this,
              [this, step] {
                if (auto* open = static_cast<AudioProgressDialog*>(progress_.data())) open->Bar->setValue(step);
              },
              Qt::QueuedConnection);
        }
        return !cancel_;
      };
      result = ExportAudio(*copy, path, settings, progress, error);
    } else {
      error = "The song could not be copied for rendering";
    }
    QMetaObject::invokeMethod(
        this, [this, result, message = QString::fromLocal8Bit(error.c_str())] { Finish(static_cast<int>(result), message); },
        Qt::QueuedConnection);
  });
  return true;
}

void AudioExportJob::Finish(int result, const QString& error) {
  if (worker_.joinable()) worker_.join();
  if (progress_) {
    progress_->hide();
    progress_->deleteLater();
  }
  progress_.clear();
  if (static_cast<AudioExportResult>(result) != AudioExportResult::Failed) return;
  if (error == QLatin1String(kSilentSongMessage))
    dialogs_.Message(window_, DialogService::Icon::Warning, kTitle, error);
  else
    dialogs_.Message(window_, DialogService::Icon::Error, kTitle, QStringLiteral("Cannot write \"%1\": %2").arg(path_, error));
}

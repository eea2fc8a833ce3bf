// File > Export > "Audio File": the save dialog, then the render on a thread of its own while a
// progress dialog with Cancel shows how far it has got. The window stays responsive; the render
// works on a copy of the song, so nothing it reads can change under it.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <array>
#include <atomic>
#include <cstdint>
#include <thread>

#include "midi/practice.h"
#include "model/tab_document.h"
#include "ui/dialogs.h"

class QDialog;
class QWidget;

class AudioExportJob : public QObject {
  Q_OBJECT

 public:
  AudioExportJob(QWidget* window, DialogService& dialogs);
  ~AudioExportJob() override;  // cancels a render still running and waits for it

  // Asks for the file and starts rendering `doc` at `tempo` with `kit`, its peak brought to -1 dBFS
  // when `normalize`, with the metronome `click` mixed in; false when nothing started (the dialog was
  // cancelled, or a render is already running).
  bool Start(const Osnova& doc, int tempo, const std::array<uint8_t, kRowCount>& kit, bool normalize = true,
             ClickMode click = ClickMode::Off, int clickVolume = 80);
  bool Running() const { return worker_.joinable(); }

  static FileDialogSpec SaveAudioSpec();

 private:
  void Finish(int result, const QString& error);  // on the UI thread, queued from the render

  QWidget* window_;
  DialogService& dialogs_;
  std::thread worker_;
  std::atomic<bool> cancel_{false};
  QPointer<QDialog> progress_;  // while a render runs
  QString path_;
};

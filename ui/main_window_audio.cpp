// File > Export > "Audio File": the song at the tempo box's tempo, with the kit playback uses,
// normalised unless "Normalize Audio Files" is unticked.
#include "ui/audio_export_dialog.h"
#include "ui/main_window.h"
#include "ui/main_window_widgets.h"
#include "ui/practice_panel.h"

void TFmain::AudioFile1Click() {
  if (!DocumentShown()) return;
  if (!audioExport_) audioExport_ = std::make_unique<AudioExportJob>(this, dialogs_);
  const auto* normalize = findChild<QAction*>("NormalizeAudio1");
  const PracticePanel& practice = Practice();
  audioExport_->Start(*Document(), ETempo->value(), settings_.GlobalKit, !normalize || normalize->isChecked(),
                      practice.ClickInExport(), practice.ClickVolume());
}

// File > Export > "Audio File": the song at the tempo box's tempo, with the kit playback uses.
#include "ui/audio_export_dialog.h"
#include "ui/main_window.h"
#include "ui/main_window_widgets.h"
#include "ui/practice_panel.h"

void TFmain::AudioFile1Click() {
  if (!DocumentShown()) return;
  if (!audioExport_) audioExport_ = std::make_unique<AudioExportJob>(this, dialogs_);
  const PracticePanel& practice = Practice();
  audioExport_->Start(*doc_, ETempo->value(), GlobalKit, practice.ClickInExport(), practice.ClickVolume());
}

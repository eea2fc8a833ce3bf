// The practice items of the Playback menu and what the window shows of them: the metronome click
// and its volume, the count-in, looping the song part at the cursor or the bars selected with
// Shift+click, the speed trainer, and the tempo heard beside the playback tempo box. Kept in
// settings.ini beside the options file.
#pragma once

#include <QObject>
#include <QString>
#include <initializer_list>
#include <optional>

#include "midi/practice.h"

class TFmain;
class QAction;
class QActionGroup;
class QLabel;
class QMenu;
struct PlaybackStep;

class PracticePanel : public QObject {
  Q_OBJECT

 public:
  explicit PracticePanel(TFmain& window);
  ~PracticePanel() override;

  // What a play command starting at `bar` plays with.
  PracticeOptions OptionsFor(const Osnova& doc, uint16_t bar, bool countIn = true) const;
  // A bar clicked with Shift: the bars from `anchor` to `bar` become the selected range.
  void SelectBars(uint16_t anchor, uint16_t bar);
  std::optional<BarRange> SelectedBars() const { return selected_; }
  void ShowStep(const PlaybackStep& step);
  void ShowTempoHeard(int centiBpm);
  void TempoBoxesChanged();  // idle: the playback box as a share of the song tempo
  void PlaybackStopped();

  // The click of the audio export: the playback click when "Click in audio export" is on.
  ClickMode ClickInExport() const;
  int ClickVolume() const { return clickVolume_; }

  // The trainer's settings dialog; tests fill it in through its object names.
  bool EditTrainer();

  QMenu* ClickMenu = nullptr;
  QMenu* CountInMenu = nullptr;
  QAction* LoopPart1 = nullptr;
  QAction* LoopBars1 = nullptr;
  QAction* ExportClick1 = nullptr;
  QAction* Trainer1 = nullptr;
  QAction* TrainerSettings1 = nullptr;
  QLabel* LSpeed = nullptr;

 private:
  void Load();
  void Save() const;
  void Changed();
  // One checkable item a value, named `name` with the value, one checked at a time: choosing one
  // stores its value in `setting` and keeps it.
  QActionGroup* AddChoices(QMenu* menu, std::initializer_list<int> values, const char* name,
                           int& setting, QString (*text)(int));

  TFmain& window_;
  ClickMode click_ = ClickMode::Off;
  int clickVolume_ = 80;
  int countIn_ = 0;
  SpeedTrainer trainer_;
  std::optional<BarRange> selected_;
  QActionGroup* clickGroup_ = nullptr;
  QActionGroup* volumeGroup_ = nullptr;
  QActionGroup* countInGroup_ = nullptr;
};

#include "ui/practice_panel.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSpinBox>
#include <algorithm>

#include "midi/playback.h"
#include "ui/extended_settings.h"
#include "ui/main_window.h"
#include "ui/main_window_widgets.h"

namespace {

QString Percent(int centiBpm, int tempo) {
  return QString::number((centiBpm + tempo / 2) / std::max(tempo, 1)) + " %";
}

}  // namespace

PracticePanel::PracticePanel(TFmain& window) : QObject(&window), window_(window) {
  Load();
  QMenu* menu = window.findChild<QMenu*>("Playback");
  menu->addSeparator();

  ClickMenu = menu->addMenu("&Click");
  ClickMenu->setObjectName("Click1");
  clickGroup_ = new QActionGroup(this);
  const std::pair<ClickMode, const char*> clicks[] = {{ClickMode::Off, "&Off"},
                                                       {ClickMode::Quarter, "&Beat (quarter)"},
                                                       {ClickMode::Eighth, "&Eighths"},
                                                       {ClickMode::Sixteenth, "&Sixteenths"}};
  for (const auto& [mode, text] : clicks) {
    QAction* item = ClickMenu->addAction(text);
    item->setObjectName(QString("Click%1").arg(static_cast<int>(mode)));
    item->setCheckable(true);
    item->setChecked(mode == click_);
    clickGroup_->addAction(item);
    connect(item, &QAction::triggered, this, [this, m = mode] {
      click_ = m;
      Changed();
    });
  }
  ClickMenu->addSeparator();
  volumeGroup_ = AddChoices(ClickMenu, {25, 50, 80, 100}, "ClickVolume%1", clickVolume_,
                            [](int volume) { return QString("Volume %1 %").arg(volume); });

  ExportClick1 = ClickMenu->addAction("Click in &audio export");
  ExportClick1->setObjectName("ExportClick1");
  ExportClick1->setCheckable(true);  // off unless asked for: an export is the song itself

  CountInMenu = menu->addMenu("Count-&in");
  CountInMenu->setObjectName("CountIn1");
  countInGroup_ = AddChoices(CountInMenu, {0, 1, 2}, "CountIn%1Bars", countIn_, [](int bars) {
    return QString(bars == 0 ? "&None" : bars == 1 ? "&1 bar" : "&2 bars");
  });

  LoopPart1 = menu->addAction("Loop song &part");
  LoopPart1->setObjectName("LoopPart1");
  LoopPart1->setCheckable(true);
  LoopBars1 = menu->addAction("Loop selected ba&rs (Shift+click a bar)");
  LoopBars1->setObjectName("LoopBars1");
  LoopBars1->setCheckable(true);
  LoopBars1->setEnabled(false);
  connect(LoopPart1, &QAction::toggled, this, [this](bool on) {
    if (on) LoopBars1->setChecked(false);
  });
  connect(LoopBars1, &QAction::toggled, this, [this](bool on) {
    if (on) LoopPart1->setChecked(false);
  });

  Trainer1 = menu->addAction("Speed &trainer");
  Trainer1->setObjectName("Trainer1");
  Trainer1->setCheckable(true);
  Trainer1->setChecked(trainer_.On);
  connect(Trainer1, &QAction::toggled, this, [this](bool on) {
    trainer_.On = on;
    Changed();
  });
  TrainerSettings1 = menu->addAction("Speed trainer &settings...");
  TrainerSettings1->setObjectName("TrainerSettings1");
  connect(TrainerSettings1, &QAction::triggered, this, [this] { EditTrainer(); });

  // The tempo heard, as a share of the song's tempo, in the menu bar's free corner (the panels have
  // no room left).
  LSpeed = new QLabel(window.menuBar());
  LSpeed->setObjectName("LSpeed");
  LSpeed->setContentsMargins(0, 0, 8, 0);
  window.menuBar()->setCornerWidget(LSpeed, Qt::TopRightCorner);
  for (const char* box : {"ETempo", "ESped"})
    connect(window.findChild<TempoBox*>(box), &QSpinBox::valueChanged, this, [this] { TempoBoxesChanged(); });
  TempoBoxesChanged();
}

PracticePanel::~PracticePanel() = default;

void PracticePanel::Load() {
  const ExtendedSettings settings;
  click_ = static_cast<ClickMode>(settings.Int("Practice/Click", 0, 0, 3));
  clickVolume_ = settings.Int("Practice/ClickVolume", 80, 0, 100);
  countIn_ = settings.Int("Practice/CountInBars", 0, 0, 2);
  trainer_.On = settings.Bool("Practice/Trainer", false);
  trainer_.FromPercent = settings.Int("Practice/TrainerFrom", 80, 1, 1000);
  trainer_.ToPercent = settings.Int("Practice/TrainerTo", 100, 1, 1000);
  trainer_.Step = settings.Int("Practice/TrainerStep", 5, 1, 1024);
  trainer_.StepInBpm = settings.Bool("Practice/TrainerStepInBpm", false);
  trainer_.Passes = settings.Int("Practice/TrainerPasses", 2, 1, 1000);
  trainer_.CountInEachPass = settings.Bool("Practice/TrainerCountIn", false);
}

void PracticePanel::Save() const {
  ExtendedSettings settings;
  settings.SetInt("Practice/Click", static_cast<int>(click_));
  settings.SetInt("Practice/ClickVolume", clickVolume_);
  settings.SetInt("Practice/CountInBars", countIn_);
  settings.SetBool("Practice/Trainer", trainer_.On);
  settings.SetInt("Practice/TrainerFrom", trainer_.FromPercent);
  settings.SetInt("Practice/TrainerTo", trainer_.ToPercent);
  settings.SetInt("Practice/TrainerStep", trainer_.Step);
  settings.SetBool("Practice/TrainerStepInBpm", trainer_.StepInBpm);
  settings.SetInt("Practice/TrainerPasses", trainer_.Passes);
  settings.SetBool("Practice/TrainerCountIn", trainer_.CountInEachPass);
  settings.Sync();
}

QActionGroup* PracticePanel::AddChoices(QMenu* menu, std::initializer_list<int> values, const char* name,
                                        int& setting, QString (*text)(int)) {
  auto* group = new QActionGroup(this);
  for (int value : values) {
    QAction* item = menu->addAction(text(value));
    item->setObjectName(QString(name).arg(value));
    item->setCheckable(true);
    item->setChecked(value == setting);
    group->addAction(item);
    connect(item, &QAction::triggered, this, [this, &setting, value] {
      setting = value;
      Changed();
    });
  }
  return group;
}

void PracticePanel::Changed() {
  Save();
  // A running playback hears a new click from its next step; the rest counts from the next start.
  if (window_.Metronom().Running()) window_.Metronom().SetClick(click_, clickVolume_);
}

ClickMode PracticePanel::ClickInExport() const { return ExportClick1->isChecked() ? click_ : ClickMode::Off; }

PracticeOptions PracticePanel::OptionsFor(const Osnova& doc, uint16_t bar, bool countIn) const {
  PracticeOptions options;
  options.Click = click_;
  options.ClickVolume = clickVolume_;
  options.CountInBars = countIn ? countIn_ : 0;
  options.Trainer = trainer_;
  std::optional<BarRange> range;
  if (LoopPart1->isChecked()) range = PartRangeOf(doc, bar);
  if (LoopBars1->isChecked() && selected_) range = selected_;
  if (range && range->Last < doc.BarCount) {
    options.RangeLoop = true;
    options.LoopFirst = range->First;
    options.LoopLast = range->Last;
  }
  // The trainer counts passes of a loop: without one it has nothing to count.
  if (!options.RangeLoop && !window_.findChild<QCheckBox*>("chLoop")->isChecked())
    options.Trainer.On = false;
  return options;
}

void PracticePanel::SelectBars(uint16_t anchor, uint16_t bar) {
  selected_ = BarRange{std::min(anchor, bar), std::max(anchor, bar)};
  LoopBars1->setText(QString("Loop selected ba&rs %1-%2").arg(selected_->First + 1).arg(selected_->Last + 1));
  LoopBars1->setEnabled(true);
  LoopBars1->setChecked(true);
}

void PracticePanel::ShowStep(const PlaybackStep& step) { ShowTempoHeard(step.CentiBpm); }

void PracticePanel::ShowTempoHeard(int centiBpm) {
  const int tempo = window_.findChild<TempoBox*>("ETempo")->value();
  LSpeed->setText(QString("Heard: %1 bpm, %2").arg(centiBpm / 100.0, 0, 'f', centiBpm % 100 ? 2 : 0).arg(Percent(centiBpm, tempo)));
  LSpeed->setToolTip(QString("The tempo heard, as a share of the song's %1 bpm").arg(tempo));
}

void PracticePanel::TempoBoxesChanged() {
  if (!window_.Metronom().Running() || !trainer_.On)
    ShowTempoHeard(window_.findChild<TempoBox*>("ESped")->value() * 100);
}

void PracticePanel::PlaybackStopped() { TempoBoxesChanged(); }

bool PracticePanel::EditTrainer() {
  QDialog dialog(&window_);
  dialog.setObjectName("TrainerDialog");
  dialog.setWindowTitle("Speed trainer");
  auto* form = new QFormLayout(&dialog);
  auto spin = [&](const char* name, int low, int high, int value, const QString& suffix) {
    auto* box = new QSpinBox(&dialog);
    box->setObjectName(name);
    box->setRange(low, high);
    box->setValue(value);
    box->setSuffix(suffix);
    return box;
  };
  QSpinBox* from = spin("TrainerFrom", 10, 300, trainer_.FromPercent, " %");
  QSpinBox* to = spin("TrainerTo", 10, 300, trainer_.ToPercent, " %");
  QSpinBox* step = spin("TrainerStep", 1, 100, trainer_.Step, "");
  auto* unit = new QComboBox(&dialog);
  unit->setObjectName("TrainerUnit");
  unit->addItems({"%", "bpm"});
  unit->setCurrentIndex(trainer_.StepInBpm ? 1 : 0);
  QSpinBox* passes = spin("TrainerPasses", 1, 100, trainer_.Passes, "");
  auto* countIn = new QCheckBox("Count in before each pass", &dialog);
  countIn->setObjectName("TrainerCountIn");
  countIn->setChecked(trainer_.CountInEachPass);
  form->addRow("Start at", from);
  form->addRow("Up to", to);
  auto* stepRow = new QWidget(&dialog);
  auto* stepLayout = new QHBoxLayout(stepRow);
  stepLayout->setContentsMargins(0, 0, 0, 0);
  stepLayout->addWidget(step);
  stepLayout->addWidget(unit);
  form->addRow("Raise by", stepRow);
  form->addRow("Every (passes)", passes);
  form->addRow(countIn);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  form->addRow(buttons);
  connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  if (dialog.exec() != QDialog::Accepted) return false;
  trainer_.FromPercent = from->value();
  trainer_.ToPercent = to->value();
  trainer_.Step = step->value();
  trainer_.StepInBpm = unit->currentIndex() == 1;
  trainer_.Passes = passes->value();
  trainer_.CountInEachPass = countIn->isChecked();
  trainer_.On = true;
  Trainer1->setChecked(true);
  Changed();
  return true;
}

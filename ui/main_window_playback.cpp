// Playback in the main window: the Playback menu and the four speed buttons, the clock label, and
// the cursor box following the engine's steps. The engine sounds the columns on its own thread;
// here, on the window's thread, the cursor and the bar boxes catch up with each posted step.
#include "ui/main_window_playback.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QSpinBox>
#include <QKeyEvent>
#include <QToolButton>
#include <algorithm>

#include "midi/step_delay.h"
#include "layout/cursor_moves.h"
#include "ui/main_window_widgets.h"
#include "ui/tab_view.h"

void TFmain::CreatePlayback() {
  auto* time = new QTimer(this);
  time->setObjectName("Time");
  playback_ = std::make_unique<WindowPlayback>(time);
  connect(time, &QTimer::timeout, this, [this] {
    playback_->Elapsed.Tick();
    LTime->setText(QString::fromStdString(playback_->Elapsed.AsText()));
  });
  playback_->Engine = std::make_unique<PlaybackController>(
      session_.Lock(), [this] { return Document(); },
      [this](const PlaybackStep& step) {
        // Queued to the window's thread; dropped if the window is gone by then.
        QMetaObject::invokeMethod(this, [this, step] { ApplyPlaybackStep(step); }, Qt::QueuedConnection);
      },
      &settings_.GlobalKit);
  playback_->Practice = std::make_unique<PracticePanel>(*this);

  // The play panel's buttons show these same actions (BuildMenus).
  for (auto [action, mode] : {std::pair{Play1, PlayFromCursor}, std::pair{PLaybar1, PlayBar},
                              std::pair{Playsong1, PlaySong}}) {
    const uint8_t m = mode;
    connect(action, &QAction::triggered, this, [this, m] { PlayCommand(m); });
  }
  connect(Stop1, &QAction::triggered, this, &TFmain::StopCommand);
}

void TFmain::SetPlayClock(std::unique_ptr<PlayClock> clock, int tickMilliseconds) {
  WindowPlayback& pb = *playback_;
  pb.TimeTicks.IntervalOverride = tickMilliseconds == 1000 ? 0 : tickMilliseconds;
  pb.Engine->SetClock(std::move(clock), true);
}

TMetronom& TFmain::Metronom() { return playback_->Engine->Engine(); }
TClock& TFmain::Clock() { return playback_->Elapsed; }
PracticePanel& TFmain::Practice() { return *playback_->Practice; }

void TFmain::PlaybackKey(const QKeyEvent& key) {
  const Qt::KeyboardModifiers mods = key.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  const bool running = playback_->Engine->Running();
  if (key.key() == Qt::Key_Escape && mods == Qt::NoModifier) {
    if (running) StopCommand();
  } else if (key.key() == Qt::Key_Space && mods == Qt::NoModifier) {
    if (running) StopCommand();
    else PlayCommand(PlayFromCursor);
  } else if (key.key() == Qt::Key_Space && mods == Qt::ShiftModifier) {
    if (!running) PlayCommand(PlayBar);
  } else if (key.key() == Qt::Key_Space && mods == Qt::ControlModifier) {
    if (!running) PlayCommand(PlaySong);
  }
}

void TFmain::PracticeSelect(uint16_t anchor, uint16_t bar) { playback_->Practice->SelectBars(anchor, bar); }

void TFmain::PlayCommand(uint8_t mode) {
  WindowPlayback& pb = *playback_;
  // A play command while playing is ignored rather than starting a second playback.
  if (!DocumentShown() || !Cursor() || pb.Engine->Running()) return;
  if (mode == PlayBar) {
    ToggleCursorBox();
    Cursor()->Column = Document()->Current().StartCol;
    Cursor()->Line = Document()->Current().ViewLine;
    ToggleCursorBox();
  } else if (mode == PlaySong) {
    GoToFirstBar();
  }
  Cursor()->Pace = 1;
  pb.Elapsed.Start(pb.TimeTicks, 0, 0);
  LTime->setText(QString::fromStdString(pb.Elapsed.AsText()));

  StepDelay = ComputeStepDelay(ESped->value());
  const TBar& bar = Document()->Current();
  pb.Shown = PlayPosition{Document()->CurrentBar,
                          static_cast<uint8_t>(std::clamp(Cursor()->Column - bar.StartCol, 0, bar.Length - 1))};
  const PracticeOptions practice = pb.Practice->OptionsFor(*Document(), Document()->CurrentBar);
  if (practice.RangeLoop && (pb.Shown.Bar < practice.LoopFirst || pb.Shown.Bar > practice.LoopLast)) {
    // A loop starts at its first bar unless the cursor is already inside it.
    ToggleCursorBox();
    Document()->CurrentBar = practice.LoopFirst;
    RepaintKeepingCursor(*Document(), *Cursor(), *i1);
    Cursor()->Column = Document()->Current().StartCol;
    Cursor()->Line = Document()->Current().ViewLine;
    RefreshBarControls();
    pb.Shown = PlayPosition{practice.LoopFirst, 0};
  }
  pb.Engine->Play(mode, pb.Shown, ESped->value(), chLoop->isChecked(), practice);
  pb.RunSerial = pb.Engine->Engine().Serial();
  pb.Practice->ShowTempoHeard(pb.Engine->Engine().CentiBpmHeard());
}

bool TFmain::ReopenMidiDevice(const std::function<bool()>& reopen) {
  if (!playback_ || !playback_->Engine) return reopen();
  const bool opened = playback_->Engine->ReopenDevice(reopen);
  PlaybackDeviceChanged();
  return opened;
}

void TFmain::PlaybackDeviceChanged() {
  if (!playback_ || !playback_->Engine) return;
  WindowPlayback& pb = *playback_;
  PlaybackController& controller = *pb.Engine;
  controller.UseOpenDevice();
  // A running playback goes on with the new device from the next column. A device that plays what
  // it gets at once simply gets it; one with an output of its own takes over with a new run.
  if (controller.NeedsNewOutput() && DocumentShown() && Cursor()) {
    TMetronom& engine = controller.Engine();
    const uint8_t mode = engine.Mode();
    const bool loop = engine.Loop();
    const int tempo = engine.Tempo();
    controller.Stop();
    PlayPosition next = pb.Shown;
    if (next.Bar < Document()->BarCount && next.Position + 1 < Document()->Bar(next.Bar).Length)
      ++next.Position;
    else
      next = {static_cast<uint16_t>(next.Bar + 1 < Document()->BarCount ? next.Bar + 1 : 0), 0};
    controller.Play(mode, next, tempo, loop, pb.Practice->OptionsFor(*Document(), Document()->CurrentBar, /*countIn=*/false));
    pb.RunSerial = engine.Serial();
  }
}

void TFmain::SetPlaybackTempo() {
  StepDelay = ComputeStepDelay(ESped->value());
  if (!playback_) return;
  if (playback_->Engine) playback_->Engine->Engine().SetTempo(ESped->value());  // a running playback: its next column
  if (playback_->Practice) playback_->Practice->TempoBoxesChanged();
}

void TFmain::StopCommand() {
  WindowPlayback& pb = *playback_;
  pb.Elapsed.Stop(pb.TimeTicks);
  pb.Engine->Stop();
  RpaceClick(RPace->currentIndex());
  if (pb.Practice) pb.Practice->PlaybackStopped();
}

void TFmain::StopPlaying() {
  if (playback_ && playback_->Engine && playback_->Engine->Running()) StopCommand();
}

void TFmain::GoToFirstBar() {
  ToggleCursorBox();
  Document()->CurrentBar = 0;
  i1->RepaintView(*Document(), 0);
  const TBar& bar = Document()->Current();
  EAbar->setValue(0);
  ShowTimingOf(bar);
  SetScrollBar(Document()->BarCount, 1);
  SetCommentBox(bar.Comment);
  SongPart(0);
  Cursor()->Column = bar.StartCol;
  Cursor()->Line = bar.ViewLine;
  ToggleCursorBox();
}

void TFmain::ApplyPlaybackStep(const PlaybackStep& step) {
  WindowPlayback& pb = *playback_;
  if (!pb.Engine->Running() || step.Serial < pb.RunSerial) return;  // from a run already stopped
  pb.Practice->ShowStep(step);
  if (step.Kind == StepKind::CountIn) return;  // the cursor waits where the music starts
  if (step.Serial != pb.Engine->Engine().Serial() || !DocumentShown() || !Cursor()) {
    // The cursor was moved after this column was chosen; but a run that ended has ended.
    if (step.Finished) StopCommand();
    return;
  }
  pb.Applying = true;
  PlayPosition at = step.At;
  at.Bar = std::min<uint16_t>(at.Bar, static_cast<uint16_t>(Document()->BarCount - 1));
  at.Position = static_cast<uint8_t>(std::min<int>(at.Position, Document()->Bar(at.Bar).Length - 1));
  const TBar& current = Document()->Current();
  const int offset = Cursor()->Column - current.StartCol;
  if (at.Bar != Document()->CurrentBar || at.Position != offset) {
    if ((step.Kind == StepKind::SongLoop || step.Kind == StepKind::RangeLoop) && at == PlayPosition{}) {
      GoToFirstBar();
    } else if (at.Bar == Document()->CurrentBar) {
      // Within the bar only the box moves; the bar boxes stay as they are.
      ToggleCursorBox();
      Cursor()->Column = current.StartCol + at.Position;
      Cursor()->Line = current.ViewLine;
      ToggleCursorBox();
    } else if (at.Bar == Document()->CurrentBar + 1 && at.Position == 0 && Cursor()->Column == current.EndCol) {
      // Into the next bar: the cursor's step of one cell, which scrolls and refreshes the boxes.
      ToggleCursorBox();
      StepCells(*Document(), *Cursor(), *i1, 1);
      RefreshBarControls();
    } else {
      // The document changed under playback: wherever the engine went, the view follows.
      ToggleCursorBox();
      Document()->CurrentBar = at.Bar;
      RepaintKeepingCursor(*Document(), *Cursor(), *i1);
      Cursor()->Column = Document()->Current().StartCol + at.Position;
      Cursor()->Line = Document()->Current().ViewLine;
      RefreshBarControls();
    }
  }
  pb.Shown = at;
  pb.Applying = false;
  if (step.Finished) StopCommand();
}

void TFmain::FollowUserCursor() {
  if (!playback_ || playback_->Applying || !playback_->Engine || !playback_->Engine->Running()) return;
  if (!Document() || !Cursor() || Document()->CurrentBar >= Document()->BarCount) return;
  const TBar& bar = Document()->Current();
  const int offset = Cursor()->Column - bar.StartCol;
  if (offset < 0 || offset >= bar.Length) return;  // between a change and its repaint
  const PlayPosition at{Document()->CurrentBar, static_cast<uint8_t>(offset)};
  if (at == playback_->Shown) return;
  // The user (or a command) put the cursor elsewhere: playback goes on from there.
  playback_->Shown = at;
  playback_->Engine->Engine().Reposition(at);
}

// Note entry and the cursor in the main window: the key handler with its key preview, the mouse on
// the tab view, the instrument buttons, the pace box and the bar-by-bar moves.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QMenuBar>
#include <QSpinBox>

#include "midi/midi_output.h"
#include "model/note_entry.h"
#include "ui/key_translation.h"
#include "layout/cursor_moves.h"
#include "layout/key_map.h"
#include "ui/main_window.h"
#include "ui/main_window_playback.h"
#include "ui/main_window_widgets.h"
#include "ui/note_off_timer.h"
#include "ui/tab_view.h"
#include "ui/view_area.h"

namespace {

bool Within(const QWidget* box, const QWidget* widget) {
  return widget && (widget == box || box->isAncestorOf(widget));
}

KeyModifiers ModifiersOf(const QKeyEvent& key) {
  const Qt::KeyboardModifiers m = key.modifiers();
  return KeyModifiers{m.testFlag(Qt::ShiftModifier), m.testFlag(Qt::ControlModifier),
                      m.testFlag(Qt::AltModifier)};
}

// Ctrl+keypad plus / minus, the Bar menu's Insert and Remove: Qt under X11 never matches a keypad
// shortcut (the key arrives as Key_Plus with Ctrl and Keypad), so the window handles them itself,
// wherever the focus is, as a menu shortcut would. 1 insert, -1 remove, 0 another key.
int KeypadBarCommand(const QKeyEvent& key) {
  const Qt::KeyboardModifiers m = key.modifiers() & ~Qt::KeypadModifier;
  if (!key.modifiers().testFlag(Qt::KeypadModifier) || m != Qt::ControlModifier) return 0;
  if (key.key() == Qt::Key_Plus) return 1;
  if (key.key() == Qt::Key_Minus) return -1;
  return 0;
}

}  // namespace

bool TFmain::KeysGoToWindow() const {
  const QWidget* focus = QApplication::focusWidget();
  if (Within(ETempo, focus) || Within(ESped, focus) || Within(SwingBox, focus)) return false;
  return TextEditBar == -1;
}

bool TFmain::PreviewKey(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride) return false;
  if (!watched->isWidgetType()) return false;
  auto* widget = static_cast<QWidget*>(watched);
  // Only this window's controls; the menu bar keeps its own keyboard navigation.
  if (widget->window() != this || Within(menuBar(), widget)) return false;
  const auto& key = *static_cast<QKeyEvent*>(event);
  if (const int bar = KeypadBarCommand(key)) {
    event->accept();  // a shortcut that did match on some platform must not run it twice
    if (type == QEvent::KeyPress) bar > 0 ? InsertBarClick() : RemoveBarClick();
    return true;
  }
  if (!KeysGoToWindow()) return false;

  if (type == QEvent::ShortcutOverride) {
    // Ctrl+C, Ctrl+X and Ctrl+V are menu shortcuts too; the key handler takes them so that a
    // copy from the keyboard leaves the document unmodified. Other shortcuts go to the menus.
    if (!Cursor() || !DocumentShown()) return false;
    const KeyCommand cmd = DecodeKey(VirtualKeyOf(key), ModifiersOf(key), chAccent->isChecked(),
                                     settings_.KeyMap, Document()->Kit);
    if (cmd.Action == KeyAction::None) return false;
    event->accept();
    return true;
  }
  FormKeyDown(key);
  return true;
}

void TFmain::FormKeyDown(const QKeyEvent& key) {
  NoControl();
  if (!Cursor() || !DocumentShown()) return;
  const KeyCommand cmd = DecodeKey(VirtualKeyOf(key), ModifiersOf(key), chAccent->isChecked(),
                                   settings_.KeyMap, Document()->Kit);
  switch (cmd.Action) {
    case KeyAction::None:
      if (!ExpressionKey(key) && !NavigationKey(key) && !ZoomKey(i1, key)) PlaybackKey(key);
      break;
    case KeyAction::Note: SetNote(cmd.Row, cmd.Variant, cmd.Accent); break;
    case KeyAction::GreaterPace: PaceKey(true); break;
    case KeyAction::SmallerPace: PaceKey(false); break;
    case KeyAction::StepLeft: MoveCursor(&StepLeft); break;
    case KeyAction::StepRight: MoveCursor(&StepRight); break;
    case KeyAction::PreviousBar: MoveCursor(&PreviousBar); break;
    case KeyAction::NextBar: MoveCursor(&NextBar); break;
    case KeyAction::Copy: CopyBarClick(true); break;
    case KeyAction::Paste: PasteBarClick(); break;
    case KeyAction::Cut: CutBarClick(); break;
    case KeyAction::FocusComment: Ecom->setFocus(Qt::TabFocusReason); break;
  }
}

bool TFmain::NavigationKey(const QKeyEvent& key) {
  const Qt::KeyboardModifiers mods =
      key.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  if (mods != Qt::NoModifier && mods != Qt::ControlModifier) return false;
  const bool ctrl = mods == Qt::ControlModifier;
  CursorMove (*move)(Osnova&, TCursor&, TabViewSink&) = nullptr;
  switch (key.key()) {
    case Qt::Key_Home: move = ctrl ? &SongStart : &BarStart; break;
    case Qt::Key_End: move = ctrl ? &SongEnd : &BarEnd; break;
    case Qt::Key_PageDown: move = ctrl ? nullptr : &NextLineOfBars; break;
    case Qt::Key_PageUp: move = ctrl ? nullptr : &PreviousLineOfBars; break;
    default: break;
  }
  if (!move) return false;
  MoveCursor(move);
  return true;
}

void TFmain::SetNoteOffScheduler(std::unique_ptr<NoteOffScheduler> scheduler) {
  noteOff_ = std::move(scheduler);
}

void TFmain::PaceKey(bool greater) {
  const int index = RPace->currentIndex();
  const int next =
      PaceIndexAfter(greater ? KeyAction::GreaterPace : KeyAction::SmallerPace, index);
  if (next == index) return;
  RPace->setCurrentIndex(next);
  Cursor()->Pace = PaceOfIndex(next);
}

void TFmain::RpaceClick(int index) {
  if (Cursor()) Cursor()->Pace = PaceOfIndex(index);
  NoControl();
}

void TFmain::MoveCursor(CursorMove (*move)(Osnova&, TCursor&, TabViewSink&)) {
  if (!DocumentShown() || !Cursor()) return;
  ToggleCursorBox();
  move(*Document(), *Cursor(), *i1);
  RefreshBarControls();
}

void TFmain::SetNote(int row, int variant, int accent) {
  if (!DocumentShown() || !Cursor()) return;
  const int column = Cursor()->Column;
  const int line = Cursor()->Line;
  const NoteEntry entry = session_.Edit("note entry", [&](auto push) {
    return SetNoteAt(*Document(), Document()->CurrentBar, column - Document()->Current().StartCol, row, variant, accent, push);
  });
  if (entry.Change == NoteChange::None) return;  // hidden row or no such note: nothing happens

  // The letter and count cells lie inside the cursor box's outline, so the box stays as it is.
  if (entry.EraseOldLetter) i1->EraseNoteLetter(*Document(), column, line, row);
  if (entry.EraseCount) i1->EraseCountLabel(*Document(), column, line);
  if (entry.DrawCount)
    i1->DrawCountLabel(*Document(), column, line, entry.Position, Document()->Current().Grid);
  if (entry.DrawLetter) i1->DrawNoteLetter(*Document(), column, line, row, entry.Letter);
  if (entry.Sound) {
    if (!noteOff_) noteOff_ = std::make_unique<QtNoteOffScheduler>();
    PlayDrumNote(MidiOut, static_cast<uint8_t>(row), entry.Variant, entry.Velocity, 0, *noteOff_);
  }
}

void TFmain::SpeedButton3Click(int tag) {
  if (!DocumentShown() || !Cursor()) return;
  int row = 0;
  int variant = 0;
  if (!InstrumentOfTag(tag, row, variant) || !Document()->Kit[static_cast<std::size_t>(row)]) return;
  SetNote(row, variant, chAccent->isChecked() ? 1 : 0);
}

void TFmain::i1MouseDown(Qt::MouseButton, QPoint pos) {
  if (!DocumentShown() || !Cursor()) return;
  DrawCurrentComment();
  TCursor placed = *Cursor();
  const uint16_t anchor = Document()->CurrentBar;
  if (!PlaceCursorAt(*Document(), placed, pos.x(), pos.y(), i1->ViewGrid())) return;
  ToggleCursorBox();  // hidden at the old place; RefreshBarControls shows it at the new one
  *Cursor() = placed;
  RefreshBarControls();
  // Shift+click on another bar selects the bars between for looping.
  if (i1->LastMouseModifiers() & Qt::ShiftModifier) PracticeSelect(anchor, Document()->CurrentBar);
}

// The bar commands of the tool buttons, the Bar and Edit menus, the context menu and the keys:
// insert, remove, clear, change timing, copy, cut and paste, with the bar clipboard.
#include <QAction>
#include <QComboBox>
#include <QToolButton>

#include "model/bar_commands.h"
#include "model/song_parts.h"
#include "ui/dialogs.h"
#include "layout/cursor_moves.h"
#include "ui/main_window.h"
#include "ui/main_window_playback.h"
#include "ui/main_window_widgets.h"
#include "ui/tab_view.h"

bool TFmain::Refused(const BarEdit& edit) {
  if (edit.Done) return false;
  if (!edit.Message.empty())
    dialogs_.Message(this, DialogService::Icon::Warning, "Warning",
                     QString::fromStdString(edit.Message));
  return true;
}

void TFmain::ShowBarsAfterChange(bool partNamesChanged) {
  if (partNamesChanged) SetSongPartItems(SongPartItems(*doc_));
  // The whole view is painted again, which also wipes the cursor box; RefreshBarControls shows it.
  RepaintKeepingCursor(*doc_, *cursor_, *i1);
  RefreshBarControls();
}

void TFmain::EnablePaste() {
  EPaste->setEnabled(true);  // Bpaste shows this action; Pastebar1 is always enabled
}

void TFmain::InsertBarClick() {
  FinishTyping();  // a name being typed goes to its own bar before the bars move
  if (!DocumentShown() || !cursor_) return;
  if (Refused(LockedEdit(*this, "insert bar", [&](auto push) { return InsertBarCommand(*doc_, push); }))) return;
  ShowBarsAfterChange(false);
}

void TFmain::RemoveBarClick() {
  FinishTyping();
  if (!DocumentShown() || !cursor_) return;
  const BarEdit edit = LockedEdit(*this, "remove bar", [&](auto push) { return RemoveBarCommand(*doc_, push); });
  if (Refused(edit)) return;
  ShowBarsAfterChange(edit.PartNamesChanged);
}

void TFmain::ClearBarClick() {
  FinishTyping();
  if (!DocumentShown() || !cursor_) return;
  if (Refused(LockedEdit(*this, "clear bar", [&](auto push) { return ClearBarCommand(*doc_, push); }))) return;
  // Hidden first: the box's right edge lies on the bar line, which the redraw paints again.
  ToggleCursorBox();
  i1->RedrawBar(*doc_, doc_->Current());
  DrawCurrentComment();
  RefreshBarControls();
}

void TFmain::ChangeTiming() {
  FinishTyping();
  if (!DocumentShown() || !cursor_) return;
  const int numerator = ETakt1->currentText().toInt();  // the item past the list too
  const int denominator = Etakt2->currentText().toInt();
  if (Refused(LockedEdit(*this, "timing change", [&](auto push) { return ChangeTimingCommand(*doc_, numerator, denominator, push); }))) {
    ShowTimingOf(doc_->Current());
    return;
  }
  ToggleCursorBox();
  RepaintAfterTimingChange(*doc_, *cursor_, *i1);
  RefreshBarControls();
  NoControl();
}

void TFmain::CopyBarClick(bool fromKeyboard) {
  FinishTyping();
  if (!DocumentShown() || !cursor_ || !clipboard_) return;
  if (Refused(CopyBarCommand(*clipboard_, *doc_, fromKeyboard))) return;
  EnablePaste();
}

void TFmain::CutBarClick() {
  FinishTyping();
  if (!DocumentShown() || !cursor_ || !clipboard_) return;
  const BarEdit edit = LockedEdit(*this, "cut bar", [&](auto push) { return CutBarCommand(*clipboard_, *doc_, push); });
  if (Refused(edit)) return;
  EnablePaste();
  ShowBarsAfterChange(edit.PartNamesChanged);
}

void TFmain::PasteBarClick() {
  FinishTyping();
  if (!DocumentShown() || !cursor_ || !clipboard_) return;
  if (Refused(LockedEdit(*this, "paste bar", [&](auto push) { return PasteBarCommand(*clipboard_, *doc_, push); }))) return;
  ShowBarsAfterChange(false);
}

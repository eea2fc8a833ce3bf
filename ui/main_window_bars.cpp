// The bar commands of the tool buttons, the Bar and Edit menus, the context menu and the keys:
// insert, remove, clear, change timing, copy, cut and paste, with the bar clipboard.
#include <QAction>
#include <QComboBox>
#include <QToolButton>
#include <algorithm>

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
  if (partNamesChanged) SetSongPartItems(SongPartItems(*Document()));
  // The whole view is painted again, which also wipes the cursor box; RefreshBarControls shows it.
  RepaintKeepingCursor(*Document(), *Cursor(), *i1);
  RefreshBarControls();
}

void TFmain::EnablePaste() {
  EPaste->setEnabled(true);  // Bpaste shows this action; Pastebar1 is always enabled
}

void TFmain::InsertBarClick() {
  FinishTyping();  // a name being typed goes to its own bar before the bars move
  if (!DocumentShown() || !Cursor()) return;
  if (Refused(session_.Edit("insert bar", [&](auto push) { return InsertBarCommand(*Document(), push); }))) return;
  ShowBarsAfterChange(false);
}

void TFmain::RemoveBarClick() {
  FinishTyping();
  if (!DocumentShown() || !Cursor()) return;
  const BarEdit edit = session_.Edit("remove bar", [&](auto push) { return RemoveBarCommand(*Document(), push); });
  if (Refused(edit)) return;
  ShowBarsAfterChange(edit.PartNamesChanged);
}

void TFmain::ClearBarClick() {
  FinishTyping();
  if (!DocumentShown() || !Cursor()) return;
  if (Refused(session_.Edit("clear bar", [&](auto push) { return ClearBarCommand(*Document(), push); }))) return;
  // Hidden first: the box's right edge lies on the bar line, which the redraw paints again.
  ToggleCursorBox();
  i1->RedrawBar(*Document(), Document()->Current());
  DrawCurrentComment();
  RefreshBarControls();
}

void TFmain::ChangeTiming() {
  FinishTyping();
  if (!DocumentShown() || !Cursor()) return;
  const int numerator = ETakt1->currentText().toInt();  // the item past the list too
  const int denominator = Etakt2->currentText().toInt();
  if (Refused(session_.Edit("timing change", [&](auto push) { return ChangeTimingCommand(*Document(), numerator, denominator, push); }))) {
    ShowTimingOf(Document()->Current());
    return;
  }
  ToggleCursorBox();
  RepaintAfterTimingChange(*Document(), *Cursor(), *i1);
  RefreshBarControls();
  NoControl();
}

void TFmain::ChangeGrid() {
  FinishTyping();
  if (!DocumentShown() || !Cursor()) return;
  const auto grid = static_cast<BarGrid>(GridBox->currentIndex());
  const BarGrid from = Document()->Current().Grid;
  const int offset = Cursor()->Column - Document()->Current().StartCol;
  const BarEdit edit = session_.Edit("grid change", [&](auto push) { return ChangeGridCommand(*Document(), grid, push); });
  if (Refused(edit)) {
    ShowTimingOf(Document()->Current());
    NoControl();
    return;
  }
  // The bar is wider or narrower now; the cursor stays at the same time in it, or just before.
  ToggleCursorBox();
  RepaintKeepingCursor(*Document(), *Cursor(), *i1);
  const TBar& bar = Document()->Current();
  Cursor()->Column = static_cast<uint8_t>(bar.StartCol + std::clamp(CellsIn(from, bar.Grid, offset), 0, bar.Length - 1));
  Cursor()->Line = bar.ViewLine;
  RefreshBarControls();
  NoControl();
  ShowModifiedMarker();
  // Notes that had no cell in the new grid are gone: said after the bar shows what is left.
  if (!edit.Message.empty())
    dialogs_.Message(this, DialogService::Icon::Warning, "Warning", QString::fromStdString(edit.Message));
}

void TFmain::CopyBarClick(bool fromKeyboard) {
  FinishTyping();
  if (!DocumentShown() || !Cursor() || !clipboard_) return;
  if (Refused(CopyBarCommand(*clipboard_, *Document(), fromKeyboard))) return;
  EnablePaste();
}

void TFmain::CutBarClick() {
  FinishTyping();
  if (!DocumentShown() || !Cursor() || !clipboard_) return;
  const BarEdit edit = session_.Edit("cut bar", [&](auto push) { return CutBarCommand(*clipboard_, *Document(), push); });
  if (Refused(edit)) return;
  EnablePaste();
  ShowBarsAfterChange(edit.PartNamesChanged);
}

void TFmain::PasteBarClick() {
  FinishTyping();
  if (!DocumentShown() || !Cursor() || !clipboard_) return;
  if (Refused(session_.Edit("paste bar", [&](auto push) { return PasteBarCommand(*clipboard_, *Document(), push); }))) return;
  ShowBarsAfterChange(false);
}

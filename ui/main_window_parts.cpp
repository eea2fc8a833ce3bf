// The song-part box `cbSong`: showing the part of the current bar, committing what was typed,
// choosing a part to jump to it, and the double click that goes on to the next part.
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSpinBox>

#include "model/song_parts.h"
#include "ui/cp1252.h"
#include "ui/dialogs.h"
#include "layout/cursor_moves.h"
#include "ui/main_window.h"
#include "ui/main_window_widgets.h"
#include "ui/tab_view.h"

void TFmain::FinishTyping() {
  if (TextEditBar == -1) return;
  // Leaving the box commits what was typed (its exit handler runs); a box that kept the focus with
  // TextEditBar back at -1 would hand the next typed letters to the key handler as notes.
  if (Ecom->hasFocus() || cbSong->hasFocus()) NoControl();
  if (TextEditBar != -1) cbSongExit();
}

void TFmain::SongPart(uint16_t bar) {
  FinishTyping();  // the current bar changes under a box being typed into
  if (Document()) ShowSongPartOf(bar);
}

void TFmain::ShowSongPartOf(uint16_t bar) {
  int index = -1;
  for (std::size_t i = 0; i < Document()->SongParts.size(); ++i)
    if (Document()->SongParts[i].StartBar == bar) index = static_cast<int>(i);
  const QSignalBlocker block(cbSong);
  // The list's selection follows the part shown, so a double click goes on from it.
  cbSong->setCurrentIndex(index < cbSong->count() ? index : -1);
  cbSong->setEditText(FromCp1252(SongPartText(*Document(), bar)));
}

void TFmain::cbSongEnter() {
  if (Document()) TextEditBar = Document()->CurrentBar;
}

void TFmain::cbSongExit() {
  SongPartEdit edit{TextEditBar, cbSong->property("Tag").toInt() != 0};
  cbSong->setProperty("Tag", 0);
  TextEditBar = -1;
  if (!DocumentShown()) return;
  std::vector<std::string> items = SongPartBoxItems();
  const SongPartCommit done = session_.Edit("song part", [&](auto push) {
    return CommitSongPartEdit(*Document(), items, ToCp1252(cbSong->currentText()), edit, push);
  });
  if (done == SongPartCommit::Added || done == SongPartCommit::Renamed ||
      done == SongPartCommit::Deleted) {
    SetSongPartItems(items);
    i1->DrawPartNames(*Document());
  }
}

std::vector<std::string> TFmain::SongPartBoxItems() const {
  std::vector<std::string> items;
  for (int i = 0; i < cbSong->count(); ++i) items.push_back(ToCp1252(cbSong->itemText(i)));
  return items;
}

void TFmain::SetSongPartItems(const std::vector<std::string>& items) {
  const QSignalBlocker block(cbSong);
  const QString text = cbSong->currentText();
  cbSong->clear();
  for (const std::string& item : items) cbSong->addItem(FromCp1252(item));
  int index = -1;
  if (Document())
    for (std::size_t i = 0; i < Document()->SongParts.size() && i < items.size(); ++i)
      if (Document()->SongParts[i].StartBar == Document()->CurrentBar) index = static_cast<int>(i);
  cbSong->setCurrentIndex(index);
  cbSong->setEditText(text);  // rebuilding the list keeps what the box shows
}

void TFmain::cbSongSelect(int index) {
  if (!DocumentShown() || !Cursor()) return;
  // Choosing replaced the typed text by the chosen name; committing that would copy the chosen
  // part's name onto the bar being edited.
  cbSong->setProperty("Tag", 0);
  std::vector<std::string> items = SongPartBoxItems();
  const SongPartJump jump = SelectSongPart(*Document(), items, index);
  switch (jump.What) {
    case SongPartJump::None:
      return;
    case SongPartJump::Damaged: {
      dialogs_.Message(this, DialogService::Icon::Warning, "Warning", kDamagedPartsWarning);
      dialogs_.Message(this, DialogService::Icon::Information, "Information",
                       kPartsLostInformation);
      const QSignalBlocker block(cbSong);
      cbSong->clear();
      cbSong->setEditText(QString());
      cbSong->setProperty("Tag", 0);  // nothing typed is left to commit
      return;
    }
    case SongPartJump::Jump:
      ToggleCursorBox();
      JumpToBar(*Document(), *Cursor(), *i1, jump.Bar);
      RefreshBarControls();
      return;
  }
}

void TFmain::cbSongDblClick() {
  const int next = NextSongPartIndex(cbSong->currentIndex(), cbSong->count());
  if (next < 0) return;
  {
    const QSignalBlocker block(cbSong);
    cbSong->setCurrentIndex(next);
  }
  cbSongSelect(next);
}

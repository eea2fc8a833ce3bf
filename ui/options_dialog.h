// The options dialog `TFOpt`: key map, MIDI device, drum kit and song information pages. For now an
// empty window that the Options menu opens at the page it asks for.
#pragma once

#include <QDialog>

class TFOpt : public QDialog {
  Q_OBJECT

 public:
  enum Page { KeyMapPage = 0, MidiPage = 1, KitPage = 2, SongInfoPage = 3 };

  explicit TFOpt(QWidget* parent = nullptr);

  // Selects the page and shows the dialog modally (returns at once; the dialog blocks its parent
  // until closed).
  void ShowPage(int page);
  int CurrentPage() const { return page_; }

 private:
  int page_ = KeyMapPage;
};

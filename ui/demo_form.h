// The "MIDI Demo" window: holds the program's one MIDI event container, runs the tab-to-MIDI
// export into it, shows the event list, and saves the events as a Standard MIDI File.
#pragma once

#include <QWidget>

#include "midi/midi_container.h"
#include "model/tab_document.h"

class DialogService;
class EventListWindow;
class QPushButton;
struct FileDialogSpec;

class TDemo_Form : public QWidget {
  Q_OBJECT
 public:
  explicit TDemo_Form(DialogService& dialogs, QWidget* parent = nullptr);
  ~TDemo_Form() override;

  // Converts the whole tab into a fresh set of events, shows them in the event list and shows
  // this window. Both windows are modeless.
  void ExportTab(const Osnova& doc, uint16_t tempo);

  TMIDI_Container& Container() { return container_; }
  EventListWindow* EventList() const { return list_; }

  // "Save MIDI file": asks for a file name and writes the container there.
  void Save_ButtonClick();

  static FileDialogSpec SaveDialogSpec();
  // The name the save dialog offers: the exported song's, with ".mid".
  QString OfferedName() const { return offeredName_; }

 protected:
  // Closing empties the container and closes the event list.
  void closeEvent(QCloseEvent* event) override;

 private:
  QString offeredName_;
  DialogService& dialogs_;
  TMIDI_Container container_;
  EventListWindow* list_;
  QPushButton* Save_Button;
};

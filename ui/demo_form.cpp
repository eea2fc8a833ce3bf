#include "ui/demo_form.h"

#include <QCloseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include <string>

#include "midi/midi_out_file.h"
#include "midi/tab_to_midi.h"
#include "ui/dialogs.h"
#include "ui/export_commands.h"
#include "ui/event_list_window.h"

TDemo_Form::TDemo_Form(DialogService& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window),
      dialogs_(dialogs),
      list_(new EventListWindow(container_, this)),
      Save_Button(new QPushButton(QStringLiteral("Save MIDI file"), this)) {
  setObjectName(QStringLiteral("Demo_Form"));
  setWindowTitle(QStringLiteral("MIDI Demo"));
  resize(230, 90);
  Save_Button->setObjectName(QStringLiteral("Save_Button"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Save_Button, 0, Qt::AlignCenter);
  connect(Save_Button, &QPushButton::clicked, this, &TDemo_Form::Save_ButtonClick);

  // Only a programming error reaches this (an event class without its own bytes).
  SetMidiEventMessageHook([this](const std::string& message) {
    dialogs_.Message(this, DialogService::Icon::Plain, QStringLiteral("Grooveloom demo"),
                     QString::fromStdString(message));
  });
}

TDemo_Form::~TDemo_Form() {
  SetMidiEventMessageHook(nullptr);
  // The list reads the container, which goes before the base class deletes the children.
  delete list_;
  list_ = nullptr;
}

FileDialogSpec TDemo_Form::SaveDialogSpec() {
  return SaveDialogRequest(QStringLiteral("Save As"), QStringLiteral("Midi file (*.mid);;Any file (*)"),
                           QStringLiteral("mid"));
}

void TDemo_Form::ExportTab(const Osnova& doc, uint16_t tempo) {
  list_->Clear_List();
  offeredName_ = OfferingSongName(SaveDialogSpec(), doc).InitialFile;
  Convert_Tab(container_, doc.Bars, tempo, doc.Swing);
  list_->show();
  list_->raise();
  list_->Fill_List();
  show();
  raise();
}

void TDemo_Form::Save_ButtonClick() {
  FileDialogSpec request = SaveDialogSpec();
  request.InitialFile = offeredName_;
  auto chosen = dialogs_.SaveFile(this, request);
  if (!chosen) return;
  WriteFileOrReport(this, dialogs_, *chosen, [this](const std::string& path, std::string& error) {
    return WriteMidiFile(container_, path, error);
  });
}

void TDemo_Form::closeEvent(QCloseEvent* event) {
  list_->Clear_List();
  container_.Clear_Events();
  list_->close();
  QWidget::closeEvent(event);
}

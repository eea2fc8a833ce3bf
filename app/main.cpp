// Grooveloom: `grooveloom [FILE]` opens the editor (with FILE opened), `grooveloom -o OUT IN`
// converts a tab file without any window.
#include <QApplication>
#include <QEvent>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "files/convert.h"
#include "midi/midi_output.h"
#include "midi/output/system_device_layer.h"
#include "ui/about_box.h"
#include "ui/demo_form.h"
#include "ui/dialogs.h"
#include "ui/main_window.h"
#include "ui/options_dialog.h"

namespace {

void PrintUsage(std::ostream& out) {
  std::string extensions;
  for (const std::string& ext : ConversionExtensions()) extensions += (extensions.empty() ? "" : ", ") + ext;
  out << "Usage:\n"
         "  grooveloom [FILE]         start the editor; FILE (a .gvlm tab) is opened as by File > Open\n"
         "  grooveloom -o OUT IN      convert the tab file IN to OUT without opening a window;\n"
         "                            the extension of OUT names the format ("
      << extensions
      << ")\n"
         "  grooveloom --help         show this help\n"
         "\n"
         "Exit status of -o: 0 done; 1 IN refused or OUT not written (OUT is never left partial);\n"
         "2 unknown OUT extension or wrong arguments. Messages go to standard error.\n";
}

int Convert(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "grooveloom: -o needs an output and an input file\n";
    PrintUsage(std::cerr);
    return 2;
  }
  std::string message;
  const int status = ConvertTabFile(argv[3], argv[2], message);
  if (!message.empty()) std::cerr << message << '\n';
  return status;
}

// For the start-up benchmark: boxes are printed instead of shown, so nothing waits for a click.
class StderrDialogService : public DialogService {
 public:
  void Message(QWidget*, Icon, const QString& title, const QString& text) override {
    std::cerr << title.toStdString() << ": " << text.toStdString() << '\n';
  }
  bool Question(QWidget*, const QString&, const QString&) override { return true; }
  int Choose(QWidget*, const QString&, const QString& text, const QStringList&) override {
    std::cerr << text.toStdString() << '\n';
    return 0;
  }
  std::optional<QString> OpenFile(QWidget*, const FileDialogSpec&) override { return std::nullopt; }
  std::optional<QString> SaveFile(QWidget*, const FileDialogSpec&) override { return std::nullopt; }
};

// Ends the process right after the main window's first paint has been flushed, printing the
// window's title so scripts can see which document came up.
class ExitAfterFirstPaint : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !done_) {
      done_ = true;
      auto* window = qobject_cast<QWidget*>(watched);
      // Queued: runs once the whole window has been painted and put on the screen.
      QTimer::singleShot(0, [window] {
        std::cout << "title: " << window->windowTitle().toStdString() << std::endl;
        QCoreApplication::exit(0);
      });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  bool done_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  // The command-line modes need no display, so they run before any Qt object exists.
  if (argc >= 2) {
    const std::string first = argv[1];
    if (first == "--help" || first == "-h") {
      PrintUsage(std::cout);
      return 0;
    }
    if (first == "-o") return Convert(argc, argv);
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(kApplicationTitle);
  QStringList files = QApplication::arguments().mid(1);  // Qt has taken its own options out
  for (const QString& arg : files) {
    if (arg.startsWith('-')) {
      std::cerr << "grooveloom: unknown option " << arg.toStdString() << '\n';
      PrintUsage(std::cerr);
      return 2;
    }
  }
  if (files.size() > 1) {
    std::cerr << "grooveloom: one file at a time\n";
    return 2;
  }

  const bool exitAfterShow = qEnvironmentVariableIntValue("GROOVELOOM_EXIT_AFTER_SHOW") == 1;
  std::unique_ptr<DialogService> dialogs;
  if (exitAfterShow)
    dialogs = std::make_unique<StderrDialogService>();
  else
    dialogs = std::make_unique<QtDialogService>();

  // The MIDI log is a troubleshooting aid: say at once when it cannot be written.
  if (std::string logError; !StartMidiLogFromEnvironment(logError))
    std::cerr << "grooveloom: " << logError << '\n';

  std::unique_ptr<MidiDeviceLayer> devices = MakeSystemDeviceLayer();
  SetMidiDeviceLayer(devices.get());

  int status = 0;
  {
    // A box shown while the main window is being created (no MIDI device) would otherwise be the
    // last window to close and end the program before it starts.
    QApplication::setQuitOnLastWindowClosed(false);
    // The forms, in the order the program creates them.
    TFmain fmain(*dialogs);
    TFOpt options(&fmain);
    TDemo_Form demo(*dialogs, &fmain);
    TFAbout about(&fmain);
    fmain.SetOptionsForm(&options);
    fmain.SetDemoForm(&demo);
    fmain.SetAboutBox(&about);

    ExitAfterFirstPaint exitFilter;
    if (exitAfterShow) fmain.installEventFilter(&exitFilter);
    fmain.show();
    QApplication::setQuitOnLastWindowClosed(true);
    fmain.OfferRecovery();  // a song left unsaved by a crash comes before the file named here
    if (!files.isEmpty()) fmain.OpenDocumentFile(files.first());
    status = app.exec();
  }
  SetMidiDeviceLayer(nullptr);
  return status;
}

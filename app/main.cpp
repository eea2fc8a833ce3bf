// Grooveloom: `grooveloom [FILE]` opens the editor (with FILE opened), `grooveloom -o OUT IN`
// converts a tab file without any window.
#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QProcess>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cctype>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <iconv.h>
#include <langinfo.h>

#include "app/play_command.h"
#include "audio/audio_convert.h"
#include "audio/live_mixer.h"
#include "files/convert.h"
#include "midi/midi_output.h"
#include "midi/output/system_device_layer.h"
#include "files/program_info.h"
#include "ui/about_box.h"
#include "ui/app_identity.h"
#include "ui/demo_form.h"
#include "ui/dialogs.h"
#include "ui/local_path.h"
#include "ui/main_window.h"
#include "ui/options_dialog.h"
#include "ui/recovery.h"
#include "ui/tab_printer.h"

namespace {

// The format whose writer paints with Qt; converting to it starts Qt on the offscreen platform.
constexpr std::string_view kPaintedExtension = ".pdf";

bool IsPaintedFormat(std::string path) {
  for (char& c : path) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return path.size() > kPaintedExtension.size() && path.ends_with(kPaintedExtension);
}

// Qt's offscreen platform warns when the session has no XDG_RUNTIME_DIR, which a conversion never
// uses; on a headless machine that would be noise on every run.
QtMessageHandler gQtMessages = nullptr;
void QuietConversionMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtWarningMsg && text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR")))
    return;
  if (gQtMessages) gQtMessages(type, context, text);
}

void PrintUsage(std::ostream& out) {
  std::string extensions;
  for (const std::string& ext : ConversionExtensions())
    extensions += (extensions.empty() ? "" : ", ") + ext;
  out << "Usage:\n"
         "  grooveloom [FILE]         start the editor; FILE (a .gvlm tab) is opened as by File > Open\n"
         "  grooveloom -o OUT IN      convert the tab file IN to OUT without opening a window;\n"
         "                            the extension of OUT names the format ("
      << extensions
      << ")\n"
         "                            IN may also be a text tab (.txt, .tab) or a MIDI file\n"
         "                            (.mid, .midi), imported as a new song; FILE too\n"
         "  --channel N               with -o: the MIDI channel (1..16) of the drum notes to\n"
         "                            import, 10 by default; options go in any order\n"
         "  --no-normalize            with -o to .wav, .flac or .ogg: keep the synthesizer's level\n"
         "                            (by default the loudest sample is brought to -1 dBFS)\n"
         "  grooveloom --recover COPY open a recovery copy left by a crash (from the recovery\n"
         "                            folder) as its unsaved song; the program starts itself so\n"
         "                            for each further song recovered at start-up\n"
         "  grooveloom --play SONG [--tempo T] [--click quarter|eighth|sixteenth] [--count-in N]\n"
         "             [--loop-part NAME | --loop-bars A-B] [--trainer FROM%:TO%:STEP%:PASSES]\n"
         "                            play SONG with the built-in synthesizer without a window,\n"
         "                            until its end or Ctrl+C, showing the bar and beat\n"
         "  grooveloom --help         show this help\n"
         "  grooveloom --version      show the program's version\n"
         "\n"
         "Exit status of -o: 0 done; 1 IN refused or OUT not written (OUT is never left partial);\n"
         "2 unknown OUT extension or wrong arguments. Messages go to standard error.\n";
}

// The model's texts are Windows-1252; a terminal shows the locale's encoding (mostly UTF-8).
// Characters the locale lacks become look-alikes or '?'.
std::string LocaleText(const std::string& cp1252) {
  if (std::all_of(cp1252.begin(), cp1252.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    return cp1252;
  std::setlocale(LC_CTYPE, "");
  const std::string target = std::string(nl_langinfo(CODESET)) + "//TRANSLIT";
  iconv_t convert = iconv_open(target.c_str(), "WINDOWS-1252");
  if (convert == reinterpret_cast<iconv_t>(-1)) return cp1252;
  std::string in = cp1252, out(cp1252.size() * 4 + 16, '\0');
  char* from = in.data();
  char* to = out.data();
  std::size_t left = in.size(), room = out.size();
  while (left > 0 && iconv(convert, &from, &left, &to, &room) == static_cast<std::size_t>(-1)) {
    if (room == 0) break;
    ++from;  // a byte the locale cannot show at all
    --left;
    *to++ = '?';
    --room;
  }
  iconv_close(convert);
  out.resize(out.size() - room);
  return out;
}

// `-o OUT`, `--channel N` and IN in any order; `--` ends the options (for a name starting with -).
int Convert(int argc, char** argv, ProgramSettings& settings) {
  std::vector<std::string> inputs;
  std::string out;
  bool haveOut = false, options = true;
  int channel = 10;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options && arg == "--") {
      options = false;
    } else if (options && arg == "-o") {
      if (i + 1 >= argc || haveOut) {
        std::cerr << "grooveloom: -o needs one output file\n";
        PrintUsage(std::cerr);
        return 2;
      }
      out = argv[++i];
      haveOut = true;
    } else if (options && (arg == "--channel" || arg.starts_with("--channel="))) {
      std::string value;
      if (arg != "--channel")
        value = arg.substr(std::string("--channel=").size());
      else if (i + 1 < argc)
        value = argv[++i];
      channel = !value.empty() && value.size() <= 2 && value.find_first_not_of("0123456789") == std::string::npos
                    ? std::stoi(value) : 0;
      if (channel < 1 || channel > 16) {
        std::cerr << "grooveloom: --channel needs a MIDI channel from 1 to 16\n";
        return 2;
      }
    } else if (options && arg == "--no-normalize") {
      settings.NormalizeAudio = false;
    } else if (options && arg.size() > 1 && arg[0] == '-') {
      std::cerr << "grooveloom: unknown option " << arg << '\n';
      PrintUsage(std::cerr);
      return 2;
    } else {
      inputs.push_back(arg);
    }
  }
  if (!haveOut || inputs.size() != 1) {
    std::cerr << "grooveloom: -o needs an output and an input file\n";
    PrintUsage(std::cerr);
    return 2;
  }
  const std::vector<std::string> files = {out, inputs.front()};
  std::string message;
  std::unique_ptr<QGuiApplication> painting;
  if (IsPaintedFormat(files[0])) {
    // Painting needs fonts and a QGuiApplication, never a display: the offscreen platform for this
    // process whatever the environment names. Qt sees none of our arguments (it keeps argc).
    qputenv("QT_QPA_PLATFORM", "offscreen");
    gQtMessages = qInstallMessageHandler(QuietConversionMessages);
    static int qtArgc = 1;
    painting = std::make_unique<QGuiApplication>(qtArgc, argv);
  }
  std::vector<std::string> warnings;
  const int status = ConvertFile(files[1], files[0], channel, message, warnings);
  for (const std::string& warning : warnings) std::cerr << "Warning: " << LocaleText(warning) << '\n';
  if (!message.empty()) std::cerr << message << '\n';
  return status;
}

// The editor needs a display. Without one Qt ends the process with a fatal message and a core
// dump; say what is wrong and how to convert without a window instead.
QtMessageHandler gStartMessages = nullptr;
void NoDisplayIsAnError(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type != QtFatalMsg) {
    if (gStartMessages) gStartMessages(type, context, text);
    return;
  }
  std::cerr << "grooveloom: cannot open the editor's window: " << text.toStdString() << '\n'
            << "The editor needs a graphical session (DISPLAY or WAYLAND_DISPLAY); without one,\n"
               "grooveloom -o OUT IN converts files.\n\n";
  PrintUsage(std::cerr);
  std::_Exit(1);
}

// For the start-up benchmark: boxes are printed instead of shown, so nothing waits for a click.
class StderrDialogService : public DialogService {
 public:
  void Message(QWidget*, Icon, const QString& title, const QString& text) override {
    std::cerr << title.toStdString() << ": " << text.toStdString() << '\n';
  }
  bool Question(QWidget*, const QString&, const QString&) override { return true; }
  std::optional<QString> OpenFile(QWidget*, const FileDialogSpec&) override { return std::nullopt; }
  std::optional<QString> SaveFile(QWidget*, const FileDialogSpec&) override { return std::nullopt; }

 protected:
  int ChooseButton(QWidget*, const QString&, const QString& text, const QStringList&, int defaultButton,
                   int) override {
    std::cerr << text.toStdString() << '\n';
    return defaultButton;
  }
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
  ProgramSettings commandLine;  // the conversions' settings, from the command line
  AddAudioConversions(commandLine);
  AddConversionFormat(std::string(kPaintedExtension), WritePdfFile);
  // The command-line modes need no display, so they run before any Qt object exists.
  if (argc >= 2) {
    const std::string first = argv[1];
    if (first == "--help" || first == "-h") {
      PrintUsage(std::cout);
      return 0;
    }
    if (first == "--version") {
      std::cout << kProgramNameAndVersion << '\n';
      return 0;
    }
    if (first == "--play") return PlayFromCommandLine(argc, argv);
  }
  bool channel = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--") break;
    if (arg == "-o") return Convert(argc, argv, commandLine);
    channel = channel || arg == "--channel" || arg.starts_with("--channel=");
  }
  if (channel) {  // said here, before a window (and a display) is needed to say it
    std::cerr << "grooveloom: --channel goes with -o\n";
    PrintUsage(std::cerr);
    return 2;
  }

  gStartMessages = qInstallMessageHandler(NoDisplayIsAnError);
  QApplication app(argc, argv);
  qInstallMessageHandler(gStartMessages);
  SetApplicationIdentity();
  // Qt has taken its own options out of argv. The rest keep their bytes: a file name need not be
  // valid UTF-8, which QApplication::arguments() would damage.
  QStringList files;
  for (int i = 1; i < argc; ++i) files << PathFromLocalBytes(QByteArray(argv[i]));
  // --recover COPY: a window started by another one to take over a song recovered after a crash.
  QString recoverCopy;
  if (files.size() == 2 && files[0] == "--recover") {
    recoverCopy = files[1];
    files.clear();
  }
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

  // Playback on the built-in synthesizer is mixed into its audio callback; the mixer outlives it.
  LiveMixer liveMixer({}, FluidSynthDevice::ConfiguredLatencyFrames());
  auto devices = std::make_unique<SystemDeviceLayer>();
  devices->SetSynthPlayback(&liveMixer, &liveMixer);
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
    fmain.Recovery().OpenInNewWindow = [](const QString& copy) {
      return QProcess::startDetached(QCoreApplication::applicationFilePath(), {"--recover", copy});
    };
    if (!recoverCopy.isEmpty()) {
      fmain.RecoverCopy(recoverCopy);
    } else {
      // A song left unsaved by a crash comes before the file named here; opening that file over
      // the recovered song asks first, with keeping the song as the answer to Enter.
      fmain.OfferRecovery();
      if (!files.isEmpty()) fmain.OpenDocumentFile(files.first());
    }
    status = app.exec();
  }
  SetMidiDeviceLayer(nullptr);
  return status;
}

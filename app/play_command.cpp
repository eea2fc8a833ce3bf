#include "app/play_command.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "audio/live_mixer.h"
#include "files/import_file.h"
#include "files/tab_file.h"
#include "midi/midi_output.h"
#include "midi/output/system_device_layer.h"
#include "midi/playback.h"
#include "midi/practice.h"

namespace {

std::atomic<bool> gInterrupted{false};
void OnInterrupt(int) { gInterrupted = true; }

const char* const kPlayUsage =
    "Usage: grooveloom --play SONG [--tempo T] [--click quarter|eighth|sixteenth] [--count-in N]\n"
    "                  [--loop-part NAME | --loop-bars A-B] [--trainer FROM%:TO%:STEP%:PASSES]\n";

bool IntArgument(const std::string& text, int low, int high, int& value) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  value = std::stoi(text);
  return value >= low && value <= high;
}

struct Arguments {
  std::string Song;
  int Tempo = 0;  // 0: the song's
  PracticeOptions Practice;
  std::string LoopPart, LoopBars;
};

int Refuse(const std::string& message) {
  std::cerr << "grooveloom: " << message << '\n' << kPlayUsage;
  return 2;
}

// The beat the bar's denominator counts, in straight time whatever the grid.
int64_t BeatUnits(const TBar& bar) { return kUnitsPerQuarter * 4 / std::max<int>(bar.Denominator, 1); }
bool OnBeat(const TBar& bar, int cell) { return cell * CellUnits(bar.Grid) % BeatUnits(bar) == 0; }

// Shows where playback is: one line rewritten on a terminal, a line per beat otherwise.
class ProgressDisplay {
 public:
  explicit ProgressDisplay(const Osnova& doc) : doc_(doc), terminal_(::isatty(STDOUT_FILENO) == 1) {}
  void Show(const PlaybackStep& step, int tempo) {
    std::string text;
    const int percent = (step.CentiBpm + tempo / 2) / tempo;
    char tempoText[64];
    std::snprintf(tempoText, sizeof tempoText, "%.2f bpm (%d %%)", step.CentiBpm / 100.0, percent);
    if (step.Kind == StepKind::CountIn) {
      const TBar& bar = doc_.Bar(std::min<uint16_t>(step.At.Bar, static_cast<uint16_t>(doc_.BarCount - 1)));
      // The count-in runs through the cells of the bar the music starts in, ending just before the
      // start: the step with n steps left is cell start - 1 - n, wrapped.
      const int length = std::max<int>(bar.Length, 1);
      const int start = std::min<int>(step.At.Position, length - 1);
      auto cellOf = [&](int left) { return ((start - 1 - left) % length + length) % length; };
      if (!OnBeat(bar, cellOf(step.CountInLeft))) return;
      int beatsLeft = 0;
      for (int left = step.CountInLeft; left >= 0; --left) beatsLeft += OnBeat(bar, cellOf(left)) ? 1 : 0;
      text = "count-in " + std::to_string(beatsLeft) + "  " + tempoText;
    } else {
      const TBar& bar = doc_.Bar(step.At.Bar);
      if (!OnBeat(bar, step.At.Position)) return;
      const int64_t beat = BeatUnits(bar);
      text = "bar " + std::to_string(step.At.Bar + 1) + "/" + std::to_string(doc_.BarCount) + "  beat " +
             std::to_string(step.At.Position * CellUnits(bar.Grid) / beat + 1) + "/" +
             std::to_string((BarUnits(bar) + beat - 1) / beat) + "  " + tempoText;
      if (step.Pass > 0) text += "  pass " + std::to_string(step.Pass + 1);
    }
    std::lock_guard<std::mutex> guard(lock_);
    if (terminal_)
      std::printf("\r%-60s", text.c_str());
    else
      std::printf("%s\n", text.c_str());
    std::fflush(stdout);
  }
  void End() {
    if (terminal_) std::printf("\n");
  }

 private:
  const Osnova& doc_;
  bool terminal_;
  std::mutex lock_;
};

}  // namespace

int PlayFromCommandLine(int argc, char** argv) {
  Arguments args;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    std::string error;
    if (arg == "--tempo" && hasValue) {
      if (!IntArgument(argv[++i], 1, kMaxTempo, args.Tempo)) return Refuse("--tempo takes 1..1024");
    } else if (arg == "--click" && hasValue) {
      if (!ParseClickMode(argv[++i], args.Practice.Click, error)) return Refuse(error);
    } else if (arg == "--count-in" && hasValue) {
      if (!IntArgument(argv[++i], 0, 2, args.Practice.CountInBars)) return Refuse("--count-in takes 0, 1 or 2");
    } else if (arg == "--loop-part" && hasValue) {
      args.LoopPart = argv[++i];
    } else if (arg == "--loop-bars" && hasValue) {
      args.LoopBars = argv[++i];
    } else if (arg == "--trainer" && hasValue) {
      if (!ParseTrainer(argv[++i], args.Practice.Trainer, error)) return Refuse(error);
    } else if (!arg.empty() && arg[0] != '-' && args.Song.empty()) {
      args.Song = arg;
    } else {
      return Refuse("unknown or incomplete option " + arg);
    }
  }
  if (args.Song.empty()) return Refuse("--play needs a song");
  if (!args.LoopPart.empty() && !args.LoopBars.empty()) return Refuse("--loop-part and --loop-bars exclude each other");

  std::unique_ptr<Osnova> doc;
  std::string error;
  if (ImportKindOf(args.Song) != ImportKind::None) {
    ImportResult imported = ImportFile(args.Song, 10);
    for (const std::string& warning : imported.Warnings) std::cerr << "Warning: " << warning << '\n';
    doc = std::move(imported.Document);
    error = imported.Error;
  } else {
    doc = LoadFromTabFile(args.Song, error);
  }
  if (!doc || doc->BarCount == 0) {
    std::cerr << error << '\n';
    return 1;
  }
  const KitRows kit = doc->Kit;
  const int tempo = args.Tempo > 0 ? args.Tempo : std::max<int>(doc->Tempo, 1);
  PracticeOptions& practice = args.Practice;
  if (!args.LoopPart.empty() || !args.LoopBars.empty()) {
    BarRange range;
    if (!args.LoopPart.empty()) {
      const auto part = PartRangeNamed(*doc, args.LoopPart);
      if (!part) {
        std::cerr << "grooveloom: the song has no part named \"" << args.LoopPart << "\"\n";
        return 1;
      }
      range = *part;
    } else if (!ParseBarRange(args.LoopBars, doc->BarCount, range, error)) {
      return Refuse(error);
    }
    practice.RangeLoop = true;
    practice.LoopFirst = range.First;
    practice.LoopLast = range.Last;
  }
  // The trainer counts passes: without a range it loops the song.
  const bool loop = practice.Trainer.On;

  std::string logError;
  if (!StartMidiLogFromEnvironment(logError)) std::cerr << "grooveloom: " << logError << '\n';
  // The mixer first: the synthesizer's audio thread uses it until the device closes.
  LiveMixer mixer({}, FluidSynthDevice::ConfiguredLatencyFrames());
  SystemDeviceLayer devices;
  devices.SetSynthPlayback(&mixer, &mixer);
  SetMidiDeviceLayer(&devices);
  if (!OpenMidiDevice(MidiOut, 0)) {
    std::cerr << "grooveloom: " << kMidiOpenErrorMessage << ": " << devices.LastError() << '\n';
    SetMidiDeviceLayer(nullptr);
    return 1;
  }
  TimedOutput* output = devices.PlaybackOutput();
  if (!output) output = &mixer;  // not reached: the synthesizer plays

  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  std::mutex documentLock, doneLock;
  std::condition_variable doneChanged;
  bool finished = false;
  ProgressDisplay display(*doc);
  TMetronom engine([&]() -> TimedOutput& { return *output; }, documentLock, [&] { return doc.get(); },
                   [&](const PlaybackStep& step) {
                     display.Show(step, tempo);
                     if (!step.Finished) return;
                     std::lock_guard<std::mutex> guard(doneLock);
                     finished = true;
                     doneChanged.notify_all();
                   },
                   &kit);
  const PlayPosition from{practice.RangeLoop ? practice.LoopFirst : uint16_t{0}, 0};
  engine.Play(PlaySong, from, tempo, loop, practice);
  {
    std::unique_lock<std::mutex> guard(doneLock);
    while (!finished && !gInterrupted) doneChanged.wait_for(guard, std::chrono::milliseconds(50));
  }
  // The last notes ring out (a cymbal takes a while) unless the user wants silence now.
  for (int i = 0; i < 40 && !gInterrupted && finished; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  engine.Stop();
  display.End();
  // What the listener may have noticed: gaps in the sound, notes that came after their frame.
  if (const int64_t gaps = devices.Synth().Underruns(); gaps > 0)
    std::cerr << "grooveloom: the audio output ran dry " << gaps << " times\n";
  if (const int64_t late = mixer.LateNotes(); late > 0) std::cerr << "grooveloom: " << late << " notes came late\n";
  const int status = engine.LastError().empty() ? 0 : 1;
  if (status) std::cerr << "grooveloom: " << engine.LastError() << '\n';
  CloseMidiDevice(MidiOut);
  SetMidiDeviceLayer(nullptr);
  return status;
}

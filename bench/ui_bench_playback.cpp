// Playback timing with the real clock and the real window: Play song for 30 s at tempo 120 and 30 s
// at tempo 1024 (15 ms steps) while the window follows the cursor and repaints itself every 16 ms.
// The output (a device that plays at once, so sent = heard) records when each column starts.
// Reports |interval - 15000 / tempo ms| between consecutive columns (p50, p99, max) and the drift:
// last column - first - the exact steps between them. For what the built-in synthesizer makes heard,
// see bench/heard_timing.sh.
// Targets on the 2-core development machine: p99 <= 2 ms, drift <= 1 ms.
//
//   build/ui_bench_playback [seconds per tempo, default 30]
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/groove_song.h"
#include "bench/ui_bench.h"
#include "files/tab_file.h"
#include "midi/midi_output.h"
#include "midi/playback.h"
#include "ui/main_window.h"
#include "ui/main_window_playback.h"
#include "ui/main_window_widgets.h"

namespace {

// Stamps the program change that opens every column.
class StampingLayer : public MidiDeviceLayer {
 public:
  StampingLayer() : stamps_(1 << 16) {}
  int Count() override { return 1; }
  bool Name(int, std::string& name) override { name = "recorder"; return true; }
  bool Open(int) override { return true; }
  void Send(uint32_t msg) override {
    if ((msg & 0xF0) != 0xC0) return;
    const std::size_t i = count_.fetch_add(1);
    if (i < stamps_.size()) stamps_[i] = std::chrono::steady_clock::now();
  }
  void Close() override {}
  std::vector<std::chrono::steady_clock::time_point> Take() {
    std::vector<std::chrono::steady_clock::time_point> out(
        stamps_.begin(), stamps_.begin() + std::min(count_.load(), stamps_.size()));
    count_ = 0;
    return out;
  }

 private:
  std::vector<std::chrono::steady_clock::time_point> stamps_;
  std::atomic<std::size_t> count_{0};
};

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[static_cast<std::size_t>(std::min<double>(v.size() - 1, std::ceil(p * v.size()) - 1))];
}

void Run(QApplication& app, TFmain& window, StampingLayer& layer, int tempo, int seconds) {
  window.findChild<TempoBox*>("ESped")->ShowValue(tempo);
  const double delay = 15000.0 / tempo;  // exact: the grid is in frames, not whole milliseconds
  layer.Take();
  window.findChild<QToolButton*>("BPLaySong")->click();
  QTimer repaint;  // a window that keeps drawing, as while the user works
  QObject::connect(&repaint, &QTimer::timeout, &window, [&] { window.repaint(); });
  repaint.start(16);
  QTimer::singleShot(seconds * 1000, &app, [&] {
    window.findChild<QToolButton*>("BStop")->click();
    app.quit();
  });
  app.exec();
  repaint.stop();
  const auto stamps = layer.Take();
  std::vector<double> errors;
  for (std::size_t i = 1; i < stamps.size(); ++i) {
    const double interval = std::chrono::duration<double, std::milli>(stamps[i] - stamps[i - 1]).count();
    errors.push_back(std::fabs(interval - delay));
  }
  const double span = stamps.size() > 1
                          ? std::chrono::duration<double, std::milli>(stamps.back() - stamps.front()).count()
                          : 0;
  const double drift = span - double(delay) * double(stamps.size() - 1);
  std::printf("tempo %4d (%.3f ms steps, normal priority): %5zu columns  |interval - step| p50 %.3f ms  "
              "p99 %.3f ms  max %.3f ms  drift %+.3f ms\n",
              tempo, delay, stamps.size(),
              Percentile(errors, 0.50), Percentile(errors, 0.99),
              errors.empty() ? 0.0 : *std::max_element(errors.begin(), errors.end()), drift);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  UseOffscreenUnlessSet();
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
  QApplication app(argc, argv);
  QTemporaryDir folder;
  QDir::setCurrent(folder.path());  // undo snapshots and the like stay in here
  StampingLayer layer;
  SetMidiDeviceLayer(&layer);
  SilentDialogs dialogs;
  {
    TFmain window(dialogs);
    window.show();
    // Long enough that neither run reaches the end: 30 s at 1024 is 125 bars.
    const QString path = folder.filePath("groove.gvlm");
    std::string error;
    if (!SaveToTabFile(*MakeGrooveSong(400), path.toStdString(), error) || !window.OpenDocumentFile(path)) {
      std::fprintf(stderr, "cannot prepare the song: %s\n", error.c_str());
      return 1;
    }
    Run(app, window, layer, 120, seconds);
    Run(app, window, layer, 1024, seconds);
  }
  SetMidiDeviceLayer(nullptr);
  return 0;
}

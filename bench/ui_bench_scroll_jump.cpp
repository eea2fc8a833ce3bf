// The scroll bar dragged from the first to the last bar of the longest song (65535 bars) and back,
// in the real window: target <= 16 ms each (one frame), from the value change to the repainted view.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScrollBar>

#include <memory>

#include "bench/groove_song.h"
#include "bench/ui_bench.h"
#include "files/tab_file.h"
#include "ui/main_window.h"
#include "ui/tab_view.h"

namespace {

void BM_ScrollBarJump(benchmark::State& state) {
  const bool toEnd = state.range(0) != 0;
  SilentDialogs dialogs;
  auto doc = MakeGrooveSong(kMaxBarCount);
  std::string error;
  dialogs.OpenPath = QDir::temp().filePath("grooveloom-bench-scroll.gvlm");
  if (!SaveToTabFile(*doc, QFile::encodeName(*dialogs.OpenPath).toStdString(), error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  TFmain window(dialogs);
  window.show();
  window.OpenDocument();
  QFile::remove(*dialogs.OpenPath);
  QApplication::processEvents();
  for (auto _ : state) {
    state.PauseTiming();
    window.findChild<QScrollBar*>("ScrollBar1")->setValue(toEnd ? 1 : kMaxBarCount);
    QApplication::processEvents();
    state.ResumeTiming();
    window.findChild<QScrollBar*>("ScrollBar1")->setValue(toEnd ? kMaxBarCount : 1);
    window.View()->repaint();  // the frame the user sees
  }
  state.counters["bar"] = window.Document()->CurrentBar;
}

}  // namespace

BENCHMARK(BM_ScrollBarJump)->ArgName("toEnd")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)
    ->Repetitions(5)->ReportAggregatesOnly(true);

int main(int argc, char** argv) { return RunBenchmarks<QApplication>(argc, argv); }

// The event list window showing the export of the longest song (65535 bars, over three million
// events): target <= 0.5 s from show() to the painted first page.
#include <QApplication>
#include <QTableView>

#include "bench/groove_song.h"
#include "bench/ui_bench.h"
#include "midi/tab_to_midi.h"
#include "ui/demo_form.h"
#include "ui/event_list_window.h"

namespace {

void PaintNow(EventListWindow& list) {
  QApplication::processEvents();
  list.View()->viewport()->repaint();
}

// The container is filled beforehand; only the window's part is timed.
void BM_ShowEventList(benchmark::State& state) {
  auto doc = MakeGrooveSong(static_cast<uint16_t>(state.range(0)));
  TMIDI_Container container;
  Convert_Tab(container, doc->Bars, 120);
  EventListWindow list(container);
  for (auto _ : state) {
    list.show();
    PaintNow(list);
    state.PauseTiming();
    list.hide();
    list.Clear_List();
    QApplication::processEvents();
    state.ResumeTiming();
  }
  state.counters["rows"] = container.Count();
}

// The whole command as the user sees it: convert, show the list and the "MIDI Demo" window.
void BM_ExportTabCommand(benchmark::State& state) {
  auto doc = MakeGrooveSong(static_cast<uint16_t>(state.range(0)));
  SilentDialogs dialogs;
  dialogs.Answer = false;
  TDemo_Form form(dialogs);
  for (auto _ : state) {
    form.ExportTab(*doc, 120);
    PaintNow(*form.EventList());
    state.PauseTiming();
    form.close();
    QApplication::processEvents();
    state.ResumeTiming();
  }
}

}  // namespace

BENCHMARK(BM_ShowEventList)->Arg(5000)->Arg(kMaxBarCount)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportTabCommand)->Arg(5000)->Arg(kMaxBarCount)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return RunBenchmarks<QApplication>(argc, argv); }

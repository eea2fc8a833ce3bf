// Note entry on the largest song a document can hold, 65535 bars: the undo snapshot of the whole
// document is what costs; the note itself is a bit and a cell.
#include <benchmark/benchmark.h>

#include "bench/groove_song.h"
#include "model/bar_commands.h"
#include "model/note_entry.h"
#include "model/undo_history.h"

namespace {

// One key press: snapshot, then set or remove the note (pressing the same key again removes it, so
// the iterations alternate and the song stays the same size).
void BM_NoteEntryWithSnapshot(benchmark::State& state) {
  auto doc = MakeGrooveSong(kMaxBarCount);
  UR_Stack history(10);
  doc->CurrentBar = 30000;
  const UndoView view{29998, 30005, 30000, 21, 0};
  for (auto _ : state) {
    NoteEntry e = SetNoteAt(*doc, doc->CurrentBar, 5, RowSnare, 0, 0,
                            [&] { history.Push(*doc, view); });
    benchmark::DoNotOptimize(e);
  }
}
BENCHMARK(BM_NoteEntryWithSnapshot)->Unit(benchmark::kMillisecond)->Repetitions(10)
    ->ReportAggregatesOnly(true);

// Inserting and removing a bar at the front moves every bar slot: the O(n) part of the bar commands.
void BM_InsertAndRemoveFirstBar(benchmark::State& state) {
  auto doc = MakeGrooveSong(kMaxBarCount - 1);
  doc->CurrentBar = 0;
  for (auto _ : state) {
    InsertBarCommand(*doc, {});
    RemoveBarCommand(*doc, {});
  }
}
BENCHMARK(BM_InsertAndRemoveFirstBar)->Unit(benchmark::kMillisecond)->Repetitions(10)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();

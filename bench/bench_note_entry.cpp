// Note entry and undo on the largest song a document can hold, 65535 bars. Snapshots share the
// bars an edit leaves alone (model/bar_array.h), so each costs the bar it changes, not the song.
#include <benchmark/benchmark.h>

#include "bench/groove_song.h"
#include "model/bar_commands.h"
#include "model/note_entry.h"
#include "model/undo_history.h"

namespace {

const UndoView kView{29998, 30005, 30000, 21, 0};

// One key press: snapshot, then set or remove the note (pressing the same key again removes it, so
// the iterations alternate and the song stays the same size).
void BM_NoteEntryWithSnapshot(benchmark::State& state) {
  auto doc = MakeGrooveSong(kMaxBarCount);
  UR_Stack history(kDeepUndoSlots, kDeepUndoBytes);
  doc->CurrentBar = 30000;
  int i = 0;
  for (auto _ : state) {
    NoteEntry e = SetNoteAt(*doc, 30000 + i++ % 64, 5, RowSnare, 0, 0,
                            [&] { history.Push(*doc, kView, "note entry"); });
    benchmark::DoNotOptimize(e);
  }
  state.counters["history_MB"] = static_cast<double>(history.MemoryUsed()) / (1 << 20);
}
BENCHMARK(BM_NoteEntryWithSnapshot)->Unit(benchmark::kMillisecond)->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_Push(benchmark::State& state) {
  auto doc = MakeGrooveSong(kMaxBarCount);
  UR_Stack history(10);
  for (auto _ : state) history.Push(*doc, kView);
}
BENCHMARK(BM_Push)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// One Undo and one Redo with 1,000 note entries in the history (`steps`): the song the window would
// get back each time, its bars shared with the history.
void BM_UndoRedo(benchmark::State& state) {
  auto doc = MakeGrooveSong(kMaxBarCount);
  UR_Stack history(kDeepUndoSlots, kDeepUndoBytes);
  for (int i = 0; i < state.range(0); ++i)
    SetNoteAt(*doc, (i * 61) % kMaxBarCount, i % 16, RowSnare, 0, 0,
              [&] { history.Push(*doc, kView, "note entry"); });
  UndoView view = kView;
  for (auto _ : state) {
    for (bool undo : {true, false}) {
      auto restored = history.Restore(undo, *doc, view);
      if (!restored) {
        state.SkipWithError("restore refused");
        return;
      }
      doc = std::move(restored->Doc);
      view = restored->View;
    }
  }
  const double song = static_cast<double>(doc->Bars.UnsharedBytes(nullptr));
  state.counters["song_MB"] = song / (1 << 20);
  state.counters["history_MB"] = static_cast<double>(history.MemoryUsed()) / (1 << 20);
  state.counters["history_per_song"] = static_cast<double>(history.MemoryUsed()) / song;
  state.counters["steps"] = history.Current() + 1;
}
BENCHMARK(BM_UndoRedo)->Arg(9)->Arg(1000)->Unit(benchmark::kMillisecond)->Repetitions(5)
    ->ReportAggregatesOnly(true);

// Inserting and removing a bar at the front moves every bar pointer: the O(n) part of the bar
// commands.
void BM_InsertAndRemoveFirstBar(benchmark::State& state) {
  auto doc = MakeGrooveSong(kMaxBarCount - 1);
  doc->CurrentBar = 0;
  for (auto _ : state) {
    InsertBarCommand(*doc, {});
    RemoveBarCommand(*doc, {});
  }
}
BENCHMARK(BM_InsertAndRemoveFirstBar)->Unit(benchmark::kMillisecond)->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();

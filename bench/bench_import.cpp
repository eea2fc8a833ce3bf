// Imports of a 5000-bar song; target <= 100 ms each: a text tab (the program's own export and a
// hand-written style with short labels, repeats and a count line) and a MIDI file (the program's
// own export).
#include <benchmark/benchmark.h>

#include <string>

#include "bench/groove_song.h"
#include "files/tab_export.h"
#include "files/text_tab_import.h"
#include "midi/midi_container.h"
#include "midi/midi_out_file.h"
#include "midi/midi_to_tab.h"
#include "midi/tab_to_midi.h"

namespace {

constexpr uint16_t kBars = 5000;

std::unique_ptr<Osnova> Song() {
  auto doc = MakeGrooveSong(kBars);
  for (int b = 0; b < kBars; b += 8) doc->EditBar(b).Comment = "Open hi-hat on 4";
  for (int b = 0; b < kBars; b += 16) doc->SongParts.push_back({b, b % 32 ? "Verse" : "Chorus"});
  for (int b = 3; b < kBars; b += 4) {
    doc->EditBar(b).Rows[RowFloor].Set(14, 0, 0);
    doc->EditBar(b).Rows[RowCymbals].Set(15, 1, 1);
  }
  return doc;
}

void BM_TextTabImportOwnExport(benchmark::State& state) {
  const std::string text = TextExportBytes(*Song(), ExportBoxes{"4", "4", "120"});
  for (auto _ : state) {
    ImportResult result = ImportTextTab(text);
    if (!result.Document || result.Document->BarCount != kBars) state.SkipWithError("wrong import");
    benchmark::DoNotOptimize(result);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

// Systems of four bars as drummers type them, with a count line above.
void BM_TextTabImportHandWritten(benchmark::State& state) {
  std::string text = "Some groove, 5000 bars of it\n\n";
  for (int s = 0; s < kBars / 4; ++s) {
    text += "   1 e + a 2 e + a 3 e + a 4 e + a\n";
    text += "HH|x-x-x-x-x-x-x-x-|x-x-x-x-x-x-x-x-|x-x-x-x-x-x-x-x-|x-x-x-x-x-x-o---|\n";
    text += "SD|----o-------o---|----o-------o---|----o-------o---|----o-----g-O---|\n";
    text += "BD|o-------o-------|o-------o-o-----|o-------o-------|o-------o-o---o-|\n\n";
  }
  for (auto _ : state) {
    ImportResult result = ImportTextTab(text);
    if (!result.Document || result.Document->BarCount != kBars) state.SkipWithError("wrong import");
    benchmark::DoNotOptimize(result);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

void BM_MidiImportOwnExport(benchmark::State& state) {
  auto doc = Song();
  TMIDI_Container container;
  Convert_Tab(container, doc->Bars, doc->Tempo);
  TMIDI_Out_File writer;
  std::string error;
  if (!writer.Write_File(container, error)) state.SkipWithError(error.c_str());
  const std::string bytes = writer.Bytes();
  for (auto _ : state) {
    ImportResult result = ImportMidiFile(bytes);
    if (!result.Document || result.Document->BarCount != kBars) state.SkipWithError("wrong import");
    benchmark::DoNotOptimize(result);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}

}  // namespace

BENCHMARK(BM_TextTabImportOwnExport)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextTabImportHandWritten)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MidiImportOwnExport)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();

// In-process MIDI export of a long groove song: Convert_Tab into the container, then the file
// bytes, then the file on disk. The whole-process targets (5000 bars <= 0.1 s, 65535 bars <= 1 s)
// are measured by bench/midi_export_wall.sh; these split the time into its steps.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/groove_song.h"
#include "midi/midi_out_file.h"
#include "midi/tab_to_midi.h"

namespace {

const Osnova& SongOf(int64_t bars) {
  static const auto short_song = MakeGrooveSong(5000);
  static const auto long_song = MakeGrooveSong(kMaxBarCount);
  return bars == 5000 ? *short_song : *long_song;
}

void BM_ConvertTab(benchmark::State& state) {
  const Osnova& doc = SongOf(state.range(0));
  TMIDI_Container container;
  for (auto _ : state) {
    Convert_Tab(container, doc.Bars, 120);
    benchmark::DoNotOptimize(container.Count());
  }
  state.counters["events"] = container.Count();
}

void BM_FileBytes(benchmark::State& state) {
  const Osnova& doc = SongOf(state.range(0));
  TMIDI_Container container;
  Convert_Tab(container, doc.Bars, 120);
  std::string error;
  size_t size = 0;
  for (auto _ : state) {
    TMIDI_Out_File file;
    if (!file.Write_File(container, error)) state.SkipWithError(error.c_str());
    size = file.Bytes().size();
    benchmark::DoNotOptimize(size);
  }
  state.counters["bytes"] = static_cast<double>(size);
}

// What the command line does after loading: convert, write atomically, free the events.
void BM_ExportToFile(benchmark::State& state) {
  const Osnova& doc = SongOf(state.range(0));
  std::string path = (std::filesystem::temp_directory_path() / "gl-bench-export.mid").string();
  std::string error;
  for (auto _ : state) {
    TMIDI_Container container;
    Convert_Tab(container, doc.Bars, 120);
    if (!WriteMidiFile(container, path, error)) state.SkipWithError(error.c_str());
  }
  std::remove(path.c_str());
}

}  // namespace

BENCHMARK(BM_ConvertTab)->Arg(5000)->Arg(kMaxBarCount)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FileBytes)->Arg(5000)->Arg(kMaxBarCount)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportToFile)->Arg(5000)->Arg(kMaxBarCount)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();

// The tab file and the undo history on the largest song a document can hold: 65535 bars.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>

#include "bench/groove_song.h"
#include "files/tab_file.h"

namespace {

constexpr uint16_t kBars = 65535;

const Osnova& Song() {
  static auto song = MakeGrooveSong(kBars);
  return *song;
}

std::string TempPath() {
  return (std::filesystem::temp_directory_path() / ("gl-bench-" + std::to_string(::getpid()) + ".gvlm"))
      .string();
}

void BM_WriteTabBytes(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(WriteTabBytes(Song()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(WriteTabBytes(Song()).size()));
}

void BM_ReadTabBytes(benchmark::State& state) {
  const std::string bytes = WriteTabBytes(Song());
  for (auto _ : state) benchmark::DoNotOptimize(ReadTabBytes(bytes));
}

void BM_SaveToTabFile(benchmark::State& state) {
  auto doc = MakeGrooveSong(kBars);
  const std::string path = TempPath();
  std::string error;
  for (auto _ : state)
    if (!SaveToTabFile(*doc, path, error)) state.SkipWithError(error.c_str());
  std::filesystem::remove(path);
}

void BM_LoadFromTabFile(benchmark::State& state) {
  auto doc = MakeGrooveSong(kBars);
  const std::string path = TempPath();
  std::string error;
  if (!SaveToTabFile(*doc, path, error)) state.SkipWithError(error.c_str());
  for (auto _ : state) benchmark::DoNotOptimize(LoadFromTabFile(path, error));
  std::filesystem::remove(path);
}

}  // namespace

BENCHMARK(BM_WriteTabBytes)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_ReadTabBytes)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_SaveToTabFile)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_LoadFromTabFile)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();

BENCHMARK_MAIN();

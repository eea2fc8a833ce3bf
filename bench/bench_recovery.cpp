// What a recovery copy of the largest song costs the window's thread: the bytes of the song and
// their hash (the write itself runs on the writer's thread, measured here for reference).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <string_view>

#include "bench/groove_song.h"
#include "files/recovery_copy.h"
#include "files/tab_file.h"

namespace {

const Osnova& Song() {
  static auto song = MakeGrooveSong(65535);
  return *song;
}

void BM_RecoverySnapshotOnWindowThread(benchmark::State& state) {
  for (auto _ : state) {
    std::string bytes = WriteTabBytes(Song());
    benchmark::DoNotOptimize(std::hash<std::string_view>{}(bytes));
  }
}

void BM_RecoveryWriteOnWriterThread(benchmark::State& state) {
  const auto folder = std::filesystem::temp_directory_path() / ("gl-bench-recovery-" + std::to_string(::getpid()));
  {
    RecoveryWriter writer(folder.string(), [&](const std::string& e) { state.SkipWithError(e.c_str()); });
    const std::string bytes = WriteTabBytes(Song());
    for (auto _ : state) {
      writer.Write(bytes, "/songs/groove.gvlm");
      writer.WaitIdle();
    }
  }
  std::filesystem::remove_all(folder);
}

}  // namespace

BENCHMARK(BM_RecoverySnapshotOnWindowThread)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecoveryWriteOnWriterThread)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();

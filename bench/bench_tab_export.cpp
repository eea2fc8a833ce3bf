// Text and HTML export of the longest song a document can hold; target <= 100 ms each.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/groove_song.h"
#include "files/tab_export.h"

namespace {

const ExportBoxes kBoxes{"4", "4", "120"};

const Osnova& LongSong() {
  static const auto doc = [] {
    auto d = MakeGrooveSong(kMaxBarCount);
    // A part every 16 bars and a comment every 8, so the part and comment lines carry text.
    for (int b = 0; b < kMaxBarCount; b += 16) {
      TSongPart part;
      part.StartBar = b;
      part.SetName(b % 32 ? "Verse & <fill>" : "Chorus");
      d->SongParts.push_back(part);
    }
    for (int b = 0; b < kMaxBarCount; b += 8) d->EditBar(b).Comment = "Open hi-hat on 4";
    return d;
  }();
  return *doc;
}

std::string TempPath(const char* name) {
  return (std::filesystem::temp_directory_path() / name).string();
}

void BM_TextExportBytes(benchmark::State& state) {
  const Osnova& doc = LongSong();
  for (auto _ : state) benchmark::DoNotOptimize(TextExportBytes(doc, kBoxes));
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(TextExportBytes(doc, kBoxes).size()));
}

void BM_HtmlExportBytes(benchmark::State& state) {
  const Osnova& doc = LongSong();
  for (auto _ : state) benchmark::DoNotOptimize(HtmlExportBytes(doc, kBoxes));
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(HtmlExportBytes(doc, kBoxes).size()));
}

// The whole command: building the bytes plus the atomic write (temp file, fsync, rename).
void BM_ExportTextFile(benchmark::State& state) {
  const Osnova& doc = LongSong();
  std::string path = TempPath("grooveloom_bench_export.tab"), error;
  for (auto _ : state)
    if (!ExportText(doc, path, kBoxes, error)) state.SkipWithError(error.c_str());
  std::remove(path.c_str());
}

void BM_ExportHtmlFile(benchmark::State& state) {
  const Osnova& doc = LongSong();
  std::string path = TempPath("grooveloom_bench_export.html"), error;
  for (auto _ : state)
    if (!ExportHtml(doc, path, kBoxes, error)) state.SkipWithError(error.c_str());
  std::remove(path.c_str());
}

}  // namespace

BENCHMARK(BM_TextExportBytes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HtmlExportBytes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportTextFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportHtmlFile)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();

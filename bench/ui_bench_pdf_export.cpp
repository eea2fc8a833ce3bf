// The PDF export of a 5000-bar groove (about 210 A4 pages): target <= 1 s from the document to
// the file on disk. The layout alone is timed too, to show where the time goes.
#include <QGuiApplication>
#include <QTemporaryDir>

#include "bench/groove_song.h"
#include "bench/ui_bench.h"
#include "layout/page_layout.h"
#include "ui/tab_printer.h"

namespace {

const ExportBoxes kBoxes{"4", "4", "120"};

void BM_PageLayout(benchmark::State& state) {
  auto doc = MakeGrooveSong(static_cast<uint16_t>(state.range(0)));
  std::size_t pages = 0;
  for (auto _ : state) {
    const print::PageLayout layout = print::LayOutPages(*doc, kBoxes, print::kA4);
    pages = layout.Pages.size();
    benchmark::DoNotOptimize(pages);
  }
  state.counters["pages"] = static_cast<double>(pages);
}

void BM_PdfExport(benchmark::State& state) {
  auto doc = MakeGrooveSong(static_cast<uint16_t>(state.range(0)));
  QTemporaryDir folder;
  const std::string path = folder.filePath("groove.pdf").toStdString();
  std::string error;
  for (auto _ : state) {
    if (!ExportPdf(*doc, kBoxes, print::kA4, path, error)) state.SkipWithError(error.c_str());
  }
  state.counters["bytes"] = static_cast<double>(PdfBytes(*doc, kBoxes, print::kA4).size());
}

}  // namespace

BENCHMARK(BM_PageLayout)->Arg(5000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PdfExport)->Arg(5000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return RunBenchmarks<QGuiApplication>(argc, argv); }

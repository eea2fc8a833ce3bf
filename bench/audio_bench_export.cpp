// Audio export speed: the 5000-bar groove (10,000 s of audio at tempo 120) rendered to a file, timed
// from the call to the renamed file, the soundfont load included. Target: WAV in <= 40 s, at least
// 250 times real time, on the 2-core development machine.
//
// The processor time is printed too: on a machine shared with other work the wall time says more
// about the load than about the export.
//
// The default export normalises: a first render measures the peak; --no-normalize times the
// single render at the synthesizer's level.
//
// usage: audio_bench_export [FORMAT...] [--bars N] [--dir FOLDER] [--no-normalize]
//        (FORMAT: wav, flac, ogg; default wav)
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/audio_export.h"
#include "bench/groove_song.h"

namespace {

double ProcessorSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> formats;
  AudioExportSettings settings;
  int bars = 5000;
  std::string dir = std::filesystem::temp_directory_path().string();
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--bars" && i + 1 < argc) bars = std::atoi(argv[++i]);
    else if (arg == "--dir" && i + 1 < argc) dir = argv[++i];
    else if (arg == "--no-normalize") settings.Normalize = false;
    else formats.push_back(arg);
  }
  if (formats.empty()) formats.push_back("wav");
  auto song = MakeGrooveSong(static_cast<uint16_t>(bars));
  const double seconds = bars * 2.0;  // 4/4 at 120: two seconds a bar
  int status = 0;
  for (const std::string& format : formats) {
    const std::string path = dir + "/grooveloom-bench." + format;
    std::string error;
    const double cpuStart = ProcessorSeconds();
    const auto start = std::chrono::steady_clock::now();
    const AudioExportResult result = ExportAudio(*song, path, settings, nullptr, error);
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = ProcessorSeconds() - cpuStart;
    if (result != AudioExportResult::Done) {
      std::fprintf(stderr, "%s: %s\n", format.c_str(), error.c_str());
      status = 1;
      continue;
    }
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(path, ec);
    std::filesystem::remove(path, ec);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%5d bars (%.0f s of audio) to %-4s: %6.2f s, %5.0fx real time; processor %6.2f s (%5.0fx); "
                "%llu MB, peak RSS %ld MB\n",
                bars, seconds, format.c_str(), took, seconds / took, cpu, seconds / cpu,
                static_cast<unsigned long long>(bytes >> 20), usage.ru_maxrss >> 10);
    std::fflush(stdout);
  }
  return status;
}

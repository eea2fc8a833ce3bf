// The synthesizer's own PulseAudio stream: fails at once without a server; with one (a private
// server on a null sink, when pulseaudio is installed) it renders whole periods, keeps the buffer
// it asked for, and stops rendering when closed.
#include "midi/output/pulse_stream.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

namespace {

// The server removes its own files as it exits, which may be while this runs: retry until the
// folder is gone (for a few seconds at most) instead of failing on a file it just took away.
void RemoveServerFolder(const std::filesystem::path& dir) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  for (;;) {
    std::error_code error;
    std::filesystem::remove_all(dir, error);
    if (!std::filesystem::exists(dir, error) || std::chrono::steady_clock::now() > deadline) return;
    std::this_thread::yield();
  }
}

using namespace std::chrono_literals;

// PULSE_SERVER for the test's duration.
class ServerVariable {
 public:
  explicit ServerVariable(const std::string& value) {
    if (const char* old = std::getenv("PULSE_SERVER")) saved_ = old, had_ = true;
    setenv("PULSE_SERVER", value.c_str(), 1);
  }
  ~ServerVariable() {
    if (had_)
      setenv("PULSE_SERVER", saved_.c_str(), 1);
    else
      unsetenv("PULSE_SERVER");
  }

 private:
  std::string saved_;
  bool had_ = false;
};

TEST(PulseStream, WithoutAServerOpenFailsAtOnceWithTheReasonAndNeverRenders) {
  ServerVariable server("unix:/nonexistent/grooveloom-test/native");
  PulseStream stream;
  std::atomic<int> calls{0};
  std::string error;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(stream.Open("test", 44100, 4096, 256, [&](float*, float*, int) { ++calls; }, error));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_NE(error.find("PulseAudio"), std::string::npos) << error;
  EXPECT_FALSE(stream.IsOpen());
  EXPECT_EQ(calls.load(), 0);
}

TEST(PulseStream, OnANullSinkItRendersWholePeriodsKeepsItsBufferAndStopsWhenClosed) {
  if (std::system("command -v pulseaudio >/dev/null 2>&1") != 0) GTEST_SKIP() << "pulseaudio is not installed";
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("grooveloom-pulse-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string env = "XDG_RUNTIME_DIR=" + dir.string() + " HOME=" + dir.string() + " XDG_CONFIG_HOME=" +
                          dir.string() + " XDG_STATE_HOME=" + dir.string() + " ";
  const bool started =
      std::system((env + "pulseaudio -n --daemonize=yes --exit-idle-time=-1 --log-target=file:" + dir.string() +
                   "/log -L 'module-null-sink sink_name=out rate=44100' -L module-native-protocol-unix")
                      .c_str()) == 0;
  if (!started) {
    RemoveServerFolder(dir);
    GTEST_SKIP() << "no private PulseAudio server here";
  }
  {
    ServerVariable server("unix:" + (dir / "pulse" / "native").string());
    std::mutex lock;
    std::condition_variable progressed;
    int64_t rendered = 0;
    int odd = 0;
    std::atomic<bool> closed{false};
    std::atomic<int> afterClose{0};
    PulseStream stream;
    std::string error;
    ASSERT_TRUE(stream.Open("test", 44100, 4096, 256,
                            [&](float* left, float*, int frames) {
                              if (closed) ++afterClose;
                              left[0] = 0.5f;
                              std::lock_guard<std::mutex> guard(lock);
                              rendered += frames;
                              if (frames != 256) ++odd;
                              progressed.notify_all();
                            },
                            error))
        << error;
    {
      // Half a second of sound taken by the sink: the buffer filled and refilled period by period.
      std::unique_lock<std::mutex> guard(lock);
      EXPECT_TRUE(progressed.wait_for(guard, 20s, [&] { return rendered >= 4096 + 22050; }));
      EXPECT_EQ(odd, 0) << "every call renders one period";
      // The server holds the buffer asked for. A reading is a moment's: on a busy machine the
      // refill may just have been held up, so it is the level the stream comes back to that counts.
      EXPECT_TRUE(progressed.wait_for(guard, 20s, [&] {
        const int64_t latency = stream.LatencyFrames();
        return latency >= 2048 && latency <= 4096 + 2048;
      })) << "latency " << stream.LatencyFrames();
    }
    stream.Close();
    closed = true;
    EXPECT_FALSE(stream.IsOpen());
    EXPECT_EQ(afterClose.load(), 0);
  }
  std::system((env + "pulseaudio --kill >/dev/null 2>&1").c_str());
  RemoveServerFolder(dir);
}

}  // namespace

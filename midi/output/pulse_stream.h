// The built-in synthesizer's own PulseAudio output (PipeWire serves the same protocol).
//
// FluidSynth's PulseAudio driver keeps only its periods in the server (two of 256 frames, 11.6 ms):
// with both cores of a small machine busy with other work its thread or the server's is sometimes
// not run for that long, the stream runs dry, and from each gap on everything plays late. This
// stream asks the server to hold `bufferFrames` and refills it in periods from the server's own
// requests, on the mainloop's thread, at normal priority (with short time slices, which let it in
// soon after it wakes). The server reports how long a frame
// written now takes to be heard; playback's cursor follows that.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;

class PulseStream {
 public:
  // The rendering thread's time slice: it renders a period in about a tenth of this.
  static constexpr uint64_t kTimeSliceNanoseconds = 500000;

  // Fills `frames` frames of the two channels (zeroed before the call). Called on the mainloop's
  // thread, in order, never concurrently.
  using Renderer = std::function<void(float* left, float* right, int frames)>;
  // The buffer wanted now, in frames (0: the one opened with); asked on the mainloop's thread before
  // each request is rendered, so a playing run can have a larger buffer than the idle program.
  using BufferWish = std::function<int64_t()>;
  // Asked before each request too: true drops what the server holds and has not played (playback
  // stopped), then `flushed` is told how many frames that was, about, before rendering goes on.
  using FlushWish = std::function<bool()>;
  using Flushed = std::function<void(int64_t frames)>;

  PulseStream() = default;
  PulseStream(const PulseStream&) = delete;
  PulseStream& operator=(const PulseStream&) = delete;
  ~PulseStream() { Close(); }

  // Connects to the default server (never starts one) and starts playing. False with the reason
  // within a few milliseconds when there is no server.
  bool Open(const std::string& clientName, int sampleRate, int bufferFrames, int periodFrames, Renderer render,
            std::string& error, BufferWish wish = {}, FlushWish flushWanted = {}, Flushed flushed = {});
  // Stops the renderer's calls before it returns.
  void Close();
  bool IsOpen() const { return mainloop_ != nullptr; }

  // Frames from the last one rendered to the moment it is heard, as the server last said; -1 before
  // it said anything.
  int64_t LatencyFrames() const { return latency_.load(); }
  // Times the server found the stream empty since it opened, while a buffer larger than the one it
  // opened with was wanted (while playback runs).
  int64_t Underruns() const { return underruns_.load(); }

 private:
  static void OnContextState(pa_context* context, void* self);
  static void OnStreamState(pa_stream* stream, void* self);
  static void OnWrite(pa_stream* stream, std::size_t bytes, void* self);
  static void OnUnderflow(pa_stream* stream, void* self);
  void Write(std::size_t bytes);

  pa_threaded_mainloop* mainloop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  Renderer render_;
  BufferWish wish_;
  FlushWish flushWanted_;
  Flushed flushed_;
  int64_t openedBuffer_ = 0, buffer_ = 0;  // frames; buffer_ on the mainloop thread
  int sampleRate_ = 44100;
  int periodFrames_ = 256;
  std::vector<float> left_, right_, interleaved_;  // mainloop thread
  bool slicesAsked_ = false;                        // mainloop thread
  std::atomic<int64_t> latency_{-1};
  std::atomic<int64_t> underruns_{0};
};

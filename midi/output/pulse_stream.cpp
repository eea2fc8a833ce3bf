#include "midi/output/pulse_stream.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/operation.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>

#include <algorithm>

#include "common/short_slices.h"

void PulseStream::OnContextState(pa_context*, void* self) {
  pa_threaded_mainloop_signal(static_cast<PulseStream*>(self)->mainloop_, 0);
}

void PulseStream::OnStreamState(pa_stream*, void* self) {
  pa_threaded_mainloop_signal(static_cast<PulseStream*>(self)->mainloop_, 0);
}

void PulseStream::OnWrite(pa_stream*, std::size_t bytes, void* self) { static_cast<PulseStream*>(self)->Write(bytes); }

void PulseStream::OnUnderflow(pa_stream*, void* self) {
  // Counted while a larger buffer is wanted (playback runs): idle, a dry stream is not heard.
  auto* stream = static_cast<PulseStream*>(self);
  if (stream->buffer_ > stream->openedBuffer_) stream->underruns_.fetch_add(1);
}

bool PulseStream::Open(const std::string& clientName, int sampleRate, int bufferFrames, int periodFrames,
                       Renderer render, std::string& error, BufferWish wish, FlushWish flushWanted,
                       Flushed flushed) {
  Close();
  render_ = std::move(render);
  wish_ = std::move(wish);
  flushWanted_ = std::move(flushWanted);
  flushed_ = std::move(flushed);
  openedBuffer_ = buffer_ = bufferFrames;
  sampleRate_ = sampleRate;
  periodFrames_ = std::max(periodFrames, 16);
  left_.assign(static_cast<std::size_t>(periodFrames_), 0.0f);
  right_.assign(left_.size(), 0.0f);
  // Room for a request after a long wait with a playing run's buffer, allocated now and not on the
  // way to the server.
  interleaved_.reserve(2 * static_cast<std::size_t>(std::max(bufferFrames, 16384)));
  latency_ = -1;
  underruns_ = 0;
  slicesAsked_ = false;

  mainloop_ = pa_threaded_mainloop_new();
  if (!mainloop_) {
    error = "Cannot start the PulseAudio client";
    return false;
  }
  context_ = pa_context_new(pa_threaded_mainloop_get_api(mainloop_), clientName.c_str());
  if (!context_ || pa_threaded_mainloop_start(mainloop_) < 0) {
    error = "Cannot start the PulseAudio client";
    Close();
    return false;
  }
  pa_threaded_mainloop_lock(mainloop_);
  pa_context_set_state_callback(context_, &PulseStream::OnContextState, this);
  bool ready = false;
  if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
    for (;;) {
      const pa_context_state_t state = pa_context_get_state(context_);
      if (state == PA_CONTEXT_READY) ready = true;
      if (state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state)) break;
      pa_threaded_mainloop_wait(mainloop_);
    }
  }
  if (!ready) {
    error = std::string("No PulseAudio server: ") + pa_strerror(pa_context_errno(context_));
    pa_threaded_mainloop_unlock(mainloop_);
    Close();
    return false;
  }
  const pa_sample_spec format{PA_SAMPLE_FLOAT32LE, static_cast<uint32_t>(sampleRate), 2};
  stream_ = pa_stream_new(context_, "Playback", &format, nullptr);
  if (stream_) {
    pa_stream_set_state_callback(stream_, &PulseStream::OnStreamState, this);
    pa_stream_set_write_callback(stream_, &PulseStream::OnWrite, this);
    pa_stream_set_underflow_callback(stream_, &PulseStream::OnUnderflow, this);
    const uint32_t frameBytes = 2 * sizeof(float);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    // The server holds this much: the time this process may go unscheduled without a gap.
    attr.tlength = static_cast<uint32_t>(bufferFrames) * frameBytes;
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = static_cast<uint32_t>(periodFrames_) * frameBytes;
    attr.fragsize = static_cast<uint32_t>(-1);
    // Early requests: the sink takes a period at a time and asks for each as soon as it is free.
    // Otherwise the server sets the sink's latency to nearly the whole buffer, and a null sink (or
    // a device with a large buffer) takes 80 ms at a time: the frame clock would jump by as much,
    // past playback's lookahead.
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE |
                                                      PA_STREAM_EARLY_REQUESTS);
    if (pa_stream_connect_playback(stream_, nullptr, &attr, flags, nullptr, nullptr) >= 0) {
      for (;;) {
        const pa_stream_state_t state = pa_stream_get_state(stream_);
        if (state == PA_STREAM_READY) ready = true;
        if (state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state)) break;
        ready = false;
        pa_threaded_mainloop_wait(mainloop_);
      }
    } else {
      ready = false;
    }
  } else {
    ready = false;
  }
  if (!ready) {
    error = std::string("Cannot open a PulseAudio stream: ") + pa_strerror(pa_context_errno(context_));
    pa_threaded_mainloop_unlock(mainloop_);
    Close();
    return false;
  }
  pa_threaded_mainloop_unlock(mainloop_);
  return true;
}

void PulseStream::Write(std::size_t bytes) {
  if (!slicesAsked_) {
    // The mainloop's thread: let it in soon after each request, however busy the machine.
    RequestShortTimeSlices(kTimeSliceNanoseconds);
    slicesAsked_ = true;
  }
  const std::size_t frameBytes = 2 * sizeof(float);
  if (flushWanted_ && flushWanted_()) {
    // What the server holds beyond the period the sink has taken is dropped; the frames after the
    // one heard next are rendered again.
    pa_usec_t usec = 0;
    int negative = 0;
    int64_t held = 0;
    if (pa_stream_get_latency(stream_, &usec, &negative) == 0 && !negative)
      held = std::max<int64_t>(static_cast<int64_t>(usec) * sampleRate_ / 1000000 - periodFrames_, 0);
    if (pa_operation* operation = pa_stream_flush(stream_, nullptr, nullptr)) pa_operation_unref(operation);
    if (flushed_) flushed_(held);
  }
  if (wish_) {
    int64_t wanted = wish_();
    if (wanted <= 0) wanted = openedBuffer_;
    if (wanted != buffer_) {
      // A larger buffer is filled at once (the server asks for the difference); a smaller one
      // plays out what it holds.
      pa_buffer_attr attr{};
      attr.maxlength = static_cast<uint32_t>(-1);
      attr.tlength = static_cast<uint32_t>(wanted * static_cast<int64_t>(frameBytes));
      attr.prebuf = static_cast<uint32_t>(-1);
      attr.minreq = static_cast<uint32_t>(periodFrames_ * static_cast<int>(frameBytes));
      attr.fragsize = static_cast<uint32_t>(-1);
      if (pa_operation* operation = pa_stream_set_buffer_attr(stream_, &attr, nullptr, nullptr))
        pa_operation_unref(operation);
      buffer_ = wanted;
    }
  }
  std::size_t frames = bytes / frameBytes;
  // Whole periods: the renderer's callers count in them, and so does the synthesizer.
  frames = std::max<std::size_t>((frames + static_cast<std::size_t>(periodFrames_) - 1) /
                                     static_cast<std::size_t>(periodFrames_),
                                 1) *
           static_cast<std::size_t>(periodFrames_);
  interleaved_.resize(2 * frames);
  for (std::size_t done = 0; done < frames; done += static_cast<std::size_t>(periodFrames_)) {
    std::fill(left_.begin(), left_.end(), 0.0f);
    std::fill(right_.begin(), right_.end(), 0.0f);
    render_(left_.data(), right_.data(), periodFrames_);
    float* out = interleaved_.data() + 2 * done;
    for (int i = 0; i < periodFrames_; ++i) {
      out[2 * i] = left_[static_cast<std::size_t>(i)];
      out[2 * i + 1] = right_[static_cast<std::size_t>(i)];
    }
  }
  pa_stream_write(stream_, interleaved_.data(), frames * frameBytes, nullptr, 0, PA_SEEK_RELATIVE);
  pa_usec_t usec = 0;
  int negative = 0;
  if (pa_stream_get_latency(stream_, &usec, &negative) == 0)
    latency_.store(negative ? 0 : static_cast<int64_t>(usec) * sampleRate_ / 1000000);
}

void PulseStream::Close() {
  if (!mainloop_) return;
  pa_threaded_mainloop_lock(mainloop_);
  if (stream_) {
    pa_stream_set_write_callback(stream_, nullptr, nullptr);
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
  }
  if (context_) {
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    context_ = nullptr;
  }
  pa_threaded_mainloop_unlock(mainloop_);
  pa_threaded_mainloop_stop(mainloop_);
  pa_threaded_mainloop_free(mainloop_);
  mainloop_ = nullptr;
}

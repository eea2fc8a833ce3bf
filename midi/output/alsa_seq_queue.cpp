#include "midi/output/alsa_seq_queue.h"

#include <alsa/asoundlib.h>

#include <charconv>

#include "midi/output/library_messages.h"

namespace {

// "Client:Port 14:0" -> 14, 0: RtMidi ends an ALSA port's name with its address.
bool ParseAddress(const std::string& name, int& client, int& port) {
  const std::size_t space = name.find_last_of(' ');
  const std::string address = space == std::string::npos ? name : name.substr(space + 1);
  const std::size_t colon = address.find(':');
  if (colon == std::string::npos) return false;
  const char* begin = address.data();
  const auto c = std::from_chars(begin, begin + colon, client);
  const auto p = std::from_chars(begin + colon + 1, begin + address.size(), port);
  return c.ec == std::errc() && p.ec == std::errc() && c.ptr == begin + colon && p.ptr == begin + address.size();
}

class AlsaSeqQueueLayer : public SeqQueueLayer {
 public:
  ~AlsaSeqQueueLayer() override { Stop(); }

  bool Start(const std::string& destination, std::string& error) override {
    Stop();
    int client = 0, port = 0;
    if (!ParseAddress(destination, client, port)) {
      error = "Not an ALSA sequencer port: " + destination;
      return false;
    }
    if (const int err = snd_seq_open(&seq_, "default", SND_SEQ_OPEN_OUTPUT, 0); err < 0) {
      seq_ = nullptr;
      error = std::string("No ALSA sequencer: ") + snd_strerror(err);
      return false;
    }
    snd_seq_set_client_name(seq_, "Grooveloom playback");
    port_ = snd_seq_create_simple_port(seq_, "playback", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                       SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    queue_ = snd_seq_alloc_named_queue(seq_, "Grooveloom playback");
    encoder_ = nullptr;
    if (port_ < 0 || queue_ < 0 || snd_seq_connect_to(seq_, port_, client, port) < 0 ||
        snd_midi_event_new(16, &encoder_) < 0) {
      error = "Cannot connect to the ALSA sequencer port " + destination;
      Stop();
      return false;
    }
    snd_seq_start_queue(seq_, queue_, nullptr);
    snd_seq_drain_output(seq_);
    return true;
  }

  void ScheduleAt(int64_t nanos, const uint8_t* bytes, int length) override {
    if (!seq_) return;
    snd_seq_event_t ev;
    snd_seq_ev_clear(&ev);
    snd_midi_event_reset_encode(encoder_);
    if (snd_midi_event_encode(encoder_, bytes, length, &ev) <= 0 || ev.type == SND_SEQ_EVENT_NONE) return;
    snd_seq_ev_set_source(&ev, port_);
    snd_seq_ev_set_subs(&ev);
    snd_seq_real_time_t at{static_cast<unsigned>(nanos / 1000000000), static_cast<unsigned>(nanos % 1000000000)};
    snd_seq_ev_schedule_real(&ev, queue_, 0, &at);
    snd_seq_event_output(seq_, &ev);
  }

  void Flush() override {
    if (seq_) snd_seq_drain_output(seq_);
  }

  void DropPending() override {
    if (!seq_) return;
    snd_seq_drop_output(seq_);
    snd_seq_remove_events_t* remove = nullptr;
    if (snd_seq_remove_events_malloc(&remove) == 0) {
      snd_seq_remove_events_set_queue(remove, queue_);
      snd_seq_remove_events_set_condition(remove, SND_SEQ_REMOVE_OUTPUT | SND_SEQ_REMOVE_IGNORE_OFF);
      snd_seq_remove_events(seq_, remove);
      snd_seq_remove_events_free(remove);
    }
  }

  void Stop() override {
    if (encoder_) snd_midi_event_free(encoder_);
    encoder_ = nullptr;
    if (!seq_) return;
    if (queue_ >= 0) {
      snd_seq_stop_queue(seq_, queue_, nullptr);
      snd_seq_drain_output(seq_);
      snd_seq_free_queue(seq_, queue_);
    }
    snd_seq_close(seq_);
    seq_ = nullptr;
    queue_ = port_ = -1;
  }

 private:
  snd_seq_t* seq_ = nullptr;
  snd_midi_event_t* encoder_ = nullptr;
  int port_ = -1, queue_ = -1;
};

}  // namespace

std::unique_ptr<SeqQueueLayer> MakeAlsaSeqQueueLayer() { return std::make_unique<AlsaSeqQueueLayer>(); }

SeqQueueOutput::SeqQueueOutput(std::unique_ptr<SeqQueueLayer> layer, PlayClock& clock)
    : layer_(std::move(layer)), frames_(clock) {}

SeqQueueOutput::~SeqQueueOutput() { Cancel(); }

void SeqQueueOutput::SetDestination(const std::string& portName) { destination_ = portName; }

bool SeqQueueOutput::Begin(std::string& error) {
  Cancel();
  if (!layer_->Start(destination_, error)) {
    NoteLibraryMessage(error);
    return false;
  }
  frames_.Restart();  // queue time 0
  started_ = true;
  return true;
}

void SeqQueueOutput::Schedule(const TimedColumn& step) {
  const int64_t nanos = step.Frame * 1000000000 / kFrameRate;
  const int64_t micros = frames_.MicrosOfFrame(step.Frame);
  for (uint32_t msg : ColumnMessages(step, kHighWoodBlock, kLowWoodBlock)) {
    LogShortMsgAt(msg, micros);
    if (!started_) continue;
    const uint8_t bytes[3] = {static_cast<uint8_t>(msg & 0xFF), static_cast<uint8_t>((msg >> 8) & 0x7F),
                              static_cast<uint8_t>((msg >> 16) & 0x7F)};
    layer_->ScheduleAt(std::max<int64_t>(nanos, 0), bytes, ShortMessageLength(bytes[0]));
  }
  if (started_) layer_->Flush();
}

void SeqQueueOutput::Cancel() {
  if (!started_) return;
  layer_->DropPending();
  layer_->Stop();
  started_ = false;
}

#include "midi/midi_events.h"

#include <utility>

namespace {

MidiEventMessageHook& MessageHook() {
  static MidiEventMessageHook hook;
  return hook;
}

void ShowMessage(const std::string& message) {
  if (MessageHook()) MessageHook()(message);
}

int VarLenSize(uint32_t value) {
  int n = 1;
  while (value >>= 7) ++n;
  return n;
}

}  // namespace

void SetMidiEventMessageHook(MidiEventMessageHook hook) { MessageHook() = std::move(hook); }

int AppendVarLen(std::string& out, uint32_t value) {
  // Groups of seven bits, least significant first, then written in reverse.
  char groups[5];
  int n = 0;
  do {
    groups[n++] = static_cast<char>(value & 0x7F);
    value >>= 7;
  } while (value != 0);
  for (int i = n - 1; i > 0; --i) out.push_back(static_cast<char>(groups[i] | 0x80));
  out.push_back(groups[0]);
  return n;
}

TMIDI_Event::TMIDI_Event(int32_t eventTime, int32_t extra, uint8_t channel, uint8_t command,
                         uint8_t data1, uint8_t data2)
    : event_time_(eventTime),
      extra_(extra),
      channel_(channel),
      command_(command),
      data1_(data1),
      data2_(data2) {}

uint8_t TMIDI_Event::Status_Byte() const { return static_cast<uint8_t>(command_ + channel_ - 1); }
uint8_t TMIDI_Event::Byte_1() const { return data1_; }
uint8_t TMIDI_Event::Byte_2() const { return data2_; }
std::string TMIDI_Event::Status_Text() const { return std::to_string(Status_Byte()); }
std::string TMIDI_Event::Byte_1_Text() const { return std::to_string(Byte_1()); }
std::string TMIDI_Event::Byte_2_Text() const { return std::to_string(Byte_2()); }
std::string TMIDI_Event::Event_Text() const { return {}; }
std::string TMIDI_Event::Time_Text() const { return std::to_string(event_time_); }
std::string TMIDI_Event::Channel_Text() const { return std::to_string(channel_); }

int16_t TMIDI_Event::Size() const {
  ShowMessage("Size may not be called at level of TMIDI_Event");
  return 0;
}

int16_t TMIDI_Event::Write_Event(std::string&) const {
  ShowMessage("Write_Event may not be called at level of TMIDI_Event");
  return 0;
}

namespace {

int16_t WriteThree(const TMIDI_Event& e, std::string& out) {
  out.push_back(static_cast<char>(e.Status_Byte()));
  out.push_back(static_cast<char>(e.Byte_1()));
  out.push_back(static_cast<char>(e.Byte_2()));
  return 3;
}

}  // namespace

int16_t TNote_On::Size() const { return 3; }
int16_t TNote_On::Write_Event(std::string& out) const { return WriteThree(*this, out); }
int16_t TNote_Off::Size() const { return 3; }
int16_t TNote_Off::Write_Event(std::string& out) const { return WriteThree(*this, out); }

int16_t TPatch::Size() const { return 2; }
int16_t TPatch::Write_Event(std::string& out) const {
  out.push_back(static_cast<char>(Status_Byte()));
  out.push_back(static_cast<char>(Byte_1()));
  return 2;
}

TMeta_Event::TMeta_Event(int32_t eventTime, uint8_t channel, uint8_t type)
    : TMIDI_Event(eventTime, 0, channel, type, 0, 0) {}
int16_t TMeta_Event::Size() const { return 0; }
int16_t TMeta_Event::Write_Event(std::string&) const { return 0; }

TMeta_Text_Event::TMeta_Text_Event(int32_t eventTime, uint8_t channel, uint8_t type,
                                   std::string text)
    : TMeta_Event(eventTime, channel, type), meta_text_(std::move(text)) {
  if (meta_text_.size() > kMaxTextLength) meta_text_.resize(kMaxTextLength);
}

uint8_t TMeta_Text_Event::Status_Byte() const { return 0xFF; }
uint8_t TMeta_Text_Event::Byte_1() const { return Command(); }
uint8_t TMeta_Text_Event::Byte_2() const { return static_cast<uint8_t>(meta_text_.size()); }
std::string TMeta_Text_Event::Event_Text() const { return meta_text_; }

int16_t TMeta_Text_Event::Size() const {
  auto length = static_cast<uint32_t>(meta_text_.size());
  return static_cast<int16_t>(2 + VarLenSize(length) + static_cast<int>(length));
}

int16_t TMeta_Text_Event::Write_Event(std::string& out) const {
  out.push_back(static_cast<char>(0xFF));
  out.push_back(static_cast<char>(Command()));
  int lengthBytes = AppendVarLen(out, static_cast<uint32_t>(meta_text_.size()));
  out.append(meta_text_);
  return static_cast<int16_t>(2 + lengthBytes + static_cast<int>(meta_text_.size()));
}

#include "midi/midi_out_file.h"

#include "common/atomic_file.h"

void TMIDI_Out_File::Write_Byte(uint8_t value) {
  out_.push_back(static_cast<char>(value));
  Bytes_In_Track += 1;
}

void TMIDI_Out_File::Write_Word(uint16_t value) {
  Write_Byte(static_cast<uint8_t>(value >> 8));
  Write_Byte(static_cast<uint8_t>(value));
}

void TMIDI_Out_File::Write_Long(uint32_t value) {
  Write_Word(static_cast<uint16_t>(value >> 16));
  Write_Word(static_cast<uint16_t>(value));
}

void TMIDI_Out_File::Write_String(const std::string& text) {
  out_.append(text);
  Bytes_In_Track += static_cast<uint32_t>(text.size());
}

void TMIDI_Out_File::Write_Var_Len(uint32_t value) {
  Bytes_In_Track += static_cast<uint32_t>(AppendVarLen(out_, value));
}

void TMIDI_Out_File::Write_Meta(uint8_t type, uint8_t length) {
  Write_Var_Len(Delta);
  Write_Byte(0xFF);
  Write_Byte(type);
  Write_Byte(length);
}

uint32_t TMIDI_Out_File::MicrosecondsPerQuarter(uint16_t beatsPerMinute) {
  constexpr uint32_t kMax = 0xFFFFFF;
  if (beatsPerMinute == 0) return kMax;
  uint32_t value = 60000000u / beatsPerMinute;
  return value > kMax ? kMax : value;
}

void TMIDI_Out_File::Start_Track() {
  Write_String("MTrk");
  Length_Position = static_cast<uint32_t>(out_.size());
  Write_Long(0);
  Bytes_In_Track = 0;
}

void TMIDI_Out_File::End_Track() {
  Write_Meta(0x2F, 0);
  uint32_t length = Bytes_In_Track;
  for (int i = 0; i < 4; ++i)
    out_[Length_Position + static_cast<uint32_t>(i)] = static_cast<char>(length >> (24 - 8 * i));
}

void TMIDI_Out_File::Write_Header(const TMIDI_Container& container) {
  Write_String("MThd");
  Write_Long(6);
  Write_Word(1);
  Write_Word(static_cast<uint16_t>(container.Channels_Used() + 1));
  Write_Word(container.Ticks_Per_Quarter());

  Delta = 0;
  Start_Track();
  Write_Meta(0x58, 4);
  Write_Byte(container.Time_Sig_Numerator());
  uint8_t exponent = 0;
  while ((1u << exponent) < container.Time_Sig_Denominator()) ++exponent;
  Write_Byte(exponent);
  Write_Byte(24);  // MIDI clocks per metronome click
  Write_Byte(8);   // thirty-second notes per quarter note
  Write_Meta(0x51, 3);
  uint32_t tempo = MicrosecondsPerQuarter(container.Beats_Per_Minute());
  Write_Byte(static_cast<uint8_t>(tempo >> 16));
  Write_Byte(static_cast<uint8_t>(tempo >> 8));
  Write_Byte(static_cast<uint8_t>(tempo));
  int32_t previous = 0;
  for (const auto& change : container.Time_Signature_Changes()) {
    Delta = static_cast<uint32_t>(change.Tick - previous);
    previous = change.Tick;
    Write_Meta(0x58, 4);
    Write_Byte(change.Numerator);
    exponent = 0;
    while ((1u << exponent) < change.Denominator) ++exponent;
    Write_Byte(exponent);
    Write_Byte(24);
    Write_Byte(8);
  }
  Delta = 0;
  End_Track();
}

bool TMIDI_Out_File::Write_Track(const TMIDI_Container& container, uint8_t channel,
                                 std::string& error) {
  Start_Track();
  int64_t previous = 0;
  bool ok = true;
  container.For_Each([&](const TMIDI_Event& event) {
    if (!ok || event.Channel() != channel) return;
    int64_t delta = int64_t{event.Event_Time()} - previous;
    if (event.Event_Time() < 0 || delta > kMaxVarLen) {
      error = "The MIDI event at tick " + event.Time_Text() +
              " lies outside the times a MIDI file can hold.";
      ok = false;
      return;
    }
    std::size_t mark = out_.size();
    uint32_t markCount = Bytes_In_Track;
    Write_Var_Len(static_cast<uint32_t>(delta));
    int16_t written = event.Write_Event(out_);
    if (written <= 0) {
      // An event without bytes (a bare meta event) must not leave its delta time behind: the
      // next event's bytes would be read as that delta's event.
      out_.resize(mark);
      Bytes_In_Track = markCount;
      return;
    }
    Bytes_In_Track += static_cast<uint32_t>(written);
    previous = event.Event_Time();
  });
  if (!ok) return false;
  Delta = 0;
  End_Track();
  return true;
}

bool TMIDI_Out_File::Write_File(const TMIDI_Container& container, std::string& error) {
  out_.clear();
  uint8_t denominator = container.Time_Sig_Denominator();
  if (denominator == 0 || (denominator & (denominator - 1)) != 0) {
    error = "The time signature's denominator " + std::to_string(denominator) +
            " is not a power of two.";
    return false;
  }
  const uint16_t ticks = container.Ticks_Per_Quarter();
  if (ticks == 0 || ticks > 0x7FFF) {
    error = "A MIDI file cannot count " + std::to_string(ticks) + " ticks to the quarter note.";
    return false;
  }
  // The export averages a little over four bytes an event; growing the buffer is what costs.
  out_.reserve(64 + 5 * static_cast<std::size_t>(container.Count()));
  Write_Header(container);
  for (uint8_t channel = 1; channel <= 16; ++channel) {
    if (!container.Channel_Used(channel)) continue;
    if (!Write_Track(container, channel, error)) {
      out_.clear();
      return false;
    }
  }
  return true;
}

bool WriteMidiFile(const TMIDI_Container& container, const std::string& path, std::string& error) {
  TMIDI_Out_File file;
  if (!file.Write_File(container, error)) return false;
  return WriteFileAtomically(path, file.Bytes(), error);
}

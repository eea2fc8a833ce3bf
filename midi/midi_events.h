// MIDI events as the export collects them: absolute times in ticks, one object per event, the
// bytes each one writes to a Standard MIDI File, and the texts the event list shows.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// The bare base class has no bytes of its own; asking it for them is a programming error that is
// reported through this hook (the user interface shows it in a box). The default does nothing.
using MidiEventMessageHook = std::function<void(const std::string& message)>;
void SetMidiEventMessageHook(MidiEventMessageHook hook);

// Appends `value` (below 2^28) as a variable-length quantity: seven bits per byte, most
// significant group first, bit 7 set on every byte but the last. Returns the number of bytes.
int AppendVarLen(std::string& out, uint32_t value);
constexpr uint32_t kMaxVarLen = 0x0FFFFFFF;

class TMIDI_Event {
 public:
  TMIDI_Event(int32_t eventTime, int32_t extra, uint8_t channel, uint8_t command, uint8_t data1,
              uint8_t data2);
  virtual ~TMIDI_Event() = default;
  TMIDI_Event(const TMIDI_Event&) = delete;
  TMIDI_Event& operator=(const TMIDI_Event&) = delete;

  virtual uint8_t Status_Byte() const;  // Command + Channel - 1
  virtual uint8_t Byte_1() const;
  virtual uint8_t Byte_2() const;
  virtual std::string Status_Text() const;
  virtual std::string Byte_1_Text() const;
  virtual std::string Byte_2_Text() const;
  virtual std::string Event_Text() const;
  // Bytes Write_Event appends (the delta time not included).
  virtual int16_t Size() const;
  // Appends the event's bytes to `out` and returns their number.
  virtual int16_t Write_Event(std::string& out) const;

  int32_t Event_Time() const { return event_time_; }
  int32_t Extra() const { return extra_; }
  uint8_t Channel() const { return channel_; }
  uint8_t Command() const { return command_; }
  uint8_t Data1() const { return data1_; }
  uint8_t Data2() const { return data2_; }
  std::string Time_Text() const;
  std::string Channel_Text() const;

 private:
  int32_t event_time_;
  int32_t extra_;
  uint8_t channel_;
  uint8_t command_;
  uint8_t data1_;
  uint8_t data2_;
};

class TNote_On : public TMIDI_Event {
 public:
  using TMIDI_Event::TMIDI_Event;
  int16_t Size() const override;
  int16_t Write_Event(std::string& out) const override;
};

class TNote_Off : public TMIDI_Event {
 public:
  using TMIDI_Event::TMIDI_Event;
  int16_t Size() const override;
  int16_t Write_Event(std::string& out) const override;
};

// Program change: status and one data byte.
class TPatch : public TMIDI_Event {
 public:
  using TMIDI_Event::TMIDI_Event;
  int16_t Size() const override;
  int16_t Write_Event(std::string& out) const override;
};

// A meta event without data; Command holds the meta type.
class TMeta_Event : public TMIDI_Event {
 public:
  TMeta_Event(int32_t eventTime, uint8_t channel, uint8_t type);
  int16_t Size() const override;
  int16_t Write_Event(std::string& out) const override;
};

class TMeta_Text_Event : public TMeta_Event {
 public:
  static constexpr std::size_t kMaxTextLength = 254;
  // Texts of 255 bytes or more are cut to their first 254.
  TMeta_Text_Event(int32_t eventTime, uint8_t channel, uint8_t type, std::string text);
  uint8_t Status_Byte() const override;  // 0xFF
  uint8_t Byte_1() const override;       // the type
  uint8_t Byte_2() const override;       // the text's length
  std::string Event_Text() const override;
  int16_t Size() const override;
  int16_t Write_Event(std::string& out) const override;

  const std::string& Meta_Text() const { return meta_text_; }

 private:
  std::string meta_text_;
};

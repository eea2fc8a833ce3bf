#include "midi/midi_file_reader.h"

#include <algorithm>

namespace {

class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}
  std::size_t Left() const { return bytes_.size() - pos_; }
  bool AtEnd() const { return pos_ >= bytes_.size(); }
  bool U8(uint8_t& v) {
    if (Left() < 1) return false;
    v = static_cast<uint8_t>(bytes_[pos_++]);
    return true;
  }
  bool BigEndian(int size, uint32_t& v) {
    if (Left() < static_cast<std::size_t>(size)) return false;
    v = 0;
    for (int i = 0; i < size; ++i) v = (v << 8) | static_cast<uint8_t>(bytes_[pos_++]);
    return true;
  }
  bool Take(std::size_t n, std::string_view& out) {
    if (Left() < n) return false;
    out = bytes_.substr(pos_, n);
    pos_ += n;
    return true;
  }
  // A variable-length quantity: at most four bytes, 28 bits.
  bool VarLen(uint32_t& v, bool& tooLong) {
    v = 0;
    tooLong = false;
    for (int i = 0; i < 4; ++i) {
      uint8_t b = 0;
      if (!U8(b)) return false;
      v = (v << 7) | (b & 0x7Fu);
      if ((b & 0x80u) == 0) return true;
    }
    tooLong = true;
    return false;
  }

 private:
  std::string_view bytes_;
  std::size_t pos_ = 0;
};

constexpr const char* kPrefix = "Cannot read the MIDI file: ";

bool Fail(std::string& error, const char* why) {
  error = std::string(kPrefix) + why;
  return false;
}

struct TempoAt {
  uint64_t Tick;
  uint32_t Microseconds;
};

bool ReadTrack(std::string_view data, MidiFileContents& out, std::optional<TempoAt>& tempo,
               std::string& error) {
  Reader in(data);
  uint64_t tick = 0;
  uint8_t running = 0;
  while (true) {
    uint32_t delta = 0;
    bool tooLong = false;
    if (!in.VarLen(delta, tooLong))
      return Fail(error,
                  tooLong ? "a delta time is longer than four bytes." : "a track ends early.");
    tick += delta;
    uint8_t status = 0;
    if (!in.U8(status)) return Fail(error, "a track ends early.");
    if (status == 0xFF) {
      uint8_t type = 0;
      uint32_t length = 0;
      std::string_view body;
      if (!in.U8(type) || !in.VarLen(length, tooLong) || !in.Take(length, body))
        return Fail(error, tooLong ? "a meta event's length is longer than four bytes."
                                   : "a track ends early.");
      if (type == 0x2F) return true;  // end of track; anything after it in the chunk is padding
      if (type == 0x51 && body.size() >= 3 && (!tempo || tick < tempo->Tick)) {
        tempo = TempoAt{tick, (static_cast<uint32_t>(static_cast<uint8_t>(body[0])) << 16) |
                                  (static_cast<uint32_t>(static_cast<uint8_t>(body[1])) << 8) |
                                  static_cast<uint8_t>(body[2])};
      }
      if (type == 0x58 && body.size() >= 2 && body[0] != 0 && static_cast<uint8_t>(body[1]) <= 6)
        out.TimeSignatures.push_back(
            {tick, static_cast<uint8_t>(body[0]), static_cast<uint8_t>(body[1])});
      continue;
    }
    if (status == 0xF0 || status == 0xF7) {  // system exclusive, skipped by its length
      uint32_t length = 0;
      std::string_view body;
      if (!in.VarLen(length, tooLong) || !in.Take(length, body))
        return Fail(error, tooLong ? "a system-exclusive length is longer than four bytes."
                                   : "a track ends early.");
      continue;
    }
    uint8_t first = 0;
    if (status < 0x80) {
      // Running status: the byte is the first data byte of another event like the last one.
      if (running == 0) return Fail(error, "a data byte stands where an event should begin.");
      first = status;
      status = running;
    } else if (status >= 0xF0) {
      return Fail(error, "a track holds a system message a file cannot hold.");
    } else {
      running = status;
      if (!in.U8(first)) return Fail(error, "a track ends early.");
    }
    if (first >= 0x80) return Fail(error, "an event's data byte is out of range.");
    const uint8_t kind = status & 0xF0;
    uint8_t second = 0;
    if (kind != 0xC0 && kind != 0xD0) {
      if (!in.U8(second)) return Fail(error, "a track ends early.");
      if (second >= 0x80) return Fail(error, "an event's data byte is out of range.");
    }
    if (kind == 0x90 && second > 0) {
      out.Notes.push_back({tick, static_cast<uint8_t>((status & 0x0F) + 1), first, second});
    }
  }
}

}  // namespace

bool ReadMidiFileBytes(std::string_view bytes, MidiFileContents& out, std::string& error) {
  out = MidiFileContents{};
  error.clear();
  Reader in(bytes);
  std::string_view id;
  uint32_t headerLength = 0, format = 0, tracks = 0, division = 0;
  if (!in.Take(4, id) || id != "MThd") {
    error = "This is not a MIDI file.";
    return false;
  }
  std::string_view header;
  if (!in.BigEndian(4, headerLength) || headerLength < 6 || !in.Take(headerLength, header))
    return Fail(error, "its header is damaged.");
  Reader h(header);
  h.BigEndian(2, format);
  h.BigEndian(2, tracks);
  h.BigEndian(2, division);
  if (format == 2)
    return Fail(error, "files of independent patterns (format 2) are not supported.");
  if (format > 2) return Fail(error, "its format is unknown.");
  if (format == 0 && tracks != 1) return Fail(error, "a format 0 file must hold one track.");
  if (division & 0x8000u) return Fail(error, "files timed in SMPTE frames are not supported.");
  if (division == 0) return Fail(error, "its time division is 0.");
  out.Format = static_cast<uint16_t>(format);
  out.Division = static_cast<uint16_t>(division);

  std::optional<TempoAt> tempo;
  uint32_t read = 0;
  while (read < tracks) {
    std::string_view type, data;
    uint32_t length = 0;
    if (!in.Take(4, type) || !in.BigEndian(4, length))
      return Fail(error, "it ends before its last track.");
    if (!in.Take(length, data)) return Fail(error, "a track is cut short.");
    if (type != "MTrk") continue;  // chunks of unknown kinds are skipped, as the format asks
    if (!ReadTrack(data, out, tempo, error)) return false;
    ++read;
  }
  if (tempo) out.FirstTempo = tempo->Microseconds;
  // Each track's notes are in time order already; a stable sort by time keeps the tracks in
  // order among equal times.
  std::stable_sort(out.Notes.begin(), out.Notes.end(),
                   [](const MidiNoteOn& a, const MidiNoteOn& b) { return a.Tick < b.Tick; });
  std::stable_sort(
      out.TimeSignatures.begin(), out.TimeSignatures.end(),
      [](const MidiTimeSignature& a, const MidiTimeSignature& b) { return a.Tick < b.Tick; });
  return true;
}

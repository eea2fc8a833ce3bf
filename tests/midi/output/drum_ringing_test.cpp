// Playback sends each note-off right after its note-on. Rendered offline, a bar as playback sends it
// must sound as full as the same notes auditioned with 100 ms note-offs, and every drum must still
// fall silent by itself.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include "midi/drum_map.h"
#include "midi/midi_output.h"
#include "midi/output/fluid_synth_device.h"

namespace {

constexpr int kRate = FluidSynthDevice::kSampleRate;

struct Event {
  long Frame;
  uint32_t Message;
};

// Collects what PlayDrumColumn sends, so the rendering gets exactly playback's messages.
class Capture : public MidiDeviceLayer {
 public:
  int Count() override { return 1; }
  bool Name(int, std::string& name) override { name = "capture"; return true; }
  bool Open(int) override { return true; }
  void Send(uint32_t msg) override { Sent.push_back(msg); }
  void Close() override {}
  std::vector<uint32_t> Sent;
};

std::vector<uint32_t> ColumnMessages(const DrumColumn& column) {
  Capture capture;
  SetMidiDeviceLayer(&capture);
  TMidiOut out;
  OpenMidiDevice(out, 0);
  PlayDrumColumn(out, column, 0);
  CloseMidiDevice(out);
  SetMidiDeviceLayer(nullptr);
  return capture.Sent;
}

// Playback's messages for a column at `frame`, or with every note-off 100 ms later (the audition).
void AddColumn(std::vector<Event>& events, const DrumColumn& column, long frame, bool audition) {
  for (uint32_t m : ColumnMessages(column)) {
    const bool off = (m & 0xF0) == 0x80;
    if (off && (m & 0xFF00) == 0) continue;  // key 0 of an empty row: nothing sounds
    events.push_back({frame + (off && audition ? kRate / 10 : 0), m});
  }
}

struct Rendering {
  double Energy = 0;
  float TailPeak = 0;  // the last 50 ms
};

// A fresh synthesizer each time: rendering is only repeatable from a fresh one.
Rendering Render(std::vector<Event> events, long frames, bool drumNoteOffs) {
  std::string path, error;
  EXPECT_TRUE(FluidSynthDevice::FindSoundFont(std::getenv("GROOVELOOM_SOUNDFONT"),
                                              FluidSynthDevice::DefaultSoundFonts(), path, error));
  FluidSynthDevice synth;
  EXPECT_TRUE(synth.OpenOffline(path, error)) << error;
  synth.SetDrumNoteOffs(drumNoteOffs);
  std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) { return a.Frame < b.Frame; });
  Rendering r;
  long at = 0;
  std::size_t next = 0;
  std::vector<float> left, right;
  while (at < frames) {
    while (next < events.size() && events[next].Frame <= at) synth.Send(events[next++].Message);
    const long until = next < events.size() ? std::min(events[next].Frame, frames) : frames;
    if (until > at) {
      EXPECT_TRUE(synth.Render(static_cast<int>(until - at), left, right));
      for (std::size_t i = 0; i < left.size(); ++i) {
        r.Energy += double(left[i]) * left[i] + double(right[i]) * right[i];
        if (at + long(i) >= frames - kRate / 20)
          r.TailPeak = std::max({r.TailPeak, std::fabs(left[i]), std::fabs(right[i])});
      }
    }
    at = until;
  }
  return r;
}

DrumColumn Hit(int row, int variant) {
  DrumColumn column;
  column.Cells[static_cast<std::size_t>(row)] = TNoteCell{static_cast<uint8_t>(variant), 0};
  return column;
}

TEST(DrumRinging, PlaybackSoundsAsFullAsTheAuditionAndEveryDrumEndsByItself) {
  const long frames = 8L * kRate;
  struct Instrument {
    const char* Name;
    int Row, Variant;
  };
  const Instrument kit[] = {{"crash", 1, 0}, {"splash", 1, 1}, {"china", 1, 2}, {"ride", 2, 0},
                            {"hi-hat closed", 3, 0}, {"hi-hat open", 3, 1}, {"tom 1", 4, 0},
                            {"tom 2", 5, 0}, {"floor tom", 6, 0}, {"snare", 7, 0},
                            {"rim click", 7, 1}, {"bass drum", 8, 0}};
  std::printf("%-14s %22s %22s\n", "energy ratio", "note-offs passed on", "drum note-offs dropped");
  for (const Instrument& ins : kit) {
    std::vector<Event> playback, audition;
    AddColumn(playback, Hit(ins.Row, ins.Variant), 0, false);
    AddColumn(audition, Hit(ins.Row, ins.Variant), 0, true);
    const double choked = Render(playback, frames, true).Energy / Render(audition, frames, true).Energy;
    const Rendering ringing = Render(playback, frames, false);
    const double ratio = ringing.Energy / Render(audition, frames, false).Energy;
    std::printf("%-14s %22.3f %22.3f\n", ins.Name, choked, ratio);
    EXPECT_GT(ringing.Energy, 0) << ins.Name;
    EXPECT_GE(ratio, 0.99) << ins.Name;
    EXPECT_LT(ringing.TailPeak, 1e-3f) << ins.Name << " still sounds after 8 s";
  }

  // One bar of a groove at tempo 120 (125 ms a column): crash and bass on 1, hi-hat eighths, snare
  // on 2 and 4, bass on 3.
  auto bar = [](bool audition) {
    std::vector<Event> events;
    for (int p = 0; p < 16; ++p) {
      DrumColumn column;
      if (p % 2 == 0) column.Cells[RowHiHat] = {0, 0};
      if (p == 0) column.Cells[RowCymbals] = {0, 1};
      if (p == 4 || p == 12) column.Cells[RowSnare] = {0, 0};
      if (p == 0 || p == 8) column.Cells[RowBass] = {0, 0};
      AddColumn(events, column, std::lround(p * 0.125 * kRate), audition);
    }
    return events;
  };
  const double choked = Render(bar(false), frames, true).Energy / Render(bar(true), frames, true).Energy;
  const double ringing = Render(bar(false), frames, false).Energy / Render(bar(true), frames, false).Energy;
  std::printf("%-14s %22.3f %22.3f\n", "one bar", choked, ringing);
  EXPECT_GE(ringing, 0.99);
}

}  // namespace

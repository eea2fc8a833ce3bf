// Event bytes and texts, and the Standard MIDI File writer, byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "common/atomic_file.h"
#include "midi/midi_container.h"
#include "midi/midi_events.h"
#include "midi/midi_out_file.h"
#include "tests/test_folder.h"

namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out += ' ';
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::string Written(const TMIDI_Event& event) {
  std::string out;
  int16_t n = event.Write_Event(out);
  EXPECT_EQ(n, static_cast<int16_t>(out.size()));
  EXPECT_EQ(n, event.Size());
  return out;
}

std::string FileBytes(const TMIDI_Container& container) {
  TMIDI_Out_File file;
  std::string error;
  EXPECT_TRUE(file.Write_File(container, error)) << error;
  return file.Bytes();
}

const std::string kTempoTrack4_4At120 =
    Bytes({0x4D, 0x54, 0x72, 0x6B, 0x00, 0x00, 0x00, 0x13, 0x00, 0xFF, 0x58, 0x04, 0x04, 0x02,
           0x18, 0x08, 0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xFF, 0x2F, 0x00});

}  // namespace

TEST(MidiVarLen, EncodesSevenBitGroupsMostSignificantFirst) {
  struct Case {
    uint32_t value;
    std::string bytes;
  };
  for (const Case& c : {Case{0, Bytes({0x00})}, Case{127, Bytes({0x7F})},
                        Case{128, Bytes({0x81, 0x00})}, Case{200, Bytes({0x81, 0x48})},
                        Case{8192, Bytes({0xC0, 0x00})}, Case{16383, Bytes({0xFF, 0x7F})},
                        Case{16384, Bytes({0x81, 0x80, 0x00})},
                        Case{0x0FFFFFFF, Bytes({0xFF, 0xFF, 0xFF, 0x7F})}}) {
    std::string out = "prefix";
    int n = AppendVarLen(out, c.value);
    EXPECT_EQ(out, "prefix" + c.bytes) << c.value;
    EXPECT_EQ(n, static_cast<int>(c.bytes.size())) << c.value;
  }
}

TEST(MidiEvents, ChannelEventsWriteStatusAndDataBytes) {
  TNote_On on(2, 20, 10, 0x90, 36, 96);
  EXPECT_EQ(on.Status_Byte(), 0x99);
  EXPECT_EQ(Written(on), Bytes({0x99, 36, 96}));
  TNote_Off off(22, 20, 10, 0x90, 36, 0);
  EXPECT_EQ(Written(off), Bytes({0x99, 36, 0}));
  TPatch patch(0, -1, 10, 0xC0, 5, 77);
  EXPECT_EQ(Written(patch), Bytes({0xC9, 5}));
  EXPECT_EQ(patch.Extra(), -1);
  TNote_On channelOne(0, 0, 1, 0x80, 60, 1);
  EXPECT_EQ(channelOne.Status_Byte(), 0x80);
  TMeta_Event meta(7, 3, 0x21);
  EXPECT_EQ(Written(meta), "");
  EXPECT_EQ(meta.Command(), 0x21);
  EXPECT_EQ(meta.Extra(), 0);
  EXPECT_EQ(meta.Data1(), 0);
}

TEST(MidiEvents, ListTextsOfNoteProgramChangeAndText) {
  struct Row {
    std::string time, channel, status, byte1, byte2, text;
  };
  auto rowOf = [](const TMIDI_Event& e) {
    return Row{e.Time_Text(), e.Channel_Text(), e.Status_Text(),
               e.Byte_1_Text(), e.Byte_2_Text(), e.Event_Text()};
  };
  auto expect = [](const Row& got, const Row& want) {
    EXPECT_EQ(got.time, want.time);
    EXPECT_EQ(got.channel, want.channel);
    EXPECT_EQ(got.status, want.status);
    EXPECT_EQ(got.byte1, want.byte1);
    EXPECT_EQ(got.byte2, want.byte2);
    EXPECT_EQ(got.text, want.text);
  };
  expect(rowOf(TNote_On(2, 20, 10, 0x90, 36, 96)), {"2", "10", "153", "36", "96", ""});
  expect(rowOf(TPatch(0, -1, 10, 0xC0, 0, 0)), {"0", "10", "201", "0", "0", ""});
  expect(rowOf(TMeta_Text_Event(0, 10, 3, "x")), {"0", "10", "255", "3", "1", "x"});
}

TEST(MidiEvents, MetaTextWritesTypeLengthAndText) {
  TMeta_Text_Event name(0, 10, 4, "Instrument 49");
  EXPECT_EQ(Written(name), Bytes({0xFF, 0x04, 0x0D}) + "Instrument 49");
  EXPECT_EQ(name.Size(), 16);

  // Lengths from 128 on take two length bytes.
  TMeta_Text_Event longer(0, 10, 1, std::string(200, 'a'));
  EXPECT_EQ(Written(longer), Bytes({0xFF, 0x01, 0x81, 0x48}) + std::string(200, 'a'));
  EXPECT_EQ(longer.Byte_2(), 200);

  // Bytes above 0x7F go through unchanged (Windows-1252 texts).
  TMeta_Text_Event accented(0, 10, 3, "Caf\xE9");
  EXPECT_EQ(Written(accented), Bytes({0xFF, 0x03, 0x04, 'C', 'a', 'f', 0xE9}));
}

TEST(MidiEvents, MetaTextOf255OrMoreIsCutTo254) {
  EXPECT_EQ(TMeta_Text_Event(0, 1, 1, std::string(254, 'b')).Meta_Text().size(), 254u);
  EXPECT_EQ(TMeta_Text_Event(0, 1, 1, std::string(255, 'b')).Meta_Text().size(), 254u);
  TMeta_Text_Event cut(0, 1, 1, std::string(254, 'b') + "XYZ");
  EXPECT_EQ(cut.Meta_Text(), std::string(254, 'b'));
  EXPECT_EQ(cut.Byte_2(), 254);
  EXPECT_EQ(Written(cut).size(), 2u + 2u + 254u);
}

TEST(MidiEvents, BareBaseReportsThroughTheHookAndWritesNothing) {
  std::vector<std::string> messages;
  SetMidiEventMessageHook([&](const std::string& m) { messages.push_back(m); });
  TMIDI_Event bare(0, 0, 1, 0x90, 1, 2);
  std::string out;
  EXPECT_EQ(bare.Size(), 0);
  EXPECT_EQ(bare.Write_Event(out), 0);
  EXPECT_EQ(out, "");
  SetMidiEventMessageHook(nullptr);
  EXPECT_EQ(bare.Size(), 0);  // no hook: silent
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], "Size may not be called at level of TMIDI_Event");
  EXPECT_EQ(messages[1], "Write_Event may not be called at level of TMIDI_Event");
}

TEST(MidiFileWriter, OneNoteOnAndOffGiveThe61ByteFile) {
  TMIDI_Container c;
  c.Set_Time_Signature(4, 4);
  c.Set_Beats_Per_Minute(120);
  c.Add_Event(std::make_unique<TNote_On>(2, 20, 10, 0x90, 36, 96));
  c.Add_Event(std::make_unique<TNote_Off>(22, 20, 10, 0x90, 36, 0));
  std::string expected =
      Bytes({0x4D, 0x54, 0x68, 0x64, 0x00, 0x00, 0x00, 0x06, 0x00, 0x01, 0x00, 0x02, 0x00, 0x08}) +
      kTempoTrack4_4At120 +
      Bytes({0x4D, 0x54, 0x72, 0x6B, 0x00, 0x00, 0x00, 0x0C, 0x02, 0x99, 0x24, 0x60, 0x14, 0x99,
             0x24, 0x00, 0x00, 0xFF, 0x2F, 0x00});
  std::string got = FileBytes(c);
  EXPECT_EQ(got.size(), 61u);
  EXPECT_EQ(Hex(got), Hex(expected));
}

TEST(MidiFileWriter, EmptyContainerWritesHeaderAndTempoTrackOnly) {
  TMIDI_Container c;
  c.Set_Time_Signature(4, 4);
  c.Set_Beats_Per_Minute(120);
  std::string got = FileBytes(c);
  EXPECT_EQ(Hex(got.substr(0, 14)),
            Hex(Bytes({0x4D, 0x54, 0x68, 0x64, 0, 0, 0, 6, 0, 1, 0, 1, 0, 8})));
  EXPECT_EQ(Hex(got.substr(14)), Hex(kTempoTrack4_4At120));
}

TEST(MidiFileWriter, TrackLengthCountsEventsAndEndOfTrack) {
  TMIDI_Container c;
  c.Add_Event(std::make_unique<TNote_On>(2, 20, 10, 0x90, 36, 96));
  std::string track = FileBytes(c).substr(14 + kTempoTrack4_4At120.size());
  EXPECT_EQ(Hex(track), Hex(Bytes({0x4D, 0x54, 0x72, 0x6B, 0, 0, 0, 8, 0x02, 0x99, 0x24, 0x60,
                                   0x00, 0xFF, 0x2F, 0x00})));
}

TEST(MidiFileWriter, OneTrackPerUsedChannelAscendingWithOwnDeltas) {
  TMIDI_Container c;
  c.Add_Event(std::make_unique<TNote_On>(0, 0, 16, 0x90, 1, 1));
  c.Add_Event(std::make_unique<TNote_On>(5, 0, 2, 0x90, 2, 2));
  c.Add_Event(std::make_unique<TMeta_Text_Event>(10, 2, 3, "ab"));
  c.Add_Event(std::make_unique<TNote_On>(300, 0, 16, 0x90, 3, 3));
  EXPECT_EQ(c.Channels_Used(), 2);
  std::string got = FileBytes(c);
  EXPECT_EQ(Hex(got.substr(10, 2)), "00 03");
  std::string tracks = got.substr(14 + kTempoTrack4_4At120.size());
  std::string channel2 = Bytes({0x4D, 0x54, 0x72, 0x6B, 0, 0, 0, 14, 0x05, 0x91, 2, 2, 0x05, 0xFF,
                                0x03, 0x02, 'a', 'b', 0x00, 0xFF, 0x2F, 0x00});
  std::string channel16 = Bytes({0x4D, 0x54, 0x72, 0x6B, 0, 0, 0, 13, 0x00, 0x9F, 1, 1, 0x82, 0x2C,
                                 0x9F, 3, 3, 0x00, 0xFF, 0x2F, 0x00});
  EXPECT_EQ(Hex(tracks), Hex(channel2 + channel16));
}

TEST(MidiFileWriter, EventsWithoutBytesLeaveNoDeltaBehind) {
  TMIDI_Container with, without;
  for (TMIDI_Container* c : {&with, &without}) {
    c->Add_Event(std::make_unique<TNote_On>(2, 0, 10, 0x90, 36, 96));
    c->Add_Event(std::make_unique<TNote_On>(300, 0, 10, 0x90, 38, 96));
  }
  with.Add_Event(std::make_unique<TMeta_Event>(150, 10, 0x21));
  with.Add_Event(std::make_unique<TMeta_Event>(400, 10, 0x21));
  ASSERT_EQ(with.Count(), 4);
  EXPECT_EQ(Hex(FileBytes(with)), Hex(FileBytes(without)));
}

TEST(MidiFileWriter, TimeSignatureAndTempoValues) {
  auto tempoTrack = [](uint8_t num, uint8_t den, uint16_t bpm) {
    TMIDI_Container c;
    c.Set_Time_Signature(num, den);
    c.Set_Beats_Per_Minute(bpm);
    return FileBytes(c).substr(14);
  };
  std::string t = tempoTrack(6, 8, 90);
  EXPECT_EQ(Hex(t.substr(12, 4)), "06 03 18 08");
  EXPECT_EQ(Hex(t.substr(20, 3)), "0A 2C 2A");  // 666666 us
  EXPECT_EQ(Hex(tempoTrack(4, 4, 1024).substr(20, 3)), "00 E4 E1");  // 58593 us
  EXPECT_EQ(Hex(tempoTrack(4, 4, 4).substr(20, 3)), "E4 E1 C0");     // 15000000 us still fits
  // Slower than 4 bpm needs more than 24 bits: the slowest writable tempo, not a wrapped one.
  EXPECT_EQ(Hex(tempoTrack(4, 4, 3).substr(20, 3)), "FF FF FF");
  EXPECT_EQ(Hex(tempoTrack(4, 4, 1).substr(20, 3)), "FF FF FF");
  EXPECT_EQ(Hex(tempoTrack(4, 4, 0).substr(20, 3)), "FF FF FF");
}

TEST(MidiFileWriter, RefusesWhatTheFormatCannotHold) {
  TMIDI_Out_File file;
  std::string error;
  {
    TMIDI_Container c;
    c.Set_Time_Signature(3, 6);
    EXPECT_FALSE(file.Write_File(c, error));
    EXPECT_NE(error.find("power of two"), std::string::npos);
  }
  {
    TMIDI_Container c;
    c.Add_Event(std::make_unique<TNote_On>(-1, 0, 10, 0x90, 1, 1));
    error.clear();
    EXPECT_FALSE(file.Write_File(c, error));
    EXPECT_NE(error.find("-1"), std::string::npos);
    EXPECT_TRUE(file.Bytes().empty());
  }
  {
    TMIDI_Container c;
    c.Add_Event(std::make_unique<TNote_On>(0x0FFFFFFF, 0, 10, 0x90, 1, 1));
    EXPECT_TRUE(file.Write_File(c, error)) << error;
    c.Add_Event(std::make_unique<TNote_On>(0x10000000, 0, 9, 0x90, 1, 1));
    EXPECT_FALSE(file.Write_File(c, error));
  }
}

class MidiFileOnDisk : public ::testing::Test {
 protected:
  void TearDown() override {
    TestWriteFaults().FailAfterBytes = -1;
  }
  TestFolder dir;
};

TEST_F(MidiFileOnDisk, WritesTheBytesAndKeepsTheOldFileOnFailure) {
  TMIDI_Container c;
  c.Add_Event(std::make_unique<TNote_On>(2, 20, 10, 0x90, 36, 96));
  std::string path = (dir / "song.mid").string();
  std::string error, bytes;
  ASSERT_TRUE(WriteMidiFile(c, path, error)) << error;
  ASSERT_TRUE(ReadWholeFile(path, bytes, error));
  EXPECT_EQ(bytes, FileBytes(c));

  TMIDI_Container other;
  other.Add_Event(std::make_unique<TNote_On>(4, 20, 3, 0x90, 40, 96));
  TestWriteFaults().FailAfterBytes = 20;
  EXPECT_FALSE(WriteMidiFile(other, path, error));
  EXPECT_FALSE(error.empty());
  TestWriteFaults().FailAfterBytes = -1;
  std::string after;
  ASSERT_TRUE(ReadWholeFile(path, after, error));
  EXPECT_EQ(after, bytes);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);

  EXPECT_FALSE(WriteMidiFile(c, (dir / "missing" / "x.mid").string(), error));
  EXPECT_EQ(error, "No such file or directory");
}

#include "files/musicxml_export.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <map>
#include <memory>
#include <string>

#include "tests/time_feel_song.h"

namespace {

std::unique_ptr<Osnova> Song(int bars) {
  auto doc = std::make_unique<Osnova>(4, static_cast<uint16_t>(bars), 4);
  doc->Kit.fill(1);
  doc->TabAuthor.clear();
  doc->Email.clear();
  return doc;
}

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The text of measure `number` (1-based).
std::string Measure(const std::string& score, int number) {
  const auto start = score.find("<measure number=\"" + std::to_string(number) + "\">");
  if (start == std::string::npos) return {};
  return score.substr(start, score.find("</measure>", start) - start);
}

// The <note> elements of a measure, in order.
std::vector<std::string> Notes(const std::string& measure) {
  std::vector<std::string> notes;
  for (auto at = measure.find("<note>"); at != std::string::npos; at = measure.find("<note>", at + 1))
    notes.push_back(measure.substr(at, measure.find("</note>", at) - at));
  return notes;
}

bool Has(const std::string& text, const std::string& what) { return text.find(what) != std::string::npos; }

TEST(MusicXmlExport, PercussionPartWithAnInstrumentPerDrumOfTheShownRows) {
  auto doc = Song(1);
  doc->Tempo = 97;
  doc->EditBar(0).Rows[RowSnare].Set(4, 0, 0);
  std::string score = MusicXmlBytes(*doc);
  EXPECT_EQ(score.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"", 0), 0u);
  EXPECT_TRUE(Has(score, "<score-partwise version=\"4.0\">"));
  EXPECT_EQ(Count(score, "<score-instrument "), 14);
  EXPECT_EQ(Count(score, "<midi-channel>10</midi-channel>"), 14);
  // MusicXML counts MIDI keys from 1: the snare (38) is 39, the bass drum (36) 37.
  EXPECT_TRUE(Has(score, "<midi-instrument id=\"P1-I39\">\n        <midi-channel>10</midi-channel>\n"
                         "        <midi-program>1</midi-program>\n        <midi-unpitched>39</midi-unpitched>"));
  EXPECT_TRUE(Has(score, "<score-instrument id=\"P1-I37\">\n        <instrument-name>Bass Drum<"));
  const std::string first = Measure(score, 1);
  EXPECT_TRUE(Has(first, "<divisions>4</divisions>"));
  EXPECT_TRUE(Has(first, "<sign>percussion</sign>"));
  EXPECT_TRUE(Has(first, "<staff-lines>5</staff-lines>"));
  EXPECT_TRUE(Has(first, "<per-minute>97</per-minute>"));
  EXPECT_TRUE(Has(first, "<sound tempo=\"97\"/>"));

  // A hidden row leaves the part with its instruments and its notes.
  doc->Kit[RowCymbals] = 0;
  doc->EditBar(0).Rows[RowCymbals].Set(0, 0, 0);
  score = MusicXmlBytes(*doc);
  EXPECT_EQ(Count(score, "<score-instrument "), 11);
  EXPECT_FALSE(Has(score, "P1-I50"));
}

TEST(MusicXmlExport, EachDrumHasItsPlaceNoteheadVoiceAndMarks) {
  struct Case {
    int Row;
    uint8_t Variant;
    const char* Place;     // display step and octave
    const char* Notehead;  // "" for the normal one
    int Voice;
  };
  const Case cases[] = {
      {RowCymbals, 0, "A5", "x", 1}, {RowCymbals, 1, "C6", "x", 1}, {RowCymbals, 2, "B5", "x", 1},
      {RowRide, 0, "F5", "x", 1},    {RowHiHat, 0, "G5", "x", 1},   {RowHiHat, 1, "G5", "x", 1},
      {RowTom1, 0, "E5", "", 1},     {RowTom2, 0, "D5", "", 1},     {RowFloor, 0, "A4", "", 1},
      {RowSnare, 0, "C5", "", 1},    {RowSnare, 1, "C5", "x", 1},   {RowBass, 0, "F4", "", 2},
  };
  for (const Case& c : cases) {
    auto doc = Song(1);
    doc->EditBar(0).Rows[static_cast<std::size_t>(c.Row)].Set(0, c.Variant, 1);
    const std::vector<std::string> notes = Notes(Measure(MusicXmlBytes(*doc), 1));
    const std::string* note = nullptr;
    for (const std::string& n : notes)
      if (Has(n, "<unpitched>")) note = &n;
    ASSERT_NE(note, nullptr) << c.Row << "/" << int(c.Variant);
    const std::string label = std::to_string(c.Row) + "/" + std::to_string(c.Variant);
    EXPECT_TRUE(Has(*note, std::string("<display-step>") + c.Place[0] + "</display-step>\n          <display-octave>" +
                              c.Place[1] + "<"))
        << label;
    EXPECT_EQ(Has(*note, "<notehead>"), *c.Notehead != 0) << label;
    if (*c.Notehead) {
      EXPECT_TRUE(Has(*note, std::string("<notehead>") + c.Notehead + "<")) << label;
    }
    EXPECT_TRUE(Has(*note, "<voice>" + std::to_string(c.Voice) + "</voice>")) << label;
    EXPECT_TRUE(Has(*note, c.Voice == 1 ? "<stem>up</stem>" : "<stem>down</stem>")) << label;
    EXPECT_TRUE(Has(*note, "<accent/>")) << label;
    EXPECT_EQ(Has(*note, "<open "), c.Row == RowHiHat && c.Variant == 1) << label;
    const NotationDrum* drum = NotationDrumOf(c.Row, c.Variant);
    ASSERT_NE(drum, nullptr);
    EXPECT_TRUE(Has(*note, "<instrument id=\"P1-I" + std::to_string(drum->Key + 1) + "\"/>")) << label;
  }
  // A cymbal variant without a sound has no drum to be written as.
  EXPECT_EQ(NotationDrumOf(RowCymbals, 100), nullptr);
}

TEST(MusicXmlExport, HandsAndFeetAreTwoVoicesWithChordsAndBeams) {
  auto doc = Song(1);
  for (int p = 0; p < 16; p += 2) doc->EditBar(0).Rows[RowHiHat].Set(p, 0, 0);
  doc->EditBar(0).Rows[RowSnare].Set(4, 0, 1);
  doc->EditBar(0).Rows[RowBass].Set(0, 0, 0);
  doc->EditBar(0).Rows[RowBass].Set(10, 0, 0);
  const std::string bar = Measure(MusicXmlBytes(*doc), 1);
  const auto backup = bar.find("<backup>\n        <duration>16</duration>");
  ASSERT_NE(backup, std::string::npos);
  const std::vector<std::string> hands = Notes(bar.substr(0, backup)), feet = Notes(bar.substr(backup));
  ASSERT_EQ(hands.size(), 9u);  // eight hi-hats, one snare in the chord on beat 2
  EXPECT_TRUE(Has(hands[0], "<beam number=\"1\">begin</beam>"));
  EXPECT_TRUE(Has(hands[1], "<beam number=\"1\">end</beam>"));
  EXPECT_TRUE(Has(hands[3], "<chord/>"));  // the snare with the hi-hat on beat 2
  EXPECT_FALSE(Has(hands[3], "<beam"));    // a chord's beams are on its first note
  EXPECT_TRUE(Has(hands[3], "<accent/>"));
  for (const std::string& n : hands) EXPECT_TRUE(Has(n, "<type>eighth</type>"));
  // Feet: quarter on 1, quarter rest, eighth rest and eighth on the + of 3, quarter rest.
  ASSERT_EQ(feet.size(), 5u);
  const char* types[] = {"quarter", "quarter", "eighth", "eighth", "quarter"};
  for (std::size_t i = 0; i < feet.size(); ++i) {
    EXPECT_TRUE(Has(feet[i], std::string("<type>") + types[i] + "</type>")) << i;
    EXPECT_TRUE(Has(feet[i], "<voice>2</voice>")) << i;
    EXPECT_EQ(Has(feet[i], "<rest/>"), i == 1 || i == 2 || i == 4) << i;
  }
  // No feet: no second voice; nothing at all: a whole-bar rest.
  doc->EditBar(0).Rows[RowBass].Clear();
  EXPECT_FALSE(Has(Measure(MusicXmlBytes(*doc), 1), "<backup>"));
  doc->EditBar(0).Rows[RowHiHat].Clear();
  doc->EditBar(0).Rows[RowSnare].Clear();
  doc->EditBar(0).Comment = "tacet";
  EXPECT_TRUE(Has(Measure(MusicXmlBytes(*doc), 1), "<rest measure=\"yes\"/>\n        <duration>16</duration>"));
}

TEST(MusicXmlExport, TimeSignatureOnTheFirstBarAndWhereItChanges) {
  auto doc = Song(6);
  const std::pair<uint8_t, uint8_t> timings[] = {{16, 4}, {16, 4}, {8, 4}, {14, 8}, {14, 8}, {17, 16}};
  for (int b = 0; b < 6; ++b) {
    doc->EditBar(b).Length = timings[b].first;
    doc->EditBar(b).Denominator = timings[b].second;
    doc->EditBar(b).Rows[RowSnare].Set(0, 0, 0);
  }
  doc->EditBar(4).Rows[RowSnare].Set(13, 0, 0);  // and a note at the last position of a 7/8 bar
  const std::string score = MusicXmlBytes(*doc);
  EXPECT_EQ(Count(score, "<time>"), 4);
  const char* expected[] = {"4</beats>\n          <beat-type>4<", nullptr, "2</beats>\n          <beat-type>4<",
                            "7</beats>\n          <beat-type>8<", nullptr, "17</beats>\n          <beat-type>16<"};
  for (int b = 0; b < 6; ++b) {
    const std::string bar = Measure(score, b + 1);
    if (expected[b])
      EXPECT_TRUE(Has(bar, std::string("<beats>") + expected[b])) << b;
    else
      EXPECT_FALSE(Has(bar, "<time>")) << b;
    // Every bar's notes and rests fill it exactly: durations add up to its length.
    int total = 0;
    for (const std::string& n : Notes(bar)) {
      if (Has(n, "<chord/>")) continue;
      const auto at = n.find("<duration>") + 10;
      total += std::stoi(n.substr(at));
    }
    EXPECT_EQ(total, timings[b].first) << b;
  }
  EXPECT_TRUE(Has(Measure(score, 6), "<bar-style>light-heavy</bar-style>"));
}

TEST(MusicXmlExport, TextsAreUtf8EscapedAndTrailingEmptyBarsLeftOut) {
  auto doc = Song(12);
  doc->Song = "Caf\xe9 \x96 <Live>";
  doc->Artist = "A & B";
  doc->Drummer = "Jo\x01";
  doc->TabAuthor = "\"Me\"";
  doc->EditBar(1).Comment = "fill \x80 here";
  doc->EditBar(3).Rows[RowBass].Set(0, 0, 0);
  TSongPart outro, verse;
  outro.StartBar = 3;  // the parts need not be in bar order
  outro.SetName("Outro");
  verse.StartBar = 1;
  verse.SetName("Verse's");
  doc->SongParts = {outro, verse};
  const std::string score = MusicXmlBytes(*doc);
  EXPECT_TRUE(Has(score, "<work-title>Caf\xc3\xa9 \xe2\x80\x93 &lt;Live&gt;</work-title>"));
  EXPECT_TRUE(Has(score, "<creator type=\"artist\">A &amp; B</creator>"));
  EXPECT_TRUE(Has(score, "<creator type=\"drummer\">Jo</creator>"));  // no control characters in XML
  EXPECT_TRUE(Has(score, "<creator type=\"transcriber\">&quot;Me&quot;</creator>"));
  EXPECT_TRUE(Has(score, "Drummer: Jo\nTabbed by: &quot;Me&quot;</credit-words>"));
  const std::string second = Measure(score, 2);
  EXPECT_TRUE(Has(second, "<rehearsal>Verse&apos;s</rehearsal>"));
  EXPECT_TRUE(Has(second, "<words>fill \xe2\x82\xac here</words>"));
  EXPECT_EQ(Count(score, "<measure "), 4);
  EXPECT_TRUE(Has(Measure(score, 4), "<rehearsal>Outro</rehearsal>"));
  EXPECT_TRUE(Has(Measure(score, 4), "<bar-style>light-heavy</bar-style>"));
}

// The zip's entries, read back with zlib: name to content, checking each entry's CRC.
std::map<std::string, std::string> ReadZip(const std::string& zip, std::string& firstName, bool& firstStored) {
  auto u16 = [&](std::size_t at) { return static_cast<uint32_t>(static_cast<uint8_t>(zip[at]) | static_cast<uint8_t>(zip[at + 1]) << 8); };
  auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
  std::map<std::string, std::string> entries;
  const std::size_t end = zip.size() - 22;
  EXPECT_EQ(u32(end), 0x06054b50u);
  std::size_t central = u32(end + 16);
  for (uint32_t i = 0; i < u16(end + 10); ++i) {
    EXPECT_EQ(u32(central), 0x02014b50u);
    const uint32_t method = u16(central + 10), crc = u32(central + 16), packed = u32(central + 20),
                   size = u32(central + 24), nameLength = u16(central + 28), local = u32(central + 42);
    const std::string name = zip.substr(central + 46, nameLength);
    EXPECT_EQ(u32(local), 0x04034b50u);
    EXPECT_EQ(zip.substr(local + 30, u16(local + 26)), name);
    const std::string data = zip.substr(local + 30 + u16(local + 26) + u16(local + 28), packed);
    std::string content(size, '\0');
    if (method == 0) {
      content = data;
    } else {
      EXPECT_EQ(method, 8u);
      z_stream s{};
      inflateInit2(&s, -MAX_WBITS);
      s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
      s.avail_in = static_cast<uInt>(data.size());
      s.next_out = reinterpret_cast<Bytef*>(content.data());
      s.avail_out = static_cast<uInt>(content.size());
      EXPECT_EQ(inflate(&s, Z_FINISH), Z_STREAM_END) << name;
      inflateEnd(&s);
    }
    EXPECT_EQ(crc32(0, reinterpret_cast<const Bytef*>(content.data()), static_cast<uInt>(content.size())), crc) << name;
    if (i == 0) {
      firstName = name;
      firstStored = method == 0;
    }
    entries[name] = content;
    central += 46 + nameLength + u16(central + 30) + u16(central + 32);
  }
  return entries;
}

TEST(MusicXmlExport, CompressedContainerHoldsTheScore) {
  auto doc = Song(200);
  for (int b = 0; b < 200; ++b)
    for (int p = 0; p < 16; p += 2) doc->EditBar(b).Rows[RowHiHat].Set(p, 0, 0);
  doc->EditBar(199).Rows[RowSnare].Set(3, 1, 0);
  std::string zip, error;
  ASSERT_TRUE(MusicXmlContainerBytes(*doc, zip, error)) << error;
  const std::string score = MusicXmlBytes(*doc);
  std::string first;
  bool stored = false;
  const auto entries = ReadZip(zip, first, stored);
  EXPECT_EQ(first, "mimetype");
  EXPECT_TRUE(stored);
  EXPECT_EQ(entries.at("mimetype"), "application/vnd.recordare.musicxml");
  EXPECT_TRUE(Has(entries.at("META-INF/container.xml"), "<rootfile full-path=\"score.musicxml\""));
  EXPECT_EQ(entries.at("score.musicxml"), score);
  EXPECT_LT(zip.size() * 20, score.size());  // deflated, not stored
}

}  // namespace

// Bars of other grids are written at their true durations: divisions that hold every grid, each
// voice of each bar filling it exactly, triplets with their time modification and bracket.
TEST(MusicXmlExport, GridBarsAtTheirTrueDurations) {
  auto doc = time_feel_song::Make();
  doc->Kit.fill(1);
  const std::string score = MusicXmlBytes(*doc);
  EXPECT_TRUE(Has(score, "<divisions>24</divisions>"));
  for (int b = 0; b < doc->BarCount; ++b) {
    const std::string bar = Measure(score, b + 1);
    const int want = static_cast<int>(BarUnits(doc->Bar(b)) * 24 / kUnitsPerQuarter);
    const auto backup = std::min(bar.find("<backup>"), bar.size());
    if (b < 5) {  // the last bar has no feet
      EXPECT_TRUE(Has(bar.substr(backup), "<duration>" + std::to_string(want) + "</duration>")) << b;
    }
    for (const std::string& voice : {bar.substr(0, backup), bar.substr(backup)}) {
      if (voice.empty()) continue;
      int total = 0;
      for (const std::string& n : Notes(voice))
        if (!Has(n, "<chord/>")) total += std::stoi(n.substr(n.find("<duration>") + 10));
      EXPECT_EQ(total, want) << b;
    }
  }
  // The eighth-triplet bar: four brackets of three eighths in the time of two (the hi-hat's twelve,
  // the snare with the last of them); the bass drum's beats are plain quarters.
  const std::string triplets = Measure(score, 3);
  EXPECT_EQ(Count(triplets, "<tuplet type=\"start\" bracket=\"yes\"/>"), 4);
  EXPECT_EQ(Count(triplets, "<actual-notes>3</actual-notes>\n          <normal-notes>2</normal-notes>"), 13);
  EXPECT_TRUE(Has(Measure(score, 2), "<type>32nd</type>"));
  EXPECT_TRUE(Has(Measure(score, 2), "<beam number=\"3\">"));
  // The swing plays as the ratio of a pair's notes: 133 to 67 at 33 %.
  EXPECT_TRUE(Has(Measure(score, 1), "<swing>\n            <first>133</first>\n            <second>67</second>\n"
                                     "            <swing-type>eighth</swing-type>\n          </swing>"));
  EXPECT_TRUE(Has(Measure(score, 1), "<words>Swing 33% 8ths</words>"));
  // A song of sixteenths keeps its sixteenth divisions.
  for (int b = 0; b < doc->BarCount; ++b) doc->EditBar(b).Grid = BarGrid::Sixteenths;
  doc->Swing = {};
  EXPECT_TRUE(Has(MusicXmlBytes(*doc), "<divisions>4</divisions>"));
  EXPECT_FALSE(Has(MusicXmlBytes(*doc), "<swing>"));
}

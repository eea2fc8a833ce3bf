#include "files/musicxml_export.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <new>
#include <numeric>
#include <string_view>
#include <vector>

#include "common/atomic_file.h"
#include "common/cp1252.h"
#include "files/notation_rhythm.h"
#include "files/program_info.h"
#include "files/tab_export.h"
#include "files/zip_writer.h"
#include "midi/drum_map.h"

namespace {

// Each drum at its usual place on the drum staff. Pedal hi-hat and ride bell have no tab note yet;
// they stand in the part so a notation program offers them with the kit.
constexpr std::array<NotationDrum, 14> kDrums = {{
    {49, "Crash Cymbal", RowCymbals, 'A', 5, "x", false, false},
    {55, "Splash Cymbal", RowCymbals, 'C', 6, "x", false, false},
    {52, "China Cymbal", RowCymbals, 'B', 5, "x", false, false},
    {59, "Ride Cymbal", RowRide, 'F', 5, "x", false, false},
    {53, "Ride Bell", RowRide, 'F', 5, "diamond", false, false},
    {42, "Closed Hi-Hat", RowHiHat, 'G', 5, "x", false, false},
    {46, "Open Hi-Hat", RowHiHat, 'G', 5, "x", false, true},
    {44, "Pedal Hi-Hat", RowHiHat, 'D', 4, "x", true, false},
    {48, "Tom 1", RowTom1, 'E', 5, nullptr, false, false},
    {47, "Tom 2", RowTom2, 'D', 5, nullptr, false, false},
    {43, "Floor Tom", RowFloor, 'A', 4, nullptr, false, false},
    {38, "Snare", RowSnare, 'C', 5, nullptr, false, false},
    {37, "Cross Stick", RowSnare, 'C', 5, "x", false, false},
    {36, "Bass Drum", RowBass, 'F', 4, nullptr, true, false},
}};

// Divisions of a quarter: sixteenths while every bar is in sixteenths (the score as it always
// was), else 24, which holds 32nds and triplets of eighths, sixteenths and 32nds alike.
constexpr int kSixteenthDivisions = 4;
constexpr int kGridDivisions = 24;
constexpr const char* kPartId = "P1";

// A4 in tenths of a staff space at 7.0556 mm per 40 tenths, the usual default scaling.
constexpr int kPageWidth = 1191;
constexpr int kPageHeight = 1684;
constexpr int kMargin = 57;

void AppendInt(std::string& out, int value) {
  char buffer[16];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

// A Windows-1252 text of the song as escaped UTF-8; control characters XML cannot carry are left out.
void AppendText(std::string& out, std::string_view text) {
  std::string utf8;
  AppendCp1252AsUtf8(utf8, text);
  for (char c : utf8) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default:
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n' || c == '\r') out += c;
    }
  }
}

void AppendElement(std::string& out, std::string_view indent, std::string_view tag, std::string_view text) {
  out += indent;
  out += '<';
  out += tag;
  out += '>';
  AppendText(out, text);
  out += "</";
  out += tag;
  out += ">\n";
}

void AppendInstrumentId(std::string& out, const NotationDrum& drum) {
  out += kPartId;
  out += "-I";
  AppendInt(out, drum.Key + 1);
}

bool RowShown(const Osnova& doc, int row) { return row > 0 && row < kRowCount && doc.Kit[static_cast<std::size_t>(row)] != 0; }

void AppendCredit(std::string& out, const char* type, int x, int y, const char* justify, int fontSize,
                  std::string_view text) {
  if (text.empty()) return;
  out += "  <credit page=\"1\">\n";
  if (type) {
    out += "    <credit-type>";
    out += type;
    out += "</credit-type>\n";
  }
  out += "    <credit-words default-x=\"";
  AppendInt(out, x);
  out += "\" default-y=\"";
  AppendInt(out, y);
  out += "\" font-size=\"";
  AppendInt(out, fontSize);
  out += "\" justify=\"";
  out += justify;
  out += "\" valign=\"top\">";
  AppendText(out, text);
  out += "</credit-words>\n  </credit>\n";
}

void AppendHeader(std::string& out, const Osnova& doc) {
  out += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
         "<!DOCTYPE score-partwise PUBLIC \"-//Recordare//DTD MusicXML 4.0 Partwise//EN\" "
         "\"http://www.musicxml.org/dtds/partwise.dtd\">\n"
         "<score-partwise version=\"4.0\">\n";
  if (!doc.Song.empty()) {
    out += "  <work>\n";
    AppendElement(out, "    ", "work-title", doc.Song);
    out += "  </work>\n";
  }
  out += "  <identification>\n";
  const std::pair<const char*, const std::string*> creators[] = {
      {"artist", &doc.Artist}, {"drummer", &doc.Drummer}, {"transcriber", &doc.TabAuthor}};
  for (const auto& [type, text] : creators) {
    if (text->empty()) continue;
    out += "    <creator type=\"";
    out += type;
    out += "\">";
    AppendText(out, *text);
    out += "</creator>\n";
  }
  out += "    <encoding>\n      <software>";
  out += kProgramName;
  out += ' ';
  out += kProgramVersion;
  out += "</software>\n"
         "      <supports element=\"accidental\" type=\"no\"/>\n"
         "      <supports element=\"beam\" type=\"yes\"/>\n"
         "      <supports element=\"stem\" type=\"yes\"/>\n"
         "    </encoding>\n";
  if (!doc.Album.empty() || !doc.Email.empty()) {
    out += "    <miscellaneous>\n";
    if (!doc.Album.empty()) {
      out += "      <miscellaneous-field name=\"album\">";
      AppendText(out, doc.Album);
      out += "</miscellaneous-field>\n";
    }
    if (!doc.Email.empty()) {
      out += "      <miscellaneous-field name=\"transcriber-email\">";
      AppendText(out, doc.Email);
      out += "</miscellaneous-field>\n";
    }
    out += "    </miscellaneous>\n";
  }
  out += "  </identification>\n";

  out += "  <defaults>\n"
         "    <scaling>\n      <millimeters>7.0556</millimeters>\n      <tenths>40</tenths>\n    </scaling>\n"
         "    <page-layout>\n      <page-height>";
  AppendInt(out, kPageHeight);
  out += "</page-height>\n      <page-width>";
  AppendInt(out, kPageWidth);
  out += "</page-width>\n      <page-margins type=\"both\">\n";
  for (const char* side : {"left", "right", "top", "bottom"}) {
    out += "        <";
    out += side;
    out += "-margin>";
    AppendInt(out, kMargin);
    out += "</";
    out += side;
    out += "-margin>\n";
  }
  out += "      </page-margins>\n    </page-layout>\n  </defaults>\n";

  const int top = kPageHeight - kMargin;
  AppendCredit(out, "title", kPageWidth / 2, top, "center", 22, doc.Song);
  AppendCredit(out, "composer", kPageWidth - kMargin, top - 110, "right", 11, doc.Artist);
  // The album stays in the identification: as a subtitle it would crowd the title.
  // Drummer and tab author share one block: notation programs stack one text per corner.
  std::string people;
  if (!doc.Drummer.empty()) people = "Drummer: " + doc.Drummer;
  if (!doc.TabAuthor.empty()) people += (people.empty() ? "" : "\n") + std::string("Tabbed by: ") + doc.TabAuthor;
  AppendCredit(out, nullptr, kMargin, top - 110, "left", 11, people);

  out += "  <part-list>\n    <score-part id=\"";
  out += kPartId;
  out += "\">\n      <part-name>Drums</part-name>\n      <part-abbreviation>Dr.</part-abbreviation>\n";
  for (const NotationDrum& drum : kDrums) {
    if (!RowShown(doc, drum.Row)) continue;
    out += "      <score-instrument id=\"";
    AppendInstrumentId(out, drum);
    out += "\">\n        <instrument-name>";
    out += drum.Name;
    out += "</instrument-name>\n      </score-instrument>\n";
  }
  for (const NotationDrum& drum : kDrums) {
    if (!RowShown(doc, drum.Row)) continue;
    out += "      <midi-instrument id=\"";
    AppendInstrumentId(out, drum);
    out += "\">\n        <midi-channel>10</midi-channel>\n        <midi-program>1</midi-program>\n"
           "        <midi-unpitched>";
    AppendInt(out, drum.Key + 1);
    out += "</midi-unpitched>\n      </midi-instrument>\n";
  }
  out += "    </score-part>\n  </part-list>\n  <part id=\"";
  out += kPartId;
  out += "\">\n";
}

struct Hit {
  const NotationDrum* Drum;
  bool Accent;
};

// The notes of one voice of one bar, by position.
struct VoiceHits {
  uint64_t Onsets = 0;
  std::array<std::array<Hit, kRowCount>, kMaxPositions> At{};
  std::array<uint8_t, kMaxPositions> Count{};

  void Add(int p, const NotationDrum* drum, bool accent) {
    Onsets |= uint64_t{1} << p;
    At[static_cast<std::size_t>(p)][Count[static_cast<std::size_t>(p)]++] = Hit{drum, accent};
  }
};

constexpr std::string_view kBeamNames[] = {"", "begin", "continue", "end", "forward hook", "backward hook"};

// How one note or rest of a voice is written.
struct Look {
  int Duration = 0;  // in divisions
  NoteValue Value{"quarter", 0};
  bool WholeBar = false;
  std::array<Beam, 3> Beams{Beam::None, Beam::None, Beam::None};
  int Actual = 1, Normal = 1;  // a tuplet's ratio
  bool TupletStart = false, TupletStop = false;
};

Look LookOf(const RhythmItem& item, int divisions) {
  Look look;
  look.Duration = item.Sixteenths * divisions / 4;
  look.WholeBar = item.WholeBar;
  if (!item.WholeBar) look.Value = NoteValueOf(item.Sixteenths);
  look.Beams = {item.Beams[0], item.Beams[1], Beam::None};
  return look;
}

Look LookOf(const GridRhythmItem& item, BarGrid grid, int divisions) {
  Look look;
  look.Duration = static_cast<int>(item.Cells * CellUnits(grid) * divisions / kUnitsPerQuarter);
  look.WholeBar = item.WholeBar;
  if (!item.WholeBar) look.Value = NoteValueOf32nds(item.Written);
  look.Beams = item.Beams;
  look.Actual = item.Actual;
  look.Normal = item.Normal;
  look.TupletStart = item.TupletStart;
  look.TupletStop = item.TupletStop;
  return look;
}

void AppendValue(std::string& out, const Look& look) {
  out += "        <type>";
  out += look.Value.Type;
  out += "</type>\n";
  for (int d = 0; d < look.Value.Dots; ++d) out += "        <dot/>\n";
  if (look.Actual == look.Normal) return;
  out += "        <time-modification>\n          <actual-notes>";
  AppendInt(out, look.Actual);
  out += "</actual-notes>\n          <normal-notes>";
  AppendInt(out, look.Normal);
  out += "</normal-notes>\n        </time-modification>\n";
}

void AppendTuplet(std::string& out, const Look& look) {
  if (look.TupletStart) out += "          <tuplet type=\"start\" bracket=\"yes\"/>\n";
  if (look.TupletStop) out += "          <tuplet type=\"stop\"/>\n";
}

void AppendRest(std::string& out, const Look& look, int voice) {
  out += look.WholeBar ? "      <note>\n        <rest measure=\"yes\"/>\n" : "      <note>\n        <rest/>\n";
  out += "        <duration>";
  AppendInt(out, look.Duration);
  out += "</duration>\n        <voice>";
  AppendInt(out, voice);
  out += "</voice>\n";
  if (!look.WholeBar) AppendValue(out, look);
  if (look.TupletStart || look.TupletStop) {
    out += "        <notations>\n";
    AppendTuplet(out, look);
    out += "        </notations>\n";
  }
  out += "      </note>\n";
}

void AppendNote(std::string& out, const Hit& hit, const Look& look, int voice, bool chord) {
  const NotationDrum& drum = *hit.Drum;
  out += "      <note>\n";
  if (chord) out += "        <chord/>\n";
  out += "        <unpitched>\n          <display-step>";
  out += drum.Step;
  out += "</display-step>\n          <display-octave>";
  AppendInt(out, drum.Octave);
  out += "</display-octave>\n        </unpitched>\n        <duration>";
  AppendInt(out, look.Duration);
  out += "</duration>\n        <instrument id=\"";
  AppendInstrumentId(out, drum);
  out += "\"/>\n        <voice>";
  AppendInt(out, voice);
  out += "</voice>\n";
  AppendValue(out, look);
  out += voice == 1 ? "        <stem>up</stem>\n" : "        <stem>down</stem>\n";
  if (drum.Notehead) {
    out += "        <notehead>";
    out += drum.Notehead;
    out += "</notehead>\n";
  }
  // A chord's beams and tuplet bracket belong to its first note.
  for (int level = 0; level < 3 && !chord; ++level) {
    const Beam beam = look.Beams[static_cast<std::size_t>(level)];
    if (beam == Beam::None) continue;
    out += "        <beam number=\"";
    AppendInt(out, level + 1);
    out += "\">";
    out += kBeamNames[static_cast<std::size_t>(beam)];
    out += "</beam>\n";
  }
  const bool tuplet = !chord && (look.TupletStart || look.TupletStop);
  if (hit.Accent || drum.OpenMark || tuplet) {
    out += "        <notations>\n";
    if (tuplet) AppendTuplet(out, look);
    if (hit.Accent) out += "          <articulations>\n            <accent/>\n          </articulations>\n";
    if (drum.OpenMark) out += "          <technical>\n            <open placement=\"above\"/>\n          </technical>\n";
    out += "        </notations>\n";
  }
  out += "      </note>\n";
}

void AppendLook(std::string& out, const VoiceHits& hits, int start, bool rest, const Look& look, int voice) {
  if (rest) {
    AppendRest(out, look, voice);
    return;
  }
  const auto p = static_cast<std::size_t>(start);
  for (int i = 0; i < hits.Count[p]; ++i) AppendNote(out, hits.At[p][static_cast<std::size_t>(i)], look, voice, i > 0);
}

void AppendVoice(std::string& out, const VoiceHits& hits, const TBar& bar, int length, const Meter& meter,
                 int voice, int divisions) {
  if (bar.Grid == BarGrid::Sixteenths) {
    for (const RhythmItem& item : VoiceRhythm(hits.Onsets, meter))
      AppendLook(out, hits, item.Start, item.Rest, LookOf(item, divisions), voice);
    return;
  }
  for (const GridRhythmItem& item : GridVoiceRhythm(hits.Onsets, bar.Grid, length, meter))
    AppendLook(out, hits, item.Start, item.Rest, LookOf(item, bar.Grid, divisions), voice);
}

void AppendDirection(std::string& out, std::string_view type, std::string_view text) {
  out += "      <direction placement=\"above\">\n        <direction-type>\n";
  AppendElement(out, "          ", type, text);
  out += "        </direction-type>\n      </direction>\n";
}

// The song's parts in bar order, so each bar finds its own in passing (a file may hold thousands).
class PartsByBar {
 public:
  explicit PartsByBar(const std::vector<TSongPart>& parts) {
    for (const TSongPart& part : parts) sorted_.push_back(&part);
    std::stable_sort(sorted_.begin(), sorted_.end(),
                     [](const TSongPart* a, const TSongPart* b) { return a->StartBar < b->StartBar; });
  }
  // The parts that start at `bar`; bars must be asked in ascending order.
  template <typename Visit>
  void StartingAt(int bar, Visit visit) {
    while (next_ < sorted_.size() && sorted_[next_]->StartBar < bar) ++next_;
    for (; next_ < sorted_.size() && sorted_[next_]->StartBar == bar; ++next_) visit(*sorted_[next_]);
  }

 private:
  std::vector<const TSongPart*> sorted_;
  std::size_t next_ = 0;
};

void AppendBar(std::string& out, const Osnova& doc, int index, const Meter* previous, bool last,
               PartsByBar& parts, Meter& meter, int divisions) {
  const TBar& bar = doc.Bar(index);
  const int length = std::clamp<int>(bar.Length, 1, kMaxPositions);
  // The written timing counts the bar's sixteenths, whatever its grid.
  const int64_t units = length * CellUnits(bar.Grid);
  const int64_t sixteenth = CellUnits(BarGrid::Sixteenths);
  meter = MeterOf(static_cast<int>((units + sixteenth - 1) / sixteenth), bar.Denominator);
  out += "    <measure number=\"";
  AppendInt(out, index + 1);
  out += "\">\n";
  if (!previous || !(*previous == meter)) {
    out += "      <attributes>\n";
    if (!previous) {
      out += "        <divisions>";
      AppendInt(out, divisions);
      out += "</divisions>\n";
    }
    out += "        <time>\n          <beats>";
    AppendInt(out, meter.Beats);
    out += "</beats>\n          <beat-type>";
    AppendInt(out, meter.BeatType);
    out += "</beat-type>\n        </time>\n";
    if (!previous)
      out += "        <clef>\n          <sign>percussion</sign>\n        </clef>\n"
             "        <staff-details>\n          <staff-lines>5</staff-lines>\n        </staff-details>\n";
    out += "      </attributes>\n";
  }
  parts.StartingAt(index, [&out](const TSongPart& part) {
    if (!part.Name.empty()) AppendDirection(out, "rehearsal", part.Name);
  });
  if (!previous) {
    out += "      <direction placement=\"above\">\n        <direction-type>\n"
           "          <metronome>\n            <beat-unit>quarter</beat-unit>\n            <per-minute>";
    AppendInt(out, doc.Tempo);
    out += "</per-minute>\n          </metronome>\n        </direction-type>\n        <sound tempo=\"";
    AppendInt(out, doc.Tempo);
    if (!doc.Swing.On()) {
      out += "\"/>\n      </direction>\n";
    } else {
      // The swing as the ratio of a pair's two notes, so a notation program plays it.
      const int first = 100 + doc.Swing.Percent, second = 100 - doc.Swing.Percent;
      const int common = std::gcd(first, second);
      out += "\">\n          <swing>\n            <first>";
      AppendInt(out, first / common);
      out += "</first>\n            <second>";
      AppendInt(out, second / common);
      out += "</second>\n            <swing-type>";
      out += doc.Swing.Unit == SwingUnit::Eighths ? "eighth" : "16th";
      out += "</swing-type>\n          </swing>\n        </sound>\n      </direction>\n";
      AppendDirection(out, "words", "Swing " + SwingText(doc.Swing));
    }
  }
  if (!bar.Comment.empty()) AppendDirection(out, "words", bar.Comment);

  static thread_local VoiceHits hands, feet;
  hands.Onsets = feet.Onsets = 0;
  hands.Count.fill(0);
  feet.Count.fill(0);
  for (int row = 1; row < kRowCount; ++row) {
    if (!RowShown(doc, row)) continue;
    const TNoteRow& notes = bar.Rows[static_cast<std::size_t>(row)];
    uint64_t set = notes.Notes & PositionsBelow(length);
    while (set) {
      const int p = std::countr_zero(set);
      set &= set - 1;
      const TNoteCell& cell = notes.Cells[static_cast<std::size_t>(p)];
      const NotationDrum* drum = NotationDrumOf(row, cell.Variant);
      if (!drum) continue;
      (drum->Feet ? feet : hands).Add(p, drum, cell.Accent != 0);
    }
  }
  AppendVoice(out, hands, bar, length, meter, 1, divisions);
  if (feet.Onsets) {
    out += "      <backup>\n        <duration>";
    AppendInt(out, static_cast<int>(units * divisions / kUnitsPerQuarter));
    out += "</duration>\n      </backup>\n";
    AppendVoice(out, feet, bar, length, meter, 2, divisions);
  }
  if (last) out += "      <barline location=\"right\">\n        <bar-style>light-heavy</bar-style>\n      </barline>\n";
  out += "    </measure>\n";
}

constexpr std::string_view kContainer =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<container>\n"
    "  <rootfiles>\n"
    "    <rootfile full-path=\"score.musicxml\" media-type=\"application/vnd.recordare.musicxml+xml\"/>\n"
    "  </rootfiles>\n"
    "</container>\n";

}  // namespace

const NotationDrum* NotationDrumOf(int row, uint8_t variant) {
  const uint8_t key = DrumNoteOf(static_cast<uint8_t>(row), variant);
  for (const NotationDrum& drum : kDrums)
    if (drum.Key == key && drum.Row == row) return &drum;
  return nullptr;
}

std::string MusicXmlBytes(const Osnova& doc) {
  std::string out;
  const int bars = static_cast<int>(std::min<std::size_t>(doc.BarCount, doc.Bars.size()));
  const int last = bars > 0 ? LastContentBar(doc, 0, bars - 1) : -1;
  out.reserve(8192 + static_cast<std::size_t>(last + 1) * 4096);
  AppendHeader(out, doc);
  PartsByBar parts(doc.SongParts);
  int divisions = kSixteenthDivisions;
  for (int b = 0; b <= last; ++b)
    if (doc.Bar(b).Grid != BarGrid::Sixteenths) divisions = kGridDivisions;
  Meter meter, previous;
  for (int b = 0; b <= last; ++b) {
    AppendBar(out, doc, b, b == 0 ? nullptr : &previous, b == last, parts, meter, divisions);
    previous = meter;
  }
  out += "  </part>\n</score-partwise>\n";
  return out;
}

bool MusicXmlContainerBytes(const Osnova& doc, std::string& out, std::string& error) {
  try {
    const std::string score = MusicXmlBytes(doc);
    // The mimetype comes first and stored, so a reader can tell the format from the first bytes.
    return ZipArchiveBytes({{"mimetype", "application/vnd.recordare.musicxml", false},
                            {"META-INF/container.xml", kContainer, true},
                            {"score.musicxml", score, true}},
                           out, error);
  } catch (const std::bad_alloc&) {
    error = "not enough memory";
    return false;
  }
}

bool ExportMusicXml(const Osnova& doc, const std::string& path, std::string& error) {
  std::string bytes;
  try {
    bytes = MusicXmlBytes(doc);
  } catch (const std::bad_alloc&) {
    error = "not enough memory";
    return false;
  }
  return WriteFileAtomically(path, bytes, error);
}

bool ExportMusicXmlContainer(const Osnova& doc, const std::string& path, std::string& error) {
  std::string bytes;
  return MusicXmlContainerBytes(doc, bytes, error) && WriteFileAtomically(path, bytes, error);
}

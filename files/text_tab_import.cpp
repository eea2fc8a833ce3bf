#include "files/text_tab_import.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>
#include <string>
#include <vector>

#include "files/tab_file.h"
#include "model/cp1252.h"

const char* const kNoDrumTabMessage = "No drum tab found in the text.";

namespace {

constexpr int kCountLine = 0;
constexpr int kUnknownLine = -1;

struct LabelEntry {
  std::string_view Name;  // lower case, without spaces, colons and dots
  int Row;
  uint8_t Variant;  // what a plain hit on this line is (crash, splash or china on row 1)
};

// Row labels drummers use, plus the program's own. Matched after Normalized().
// clang-format off
constexpr LabelEntry kLabels[] = {
    {"count", kCountLine, 0},
    {"crash", 1, 0}, {"cc", 1, 0}, {"cr", 1, 0}, {"c", 1, 0}, {"cym", 1, 0}, {"cymbals", 1, 0},
    {"cymbal", 1, 0}, {"crashcymbal", 1, 0}, {"crash1", 1, 0}, {"crash2", 1, 0}, {"c1", 1, 0},
    {"c2", 1, 0}, {"splash", 1, 1}, {"sp", 1, 1}, {"spl", 1, 1}, {"china", 1, 2}, {"ch", 1, 2},
    {"ride", 2, 0}, {"rd", 2, 0}, {"r", 2, 0}, {"rc", 2, 0}, {"ridecymbal", 2, 0},
    {"hi-hat", 3, 0}, {"hihat", 3, 0}, {"hh", 3, 0}, {"h", 3, 0}, {"hat", 3, 0},
    {"tom1", 4, 0}, {"t1", 4, 0}, {"ht", 4, 0}, {"t", 4, 0}, {"hightom", 4, 0}, {"hitom", 4, 0},
    {"tom2", 5, 0}, {"t2", 5, 0}, {"mt", 5, 0}, {"midtom", 5, 0},
    {"floor", 6, 0}, {"ft", 6, 0}, {"f", 6, 0}, {"lt", 6, 0}, {"t3", 6, 0}, {"floortom", 6, 0},
    {"lowtom", 6, 0},
    {"snare", 7, 0}, {"sd", 7, 0}, {"sn", 7, 0}, {"s", 7, 0}, {"snaredrum", 7, 0},
    {"bass", 8, 0}, {"bd", 8, 0}, {"b", 8, 0}, {"k", 8, 0}, {"kick", 8, 0}, {"bassdrum", 8, 0},
    {"kickdrum", 8, 0},
};
// clang-format on

// The program's own labels as its text export writes them (after the leading blanks).
constexpr std::string_view kOwnLabels[] = {
    "Cymbals:", "Ride:", "Hi-Hat:", "Tom1:", "Tom2:", "Floor:", "Snare:", "Bass:"};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsRest(char c) { return c == '-' || c == '.' || c == ' ' || c == '_'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}
std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}
std::string_view Trim(std::string_view s) { return TrimRight(TrimLeft(s)); }

std::string Normalized(std::string_view label) {
  std::string out;
  for (char c : label)
    if (!IsBlank(c) && c != ':' && c != '.') out += Lower(c);
  return out;
}

const LabelEntry* FindLabel(std::string_view label) {
  const std::string name = Normalized(label);
  if (name.empty()) return nullptr;
  for (const LabelEntry& entry : kLabels)
    if (entry.Name == name) return &entry;
  return nullptr;
}

// A counting line's text: beat numbers and e, +, a, & between blanks and bar lines.
bool IsCountText(std::string_view text) {
  bool one = false, subdivision = false;
  int tokens = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (IsBlank(c) || c == '|') continue;
    ++tokens;
    if (c == '1')
      one = true;
    else if (c == 'e' || c == '+' || c == '&' || c == 'a')
      subdivision = true;
    else if (!IsDigit(c))
      return false;
  }
  return one && subdivision && tokens >= 3;
}

// "x2", "X3", "4x", "(x4)": how often the system is played; 0 when the text is none of these.
int RepeatCount(std::string_view text) {
  text = Trim(text);
  if (text.size() >= 2 && text.front() == '(' && text.back() == ')')
    text = Trim(text.substr(1, text.size() - 2));
  std::string_view digits;
  if (!text.empty() && (text.front() == 'x' || text.front() == 'X'))
    digits = Trim(text.substr(1));
  else if (!text.empty() && (text.back() == 'x' || text.back() == 'X'))
    digits = Trim(text.substr(0, text.size() - 1));
  else
    return 0;
  int count = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), count);
  if (ec != std::errc() || end != digits.data() + digits.size() || count < 1 || count > 999)
    return 0;
  return count;
}

// Cells of a bar that lost its closing bar line: cell characters only, no blanks.
bool LooksLikeCells(std::string_view text) {
  if (text.size() < 2) return false;
  return std::all_of(text.begin(), text.end(), [](char c) {
    return c == '-' || c == '.' || c == '_' || c == '#' || IsLetter(c);
  });
}

// A bar of a line with an unknown label must look like drum cells, so prose and chord lines that
// happen to hold a bar line are not taken for a tab: at least half of it rests.
bool LooksLikeBar(std::string_view cells) {
  if (cells.empty()) return false;
  auto rests = std::count_if(cells.begin(), cells.end(),
                             [](char c) { return c == '-' || c == '.' || c == '_'; });
  return rests * 2 >= static_cast<std::ptrdiff_t>(cells.size());
}

struct TabLine {
  int Number = 0;  // 1-based line number, for the warnings
  int Row = kUnknownLine;
  uint8_t Variant = 0;
  bool OwnLabel = false;  // written with one of the program's own labels
  std::string_view Label;
  int FirstCellColumn = 0;
  std::vector<std::string_view> Bars;
  int RepeatStart = -1;  // bar index where "|:" stands
  int RepeatEnd = -1;    // bar index that ends with ":|"
  int Repeat = 0;        // trailing "xN"
};

// Splits what follows a line's label into bars, repeat marks and a trailing repeat count.
void ReadBars(std::string_view rest, TabLine& line) {
  std::size_t start = 0;
  while (true) {
    std::size_t bar = rest.find('|', start);
    std::string_view piece =
        rest.substr(start, bar == std::string_view::npos ? rest.npos : bar - start);
    if (bar == std::string_view::npos) {
      // After the last bar line: a repeat count, a bar whose closing line is missing, or prose.
      if (int count = RepeatCount(piece))
        line.Repeat = count;
      else if (piece.size() >= 1 && piece.front() == ':')
        line.RepeatStart = static_cast<int>(line.Bars.size());
      else if (LooksLikeCells(piece))
        line.Bars.push_back(piece);
      return;
    }
    if (!piece.empty() && piece.front() == ':') {
      line.RepeatStart = static_cast<int>(line.Bars.size());
      piece.remove_prefix(1);
    }
    bool endsRepeat = false;
    if (!piece.empty() && piece.back() == ':') {
      endsRepeat = true;
      piece.remove_suffix(1);
    }
    // "||" and the double line of a repeat mark are one bar line, not an empty bar.
    if (!piece.empty()) line.Bars.push_back(piece);
    if (endsRepeat && !line.Bars.empty()) line.RepeatEnd = static_cast<int>(line.Bars.size()) - 1;
    start = bar + 1;
  }
}

bool OwnLabel(std::string_view label) {
  label = Trim(label);
  return std::find(std::begin(kOwnLabels), std::end(kOwnLabels), label) != std::end(kOwnLabels);
}

// Recognises a tab line: a label, then bar lines. Returns false for every other line.
bool ParseTabLine(std::string_view text, int number, TabLine& line) {
  line = TabLine{};
  line.Number = number;
  const std::size_t firstBar = text.find('|');
  if (firstBar == std::string_view::npos) {
    if (IsCountText(text)) {
      line.Row = kCountLine;
      return true;
    }
    return false;
  }
  std::string_view prefix = text.substr(0, firstBar);
  std::string_view rest = text.substr(firstBar + 1);
  line.FirstCellColumn = static_cast<int>(firstBar + 1);

  auto take = [&](const LabelEntry& entry, std::string_view label) {
    line.Row = entry.Row;
    line.Variant = entry.Variant;
    line.Label = Trim(label);
    line.OwnLabel = OwnLabel(label);
  };
  // "HH|x-x-|", " Hi-Hat: |x-x-|"
  if (const LabelEntry* entry = FindLabel(prefix)) {
    take(*entry, prefix);
    ReadBars(rest, line);
    return entry->Row == kCountLine || !line.Bars.empty();
  }
  // "hh  x-x-x-x-|x-x-|": the first bar has no opening line; blanks or a colon end the label.
  std::string_view trimmed = TrimRight(prefix);
  std::size_t split = trimmed.find_last_of(" \t:");
  if (split != std::string_view::npos && split + 1 < trimmed.size()) {
    std::string_view label = trimmed.substr(0, split + 1);
    std::string_view cells = trimmed.substr(split + 1);
    const LabelEntry* entry = FindLabel(label);
    // At least one rest among the cells, so that "Hi-hat foot" is not the hi-hat with cells "foot".
    if (entry != nullptr && entry->Row != kCountLine && LooksLikeCells(cells) &&
        cells.find_first_of("-._") != std::string_view::npos) {
      take(*entry, label);
      line.FirstCellColumn = static_cast<int>(cells.data() - text.data());
      line.Bars.push_back(cells);
      ReadBars(rest, line);
      return true;
    }
  }
  if (Trim(prefix).empty() && IsCountText(rest)) {
    line.Row = kCountLine;
    ReadBars(rest, line);
    return true;
  }
  // An instrument the program has no row for ("Cowbell|--x-|"), or bars without a label.
  std::string_view label = Trim(prefix);
  const bool labelLike = label.empty() || (label.size() <= 20 && IsLetter(label.front()));
  if (!labelLike) return false;
  ReadBars(rest, line);
  if (std::none_of(line.Bars.begin(), line.Bars.end(), LooksLikeBar)) return false;
  line.Row = kUnknownLine;
  line.Label = label;
  return true;
}

// A cell's note on the line's row; false for a character that is no drum note.
bool CellNote(const TabLine& line, char c, TNoteCell& cell) {
  const bool upper = c >= 'A' && c <= 'Z';
  const char lower = Lower(c);
  const uint8_t hit = line.Row == RowCymbals ? line.Variant : 0;
  int variant = -1;
  switch (line.Row) {
    case RowCymbals:
      variant = lower == 'x' || lower == 'o' ? hit : lower == 's' ? 1 : lower == 'c' ? 2 : -1;
      break;
    case RowRide:
      variant = lower == 'x' || lower == 'o' ? 0 : -1;
      break;
    case RowHiHat:
      variant = lower == 'x' ? 0 : lower == 'o' ? 1 : -1;
      break;
    case RowTom1:
    case RowTom2:
    case RowFloor:
    case RowBass:
      variant = lower == 'o' || lower == 'x' ? 0 : -1;
      break;
    case RowSnare:
      // The program's own snare letter x is the rim click; elsewhere an x on a snare is a hit.
      variant = lower == 'o' ? 0 : lower == 'x' ? (line.OwnLabel ? 1 : 0) : -1;
      break;
    default:
      return false;
  }
  if (variant >= 0) {
    cell = TNoteCell{static_cast<uint8_t>(variant), static_cast<uint8_t>(upper ? 1 : 0)};
    return true;
  }
  if (lower == 'g') {  // a ghost note: a soft hit
    cell = TNoteCell{hit, 0};
    return true;
  }
  if (lower == 'f' || lower == 'd' || lower == 'r') {  // flam, drag, roll: played as one hit
    cell = TNoteCell{hit, static_cast<uint8_t>(upper ? 1 : 0)};
    return true;
  }
  return false;
}

// Text files written by today's editors are mostly UTF-8, the model's texts Windows-1252: a text
// that is valid UTF-8 with characters beyond ASCII is converted ('?' for what 1252 lacks). Any
// other text is taken as 1252 already (the program's own export).
std::optional<std::string> Cp1252FromUtf8(std::string_view text) {
  const auto& kHigh = kCp1252High;
  if (std::all_of(text.begin(), text.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    return std::nullopt;
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      out += static_cast<char>(lead);
      ++i;
      continue;
    }
    const int extra = lead >= 0xF0 && lead <= 0xF4  ? 3
                      : lead >= 0xE0                ? 2
                      : lead >= 0xC2 && lead < 0xE0 ? 1
                                                    : -1;
    if (extra < 0 || i + static_cast<std::size_t>(extra) >= text.size()) return std::nullopt;
    uint32_t code = lead & (0x3Fu >> extra);
    for (int k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      if ((next & 0xC0u) != 0x80u) return std::nullopt;
      code = (code << 6) | (next & 0x3Fu);
    }
    // Overlong forms and surrogates are not UTF-8.
    if ((extra == 2 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
        (extra == 3 && (code < 0x10000 || code > 0x10FFFF)))
      return std::nullopt;
    i += static_cast<std::size_t>(extra) + 1;
    if (code >= 0xA0 && code <= 0xFF) {
      out += static_cast<char>(code);
      continue;
    }
    const auto high = std::find(std::begin(kHigh), std::end(kHigh), static_cast<char16_t>(code));
    out += high != std::end(kHigh) && code > 0xFF
               ? static_cast<char>(0x80 + (high - std::begin(kHigh)))
               : '?';
  }
  return out;
}

struct InfoLine {
  std::string_view Key;     // normalised
  std::string_view Prefix;  // as the export writes it
};
constexpr InfoLine kInfoLines[] = {
    {"artist", "Artist :   "},   {"song", "Song :     "},   {"album", "Album :    "},
    {"drummer", "Drummer :  "},  {"timing", "Timing  :  "}, {"tempo", "Tempo :    "},
    {"tabbedby", "Tabbed by: "}, {"e-mail", "E-mail:    "}, {"email", "E-mail:    "},
};

class Reader {
 public:
  explicit Reader(std::string_view text) {
    std::size_t start = 0;
    while (start <= text.size()) {
      std::size_t end = text.find_first_of("\r\n", start);
      if (end == std::string_view::npos) {
        if (start < text.size()) lines_.push_back(text.substr(start));
        break;
      }
      lines_.push_back(text.substr(start, end - start));
      start = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
    }
  }

  ImportResult Read() {
    std::vector<TabLine> system;
    std::size_t systemStart = 0;
    TabLine line;
    for (std::size_t i = 0; i <= lines_.size(); ++i) {
      if (i < lines_.size() && ParseTabLine(lines_[i], static_cast<int>(i + 1), line)) {
        if (system.empty()) systemStart = i;
        system.push_back(std::move(line));
        continue;
      }
      if (!system.empty()) {
        AddSystem(system, systemStart);
        system.clear();
      }
      if (i < lines_.size()) ReadInfoLine(lines_[i]);
    }
    ImportResult result;
    result.Warnings = std::move(warnings_);
    if (bars_.empty()) {
      result.Error = kNoDrumTabMessage;
      return result;
    }
    const int timingLength =
        timingDenominator_ ? LengthFromTiming(timingNumerator_, timingDenominator_) : 0;
    for (auto& bar : bars_)
      bar->Denominator =
          bar->Length == timingLength ? timingDenominator_ : DenominatorForLength(bar->Length);
    auto doc = NewImportedDocument(std::move(bars_));
    doc->SongParts = std::move(parts_);
    for (std::size_t k = 0; k < std::size(info_); ++k)
      if (info_[k]) *InfoField(*doc, k) = InfoText(*info_[k]);
    if (tempo_ > 0) doc->Tempo = static_cast<uint16_t>(tempo_);
    ShowRowsWithNotes(*doc);
    result.Document = std::move(doc);
    return result;
  }

 private:
  static std::string* InfoField(Osnova& doc, std::size_t k) {
    std::string* fields[] = {&doc.Artist,  &doc.Song,      &doc.Album,
                             &doc.Drummer, &doc.TabAuthor, &doc.Email};
    return fields[k];
  }

  void Warn(std::string text) { warnings_.push_back(std::move(text)); }

  // "Artist :   Band", "Tempo: 96 bpm", "Timing  :  3/4": the first of each kind counts.
  void ReadInfoLine(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon > 12) return;
    const std::string key = Normalized(text.substr(0, colon));
    for (const InfoLine& info : kInfoLines) {
      if (key != info.Key) continue;
      // The export's own prefix keeps the value byte for byte; otherwise blanks are trimmed.
      std::string_view value = text.substr(0, info.Prefix.size()) == info.Prefix
                                   ? text.substr(info.Prefix.size())
                                   : Trim(text.substr(colon + 1));
      if (key == "tempo") {
        int bpm = 0;
        value = TrimLeft(value);
        std::from_chars(value.data(), value.data() + value.size(), bpm);
        if (tempo_ == 0 && bpm > 0) tempo_ = std::min(bpm, kMaxTempo);
      } else if (key == "timing") {
        int n = 0, d = 0;
        value = TrimLeft(value);
        auto [slash, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
        if (ec == std::errc() && slash < value.data() + value.size() && *slash == '/' &&
            std::from_chars(slash + 1, value.data() + value.size(), d).ec == std::errc() &&
            timingDenominator_ == 0 && n >= 1 && n <= 16 && DenominatorIndex(d) != 255) {
          timingNumerator_ = n;
          timingDenominator_ = static_cast<uint8_t>(d);
        }
      } else {
        static constexpr std::string_view kFieldKeys[] = {"artist",  "song",     "album",
                                                          "drummer", "tabbedby", "e-mail"};
        std::size_t k = 0;
        while (k < std::size(kFieldKeys) && kFieldKeys[k] != key) ++k;
        if (k == std::size(kFieldKeys)) k = 5;  // "email"
        if (!info_[k]) info_[k] = std::string(value);
      }
      return;
    }
  }

  void AddSystem(std::vector<TabLine>& system, std::size_t systemStart) {
    std::vector<const TabLine*> rows;
    for (const TabLine& line : system) {
      if (line.Row == kUnknownLine) {
        if (line.Label.empty())
          Warn("Line " + std::to_string(line.Number) +
               ": bar lines without an instrument name; the line is left out.");
        else
          Warn("Line " + std::to_string(line.Number) + ": unknown instrument \"" +
               std::string(line.Label) + "\"; the line is left out.");
      } else if (line.Row != kCountLine) {
        rows.push_back(&line);
      }
    }
    // A stretch of the export where no row holds a note prints only its counting line, all
    // blanks: its bars are empty bars of those lengths.
    if (rows.empty())
      for (const TabLine& line : system)
        if (line.Row == kCountLine && !line.Bars.empty() &&
            std::all_of(line.Bars.begin(), line.Bars.end(),
                        [](std::string_view bar) { return Trim(bar).empty(); })) {
          rows.push_back(&line);
          break;
        }
    if (rows.empty()) return;

    // Bar i is as long as its longest row.
    std::vector<int> lengths;
    bool disagree = false;
    for (const TabLine* row : rows) {
      if (!lengths.empty() && row->Bars.size() != lengths.size()) disagree = true;
      lengths.resize(std::max(lengths.size(), row->Bars.size()), 0);
      for (std::size_t b = 0; b < row->Bars.size(); ++b) {
        const int length = static_cast<int>(row->Bars[b].size());
        if (lengths[b] != 0 && lengths[b] != length) disagree = true;
        lengths[b] = std::max(lengths[b], length);
      }
    }
    const int firstLine = system.front().Number;
    if (disagree)
      Warn("Line " + std::to_string(firstLine) +
           ": the rows of this tab disagree on the length of a bar; the longest is used.");
    for (int length : lengths)
      if (length > kMaxPositions) {
        Warn("Line " + std::to_string(firstLine) + ": a bar of " + std::to_string(length) +
             " positions is longer than 64; it is split into bars of 64 positions.");
        break;
      }

    // The bars as written, each cut into pieces of at most 64 positions.
    std::vector<std::vector<std::unique_ptr<TBar>>> written(lengths.size());
    for (std::size_t b = 0; b < lengths.size(); ++b) {
      for (int from = 0; from < lengths[b]; from += kMaxPositions) {
        auto bar = std::make_unique<TBar>(4, 4, 0);
        bar->Length = static_cast<uint8_t>(std::min(kMaxPositions, lengths[b] - from));
        written[b].push_back(std::move(bar));
      }
    }
    for (const TabLine* row : rows) {
      if (row->Row == kCountLine) continue;
      bool warned = false;
      for (std::size_t b = 0; b < row->Bars.size(); ++b) {
        std::string_view cells = row->Bars[b];
        for (std::size_t p = 0; p < cells.size(); ++p) {
          const char c = cells[p];
          if (IsRest(c)) continue;
          TNoteCell cell;
          if (CellNote(*row, c, cell)) {
            TBar& bar = *written[b][p / kMaxPositions];
            bar.Rows[static_cast<std::size_t>(row->Row)].Set(static_cast<int>(p % kMaxPositions),
                                                             cell.Variant, cell.Accent);
          } else if (c == '#') {
            if (!chokeWarned_)
              Warn("Line " + std::to_string(row->Number) +
                   ": the choke mark \"#\" is not supported; choke marks are left out.");
            chokeWarned_ = true;
          } else if (!warned) {
            Warn("Line " + std::to_string(row->Number) + ": \"" + std::string(1, c) +
                 "\" is not a drum note; it is read as a rest.");
            warned = true;
          }
        }
      }
    }
    const std::vector<std::string_view> names = ReadTextAbove(systemStart, rows, lengths, written);

    // Repeats: "|:" ... ":|" repeat the marked bars, "xN" after the last bar line the system
    // (or the marked bars) N times in all.
    int repeatStart = -1, repeatEnd = -1, count = 0;
    for (const TabLine* row : rows) {
      if (repeatStart < 0 && row->RepeatStart >= 0) repeatStart = row->RepeatStart;
      if (repeatEnd < 0 && row->RepeatEnd >= 0) repeatEnd = row->RepeatEnd;
      if (count == 0) count = row->Repeat;
    }
    const int last = static_cast<int>(lengths.size()) - 1;
    if (count == 0) count = repeatEnd >= 0 ? 2 : 1;
    if (repeatEnd < 0 || repeatEnd > last) repeatEnd = last;
    if (repeatStart < 0 || repeatStart > repeatEnd) repeatStart = 0;
    // Every bar makes at least one bar of the song, so the order never needs more than the
    // song can hold.
    std::vector<int> order;
    const auto full = [&] { return order.size() > static_cast<std::size_t>(kMaxBarCount); };
    for (int b = 0; b < repeatStart && !full(); ++b) order.push_back(b);
    for (int t = 0; t < count && !full(); ++t)
      for (int b = repeatStart; b <= repeatEnd && !full(); ++b) order.push_back(b);
    for (int b = repeatEnd + 1; b <= last && !full(); ++b) order.push_back(b);

    // The first time a bar is played it takes the written bar with its comment and part; later
    // times copy its notes.
    std::vector<std::size_t> placed(lengths.size(), 0);
    for (int b : order) {
      const auto k = static_cast<std::size_t>(b);
      if (!written[k].empty()) {
        if (!names[k].empty() && bars_.size() < static_cast<std::size_t>(kMaxBarCount)) {
          TSongPart part;
          part.StartBar = static_cast<int32_t>(bars_.size());
          part.SetName(names[k]);
          parts_.push_back(std::move(part));
        }
        placed[k] = bars_.size();
        Append(std::move(written[k]));
        written[k].clear();
        continue;
      }
      std::vector<std::unique_ptr<TBar>> copies;
      const std::size_t pieces =
          static_cast<std::size_t>((lengths[k] + kMaxPositions - 1) / kMaxPositions);
      for (std::size_t piece = 0; piece < pieces && placed[k] + piece < bars_.size(); ++piece) {
        const TBar& from = *bars_[placed[k] + piece];
        auto bar = std::make_unique<TBar>(4, 4, 0);
        bar->Length = from.Length;
        bar->Rows = from.Rows;
        copies.push_back(std::move(bar));
      }
      Append(std::move(copies));
      if (tooLongWarned_) return;
    }
  }

  // Appends the pieces of one written bar.
  void Append(std::vector<std::unique_ptr<TBar>>&& pieces) {
    for (auto& bar : pieces) {
      if (bars_.size() >= static_cast<std::size_t>(kMaxBarCount)) {
        if (!tooLongWarned_)
          Warn("The tab has more than 65535 bars; the bars after 65535 are left out.");
        tooLongWarned_ = true;
        return;
      }
      bars_.push_back(std::move(bar));
    }
  }

  // The export writes a comment line right above each system, and a part line above that when
  // the song has parts: text standing over each bar's cells, cut to the bar.
  // Sets the comments of the written bars and returns the part name over each.
  std::vector<std::string_view> ReadTextAbove(
      std::size_t systemStart, const std::vector<const TabLine*>& rows,
      const std::vector<int>& lengths, std::vector<std::vector<std::unique_ptr<TBar>>>& written) {
    std::vector<std::string_view> names(written.size());
    const int column = rows.front()->FirstCellColumn;
    for (const TabLine* row : rows)
      if (row->FirstCellColumn != column) return names;
    auto textLine = [&](std::size_t back) -> std::optional<std::string_view> {
      if (systemStart < back) return std::nullopt;
      std::string_view text = lines_[systemStart - back];
      if (text.size() <= static_cast<std::size_t>(column)) return std::nullopt;
      for (int c = 0; c < column; ++c)
        if (text[static_cast<std::size_t>(c)] != ' ') return std::nullopt;
      return text;
    };
    // Where each bar's cells begin on the lines: after the bars before it and their bar lines.
    std::vector<std::size_t> starts(lengths.size());
    for (std::size_t k = 0, at = static_cast<std::size_t>(column); k < lengths.size(); ++k) {
      starts[k] = at;
      at += static_cast<std::size_t>(lengths[k]) + 1;
    }
    auto textOver = [&](std::string_view text, std::size_t b) {
      const std::size_t at = starts[b];
      if (at >= text.size()) return std::string_view{};
      const auto length =
          std::min<std::size_t>(static_cast<std::size_t>(lengths[b]), kMaxPositions);
      return TrimRight(text.substr(at, length));
    };
    auto comments = textLine(1);
    if (!comments) return names;
    for (std::size_t b = 0; b < written.size(); ++b)
      if (!written[b].empty()) written[b].front()->Comment = std::string(textOver(*comments, b));
    if (auto parts = textLine(2))
      for (std::size_t b = 0; b < written.size(); ++b) names[b] = textOver(*parts, b);
    return names;
  }

  std::vector<std::string_view> lines_;
  std::vector<std::string> warnings_;
  BarArray bars_;
  std::vector<TSongPart> parts_;
  std::optional<std::string> info_[6];
  int tempo_ = 0;
  int timingNumerator_ = 0;
  uint8_t timingDenominator_ = 0;
  bool chokeWarned_ = false;
  bool tooLongWarned_ = false;
};

}  // namespace

ImportResult ImportTextTab(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // a UTF-8 byte order mark
  if (std::optional<std::string> converted = Cp1252FromUtf8(text)) return Reader(*converted).Read();
  return Reader(text).Read();
}

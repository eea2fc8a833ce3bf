#include "files/text_tab_import.h"

#include "model/expressive_notes.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "files/count_line.h"
#include "files/tab_file.h"
#include "common/cp1252.h"

const char* const kNoDrumTabMessage = "No drum tab found in the text.";

namespace {

constexpr int kCountLine = 0;
constexpr int kUnknownLine = -1;
// Lines that are no row of the tab's nine: the hi-hat foot and the sticking.
constexpr int kFootLine = 100;
constexpr int kStickingLine = 101;

// How a tom label ranks among the toms of a tab, so that a kit with more toms than the program's
// three tom rows is folded onto them in order of pitch.
enum class Tom : uint8_t { None, High, Mid, Floor, Numbered };

struct LabelEntry {
  std::string_view Name;  // lower case, without spaces, colons and dots
  int Row;                // kUnknownLine: an instrument the program has no row for
  uint8_t Variant;        // what a plain hit on this line is (crash, splash or china on row 1)
  Tom TomKind = Tom::None;
};

// Row labels drummers use, plus the program's own. Matched after Normalized(). Numbered toms
// ("T1", "2T", "Tom3") are read by NumberedTom().
// clang-format off
constexpr LabelEntry kLabels[] = {
    {"count", kCountLine, 0},
    {"crash", 1, 0}, {"cc", 1, 0}, {"cr", 1, 0}, {"c", 1, 0}, {"cym", 1, 0}, {"cymbals", 1, 0},
    {"cymbal", 1, 0}, {"crashcymbal", 1, 0}, {"crash1", 1, 0}, {"crash2", 1, 0}, {"crash3", 1, 0},
    {"c1", 1, 0}, {"c2", 1, 0}, {"c3", 1, 0}, {"cy", 1, 0}, {"cc1", 1, 0}, {"cc2", 1, 0},
    {"splash", 1, 1}, {"sp", 1, 1}, {"spl", 1, 1},
    {"china", 1, 2}, {"ch", 1, 2}, {"chn", 1, 2}, {"g", 1, 2},
    {"ride", 2, 0}, {"rd", 2, 0}, {"r", 2, 0}, {"rc", 2, 0}, {"ridecymbal", 2, 0},
    {"hi-hat", 3, 0}, {"hihat", 3, 0}, {"hh", 3, 0}, {"h", 3, 0}, {"hat", 3, 0}, {"hi-hats", 3, 0},
    {"chh", 3, 0},
    {"ohh", 3, 1}, {"oh", 3, 1}, {"openhihat", 3, 1},
    // The hi-hat played with the foot: a line of its own, which may sound with the hands' hi-hat.
    {"hf", kFootLine, 0}, {"hp", kFootLine, 0}, {"p", kFootLine, 0}, {"hhf", kFootLine, 0},
    {"hhp", kFootLine, 0}, {"ph", kFootLine, 0}, {"hi-hatfoot", kFootLine, 0},
    {"hihatfoot", kFootLine, 0}, {"hi-hatpedal", kFootLine, 0}, {"hihatpedal", kFootLine, 0},
    {"hhfoot", kFootLine, 0}, {"hhpedal", kFootLine, 0}, {"foot", kFootLine, 0},
    {"pedal", kFootLine, 0}, {"sticking", kStickingLine, 0},
    {"ht", 4, 0, Tom::High}, {"hightom", 4, 0, Tom::High}, {"hitom", 4, 0, Tom::High},
    {"st", 4, 0, Tom::High}, {"smalltom", 4, 0, Tom::High}, {"racktom", 4, 0, Tom::High},
    {"mt", 5, 0, Tom::Mid}, {"midtom", 5, 0, Tom::Mid}, {"middletom", 5, 0, Tom::Mid},
    {"floor", 6, 0, Tom::Floor}, {"ft", 6, 0, Tom::Floor}, {"f", 6, 0, Tom::Floor},
    {"f1", 6, 0, Tom::Floor}, {"f2", 6, 0, Tom::Floor}, {"ft1", 6, 0, Tom::Floor},
    {"ft2", 6, 0, Tom::Floor}, {"lt", 6, 0, Tom::Floor}, {"floortom", 6, 0, Tom::Floor},
    {"lowtom", 6, 0, Tom::Floor}, {"fl", 6, 0, Tom::Floor},
    {"snare", 7, 0}, {"sd", 7, 0}, {"sn", 7, 0}, {"s", 7, 0}, {"snaredrum", 7, 0}, {"sr", 7, 0},
    {"sna", 7, 0},
    {"bass", 8, 0}, {"bd", 8, 0}, {"b", 8, 0}, {"k", 8, 0}, {"kick", 8, 0}, {"bassdrum", 8, 0},
    {"kickdrum", 8, 0}, {"kd", 8, 0}, {"bk", 8, 0}, {"kk", 8, 0},
    {"cowbell", kUnknownLine, 0}, {"cb", kUnknownLine, 0}, {"cow", kUnknownLine, 0},
    {"tambourine", kUnknownLine, 0}, {"tamb", kUnknownLine, 0}, {"clap", kUnknownLine, 0},
    {"woodblock", kUnknownLine, 0}, {"wb", kUnknownLine, 0},
};
// clang-format on

// The program's own labels as its text export writes them (after the leading blanks).
constexpr std::string_view kOwnLabels[] = {
    "Cymbals:", "Ride:", "Hi-Hat:", "Tom1:", "Tom2:", "Floor:", "Snare:", "Bass:", "HF", "St"};
constexpr std::string_view kRowNames[] = {"count", "cymbals", "ride",  "hi-hat", "Tom1",
                                          "Tom2",  "Floor",   "snare", "bass drum"};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
// The no-break space (0xA0 in Windows-1252) is a blank wherever a blank separates things: text
// copied from web pages is full of it.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\xA0'; }
bool IsRest(char c) { return c == '-' || c == '.' || c == '_' || c == '~' || IsBlank(c); }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
// Characters that stand for a hit (or a hit with a mark) on some row.
bool IsHitChar(char c) {
  return std::string_view("xXoO0gGfFdDrRzZ#bBsScCwW@+*kK").find(c) != std::string_view::npos;
}

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
    if (!IsBlank(c) && c != ':' && c != '.' && c != '_') out += Lower(c);
  return out;
}

// "t1", "2t", "tom3": the tom's number; 0 for any other label.
int NumberedTom(const std::string& name) {
  if (name == "t" || name == "tom") return 1;
  if (name.size() == 2 && name[0] == 't' && name[1] >= '1' && name[1] <= '9') return name[1] - '0';
  if (name.size() == 2 && name[1] == 't' && name[0] >= '1' && name[0] <= '9') return name[0] - '0';
  if (name.size() == 4 && name.starts_with("tom") && name[3] >= '1' && name[3] <= '9')
    return name[3] - '0';
  return 0;
}

struct LabelInfo {
  int Row = kUnknownLine;
  uint8_t Variant = 0;
  Tom TomKind = Tom::None;
  int TomNumber = 0;
  bool Named = false;  // a known instrument, possibly one without a row (a cowbell)
};

std::optional<LabelInfo> TableLabel(const std::string& name) {
  if (name.empty()) return std::nullopt;
  if (int number = NumberedTom(name))
    return LabelInfo{number == 1 ? 4 : number == 2 ? 5 : 6, 0, Tom::Numbered, number, true};
  for (const LabelEntry& entry : kLabels)
    if (entry.Name == name) return LabelInfo{entry.Row, entry.Variant, entry.TomKind, 0, true};
  return std::nullopt;
}

// What a legend's description ("China", "hi-hat stomp", "floor tom 2") names.
std::optional<LabelInfo> DescribedInstrument(std::string_view text) {
  const std::string name = Normalized(text);
  if (auto label = TableLabel(name)) return label;
  auto has = [&](std::string_view word) { return name.find(word) != std::string::npos; };
  if (has("cow") || has("tamb") || has("clap") || has("block")) return LabelInfo{kUnknownLine, 0, Tom::None, 0, true};
  if (has("china")) return LabelInfo{1, 2};
  if (has("splash")) return LabelInfo{1, 1};
  if (has("crash")) return LabelInfo{1, 0};
  if (has("stomp") || has("foot") || has("pedal")) return LabelInfo{3, 0};
  if (has("ride")) return LabelInfo{2, 0};
  if (has("open") && (has("hat") || has("hh"))) return LabelInfo{3, 1};
  if (has("hat") || has("hh")) return LabelInfo{3, 0};
  if (has("floor")) return LabelInfo{6, 0, Tom::Floor};
  if (has("snare")) return LabelInfo{7, 0};
  if (has("kick") || has("bass")) return LabelInfo{8, 0};
  if (has("tom")) {
    if (has("high") || has("hi") || has("small") || has("rack")) return LabelInfo{4, 0, Tom::High};
    if (has("mid")) return LabelInfo{5, 0, Tom::Mid};
    if (has("low")) return LabelInfo{6, 0, Tom::Floor};
    for (char c : name)
      if (c >= '1' && c <= '9')
        return LabelInfo{c == '1' ? 4 : c == '2' ? 5 : 6, 0, Tom::Numbered, c - '0'};
    return LabelInfo{4, 0, Tom::Numbered, 1};
  }
  if (has("cymbal")) return LabelInfo{1, 0};
  return std::nullopt;
}

// A counting line's tokens: beat numbers and the syllables between them.
struct CountToken {
  int Column = 0;
  int Beat = 0;  // 0 for a syllable
};

bool IsSyllable(std::string_view word) {
  static constexpr std::string_view kSyllables[] = {"e",  "a",  "+",    "&",   "and", "n",
                                                    "i",  "ta", "la",   "li",  "ti",  "trip",
                                                    "let", "da", "te",  "ee",  "uh",
                                                    "t",  "l"};
  std::string lower;
  for (char c : word) lower += Lower(c);
  return std::find(std::begin(kSyllables), std::end(kSyllables), lower) != std::end(kSyllables);
}

// Tokens of a counting line from `from` on; false when anything else stands in it.
bool CountTokens(std::string_view text, std::size_t from, std::vector<CountToken>* tokens) {
  int beats = 0, syllables = 0;
  bool one = false;
  for (std::size_t i = from; i < text.size();) {
    const char c = text[i];
    if (IsBlank(c) || c == '|') {
      ++i;
      continue;
    }
    std::size_t end = i + 1;
    if (IsDigit(c))
      while (end < text.size() && IsDigit(text[end])) ++end;
    else if (IsLetter(c))
      while (end < text.size() && IsLetter(text[end])) ++end;
    std::string_view word = text.substr(i, end - i);
    // "1e+a2e+a": a digit run ends where letters begin; letters run together ("e+a") are split.
    if (IsDigit(c)) {
      if (word.size() > 2) return false;
      const int beat = (word[0] - '0') * (word.size() == 2 ? 10 : 1) +
                       (word.size() == 2 ? word[1] - '0' : 0);
      if (beat < 1) return false;
      one = one || beat == 1;
      ++beats;
      if (tokens) tokens->push_back({static_cast<int>(i), beat});
    } else if (IsSyllable(word)) {
      ++syllables;
      if (tokens) tokens->push_back({static_cast<int>(i), 0});
    } else if (IsLetter(c) && std::all_of(word.begin(), word.end(), [](char l) {
                 return Lower(l) == 'e' || Lower(l) == 'a';
               })) {
      for (std::size_t k = 0; k < word.size(); ++k) {
        ++syllables;
        if (tokens) tokens->push_back({static_cast<int>(i + k), 0});
      }
    } else {
      return false;
    }
    i = end;
  }
  // "1 e + a 2 e + a", or beat numbers alone ("1 2 3 4").
  return one && (syllables > 0 ? beats + syllables >= 3 : beats >= 3);
}

bool IsCountText(std::string_view text) { return CountTokens(text, 0, nullptr); }

// "x4", "4x", "*4", "repeat 4x", "x4 (intro)", "(repeat 3 times)", "Repeat x2": how often a
// stretch of tab is played in all; 0 when the text says no such thing. `leading` is set when the
// text begins with the count, so it cannot be a heading ("Verse x2") of what follows.
int RepeatCount(std::string_view text, bool* leading = nullptr) {
  std::string words;
  for (char c : text) {
    if (c == '(' || c == ')' || c == '[' || c == ']' || c == ',' || c == '.' || c == '!' ||
        c == '-' || c == '=')
      words += ' ';
    else if (c == '\xD7')  // the multiplication sign
      words += 'x';
    else
      words += IsBlank(c) ? ' ' : Lower(c);
  }
  std::vector<std::string_view> tokens;
  std::string_view rest = words;
  while (!(rest = TrimLeft(rest)).empty()) {
    const std::size_t end = std::min(rest.find(' '), rest.size());
    tokens.push_back(rest.substr(0, end));
    rest.remove_prefix(end);
  }
  if (tokens.empty() || tokens.size() > 5) return 0;
  auto number = [](std::string_view digits) {
    int n = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    return ec == std::errc() && end == digits.data() + digits.size() && n >= 1 && n <= 999 ? n : 0;
  };
  int count = 0, at = -1;
  bool repeatWord = false;
  for (std::size_t i = 0; i < tokens.size() && count == 0; ++i) {
    std::string_view t = tokens[i];
    if (t == "repeat" || t == "repeats" || t == "rpt") {
      repeatWord = true;
      if (at < 0) at = static_cast<int>(i);
      continue;
    }
    int n = 0;
    if (t.size() >= 2 && (t.front() == 'x' || t.front() == '*'))
      n = number(t.substr(1));
    else if (t.size() >= 2 && t.back() == 'x')
      n = number(t.substr(0, t.size() - 1));
    else if (t.ends_with("times") && t.size() > 5)
      n = number(t.substr(0, t.size() - 5));
    else if ((t == "x" || t == "*") && i + 1 < tokens.size())
      n = number(tokens[++i]);
    else if (int plain = number(t);
             plain && (repeatWord || (i + 1 < tokens.size() &&
                                      (tokens[i + 1] == "times" || tokens[i + 1] == "x"))))
      n = plain;
    if (n) {
      count = n;
      if (at < 0) at = static_cast<int>(i);
    }
  }
  if (count == 0 && repeatWord && tokens.size() <= 2) count = 2;  // "(repeat)"
  if (leading) *leading = at == 0;
  return count;
}

// Cells of a bar that lost its closing bar line: cell characters only, no blanks.
bool LooksLikeCells(std::string_view text) {
  if (text.size() < 2) return false;
  return std::all_of(text.begin(), text.end(), [](char c) {
    return c == '-' || c == '.' || c == '_' || c == '#' || IsLetter(c) || IsHitChar(c);
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

// Cells written with a blank between each ("x - x - o -"): every other character blank, none of
// the others.
bool Spaced(std::string_view cells) {
  if (cells.size() < 3) return false;
  for (std::size_t i = 0; i < cells.size(); ++i)
    if (IsBlank(cells[i]) != (i % 2 == 1)) return false;
  return true;
}
std::string Unspaced(std::string_view cells) {
  std::string out;
  for (std::size_t i = 0; i < cells.size(); i += 2) out += cells[i];
  return out;
}

struct TabLine {
  int Number = 0;  // 1-based line number, for the warnings
  std::size_t Index = 0;
  int Row = kUnknownLine;
  uint8_t Variant = 0;
  LabelInfo Kind;
  bool Known = false;     // a label the program knows, with or without a row
  bool OwnLabel = false;  // written with one of the program's own labels
  std::string Key;        // the label normalised
  std::string_view Label;
  std::string_view Text;  // the whole line
  int FirstCellColumn = 0;
  std::vector<std::string> Bars;
  bool BarLess = false;  // cells without bar lines, cut into bars later
  bool SpacedCells = false;
  std::vector<uint64_t> Ghosts;  // per bar: the cells written in parentheses, "(x)"
  bool Frets = false;  // digits 1-9 in the system's cells: a guitar or bass tab
  int RepeatStart = -1;  // bar index where "|:" stands
  int RepeatEnd = -1;    // bar index that ends with ":|"
  int Repeat = 0;        // trailing "xN"

  bool IsCount() const { return Row == kCountLine; }
  bool IsInstrument() const { return Row > kCountLine; }
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
        line.Bars.emplace_back(piece);
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
    if (!piece.empty()) line.Bars.emplace_back(piece);
    if (endsRepeat && !line.Bars.empty()) line.RepeatEnd = static_cast<int>(line.Bars.size()) - 1;
    start = bar + 1;
  }
}

bool OwnLabel(std::string_view label) {
  label = Trim(label);
  return std::find(std::begin(kOwnLabels), std::end(kOwnLabels), label) != std::end(kOwnLabels);
}

// A ruler over a system: "|----Repeat x4----|", "   |--x2--|    |--x3--|": the column span and
// count of each marked stretch.
struct RulerMark {
  int From, To, Count;
};
std::vector<RulerMark> ReadRuler(std::string_view text) {
  std::vector<RulerMark> marks;
  std::vector<int> lines;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '|') {
      lines.push_back(static_cast<int>(i));
      continue;
    }
    if (lines.empty() && !IsBlank(c)) return {};
  }
  if (lines.size() < 2 || !Trim(text.substr(static_cast<std::size_t>(lines.back()) + 1)).empty())
    return {};
  for (std::size_t k = 0; k + 1 < lines.size(); ++k) {
    const auto from = static_cast<std::size_t>(lines[k] + 1);
    std::string_view inside = text.substr(from, static_cast<std::size_t>(lines[k + 1]) - from);
    std::string_view words = Trim(inside);
    while (!words.empty() && (words.front() == '-' || words.front() == '=')) words.remove_prefix(1);
    while (!words.empty() && (words.back() == '-' || words.back() == '=')) words.remove_suffix(1);
    if (Trim(words).empty()) {
      if (Trim(inside).empty() ||
          std::all_of(inside.begin(), inside.end(), [](char c) { return c == '-' || c == '=' || IsBlank(c); }))
        continue;
    }
    const int count = RepeatCount(words);
    if (count == 0) return {};
    marks.push_back({lines[k], lines[k + 1], count});
  }
  return marks;
}

// Text files written by today's editors are mostly UTF-8, the model's texts Windows-1252: a text
// that is valid UTF-8 with characters beyond ASCII is converted ('?' for what 1252 lacks; every
// Unicode space a blank, the no-break space its own 1252 byte, zero-width ones dropped). Any
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
    if (code == 0x200B || code == 0x200C || code == 0x200D || code == 0x2060 || code == 0xFEFF)
      continue;
    if (code == 0x1680 || (code >= 0x2000 && code <= 0x200A) || code == 0x202F ||
        code == 0x205F || code == 0x3000) {
      out += ' ';
      continue;
    }
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

// Marks that change how a hit sounds. A mark on a row that cannot take it (a flam on a cymbal) is
// read as a plain hit and counted, so one warning can name them.
enum class Mark : uint8_t { None, Ghost, Flam, Drag, Roll, Choke, Bell, Count };
constexpr std::string_view kMarkNames[][2] = {
    {"", ""},           {"ghost note", "ghost notes"}, {"flam", "flams"},
    {"drag", "drags"},  {"roll", "rolls"},             {"choke", "chokes"},
    {"bell hit", "bell hits"}};

NoteStyle StyleOfMark(Mark mark) {
  switch (mark) {
    case Mark::Flam: return NoteStyle::Flam;
    case Mark::Drag: return NoteStyle::Drag;
    case Mark::Roll: return NoteStyle::Roll;
    case Mark::Choke: return NoteStyle::Choke;
    case Mark::Bell: return NoteStyle::Bell;
    default: return NoteStyle::None;
  }
}

struct CellReading {
  TNoteCell Cell;
  Mark Marked = Mark::None;
};

// What one character of a tab line stands for on that line's row; nullopt for a character that is
// no drum note. Every letter and sign a tab writes for a hit is read here, and only here.
std::optional<CellReading> ReadCell(const TabLine& line, char c) {
  const bool upper = (c >= 'A' && c <= 'Z') || c == '@';
  const char lower = Lower(c);
  const auto accent = static_cast<uint8_t>(upper ? 1 : 0);
  const uint8_t plain = line.Variant;  // the line's own hit: crash, splash, china, closed or open
  auto hit = [&](uint8_t variant, Mark mark = Mark::None) {
    return CellReading{TNoteCell{variant, mark == Mark::Ghost ? uint8_t{0} : accent}, mark};
  };
  switch (lower) {
    case 'g': return hit(plain, Mark::Ghost);
    case 'f': return hit(plain, Mark::Flam);
    case 'd': return hit(plain, Mark::Drag);
    case 'r':
    case 'z': return hit(plain, Mark::Roll);
    case '#': return hit(plain, Mark::Choke);
    default: break;
  }
  // A zero among other digits is a guitar's open string, not a hit.
  const bool plainHit = lower == 'x' || lower == 'o' || (lower == '0' && !line.Frets) || lower == 'w' ||
                        lower == '@' || lower == '+' || lower == '*';
  switch (line.Row) {
    case RowCymbals:
      if (plainHit) return hit(plain);
      if (lower == 's') return hit(1);
      if (lower == 'c') return hit(2);
      if (lower == 'b') return hit(plain, Mark::Bell);
      return std::nullopt;
    case RowRide:
      if (plainHit) return hit(0);
      if (lower == 'b') return hit(0, Mark::Bell);
      return std::nullopt;
    case RowHiHat:
      if (lower == 'o' || (lower == '0' && !line.Frets)) return hit(1);
      if (plainHit) return hit(plain);
      return std::nullopt;
    case RowTom1:
    case RowTom2:
    case RowFloor:
      if (plainHit || lower == 't') return hit(0);
      return std::nullopt;
    case RowBass:
      if (plainHit || lower == 'b' || lower == 'k') return hit(0);
      return std::nullopt;
    case RowSnare:
      // The program's own snare letter x is the rim click; elsewhere an x on a snare is a hit
      // and c the cross-stick.
      if (lower == 'x') return hit(line.OwnLabel ? 1 : 0);
      if (lower == 'c') return hit(1);
      if (plainHit || lower == 's') return hit(0);
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

struct InfoLine {
  std::string_view Key;     // normalised
  std::string_view Prefix;  // as the export writes it
};
constexpr InfoLine kInfoLines[] = {
    {"artist", "Artist :   "},   {"song", "Song :     "},   {"album", "Album :    "},
    {"drummer", "Drummer :  "},  {"timing", "Timing  :  "}, {"tabbedby", "Tabbed by: "},
    {"e-mail", "E-mail:    "},   {"email", "E-mail:    "},
};

// "Tempo :    120", "BPM: 128", "128 BPM", "BPM = 128", "tempo=128", "Tempo 128", "q = 96 bpm":
// the beats per minute a line states; 0 when it states none.
int TempoOf(std::string_view text) {
  std::string lower;
  for (char c : text) lower += Lower(c);
  for (std::string_view word : {"tempo", "bpm"}) {
    for (std::size_t at = lower.find(word); at != std::string::npos;
         at = lower.find(word, at + 1)) {
      if (at > 0 && IsLetter(lower[at - 1])) continue;
      const std::size_t after = at + word.size();
      if (after < lower.size() && IsLetter(lower[after])) continue;
      // The number after the word: "BPM: 128", "tempo=128".
      std::size_t i = after;
      while (i < lower.size() && (IsBlank(lower[i]) || lower[i] == ':' || lower[i] == '=' ||
                                  lower[i] == '~' || lower[i] == '-'))
        ++i;
      int bpm = 0;
      if (i < lower.size() && IsDigit(lower[i]) &&
          std::from_chars(lower.data() + i, lower.data() + lower.size(), bpm).ec == std::errc() &&
          bpm > 0)
        return std::min(bpm, kMaxTempo);
      // The number before "bpm": "128 BPM", "128bpm".
      if (word == "bpm") {
        std::size_t end = at;
        while (end > 0 && IsBlank(lower[end - 1])) --end;
        std::size_t begin = end;
        while (begin > 0 && IsDigit(lower[begin - 1])) --begin;
        if (begin < end && end - begin <= 6 &&
            std::from_chars(lower.data() + begin, lower.data() + end, bpm).ec == std::errc() &&
            bpm > 0)
          return std::min(bpm, kMaxTempo);
      }
    }
  }
  return 0;
}

// How the cells of one written bar become positions: each cell a cell of the bar's grid, or two
// sixteenths (eighth notes under a "1 + 2 +" count).
struct Grid {
  int Factor = 1;
  BarGrid Feel = BarGrid::Sixteenths;
  // Cells of one bar of the song: a longer written bar is cut into whole beats of its grid.
  int PieceCells() const {
    if (Feel == BarGrid::Sixteenths) return kMaxPositions;
    return kMaxPositions / CellsPerQuarter(Feel) * CellsPerQuarter(Feel);
  }
};

// The grids a counting line may show, the plain one first: it wins where a count fits several.
constexpr BarGrid kCountGrids[] = {BarGrid::Sixteenths, BarGrid::EighthTriplets,
                                   BarGrid::SixteenthTriplets, BarGrid::ThirtySeconds,
                                   BarGrid::Mixed};

// The denominator a bar of `length` cells of `grid` is written in: the tab's own timing where
// that gives the same cells, else quarters, eighths or sixteenths, whichever makes it whole; 0
// when none does.
uint8_t GridDenominator(int length, BarGrid grid, int timingNumerator, uint8_t timingDenominator) {
  if (timingDenominator && GridLength(timingNumerator, timingDenominator, grid) == length)
    return timingDenominator;
  for (const uint8_t d : {uint8_t{4}, uint8_t{8}, uint8_t{16}})
    if (GridNumerator(length, d, grid)) return d;
  return 0;
}

struct CountGroup {
  int Beats = 0;         // the highest beat number
  int PerBeat = 0;       // tokens from one beat number to the next, most of them
  int Span = 0;          // columns from the group's first token to the next group's
};

class Reader {
 public:
  Reader(std::string_view text, int maxBars, const ProgramSettings& settings)
      : maxBars_(maxBars), settings_(settings) {
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
    for (std::string_view text : lines_) ReadLegend(text);
    std::vector<std::optional<TabLine>> parsed(lines_.size());
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      TabLine line;
      if (ParseTabLine(lines_[i], i, line)) {
        ReadMarkedLine(line);
        parsed[i] = std::move(line);
      }
    }
    PlanToms(parsed);

    std::vector<bool> inSystem(lines_.size(), false);
    std::vector<TabLine> system;
    std::set<std::string> keys;  // the system's labels, normalised; "" stands for its counting line
    std::size_t systemStart = 0, systemEnd = 0, instruments = 0;
    bool spaced = false;
    // Whether `line` names a row the system already has (the same label, or a second counting
    // line). Lines without a label never do.
    auto repeats = [&](const TabLine& line) {
      if (!line.IsCount() && line.Key.empty()) return false;
      return keys.count(line.IsCount() ? std::string() : line.Key) > 0;
    };
    auto flush = [&] {
      if (system.empty()) return;
      const int repeat = RepeatAfter(systemEnd, inSystem);
      AddSystem(system, systemStart, repeat);
      system.clear();
      keys.clear();
      instruments = 0;
      spaced = false;
    };
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      if (!parsed[i]) {
        // One blank line between the rows of a system, a common layout: the next row goes on
        // the same system when its label is new there and its bar lines stand where the
        // system's do.
        if (!system.empty() && Trim(lines_[i]).empty() && i + 1 < lines_.size() &&
            parsed[i + 1] && (spaced || instruments <= 1) && !repeats(*parsed[i + 1]) &&
            Aligned(system, *parsed[i + 1])) {
          spaced = true;
          continue;
        }
        flush();
        continue;
      }
      TabLine& line = *parsed[i];
      // A label met again in one run of lines starts the next system: a second system written
      // right under the first.
      if (repeats(line)) flush();
      if (system.empty()) systemStart = i;
      systemEnd = i;
      inSystem[i] = true;
      if (line.IsCount() || !line.Key.empty()) keys.insert(line.IsCount() ? std::string() : line.Key);
      if (!line.IsCount()) ++instruments;
      system.push_back(std::move(line));
    }
    flush();
    for (std::size_t i = 0; i < lines_.size(); ++i)
      if (!inSystem[i]) ReadInfoLine(lines_[i]);

    ImportResult result;
    if (bars_.empty() || (notes_ == 0 && !emptyOwnExport_)) {
      result.Error = kNoDrumTabMessage;
      return result;
    }
    WarnMarks();
    result.Warnings = std::move(warnings_);
    const int timingLength =
        timingDenominator_ ? LengthFromTiming(timingNumerator_, timingDenominator_) : 0;
    for (std::size_t b = 0; b < bars_.size(); ++b) {
      TBar& bar = bars_.Edit(b);
      bar.Grid = grids_[b];
      if (bar.Grid != BarGrid::Sixteenths) {
        if (const uint8_t d = GridDenominator(bar.Length, bar.Grid, timingNumerator_, timingDenominator_)) {
          bar.Denominator = d;
          continue;
        }
        bar.Grid = BarGrid::Sixteenths;  // no whole timing in that grid: read as sixteenths
      }
      bar.Denominator = bar.Length == timingLength ? timingDenominator_ : DenominatorForLength(bar.Length);
    }
    auto doc = NewImportedDocument(std::move(bars_));
    settings_.StartSong(*doc);  // what the text names overrides it
    doc->SongParts = std::move(parts_);
    for (std::size_t k = 0; k < std::size(info_); ++k)
      if (info_[k]) *InfoField(*doc, k) = InfoText(*info_[k]);
    if (tempo_ > 0) doc->Tempo = static_cast<uint16_t>(tempo_);
    doc->Swing = swing_;
    ShowRowsWithNotes(*doc);
    result.Document = std::move(doc);
    return result;
  }

 private:
  // A sticking line ("St|R L R L|"; "st" is also a small tom, so only cells of R, L and B make it
  // one), and notes in parentheses, the ghost notes: the parentheses take no cell of their own.
  static void ReadMarkedLine(TabLine& line) {
    if (line.BarLess || line.IsCount()) return;
    if ((line.Key == "st" || line.Key == "stick" || line.Key == "sticking") && !line.Bars.empty()) {
      bool letters = false, others = false;
      for (const std::string& cells : line.Bars)
        for (char c : cells) {
          if (c == 'R' || c == 'L' || c == 'B') letters = true;
          else if (!IsRest(c)) others = true;
        }
      if (letters && !others) {
        line.Row = kStickingLine;
        line.Kind = LabelInfo{kStickingLine, 0, Tom::None, 0, true};
        line.Known = true;
        return;
      }
    }
    if (line.Row == kStickingLine) return;
    line.Ghosts.assign(line.Bars.size(), 0);
    for (std::size_t b = 0; b < line.Bars.size(); ++b) {
      const std::string& cells = line.Bars[b];
      if (cells.find('(') == std::string::npos) continue;
      std::string kept;
      for (std::size_t i = 0; i < cells.size(); ++i) {
        if (cells[i] == '(' && i + 2 < cells.size() && cells[i + 2] == ')' && !IsRest(cells[i + 1])) {
          if (kept.size() < kMaxPositions) line.Ghosts[b] |= uint64_t{1} << kept.size();
          kept += cells[i + 1];
          i += 2;
        } else {
          kept += cells[i];
        }
      }
      line.Bars[b] = std::move(kept);
    }
  }

  static std::string* InfoField(Osnova& doc, std::size_t k) {
    std::string* fields[] = {&doc.Artist,  &doc.Song,      &doc.Album,
                             &doc.Drummer, &doc.TabAuthor, &doc.Email};
    return fields[k];
  }

  void Warn(std::string text) { warnings_.push_back(std::move(text)); }
  static std::string LineText(int number) { return "Line " + std::to_string(number) + ": "; }

  std::optional<LabelInfo> FindLabel(std::string_view text) const {
    const std::string name = Normalized(text);
    if (auto legend = legend_.find(name); legend != legend_.end()) return legend->second;
    return TableLabel(name);
  }

  // "G = China", "s = hi-hat stomp, HH = hi-hat": a legend naming what a label stands for.
  void ReadLegend(std::string_view text) {
    if (text.find('|') != std::string_view::npos) return;
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find_first_of(",;\t", start);
      if (end == std::string_view::npos) end = text.size();
      std::string_view entry = text.substr(start, end - start);
      start = end + 1;
      const std::size_t equals = entry.find('=');
      if (equals == std::string_view::npos) continue;
      // "Legend: G = China": the label is the last word before the sign.
      std::string_view left = TrimRight(entry.substr(0, equals));
      const std::size_t word = left.find_last_of(" \t:\xA0");
      if (Normalized(left).size() > 6 && word != std::string_view::npos) left = left.substr(word + 1);
      const std::string key = Normalized(left);
      std::string_view value = Trim(entry.substr(equals + 1));
      if (key.empty() || key.size() > 6 || value.empty() || value.size() > 30 ||
          !IsLetter(value.front()) || legend_.count(key))
        continue;
      if (auto label = DescribedInstrument(value)) legend_[key] = *label;
    }
  }

  // Recognises a tab line: a label, then bar lines, or a label and cells without bar lines, or a
  // counting line. Returns false for every other line.
  bool ParseTabLine(std::string_view text, std::size_t index, TabLine& line) const {
    line = TabLine{};
    line.Number = static_cast<int>(index + 1);
    line.Index = index;
    line.Text = text;
    const std::size_t firstBar = text.find('|');
    if (firstBar == std::string_view::npos) {
      if (IsCountText(text)) {
        line.Row = kCountLine;
        return true;
      }
      return ParseBarLess(text, line);
    }
    if (!ReadRuler(text).empty()) return false;
    std::string_view prefix = text.substr(0, firstBar);
    std::string_view rest = text.substr(firstBar + 1);
    line.FirstCellColumn = static_cast<int>(firstBar + 1);

    auto take = [&](const LabelInfo& label, std::string_view written) {
      line.Kind = label;
      line.Known = label.Named || label.Row == kCountLine;
      line.Row = label.Row;
      line.Variant = label.Variant;
      line.Label = Trim(written);
      line.Key = Normalized(written);
      line.OwnLabel = OwnLabel(written);
    };
    // "HH|x-x-|", " Hi-Hat: |x-x-|"
    if (auto label = FindLabel(prefix)) {
      take(*label, prefix);
      ReadBars(rest, line);
      return line.IsCount() || !line.Bars.empty();
    }
    // "hh  x-x-x-x-|x-x-|": the first bar has no opening line; blanks or a colon end the label.
    std::string_view trimmed = TrimRight(prefix);
    std::size_t split = trimmed.find_last_of(" \t:\xA0");
    if (split != std::string_view::npos && split + 1 < trimmed.size()) {
      std::string_view written = trimmed.substr(0, split + 1);
      std::string_view cells = trimmed.substr(split + 1);
      auto label = FindLabel(written);
      // At least one rest among the cells, so that "Hi-hat foot" is not the hi-hat with cells "foot".
      if (label && label->Row != kCountLine && LooksLikeCells(cells) &&
          cells.find_first_of("-._") != std::string_view::npos) {
        take(*label, written);
        line.FirstCellColumn = static_cast<int>(cells.data() - text.data());
        line.Bars.emplace_back(cells);
        ReadBars(rest, line);
        return true;
      }
    }
    if (Trim(prefix).empty() && IsCountText(rest)) {
      line.Row = kCountLine;
      return true;
    }
    // An instrument the program does not know ("Agogo|--x-|", "5T|o---|"), or bars without a
    // label.
    std::string_view written = Trim(prefix);
    const bool labelLike = written.empty() || (written.size() <= 20 &&
                                               (IsLetter(written.front()) ||
                                                (IsDigit(written.front()) && written.size() > 1 &&
                                                 std::any_of(written.begin(), written.end(), IsLetter))));
    if (!labelLike) return false;
    ReadBars(rest, line);
    if (std::none_of(line.Bars.begin(), line.Bars.end(),
                     [](const std::string& bar) { return LooksLikeBar(bar); }))
      return false;
    line.Row = kUnknownLine;
    line.Label = written;
    line.Key = Normalized(written);
    return true;
  }

  // "HH  x-x-x-x-x-x-x-x-", "SD: - - - - o - - -": a known label, then drum cells and nothing
  // else. Needs a rest among the cells or eight of them, so that prose is not taken for a tab.
  bool ParseBarLess(std::string_view text, TabLine& line) const {
    // The export's comment and part lines begin with ten blanks; a row's label starts before.
    if (TrimLeft(text).size() + 10 <= text.size()) return false;
    for (std::size_t k = 0; k < text.size() && k < 24; ++k) {
      if (!IsBlank(text[k]) && text[k] != ':') continue;
      std::string_view written = text.substr(0, k);
      if (Trim(written).empty()) continue;
      std::string_view cells = Trim(text.substr(k + 1));
      auto label = FindLabel(written);
      if (!label || label->Row == kCountLine) continue;
      int count = 0, hits = 0, rests = 0;
      bool ok = !cells.empty();
      for (char c : cells) {
        if (IsBlank(c)) continue;
        ++count;
        if (c == '-' || c == '.' || c == '_')
          ++rests;
        else if (IsHitChar(c))
          ++hits;
        else
          ok = false;
      }
      if (!ok || count < 4 || hits == 0 || (rests == 0 && count < 8)) return false;
      line.Kind = *label;
      line.Known = label->Named;
      line.Row = label->Row;
      line.Variant = label->Variant;
      line.Label = Trim(written);
      line.Key = Normalized(written);
      line.BarLess = true;
      line.FirstCellColumn = static_cast<int>(cells.data() - text.data());
      if (Spaced(cells)) {
        line.SpacedCells = true;
        line.Bars.push_back(Unspaced(cells));
      } else {
        // Blanks between groups of cells ("x-x- x-x-") are not cells.
        std::string compact;
        for (char c : cells)
          if (!IsBlank(c)) compact += c;
        line.Bars.push_back(std::move(compact));
      }
      return true;
    }
    return false;
  }

  // A tab with more toms than the program's three tom rows: high toms go to Tom1, middle ones to
  // Tom2, floor toms to Floor. Numbered toms are placed by their numbers.
  void PlanToms(std::vector<std::optional<TabLine>>& parsed) {
    std::map<std::string, int> numbered;  // key -> number
    bool floor = false;
    for (const auto& line : parsed)
      if (line && line->Kind.TomKind == Tom::Numbered)
        numbered[line->Key] = line->Kind.TomNumber;
      else if (line && line->Kind.TomKind == Tom::Floor)
        floor = true;
    int lowest = 10, highest = 0;
    for (const auto& [key, number] : numbered) {
      lowest = std::min(lowest, number);
      highest = std::max(highest, number);
    }
    std::map<std::string, int> rowOf;
    for (const auto& [key, number] : numbered) {
      int row = RowTom2;
      if (highest <= 3)  // up to three: by number, the third the floor tom unless one is named
        row = number == 1 ? RowTom1 : number == 2 || floor ? RowTom2 : RowFloor;
      else if (number == lowest)
        row = RowTom1;
      else if (number == highest && !floor)
        row = RowFloor;
      rowOf[key] = row;
    }
    // Which labels share a tom row, for the one warning.
    std::map<int, std::vector<std::string_view>> labelsOf;
    std::map<std::string, bool> seen;
    for (auto& line : parsed) {
      if (!line || line->Kind.TomKind == Tom::None) continue;
      if (line->Kind.TomKind == Tom::Numbered) line->Row = rowOf[line->Key];
      if (!seen[line->Key]) {
        seen[line->Key] = true;
        labelsOf[line->Row].push_back(line->Label);
      }
    }
    std::string shared;
    int toms = 0;
    for (const auto& [row, labels] : labelsOf) toms += static_cast<int>(labels.size());
    for (const auto& [row, labels] : labelsOf) {
      if (labels.size() < 2) continue;
      if (!shared.empty()) shared += "; ";
      for (std::size_t k = 0; k < labels.size(); ++k) {
        if (k > 0) shared += k + 1 == labels.size() ? " and " : ", ";
        shared.append("\"").append(labels[k]).append("\"");
      }
      shared.append(" go to ").append(kRowNames[row]);
    }
    if (!shared.empty())
      Warn("The tab has " + std::to_string(toms) +
           " toms and the program three tom rows: " + shared + ".");
  }

  // Bar lines at the same columns as the system's first row that has them.
  bool Aligned(const std::vector<TabLine>& system, const TabLine& line) const {
    auto columns = [this](const TabLine& l) {
      std::vector<std::size_t> at;
      std::string_view text = lines_[l.Index];
      for (std::size_t c = 0; c < text.size(); ++c)
        if (text[c] == '|') at.push_back(c);
      return at;
    };
    if (line.IsCount()) return false;
    const auto mine = columns(line);
    for (const TabLine& other : system) {
      if (other.IsCount()) continue;
      return columns(other) == mine;
    }
    return true;  // a counting line alone above
  }

  // A repeat count written on the line right after a system ("x4 (intro)", "(repeat 3 times)"),
  // or after one blank line when it begins with the count.
  int RepeatAfter(std::size_t last, std::vector<bool>& inSystem) const {
    for (std::size_t i = last + 1; i < lines_.size() && i <= last + 2; ++i) {
      if (Trim(lines_[i]).empty()) continue;
      if (lines_[i].find('|') != std::string_view::npos) return 0;
      bool leading = false;
      const int count = RepeatCount(lines_[i], &leading);
      if (count && (i == last + 1 || leading)) {
        inSystem[i] = true;  // not song information
        return count;
      }
      return 0;
    }
    return 0;
  }

  // "Artist :   Band", "Tempo: 96 bpm", "BPM = 128", "Timing  :  3/4": the first of each kind counts.
  void ReadInfoLine(std::string_view text) {
    const std::size_t colon = text.find(':');
    const std::string key =
        colon == std::string_view::npos || colon > 12 ? std::string() : Normalized(text.substr(0, colon));
    if (key == "swing") {
      SongSwing swing;
      if (!swingRead_ && ParseSwing(std::string(Trim(text.substr(colon + 1))), swing)) {
        swing_ = swing;
        swingRead_ = true;
      }
      return;
    }
    // A tempo stated anywhere but in a song title or another piece of song information.
    if (std::none_of(std::begin(kInfoLines), std::end(kInfoLines),
                     [&](const InfoLine& info) { return info.Key == key; })) {
      if (tempo_ == 0) tempo_ = TempoOf(text);
      return;
    }
    for (const InfoLine& info : kInfoLines) {
      if (key != info.Key) continue;
      // The export's own prefix keeps the value byte for byte; otherwise blanks are trimmed.
      std::string_view value = text.substr(0, info.Prefix.size()) == info.Prefix
                                   ? text.substr(info.Prefix.size())
                                   : Trim(text.substr(colon + 1));
      if (key == "timing") {
        int n = 0, d = 0;
        value = TrimLeft(value);
        auto [slash, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
        if (ec == std::errc() && slash < value.data() + value.size() && *slash == '/' &&
            std::from_chars(slash + 1, value.data() + value.size(), d).ec == std::errc() &&
            timingDenominator_ == 0 && n >= 1 && DenominatorIndex(d) != 255 &&
            LengthFromTiming(n, d) <= kMaxPositions) {
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

  // The counting line's groups, one per bar: split at its bar lines, or else where the count
  // starts again at 1.
  static std::vector<CountGroup> CountGroups(const TabLine& count) {
    std::vector<CountToken> tokens;
    std::string_view text = count.Text;
    std::size_t from = 0;
    if (!count.Label.empty()) from = static_cast<std::size_t>(count.FirstCellColumn);  // "Count:"
    CountTokens(text, from, &tokens);
    const bool byBarLines = text.find('|', from) != std::string_view::npos;
    std::vector<std::vector<CountToken>> groups;
    int lastBarLine = -1;
    for (const CountToken& token : tokens) {
      bool next = groups.empty();
      if (byBarLines) {
        const auto barLine = text.rfind('|', static_cast<std::size_t>(token.Column));
        const int at = barLine == std::string_view::npos ? -1 : static_cast<int>(barLine);
        next = next || at != lastBarLine;
        lastBarLine = at;
      } else {
        next = next || token.Beat == 1;
      }
      if (next) groups.emplace_back();
      groups.back().push_back(token);
    }
    std::vector<CountGroup> out;
    for (std::size_t g = 0; g < groups.size(); ++g) {
      const auto& group = groups[g];
      CountGroup result;
      int run = 0;
      for (const CountToken& token : group) {
        if (token.Beat) {
          result.Beats = std::max(result.Beats, token.Beat);
          run = 0;
        }
        result.PerBeat = std::max(result.PerBeat, ++run);
      }
      if (g + 1 < groups.size())
        result.Span = groups[g + 1].front().Column - group.front().Column;
      else if (group.size() >= 2)
        result.Span = 2 * group.back().Column - group[group.size() - 2].Column -
                      group.front().Column;
      else
        result.Span = 1;
      out.push_back(result);
    }
    return out;
  }

  void AddSystem(std::vector<TabLine>& system, std::size_t systemStart, int repeatAfter) {
    std::vector<TabLine*> rows;
    const TabLine* count = nullptr;
    for (TabLine& line : system) {
      if (line.Row == kUnknownLine) {
        if (line.Label.empty())
          Warn(LineText(line.Number) + "bar lines without an instrument name; the line is left out.");
        else if (line.Known)
          Warn(LineText(line.Number) + "the program has no row for \"" + std::string(line.Label) +
               "\"; the line is left out.");
        else
          Warn(LineText(line.Number) + "unknown instrument \"" + std::string(line.Label) +
               "\"; the line is left out.");
      } else if (line.IsCount()) {
        if (!count) count = &line;
      } else {
        rows.push_back(&line);
      }
    }
    const bool own = std::all_of(rows.begin(), rows.end(), [](const TabLine* r) { return r->OwnLabel; }) &&
                     (count == nullptr || Trim(count->Text).starts_with("Count:"));
    // A stretch of the export where no row holds a note prints only its counting line, all
    // blanks: its bars are empty bars of those lengths.
    TabLine empty;
    if (rows.empty() && count && own) {
      empty = *count;
      if (!empty.Bars.empty() &&
          std::all_of(empty.Bars.begin(), empty.Bars.end(),
                      [](const std::string& cells) { return Trim(cells).empty(); })) {
        empty.Row = RowBass;  // no cells to read; only the lengths count
        empty.OwnLabel = true;
        rows.push_back(&empty);
        emptyOwnExport_ = true;
      }
    }
    if (rows.empty()) return;
    const int firstLine = system.front().Number;

    const std::vector<CountGroup> groups = count && !own ? CountGroups(*count) : std::vector<CountGroup>{};
    auto groupOf = [&](std::size_t b) -> const CountGroup* {
      if (groups.empty()) return nullptr;
      return &groups[std::min(b, groups.size() - 1)];
    };

    // Rows without bar lines: bars as long as the counting line's, or of 16 cells.
    if (std::any_of(rows.begin(), rows.end(), [](const TabLine* r) { return r->BarLess; })) {
      const CountGroup* group = groupOf(0);
      for (TabLine* row : rows) {
        if (!row->BarLess) continue;
        int length = 16;
        if (group && group->Span > 0) length = std::max(1, group->Span / (row->SpacedCells ? 2 : 1));
        const std::string cells = row->Bars.front();
        row->Bars.clear();
        for (std::size_t from = 0; from < cells.size(); from += static_cast<std::size_t>(length))
          row->Bars.push_back(cells.substr(from, static_cast<std::size_t>(length)));
      }
      if (!group)
        Warn(LineText(firstLine) + "the rows have no bar lines; they are read in bars of 16 cells.");
    }

    std::size_t barCount = 0;
    for (const TabLine* row : rows) barCount = std::max(barCount, row->Bars.size());
    // Cells written with a blank between each, in every row of a bar: the blanks are no cells.
    for (std::size_t b = 0; b < barCount && !own; ++b) {
      bool all = true;
      for (const TabLine* row : rows)
        if (b < row->Bars.size()) {
          std::string_view cells = row->Bars[b];
          if (!cells.empty() && IsBlank(cells.front())) cells.remove_prefix(1);
          all = all && Spaced(TrimRight(cells));
        }
      if (!all) continue;
      for (TabLine* row : rows)
        if (b < row->Bars.size()) {
          std::string_view cells = row->Bars[b];
          if (!cells.empty() && IsBlank(cells.front())) cells.remove_prefix(1);
          row->Bars[b] = Unspaced(TrimRight(cells));
        }
    }

    // Bar i is as long as its longest row.
    std::vector<int> lengths(barCount, 0);
    bool disagree = false;
    for (const TabLine* row : rows) {
      if (row->Bars.size() != barCount && !row->BarLess) disagree = true;
      for (std::size_t b = 0; b < row->Bars.size(); ++b) {
        const int length = static_cast<int>(row->Bars[b].size());
        if (lengths[b] != 0 && lengths[b] != length && !(row->BarLess && b + 1 == row->Bars.size()))
          disagree = true;
        lengths[b] = std::max(lengths[b], length);
      }
    }
    if (disagree)
      Warn(LineText(firstLine) +
           "the rows of this tab disagree on the length of a bar; the longest is used.");

    // The grid of each bar: a 17th cell that is a rest in every row pads a 16-cell bar; the
    // counting line tells eighths, triplets and 32nds from sixteenths.
    std::vector<Grid> grids(barCount);
    std::vector<int> skip(barCount, 0);
    if (own && count) {
      // The export's own counting line: the first grid whose labels stand where this one's do,
      // over every cell with a note that has one.
      std::vector<std::string_view> counted;
      std::string_view text = count->Text;
      for (std::size_t at = static_cast<std::size_t>(count->FirstCellColumn); at < text.size();) {
        const std::size_t end = text.find('|', at);
        if (end == std::string_view::npos) break;
        counted.push_back(text.substr(at, end - at));
        at = end + 1;
      }
      for (std::size_t b = 0; b < barCount && b < counted.size(); ++b) {
        uint64_t noted = 0;
        for (const TabLine* row : rows)
          if (row->Row >= RowCymbals && row->Row <= RowBass && b < row->Bars.size())
            for (std::size_t p = 0; p < row->Bars[b].size() && p < 64; ++p)
              if (!IsRest(row->Bars[b][p])) noted |= uint64_t{1} << p;
        for (const BarGrid grid : kCountGrids)
          if ((grid == BarGrid::Sixteenths || GridDenominator(lengths[b], grid, 0, 0)) &&
              CountCellsFit(counted[b], grid, lengths[b], noted)) {
            grids[b].Feel = grid;
            break;
          }
      }
    }
    for (std::size_t b = 0; b < barCount && !own; ++b) {
      const CountGroup* group = groupOf(b);
      const int padded = group && group->Beats > 0 ? group->Beats * 4 + 1 : 17;
      if (lengths[b] == padded && lengths[b] > 4 &&
          std::all_of(rows.begin(), rows.end(), [&](const TabLine* row) {
            return b >= row->Bars.size() || row->Bars[b].empty() ||
                   (IsRest(row->Bars[b].front()));
          })) {
        skip[b] = 1;
        --lengths[b];
      }
      if (!group || group->Beats == 0 || lengths[b] % group->Beats != 0) continue;
      const int perBeat = lengths[b] / group->Beats;
      // Numbers alone past 4 ("1 2 3 4 5 6") count eighths of a compound bar, not beats.
      const bool beats = group->PerBeat == 2 || (group->PerBeat == 1 && group->Beats <= 4);
      if (perBeat == 2 && beats && lengths[b] * 2 <= kMaxPositions) {
        grids[b].Factor = 2;
      } else if (perBeat == 3 && group->PerBeat == 3) {
        grids[b].Feel = BarGrid::EighthTriplets;  // "1 + a 2 + a"
      } else if (perBeat == 6 && (group->PerBeat == 3 || group->PerBeat == 6)) {
        grids[b].Feel = BarGrid::SixteenthTriplets;  // "1 t l + t l", or "1 + a" spaced out
      } else if (perBeat == 8 && (group->PerBeat == 4 || group->PerBeat == 8)) {
        grids[b].Feel = BarGrid::ThirtySeconds;  // "1 e & a" over eight cells a beat
      } else if (perBeat == 12 && (group->PerBeat == 6 || group->PerBeat == 12)) {
        grids[b].Feel = BarGrid::Mixed;  // "1 e t + l a" over twelve cells a beat
      }
    }
    for (const int length : lengths)
      if (length > kMaxPositions) {
        Warn(LineText(firstLine) + "a bar of " + std::to_string(length) +
             " positions is longer than 64; it is split into bars of 64 positions.");
        break;
      }

    // The bars as written, each cut into pieces of at most 64 positions.
    std::vector<std::vector<std::unique_ptr<TBar>>> written(barCount);
    for (std::size_t b = 0; b < barCount; ++b) {
      const int positions = lengths[b] * grids[b].Factor;
      const int most = grids[b].PieceCells();
      for (int from = 0; from < positions; from += most) {
        auto bar = std::make_unique<TBar>(4, 4);
        bar->Length = static_cast<uint8_t>(std::min(most, positions - from));
        written[b].push_back(std::move(bar));
      }
    }
    // Fret numbers in any line of the system make it a guitar or bass tab, zeros included.
    const bool frets = std::any_of(system.begin(), system.end(), [](const TabLine& line) {
      return !line.IsCount() &&
             std::any_of(line.Bars.begin(), line.Bars.end(), [](const std::string& cells) {
               return cells.find_first_of("123456789") != std::string::npos;
             });
    });
    for (TabLine* row : rows) row->Frets = frets;
    for (const TabLine* row : rows) {
      bool warned = false;
      int lost = 0;
      const auto r = static_cast<std::size_t>(row->Row);
      for (std::size_t b = 0; b < row->Bars.size() && b < barCount; ++b) {
        std::string_view cells = row->Bars[b];
        cells.remove_prefix(std::min<std::size_t>(cells.size(), static_cast<std::size_t>(skip[b])));
        const uint64_t ghosts = b < row->Ghosts.size() ? row->Ghosts[b] >> std::min(skip[b], 63) : 0;
        for (std::size_t p = 0; p < cells.size(); ++p) {
          const char c = cells[p];
          if (IsRest(c)) continue;
          const int most = grids[b].PieceCells();
          const int at = static_cast<int>(p) * grids[b].Factor;
          TBar& piece = *written[b][static_cast<std::size_t>(at / most)];
          if (row->Row == kStickingLine) {
            piece.Sticking[static_cast<std::size_t>(at % most)] = c;
            continue;
          }
          if (row->Row == kFootLine) {
            piece.FootNotes |= uint64_t{1} << (at % most);
            ++notes_;
            continue;
          }
          if (auto reading = ReadCell(*row, c)) {
            TNoteRow& notes = piece.Rows[r];
            if (notes.Has(at % most)) {
              ++lost;
              continue;
            }
            notes.Set(at % most, reading->Cell.Variant, reading->Cell.Accent);
            TNoteCell& cell = notes.Cells[static_cast<std::size_t>(at % most)];
            const bool ghost = reading->Marked == Mark::Ghost || (p < 64 && ((ghosts >> p) & 1u));
            if (ghost) {
              cell.Ghost = 1;
              cell.Accent = 0;
            }
            const NoteStyle style = StyleOfMark(reading->Marked);
            if (style != NoteStyle::None && StyleFitsRow(row->Row, style))
              cell.Style = static_cast<uint8_t>(style);
            else if (reading->Marked != Mark::Ghost)
              ++marks_[static_cast<std::size_t>(reading->Marked)];  // read as a plain hit
            ++notes_;
          } else if (!warned) {
            Warn(LineText(row->Number) + "\"" + std::string(1, c) +
                 "\" is not a drum note; it is read as a rest.");
            warned = true;
          }
        }
      }
      if (lost > 0)
        Warn(LineText(row->Number) + "\"" + std::string(row->Label) + "\" writes the " +
             std::string(kRowNames[r]) + " row that a line above also writes; " +
             std::to_string(lost) + (lost == 1 ? " note" : " notes") +
             " where both have one are left out.");
    }
    // The program's own export writes no repeats: text around its systems is comments.
    std::vector<std::string_view> names(barCount);
    const auto rulers = own ? std::vector<RulerMark>{} : RulerAbove(systemStart);
    if (own) repeatAfter = 0;
    if (rulers.empty()) names = ReadTextAbove(systemStart, rows, written);

    // Repeats: "|:" ... ":|" repeat the marked bars, "xN" after the last bar line or on the line
    // below the system (or the marked bars) N times in all, a ruler above the bars under it.
    int repeatStart = -1, repeatEnd = -1, times = repeatAfter;
    for (const TabLine* row : rows) {
      if (repeatStart < 0 && row->RepeatStart >= 0) repeatStart = row->RepeatStart;
      if (repeatEnd < 0 && row->RepeatEnd >= 0) repeatEnd = row->RepeatEnd;
      if (times == 0) times = row->Repeat;
    }
    const int last = static_cast<int>(barCount) - 1;
    struct Range {
      int First, Last, Times;
    };
    std::vector<Range> ranges;
    int whole = 1;
    if (repeatEnd >= 0 || repeatStart >= 0) {
      if (repeatEnd < 0 || repeatEnd > last) repeatEnd = last;
      if (repeatStart < 0 || repeatStart > repeatEnd) repeatStart = 0;
      ranges.push_back({repeatStart, repeatEnd, times ? times : 2});
    } else if (times) {
      whole = times;
    }
    if (!rulers.empty()) {
      // Where each bar's cells stand on the lines, to find the bars under each marked stretch.
      const TabLine& first = *rows.front();
      std::vector<std::pair<int, int>> columns;
      std::string_view text = first.Text;
      for (std::size_t c = static_cast<std::size_t>(first.FirstCellColumn), b = 0;
           b < barCount && c <= text.size(); ++b) {
        const std::size_t end = std::min(text.find('|', c), text.size());
        columns.push_back({static_cast<int>(c), static_cast<int>(end)});
        c = end + 1;
        while (c < text.size() && (text[c] == '|' || text[c] == ':')) ++c;
      }
      for (const RulerMark& mark : rulers) {
        int from = -1, to = -1;
        for (std::size_t b = 0; b < columns.size(); ++b)
          if (columns[b].first >= mark.From && columns[b].second <= mark.To + 1) {
            if (from < 0) from = static_cast<int>(b);
            to = static_cast<int>(b);
          }
        if (from < 0) continue;
        if (std::any_of(ranges.begin(), ranges.end(),
                        [&](const Range& r) { return from <= r.Last && to >= r.First; }))
          continue;
        ranges.push_back({from, to, mark.Count});
      }
    }
    std::sort(ranges.begin(), ranges.end(), [](const Range& a, const Range& b) { return a.First < b.First; });
    // Every bar makes at least one bar of the song, so the order never needs more than the
    // song can hold.
    std::vector<int> once, order;
    const auto full = [&](const std::vector<int>& v) { return v.size() > static_cast<std::size_t>(maxBars_); };
    for (int b = 0, k = 0; b <= last && !full(once);) {
      if (k < static_cast<int>(ranges.size()) && ranges[static_cast<std::size_t>(k)].First == b) {
        const Range& range = ranges[static_cast<std::size_t>(k++)];
        for (int t = 0; t < range.Times && !full(once); ++t)
          for (int i = range.First; i <= range.Last && !full(once); ++i) once.push_back(i);
        b = range.Last + 1;
      } else {
        once.push_back(b++);
      }
    }
    for (int t = 0; t < whole && !full(order); ++t)
      for (std::size_t i = 0; i < once.size() && !full(order); ++i) order.push_back(once[i]);

    // The first time a bar is played it takes the written bar with its comment and part; later
    // times copy its notes.
    std::vector<std::size_t> placed(barCount, 0);
    for (int b : order) {
      const auto k = static_cast<std::size_t>(b);
      if (!written[k].empty()) {
        if (!names[k].empty() && bars_.size() < static_cast<std::size_t>(maxBars_)) {
          TSongPart part;
          part.StartBar = static_cast<int32_t>(bars_.size());
          part.SetName(names[k]);
          parts_.push_back(std::move(part));
        }
        placed[k] = bars_.size() + 1;
        Append(std::move(written[k]), grids[k].Feel);
        written[k].clear();
        continue;
      }
      std::vector<std::unique_ptr<TBar>> copies;
      const int positions = lengths[k] * grids[k].Factor;
      const int most = grids[k].PieceCells();
      const std::size_t pieces = static_cast<std::size_t>((positions + most - 1) / most);
      for (std::size_t piece = 0; piece < pieces && placed[k] - 1 + piece < bars_.size(); ++piece) {
        const TBar& from = *bars_[placed[k] - 1 + piece];
        auto bar = std::make_unique<TBar>(4, 4);
        bar->Length = from.Length;
        bar->Rows = from.Rows;
        bar->FootNotes = from.FootNotes;
        bar->Sticking = from.Sticking;
        copies.push_back(std::move(bar));
      }
      Append(std::move(copies), grids[k].Feel);
      if (tooLongWarned_) return;
    }
  }

  // Appends the pieces of one written bar.
  void Append(std::vector<std::unique_ptr<TBar>>&& pieces, BarGrid grid) {
    for (auto& bar : pieces) {
      if (bars_.size() >= static_cast<std::size_t>(maxBars_)) {
        if (!tooLongWarned_)
          Warn("The tab has more than " + std::to_string(maxBars_) + " bars; the bars after " +
               std::to_string(maxBars_) + " are left out.");
        tooLongWarned_ = true;
        return;
      }
      bars_.push_back(std::move(bar));
      grids_.push_back(grid);
    }
  }

  // A ruler line right above the system (above its counting line too).
  std::vector<RulerMark> RulerAbove(std::size_t systemStart) const {
    if (systemStart == 0) return {};
    return ReadRuler(lines_[systemStart - 1]);
  }

  // Names every mark read as a plain hit, in one warning.
  void WarnMarks() {
    std::vector<std::string> named;
    for (std::size_t m = 1; m < static_cast<std::size_t>(Mark::Count); ++m)
      if (marks_[m] > 0)
        named.push_back(std::to_string(marks_[m]) + " " +
                        std::string(kMarkNames[m][marks_[m] == 1 ? 0 : 1]));
    if (named.empty()) return;
    std::string list;
    for (std::size_t k = 0; k < named.size(); ++k)
      list += (k == 0 ? "" : k + 1 == named.size() ? " and " : ", ") + named[k];
    int total = 0;
    for (std::size_t m = 1; m < static_cast<std::size_t>(Mark::Count); ++m) total += marks_[m];
    if (total == 1)
      Warn("The tab's " + list + " is on a row that takes no such mark; it is read as a plain hit.");
    else
      Warn("The tab's " + list + " are on rows that take no such mark; they are read as plain hits.");
  }

  // The export writes a comment line right above each system, and a part line above that when
  // the song has parts: text standing over each bar's cells, cut to the bar.
  // Sets the comments of the written bars and returns the part name over each.
  std::vector<std::string_view> ReadTextAbove(
      std::size_t systemStart, const std::vector<TabLine*>& rows,
      std::vector<std::vector<std::unique_ptr<TBar>>>& written) {
    std::vector<std::string_view> names(written.size());
    const int column = rows.front()->FirstCellColumn;
    for (const TabLine* row : rows)
      if (row->FirstCellColumn != column || row->BarLess) return names;
    auto textLine = [&](std::size_t back) -> std::optional<std::string_view> {
      if (systemStart < back) return std::nullopt;
      std::string_view text = lines_[systemStart - back];
      if (text.size() <= static_cast<std::size_t>(column)) return std::nullopt;
      for (int c = 0; c < column; ++c)
        if (text[static_cast<std::size_t>(c)] != ' ') return std::nullopt;
      return text;
    };
    // Where each bar's cells begin, on the first row's line whose cells are one character each.
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    const auto even = std::find_if(rows.begin(), rows.end(), [](const TabLine* r) {
      return r->Text.find('(') == std::string_view::npos;
    });
    if (even == rows.end()) return names;
    std::string_view text = (*even)->Text;
    for (std::size_t at = static_cast<std::size_t>(column), b = 0; b < written.size() && at <= text.size(); ++b) {
      const std::size_t end = std::min(text.find('|', at), text.size());
      spans.push_back({at, end - at});
      at = end + 1;
    }
    auto textOver = [&](std::string_view line, std::size_t b) {
      if (b >= spans.size() || spans[b].first >= line.size()) return std::string_view{};
      const auto length = std::min<std::size_t>(spans[b].second, kMaxPositions);
      return TrimRight(line.substr(spans[b].first, length));
    };
    auto comments = textLine(1);
    if (!comments) return names;
    for (std::size_t b = 0; b < written.size(); ++b)
      if (!written[b].empty()) {
        std::string_view comment = textOver(*comments, b);
        comment = comment.substr(0, written[b].front()->Length);
        written[b].front()->Comment = std::string(comment);
      }
    if (auto parts = textLine(2))
      for (std::size_t b = 0; b < written.size(); ++b) names[b] = textOver(*parts, b);
    return names;
  }

  std::vector<std::string_view> lines_;
  std::map<std::string, LabelInfo> legend_;
  std::vector<std::string> warnings_;
  BarArray bars_;
  std::vector<BarGrid> grids_;  // per bar of bars_
  SongSwing swing_;
  bool swingRead_ = false;
  std::vector<TSongPart> parts_;
  std::optional<std::string> info_[6];
  std::array<int, static_cast<std::size_t>(Mark::Count)> marks_{};
  int notes_ = 0;
  bool emptyOwnExport_ = false;
  int tempo_ = 0;
  int timingNumerator_ = 0;
  uint8_t timingDenominator_ = 0;
  bool tooLongWarned_ = false;
  int maxBars_;
  const ProgramSettings& settings_;
};

}  // namespace

ImportResult ImportTextTab(std::string_view text, int maxBars, const ProgramSettings& settings) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // a UTF-8 byte order mark
  if (std::optional<std::string> converted = Cp1252FromUtf8(text))
    return Reader(*converted, maxBars, settings).Read();
  return Reader(text, maxBars, settings).Read();
}

#include "midi/practice.h"

#include <algorithm>
#include <charconv>
#include <vector>

#include "model/time_feel.h"

int TrainerCentiBpm(const SpeedTrainer& trainer, int tempo, int pass) {
  const int passes = std::max(trainer.Passes, 1);
  const int rises = std::max(pass, 0) / passes;
  const int from = std::max(trainer.FromPercent, 1) * tempo;  // centi-bpm
  const int to = std::max(trainer.ToPercent, 1) * tempo;
  const int step = trainer.StepInBpm ? trainer.Step * 100 : trainer.Step * tempo;
  const long long heard = from + static_cast<long long>(rises) * step;
  const long long bound = std::clamp<long long>(heard, std::min(from, to), std::max(from, to));
  return static_cast<int>(std::clamp<long long>(bound, 100, kMaxTempo * 100LL));
}

int BeatSixteenths(uint8_t denominator) { return std::max(16 / std::max<int>(denominator, 1), 1); }

int ClickSpacing(ClickMode mode, uint8_t denominator) {
  switch (mode) {
    case ClickMode::Off: return 0;
    case ClickMode::Quarter: return BeatSixteenths(denominator);
    case ClickMode::Eighth: return 2;
    case ClickMode::Sixteenth: return 1;
  }
  return 0;
}

bool ClicksOn(ClickMode mode, const TBar& bar, int position) {
  const int spacing = ClickSpacing(mode, bar.Denominator);
  if (spacing <= 0 || position < 0) return false;
  return position * CellUnits(bar.Grid) % (spacing * (kUnitsPerQuarter / 4)) == 0;
}

std::optional<BarRange> PartRangeOf(const Osnova& doc, uint16_t bar) {
  if (doc.BarCount == 0) return std::nullopt;
  int start = -1, next = doc.BarCount;
  for (const TSongPart& part : doc.SongParts) {
    if (part.StartBar < 0 || part.StartBar >= doc.BarCount) continue;
    if (part.StartBar <= bar && part.StartBar > start) start = part.StartBar;
  }
  if (start < 0) return std::nullopt;
  for (const TSongPart& part : doc.SongParts)
    if (part.StartBar > start && part.StartBar < next) next = part.StartBar;
  return BarRange{static_cast<uint16_t>(start), static_cast<uint16_t>(next - 1)};
}

std::optional<BarRange> PartRangeNamed(const Osnova& doc, const std::string& name) {
  for (const TSongPart& part : doc.SongParts)
    if (part.Name == name && part.StartBar >= 0 && part.StartBar < doc.BarCount)
      return PartRangeOf(doc, static_cast<uint16_t>(part.StartBar));
  return std::nullopt;
}

namespace {

bool Number(std::string_view text, int& value) {
  if (text.empty() || text.size() > 6) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

std::vector<std::string_view> Split(std::string_view text, char sep) {
  std::vector<std::string_view> parts;
  for (std::size_t from = 0;;) {
    const std::size_t at = text.find(sep, from);
    parts.push_back(text.substr(from, at == std::string_view::npos ? std::string_view::npos : at - from));
    if (at == std::string_view::npos) return parts;
    from = at + 1;
  }
}

}  // namespace

bool ParseClickMode(const std::string& text, ClickMode& mode, std::string& error) {
  if (text == "off") mode = ClickMode::Off;
  else if (text == "quarter") mode = ClickMode::Quarter;
  else if (text == "eighth") mode = ClickMode::Eighth;
  else if (text == "sixteenth") mode = ClickMode::Sixteenth;
  else {
    error = "--click takes quarter, eighth, sixteenth or off";
    return false;
  }
  return true;
}

bool ParseBarRange(const std::string& text, uint16_t barCount, BarRange& range, std::string& error) {
  const auto parts = Split(text, '-');
  int first = 0, last = 0;
  if (parts.size() != 2 || !Number(parts[0], first) || !Number(parts[1], last) || first < 1 || last < first) {
    error = "--loop-bars takes two bar numbers A-B, 1 <= A <= B";
    return false;
  }
  if (last > barCount) {
    error = "--loop-bars: the song has " + std::to_string(barCount) + " bars";
    return false;
  }
  range = {static_cast<uint16_t>(first - 1), static_cast<uint16_t>(last - 1)};
  return true;
}

bool ParseTrainer(const std::string& text, SpeedTrainer& trainer, std::string& error) {
  const auto parts = Split(text, ':');
  error = "--trainer takes FROM%:TO%:STEP:PASSES, e.g. 80%:100%:5%:2 (a STEP without % is in bpm)";
  if (parts.size() != 4) return false;
  auto percent = [](std::string_view p, int& v) {
    if (p.ends_with('%')) p.remove_suffix(1);
    return Number(p, v) && v >= 1 && v <= 1000;
  };
  SpeedTrainer t;
  t.On = true;
  std::string_view step = parts[2];
  t.StepInBpm = !step.ends_with('%');
  if (!t.StepInBpm) step.remove_suffix(1);
  if (!percent(parts[0], t.FromPercent) || !percent(parts[1], t.ToPercent) || !Number(step, t.Step) ||
      t.Step < 1 || t.Step > 1024 || !Number(parts[3], t.Passes) || t.Passes < 1 || t.Passes > 1000)
    return false;
  error.clear();
  trainer = t;
  return true;
}

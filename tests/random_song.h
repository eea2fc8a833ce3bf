// Random songs for round-trip tests of the imports: any timing the timing boxes can make, notes
// of every variant the files keep, accents, comments, song parts and song information.
#pragma once

#include <memory>
#include <random>
#include <string>

#include "model/import_result.h"
#include "model/tab_document.h"

namespace random_song {

inline std::string Word(std::mt19937& rng, int maxLength) {
  // No bar lines and no digits: a comment line must not look like a tab or a counting line.
  static const std::string kLetters =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ ,;!?-'()";
  std::uniform_int_distribution<int> length(1, maxLength);
  std::uniform_int_distribution<std::size_t> letter(0, kLetters.size() - 1);
  std::string word;
  for (int i = length(rng); i > 0; --i) word += kLetters[letter(rng)];
  // The text lines hold no trailing blanks, and a name must be more than blanks.
  while (!word.empty() && word.back() == ' ') word.pop_back();
  if (word.empty()) word = "x";
  return word;
}

// Variants the tab file and the exports keep, by row.
inline int VariantCount(int row) {
  return row == RowCymbals ? 3 : row == RowHiHat || row == RowSnare ? 2 : 1;
}

// `sameTimingAsFirst`: bars as long as bar 0 share its denominator and all others take the
// usual one for their length (what a text tab can say about timings).
inline std::unique_ptr<Osnova> Make(std::mt19937& rng, int maxBars, bool withTexts) {
  std::uniform_int_distribution<int> barCount(1, maxBars), numerator(1, 16), pick(0, 2),
      percent(0, 99), tempo(1, kMaxTempo);
  const int denominators[] = {4, 8, 16};
  auto doc = std::make_unique<Osnova>(4, static_cast<uint16_t>(barCount(rng)), 4);
  for (int b = 0; b < doc->BarCount; ++b) {
    TBar& bar = doc->EditBar(b);
    const int d = denominators[pick(rng)];
    bar.Length = LengthFromTiming(numerator(rng), d);
    bar.Denominator = static_cast<uint8_t>(d);
    if (b > 0)
      bar.Denominator = bar.Length == doc->Bar(0).Length ? doc->Bar(0).Denominator
                                                         : DenominatorForLength(bar.Length);
    const int density = percent(rng) / 3;
    for (int r = RowCymbals; r <= RowBass; ++r)
      for (int p = 0; p < bar.Length; ++p)
        if (percent(rng) < density)
          bar.Rows[static_cast<std::size_t>(r)].Set(
              p,
              static_cast<uint8_t>(std::uniform_int_distribution<int>(0, VariantCount(r) - 1)(rng)),
              static_cast<uint8_t>(percent(rng) < 25));
    if (withTexts && percent(rng) < 30) bar.Comment = Word(rng, 40);
  }
  doc->Tempo = static_cast<uint16_t>(tempo(rng));
  if (withTexts) {
    for (int b = 0; b < doc->BarCount; ++b)
      if (percent(rng) < 15) {
        TSongPart part;
        part.StartBar = b;
        part.SetName(Word(rng, 30));
        doc->SongParts.push_back(part);
      }
    doc->Artist = Word(rng, 50);
    doc->Song = Word(rng, 50);
    doc->Drummer = Word(rng, 20);
    doc->TabAuthor = Word(rng, 20);
    doc->Email = "me@example.org";
  }
  return doc;
}

}  // namespace random_song

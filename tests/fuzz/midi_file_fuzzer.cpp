// Fuzz entry point for the MIDI import. Besides crashes and sanitizer reports it checks that an
// accepted file makes a document within the model's limits that the tab file keeps as it is, and
// that a refused one says why.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "files/tab_file.h"
#include "midi/drum_map.h"
#include "midi/midi_to_tab.h"

namespace {

// A note far out makes a song of tens of thousands of bars, which takes far longer to build,
// save and read back than anything else the fuzzer tries: the import's bar limit is exercised at
// a smaller value, so that every input stays quick and every song is saved and read back.
constexpr int kFuzzMaxBars = 1024;

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "MIDI file fuzzer: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // The first byte also picks the channel, so every channel's path gets fuzzed.
  const int channel = size > 0 && data[0] % 4 == 0 ? 1 + data[size - 1] % 16 : kDefaultDrumChannel;
  ImportResult result = ImportMidiFile(bytes, channel, nullptr, kFuzzMaxBars);
  if (!result.Document) {
    Check(!result.Error.empty(), "refused without a message");
    return 0;
  }
  const Osnova& doc = *result.Document;
  Check(doc.BarCount >= 1 && doc.BarCount <= kFuzzMaxBars && doc.Bars.size() == doc.BarCount,
        "bar count");
  Check(doc.Numerator >= 1 && doc.Numerator <= 16, "numerator");
  Check(doc.Tempo >= 1 && doc.Tempo <= kMaxTempo, "tempo");
  bool anyNote = false;
  for (std::size_t i = 0; i < doc.Bars.size(); ++i) {
    const TBar& bar = *doc.Bars[i];
    Check(bar.Length >= 1 && bar.Length <= kMaxPositions, "bar length");
    Check(DenominatorIndex(bar.Denominator) != 255, "denominator");
    Check(bar.Rows[RowCount].Notes == 0, "notes on the counting line");
    for (int r = RowCymbals; r <= RowBass; ++r) {
      const TNoteRow& row = bar.Rows[static_cast<std::size_t>(r)];
      Check(bar.Length == 64 || (row.Notes >> bar.Length) == 0, "note beyond the bar");
      for (int p = 0; p < bar.Length; ++p)
        if (row.Has(p)) {
          anyNote = true;
          Check(DrumNoteOf(static_cast<uint8_t>(r),
                           row.Cells[static_cast<std::size_t>(p)].Variant) != 0,
                "a variant the row does not have");
        }
    }
  }
  Check(anyNote, "a document without notes");
  const std::string saved = WriteTabBytes(doc);
  auto again = ReadTabBytes(saved);
  Check(again != nullptr, "saved document refused");
  Check(WriteTabBytes(*again) == saved, "save, load, save changed the bytes");
  return 0;
}

// Fuzz entry point for the tab file reader. Besides crashes and sanitizer reports it checks
// that every accepted document keeps the model's limits and survives a save and reload
// unchanged, so a reader that lets a bad value through fails here too.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "files/tab_file.h"

namespace {

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "tab file fuzzer: %s\n", what);
  std::abort();
}

void CheckLimits(const Osnova& doc) {
  Check(doc.BarCount >= 1 && doc.Bars.size() == doc.BarCount, "bar count");
  Check(doc.Numerator >= 1 && doc.Numerator <= 16, "numerator");
  Check(doc.Tempo >= 1 && doc.Tempo <= 1024, "tempo");
  for (const auto* text : {&doc.Artist, &doc.Song, &doc.Album, &doc.Drummer, &doc.TabAuthor, &doc.Email})
    Check(text->size() <= kInfoTextLength, "text length");
  Check(doc.Kit[RowCount] == 1, "counting line hidden");
  for (uint8_t flag : doc.Kit) Check(flag <= 1, "kit flag");
  int32_t previous = -1;
  for (const auto& part : doc.SongParts) {
    Check(part.StartBar > previous && part.StartBar < doc.BarCount, "song part start");
    Check(part.Name.size() <= kPartNameLength, "song part name");
    previous = part.StartBar;
  }
  for (std::size_t i = 0; i < doc.Bars.size(); ++i) {
    const TBar& bar = *doc.Bars[i];
    Check(bar.Length >= 1 && bar.Length <= kMaxPositions, "bar length");
    Check(DenominatorIndex(bar.Denominator) != 255, "denominator");
    Check(bar.Comment.size() <= 65535, "comment length");
    Check(bar.Rows[RowCount].Notes == 0, "notes on the counting line");
    const uint64_t inBar = bar.Length >= 64 ? ~uint64_t{0} : (uint64_t{1} << bar.Length) - 1;
    Check((bar.FootNotes & ~inBar) == 0, "hi-hat foot beyond the bar");
    for (int p = 0; p < kMaxPositions; ++p) {
      const char s = bar.Sticking[static_cast<std::size_t>(p)];
      Check(s == 0 || ((s == 'R' || s == 'L' || s == 'B') && p < bar.Length), "sticking");
      for (const TNoteRow& row : bar.Rows) {
        const TNoteCell& cell = row.Cells[static_cast<std::size_t>(p)];
        Check(!(cell.Ghost && cell.Accent) && cell.Style < kNoteStyleCount, "note expression");
      }
    }
  }
}

// Hands the input out in pieces of varying size, as a pipe does.
class PieceSource : public ByteSource {
 public:
  explicit PieceSource(std::string_view bytes) : bytes_(bytes) {}
  std::size_t Read(char* buffer, std::size_t n) override {
    const std::size_t piece = std::min({n, bytes_.size() - pos_, std::size_t{1} + (pos_ * 7 + calls_++) % 977});
    std::memcpy(buffer, bytes_.data() + pos_, piece);
    pos_ += piece;
    return piece;
  }

 private:
  std::string_view bytes_;
  std::size_t pos_ = 0;
  std::size_t calls_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  auto doc = ReadTabBytes(bytes);
  // The stream reader must come to the same verdict and document as the reader of memory.
  PieceSource source(bytes);
  auto streamed = ReadTabStream(source);
  Check((doc == nullptr) == (streamed == nullptr), "stream and memory readers disagree");
  if (!doc) return 0;
  Check(WriteTabBytes(*streamed) == WriteTabBytes(*doc), "stream and memory readers read different documents");
  CheckLimits(*doc);
  const std::string saved = WriteTabBytes(*doc);
  auto again = ReadTabBytes(saved);
  Check(again != nullptr, "saved document refused");
  Check(WriteTabBytes(*again) == saved, "save, load, save changed the bytes");
  return 0;
}

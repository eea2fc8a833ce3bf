#include "files/tab_file.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "common/atomic_file.h"
#include "common/input_file.h"
#include "files/tab_file_extension.h"

const char* const kDamagedTabFileMessage =
    "Cannot open file! This is not a GLM file, or the file is corrupted.";

namespace {

constexpr std::string_view kMagic = "xx$#GVLM";
constexpr std::string_view kFieldMarker = "@#";
constexpr std::string_view kHeaderEnd = "@@";
constexpr std::string_view kBarEnd = "@@##";
constexpr std::size_t kPartRecordSize = 36;
constexpr int32_t kMaxCommentLength = 65535;
constexpr int32_t kMaxPartCount = 65535;
constexpr int kMaxNumerator = 16;
// Length, Denominator, comment length, eight row blocks of marker, row and count, bar end.
constexpr std::size_t kMinBarBlockSize = 2 + 4 + 8 * 4 + 4;

std::string_view Cut(const std::string& text, std::size_t limit) {
  return std::string_view(text).substr(0, limit);
}

// The song parts the writer keeps: inside the bar range and each after the one before it, so
// that a saved file never fails to load because of a bad part.
std::vector<const TSongPart*> WritableParts(const Osnova& doc, std::size_t barCount) {
  std::vector<const TSongPart*> parts;
  int64_t previous = -1;
  for (const auto& part : doc.SongParts) {
    if (part.StartBar <= previous || static_cast<std::size_t>(part.StartBar) >= barCount) continue;
    if (parts.size() == static_cast<std::size_t>(kMaxPartCount)) break;
    parts.push_back(&part);
    previous = part.StartBar;
  }
  return parts;
}

// Appends to a buffer that grows ahead of the writes in large steps: the document is walked
// once, which matters on a 65535-bar song whose bars lie all over memory.
class ByteWriter {
 public:
  // Writes into `out`, whose capacity is reused: a snapshot slot written again takes no new pages.
  ByteWriter(std::string& out, std::size_t expected) : out_(out) {
    out_.clear();
    out_.resize(std::max(expected, out_.capacity()));
  }
  // Makes room for at least n more bytes.
  void Room(std::size_t n) {
    if (out_.size() - pos_ < n) out_.resize(std::max(out_.size() * 2, pos_ + n));
  }
  void U8(uint8_t v) { out_[pos_++] = static_cast<char>(v); }
  void U16(uint16_t v) {
    U8(static_cast<uint8_t>(v));
    U8(static_cast<uint8_t>(v >> 8));
  }
  void I32(int32_t v) {
    auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) U8(static_cast<uint8_t>(u >> (8 * i)));
  }
  void Bytes(std::string_view b) {
    if (b.empty()) return;
    std::memcpy(out_.data() + pos_, b.data(), b.size());
    pos_ += b.size();
  }
  void Text(std::string_view t) {
    I32(t.empty() ? -1 : static_cast<int32_t>(t.size()));
    Bytes(t);
  }
  std::size_t Position() const { return pos_; }
  void Patch(std::size_t at, uint8_t v) { out_[at] = static_cast<char>(v); }
  void Finish() { out_.resize(pos_); }

 private:
  std::string& out_;
  std::size_t pos_ = 0;
};

// NoteLetter for every row, variant and accent, looked up instead of called per note.
class LetterTable {
 public:
  LetterTable() {
    for (int row = 0; row < kRowCount; ++row)
      for (int variant = 0; variant < 256; ++variant)
        for (int accent = 0; accent < 2; ++accent)
          table_[static_cast<std::size_t>((row * 256 + variant) * 2 + accent)] =
              static_cast<uint8_t>(NoteLetter(row, static_cast<uint8_t>(variant), static_cast<uint8_t>(accent)));
  }
  uint8_t Of(int row, const TNoteCell& cell) const {
    if (cell.Accent > 1) return static_cast<uint8_t>(NoteLetter(row, cell.Variant, cell.Accent));
    return table_[static_cast<std::size_t>((row * 256 + cell.Variant) * 2 + cell.Accent)];
  }

 private:
  std::array<uint8_t, kRowCount * 256 * 2> table_{};
};

// Reads from memory, or from a stream through a buffer that holds the bytes not yet taken: the
// reader pulls only as much input as it has checked, so a damaged header is refused before the
// rest of a large file is read, and a pipe can be read like a file.
class ByteReader {
 public:
  explicit ByteReader(std::string_view bytes) : data_(bytes.data()), end_(bytes.size()) {}
  explicit ByteReader(ByteSource& source) : source_(&source) {}
  // `out` stays valid until the next call.
  bool Take(std::size_t n, std::string_view& out) {
    if (!Need(n)) return false;
    out = std::string_view(data_ + pos_, n);
    pos_ += n;
    return true;
  }
  bool U8(uint8_t& v) {
    if (!Need(1)) return false;
    v = static_cast<uint8_t>(data_[pos_++]);
    return true;
  }
  bool U16(uint16_t& v) {
    if (!Need(2)) return false;
    v = static_cast<uint16_t>(Byte(0) | Byte(1) << 8);
    pos_ += 2;
    return true;
  }
  bool I32(int32_t& v) {
    if (!Need(4)) return false;
    v = static_cast<int32_t>(Byte(0) | Byte(1) << 8 | Byte(2) << 16 | Byte(3) << 24);
    pos_ += 4;
    return true;
  }
  bool Marker(std::string_view marker) {
    if (!Need(marker.size())) return false;
    for (std::size_t i = 0; i < marker.size(); ++i)
      if (data_[pos_ + i] != marker[i]) return false;
    pos_ += marker.size();
    return true;
  }
  // A song-information text: -1 or 0 is empty, longer than 50 or below -1 is damage.
  bool InfoText(std::string& text) {
    int32_t length = 0;
    if (!I32(length) || length < -1 || length > static_cast<int32_t>(kInfoTextLength)) return false;
    return Chars(length, text);
  }
  // A comment: any negative length is empty, longer than 65535 is damage.
  bool Comment(std::string& text) {
    int32_t length = 0;
    if (!I32(length) || length > kMaxCommentLength) return false;
    return Chars(length, text);
  }

 private:
  static constexpr std::size_t kChunk = std::size_t{64} << 10;

  uint32_t Byte(std::size_t i) const { return static_cast<uint8_t>(data_[pos_ + i]); }
  bool Need(std::size_t n) { return end_ - pos_ >= n || Fill(n); }
  // Moves the bytes not yet taken to the buffer's front and reads until `n` are there.
  bool Fill(std::size_t n) {
    if (!source_ || ended_) return false;
    const std::size_t left = end_ - pos_;
    const std::size_t size = std::max(n, kChunk);
    if (buffer_.size() < size) {
      std::string larger(size, '\0');
      if (left) std::memcpy(larger.data(), data_ + pos_, left);
      buffer_.swap(larger);
    } else if (left) {
      std::memmove(buffer_.data(), data_ + pos_, left);
    }
    data_ = buffer_.data();
    pos_ = 0;
    end_ = left;
    while (end_ < n) {
      const std::size_t got = source_->Read(buffer_.data() + end_, buffer_.size() - end_);
      if (got == 0) {
        ended_ = true;
        break;
      }
      end_ += got;
    }
    return end_ >= n;
  }
  bool Chars(int32_t length, std::string& text) {
    if (length <= 0) {
      text.clear();
      return true;
    }
    std::string_view b;
    if (!Take(static_cast<std::size_t>(length), b)) return false;
    text.assign(b);
    return true;
  }

  const char* data_ = nullptr;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  ByteSource* source_ = nullptr;
  std::string buffer_;
  bool ended_ = false;
};

// LetterToCell for every row and byte.
class CellTable {
 public:
  CellTable() {
    for (int row = 0; row < kRowCount; ++row)
      for (int letter = 0; letter < 256; ++letter)
        table_[static_cast<std::size_t>(row * 256 + letter)] = LetterToCell(row, static_cast<uint8_t>(letter));
  }
  TNoteCell Of(int row, uint8_t letter) const { return table_[static_cast<std::size_t>(row * 256 + letter)]; }

 private:
  std::array<TNoteCell, kRowCount * 256> table_{};
};

bool ReadBar(ByteReader& in, TBar& bar) {
  static const CellTable cells;
  uint8_t length = 0, denominator = 0;
  if (!in.U8(length) || !in.U8(denominator)) return false;
  if (length < 1 || length > kMaxPositions) return false;
  if (DenominatorIndex(denominator) == 255) return false;
  bar.Length = length;
  bar.Denominator = denominator;
  if (!in.Comment(bar.Comment)) return false;
  for (int row = RowCymbals; row <= RowBass; ++row) {
    uint8_t rowByte = 0, count = 0;
    // The row byte is only for reference: the block's place decides the row.
    if (!in.Marker(kFieldMarker) || !in.U8(rowByte) || !in.U8(count)) return false;
    std::string_view entries;
    if (!in.Take(std::size_t{count} * 2, entries)) return false;
    TNoteRow& notes = bar.Rows[row];
    for (std::size_t i = 0; i < entries.size(); i += 2) {
      auto position = static_cast<uint8_t>(entries[i]);
      if (position >= kMaxPositions) continue;
      TNoteCell cell = cells.Of(row, static_cast<uint8_t>(entries[i + 1]));
      notes.Set(position, cell.Variant, cell.Accent);
    }
  }
  return in.Marker(kBarEnd);
}

}  // namespace

TNoteCell LetterToCell(int row, uint8_t letter) {
  bool upper = letter >= 'A' && letter <= 'Z';
  char lower = upper ? static_cast<char>(letter - 'A' + 'a') : static_cast<char>(letter);
  int variant = -1;
  switch (row) {
    case RowCymbals: variant = lower == 'x' ? 0 : lower == 's' ? 1 : lower == 'c' ? 2 : -1; break;
    case RowRide: variant = lower == 'x' ? 0 : -1; break;
    case RowHiHat: variant = lower == 'x' ? 0 : lower == 'o' ? 1 : -1; break;
    case RowTom1: case RowTom2: case RowFloor: case RowBass: variant = lower == 'o' ? 0 : -1; break;
    case RowSnare: variant = lower == 'o' ? 0 : lower == 'x' ? 1 : -1; break;
    default: break;
  }
  // A foreign letter still marks a note, of a variant no row has.
  if (variant < 0) return TNoteCell{100, 0};
  return TNoteCell{static_cast<uint8_t>(variant), static_cast<uint8_t>(upper ? 1 : 0)};
}

std::string WriteTabBytes(const Osnova& doc) {
  std::string out;
  WriteTabBytesInto(doc, out);
  return out;
}

void WriteTabBytesInto(const Osnova& doc, std::string& out) {
  const std::size_t barCount = std::min<std::size_t>(doc.Bars.size(), kMaxBarCount);
  const std::string_view texts[] = {
      Cut(doc.Artist, kInfoTextLength),  Cut(doc.Song, kInfoTextLength),
      Cut(doc.Album, kInfoTextLength),   Cut(doc.Drummer, kInfoTextLength),
      Cut(doc.TabAuthor, kInfoTextLength), Cut(doc.Email, kInfoTextLength)};
  const auto parts = WritableParts(doc, barCount);

  std::size_t header = kMagic.size() + 2 + 2 + 2 + 1 + 2 + 2 + 2;
  for (auto t : texts) header += 4 + t.size() + 2;
  header += 4 + parts.size() * kPartRecordSize + 2 + kRowCount + 2;
  // Room for a dozen notes a bar and one full row; a denser song grows the buffer a few times.
  ByteWriter w(out, header + barCount * (kMinBarBlockSize + 24) + 2 * kMaxPositions + 8);
  static const LetterTable letters;
  w.Bytes(kMagic);
  w.Bytes(kFieldMarker);
  w.U16(static_cast<uint16_t>(barCount));
  w.Bytes(kFieldMarker);
  w.U8(static_cast<uint8_t>(std::clamp<int>(doc.Numerator, 1, kMaxNumerator)));
  w.Bytes(kFieldMarker);
  w.U16(static_cast<uint16_t>(std::clamp<int>(doc.Tempo, 1, kMaxTempo)));
  w.Bytes(kFieldMarker);
  for (auto t : texts) {
    w.Text(t);
    w.Bytes(kFieldMarker);
  }
  w.I32(parts.empty() ? -1 : static_cast<int32_t>(parts.size()));
  for (const TSongPart* part : parts) {
    auto name = Cut(part->Name, kPartNameLength);
    w.I32(part->StartBar);
    w.U8(static_cast<uint8_t>(name.size()));
    w.Bytes(name);
    // Name bytes past the name, then the padding byte.
    for (std::size_t i = name.size(); i < kPartNameLength + 1; ++i) w.U8(0);
  }
  w.Bytes(kFieldMarker);
  for (uint8_t flag : doc.Kit) w.U8(flag);
  w.Bytes(kHeaderEnd);

  for (std::size_t b = 0; b < barCount; ++b) {
    const TBar& bar = *doc.Bars[b];
    const auto comment = Cut(bar.Comment, kMaxCommentLength);
    w.Room(kMinBarBlockSize + comment.size());
    w.U8(bar.Length);
    w.U8(bar.Denominator);
    w.Text(comment);
    const uint64_t mask = PositionsBelow(bar.Length);
    for (int row = RowCymbals; row <= RowBass; ++row) {
      const TNoteRow& notes = bar.Rows[row];
      uint64_t set = notes.Notes & mask;
      w.Room(4 + 2 * kMaxPositions + 4);
      w.Bytes(kFieldMarker);
      w.U8(static_cast<uint8_t>(row));
      // The count is filled in after the entries: counting them as they go is cheaper than a
      // popcount, which is a library call on CPUs the build does not assume.
      const std::size_t countAt = w.Position();
      w.U8(0);
      uint8_t count = 0;
      while (set) {
        int p = std::countr_zero(set);
        set &= set - 1;
        const TNoteCell& cell = notes.Cells[static_cast<std::size_t>(p)];
        w.U8(static_cast<uint8_t>(p));
        w.U8(letters.Of(row, cell));
        ++count;
      }
      w.Patch(countAt, count);
    }
    w.Bytes(kBarEnd);
  }
  w.Finish();
  AppendTabExtension(doc, barCount, out);
}

namespace {

// The extension block after the last bar, when there is one. Anything else there is ignored, as
// readers of the plain format ignore it; a damaged block only costs its extras and a warning.
void ReadExtension(ByteReader& in, Osnova& doc, std::string* warning) {
  if (!in.Marker(kExtensionMarker)) return;
  std::string ignored;
  std::string& message = warning ? *warning : ignored;
  uint16_t version = 0;
  int32_t length = 0, crc = 0;
  if (!in.U16(version) || !in.I32(length) || !in.I32(crc) ||
      static_cast<uint32_t>(length) > kMaxExtensionLength) {
    message = kDamagedExtensionMessage;
    return;
  }
  // Taken in pieces, so a damaged length never asks for memory the file does not fill.
  std::string records;
  for (auto left = static_cast<uint32_t>(length); left > 0;) {
    const std::size_t n = std::min<uint32_t>(left, 1u << 16);
    std::string_view piece;
    if (!in.Take(n, piece)) {
      message = kDamagedExtensionMessage;
      return;
    }
    records.append(piece);
    left -= static_cast<uint32_t>(n);
  }
  ApplyTabExtension(version, static_cast<uint32_t>(crc), records, doc, message);
}

std::unique_ptr<Osnova> ReadTab(ByteReader& in, std::string* warning) {
  uint16_t barCount = 0, tempo = 0;
  uint8_t numerator = 0;
  if (!in.Marker(kMagic) || !in.Marker(kFieldMarker)) return nullptr;
  if (!in.U16(barCount) || barCount == 0 || !in.Marker(kFieldMarker)) return nullptr;
  if (!in.U8(numerator) || numerator < 1 || numerator > kMaxNumerator) return nullptr;
  if (!in.Marker(kFieldMarker)) return nullptr;
  if (!in.U16(tempo) || tempo < 1 || tempo > kMaxTempo || !in.Marker(kFieldMarker)) return nullptr;

  std::string texts[6];
  for (auto& text : texts)
    if (!in.InfoText(text) || !in.Marker(kFieldMarker)) return nullptr;

  int32_t partCount = 0;
  if (!in.I32(partCount) || partCount < -1 || partCount > kMaxPartCount) return nullptr;
  std::vector<TSongPart> parts;
  if (partCount > 0) {
    // Grown as the records arrive, so a damaged count cannot ask for memory the file lacks.
    int64_t previous = -1;
    for (int32_t i = 0; i < partCount; ++i) {
      std::string_view record;
      if (!in.Take(kPartRecordSize, record)) return nullptr;
      ByteReader r(record);
      TSongPart part;
      uint8_t nameLength = 0;
      std::string_view name;
      r.I32(part.StartBar);
      r.U8(nameLength);
      if (nameLength > kPartNameLength) return nullptr;
      if (part.StartBar < 0 || part.StartBar >= barCount || part.StartBar <= previous) return nullptr;
      r.Take(nameLength, name);
      part.Name.assign(name);
      previous = part.StartBar;
      parts.push_back(std::move(part));
    }
  }
  if (!in.Marker(kFieldMarker)) return nullptr;
  std::string_view kitBytes;
  if (!in.Take(kRowCount, kitBytes)) return nullptr;
  // Copied before the next read, which may refill the buffer the view points into.
  std::array<bool, kRowCount> kit{};
  for (int r = 0; r < kRowCount; ++r) kit[static_cast<std::size_t>(r)] = kitBytes[static_cast<std::size_t>(r)] != 0;
  if (!in.Marker(kHeaderEnd)) return nullptr;

  // Bars are built as they are read, each while it is still in the cache.
  auto doc = std::make_unique<Osnova>(numerator, 1, 4);
  doc->Tempo = tempo;
  doc->Artist = std::move(texts[0]);
  doc->Song = std::move(texts[1]);
  doc->Album = std::move(texts[2]);
  doc->Drummer = std::move(texts[3]);
  doc->TabAuthor = std::move(texts[4]);
  doc->Email = std::move(texts[5]);
  doc->SongParts = std::move(parts);
  for (int r = 0; r < kRowCount; ++r) doc->Kit[static_cast<std::size_t>(r)] = kit[static_cast<std::size_t>(r)];
  // The counting line is always shown; the view has no layout without it.
  doc->Kit[RowCount] = 1;
  RecomputeLineOfRow(*doc);

  doc->Bars.reserve(barCount);
  if (!ReadBar(in, doc->EditBar(0))) return nullptr;
  for (uint16_t i = 1; i < barCount; ++i) {
    auto bar = NewBar(4, numerator);
    if (!ReadBar(in, *bar)) return nullptr;
    doc->Bars.push_back(std::move(bar));
  }
  doc->BarCount = barCount;
  // Whatever else follows the last bar is not part of the document.
  ReadExtension(in, *doc, warning);
  return doc;
}

// Memory running out on a large song is a refusal like any other, never an abort.
std::unique_ptr<Osnova> ReadTabGuarded(ByteReader& in, std::string* warning) {
  try {
    return ReadTab(in, warning);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace

std::unique_ptr<Osnova> ReadTabBytes(std::string_view bytes, std::string* warning) {
  ByteReader in(bytes);
  return ReadTabGuarded(in, warning);
}

std::unique_ptr<Osnova> ReadTabStream(ByteSource& source, std::string* warning) {
  ByteReader in(source);
  return ReadTabGuarded(in, warning);
}

bool SaveToTabFile(Osnova& doc, const std::string& path, std::string& error) {
  if (!WriteFileAtomically(path, WriteTabBytes(doc), error)) return false;
  doc.Modified = false;
  doc.HasFile = true;
  doc.FileName = path;
  return true;
}

std::unique_ptr<Osnova> LoadFromTabFile(const std::string& path, std::string& error, std::string* warning) {
  // Opened once and read as one stream: a pipe cannot be opened twice, and the reader takes only
  // what it has checked, so a large unrelated file is refused after its first bytes.
  InputFile file;
  std::string openError;
  std::unique_ptr<Osnova> doc;
  if (file.Open(path, openError)) doc = ReadTabStream(file, warning);
  if (!doc) {
    error = kDamagedTabFileMessage;
    return nullptr;
  }
  doc->Modified = false;
  doc->HasFile = true;
  doc->FileName = path;
  return doc;
}

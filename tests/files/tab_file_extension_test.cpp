#include "files/tab_file_extension.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "files/tab_export.h"
#include "files/tab_file.h"
#include "files/text_tab_import.h"
#include "tests/expressive_song.h"
#include "tests/time_feel_song.h"

namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// Saved and loaded, `song` comes back whole and saves the same bytes again; returns it loaded.
std::unique_ptr<Osnova> RoundTrip(const Osnova& song, std::string& bytes) {
  bytes = WriteTabBytes(song);
  std::string warning;
  auto loaded = ReadTabBytes(bytes, &warning);
  if (!loaded) {
    ADD_FAILURE() << "not read back";
    return std::make_unique<Osnova>(song);
  }
  EXPECT_EQ(warning, "");
  EXPECT_EQ(expressive_song::Describe(*loaded), expressive_song::Describe(song));
  EXPECT_EQ(WriteTabBytes(*loaded), bytes);
  return loaded;
}

// Saved and loaded, the song comes back whole; a reader that stops after the last bar (the plain
// format's rule) finds exactly the plain song's bytes before the block.
TEST(TabFileExtension, EveryKindRoundTripsAndPlainReadersSeeThePlainSong) {
  const auto song = expressive_song::Make();
  std::string bytes;
  const auto loaded = RoundTrip(*song, bytes);

  const std::string plainBytes = WriteTabBytes(*expressive_song::Plain(*song));
  ASSERT_GT(bytes.size(), plainBytes.size());
  EXPECT_EQ(bytes.substr(0, plainBytes.size()), plainBytes);
  EXPECT_EQ(bytes.substr(plainBytes.size(), 4), "GVXT");
  const auto plainRead = ReadTabBytes(bytes.substr(0, plainBytes.size()));
  ASSERT_TRUE(plainRead);
  EXPECT_EQ(expressive_song::Describe(*plainRead), expressive_song::Describe(*expressive_song::Plain(*song)));

  // The text export writes it all (g, parentheses, f d z # b, the HF and St lines) and the import
  // reads it back the same.
  const std::string text = TextExportBytes(*loaded, {"4", "4", "120"});
  EXPECT_NE(text.find("  Snare: |g"), std::string::npos) << text;
  EXPECT_NE(text.find("      HF |x---x----------x|"), std::string::npos) << text;
  EXPECT_NE(text.find("      St |R L R L B  RLLR |R       |"), std::string::npos) << text;
  ImportResult back = ImportTextTab(text);
  ASSERT_TRUE(back.Document) << back.Error;
  EXPECT_TRUE(back.Warnings.empty()) << back.Warnings.front();
  EXPECT_EQ(expressive_song::Describe(*back.Document), expressive_song::Describe(*song)) << text;
}

// Damage anywhere in the block, or the block cut short at any length: the bars still load as plain
// notes, with a warning; never a refusal. A later kind of record is skipped.
TEST(TabFileExtension, DamagedBlockIsReportedAndIgnoredUnknownRecordsSkipped) {
  const auto song = expressive_song::Make();
  const std::string bytes = WriteTabBytes(*song);
  const std::size_t start = WriteTabBytes(*expressive_song::Plain(*song)).size();
  const std::string plain = expressive_song::Describe(*expressive_song::Plain(*song));
  for (std::size_t at = start; at < bytes.size(); ++at) {
    std::string damaged = bytes;
    damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
    std::string warning;
    auto doc = ReadTabBytes(damaged, &warning);
    ASSERT_TRUE(doc) << at;
    if (at < start + 4) continue;  // no marker: not a block at all, ignored silently
    EXPECT_EQ(warning, kDamagedExtensionMessage) << at;
    EXPECT_EQ(expressive_song::Describe(*doc), plain) << at;
  }
  for (std::size_t cut = start + 4; cut < bytes.size(); ++cut) {
    std::string warning;
    auto doc = ReadTabBytes(bytes.substr(0, cut), &warning);
    ASSERT_TRUE(doc) << cut;
    EXPECT_EQ(warning, kDamagedExtensionMessage) << cut;
  }

  // A record of kind 200 before the known ones: read past.
  std::string records = std::string("\xC8\x03\0\0\0abc", 8) + bytes.substr(start + 14);
  std::string block = "GVXT";
  block += std::string("\x01\0", 2);
  for (uint32_t v : {static_cast<uint32_t>(records.size()), Crc32(records)})
    for (int i = 0; i < 4; ++i) block += static_cast<char>(v >> (8 * i));
  std::string warning;
  auto doc = ReadTabBytes(bytes.substr(0, start) + block + records, &warning);
  ASSERT_TRUE(doc);
  EXPECT_EQ(warning, "");
  EXPECT_EQ(expressive_song::Describe(*doc), expressive_song::Describe(*song));
}

// Grids and swing travel in the block: back whole, the plain bytes first; a grid value no build
// knows is damage; straight sixteenths with no swing give no block.
TEST(TabFileExtension, GridsAndSwingRoundTrip) {
  const auto song = time_feel_song::Make();
  std::string bytes;
  RoundTrip(*song, bytes);
  std::string warning;
  auto plain = expressive_song::Plain(*song);
  const std::string plainBytes = WriteTabBytes(*plain);
  EXPECT_EQ(bytes.substr(0, plainBytes.size()), plainBytes);

  const std::size_t grid = bytes.find(std::string("\x04\x0f\0\0\0\x01\0\x01", 8), plainBytes.size());
  ASSERT_NE(grid, std::string::npos) << "a grid record for bars 1 to 5";
  std::string records = bytes.substr(plainBytes.size() + 14);
  records[grid + 7 - plainBytes.size() - 14] = 9;
  std::string block = bytes.substr(plainBytes.size(), 10);
  for (int i = 0; i < 4; ++i) block += static_cast<char>(Crc32(records) >> (8 * i));
  const auto damaged = ReadTabBytes(plainBytes + block + records, &warning);
  ASSERT_TRUE(damaged);
  EXPECT_EQ(warning, kDamagedExtensionMessage);
  EXPECT_EQ(expressive_song::Describe(*damaged), expressive_song::Describe(*plain));

  plain->Swing = {};
  EXPECT_EQ(WriteTabBytes(*plain).find("GVXT"), std::string::npos);
}

// Files without the block (the fuzzer's seeds, written by earlier builds) save byte for byte as
// they were read, and a plain song gets no block.
TEST(TabFileExtension, OlderFilesSaveByteForByte) {
  int seen = 0;
  for (const auto& entry : fs::directory_iterator(GROOVELOOM_CORPUS_DIR)) {
    const std::string bytes = Slurp(entry.path());
    if (bytes.find("GVXT") != std::string::npos) continue;
    auto doc = ReadTabBytes(bytes);
    if (!doc) continue;
    ++seen;
    const std::string saved = WriteTabBytes(*doc);
    EXPECT_EQ(saved, bytes.substr(0, saved.size())) << entry.path();
    EXPECT_EQ(saved.find("GVXT"), std::string::npos) << entry.path();
  }
  EXPECT_GE(seen, 5);
}

}  // namespace

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "common/atomic_file.h"
#include "files/convert.h"
#include "files/tab_export.h"
#include "files/tab_file.h"
#include "midi/midi_container.h"
#include "midi/midi_out_file.h"
#include "midi/tab_to_midi.h"
#include "tests/test_folder.h"

namespace fs = std::filesystem;

namespace {

class ConvertFormats : public ::testing::Test {
 protected:
  void SetUp() override {
    Osnova doc(4, 3, 4);
    doc.EditBar(0).Length = 12;  // bar 0 in 3/4: the boxes show it right after Open
    doc.EditBar(0).Rows[RowSnare].Set(4, 0, 1);
    doc.EditBar(2).Rows[RowCymbals].Set(0, 2, 0);
    doc.EditBar(1).Comment = "<fill> & more";
    doc.Tempo = 97;
    std::string error;
    ASSERT_TRUE(SaveToTabFile(doc, In(), error)) << error;
    loaded = LoadFromTabFile(In(), error);
    ASSERT_TRUE(loaded) << error;
  }
  std::string In() const { return (dir / "in.gvlm").string(); }
  std::string Read(const std::string& path) {
    std::string bytes, error;
    EXPECT_TRUE(ReadWholeFile(path, bytes, error)) << error;
    return bytes;
  }
  TestFolder dir;
  std::unique_ptr<Osnova> loaded;
};

TEST_F(ConvertFormats, TextAndHtmlUseBarZeroTimingAndTheDocumentTempo) {
  const ExportBoxes boxes{"3", "4", "97"};
  std::string message;
  for (const char* name : {"out.tab", "OUT.TXT"}) {
    const auto out = (dir / name).string();
    ASSERT_EQ(ConvertTabFile(In(), out, message), 0) << message;
    EXPECT_EQ(Read(out), TextExportBytes(*loaded, boxes)) << name;
  }
  EXPECT_NE(Read((dir / "out.tab").string()).find("Timing  :  3/4\r\nTempo :    97\r\n"),
            std::string::npos);
  for (const char* name : {"out.html", "out.htm"}) {
    const auto out = (dir / name).string();
    ASSERT_EQ(ConvertTabFile(In(), out, message), 0) << message;
    EXPECT_EQ(Read(out), HtmlExportBytes(*loaded, boxes)) << name;
  }
}

// As the window's boxes show it: a numerator past the list's 16 too, none where no whole beat fits.
TEST_F(ConvertFormats, TimingIsPrintedAsTheWindowShowsIt) {
  struct Case {
    uint8_t Length, Denominator;
    const char* Line;
  };
  const Case cases[] = {{3, 4, "Timing  :  /4\r\n"},     // no whole quarter
                        {64, 8, "Timing  :  32/8\r\n"},  // past the list's 16
                        {17, 16, "Timing  :  17/16\r\n"},
                        {64, 4, "Timing  :  16/4\r\n"},
                        {5, 16, "Timing  :  5/16\r\n"}};
  std::string error, message;
  for (const Case& c : cases) {
    Osnova doc(4, 1, 4);
    doc.EditBar(0).Length = c.Length;
    doc.EditBar(0).Denominator = c.Denominator;
    const auto in = (dir / "odd.gvlm").string(), out = (dir / "odd.tab").string();
    ASSERT_TRUE(SaveToTabFile(doc, in, error)) << error;
    ASSERT_EQ(ConvertTabFile(in, out, message), 0) << message;
    EXPECT_NE(Read(out).find(c.Line), std::string::npos) << c.Line;
  }
}

TEST_F(ConvertFormats, MidiIsOneExportOfTheSongAtItsTempo) {
  std::string message, error;
  const auto out = (dir / "song.mid").string();
  ASSERT_EQ(ConvertTabFile(In(), out, message), 0) << message;
  TMIDI_Container container;
  Convert_Tab(container, loaded->Bars, 97);
  const auto reference = (dir / "reference.mid").string();
  ASSERT_TRUE(WriteMidiFile(container, reference, error)) << error;
  EXPECT_EQ(Read(out), Read(reference));
  // A second conversion gives the same file: nothing carries over between exports.
  ASSERT_EQ(ConvertTabFile(In(), out, message), 0) << message;
  EXPECT_EQ(Read(out), Read(reference));

  // A swung song's file has its off-beats late.
  loaded->Swing = {33, SwingUnit::Eighths};
  ASSERT_TRUE(SaveToTabFile(*loaded, In(), error)) << error;
  ASSERT_EQ(ConvertTabFile(In(), out, message), 0) << message;
  Convert_Tab(container, loaded->Bars, 97, loaded->Swing);
  ASSERT_TRUE(WriteMidiFile(container, reference, error)) << error;
  EXPECT_EQ(Read(out), Read(reference));
}

TEST_F(ConvertFormats, RefusedInputWritesNoOutputInAnyFormat) {
  const auto bad = (dir / "bad.gvlm").string();
  std::string error, message;
  ASSERT_TRUE(WriteFileAtomically(bad, "xx$#GVLM@#", error));
  for (const char* name : {"a.tab", "a.html", "a.mid"}) {
    EXPECT_EQ(ConvertTabFile(bad, (dir / name).string(), message), 1);
    EXPECT_EQ(message, kDamagedTabFileMessage);
    EXPECT_FALSE(fs::exists(dir / name));
  }
}

}  // namespace

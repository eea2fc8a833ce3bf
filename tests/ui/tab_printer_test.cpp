// PDF export and printing: the file's pages and text read back with Qt's PDF reader, the window's
// commands through the scripted dialogs.
#include <QPdfDocument>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <locale.h>

#include <initializer_list>
#include <vector>

#include "files/tab_export.h"
// GCC 12 at -O2 sees an uninitialised QString inside std::optional in the scripted dialogs' queue
// (a false positive of its inliner).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "tests/ui/main_window_fixture.h"
#pragma GCC diagnostic pop
#include "layout/page_layout.h"
#include "tests/expressive_song.h"
#include "ui/tab_printer.h"

namespace {

// 14 lines of four 4/4 bars with all rows shown: five lines under the header of page 1, six on
// each following page, so three pages of A4.
Osnova ThreePageSong() {
  Osnova doc(4, 56, 4);
  for (int b = 0; b < 56; ++b) {
    TBar* bar = &doc.EditBar(b);
    for (int p = 0; p < 16; p += 2) bar->Rows[RowHiHat].Set(p, 0, 0);
    bar->Rows[RowSnare].Set(4, 0, 1);
    bar->Rows[RowBass].Set(0, 0, 0);
  }
  doc.Song = "Caf\xe9 Groove";  // Windows-1252 bytes, as the tab file stores them
  doc.Artist = "The Band";
  doc.EditBar(0).Comment = "count in";
  doc.SongParts = {{4, "Verse"}};
  return doc;
}

// The page's text without any white space: the reader guesses spaces and line breaks from the
// glyphs' places, and guesses differently from page to page.
QString Squeezed(QString text) {
  text.remove(QRegularExpression(QStringLiteral("\\s")));
  return text;
}
QString PageText(QPdfDocument& pdf, int page) { return Squeezed(pdf.getAllText(page).text()); }

// The bytes loaded by Qt's PDF reader (from a file: loading a path is synchronous).
class PdfFile {
 public:
  explicit PdfFile(const QByteArray& bytes) {
    if (file_.open()) {
      file_.write(bytes);
      file_.flush();
      pdf.load(file_.fileName());
    }
  }

 private:
  QTemporaryFile file_;

 public:
  QPdfDocument pdf;
};

}  // namespace

TEST(TabPrinter, PdfOfAThreePageSongHasThreeVectorPagesWithTheSongInformation) {
  const Osnova doc = ThreePageSong();
  const ExportBoxes boxes{"4", "4", "132"};
  ASSERT_EQ(print::LayOutPages(doc, boxes, print::kA4).Pages.size(), 3u);

  const QByteArray bytes = PdfBytes(doc, boxes, print::kA4);
  ASSERT_TRUE(bytes.startsWith("%PDF-"));
  // Vectors and text, not a picture of the page.
  EXPECT_FALSE(bytes.contains("/Subtype /Image"));

  PdfFile file(bytes);
  ASSERT_EQ(file.pdf.status(), QPdfDocument::Status::Ready);
  ASSERT_EQ(file.pdf.pageCount(), 3);
  EXPECT_EQ(file.pdf.metaData(QPdfDocument::MetaDataField::Title).toString(), u"Caf\u00e9 Groove");
  const QSizeF a4 = file.pdf.pagePointSize(0);
  EXPECT_NEAR(a4.width(), 595, 1);
  EXPECT_NEAR(a4.height(), 842, 1);

  const QString first = PageText(file.pdf, 0);
  for (const QString& expected : {u"Caf\u00e9 Groove"_qs, u"The Band"_qs, u"Tempo:"_qs, u"132"_qs,
                                  u"count in"_qs, u"Verse"_qs, u"Snare:"_qs, u"Page 1 of 3"_qs})
    EXPECT_TRUE(first.contains(Squeezed(expected))) << expected.toStdString() << " not in:\n"
                                          << first.toStdString();
  // The header is on the first page only; every page has its number.
  for (int page = 1; page < 3; ++page) {
    const QString text = PageText(file.pdf, page);
    EXPECT_FALSE(text.contains(u"Groove"_qs)) << "page " << page + 1;
    EXPECT_TRUE(text.contains(QStringLiteral("Page%1of3").arg(page + 1))) << text.toStdString();
    EXPECT_TRUE(text.contains(u"Hi-Hat:"_qs)) << "page " << page + 1;
  }
}

// On paper as in the view: ghost notes grey, the articulations' letters, the sticking under the rows.
TEST(TabPrinter, ExpressiveNotesArePrintedAsTheViewShowsThem) {
  auto song = expressive_song::Make();
  const auto plain = expressive_song::Plain(*song);
  PdfFile expressive(PdfBytes(*song, {"4", "4", "120"}, print::kA4));
  PdfFile plainPdf(PdfBytes(*plain, {"4", "4", "120"}, print::kA4));
  ASSERT_EQ(expressive.pdf.pageCount(), 1);
  const QString text = PageText(expressive.pdf, 0), plainText = PageText(plainPdf.pdf, 0);
  EXPECT_EQ(text.count('#'), 2);  // the chokes of the cymbal and ride rows
  EXPECT_EQ(plainText.count('#'), 0);
  EXPECT_EQ(text.count('R') - plainText.count('R'), 5) << "the sticking's R";
  EXPECT_EQ(text.count('f') + text.count('F') - plainText.count('f') - plainText.count('F'), 9)
      << "a flam and an accented flam on each of four drums, and the 2/4 bar's flam";
  auto greyPixels = [](QPdfDocument& pdf) {
    const QImage page = pdf.render(0, QSize(1240, 1754));
    int grey = 0;
    for (int y = 0; y < page.height(); ++y)
      for (int x = 0; x < page.width(); ++x) {
        const QColor c = page.pixelColor(x, y);
        if (c.red() > 90 && c.red() < 170 && c.red() == c.green() && c.green() == c.blue()) ++grey;
      }
    return grey;
  };
  EXPECT_GT(greyPixels(expressive.pdf), greyPixels(plainPdf.pdf) + 20) << "ghost notes are grey";
}

// Grid bars are counted on paper as in the view, and a swung song says so with its information.
TEST(TabPrinter, SwingLineAndTheCountsOfEachGrid) {
  Osnova doc(4, 2, 4);
  TBar& triplets = doc.EditBar(0);
  triplets.Grid = BarGrid::SixteenthTriplets;
  triplets.Length = 24;
  for (int p = 6; p < 12; ++p) triplets.Rows[RowSnare].Set(p, 0, 0);
  TBar& eighths = doc.EditBar(1);
  eighths.Grid = BarGrid::EighthTriplets;
  eighths.Length = 12;
  for (int p = 9; p < 12; ++p) eighths.Rows[RowBass].Set(p, 0, 0);
  doc.Swing = SongSwing{33, SwingUnit::Eighths};
  PdfFile file(PdfBytes(doc, {"4", "4", "100"}, print::kA4));
  ASSERT_EQ(file.pdf.pageCount(), 1);
  const QString text = PageText(file.pdf, 0);
  for (const QString& expected : {u"Swing:33%8ths"_qs, u"2tl+tl"_qs, u"4+a"_qs})
    EXPECT_TRUE(text.contains(expected)) << expected.toStdString() << " not in:\n" << text.toStdString();

  doc.Swing = SongSwing{};
  PdfFile straight(PdfBytes(doc, {"4", "4", "100"}, print::kA4));
  EXPECT_FALSE(PageText(straight.pdf, 0).contains(u"Swing"_qs));
}

TEST(TabPrinter, LetterPaperMakesLetterPages) {
  const QByteArray bytes = PdfBytes(ThreePageSong(), {"4", "4", "120"}, print::kLetter);
  PdfFile file(bytes);
  ASSERT_GE(file.pdf.pageCount(), 3);
  EXPECT_NEAR(file.pdf.pagePointSize(0).width(), 612, 1);
  EXPECT_NEAR(file.pdf.pagePointSize(0).height(), 792, 1);
}

TEST(TabPrinter, PdfCarriesTitleAndAuthorAndStaysAValidFile) {
  Osnova doc = ThreePageSong();
  doc.TabAuthor = "J\xf6rg Tabber";  // Windows-1252 bytes
  for (const bool withTabAuthor : {true, false}) {
    if (!withTabAuthor) doc.TabAuthor.clear();
    const QByteArray bytes = PdfBytes(doc, {"4", "4", "120"}, print::kA4);
    PdfFile file(bytes);
    ASSERT_EQ(file.pdf.status(), QPdfDocument::Status::Ready);
    EXPECT_EQ(file.pdf.pageCount(), 3);
    EXPECT_EQ(file.pdf.metaData(QPdfDocument::MetaDataField::Title).toString(), u"Caf\u00e9 Groove");
    // The one who wrote the tab down, else the band.
    EXPECT_EQ(file.pdf.metaData(QPdfDocument::MetaDataField::Author).toString(),
              withTabAuthor ? u"J\u00f6rg Tabber"_qs : u"The Band"_qs);
    // Every offset of the cross-reference table still points at its object: a reader needs no
    // repair to open the file.
    const qsizetype xref = bytes.lastIndexOf("\nxref\n");
    ASSERT_GT(xref, 0);
    const qsizetype first = bytes.indexOf('\n', xref + 6) + 1;
    const int count = bytes.mid(xref + 6, first - xref - 7).trimmed().split(' ').value(1).toInt();
    ASSERT_GT(count, 10);
    for (int i = 1; i < count; ++i) {
      const QByteArray entry = bytes.mid(first + 20 * i, 20);
      if (entry[17] != 'n') continue;
      const qsizetype offset = entry.left(10).toLongLong();
      EXPECT_TRUE(bytes.mid(offset).startsWith(QByteArray::number(i) + " 0 obj")) << "object " << i;
    }
    const qsizetype startxref = bytes.lastIndexOf("startxref\n") + 10;
    EXPECT_EQ(bytes.mid(startxref, bytes.indexOf('\n', startxref) - startxref).trimmed().toLongLong(),
              xref + 1);
  }
}

// The environment variables a test changes, put back as they were.
class EnvironmentGuard {
 public:
  explicit EnvironmentGuard(std::initializer_list<const char*> names) {
    for (const char* name : names)
      saved_.push_back({name, qEnvironmentVariableIsSet(name), qgetenv(name)});
  }
  ~EnvironmentGuard() {
    for (const Saved& s : saved_) {
      if (s.Set)
        qputenv(s.Name, s.Value);
      else
        qunsetenv(s.Name);
    }
  }

 private:
  struct Saved {
    const char* Name;
    bool Set;
    QByteArray Value;
  };
  std::vector<Saved> saved_;
};

TEST(TabPrinter, DefaultPaperIsTheLocalesPaper) {
  // en_CA: Letter paper with metric measurement, so only the paper size itself can say Letter.
  const locale_t canada = newlocale(LC_PAPER_MASK, "en_CA.UTF-8", static_cast<locale_t>(nullptr));
  if (canada == static_cast<locale_t>(nullptr))
    GTEST_SKIP() << "no en_CA.UTF-8 locale (localedef -i en_CA -f UTF-8 en_CA.UTF-8)";
  freelocale(canada);
  EnvironmentGuard guard{"LC_ALL", "LC_PAPER", "LANG", "GROOVELOOM_PAPER"};
  qunsetenv("LC_ALL");
  qunsetenv("GROOVELOOM_PAPER");
  qputenv("LANG", "C.UTF-8");
  qputenv("LC_PAPER", "en_CA.UTF-8");
  EXPECT_STREQ(DefaultPaper().Name, "Letter");
  qunsetenv("LC_PAPER");
  qputenv("LC_ALL", "en_CA.UTF-8");
  EXPECT_STREQ(DefaultPaper().Name, "Letter");
  qputenv("LC_ALL", "C.UTF-8");
  EXPECT_STREQ(DefaultPaper().Name, "A4");
  // The user's explicit choice comes first.
  qputenv("LC_ALL", "en_CA.UTF-8");
  qputenv("GROOVELOOM_PAPER", "a4");
  EXPECT_STREQ(DefaultPaper().Name, "A4");
}

TEST(TabPrinter, PrinterPrintsThePageRangeChosenInItsDialogOnItsPaper) {
  QTemporaryDir folder;
  const QString path = folder.filePath(u"printed.pdf"_qs);
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(path);
  printer.setPageSize(QPageSize(QPageSize::A4));
  printer.setPrintRange(QPrinter::PageRange);
  printer.setFromTo(2, 3);
  std::string error;
  ASSERT_TRUE(PrintTab(printer, ThreePageSong(), {"4", "4", "120"}, error)) << error;
  QFile printed(path);
  ASSERT_TRUE(printed.open(QIODevice::ReadOnly));
  PdfFile file(printed.readAll());
  ASSERT_EQ(file.pdf.pageCount(), 2);
  EXPECT_TRUE(PageText(file.pdf, 0).contains(u"Page2of3"_qs));
  EXPECT_TRUE(PageText(file.pdf, 1).contains(u"Page3of3"_qs));

  // Landscape: the sheet's own width and height, so more, shorter pages.
  printer.setPrintRange(QPrinter::AllPages);
  printer.setPageOrientation(QPageLayout::Landscape);
  ASSERT_TRUE(PrintTab(printer, ThreePageSong(), {"4", "4", "120"}, error)) << error;
  QFile landscape(path);
  ASSERT_TRUE(landscape.open(QIODevice::ReadOnly));
  PdfFile wide(landscape.readAll());
  EXPECT_GT(wide.pdf.pageCount(), 3);
  EXPECT_NEAR(wide.pdf.pagePointSize(0).width(), 842, 1);
}

TEST_F(MainWindowTest, PdfExportWritesTheFileAndAFailedWriteKeepsTheOldOne) {
  TFmain& w = Window();
  dialogs.OpenAnswers = {WriteTabFile("song.gvlm", ThreePageSong())};
  w.OpenDocument();
  TypeAndLeave(Find<TempoBox>("ETempo"), "90");

  const QString path = PathIn("song.pdf");
  dialogs.SaveAnswers = {path};
  Find<QAction>("PDFFile1")->trigger();
  EXPECT_EQ(dialogs.Log().back().What, ScriptedDialogService::Shown::Kind::SaveFile);
  EXPECT_EQ(dialogs.Log().back().Title, "Export your drum tab to a PDF file");
  EXPECT_EQ(dialogs.Log().back().Request.DefaultSuffix, "pdf");
  const QByteArray written = Contents(path);
  PdfFile file(written);
  ASSERT_EQ(file.pdf.status(), QPdfDocument::Status::Ready);
  EXPECT_EQ(file.pdf.pageCount(),
            static_cast<int>(print::LayOutPages(*w.Document(), {"4", "4", "90"}, DefaultPaper()).Pages.size()));
  EXPECT_TRUE(PageText(file.pdf, 0).contains(u"90"_qs));  // the tempo box's, as the other exports
  EXPECT_TRUE(dialogs.Messages().empty());

  // A disk that fills up: a message, and the old file stays as it was.
  TestWriteFaults().FailAfterBytes = 100;
  dialogs.SaveAnswers = {path};
  Find<QAction>("PDFFile1")->trigger();
  TestWriteFaults().FailAfterBytes = -1;
  ASSERT_EQ(dialogs.Messages().size(), 1u);
  EXPECT_TRUE(dialogs.Messages()[0].contains(path));
  EXPECT_EQ(Contents(path), written);
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 2) << "temporary file left";

  // Cancelled: nothing written, nothing said.
  QFile::remove(path);
  dialogs.SaveAnswers = {std::nullopt};
  Find<QAction>("PDFFile1")->trigger();
  EXPECT_FALSE(QFile::exists(path));
  EXPECT_TRUE(dialogs.Drained());
}

TEST_F(MainWindowTest, PrintGoesThroughThePrintDialogAndPrintsEveryPage) {
  TFmain& w = Window();
  EXPECT_FALSE(Find<QAction>("Print1")->isEnabled()) << "nothing to print before a document";
  dialogs.OpenAnswers = {WriteTabFile("song.gvlm", ThreePageSong())};
  w.OpenDocument();
  ASSERT_TRUE(Find<QAction>("Print1")->isEnabled());

  // Ctrl+P: the dialog is the service's; the scripted one sends the pages to a PDF file.
  const QString printed = PathIn("printed.pdf");
  dialogs.PrintAnswers = {printed};
  w.NoControl();
  Press(Qt::Key_P, Qt::ControlModifier);
  ASSERT_EQ(dialogs.Count(ScriptedDialogService::Shown::Kind::Print), 1);
  PdfFile file(Contents(printed));
  ASSERT_EQ(file.pdf.status(), QPdfDocument::Status::Ready);
  // No printer here: the locale's paper.
  EXPECT_EQ(file.pdf.pageCount(),
            static_cast<int>(print::LayOutPages(*w.Document(), {"4", "4", "120"}, DefaultPaper()).Pages.size()));
  EXPECT_TRUE(PageText(file.pdf, 0).contains(u"Caf\u00e9Groove"_qs));
  const int last = file.pdf.pageCount() - 1;
  EXPECT_TRUE(PageText(file.pdf, last).contains(QStringLiteral("Page%1of%1").arg(last + 1)));

  // Cancel prints nothing.
  QFile::remove(printed);
  dialogs.PrintAnswers = {std::nullopt};
  Find<QAction>("Print1")->trigger();
  EXPECT_EQ(dialogs.Count(ScriptedDialogService::Shown::Kind::Print), 2);
  EXPECT_FALSE(QFile::exists(printed));
  EXPECT_TRUE(dialogs.Messages().empty());
}

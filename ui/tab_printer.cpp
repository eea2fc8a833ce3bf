#include "model/expressive_notes.h"
#include "ui/tab_printer.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QRawFont>
#include <array>
#include <cstdint>
#include <string_view>

#include "common/atomic_file.h"
#include "files/convert.h"
#include "files/program_info.h"
#include "ui/cp1252.h"
#include "ui/tab_font.h"
#include "layout/view_layout.h"

namespace {

// The view's fonts at its 96 dpi: 10 points are 13 pixels, 9 points 12; here pixels are units.
constexpr int kTabTextPixels = 13;
constexpr int kCountPixels = 12;
constexpr double kStrokeWidth = 1.0;  // one view pixel

QFont MakeFont(const char* family, int pixels, bool bold, bool fixedPitch) {
  QFont font = TabFont(bold, family, fixedPitch);
  font.setPixelSize(pixels);
  // Outlines as designed: hinting would round advances to whole units at these small sizes.
  font.setHintingPreference(QFont::PreferNoHinting);
  return font;
}

// Letters, counts and row labels are placed glyph by glyph at fixed columns; one glyph run per
// font and system keeps a 5000-bar song to a few thousand drawing calls instead of a hundred
// thousand text layouts. Only ASCII goes through here; the users' texts use drawText.
class GlyphRunBuilder {
 public:
  explicit GlyphRunBuilder(const QFont& font) : font_(font), raw_(QRawFont::fromFont(font)) {
    if (!raw_.isValid()) return;
    ascent_ = raw_.ascent();
    for (int c = 32; c < 127; ++c) {
      const QList<quint32> glyph = raw_.glyphIndexesForString(QString(QChar(c)));
      if (glyph.size() != 1) continue;
      glyphs_[static_cast<std::size_t>(c)] = glyph.first();
      advances_[static_cast<std::size_t>(c)] = raw_.advancesForGlyphIndexes(glyph).value(0).x();
    }
  }

  // `text` with its cell's top left at (x, top), as the view places text.
  void Add(QPainter& painter, double x, double top, std::string_view text) {
    if (!raw_.isValid()) {  // no raw access to the font: plain text, slower but the same page
      painter.setFont(font_);
      painter.drawText(QPointF(x, top + QFontMetricsF(painter.font(), painter.device()).ascent()),
                       QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
      return;
    }
    for (char ch : text) {
      const auto c = static_cast<unsigned char>(ch);
      if (c < 32 || c >= 127) continue;
      if (c != ' ') {
        indexes_.push_back(glyphs_[c]);
        positions_.push_back(QPointF(x, top + ascent_));
      }
      x += advances_[c];
    }
  }

  void Flush(QPainter& painter) {
    if (indexes_.isEmpty()) return;
    QGlyphRun run;
    run.setRawFont(raw_);
    run.setGlyphIndexes(indexes_);
    run.setPositions(positions_);
    painter.drawGlyphRun(QPointF(0, 0), run);
    indexes_.clear();
    positions_.clear();
  }

 private:
  QFont font_;
  QRawFont raw_;
  double ascent_ = 0.0;
  std::array<quint32, 128> glyphs_{};
  std::array<double, 128> advances_{};
  QList<quint32> indexes_;
  QList<QPointF> positions_;
};

struct PageFonts {
  QFont Label = MakeFont("DejaVu Sans Mono", kTabTextPixels, false, true);  // also comments
  QFont Letter = MakeFont("DejaVu Sans Mono", kTabTextPixels, true, true);
  QFont Count = MakeFont("DejaVu Sans Mono", kCountPixels, false, true);
  // Part names in the comments' monospaced font: the page layout places them by its advance.
  QFont Part = MakeFont("DejaVu Sans Mono", kTabTextPixels, true, true);
  QFont Title = MakeFont("DejaVu Sans", 24, true, false);
  QFont Subtitle = MakeFont("DejaVu Sans", 16, false, false);
  QFont FieldLabel = MakeFont("DejaVu Sans", kTabTextPixels, true, false);
  QFont FieldValue = MakeFont("DejaVu Sans", kTabTextPixels, false, false);
  QFont PageNumber = MakeFont("DejaVu Sans", 11, false, false);

  const QFont& Of(print::TextStyle style) const {
    switch (style) {
      case print::TextStyle::Title: return Title;
      case print::TextStyle::Subtitle: return Subtitle;
      case print::TextStyle::FieldLabel: return FieldLabel;
      case print::TextStyle::FieldValue: return FieldValue;
      case print::TextStyle::PageNumber: return PageNumber;
      case print::TextStyle::PartName: return Part;
      case print::TextStyle::Comment: return Label;
    }
    return FieldValue;
  }
};

// Everything one page needs, built once per print run.
struct PagePainter {
  PageFonts Fonts;
  GlyphRunBuilder Labels{Fonts.Label};
  GlyphRunBuilder Letters{Fonts.Letter};
  GlyphRunBuilder Counts{Fonts.Count};
  GlyphRunBuilder Ghosts{Fonts.Letter};  // ghost notes: their letters in grey, as the view has them

  void PaintSystem(QPainter& painter, const Osnova& doc, const print::PageLayout& layout,
                   const print::PrintedSystem& system);
};


void PagePainter::PaintSystem(QPainter& painter, const Osnova& doc, const print::PageLayout& layout,
                              const print::PrintedSystem& system) {
  const int n = layout.ShownRows;
  const int H = layout.LineHeight;
  const double top = system.LineTop();
  const std::vector<int> columns = StartColumns(doc, system);
  const int endColumn = columns.back() + doc.Bar(system.LastBar).Length;  // after the last bar

  // The view's lines are one pixel wide at whole pixels; their centres are half a pixel in.
  const double barTop = top + view::BarLineTop(H, 0);
  const double barBottom = top + view::BarLineBottom(H, 0, n) + 1;
  QList<QLineF> lines;
  lines.reserve(static_cast<qsizetype>(columns.size()) + 1 + n);
  for (int column : columns) {
    const double x = view::BarLineX(column) + 0.5;
    lines.push_back(QLineF(x, barTop, x, barBottom));
  }
  const double right = view::BarLineX(endColumn) + 0.5;
  lines.push_back(QLineF(right, barTop, right, barBottom));
  for (int s = 0; s < n; ++s) {
    const double y = top + view::StaffY(H, 0, s) + 0.5;
    lines.push_back(QLineF(view::BarLineX(0), y, view::BarLineX(endColumn) + 1, y));
  }
  painter.drawLines(lines);

  int k = 0;
  for (int r = 0; r < kRowCount; ++r) {
    if (!doc.Kit[r]) continue;
    Labels.Add(painter, 10, top + view::LabelY(H, 0, k), kRowLabels[r]);
    ++k;
  }

  for (std::size_t i = 0; i < columns.size(); ++i) {
    const TBar& bar = doc.Bar(system.FirstBar + static_cast<int>(i));
    const int start = columns[i];
    for (int r = RowCymbals; r <= RowBass; ++r) {
      if (!doc.Kit[r]) continue;
      const TNoteRow& notes = bar.Rows[r];
      const double y = top + view::LetterY(H, 0, doc.LineOfRow[r] - 1);
      for (int p = 0; p < bar.Length; ++p) {
        if (!notes.Has(p)) continue;
        const TNoteCell& cell = notes.Cells[p];
        const char letter = ShownLetter(r, cell);
        (cell.Ghost ? Ghosts : Letters).Add(painter, view::LetterX(start + p), y, std::string_view(&letter, 1));
      }
    }
    // The hi-hat foot and the sticking under the rows, where the view has them.
    const double extras = top + view::LetterY(H, 0, n + kFootSlotBelowRows);
    for (int p = 0; p < bar.Length; ++p) {
      if (doc.Kit[RowHiHat] && ((bar.FootNotes >> p) & 1u)) Letters.Add(painter, view::LetterX(start + p), extras, "x");
      if (const char s = bar.Sticking[static_cast<std::size_t>(p)])
        Counts.Add(painter, view::LetterX(start + p), extras + kStickingBelowFoot, std::string_view(&s, 1));
    }
    const uint64_t counted = CountedPositions(doc, bar);
    for (int p = 0; p < bar.Length; ++p)
      if ((counted >> p) & 1u)
        Counts.Add(painter, view::LetterX(start + p), top + view::CountY(H, 0), GridCountLabel(bar.Grid, p));
  }
  Labels.Flush(painter);
  Letters.Flush(painter);
  Counts.Flush(painter);
  const QPen pen = painter.pen();
  painter.setPen(QColor(128, 128, 128));
  Ghosts.Flush(painter);
  painter.setPen(pen);

  // Comments and part names where the layout placed them, wrapped and on lines of their own so
  // none overprints another.
  for (const print::PlacedText& text : system.Texts) {
    painter.setFont(Fonts.Of(text.Style));
    const double ascent = QFontMetricsF(painter.font(), painter.device()).ascent();
    painter.drawText(QPointF(text.X, text.Y + ascent), FromCp1252(text.Text));
  }
}

void PaintPages(QPainter& painter, PagePainter& pages, const Osnova& doc,
                const print::PageLayout& layout, int from, int to,
                const std::function<void()>& newPage) {
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  QPen pen(Qt::black, kStrokeWidth);
  pen.setCapStyle(Qt::FlatCap);
  for (int index = from; index <= to; ++index) {
    if (index > from) newPage();
    const print::PrintedPage& page = layout.Pages[static_cast<std::size_t>(index)];
    painter.save();
    // Device pixels per point from the device itself: the PDF writer and printers differ.
    const double perPoint = painter.device()->width() / layout.Sheet.WidthPt;
    painter.scale(perPoint, perPoint);
    painter.translate(print::kMarginPt, print::kMarginPt);
    painter.scale(layout.Scale, layout.Scale);
    painter.setClipRect(QRectF(0, 0, layout.ContentWidth, layout.ContentHeight));
    painter.setPen(pen);
    for (const print::PlacedText& text : page.Texts) {
      painter.setFont(pages.Fonts.Of(text.Style));
      const int flags = Qt::AlignVCenter | Qt::TextSingleLine |
                        (text.Centered ? Qt::AlignHCenter : Qt::AlignLeft);
      painter.drawText(QRectF(text.X, text.Y, text.Width, text.Height), flags,
                       FromCp1252(text.Text));
    }
    for (const print::PrintedSystem& system : page.Systems)
      pages.PaintSystem(painter, doc, layout, system);
    painter.restore();
  }
}

// Qt's PDF writer has no author field: the entry goes into its document information dictionary
// (object 1, at the head of the file), and every cross-reference offset after it moves along.
// A file not laid out as expected is left as it is, without the author.
QByteArray WithAuthor(const QByteArray& pdf, const QString& author) {
  if (author.isEmpty()) return pdf;
  const QByteArray head = "\n1 0 obj\n<<\n";
  const qsizetype info = pdf.indexOf(head);
  const qsizetype xref = pdf.lastIndexOf("\nxref\n");
  const qsizetype startxref = pdf.lastIndexOf("\nstartxref\n");
  if (info < 0 || xref < info || startxref < xref) return pdf;
  const qsizetype at = info + head.size();

  QByteArray entry = "/Author <FEFF";
  for (const QChar c : author) entry += QByteArray::number(c.unicode(), 16).rightJustified(4, '0').toUpper();
  entry += ">\n";
  const qsizetype shift = entry.size();

  QByteArray out = pdf;
  // The table: "xref", "0 N", then N entries of 20 bytes, "0000012345 00000 n \n".
  qsizetype line = xref + 6;
  const qsizetype headerEnd = out.indexOf('\n', line);
  const QList<QByteArray> counts = out.mid(line, headerEnd - line).trimmed().split(' ');
  bool ok = counts.size() == 2;
  const int n = ok ? counts[1].toInt(&ok) : 0;
  if (!ok || headerEnd + 1 + qsizetype{20} * n > startxref + 1) return pdf;
  for (int i = 0; i < n; ++i) {
    const qsizetype e = headerEnd + 1 + qsizetype{20} * i;
    if (out[e + 17] != 'n') continue;
    const qlonglong offset = out.mid(e, 10).toLongLong(&ok);
    if (!ok) return pdf;
    if (offset >= at) out.replace(e, 10, QByteArray::number(offset + shift).rightJustified(10, '0'));
  }
  const qsizetype number = startxref + 11;
  const qsizetype numberEnd = out.indexOf('\n', number);
  const qlonglong xrefOffset = out.mid(number, numberEnd - number).trimmed().toLongLong(&ok);
  if (!ok) return pdf;
  out.replace(number, numberEnd - number, QByteArray::number(xrefOffset + shift) + ' ');
  out.insert(at, entry);
  return out;
}

}  // namespace

QPageSize PageSizeOf(const print::Paper& paper) {
  const std::string_view name = paper.Name;
  if (name == print::kA4.Name) return QPageSize(QPageSize::A4);
  if (name == print::kLetter.Name) return QPageSize(QPageSize::Letter);
  return QPageSize(QSizeF(paper.WidthPt, paper.HeightPt), QPageSize::Point, QString(),
                   QPageSize::ExactMatch);
}

print::Paper DefaultPaper() {
  const QByteArray chosen = qgetenv("GROOVELOOM_PAPER").toLower();
  if (chosen == "a4") return print::kA4;
  if (chosen == "letter") return print::kLetter;
  if (const std::optional<print::Paper> paper = print::LocalePaper()) return *paper;
  return QLocale::system().measurementSystem() == QLocale::ImperialUSSystem ? print::kLetter
                                                                            : print::kA4;
}

void PaintTabPages(QPainter& painter, const Osnova& doc, const print::PageLayout& layout, int from,
                   int to, const std::function<void()>& newPage) {
  PagePainter pages;  // once per run: its glyph tables cost more than a page
  PaintPages(painter, pages, doc, layout, from, to, newPage);
}

QByteArray PdfBytes(const Osnova& doc, const ExportBoxes& boxes, const print::Paper& paper) {
  const print::PageLayout layout = print::LayOutPages(doc, boxes, paper);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&buffer);
    writer.setCreator(QString::fromLatin1(kProgramNameAndVersion));
    writer.setTitle(FromCp1252(doc.Song));
    writer.setPageLayout(QPageLayout(PageSizeOf(paper), QPageLayout::Portrait, QMarginsF()));
    QPainter painter(&writer);
    PaintTabPages(painter, doc, layout, 0, static_cast<int>(layout.Pages.size()) - 1,
                  [&writer] { writer.newPage(); });
  }
  // The one who wrote the tab down, else the band.
  return WithAuthor(bytes, FromCp1252(doc.TabAuthor.empty() ? doc.Artist : doc.TabAuthor));
}

bool ExportPdf(const Osnova& doc, const ExportBoxes& boxes, const print::Paper& paper,
               const std::string& path, std::string& error) {
  const QByteArray bytes = PdfBytes(doc, boxes, paper);
  return WriteFileAtomically(path, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                             error);
}

bool WritePdfFile(Osnova& doc, const std::string& path, std::string& error) {
  return ExportPdf(doc, BoxesAfterOpen(doc), DefaultPaper(), path, error);
}

bool PrintTab(QPrinter& printer, const Osnova& doc, const ExportBoxes& boxes, std::string& error) {
  // Our own margins on the whole sheet, whatever margins the printer's settings carry.
  printer.setFullPage(true);
  const QRectF sheet = printer.pageLayout().fullRectPoints();
  const print::Paper paper{"Custom", sheet.width(), sheet.height()};
  const print::PageLayout layout = print::LayOutPages(doc, boxes, paper);
  const int last = static_cast<int>(layout.Pages.size()) - 1;
  int from = 0;
  int to = last;
  if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
    from = std::min(printer.fromPage() - 1, last);
    to = printer.toPage() > 0 ? std::clamp(printer.toPage() - 1, from, last) : last;
  }
  QPainter painter;
  if (!painter.begin(&printer)) {
    error = "the printer could not be started";
    return false;
  }
  PaintTabPages(painter, doc, layout, from, to, [&printer] { printer.newPage(); });
  if (!painter.end()) {
    error = "the printer did not take the pages";
    return false;
  }
  return true;
}

FileDialogSpec SavePdfSpec() {
  return SaveDialogRequest(QStringLiteral("Export your drum tab to a PDF file"),
                           QStringLiteral("PDF Files (*.pdf);;All Files (*)"), QStringLiteral("pdf"));
}

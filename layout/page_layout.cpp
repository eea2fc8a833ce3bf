#include "layout/page_layout.h"

#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <cstdint>

#include "layout/view_layout.h"

namespace print {

namespace {

constexpr double kTitleHeight = 30.0;
constexpr double kSubtitleHeight = 20.0;
constexpr double kFieldHeight = 18.0;
constexpr double kFieldLabelX = 10.0;
constexpr double kFieldValueX = 100.0;
constexpr double kPageNumberHeight = 16.0;

// The header block at the top of the first page; returns its height (gap included).
double LayOutHeader(const Osnova& doc, const ExportBoxes& boxes, double width,
                    std::vector<PlacedText>& texts) {
  double y = 0.0;
  if (!doc.Song.empty()) {
    texts.push_back({doc.Song, TextStyle::Title, 0.0, y, width, kTitleHeight, true});
    y += kTitleHeight + 4.0;
  }
  if (!doc.Artist.empty()) {
    texts.push_back({doc.Artist, TextStyle::Subtitle, 0.0, y, width, kSubtitleHeight, true});
    y += kSubtitleHeight + 6.0;
  }
  struct Field {
    const char* Label;
    std::string Value;
    bool Always;
  };
  const Field fields[] = {
      {"Album:", doc.Album, false},
      {"Drummer:", doc.Drummer, false},
      {"Timing:", boxes.Numerator + "/" + boxes.Denominator, true},
      {"Tempo:", boxes.Tempo, true},
      {"Swing:", SwingText(doc.Swing), false},  // a straight song says nothing of it
      {"Tabbed by:", doc.TabAuthor, false},
  };
  for (const Field& f : fields) {
    if (f.Value.empty() && !f.Always) continue;  // a blank line says nothing on paper
    texts.push_back({f.Label, TextStyle::FieldLabel, kFieldLabelX, y, kFieldValueX - kFieldLabelX,
                     kFieldHeight, false});
    texts.push_back({f.Value, TextStyle::FieldValue, kFieldValueX, y, width - kFieldValueX,
                     kFieldHeight, false});
    y += kFieldHeight;
  }
  return y + kHeaderGap;
}

// Lines of texts side by side, each line filled from the left: a text goes into the first line
// (and the ones below it, when wrapped) where nothing stands at or right of its start.
class TextLines {
 public:
  // The first of `count` consecutive lines free from `x` on, taken up to the ends given.
  int Place(double x, const std::vector<double>& widths) {
    std::size_t first = 0;
    for (;; ++first) {
      bool free = true;
      for (std::size_t k = 0; k < widths.size() && free; ++k)
        free = first + k >= ends_.size() || ends_[first + k] <= x;
      if (free) break;
    }
    if (ends_.size() < first + widths.size()) ends_.resize(first + widths.size(), 0.0);
    for (std::size_t k = 0; k < widths.size(); ++k) ends_[first + k] = x + widths[k] + kTextGap;
    return static_cast<int>(first);
  }
  int Count() const { return static_cast<int>(ends_.size()); }

 private:
  std::vector<double> ends_;
};

struct WrappedText {
  double X;
  int Line;
  std::vector<std::string> Lines;
};

// Places `text` starting at `x` among `lines`, wrapped to the room left before `right`.
WrappedText PlaceText(TextLines& lines, const std::string& text, double x, double right) {
  const int room = static_cast<int>((right - x) / kTextAdvance);
  // A text starting too near the right edge to hold a word of its own moves left instead.
  constexpr int kLeastRoom = 12;
  if (room < kLeastRoom) x = std::max(0.0, right - kLeastRoom * kTextAdvance);
  WrappedText wrapped{x, 0, WrapText(text, static_cast<int>((right - x) / kTextAdvance))};
  std::vector<double> widths;
  for (const std::string& line : wrapped.Lines) widths.push_back(line.size() * kTextAdvance);
  wrapped.Line = lines.Place(x, widths);
  return wrapped;
}

// Part names above the bars and comments in the comment lines, none overprinting another.
void PlaceSystemTexts(const Osnova& doc, double width, int H, PrintedSystem& system) {
  const std::vector<int> columns = StartColumns(doc, system);
  TextLines partLines;
  std::vector<WrappedText> parts;
  for (const PartMark& part : system.Parts)
    parts.push_back(PlaceText(partLines, part.Name,
                              view::LetterX(columns[static_cast<std::size_t>(part.Bar - system.FirstBar)]),
                              width));
  TextLines commentLines;
  std::vector<WrappedText> comments;
  for (int b = system.FirstBar; b <= system.LastBar; ++b) {
    const TBar& bar = doc.Bar(b);
    if (bar.Comment.find_first_not_of(' ') == std::string::npos) continue;
    comments.push_back(PlaceText(commentLines, bar.Comment,
                                 view::LetterX(columns[static_cast<std::size_t>(b - system.FirstBar)]),
                                 width));
  }
  system.PartLines = partLines.Count();
  system.CommentLines = commentLines.Count();
  for (const WrappedText& part : parts)
    for (std::size_t k = 0; k < part.Lines.size(); ++k)
      system.Texts.push_back({part.Lines[k], TextStyle::PartName, part.X,
                              system.Top + (part.Line + static_cast<int>(k)) * kPartStrip,
                              part.Lines[k].size() * kTextAdvance, kPartStrip, false});
  // The comment lines stack down to the view's own, just above the counts.
  const double firstComment = system.Top + system.PartLines * kPartStrip + view::CommentY(H, 0);
  for (const WrappedText& comment : comments)
    for (std::size_t k = 0; k < comment.Lines.size(); ++k)
      system.Texts.push_back({comment.Lines[k], TextStyle::Comment, comment.X,
                              firstComment + (comment.Line + static_cast<int>(k)) * kCommentLine,
                              comment.Lines[k].size() * kTextAdvance, kCommentLine, false});
}

}  // namespace

Paper PaperOfMillimetres(int width, int height) {
  if (width == 210 && height == 297) return kA4;
  if (width == 216 && height == 279) return kLetter;
  constexpr double kPointsPerMillimetre = 72.0 / 25.4;
  return {"Custom", width * kPointsPerMillimetre, height * kPointsPerMillimetre};
}

std::optional<Paper> LocalePaper() {
  // A locale object of its own: the answer does not depend on whether anyone called setlocale.
  const locale_t paper = newlocale(LC_PAPER_MASK, "", static_cast<locale_t>(nullptr));
  if (paper == static_cast<locale_t>(nullptr)) return std::nullopt;
  // glibc hands the paper's millimetres back in the bits of the pointer.
  const auto number = [paper](nl_item item) {
    return static_cast<int>(reinterpret_cast<std::uintptr_t>(nl_langinfo_l(item, paper)));
  };
  const int width = number(_NL_PAPER_WIDTH);
  const int height = number(_NL_PAPER_HEIGHT);
  freelocale(paper);
  if (width <= 0 || height <= 0 || width > 10000 || height > 10000) return std::nullopt;
  return PaperOfMillimetres(width, height);
}

double SystemInkHeight(const PageLayout& layout, const PrintedSystem& system) {
  return system.Extra() + view::BarLineBottom(layout.LineHeight, 0, layout.ShownRows) + 1;
}

std::vector<std::string> WrapText(const std::string& text, int width) {
  width = std::max(width, 1);
  std::vector<std::string> lines;
  std::string line;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    const std::size_t end = std::min(text.find(' ', i), text.size());
    std::string word = text.substr(i, end - i);
    i = end;
    // Room for the word after what the line holds (with a space), else it starts a line.
    if (!line.empty() && line.size() + 1 + word.size() <= static_cast<std::size_t>(width)) {
      line += ' ';
      line += word;
      continue;
    }
    if (!line.empty()) lines.push_back(std::move(line));
    line.clear();
    while (word.size() > static_cast<std::size_t>(width)) {
      lines.push_back(word.substr(0, static_cast<std::size_t>(width)));
      word.erase(0, static_cast<std::size_t>(width));
    }
    line = std::move(word);
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

std::string PageNumberText(int index, int count) {
  return "Page " + std::to_string(index + 1) + " of " + std::to_string(count);
}

std::vector<int> StartColumns(const Osnova& doc, const PrintedSystem& system) {
  std::vector<int> columns;
  columns.reserve(static_cast<std::size_t>(system.LastBar - system.FirstBar + 1));
  int column = 0;
  for (int b = system.FirstBar; b <= system.LastBar; ++b) {
    columns.push_back(column);
    column += doc.Bar(b).Length;
  }
  return columns;
}

PageLayout LayOutPages(const Osnova& doc, const ExportBoxes& boxes, const Paper& paper) {
  PageLayout layout;
  layout.Sheet = paper;
  // Paper too small for the margins still gets a usable, if tiny, layout rather than nothing.
  const double printableWidth = std::max(paper.WidthPt - 2 * kMarginPt, 1.0);
  const double printableHeight = std::max(paper.HeightPt - 2 * kMarginPt, 1.0);
  layout.Scale = printableWidth / kSystemWidth;
  layout.ContentWidth = kSystemWidth;
  layout.ContentHeight = printableHeight / layout.Scale;
  layout.ShownRows = ShownInstrumentRows(doc);
  layout.LineHeight = view::LineHeight(layout.ShownRows);
  layout.LastBar = std::max(LastContentBar(doc, 0, doc.BarCount - 1), 0);

  // The first song part (in list order) that starts at each bar names it, as in the text export.
  std::vector<int> partAt(static_cast<std::size_t>(layout.LastBar) + 1, -1);
  for (std::size_t i = 0; i < doc.SongParts.size(); ++i) {
    const int start = doc.SongParts[i].StartBar;
    if (start >= 0 && start <= layout.LastBar && partAt[static_cast<std::size_t>(start)] < 0)
      partAt[static_cast<std::size_t>(start)] = static_cast<int>(i);
  }

  layout.Pages.emplace_back();
  double y = LayOutHeader(doc, boxes, layout.ContentWidth, layout.Pages.back().Texts);
  const double bottom = layout.ContentHeight - kFooterHeight;

  int b = 0;
  while (b <= layout.LastBar) {
    // One view line: bars side by side while they fit in 64 columns, as the view wraps them.
    PrintedSystem system{b, b, 0.0, {}, 0, 0, {}};
    int endCol = doc.Bar(b).Length - 1;
    while (system.LastBar < layout.LastBar &&
           view::FitsAfter(endCol, doc.Bar(system.LastBar + 1).Length)) {
      ++system.LastBar;
      endCol += doc.Bar(system.LastBar).Length;
    }
    for (int bar = system.FirstBar; bar <= system.LastBar; ++bar) {
      const int part = partAt[static_cast<std::size_t>(bar)];
      if (part >= 0) system.Parts.push_back({bar, doc.SongParts[static_cast<std::size_t>(part)].Name});
    }
    PlaceSystemTexts(doc, layout.ContentWidth, layout.LineHeight, system);
    // A system never splits: it goes whole to the next page when its ink would cross the foot.
    // A page without systems takes it anyway, so a page too short for one still makes progress.
    if (y + SystemInkHeight(layout, system) > bottom && !layout.Pages.back().Systems.empty()) {
      layout.Pages.emplace_back();
      y = 0.0;
    }
    for (PlacedText& text : system.Texts) text.Y += y;
    system.Top = y;
    y += system.Extra() + layout.LineHeight;
    b = system.LastBar + 1;
    layout.Pages.back().Systems.push_back(std::move(system));
  }

  const int count = static_cast<int>(layout.Pages.size());
  for (int i = 0; i < count; ++i)
    layout.Pages[static_cast<std::size_t>(i)].Texts.push_back(
        {PageNumberText(i, count), TextStyle::PageNumber, 0.0, layout.ContentHeight - kPageNumberHeight,
         layout.ContentWidth, kPageNumberHeight, true});
  return layout;
}

}  // namespace print

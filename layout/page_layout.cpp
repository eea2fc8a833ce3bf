#include "layout/page_layout.h"

#include <algorithm>

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

}  // namespace

double SystemInkHeight(const PageLayout& layout, const PrintedSystem& system) {
  const double strip = system.Parts.empty() ? 0.0 : kPartStrip;
  return strip + view::BarLineBottom(layout.LineHeight, 0, layout.ShownRows) + 1;
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
    PrintedSystem system{b, b, 0.0, {}};
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
    // A system never splits: it goes whole to the next page when its ink would cross the foot.
    // A page without systems takes it anyway, so a page too short for one still makes progress.
    if (y + SystemInkHeight(layout, system) > bottom && !layout.Pages.back().Systems.empty()) {
      layout.Pages.emplace_back();
      y = 0.0;
    }
    system.Top = y;
    y += (system.Parts.empty() ? 0.0 : kPartStrip) + layout.LineHeight;
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

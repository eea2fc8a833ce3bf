// The printed tab (PDF export and printing): pages with a header of the song information, then the
// bars in systems as the tab view lays out its lines, song-part names above the bars where parts
// start, and a page number at every foot. Qt-free, so the pagination is tested without a display;
// the Qt layer only paints what this decides.
//
// Units: a page is laid out in the tab view's pixels (one character column 11 units, one staff
// slot 15), so a system is a view line drawn at the view's geometry; `Scale` maps units to
// points so that a full 64-column line fills the printable width.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/export_extent.h"
#include "model/tab_document.h"

namespace print {

struct Paper {
  const char* Name;  // "A4", "Letter" or "Custom"
  double WidthPt;    // 1/72 inch
  double HeightPt;
};
inline constexpr Paper kA4{"A4", 595.276, 841.890};
inline constexpr Paper kLetter{"Letter", 612.0, 792.0};

// The paper of the locale the environment names for LC_PAPER (LC_ALL, LC_PAPER, LANG), from the C
// library's locale data; nothing when that locale is not installed or gives no size.
std::optional<Paper> LocalePaper();
// The paper of a size in millimetres as the locale data gives it: A4 and Letter by name (their
// sizes rounded to whole millimetres), any other size as "Custom".
Paper PaperOfMillimetres(int width, int height);

inline constexpr double kMarginPt = 36.0;  // half an inch on every side
// Width of a system in units: row labels from x = 10, the last bar line of a full line at
// 80 + 11 * 64 = 784, and a little room for its stroke.
inline constexpr double kSystemWidth = 790.0;
// Strip above a system in which song-part names stand, only where a part starts in the system; one
// strip per line of names where names would otherwise overprint each other.
inline constexpr double kPartStrip = 18.0;
// A further line of comments above the view's comment line, where comments would otherwise
// overprint each other.
inline constexpr double kCommentLine = 16.0;
// Comments and part names print in a monospaced font (DejaVu Sans Mono, 13 units) so the layout
// knows their widths without a font: every character advances 1233/2048 of an em.
inline constexpr double kTextAdvance = 13.0 * 1233.0 / 2048.0;
// Space kept between two texts on one line.
inline constexpr double kTextGap = kTextAdvance;
// The page number's strip at the foot of the content area.
inline constexpr double kFooterHeight = 30.0;
// Space between the header and the first system.
inline constexpr double kHeaderGap = 14.0;

enum class TextStyle { Title, Subtitle, FieldLabel, FieldValue, PageNumber, PartName, Comment };

// A line of text at (X, Y) (top left of its box, units from the content area's top left), in a
// box Width wide; centred in the box when Centered. Text in Windows-1252 bytes.
struct PlacedText {
  std::string Text;
  TextStyle Style;
  double X, Y, Width, Height;
  bool Centered;
};

// Where a song part starts inside a system.
struct PartMark {
  int Bar;
  std::string Name;  // Windows-1252 bytes
};

// One view line of bars. Bars FirstBar..LastBar (inclusive) stand side by side from column 0.
struct PrintedSystem {
  int FirstBar;
  int LastBar;
  double Top;                   // units below the content top; the part strip, when any, starts here
  std::vector<PartMark> Parts;  // empty: no part strip
  int PartLines = 0;            // lines of part names in the part strip
  int CommentLines = 0;         // lines of comments; the last is the view's comment line
  // The part names and the comments, each line of a wrapped one a text of its own (Y from the
  // content top). No two overlap and none passes the content's right edge.
  std::vector<PlacedText> Texts;
  // Height of the part strip and the comment lines above the view's.
  double Extra() const {
    return PartLines * kPartStrip + (CommentLines > 1 ? (CommentLines - 1) * kCommentLine : 0.0);
  }
  // Top of the view-line geometry (comment, counts, staff) for this system.
  double LineTop() const { return Top + Extra(); }
};

struct PrintedPage {
  std::vector<PrintedSystem> Systems;
  std::vector<PlacedText> Texts;  // the header (first page only) and the page number
};

struct PageLayout {
  Paper Sheet{kA4};
  double Scale = 1.0;          // points per unit
  double ContentWidth = 0.0;   // units
  double ContentHeight = 0.0;  // units, page number strip included
  int ShownRows = 0;           // n: instrument rows shown (the counting line not counted)
  int LineHeight = 0;          // H of the view: a system's height without its part strip
  int LastBar = 0;             // the last bar printed
  std::vector<PrintedPage> Pages;
};

// Height of a system's ink: from its top to the bottom of its bar lines, part strip included.
double SystemInkHeight(const PageLayout& layout, const PrintedSystem& system);

// Lays out the whole song on pages of `paper`. Bars print up to the last bar with a comment or a
// note on a shown row, as in the text export (at least bar 0); `boxes` give the timing and tempo
// of the header, as for the other exports. Never fails: a song always makes at least one page.
PageLayout LayOutPages(const Osnova& doc, const ExportBoxes& boxes, const Paper& paper);

// The first column of every bar of a system, in bar order (the view's StartCol).
std::vector<int> StartColumns(const Osnova& doc, const PrintedSystem& system);

// `text` (Windows-1252 bytes) in lines of at most `width` characters, broken between words where
// it can be and inside a word longer than a line; spaces at a break are dropped.
std::vector<std::string> WrapText(const std::string& text, int width);

// The text at the foot of page `index` (0-based) of `count` pages: "Page 2 of 3".
std::string PageNumberText(int index, int count);

}  // namespace print

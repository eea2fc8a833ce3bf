#include "files/tab_export.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "common/atomic_file.h"
#include "files/count_line.h"
#include "files/program_info.h"
#include "model/expressive_notes.h"

namespace {

constexpr std::string_view kEol = "\r\n";

constexpr std::array<std::string_view, 4> kNotice = {
    "#-----------------------------------PLEASE NOTE---------------------------------#",
    "# This file is the author's own work and represents their interpretation of the #",
    "# song. You may only use this file for private study, scholarship, or research. #",
    "#-------------------------------------------------------------------------------#"};

constexpr std::string_view kCredit = "This Drum tab was made with Grooveloom " GROOVELOOM_VERSION;
constexpr std::string_view kLineIndent = "          ";  // where the labels stand on other lines
constexpr int kGroupPositions = 64;

enum class Style { Text, Html };

constexpr std::string_view kFootLabel = "      HF";      // the hi-hat foot, as drummers label it
constexpr std::string_view kStickingLabel = "      St";  // R, L or B (both) per position


// A note with a dynamic or articulation: the articulation's letter (upper case when accented) in
// place of the note's, a ghost note as g on the snare and in parentheses elsewhere.
void AppendCell(std::string& out, int row, const TNoteCell& cell) {
  const char letter = ShownLetter(row, cell);
  if (!cell.Ghost) {
    out += letter;
  } else if (row == RowSnare && cell.Variant == 0 && cell.Style == 0) {
    out += 'g';
  } else {
    out += '(';
    out += letter;
    out += ')';
  }
}

// A damaged document could claim more positions than a bar holds; never read past them.
int BarLength(const TBar& bar) { return std::min<int>(bar.Length, kMaxPositions); }

void AppendEscaped(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
}

// A user's text as the style wants it: as stored for the text file, escaped for the page.
void AppendUserText(std::string& out, std::string_view text, Style style) {
  if (style == Style::Html)
    AppendEscaped(out, text);
  else
    out += text;
}

void AppendLine(std::string& out, std::string_view text) {
  out += text;
  out += kEol;
}

// `length` characters: the text one per position, then spaces; anything longer is cut.
void AppendFitted(std::string& out, std::string_view text, int length) {
  auto shown = std::min<std::size_t>(text.size(), static_cast<std::size_t>(length));
  out.append(text.substr(0, shown));
  out.append(static_cast<std::size_t>(length) - shown, ' ');
}

void AppendSongInformation(std::string& out, const Osnova& doc, const ExportBoxes& boxes,
                           Style style) {
  auto info = [&](std::string_view prefix, std::string_view text) {
    out += prefix;
    AppendUserText(out, text, style);
    out += kEol;
  };
  info("Artist :   ", doc.Artist);
  info("Song :     ", doc.Song);
  info("Album :    ", doc.Album);
  info("Drummer :  ", doc.Drummer);
  out += "Timing  :  ";
  AppendUserText(out, boxes.Numerator, style);
  out += '/';
  AppendUserText(out, boxes.Denominator, style);
  out += kEol;
  info("Tempo :    ", boxes.Tempo);
  if (doc.Swing.On()) info("Swing : ", SwingText(doc.Swing));
}

class GroupWriter {
 public:
  GroupWriter(const Osnova& doc, int barCount, Style style)
      : doc_(doc), n_(barCount), style_(style), partAt_(static_cast<std::size_t>(barCount), -1) {
    // The first part (in list order) that starts at a bar names it.
    for (std::size_t i = 0; i < doc.SongParts.size(); ++i) {
      int start = doc.SongParts[i].StartBar;
      if (start >= 0 && start < n_ && partAt_[static_cast<std::size_t>(start)] < 0)
        partAt_[static_cast<std::size_t>(start)] = static_cast<int>(i);
    }
  }

  void AppendAll(std::string& out) {
    for (int s = 0; s < n_;) {
      int e = s;
      int total = BarLength(doc_.Bar(s));
      while (e + 1 < n_ && total + BarLength(doc_.Bar(e + 1)) <= kGroupPositions) {
        ++e;
        total += BarLength(doc_.Bar(e));
      }
      AppendGroup(out, s, e);
      s = e + 1;
    }
  }

 private:
  void AppendGroup(std::string& out, int s, int e) {
    out += kEol;
    if (!doc_.SongParts.empty()) {
      scratch_.clear();
      for (int b = s; b <= e; ++b) {
        int part = partAt_[static_cast<std::size_t>(b)];
        std::string_view name = part >= 0 ? doc_.SongParts[static_cast<std::size_t>(part)].Name
                                          : std::string_view{};
        AppendFitted(scratch_, name, BarLength(doc_.Bar(b)));
        scratch_ += ' ';
      }
      AppendTextLine(out, R"(<font color="fuchsia">        )");
    }
    scratch_.clear();
    for (int b = s; b <= e; ++b) {
      AppendFitted(scratch_, doc_.Bar(b).Comment, BarLength(doc_.Bar(b)));
      scratch_ += ' ';
    }
    AppendTextLine(out, R"(<font color="darkyellow">        )");

    if (doc_.Kit[RowCount]) {
      AppendLabel(out, RowCount);
      for (int b = s; b <= e; ++b) {
        const TBar& bar = doc_.Bar(b);
        // ColumnHasNote for every position at once: any row 1..8, shown or not.
        uint64_t column = 0;
        for (int r = RowCymbals; r <= RowBass; ++r)
          column |= bar.Rows[static_cast<std::size_t>(r)].Notes;
        out += CountCells(bar.Grid, BarLength(bar), column);
        out += '|';
      }
      out += kEol;
    }
    for (int r = RowCymbals; r <= RowBass; ++r) {
      if (!doc_.Kit[static_cast<std::size_t>(r)] || !RowHasNotes(doc_, r, s, e)) continue;
      AppendLabel(out, r);
      for (int b = s; b <= e; ++b) {
        const TBar& bar = doc_.Bar(b);
        const TNoteRow& row = bar.Rows[static_cast<std::size_t>(r)];
        char buffer[kMaxPositions + 1];
        int len = BarLength(bar);
        bool plain = true;
        for (int p = 0; p < len; ++p) {
          const TNoteCell& cell = row.Cells[static_cast<std::size_t>(p)];
          buffer[p] = row.Has(p) ? NoteLetter(r, cell.Variant, cell.Accent) : '-';
          plain = plain && (!row.Has(p) || cell.Plain());
        }
        if (plain) {
          buffer[len] = '|';
          out.append(buffer, static_cast<std::size_t>(len) + 1);
          continue;
        }
        for (int p = 0; p < len; ++p) {
          if (row.Has(p))
            AppendCell(out, r, row.Cells[static_cast<std::size_t>(p)]);
          else
            out += '-';
        }
        out += '|';
      }
      out += kEol;
    }
    // The hi-hat foot and the sticking on lines of their own under the bass drum, only where the
    // group has them.
    if (doc_.Kit[RowHiHat] && AnyBar(s, e, [](const TBar& bar) { return (bar.FootNotes & PositionsBelow(BarLength(bar))) != 0; })) {
      AppendLabelText(out, kFootLabel);
      for (int b = s; b <= e; ++b) {
        const TBar& bar = doc_.Bar(b);
        for (int p = 0, len = BarLength(bar); p < len; ++p) out += ((bar.FootNotes >> p) & 1u) ? 'x' : '-';
        out += '|';
      }
      out += kEol;
    }
    if (AnyBar(s, e, [](const TBar& bar) {
          for (int p = 0, len = BarLength(bar); p < len; ++p)
            if (bar.Sticking[static_cast<std::size_t>(p)]) return true;
          return false;
        })) {
      AppendLabelText(out, kStickingLabel);
      for (int b = s; b <= e; ++b) {
        const TBar& bar = doc_.Bar(b);
        for (int p = 0, len = BarLength(bar); p < len; ++p) {
          const char c = bar.Sticking[static_cast<std::size_t>(p)];
          out += c ? c : ' ';
        }
        out += '|';
      }
      out += kEol;
    }
  }

  template <class Has>
  bool AnyBar(int s, int e, Has has) const {
    for (int b = s; b <= e; ++b)
      if (has(doc_.Bar(b))) return true;
    return false;
  }

  // A part or comment line from scratch_. The page escapes only after the texts have been fitted
  // to their bars, so the columns still line up once the entities are rendered.
  void AppendTextLine(std::string& out, std::string_view htmlStart) {
    if (style_ == Style::Html) {
      out += htmlStart;
      out += "  ";
      AppendEscaped(out, scratch_);
      out += "</font>";
    } else {
      out += kLineIndent;
      out += scratch_;
    }
    out += kEol;
  }

  void AppendLabel(std::string& out, int row) { AppendLabelText(out, kRowLabels[static_cast<std::size_t>(row)]); }
  void AppendLabelText(std::string& out, std::string_view label) {
    if (style_ == Style::Html) {
      out += R"(<font color="#008000">)";
      out += label;
      out += "</font>";
    } else {
      out += label;
    }
    out += " |";
  }

  const Osnova& doc_;
  int n_;
  Style style_;
  std::vector<int> partAt_;
  std::string scratch_;
};

int ExportedBarCount(const Osnova& doc) {
  int count = UsableBarCount(doc);
  if (count == 0) return 0;
  return LastContentBar(doc, 0, count - 1) + 1;
}

// Roughly what a group of four 4/4 bars with four rows costs, so the buffer grows once or twice.
std::size_t EstimatedSize(int bars) { return 4096 + static_cast<std::size_t>(bars) * 120; }

}  // namespace

std::string TextExportBytes(const Osnova& doc, const ExportBoxes& boxes) {
  int n = ExportedBarCount(doc);
  std::string out;
  out.reserve(EstimatedSize(n));
  for (auto line : kNotice) AppendLine(out, line);
  out += kEol;
  AppendSongInformation(out, doc, boxes, Style::Text);
  out += kEol;
  AppendLine(out, "Tabbed by: " + doc.TabAuthor);
  AppendLine(out, "E-mail:    " + doc.Email);
  out += kEol;
  GroupWriter(doc, n, Style::Text).AppendAll(out);
  out += kEol;
  AppendLine(out, kCredit);
  return out;
}

std::string HtmlExportBytes(const Osnova& doc, const ExportBoxes& boxes) {
  int n = ExportedBarCount(doc);
  std::string out;
  out.reserve(EstimatedSize(n) * 2);
  AppendLine(out, R"(<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN">)");
  out += "<html><head><title>";
  AppendEscaped(out, doc.Artist);
  out += " - ";
  AppendEscaped(out, doc.Song);
  AppendLine(out, " drum tab</title></head>");
  AppendLine(out, "<body>");
  AppendLine(out, R"(<font face="Courier New" color="#ff000f">)");
  AppendLine(out, R"(<font color="#ff000f"><pre>)");
  for (auto line : kNotice) AppendLine(out, line);
  AppendLine(out, R"(</font><font color="0000ff">)");
  AppendSongInformation(out, doc, boxes, Style::Html);
  AppendLine(out, R"(</font><font color="#800080">)");
  out += "Tabbed by: ";
  AppendEscaped(out, doc.TabAuthor);
  out += kEol;
  out += R"(E-mail:    <a href="mailto:)";
  AppendEscaped(out, doc.Email);
  out += R"(">)";
  AppendEscaped(out, doc.Email);
  AppendLine(out, "</a>");
  AppendLine(out, R"(</font><font color="#000080">)");
  GroupWriter(doc, n, Style::Html).AppendAll(out);
  AppendLine(out, "</font>");
  out += R"(<font color="purple">)";
  out += kCredit;
  AppendLine(out, "<br>");
  out += R"(GLM site : <a href=")";
  AppendEscaped(out, kProjectPage);
  out += R"(">)";
  AppendEscaped(out, kProjectPage);
  AppendLine(out, "</a><br>");
  out += R"(GLM created by <a href="mailto:)";
  AppendEscaped(out, kContactAddress);
  out += R"(">)";
  AppendEscaped(out, kProgramAuthor);
  AppendLine(out, "</a><br>");
  AppendLine(out, "</font></pre></body></html>");
  return out;
}

bool ExportText(const Osnova& doc, const std::string& path, const ExportBoxes& boxes,
                std::string& error) {
  return WriteFileAtomically(path, TextExportBytes(doc, boxes), error);
}

bool ExportHtml(const Osnova& doc, const std::string& path, const ExportBoxes& boxes,
                std::string& error) {
  return WriteFileAtomically(path, HtmlExportBytes(doc, boxes), error);
}

#include "model/song_parts.h"

#include <algorithm>

const char* const kDamagedPartsWarning =
    "Some parts of the tab were damaged. They have been eliminated.";
const char* const kPartsLostInformation =
    "Because the \"Song Parts\" information is lost due to an error, you have to put it in one's "
    "more.";

std::vector<std::string> SongPartItems(const Osnova& doc) {
  std::vector<std::string> items;
  items.reserve(doc.SongParts.size());
  for (const TSongPart& part : doc.SongParts) items.push_back(part.Name);
  return items;
}

std::string SongPartText(const Osnova& doc, int bar) {
  for (const TSongPart& part : doc.SongParts)
    if (part.StartBar == bar) return part.Name;
  return {};
}

void SortItems(std::vector<TSongPart>& parts, std::vector<std::string>& items) {
  if (!parts.empty()) {
    const auto last = parts.end() - 1;
    const auto place = std::find_if(parts.begin(), parts.end(), [&](const TSongPart& p) {
      return p.StartBar >= last->StartBar;
    });
    std::rotate(place, last, parts.end());
  }
  items.resize(parts.size());
  for (std::size_t k = 0; k < parts.size(); ++k) items[k] = parts[k].Name;
}

namespace {

void Rewrite(const Osnova& doc, std::vector<std::string>& items) { items = SongPartItems(doc); }

}  // namespace

SongPartCommit CommitSongPartEdit(Osnova& doc, std::vector<std::string>& items,
                                  std::string_view text, SongPartEdit& edit,
                                  const std::function<void()>& push) {
  const int32_t bar = edit.EditBar;
  const bool typed = edit.Typed;
  edit = SongPartEdit{};
  if (!typed) return SongPartCommit::Nothing;
  // A bar command can remove the edited bar while the box still has the focus; a part there would
  // point past the song and make the saved file unreadable.
  if (bar < 0 || bar >= static_cast<int32_t>(doc.Bars.size())) return SongPartCommit::Refused;

  auto& parts = doc.SongParts;
  const auto found =
      std::find_if(parts.begin(), parts.end(), [&](const TSongPart& p) { return p.StartBar == bar; });
  if (found == parts.end()) {
    if (text.empty()) return SongPartCommit::Nothing;
    if (push) push();
    TSongPart part;
    part.StartBar = bar;
    part.SetName(text);
    parts.push_back(part);
    SortItems(parts, items);
    doc.Modified = true;
    return SongPartCommit::Added;
  }
  if (push) push();
  doc.Modified = true;
  if (!text.empty()) {
    found->SetName(text);
    Rewrite(doc, items);
    return SongPartCommit::Renamed;
  }
  parts.erase(found);
  Rewrite(doc, items);
  return SongPartCommit::Deleted;
}

SongPartJump SelectSongPart(Osnova& doc, std::vector<std::string>& items, int index) {
  SongPartJump jump;
  if (index < 0 || index >= static_cast<int>(doc.SongParts.size())) return jump;
  const int32_t bar = doc.SongParts[static_cast<std::size_t>(index)].StartBar;
  if (bar < 0 || bar >= static_cast<int32_t>(doc.Bars.size())) {
    doc.SongParts.clear();
    items.clear();
    doc.Modified = true;
    jump.What = SongPartJump::Damaged;
    return jump;
  }
  jump.What = SongPartJump::Jump;
  jump.Bar = bar;
  return jump;
}

int NextSongPartIndex(int selected, int itemCount) {
  return selected + 1 < itemCount ? selected + 1 : -1;
}

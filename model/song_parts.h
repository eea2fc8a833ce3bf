// Song parts: named markers on the bars where sections of the song begin, kept sorted by bar with at
// most one part per bar. The song-part box's item list is a plain list of strings here, item i
// naming part i; the window copies it into its combo box.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "model/tab_document.h"

extern const char* const kDamagedPartsWarning;  // "Some parts of the tab were damaged. ..."
extern const char* const kPartsLostInformation;   // "Because the "Song Parts" information is lost ..."

// The box's items: the part names in array order.
std::vector<std::string> SongPartItems(const Osnova& doc);

// The text the box shows on a bar: the name of the part starting there, or empty.
std::string SongPartText(const Osnova& doc, int bar);

// Moves the last part to its place by StartBar and rewrites every item from the names.
void SortItems(std::vector<TSongPart>& parts, std::vector<std::string>& items);

enum class SongPartCommit {
  Nothing,  // nothing typed, or nothing to do with the text
  Added,
  Renamed,
  Deleted,
  Refused,  // the bar being edited no longer exists; the typed text is dropped
};

// State of the box while the user types in it. EditBar is the bar at the moment the box (or the
// comment box, which shares it) got the focus, -1 when no typing is going on; Typed is set by every
// key pressed in the box.
struct SongPartEdit {
  int32_t EditBar = -1;
  bool Typed = false;
};

// Commits what was typed in the box (leaving it, Enter, or any change of the current bar while
// editing): with text, names or renames the part of the edited bar; with empty text, deletes it.
// Names are cut to 30 characters. `push` (may be empty) runs before any change; every change marks
// the document modified and leaves `items` equal to the names. Afterwards the edit is over
// (EditBar -1, Typed false).
SongPartCommit CommitSongPartEdit(Osnova& doc, std::vector<std::string>& items,
                                  std::string_view text, SongPartEdit& edit,
                                  const std::function<void()>& push);

struct SongPartJump {
  enum Kind {
    None,     // no such item
    Jump,     // go to Bar
    Damaged,  // the part's bar cannot exist: show both messages; the parts have been dropped
  } What = None;
  int Bar = 0;
};

// Choosing item `index` in the box. A part whose bar is outside the document counts as damaged
// information: every part is dropped (items emptied, document marked modified).
SongPartJump SelectSongPart(Osnova& doc, std::vector<std::string>& items, int index);

// Double click: the item after `selected`, or -1 on the last item (nothing happens).
int NextSongPartIndex(int selected, int itemCount);

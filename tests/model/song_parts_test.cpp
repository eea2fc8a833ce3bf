#include <gtest/gtest.h>

#include "model/song_parts.h"

namespace {

struct Box {
  Osnova doc{4, 12, 4};
  std::vector<std::string> items;
  int pushes = 0;

  // Entering the box on `bar`, typing, and leaving it.
  SongPartCommit Type(int bar, std::string_view text, bool typed = true) {
    SongPartEdit edit{bar, typed};
    SongPartCommit r = CommitSongPartEdit(doc, items, text, edit, [this] { ++pushes; });
    EXPECT_EQ(edit.EditBar, -1);
    EXPECT_FALSE(edit.Typed);
    return r;
  }
  std::vector<int> Bars() const {
    std::vector<int> bars;
    for (const auto& p : doc.SongParts) bars.push_back(p.StartBar);
    return bars;
  }
};

}  // namespace

TEST(SongPartEditing, NamingABarShowsTheNameOnlyThere) {
  Box box;
  EXPECT_EQ(box.Type(0, "Intro"), SongPartCommit::Added);
  ASSERT_EQ(box.doc.SongParts.size(), 1u);
  EXPECT_EQ(box.doc.SongParts[0], (TSongPart{0, "Intro"}));
  EXPECT_EQ(box.items, std::vector<std::string>{"Intro"});
  EXPECT_EQ(box.pushes, 1);
  EXPECT_TRUE(box.doc.Modified);
  EXPECT_EQ(SongPartText(box.doc, 1), "");
  EXPECT_EQ(SongPartText(box.doc, 0), "Intro");
}

TEST(SongPartEditing, NewPartsAreSortedByBar) {
  Box box;
  box.Type(8, "Chorus");
  box.Type(0, "Intro");
  box.Type(4, "Verse");
  box.Type(11, "Outro");
  EXPECT_EQ(box.Bars(), (std::vector<int>{0, 4, 8, 11}));
  EXPECT_EQ(box.items, (std::vector<std::string>{"Intro", "Verse", "Chorus", "Outro"}));
  EXPECT_EQ(box.pushes, 4);
}

TEST(SongPartEditing, RenamingAndDeleting) {
  Box box;
  box.Type(0, "Intro");
  box.Type(8, "Chorus");
  box.doc.Modified = false;
  EXPECT_EQ(box.Type(0, "Start"), SongPartCommit::Renamed);
  EXPECT_EQ(box.items, (std::vector<std::string>{"Start", "Chorus"}));
  EXPECT_TRUE(box.doc.Modified);

  EXPECT_EQ(box.Type(8, ""), SongPartCommit::Deleted);
  EXPECT_EQ(box.Bars(), std::vector<int>{0});
  EXPECT_EQ(box.items, std::vector<std::string>{"Start"});
  EXPECT_EQ(box.pushes, 4);

  // Deleting the first of several rewrites the remaining items in order.
  box.Type(3, "A");
  box.Type(6, "B");
  box.Type(0, "");
  EXPECT_EQ(box.items, (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(box.Bars(), (std::vector<int>{3, 6}));
}

TEST(SongPartEditing, LeavingWithoutTypingChangesNothing) {
  Box box;
  box.Type(0, "Intro");
  const int pushes = box.pushes;
  box.doc.Modified = false;
  EXPECT_EQ(box.Type(0, "Something else", false), SongPartCommit::Nothing);
  EXPECT_EQ(box.Type(2, "", true), SongPartCommit::Nothing);  // empty text on a bar without part
  EXPECT_EQ(box.doc.SongParts[0].Name, "Intro");
  EXPECT_EQ(box.doc.SongParts.size(), 1u);
  EXPECT_EQ(box.pushes, pushes);
  EXPECT_FALSE(box.doc.Modified);
}

TEST(SongPartEditing, LongNamesAreCutTo30Characters) {
  Box box;
  const std::string longName(45, 'n');
  box.Type(2, longName);
  EXPECT_EQ(box.doc.SongParts[0].Name, std::string(30, 'n'));
  EXPECT_EQ(box.items[0], box.doc.SongParts[0].Name);
}

TEST(SongPartEditing, AnEditForABarThatIsGoneIsDropped) {
  Box box;
  EXPECT_EQ(box.Type(12, "Coda"), SongPartCommit::Refused);
  EXPECT_EQ(box.Type(-1, "Coda"), SongPartCommit::Refused);
  EXPECT_TRUE(box.doc.SongParts.empty());
  EXPECT_EQ(box.pushes, 0);
}

TEST(SongPartEditing, SortItemsPlacesTheLastPart) {
  std::vector<TSongPart> parts = {{2, "b"}, {5, "c"}, {9, "d"}, {0, "a"}};
  std::vector<std::string> items = {"stale", "b", "c", "d"};
  SortItems(parts, items);
  EXPECT_EQ(items, (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(parts[0].StartBar, 0);
  EXPECT_EQ(parts[3].StartBar, 9);
  parts.push_back({12, "e"});
  SortItems(parts, items);
  EXPECT_EQ(items.back(), "e");
}

TEST(SongPartSelection, JumpsAndDamagedParts) {
  Box box;
  box.Type(0, "Intro");
  box.Type(8, "Chorus");
  std::vector<std::string> items = box.items;
  SongPartJump j = SelectSongPart(box.doc, items, 1);
  EXPECT_EQ(j.What, SongPartJump::Jump);
  EXPECT_EQ(j.Bar, 8);
  EXPECT_EQ(SelectSongPart(box.doc, items, 2).What, SongPartJump::None);

  // Double click: the next part, nothing on the last one.
  EXPECT_EQ(NextSongPartIndex(0, 2), 1);
  EXPECT_EQ(NextSongPartIndex(1, 2), -1);
  EXPECT_EQ(NextSongPartIndex(-1, 2), 0);
  EXPECT_EQ(NextSongPartIndex(-1, 0), -1);

  for (int32_t bad : {70000, 12, -3}) {
    Box damaged;
    damaged.Type(0, "Intro");
    damaged.doc.SongParts.push_back({bad, "Lost"});
    damaged.items.push_back("Lost");
    damaged.doc.Modified = false;
    EXPECT_EQ(SelectSongPart(damaged.doc, damaged.items, 1).What, SongPartJump::Damaged) << bad;
    EXPECT_TRUE(damaged.doc.SongParts.empty());
    EXPECT_TRUE(damaged.items.empty());
    EXPECT_TRUE(damaged.doc.Modified);
  }
}
